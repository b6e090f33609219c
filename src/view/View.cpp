// The editor view widget: events in, the view core's bracket out to Qt's painting, caret and
// scroll bars.
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSvgRenderer>
#include <QStyleHints>
#include <QWheelEvent>

#include "KivSedClipboard.h"
#include "KivSedKeys.h"
#include "KivSedQtColors.h"
#include "KivSedQtPaint.h"
#include "KivSedView.h"
#include "KivUiServices.h"

namespace {

TKivCustomEditView::TErrorHandler gErrorHandler;

QFont ToQFont(const TKivViewFont& AFont) {
  QFont font(QString::fromStdU16String(AFont.Name));
  if (AFont.PixelSize > 0)
    font.setPixelSize(AFont.PixelSize);
  else
    font.setPointSize(std::max<Integer>(AFont.Size, 1));
  font.setBold(AFont.Style & fsBold);
  font.setItalic(AFont.Style & fsItalic);
  font.setUnderline(AFont.Style & fsUnderline);
  font.setStrikeOut(AFont.Style & fsStrikeOut);
  return font;
}

// The core's shift state of a mouse event: modifiers and the buttons held.
TKivShiftState MouseShift(Qt::KeyboardModifiers AMods, Qt::MouseButtons AButtons) {
  TKivShiftState s = ssEmpty;
  if (AMods & Qt::ShiftModifier) s = s | ssShift;
  if (AMods & Qt::ControlModifier) s = s | ssCtrl;
  if (AMods & Qt::AltModifier) s = s | ssAlt;
  if (AButtons & Qt::LeftButton) s = s | ssLeft;
  if (AButtons & Qt::RightButton) s = s | ssRight;
  if (AButtons & Qt::MiddleButton) s = s | ssMiddle;
  return s;
}

bool MouseButton(Qt::MouseButton AButton, TKivMouseButton& AResult) {
  switch (AButton) {
    case Qt::LeftButton:
      AResult = mbLeft;
      return true;
    case Qt::RightButton:
      AResult = mbRight;
      return true;
    case Qt::MiddleButton:
      AResult = mbMiddle;
      return true;
    default:
      return false;
  }
}

// The line-number bar's cursor: an arrow pointing up and right, hot spot at its tip (31, 0).
const QCursor& LineNumbersCursor() {
  static const QCursor cursor = [] {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QSvgRenderer(QStringLiteral(":/kivview/linenum_cursor.svg")).render(&painter);
    painter.end();
    return QCursor(pixmap, 31, 0);
  }();
  return cursor;
}

// A core timer on a QTimer; what its tick raises goes to the error display of its widget.
class TQtTimer final : public IKivTimer {
 public:
  explicit TQtTimer(QWidget* AWidget) {
    FTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&FTimer, &QTimer::timeout, [this, AWidget] {
      if (OnTick) TKivCustomEditView::RunGuarded(AWidget, OnTick);
    });
  }
  void Start(int AIntervalMs, bool ASingleShot) override {
    FTimer.setSingleShot(ASingleShot);
    FTimer.start(std::max(AIntervalMs, 0));
  }
  void Stop() override { FTimer.stop(); }
  bool Active() const override { return FTimer.isActive(); }
  int Interval() const override { return FTimer.interval(); }

 private:
  QTimer FTimer;
};

}  // namespace

// The view core's own editing, clipboard (over the view's clipboard seam), undo and redo.
class TKivCustomEditView::TEditHooks : public IKivViewEditHooks {};

// The gutter's width from the view's gutter; auto-scrolling stops with the focus.
class TKivCustomEditView::TGutterHooks : public TKivGutterMouseHooks {};

// ---- life ----

