// Drag and drop of text in the editor widget: Qt's drag events handed to the view core's rules
// (KivSedViewDragDrop.h), the drag a view starts, and the private format that tells a drag from
// a view of this process from any other.
#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <map>

#include "KivSedView.h"
#include "KivSedViewDragDrop.h"

namespace {

// The views that started drags, by their id in the drag format.
std::map<quint64, QPointer<TKivCustomEditView>>& DragViews() {
  static std::map<quint64, QPointer<TKivCustomEditView>> views;
  return views;
}

QString ToQString(const TKivString& AText) {
  return QString(reinterpret_cast<const QChar*>(AText.data()), qsizetype(AText.size()));
}

TKivString FromQString(const QString& AText) {
  return TKivString(reinterpret_cast<const Char*>(AText.utf16()), size_t(AText.size()));
}

TKivPoint ClientPoint(const QDropEvent& AEvent) {
  const QPoint p = AEvent.position().toPoint();
  return {p.x(), p.y()};
}

Qt::DropAction ToAction(TKivDropEffect AEffect) {
  return AEffect == deMove ? Qt::MoveAction : Qt::CopyAction;
}

}  // namespace

const char* TKivCustomEditView::DragFormat() {
  return "application/x-kiv-syntax-editor-view-drag";
}

QMimeData* TKivCustomEditView::CreateDragData() {
  static quint64 lastId = 0;
  if (FDragId == 0) {
    FDragId = ++lastId;
    DragViews()[FDragId] = this;
  }
  auto* data = new QMimeData;
  data->setText(ToQString(SelectedText()));
  // The process and the view: a drag from another process's view is text like any other.
  const QByteArray id =
      QByteArray::number(QCoreApplication::applicationPid()) + ':' + QByteArray::number(FDragId);
  data->setData(QLatin1String(DragFormat()), id);
  return data;
}

TKivCustomEditView* TKivCustomEditView::DragSource(const QMimeData* AData) const {
  if (!AData || !AData->hasFormat(QLatin1String(DragFormat()))) return nullptr;
  const QList<QByteArray> parts = AData->data(QLatin1String(DragFormat())).split(':');
  if (parts.size() != 2 || parts[0].toLongLong() != QCoreApplication::applicationPid()) return nullptr;
  const auto it = DragViews().find(parts[1].toULongLong());
  return it == DragViews().end() ? nullptr : it->second.data();
}

void TKivCustomEditView::startDrag() {
  if (!SelAvail() || !Document()) return;
  SetCursorBeforeDrag(CursorOffsetPoint());
  FDragTakenHere = false;
  QPointer<TKivCustomEditView> self(this);
  auto* drag = new QDrag(this);
  drag->setMimeData(CreateDragData());
  // A read-only view's text can only be copied out of it.
  const Qt::DropActions offered = IsReadOnly() ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction;
  const Qt::DropAction result = drag->exec(offered, IsReadOnly() ? Qt::CopyAction : Qt::MoveAction);
  if (!self) return;
  RunGuarded(this, [&] {
    if (FDragTakenHere) return;  // a view of this process did the work
    if (result == Qt::MoveAction && !IsReadOnly()) {
      ForgetCursorBeforeDrag();
      DeleteSelected();  // another program took the text
    } else if (result == Qt::IgnoreAction) {
      KivViewDragCancel(*this);
    } else {
      ForgetCursorBeforeDrag();
    }
  });
}

void TKivCustomEditView::DragOver(QDropEvent* AEvent) {
  TKivCustomEditView* source = DragSource(AEvent->mimeData());
  if (!source && !(AEvent->mimeData() && AEvent->mimeData()->hasText())) {
    AEvent->ignore();
    return;
  }
  TKivDropEffect effect = deNone;
  const bool ctrl = AEvent->modifiers() & Qt::ControlModifier;
  RunGuarded(this, [&] { effect = KivViewDragOver(*this, source, ClientPoint(*AEvent), ctrl); });
  if (effect == deNone) {
    AEvent->setDropAction(Qt::IgnoreAction);
    AEvent->ignore();
    return;
  }
  if (!hasFocus()) setFocus(Qt::OtherFocusReason);
  AEvent->setDropAction(ToAction(effect));
  AEvent->accept();
}

void TKivCustomEditView::dragEnterEvent(QDragEnterEvent* AEvent) {
  DragOver(AEvent);
  // Entering is accepted for any text, so that moves over the selection keep asking.
  if (!AEvent->isAccepted() && AEvent->mimeData() && (AEvent->mimeData()->hasText() || DragSource(AEvent->mimeData())) &&
      !IsReadOnly() && Document()) {
    AEvent->setDropAction(Qt::IgnoreAction);
    AEvent->accept();
  }
}

void TKivCustomEditView::dragMoveEvent(QDragMoveEvent* AEvent) {
  DragOver(AEvent);
}

void TKivCustomEditView::dragLeaveEvent(QDragLeaveEvent* AEvent) {
  StopAutoScroll();  // a drag near the edge scrolled the view
  AEvent->accept();
}

void TKivCustomEditView::dropEvent(QDropEvent* AEvent) {
  TKivCustomEditView* source = DragSource(AEvent->mimeData());
  const QMimeData* data = AEvent->mimeData();
  TKivString text;
  if (!source) {
    if (!data || !data->hasText()) {
      AEvent->ignore();
      return;
    }
    text = FromQString(data->text());
  }
  TKivDropEffect effect = deNone;
  const bool ctrl = AEvent->modifiers() & Qt::ControlModifier;
  RunGuarded(this, [&] { effect = KivViewDrop(*this, source, ClientPoint(*AEvent), ctrl, source ? nullptr : &text); });
  if (source) source->FDragTakenHere = true;
  if (effect == deNone) {
    AEvent->setDropAction(Qt::IgnoreAction);
    AEvent->ignore();
    return;
  }
  AEvent->setDropAction(ToAction(effect));
  AEvent->accept();
}
