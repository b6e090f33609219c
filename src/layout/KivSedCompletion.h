// Word completion of the editor view: its types and events, its settings, the list's placement,
// and the seam through which the view core reaches the list window and the completion timer.
//
// The core fills the list (the document's words with the typed prefix, or the application's
// entries), decides when it shows, where it goes and what a commit replaces. A platform widget
// implements IKivCompletionListHost with a real top-level list and a timer; tests record calls.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "KivLayoutTypes.h"
#include "KivSedTimer.h"
#include "KivStrings.h"

class TKivEditViewCore;
class TKivViewCompletion;

enum TKivViewCompletionType : uint8_t {
  ctDocumentText,
  ctCustom,
  ctCustomOwnerDrawFixed,
  ctCustomOwnerDrawVariable,
  ctDisabled
};
// Why the list is being filled.
enum TKivEditFillCompletionCause : uint8_t { fcForced, fcTimeout, fcWordEnd };
// Why an entry is committed.
enum TKivEditReplaceCompletionCause : uint8_t { rcCompletionList, rcWordEnd };
// The corner of the list that can be dragged.
enum TComplResizeCorner : uint8_t { rcTopLeft, rcTopRight, rcBottomLeft, rcBottomRight };

using TKivCompletionItems = std::vector<TKivString>;

// The list is being filled: the handler may add entries to Items and move PosForCombo (the
// scroll position the list is put under); with Handled left false the document's words follow.
using TKivEditFillCompletionListEvent =
    std::function<void(TKivEditViewCore& Sender, TKivCompletionItems& Items, const TKivPoint& CursorPoint,
                       TKivEditFillCompletionCause Cause, const TKivString& LeftPart, TKivPoint& PosForCombo,
                       bool& Handled)>;
// An entry is committed: with Handled set the handler did the replacing itself.
using TKivEditReplaceForCompletionResultEvent =
    std::function<void(TKivEditViewCore& Sender, const TKivCompletionItems& Items, Integer ItemIndex,
                       const TKivPoint& CursorPoint, TKivEditReplaceCompletionCause Cause, bool& Handled)>;

// Where the list goes. AWordCell is the screen rectangle of the cell under which the list opens
// (the word's first character), ACursorCell that of the cursor's cell, AScreen the available
// area of the screen showing the view. Below the word unless the list does not fit under it,
// then above; at the word's left unless it does not fit on the right, then its right edge at the
// cursor cell's left. Corner is the corner away from the word.
struct TKivComplPlacement {
  TKivPoint Point;
  TComplResizeCorner Corner = rcBottomRight;
  bool PlacedLeft = false;
  friend bool operator==(const TKivComplPlacement&, const TKivComplPlacement&) = default;
};
TKivComplPlacement KivPlaceCompletionList(const TKivRect& AWordCell, const TKivRect& ACursorCell,
                                          Integer AListWidth, Integer AListHeight, const TKivRect& AScreen);

// The list window as the core sees it. Items and the selected index live in the
// view's completion (TKivViewCompletion); the window shows them.
class IKivCompletionListHost {
 public:
  virtual ~IKivCompletionListHost() = default;
  // Shows the list at a screen point without changing its size or activating it, or hides it.
  virtual void ShowList(bool AVisible, Integer AScreenX, Integer AScreenY) = 0;
  virtual bool ListVisible() const = 0;
  virtual Integer ListWidth() const = 0;
  virtual Integer ListHeight() const = 0;
  virtual void SetListCorner(TComplResizeCorner ACorner) = 0;
  // The items, the selected index or the settings (item height, owner drawing) changed.
  virtual void ListItemsChanged() {}
  virtual void ListItemIndexChanged() {}
  virtual void ListSettingsChanged() {}
  // Entries one page of the list holds (PgUp, PgDn).
  virtual Integer ListPageCount() const { return 1; }
  // A point of the view's client area on the screen; the available area of that screen.
  virtual TKivPoint ClientToScreen(const TKivPoint& AClient) const = 0;
  virtual TKivRect ScreenArea() const = 0;
};

// The completion settings of a view: persistent, owned by the view, their values kept in the
// view. Every change acts only when the value differs, inside one settings change of the view
// (reported as scViewSettings).
class TKivEditCompletionSettings {
 public:
  // Raises "This internal View class should not be created manually." without a view, or when
  // the view has its settings object already.
  explicit TKivEditCompletionSettings(TKivEditViewCore* AParent);
  TKivEditCompletionSettings(const TKivEditCompletionSettings&) = delete;
  TKivEditCompletionSettings& operator=(const TKivEditCompletionSettings&) = delete;