TKivCustomEditView::TKivCustomEditView(QWidget* AParent)
    : QAbstractScrollArea(AParent),
      TKivEditViewCore(static_cast<IKivViewHost&>(*this)),
      FMeasure(ToQFont(Font())),
      FEditHooksImpl(std::make_unique<TEditHooks>()),
      FGutterHooksImpl(std::make_unique<TGutterHooks>()) {
  SetEditHooks(FEditHooksImpl.get());
  SetClipboard(&TKivQtClipboard::Instance());
  SetMouseHooks(FGutterHooksImpl.get());
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  // Tab reaches the view; a press takes the focus itself (mousePressEvent), so that a press the
  // application stops (OnMouseDown) leaves the focus where it was.
  setFocusPolicy(Qt::TabFocus);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setAttribute(Qt::WA_InputMethodEnabled);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setMouseTracking(true);
  OnStartDrag = [this] { startDrag(); };  // a press on the selection became a drag
  SetMouseMetrics(QGuiApplication::styleHints()->mouseDoubleClickInterval(),
                  QGuiApplication::styleHints()->startDragDistance());
  viewport()->setAutoFillBackground(false);
  resize(185, 89);
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  FCaretTimer.setInterval(flash > 0 ? flash / 2 : 0);
  QObject::connect(&FCaretTimer, &QTimer::timeout, [this] {
    FCaretPhase = !FCaretPhase;
    viewport()->update(FCaretRect);
  });
  // The bars' requests go to the view core; what it decides comes back as the bars' positions.
  for (const bool vert : {true, false}) {
    QScrollBar* bar = vert ? verticalScrollBar() : horizontalScrollBar();
    QObject::connect(bar, &QAbstractSlider::actionTriggered, this,
                     [this, vert](int AAction) { ScrollBarAction(vert, AAction); });
    QObject::connect(bar, &QAbstractSlider::sliderMoved, this,
                     [this, vert](int APos) { Guarded([&] { ScrollBarRequest(vert, scTrack, APos); }); });
    QObject::connect(bar, &QAbstractSlider::sliderReleased, this, [this, vert, bar] {
      Guarded([&] {
        ScrollBarRequest(vert, scPosition, bar->sliderPosition());
        ScrollBarRequest(vert, scEndScroll, 0);
      });
      const QSignalBlocker blocker(bar);
      bar->setValue((vert ? VertScrollBarInfo() : HorzScrollBarInfo()).Pos);
    });
  }
  HostResized();
  UpdateMinimumSize();
  InitCompletion();
}

TKivCustomEditView::~TKivCustomEditView() {
  FCaretTimer.stop();
  DoneCompletion();
  ReleaseHost();  // the measuring surface and the edit hooks are members of this class
}

void TKivCustomEditView::SetErrorHandler(TErrorHandler AHandler) {
  gErrorHandler = std::move(AHandler);
}

template <class F>
bool TKivCustomEditView::Guarded(F&& AFn) {
  return RunGuarded(this, AFn);
}

bool TKivCustomEditView::RunGuarded(QWidget* AWhere, const std::function<void()>& AFn) {
  try {
    AFn();
    return true;
  } catch (const EKivError& e) {
    ShowError(AWhere, QString::fromStdU16String(e.Message()));
  } catch (const std::exception& e) {
    ShowError(AWhere, QString::fromUtf8(e.what()));
  } catch (...) {
    ShowError(AWhere, QStringLiteral("Unknown error"));
  }
  return false;
}

void TKivCustomEditView::ReportError(const QString& AMessage) {
  ShowError(this, AMessage);
}

void TKivCustomEditView::ShowError(QWidget* AWhere, const QString& AMessage) {
  // A second error while the first is shown must not stack message boxes: the handler runs once
  // at a time.
  static bool reporting = false;
  if (reporting) return;
  reporting = true;
  try {
    if (gErrorHandler)
      gErrorHandler(AWhere, AMessage);
    else
      KivUiServices().ErrorBox(AWhere, AMessage);
  } catch (...) {
  }
  reporting = false;
}

