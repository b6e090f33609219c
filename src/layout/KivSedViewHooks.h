// The seams of the editor view: the host window it runs in, and the behaviour groups (commands,
// editing and clipboard, mouse and gutter, search and completion) that plug into it.
//
// The view core (KivSedViewCore.h) holds the component's state and its change bracket; it knows
// nothing of a toolkit. A platform widget implements IKivViewHost; a test implements it with
// counters. The behaviour groups have empty defaults, so a view without them is a plain viewer.
#pragma once

#include <functional>

#include "KivLayoutTypes.h"
#include "KivSedMeasure.h"
#include "KivSedTimer.h"

class TKivEditViewCore;

// One scroll bar as the view wants it shown: positions in [Min, Max], a page of Page units.
struct TKivScrollBarInfo {
  Integer Min = 0;
  Integer Max = 0;
  Integer Page = 1;
  Integer Pos = 0;
  bool Visible = true;
  friend bool operator==(const TKivScrollBarInfo&, const TKivScrollBarInfo&) = default;
};

// The font of a view as an abstract handle: the host turns it into a platform font and measures
// with it. Size is in points; a PixelSize above 0 gives the height in pixels instead.
struct TKivViewFont {
  TKivString Name = u"Courier New";
  Integer Size = 10;
  Integer PixelSize = 0;
  TKivColor Color = KivSystemColor(scWindowText);
  TKivFontStyles Style = 0;
  friend bool operator==(const TKivViewFont&, const TKivViewFont&) = default;
};

// The buttons of a question the view asks, and the answer it got.
enum TKivAskButton : uint8_t { abYes = 1, abNo = 2, abCancel = 4 };
using TKivAskButtons = uint8_t;

// Where a question about an occurrence of the text may go, in client coordinates: the cells of
// the occurrence's start and of its end on its first row, and the text area right of the gutter.
// KivPlaceConfirmDialog (KivSedViewSearch.h) places a box of a known size clear of it.
struct TKivAskPlace {
  TKivRect StartCell;
  TKivRect EndCell;
  TKivRect Area;
};

// What the view needs from the window that shows it. Its timers and clock (IKivTimerHost) default
// to timers that tick only when told and the steady clock.
class IKivViewHost : public IKivTimerHost {
 public:
  virtual ~IKivViewHost() = default;
  // Whether the platform window exists (painting, caret and scroll bars only then).
  virtual bool HasWindow() const = 0;
  // The client rectangle in pixels: gutter and text lie inside it.
  virtual TKivRect TextAreaRect() const = 0;
  // The surface the view measures with, in the view's font; none measures every character as one
  // space of one pixel.
  virtual IKivMeasureSurface* MeasureSurface() = 0;
  // The view's font changed: measure with it from now on.
  virtual void FontChanged(const TKivViewFont& AFont) = 0;
  // Repaint a rectangle of the client area, or all of it.
  virtual void InvalidateRect(const TKivRect& ARect) = 0;
  virtual void InvalidateAll() = 0;
  // Paint what was invalidated now.
  virtual void Flush() = 0;
  // The caret: only while the window has the focus.
  virtual bool Focused() const = 0;
  virtual void HideCaret() = 0;
  // Shows the caret with its top-left at AX, AY in the client area.
  virtual void ShowCaret(Integer AX, Integer AY, Integer AWidth, Integer AHeight) = 0;
  virtual void SetScrollBars(const TKivScrollBarInfo& AVert, const TKivScrollBarInfo& AHorz) = 0;
  // The audible signal of a refused command.
  virtual void Beep() = 0;
  // Runs AStep later from the event loop, so that long work goes in steps that keep the window
  // responsive; false when the host cannot (the work is then done at once).
  virtual bool PostStep(std::function<void()> AStep) {
    (void)AStep;
    return false;
  }
  // Asks the user a question with the buttons given (Yes and No, perhaps Cancel); APlace, when
  // given, is the occurrence the question is about. Closing the question answers Cancel when it is
  // offered, else No; a host that cannot ask answers so at once.
  virtual TKivAskButton Ask(const TKivString& AText, TKivAskButtons AButtons, const TKivAskPlace* APlace) {
    (void)AText;
    (void)APlace;
    return (AButtons & abCancel) ? abCancel : abNo;
  }
};

