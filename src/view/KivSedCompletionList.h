// The completion list window of the editor view: a top-level list that never takes the focus or
// the activation, shown under the word being completed, resized from the corner away from it.
#pragma once

#include <QListWidget>
#include <QStyle>
#include <functional>

#include "KivSedViewCore.h"

class QPainter;
class TKivCustomEditView;

// Owner drawing of the list's items (ctCustomOwnerDrawFixed, ctCustomOwnerDrawVariable).
using TKivEditDrawCompletionItemEvent =
    std::function<void(TKivCustomEditView& Sender, const TKivCompletionItems& AItems, Integer Index,
                       const QRect& Rect, QStyle::State State, QPainter& Canvas)>;
// The height of one item of a variable owner-drawn list; Canvas measures in the list's font.
using TKivEditMeasureCompletionItemEvent =
    std::function<void(TKivCustomEditView& Sender, const TKivCompletionItems& AItems, Integer Index,
                       QPainter& Canvas, Integer& Height)>;

class TComplList : public QListWidget {
 public:
  // The platform list box's default size, also the smallest the list can be made.
  static constexpr int kMinWidth = 121;
  static constexpr int kMinHeight = 97;
  static constexpr int kResizeZone = 3;

  TComplList();

  // Shows the list at a screen point without changing its size and without activating it, or
  // hides it.
  void Show(bool AVisible, int AX, int AY);
  bool IsVisible() const { return FIsVisible; }
  // The resize cursor under the mouse (a Qt::CursorShape), 0 when the mouse is on no resize zone.
  int Cursor() const { return FCursor; }
  TComplResizeCorner Corner() const { return FCorner; }
  void SetCorner(TComplResizeCorner AValue) { FCorner = AValue; }
  bool Resizing() const { return FResizing; }

  // The mouse selected an item (hovering) or committed it (a left click on it).
  std::function<void(int ARow)> OnHoverItem;
  std::function<void(int ARow)> OnClickItem;

 protected:
  // Mouse events on the border reach the handlers too (a scroll area leaves them to its viewport).
  bool event(QEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;
  void mouseDoubleClickEvent(QMouseEvent* AEvent) override;

 private:
  // Which edges meeting at Corner the point (in the list's coordinates) lies on.
  void ZoneAt(const QPoint& APos, bool& AHorz, bool& AVert) const;
  void UpdateCursor(const QPoint& APos);
  void ResizeTo(const QPoint& AGlobal);
  int RowAtGlobal(const QPoint& AGlobal) const;

  int FCursor = 0;
  TComplResizeCorner FCorner = rcTopLeft;
  bool FIsVisible = false;
  bool FResizing = false;
  bool FResizeHorz = false;  // the vertical edge (left or right) follows the mouse
  bool FResizeVert = false;  // the horizontal edge (top or bottom) follows the mouse
};