bool TKivCustomEditView::event(QEvent* AEvent) {
  bool result = true;
  Guarded([&] {
    // Keys bound in the view's mode (and every key while a first stroke waits for its second) are
    // the view's, before any shortcut of the window.
    if (AEvent->type() == QEvent::ShortcutOverride && !InState(siDestroing) &&
        CommandHooks().WantsKey(*this, KivShortcutOfEvent(*static_cast<QKeyEvent*>(AEvent)))) {
      AEvent->accept();
      return;
    }
    result = QAbstractScrollArea::event(AEvent);
    // A hidden view shows no completion list.
    if (AEvent->type() == QEvent::Hide && !InState(siDestroing)) ExitStates(siComplListShown | siComplTimer);
  });
  return result;
}

bool TKivCustomEditView::viewportEvent(QEvent* AEvent) {
  bool result = true;
  Guarded([&] {
    // A press in the text ends word completion.
    if (AEvent->type() == QEvent::MouseButtonPress) ExitStates(siComplListShown | siComplWordTyping);
    result = QAbstractScrollArea::viewportEvent(AEvent);
    // The client area changes also when a scroll bar comes or goes.
    if (AEvent->type() == QEvent::Resize) HostResized();
  });
  return result;
}

// ---- host ----

TKivRect TKivCustomEditView::TextAreaRect() const {
  const QRect r = viewport()->rect();
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void TKivCustomEditView::FontChanged(const TKivViewFont& AFont) {
  FMeasure.SetFont(ToQFont(AFont));
}

void TKivCustomEditView::InvalidateRect(const TKivRect& ARect) {
  viewport()->update(QRect(ARect.Left, ARect.Top, ARect.Width(), ARect.Height()));
}

void TKivCustomEditView::InvalidateAll() {
  viewport()->update();
}

void TKivCustomEditView::HideCaret() {
  FCaretOn = false;
  FCaretTimer.stop();
  viewport()->update(FCaretRect);
}

void TKivCustomEditView::ShowCaret(Integer AX, Integer AY, Integer AWidth, Integer AHeight) {
  // Only the old and the new caret rectangles are repainted.
  viewport()->update(FCaretRect);
  FCaretRect = QRect(AX, AY, AWidth, AHeight);
  FCaretInsert = (ViewSettings() & vsOverwrite) == 0;
  FCaretOn = true;
  FCaretPhase = true;
  if (FCaretTimer.interval() > 0) FCaretTimer.start();
  viewport()->update(FCaretRect);
  if (QAccessible::isActive()) {
    QAccessibleTextCursorEvent event(this, CursorOffset());
    QAccessible::updateAccessibility(&event);
  }
}

void TKivCustomEditView::SetScrollBars(const TKivScrollBarInfo& AVert, const TKivScrollBarInfo& AHorz) {
  // The values written here never come back as requests.
  const auto apply = [](QScrollBar* ABar, const TKivScrollBarInfo& AInfo) {
    const QSignalBlocker blocker(ABar);
    ABar->setRange(AInfo.Min, std::max(AInfo.Min, AInfo.Max - AInfo.Page + 1));
    ABar->setPageStep(std::max(AInfo.Page, 1));
    ABar->setValue(AInfo.Pos);
  };
  apply(verticalScrollBar(), AVert);
  apply(horizontalScrollBar(), AHorz);
  // A bar shown or hidden resizes the viewport at once (the core lays out again inside its update).
  const Qt::ScrollBarPolicy vert = AVert.Visible ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  const Qt::ScrollBarPolicy horz = AHorz.Visible ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  if (verticalScrollBarPolicy() != vert) setVerticalScrollBarPolicy(vert);
  if (horizontalScrollBarPolicy() != horz) setHorizontalScrollBarPolicy(horz);
  // The gutter's width may have changed with the bracket that ends here.
  UpdateMinimumSize();
}

void TKivCustomEditView::ScrollBarRequest(bool AVert, TKivScrollCode ACode, Integer APos) {
  if (AVert) {
    if (Document()) VertScrollBarRequest(ACode, APos);
  } else {
    HorzScrollBarRequest(ACode, APos);
  }
}

void TKivCustomEditView::ScrollBarAction(bool AVert, int AAction) {
  QScrollBar* bar = AVert ? verticalScrollBar() : horizontalScrollBar();
  TKivScrollCode code;
  Integer pos = 0;
  switch (AAction) {
    case QAbstractSlider::SliderSingleStepAdd:
      code = scLineDown;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      code = scLineUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = scPageDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = scPageUp;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = scTop;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = scBottom;
      break;
    case QAbstractSlider::SliderMove:
      if (bar->isSliderDown()) return;  // a thumb drag: sliderMoved brings it
      code = scPosition;
      pos = bar->sliderPosition();
      break;
    default:
      return;
  }
  Guarded([&] { ScrollBarRequest(AVert, code, pos); });
  // Inside the action the bar takes the view's answer as its new position.
  bar->setSliderPosition((AVert ? VertScrollBarInfo() : HorzScrollBarInfo()).Pos);
}

void TKivCustomEditView::Beep() {
  KivUiServices().Beep();
}

std::unique_ptr<IKivTimer> TKivCustomEditView::CreateTimer() {
  return std::make_unique<TQtTimer>(this);
}

TKivAskButton TKivCustomEditView::Ask(const TKivString& AText, TKivAskButtons AButtons,
                                      const TKivAskPlace* APlace) {
  const bool cancel = (AButtons & abCancel) != 0;
  TKivUiButtons buttons = TKivUiButton::Yes | TKivUiButton::No;
  if (cancel) buttons = buttons | TKivUiButton::Cancel;
  const QString text = QString::fromStdU16String(AText);
  QPoint place;
  const QPoint* at = nullptr;
  if (APlace) {
    // The size of the box the services show, measured on a box like it.
    QMessageBox probe(QMessageBox::Question, QApplication::applicationName(), text,
                      QMessageBox::Yes | QMessageBox::No | (cancel ? QMessageBox::Cancel : QMessageBox::NoButton),
                      this);
    const QSize size = probe.sizeHint();
    // By default the box is centred on the window.
    const QRect win = window()->frameGeometry();
    const QPoint def = viewport()->mapFromGlobal(win.center() - QPoint(size.width() / 2, size.height() / 2));
    const TKivPoint p =
        KivPlaceConfirmDialog(APlace->StartCell, APlace->EndCell, APlace->Area, size.width(), size.height(),
                              {def.x(), def.y()});
    place = viewport()->mapToGlobal(QPoint(p.X, p.Y));
    if (const QScreen* s = screen()) {
      const QRect avail = s->availableGeometry();
      place.setX(std::max(avail.left(), std::min(place.x(), avail.right() + 1 - size.width())));
      place.setY(std::max(avail.top(), std::min(place.y(), avail.bottom() + 1 - size.height())));
    }
    at = &place;
  }
  switch (KivUiServices().Question(this, text, buttons, TKivUiButton::Yes, at)) {
    case TKivUiButton::Yes:
      return abYes;
    case TKivUiButton::Cancel:
      return cancel ? abCancel : abNo;
    default:
      return abNo;
  }
}

bool TKivCustomEditView::PostStep(std::function<void()> AStep) {
  // Dropped with the widget when it goes first.
  QTimer::singleShot(0, this, [this, step = std::move(AStep)] { Guarded(step); });
  return true;
}

// ---- size ----

void TKivCustomEditView::UpdateMinimumSize() {
  // The client area keeps the gutter and one character beside the vertical scroll bar, and one
  // row.
  const int frame = 2 * frameWidth();
  const int bar = verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ? verticalScrollBar()->sizeHint().width() : 0;
  const Integer text = KivSatAdd(std::max<Integer>(GutterWidth(), 0), std::max<Integer>(SpaceCharW(), 1));
  setMinimumSize(KivSatAdd(frame + bar, text), frame + std::max<Integer>(LineHeight(), 1));
}

QSize TKivCustomEditView::sizeHint() const {
  return {185, 89};
}

QSize TKivCustomEditView::minimumSizeHint() const {
  return minimumSize();
}

void TKivCustomEditView::resizeEvent(QResizeEvent* AEvent) {
  QAbstractScrollArea::resizeEvent(AEvent);
  HostResized();
}

// ---- painting ----

void TKivCustomEditView::paintEvent(QPaintEvent* AEvent) {
  QPainter painter(viewport());
  TKivQtPaintSurface surface(painter, FMeasure);
  for (int kind = 0; kind <= giWrap; ++kind)
    if (!FGutterImages[kind].isNull()) surface.SetImage(TKivGutterImage(kind), FGutterImages[kind]);
  PreparePainter(FPainter);
  const QRect clip = AEvent->rect();
  EnterState(siPainting);
  try {
    FPainter.Paint(ScreenLayout(), surface, TextAreaRect(),
                   {clip.left(), clip.top(), clip.left() + clip.width(), clip.top() + clip.height()});
  } catch (...) {
    ExitState(siPainting);
    throw;
  }
  ExitState(siPainting);
  if (!FPreedit.isEmpty()) PaintPreedit(painter);
  if (CaretVisibleNow()) {
    if (FCaretInsert) {
      painter.fillRect(FCaretRect, KivToQColor(KivSystemColor(scWindowText)));
    } else {  // overwrite: the cell inverted
      painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      painter.fillRect(FCaretRect, Qt::white);
    }
  }
}

QImage TKivCustomEditView::GutterImage(TKivGutterImage AKind) const {
  return AKind <= giWrap ? FGutterImages[AKind] : QImage();
}

void TKivCustomEditView::SetGutterImage(TKivGutterImage AKind, const QImage& AImage) {
  if (AKind > giWrap) throw EKivEditViewError(u"Unknown gutter image: %d", {int(AKind)});
  FGutterImages[AKind] = AImage;
  viewport()->update();
}

void TKivCustomEditView::PaintPreedit(QPainter& APainter) {
  // What an input method composes is drawn underlined at the caret, over the text; it is not
  // part of the document until committed.
  QFont font = FMeasure.Font();
  font.setUnderline(true);
  const QFontMetrics metrics(font);
  const QRect box(FCaretRect.left(), FCaretRect.top(), metrics.horizontalAdvance(FPreedit),
                  std::max(FCaretRect.height(), metrics.height()));
  APainter.fillRect(box, KivToQColor(KivRGB(255, 255, 255)));
  APainter.setFont(font);
  APainter.setPen(KivToQColor(Font().Color));
  APainter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, FPreedit);
}

