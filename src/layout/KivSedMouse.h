// The mouse as the view core sees it: buttons, the button bits of a shift state, the parts of
// the client area, the cursor shapes, and the events of gutter clicks, cursor shapes and presses.
#pragma once

#include <functional>

#include "KivSedCommands.h"

class TKivEditViewCore;
class TKivGutterBar;

enum TKivMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
// Buttons held, in a shift state beside ssShift, ssAlt and ssCtrl.
inline constexpr TKivShiftState ssLeft{8};
inline constexpr TKivShiftState ssRight{16};
inline constexpr TKivShiftState ssMiddle{32};

// Where a client point lies: beside a row of text (gutter or text area), or below the last row.
enum TKivEditScreenPart : uint8_t { spGutterText, spText, spGutterPastText, spPastText };

// The shapes of the mouse cursor over the view.
enum TKivMouseCursor : uint8_t {
  mcDefault,     // the platform's default (the gutter's bars)
  mcIBeam,       // text
  mcArrow,       // the selection while it can be dragged
  mcLineNumbers  // the line-number bar: an arrow pointing right
};

struct TKivGutterClickParams {
  Integer ScrollLine = 0;
  TKivGutterBar* Bar = nullptr;
  TKivShiftState Shift = ssEmpty;
  TKivMouseButton Button = mbLeft;
};

// A click on a gutter bar beside a row; setting Handled (false on entry) skips the view's own
// handling of the click.
using TKivGutterClickEvent =
    std::function<void(TKivEditViewCore& AView, const TKivGutterClickParams& AParams, bool& Handled)>;
// The cursor shape over a scroll position of the text area; the handler may replace it.
using TKivMouseCursorEvent =
    std::function<void(TKivEditViewCore& AView, const TKivPoint& AScrollPos, TKivMouseCursor& ACursor)>;
// A button went down at a client point, before the view handles it; setting AStop ends the press
// there silently.
using TKivMouseDownEvent = std::function<void(TKivEditViewCore& AView, TKivMouseButton AButton,
                                              TKivShiftState AShift, Integer AX, Integer AY, bool& AStop)>;
