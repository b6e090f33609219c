// The completion list window and the view's side of it: the list host the view core shows and
// fills the list through, the completion timer, owner drawing, and hiding the list when the view
// or its window goes away.
#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTimer>

#include "KivSedCompletionList.h"
#include "KivSedView.h"

// ---- the list window ----

TComplList::TComplList() : QListWidget(nullptr) {
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                 Qt::X11BypassWindowManagerHint);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setMinimumSize(kMinWidth, kMinHeight);
  resize(kMinWidth, kMinHeight);
}

void TComplList::Show(bool AVisible, int AX, int AY) {
  FIsVisible = AVisible;
  if (AVisible) {
    move(AX, AY);
    show();
  } else {
    FResizing = false;
    hide();
  }
}

void TComplList::ZoneAt(const QPoint& APos, bool& AHorz, bool& AVert) const {
  const bool left = FCorner == rcTopLeft || FCorner == rcBottomLeft;
  const bool top = FCorner == rcTopLeft || FCorner == rcTopRight;
  AHorz = left ? APos.x() <= kResizeZone : APos.x() >= width() - kResizeZone;
  AVert = top ? APos.y() <= kResizeZone : APos.y() >= height() - kResizeZone;
}

void TComplList::UpdateCursor(const QPoint& APos) {
  bool horz, vert;
  ZoneAt(APos, horz, vert);
  Qt::CursorShape shape = Qt::ArrowCursor;
  if (horz && vert)
    shape = FCorner == rcTopLeft || FCorner == rcBottomRight ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
  else if (horz)
    shape = Qt::SizeHorCursor;
  else if (vert)
    shape = Qt::SizeVerCursor;
  FCursor = horz || vert ? int(shape) : 0;
  setCursor(shape);
  viewport()->setCursor(shape);
}

int TComplList::RowAtGlobal(const QPoint& AGlobal) const {
  const QModelIndex index = indexAt(viewport()->mapFromGlobal(AGlobal));
  return index.isValid() ? index.row() : -1;
}

void TComplList::ResizeTo(const QPoint& AGlobal) {
  QRect r = geometry();
  const bool left = FCorner == rcTopLeft || FCorner == rcBottomLeft;
  const bool top = FCorner == rcTopLeft || FCorner == rcTopRight;
  if (FResizeHorz) {
    if (left) {
      // The left edge goes to the mouse, the right one stays; never below the minimum.
      if (r.right() - AGlobal.x() + 1 >= minimumWidth()) r.setLeft(AGlobal.x());
    } else {
      r.setWidth(std::max(AGlobal.x() - r.left(), minimumWidth()));
    }
  }
  if (FResizeVert) {
    if (top) {
      if (r.bottom() - AGlobal.y() + 1 >= minimumHeight()) r.setTop(AGlobal.y());
    } else {
      r.setHeight(std::max(AGlobal.y() - r.top(), minimumHeight()));
    }
  }
  if (r != geometry()) setGeometry(r);
}

bool TComplList::event(QEvent* AEvent) {
  switch (AEvent->type()) {
    case QEvent::MouseMove:
      mouseMoveEvent(static_cast<QMouseEvent*>(AEvent));
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      mousePressEvent(static_cast<QMouseEvent*>(AEvent));
      return true;
    case QEvent::MouseButtonRelease:
      mouseReleaseEvent(static_cast<QMouseEvent*>(AEvent));
      return true;
    default:
      return QListWidget::event(AEvent);
  }
}

void TComplList::mouseMoveEvent(QMouseEvent* AEvent) {
  const QPoint global = AEvent->globalPosition().toPoint();
  if (FResizing) {
    ResizeTo(global);
    return;
  }
  UpdateCursor(mapFromGlobal(global));
  if (FCursor != 0) return;
  const int row = RowAtGlobal(global);
  if (row >= 0 && OnHoverItem) OnHoverItem(row);
}

void TComplList::mousePressEvent(QMouseEvent* AEvent) {
  if (AEvent->button() != Qt::LeftButton) return;
  const QPoint global = AEvent->globalPosition().toPoint();
  bool horz, vert;
  ZoneAt(mapFromGlobal(global), horz, vert);
  if (horz || vert) {
    // The mouse stays with the list (Qt grabs it for the press) until the button goes up.
    FResizing = true;
    FResizeHorz = horz;
    FResizeVert = vert;
    return;
  }
  const int row = RowAtGlobal(global);
  if (row >= 0 && OnClickItem) OnClickItem(row);
}

void TComplList::mouseReleaseEvent(QMouseEvent* AEvent) {
  if (AEvent->button() == Qt::LeftButton) FResizing = false;
}

void TComplList::mouseDoubleClickEvent(QMouseEvent* AEvent) {
  mousePressEvent(AEvent);
}

// ---- the view's side: list host, timer, owner drawing ----

class TKivCustomEditView::TComplHost : public IKivCompletionListHost, public QObject {
 public:
  explicit TComplHost(TKivCustomEditView& AView) : FView(AView) {
    FList.setItemDelegate(&FDelegate);
    FDelegate.FHost = this;
    FList.OnHoverItem = [this](int ARow) {
      RunGuarded(&FView, [&] { FView.Completion().SetItemIndex(ARow); });
    };
    FList.OnClickItem = [this](int ARow) {
      RunGuarded(&FView, [&] {
        FView.BeginUpdate();
        try {
          FView.Completion().SetItemIndex(ARow);
          FView.Completion().Commit(FView.CursorPos(), false);
        } catch (...) {
          FView.EndUpdate();
          throw;
        }
        FView.EndUpdate();
      });
      FView.activateWindow();
      FView.setFocus(Qt::MouseFocusReason);
    };
  }
  ~TComplHost() override {
    if (FWatched) FWatched->removeEventFilter(this);
  }