// ---- input ----

void TKivCustomEditView::focusInEvent(QFocusEvent* AEvent) {
  QAbstractScrollArea::focusInEvent(AEvent);
  FocusChanged(true);
}

void TKivCustomEditView::focusOutEvent(QFocusEvent* AEvent) {
  QAbstractScrollArea::focusOutEvent(AEvent);
  FocusChanged(false);
}

bool TKivCustomEditView::focusNextPrevChild(bool ANext) {
  // Tab is a character of the text while the view wants tabs.
  if (WantTabs()) return false;
  return QAbstractScrollArea::focusNextPrevChild(ANext);
}

void TKivCustomEditView::keyPressEvent(QKeyEvent* AEvent) {
  if (InState(siDestroing)) return;
  const int key = AEvent->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  // Without WantReturns Enter belongs to the window (a dialog's default button).
  if (enter && !WantReturns()) {
    AEvent->ignore();
    return;
  }
  // The key's command, then its characters, in one bracket: one repaint.
  const QString text = AEvent->text();
  bool consumed = false;
  BeginUpdate();
  try {
    consumed = CommandHooks().KeyDown(*this, KivShortcutOfEvent(*AEvent));
    if (!consumed)
      for (const QChar ch : text) CommandHooks().KeyPressW(*this, ch.unicode());
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  // Enter, Esc and Tab the view did nothing with go on to the window.
  if (!consumed && (enter || key == Qt::Key_Escape || key == Qt::Key_Tab || key == Qt::Key_Backtab))
    AEvent->ignore();
  else
    AEvent->accept();
}

void TKivCustomEditView::inputMethodEvent(QInputMethodEvent* AEvent) {
  if (InState(siDestroing)) return;
  const QString commit = AEvent->commitString();
  if (!commit.isEmpty())
    CommandHooks().CommitText(*this, TKivStringView(reinterpret_cast<const Char*>(commit.utf16()),
                                                    static_cast<size_t>(commit.size())));
  if (AEvent->preeditString() != FPreedit) {
    FPreedit = AEvent->preeditString();
    viewport()->update();
  }
  AEvent->accept();
}

void TKivCustomEditView::mousePressEvent(QMouseEvent* AEvent) {
  AEvent->accept();
  TKivMouseButton button;
  if (InState(siDestroing) || !MouseButton(AEvent->button(), button)) return;
  const QPoint pos = AEvent->position().toPoint();
  bool handled = false;
  Guarded([&] { handled = MouseDown(button, MouseShift(AEvent->modifiers(), AEvent->buttons()), pos.x(), pos.y()); });
  // A press the application stopped (OnMouseDown) leaves the focus where it was.
  if (handled && !hasFocus()) setFocus(Qt::MouseFocusReason);
  UpdateMouseCursor(pos);
}

void TKivCustomEditView::mouseDoubleClickEvent(QMouseEvent* AEvent) {
  // Qt has delivered the second press already; the double click selects words.
  AEvent->accept();
  if (InState(siDestroing) || AEvent->button() != Qt::LeftButton) return;
  const QPoint pos = AEvent->position().toPoint();
  Guarded([&] { MouseDown(mbLeft, MouseShift(AEvent->modifiers(), AEvent->buttons()), pos.x(), pos.y(), true); });
  UpdateMouseCursor(pos);
}

void TKivCustomEditView::mouseMoveEvent(QMouseEvent* AEvent) {
  AEvent->accept();
  if (InState(siDestroing)) return;
  const QPoint pos = AEvent->position().toPoint();
  Guarded([&] { MouseMove(MouseShift(AEvent->modifiers(), AEvent->buttons()), pos.x(), pos.y()); });
  UpdateMouseCursor(pos);
}

void TKivCustomEditView::mouseReleaseEvent(QMouseEvent* AEvent) {
  AEvent->accept();
  TKivMouseButton button;
  if (InState(siDestroing) || !MouseButton(AEvent->button(), button)) return;
  const QPoint pos = AEvent->position().toPoint();
  Guarded([&] { MouseUp(button, MouseShift(AEvent->modifiers(), AEvent->buttons()), pos.x(), pos.y()); });
  UpdateMouseCursor(pos);
}

void TKivCustomEditView::UpdateMouseCursor(const QPoint& APos) {
  TKivMouseCursor shape = mcIBeam;
  if (!Guarded([&] { shape = MouseCursorAt(APos.x(), APos.y()); })) return;
  if (int(shape) == FMouseCursor) return;
  FMouseCursor = int(shape);
  switch (shape) {
    case mcLineNumbers:
      viewport()->setCursor(LineNumbersCursor());
      break;
    case mcIBeam:
      viewport()->setCursor(Qt::IBeamCursor);
      break;
    default:
      viewport()->setCursor(Qt::ArrowCursor);
      break;
  }
}

QMenu* TKivCustomEditView::ContextMenu() {
  if (FPopupMenu) return FPopupMenu;
  if (ViewSettings() & vsSuppressDefaultMenu) return nullptr;
  if (!FDefPopupMenu) FDefPopupMenu = new QMenu(this);
  FDefPopupMenu->clear();
  const auto add = [this](const char* ACaption, bool AEnabled, void (TKivEditViewCore::*AOp)()) {
    QAction* action = FDefPopupMenu->addAction(QString::fromUtf8(ACaption));
    action->setEnabled(AEnabled);
    QObject::connect(action, &QAction::triggered, this, [this, AOp] { Guarded([&] { (this->*AOp)(); }); });
  };
  add("Undo", CanUndo(), &TKivEditViewCore::Undo);
  FDefPopupMenu->addSeparator();
  add("Cut", CanCut(), &TKivEditViewCore::CutSelection);
  add("Copy", CanCopy(), &TKivEditViewCore::CopySelection);
  add("Paste", CanPaste(), &TKivEditViewCore::Paste);
  FDefPopupMenu->addSeparator();
  add("Select all", true, &TKivEditViewCore::SelectAll);
  return FDefPopupMenu;
}

void TKivCustomEditView::contextMenuEvent(QContextMenuEvent* AEvent) {
  QMenu* menu = ContextMenu();
  if (menu && !menu->isEmpty()) menu->popup(AEvent->globalPos());
  AEvent->accept();
}

void TKivCustomEditView::scrollContentsBy(int, int) {
  // The bars' requests reach the view through their actions; the view repaints itself.
}

void TKivCustomEditView::wheelEvent(QWheelEvent* AEvent) {
  const QPoint delta = AEvent->angleDelta();
  const int lines = QApplication::wheelScrollLines();
  const bool shift = (AEvent->modifiers() & Qt::ShiftModifier) != 0;
  Guarded([&] {
    if (delta.x() != 0 || shift)
      MouseWheelHorz(delta.x() != 0 ? delta.x() : delta.y(), lines);
    else
      MouseWheel(delta.y(), (AEvent->modifiers() & Qt::ControlModifier) != 0, lines);
  });
  AEvent->accept();
}

QVariant TKivCustomEditView::inputMethodQuery(Qt::InputMethodQuery AQuery) const {
  auto& self = const_cast<TKivCustomEditView&>(*this);
  switch (AQuery) {
    case Qt::ImCursorRectangle:
      return FCaretRect;
    case Qt::ImFont:
      return FMeasure.Font();
    case Qt::ImSurroundingText: {
      const TKivEditDocument& doc = self.WorkingDocument();
      const Integer line = doc.GetLineByOffset(self.CursorOffset());
      return QString::fromStdU16String(
          doc.GetText(doc.GetLineStart(line), doc.GetLineEnd(line) - doc.GetLineStart(line)));
    }
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition: {
      const TKivEditDocument& doc = self.WorkingDocument();
      const Integer offset = AQuery == Qt::ImCursorPosition || !self.SelAvail() ? self.CursorOffset()
                             : self.SelectionOffsetStart() == self.CursorOffset()
                                 ? self.SelectionOffsetEnd()
                                 : self.SelectionOffsetStart();
      const Integer lineStart = doc.GetLineStart(doc.GetLineByOffset(self.CursorOffset()));
      return std::clamp<Integer>(offset - lineStart, 0, doc.CharsCount());
    }
    case Qt::ImCurrentSelection: {
      if (!self.SelAvail()) return QString();
      const Integer start = std::min(self.SelectionOffsetStart(), self.SelectionOffsetEnd());
      const Integer end = std::max(self.SelectionOffsetStart(), self.SelectionOffsetEnd());
      return QString::fromStdU16String(self.WorkingDocument().GetText(start, end - start));
    }
    case Qt::ImEnabled:
      return !IsReadOnly();
    default:
      return QAbstractScrollArea::inputMethodQuery(AQuery);
  }
}