  Integer ShowTimeout() const;
  // Milliseconds, at least 1.
  void SetShowTimeout(Integer AValue);
  bool ShowCompletionOnTimeout() const;
  void SetShowCompletionOnTimeout(bool AValue);
  Integer MinChars() const;
  // At least 0.
  void SetMinChars(Integer AValue);
  bool DontShowComboForOnlyMatch() const;
  void SetDontShowComboForOnlyMatch(bool AValue);
  bool CaseSensitive() const;
  void SetCaseSensitive(bool AValue);
  TKivViewCompletionType CompletionType() const;
  void SetCompletionType(TKivViewCompletionType AValue);
  Integer ItemHeight() const;
  // Pixels, at least 1.
  void SetItemHeight(Integer AValue);
  const TKivString& WordSeparators() const;
  void SetWordSeparators(const TKivString& AValue);
  // All eight in one settings change; checked before anything changes.
  void Assign(const TKivEditCompletionSettings& AValue);

 private:
  friend class TKivViewCompletion;
  template <class F>
  void Change(F&& AStore);
  TKivEditViewCore* FParent;
  TKivViewCompletion* FCompl;
};

// The view's completion: the settings' values, the list's items and selection, filling,
// placement, committing and the timer (a single-shot timer of the view's host, made on first use).
// Owned by the view core (TKivEditViewCore::Completion).
class TKivViewCompletion {
 public:
  explicit TKivViewCompletion(TKivEditViewCore& AView);
  ~TKivViewCompletion();
  TKivViewCompletion(const TKivViewCompletion&) = delete;
  TKivViewCompletion& operator=(const TKivViewCompletion&) = delete;

  TKivEditCompletionSettings& Settings() { return *FSettings; }

  // The list window; none: the list is not shown anywhere (the states still follow).
  void SetListHost(IKivCompletionListHost* AHost);
  IKivCompletionListHost* ListHost() const { return FListHost; }
  // The host goes: no list window and no timer from here on.
  void ReleaseHost();
  // The completion timer, none before it was first started.
  IKivTimer* Timer() const { return FTimer.get(); }

  const TKivCompletionItems& Items() const { return FItems; }
  Integer ItemIndex() const { return FItemIndex; }
  // Selects an entry (clamped to the items; -1 with none).
  void SetItemIndex(Integer AValue);

  TKivString Separators() const;
  // Fills the list and shows it, commits its only or first entry, or hides it (see the class's
  // implementation for the rules). Raises in incremental search.
  void Show(TKivEditFillCompletionCause ACause, bool AAllowSingleCommit);
  // The list's items for the cursor at ACursorPoint; the result is their number.
  Integer FillList(TKivCompletionItems& AItems, const TKivPoint& ACursorPoint, TKivPoint& APosForCombo,
                   TKivEditFillCompletionCause ACause);
  // The document's words that begin with the word part before ACursorPoint, each text once, in
  // document order, without the occurrence at the cursor; appended to AItems.
  Integer FillListDef(TKivCompletionItems& AItems, const TKivPoint& ACursorPoint,
                      TKivEditFillCompletionCause ACause, TKivPoint& APosForCombo);
  // How many times the default fill read the whole document; a refill of the shown list that
  // filters its last words does not count.
  Integer FillScans() const { return FFillScans; }
  // Replaces the word at AScrollPoint by the selected entry (or lets OnCompletionReplace do it).
  void Commit(const TKivPoint& AScrollPoint, bool AWordEnd);
  // The list's selection moved by a completion command (Up, Down, PgUp, PgDn, Home, End).
  void MoveSelection(Integer ACommand);
  // The timer fired.
  void TimerTick();
  // Starts the timer with ShowTimeout (the command layer, after a word character).
  void StartTimer();
  // The view left siComplListShown or siComplTimer.
  void HideList();
  void StopTimer();

 private:
  friend class TKivEditCompletionSettings;
  class TFillCache;
  void SettingsChanged();
  void PlaceList(const TKivPoint& APosForCombo);
  void DropFillCache();

  TKivEditViewCore& FView;
  std::unique_ptr<TKivEditCompletionSettings> FSettings;
  IKivCompletionListHost* FListHost = nullptr;
  std::unique_ptr<IKivTimer> FTimer;
  bool FHostReleased = false;
  TKivCompletionItems FItems;
  Integer FItemIndex = -1;
  // The words of the last scan while the list is shown, so that a refill filters them instead
  // of reading the whole document again (see TFillCache).
  std::unique_ptr<TFillCache> FFillCache;
  bool FKeepFill = false;
  Integer FFillScans = 0;  // the fill runs for the list (Show), which may keep its words

  // The settings' values.
  Integer FCompletionTimeout = 500;
  bool FComplUseTimeout = true;
  Integer FCompletionMinChars = 3;
  bool FCompletionNoComboForOnly = true;
  bool FCompletionCaseSens = false;
  TKivViewCompletionType FCompletionType = ctDocumentText;
  Integer FItemHeight = 16;
  TKivString FComplWordSep;
};