  TComplList& List() { return FList; }

  // IKivCompletionListHost
  void ShowList(bool AVisible, Integer AX, Integer AY) override {
    if (AVisible) Watch(FView.window());
    FList.Show(AVisible, AX, AY);
  }
  bool ListVisible() const override { return FList.IsVisible(); }
  Integer ListWidth() const override { return FList.width(); }
  Integer ListHeight() const override { return FList.height(); }
  void SetListCorner(TComplResizeCorner ACorner) override { FList.SetCorner(ACorner); }
  void ListItemsChanged() override {
    const QSignalBlocker blocker(&FList);
    FList.clear();
    for (const TKivString& s : FView.Completion().Items()) FList.addItem(QString::fromStdU16String(s));
    ListItemIndexChanged();
  }
  void ListItemIndexChanged() override {
    const QSignalBlocker blocker(&FList);
    const Integer i = FView.Completion().ItemIndex();
    FList.setCurrentRow(i);
    if (i >= 0) FList.scrollToItem(FList.item(i));
  }
  void ListSettingsChanged() override {
    // Item heights are asked again.
    FList.setUniformItemSizes(FView.CompletionSettings().CompletionType() != ctCustomOwnerDrawVariable);
    FList.doItemsLayout();
  }
  Integer ListPageCount() const override {
    const int h = std::max(1, FView.CompletionSettings().ItemHeight());
    return std::max(1, FList.viewport()->height() / h);
  }
  TKivPoint ClientToScreen(const TKivPoint& AClient) const override {
    const QPoint p = FView.viewport()->mapToGlobal(QPoint(AClient.X, AClient.Y));
    return {p.x(), p.y()};
  }
  TKivRect ScreenArea() const override {
    const QScreen* screen = FView.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect r = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  }

 protected:
  // The window of the view moves, hides or goes inactive: the list must not float alone.
  bool eventFilter(QObject* AObj, QEvent* AEvent) override {
    if (AObj == FWatched) {
      switch (AEvent->type()) {
        case QEvent::Move:
        case QEvent::Hide:
          RunGuarded(&FView, [this] { FView.ExitStates(siComplListShown); });
          break;
        case QEvent::Destroy:
          FWatched = nullptr;
          break;
        default:
          break;
      }
    }
    return false;
  }

 private:
  class TDelegate : public QStyledItemDelegate {
   public:
    TComplHost* FHost = nullptr;
    void paint(QPainter* APainter, const QStyleOptionViewItem& AOption, const QModelIndex& AIndex) const override {
      TKivCustomEditView& view = FHost->FView;
      const TKivViewCompletionType type = view.CompletionSettings().CompletionType();
      const bool owner = type == ctCustomOwnerDrawFixed || type == ctCustomOwnerDrawVariable;
      if (owner && view.OnCompletionCustomDraw) {
        APainter->save();
        RunGuarded(&view, [&] {
          view.OnCompletionCustomDraw(view, view.Completion().Items(), AIndex.row(), AOption.rect, AOption.state,
                                      *APainter);
        });
        APainter->restore();
        return;
      }
      // Plain items, and owner-drawn ones without a handler, draw their text.
      QStyledItemDelegate::paint(APainter, AOption, AIndex);
    }
    QSize sizeHint(const QStyleOptionViewItem& AOption, const QModelIndex& AIndex) const override {
      TKivCustomEditView& view = FHost->FView;
      QSize size = QStyledItemDelegate::sizeHint(AOption, AIndex);
      Integer height = view.CompletionSettings().ItemHeight();
      if (view.CompletionSettings().CompletionType() == ctCustomOwnerDrawVariable && view.OnCompletionMeasureItem) {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        painter.setFont(FHost->FList.font());
        RunGuarded(&view, [&] {
          view.OnCompletionMeasureItem(view, view.Completion().Items(), AIndex.row(), painter, height);
        });
      }
      size.setHeight(std::max<Integer>(height, 1));
      return size;
    }
  };

  void Watch(QWidget* AWindow) {
    if (AWindow == FWatched || AWindow == &FView) return;
    if (FWatched) FWatched->removeEventFilter(this);
    FWatched = AWindow;
    if (FWatched) FWatched->installEventFilter(this);
  }

  TKivCustomEditView& FView;
  TDelegate FDelegate;
  TComplList FList;
  QWidget* FWatched = nullptr;
};

void TKivCustomEditView::InitCompletion() {
  FComplHost = new TComplHost(*this);
  Completion().SetListHost(FComplHost);
}

void TKivCustomEditView::DoneCompletion() {
  Completion().SetListHost(nullptr);
  delete FComplHost;
  FComplHost = nullptr;
}

TComplList& TKivCustomEditView::CompletionList() const {
  return FComplHost->List();
}

bool TKivCustomEditView::CompletionTimerActive() const {
  const IKivTimer* timer = Completion().Timer();
  return timer && timer->Active();
}
