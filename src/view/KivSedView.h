// The editor view as a Qt widget: the view core (KivSedViewCore.h) in a scroll area that paints
// through the Qt surfaces, draws a blinking caret, keeps the scroll bars on the screen cache,
// offers the default context menu and answers input-method queries.
//
// No error leaves a Qt event handler: every exception raised while the widget handles an event
// (or runs a menu command) is shown through the error handler, the error box of the UI services
// (KivUiServices.h) by default. The dialogs and the demo window show their errors the same way.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QTimer>
#include <functional>
#include <memory>

#include "KivSedCompletionList.h"
#include "KivSedPainter.h"
#include "KivSedQtMeasure.h"
#include "KivSedViewCore.h"

class QMenu;
class QMouseEvent;
class QMimeData;
class QPainter;

class TKivCustomEditView : public QAbstractScrollArea, public TKivEditViewCore, private IKivViewHost {
 public:
  // Shows the message of an error that reached the event boundary.
  using TErrorHandler = std::function<void(QWidget* AView, const QString& AMessage)>;

  explicit TKivCustomEditView(QWidget* AParent = nullptr);
  ~TKivCustomEditView() override;

  // The handler of every view (none restores the UI services' error box).
  static void SetErrorHandler(TErrorHandler AHandler);
  // The one error display of the views, the dialogs and the main window: the handler, or the
  // UI services' error box. One message at a time: an error raised while one is shown is dropped.
  static void ShowError(QWidget* AWhere, const QString& AMessage);
  // Runs AFn and shows what it raises; false when it raised.
  static bool RunGuarded(QWidget* AWhere, const std::function<void()>& AFn);

  // A menu of the application's in place of the default one (not owned; none restores it).
  QMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(QMenu* AMenu) { FPopupMenu = AMenu; }
  // The menu a context-menu request shows: the application's, or the default menu filled anew
  // ("Undo", "-", "Cut", "Copy", "Paste", "-", "Select all", enabled as their operations can
  // run); none when vsSuppressDefaultMenu is set and no menu is assigned.
  QMenu* ContextMenu();

  // What paints the gutter and the text: its events are the application's to set; colours,
  // settings and the gutter (GutterPaintSettings) are copied from the view before every paint.
  TKivEditPainter& Painter() { return FPainter; }
  // The gutter's own images (bookmark, breakpoints, debugger frames, folds, wrapped rows); a null
  // image (the default) paints the built-in one, where there is one. Setting one repaints.
  QImage GutterImage(TKivGutterImage AKind) const;
  void SetGutterImage(TKivGutterImage AKind, const QImage& AImage);

  // The caret as drawn: its rectangle (a 2 px bar, or the inverted cell in overwrite mode), and
  // whether it is in the visible phase of its blinking. The bars' state in the view's terms is
  // VertScrollBarInfo() and HorzScrollBarInfo().
  QRect CaretRect() const { return FCaretRect; }
  bool CaretVisibleNow() const { return FCaretOn && FCaretPhase; }

  // Drag and drop of text: the data a drag from this view carries (the selected text, and a
  // private format naming this view within this process); the format's MIME type.
  QMimeData* CreateDragData();
  static const char* DragFormat();
  // Starts a drag of the selection (a mouse move after a press on it does; Qt runs the drag's
  // event loop). A move to another program deletes the selection when that program took it.
  virtual void startDrag();
  // ---- word completion (CompletionList.cpp) ----
  // The list window the view's completion shows (created with the view, hidden).
  TComplList& CompletionList() const;
  bool CompletionTimerActive() const;
  TKivEditDrawCompletionItemEvent OnCompletionCustomDraw;
  TKivEditMeasureCompletionItemEvent OnCompletionMeasureItem;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  QVariant inputMethodQuery(Qt::InputMethodQuery AQuery) const override;