// Commands and key bindings. KeyDown gets a shortcut (key code in the low byte, 0x2000 Shift,
// 0x4000 Ctrl, 0x8000 Alt) and tells whether it consumed the key (its characters are then not
// typed). Every view installs its own command machinery (KivSedCommands.h) here.
class IKivViewCommandHooks {
 public:
  virtual ~IKivViewCommandHooks() = default;
  virtual bool KeyDown(TKivEditViewCore& AView, uint16_t AShortcut) {
    (void)AView;
    (void)AShortcut;
    return false;
  }
  // One character message of a key: dropped when the key-down consumed the key.
  virtual void KeyPressW(TKivEditViewCore& AView, Char AKey) {
    (void)AView;
    (void)AKey;
  }
  // Text an input method commits: typed character by character, whatever the last key-down did.
  virtual void CommitText(TKivEditViewCore& AView, TKivStringView AText) {
    (void)AView;
    (void)AText;
  }
  // Whether the view takes the key before the application's shortcuts see it.
  virtual bool WantsKey(TKivEditViewCore& AView, uint16_t AShortcut) {
    (void)AView;
    (void)AShortcut;
    return false;
  }
};

// The clipboard and selecting all (undo and redo are the view's own). The view checks the
// document and the read-only rule before it calls the changing operations. The defaults are the view's own operations (ViewClipboard.cpp): the
// clipboard through the view's clipboard seam (none: nothing to paste, nothing copied).
class IKivViewEditHooks {
 public:
  virtual ~IKivViewEditHooks() = default;
  virtual bool ClipboardHasText(TKivEditViewCore& AView);
  virtual void CopySelection(TKivEditViewCore& AView);
  virtual void CutSelection(TKivEditViewCore& AView);
  virtual void Paste(TKivEditViewCore& AView);
  virtual void SelectAll(TKivEditViewCore& AView);
};

// The clipboard as the view sees it: plain text, marked when it came from a block (column)
// selection. A widget implements it over the platform's clipboard; tests keep it in memory.
class IKivClipboard {
 public:
  virtual ~IKivClipboard() = default;
  virtual bool HasText() = 0;
  // The text (empty when there is none) and whether it carries the block mark.
  virtual void GetText(TKivString& AText, bool& AIsRectBlock) = 0;
  // An empty text leaves the clipboard as it is.
  virtual void SetText(TKivStringView AText, bool AIsRectBlock) = 0;
  // Bulk forms for large texts, so that a copy or paste touches each character once. The
  // defaults go through SetText and GetText; a platform overrides them to skip that copy.
  // Puts a text of ALength characters (none: the clipboard stays as it is) on the clipboard
  // that AFill writes, each character once, into the buffer it is given.
  virtual void SetTextFilled(size_t ALength, const std::function<void(Char*)>& AFill, bool AIsRectBlock);
  // Calls AUse with the clipboard's text (valid during the call) and its block mark.
  virtual void ReadText(const std::function<void(TKivStringView, bool)>& AUse);
};

// Mouse and gutter.
class IKivViewMouseHooks {
 public:
  virtual ~IKivViewMouseHooks() = default;
  // Total width of the gutter's bars in pixels.
  virtual Integer GutterWidth(const TKivEditViewCore& AView) const {
    (void)AView;
    return 0;
  }
  // The auto-scroll of a mouse drag must stop (the focus went).
  virtual void StopAutoScroll(TKivEditViewCore& AView) { (void)AView; }
};

// Search and completion: what entering and leaving the view's states starts and ends. The
// completion functions hide the view's completion list and stop its timer (ViewCompletion.cpp).
class IKivViewSearchHooks {
 public:
  virtual ~IKivViewSearchHooks() = default;
  virtual void HideCompletionList(TKivEditViewCore& AView);
  virtual void StopCompletionTimer(TKivEditViewCore& AView);
  virtual void StartIncrementalSearch(TKivEditViewCore& AView) { (void)AView; }
  virtual void EndIncrementalSearch(TKivEditViewCore& AView) { (void)AView; }
  // The document goes: forget the search state kept for it.
  virtual void CloseSearchState(TKivEditViewCore& AView) { (void)AView; }
};