 protected:
  bool event(QEvent* AEvent) override;
  bool viewportEvent(QEvent* AEvent) override;
  void paintEvent(QPaintEvent* AEvent) override;
  void resizeEvent(QResizeEvent* AEvent) override;
  void focusInEvent(QFocusEvent* AEvent) override;
  void focusOutEvent(QFocusEvent* AEvent) override;
  void keyPressEvent(QKeyEvent* AEvent) override;
  void inputMethodEvent(QInputMethodEvent* AEvent) override;
  void contextMenuEvent(QContextMenuEvent* AEvent) override;
  void scrollContentsBy(int ADx, int ADy) override;
  void wheelEvent(QWheelEvent* AEvent) override;
  bool focusNextPrevChild(bool ANext) override;
  // The mouse goes to the view core (buttons and modifiers as a shift state); the cursor shape
  // follows every move.
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseDoubleClickEvent(QMouseEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;
  void dragEnterEvent(QDragEnterEvent* AEvent) override;
  void dragMoveEvent(QDragMoveEvent* AEvent) override;
  void dragLeaveEvent(QDragLeaveEvent* AEvent) override;
  void dropEvent(QDropEvent* AEvent) override;

 private:
  class TEditHooks;
  class TGutterHooks;
  class TComplHost;
  void InitCompletion();
  void DoneCompletion();

  // IKivViewHost
  bool HasWindow() const override { return true; }
  TKivRect TextAreaRect() const override;
  IKivMeasureSurface* MeasureSurface() override { return &FMeasure; }
  void FontChanged(const TKivViewFont& AFont) override;
  void InvalidateRect(const TKivRect& ARect) override;
  void InvalidateAll() override;
  void Flush() override {}
  bool Focused() const override { return hasFocus(); }
  void HideCaret() override;
  void ShowCaret(Integer AX, Integer AY, Integer AWidth, Integer AHeight) override;
  void SetScrollBars(const TKivScrollBarInfo& AVert, const TKivScrollBarInfo& AHorz) override;
  void Beep() override;
  bool PostStep(std::function<void()> AStep) override;
  // Timers on QTimer; the clock is the steady one.
  std::unique_ptr<IKivTimer> CreateTimer() override;
  // The shape over a viewport point, set when it changes.
  void UpdateMouseCursor(const QPoint& APos);
  // Asks through the UI services, the box placed clear of the occurrence it asks about.
  TKivAskButton Ask(const TKivString& AText, TKivAskButtons AButtons, const TKivAskPlace* APlace) override;

  // Runs AFn and shows what it raises.
  template <class F>
  bool Guarded(F&& AFn);
  void ReportError(const QString& AMessage);
  void PaintPreedit(QPainter& APainter);
  void UpdateMinimumSize();
  // A scroll bar's action (QAbstractSlider::SliderAction) handed to the view core.
  void ScrollBarAction(bool AVert, int AAction);
  void ScrollBarRequest(bool AVert, TKivScrollCode ACode, Integer APos);

  TKivQtMeasureSurface FMeasure;
  std::unique_ptr<TEditHooks> FEditHooksImpl;
  std::unique_ptr<TGutterHooks> FGutterHooksImpl;
  TKivEditPainter FPainter;
  QTimer FCaretTimer;
  QRect FCaretRect;
  bool FCaretOn = false;
  bool FCaretPhase = true;
  bool FCaretInsert = true;
  QMenu* FPopupMenu = nullptr;
  QMenu* FDefPopupMenu = nullptr;
  QString FPreedit;  // an input method's text being composed
  int FMouseCursor = -1;  // the TKivMouseCursor shown
  QImage FGutterImages[giWrap + 1];
  // Drag and drop (ViewDragDrop.cpp): this view's id in the drag format (0: none yet), and
  // whether a view of this process took the drag this view started.
  quint64 FDragId = 0;
  bool FDragTakenHere = false;
  TKivCustomEditView* DragSource(const QMimeData* AData) const;
  void DragOver(QDropEvent* AEvent);
  TComplHost* FComplHost = nullptr;  // owned: made by InitCompletion, deleted by DoneCompletion
};

// The view with its properties published; no behaviour of its own.
class TKivEditView : public TKivCustomEditView {
 public:
  using TKivCustomEditView::TKivCustomEditView;
};
