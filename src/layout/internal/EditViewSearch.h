// The view's search and replace over the document's search engine, and its incremental search:
// the stored arguments, the open engine run, the replacement counter and the jump list.
#pragma once

#include <vector>

#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"

// Holds the command lock (so that the step's own cursor changes do not end an incremental search).
class TModesLock {
 public:
  TModesLock(TKivEditViewCore& AView, bool AOn) : FView(AView), FOn(AOn) {
    if (FOn) FView.LockCmdModes();
  }
  ~TModesLock() {
    if (FOn) FView.UnlockCmdModes();
  }
  TModesLock(const TModesLock&) = delete;
  TModesLock& operator=(const TModesLock&) = delete;

 private:
  TKivEditViewCore& FView;
  bool FOn;
};

// Runs AFn in a change bracket; with AAvoidEdges the cursor keeps its distance from the window's
// edges while it runs.
template <class F>
inline void InUpdate(TKivEditViewCore& AView, bool AAvoidEdges, F&& AFn) {
  AView.BeginUpdate();
  const bool avoid = AAvoidEdges && !AView.InState(siScrollforceAvoidAdges);
  if (avoid) AView.EnterState(siScrollforceAvoidAdges);
  try {
    AFn();
  } catch (...) {
    if (avoid) AView.ExitState(siScrollforceAvoidAdges);
    AView.EndUpdate();
    throw;
  }
  if (avoid) AView.ExitState(siScrollforceAvoidAdges);
  AView.EndUpdate();
}

class TViewSearch final : public IKivViewSearchHooks {
 public:
  explicit TViewSearch(TKivEditViewCore& AView) : FView(AView) {}
  ~TViewSearch() override;
  TViewSearch(const TViewSearch&) = delete;
  TViewSearch& operator=(const TViewSearch&) = delete;

  // IKivViewSearchHooks
  void StartIncrementalSearch(TKivEditViewCore& AView) override;
  void EndIncrementalSearch(TKivEditViewCore& AView) override;
  void CloseSearchState(TKivEditViewCore& AView) override;

  bool SearchFirst(const TKivEditSearchArguments& AArgs) { return DoSearchFirst(AArgs, true); }
  bool SearchNext();
  bool ReplaceFirst(const TKivEditSearchArguments& AArgs);
  bool ReplaceNext();
  bool ReplaceAll(const TKivEditSearchArguments& AArgs, TKivEditViewReplaceAllBounds ABounds);
  void AssignSearchReplaceArgs(const TKivEditSearchArguments& AArgs, TKivEditViewSearchState AState);

  // Incremental search steps (commands sedIncrementalSearchAddChar, Back, Forward).
  void IncAddChars(const TKivString& AChars);
  void IncBack();
  bool IncForward();

  // Closes the open engine run, if any.
  void CloseState();

  TKivEditViewSearchState State() const { return FSearchState; }
  const TKivEditSearchArguments& Args() const { return FSearchArgs; }
  Integer NumReplacements() const { return FSearchNumOfReplacements; }
  const std::vector<TIncSearchJump>& Jumps() const { return FSearchIncJumps; }
  bool HasOpenRun() const { return FSearchStateBag != nullptr; }
  // The other matches marked on screen during incremental search.
  const std::vector<TKivSegment>& IncHighlights() const { return FIncHighlights; }

 private:
  // Cursor and selection as a call found them.
  struct TSnapshot {
    TOffsetPoint Cursor, SelStart, SelEnd;
    bool Block = false;
  };
  TSnapshot Take();
  void Restore(const TSnapshot& AShot);

  // AAsk false: a step that never asks to go on at the other end (a typed character, Backspace).
  bool DoSearchFirst(const TKivEditSearchArguments& AArgs, bool AAsk);
  bool SearchStep(bool AAsk);
  // Finds the next occurrence from the cursor: with the open run, or with a new one from the
  // start position (kept when it found something).
  bool FindNext();
  // Moves the cursor to the text's start or end when the arguments say so; returns the count of
  // characters from the cursor to the end the search runs towards.
  Integer ApplyStartPosition();
  bool AskContinueAtEnd();
  // Selects a match: the cursor at its end, or at its start for backward and incremental searches.
  void SelectFound(Integer AStart, Integer ACount, bool ACursorAtStart);
  void CancelSelection();
  void MoveCursor(Integer AOffset);
  void ReplaceFoundHandler(TKivEditFindReplaceState& AState, Integer& ReplacedCount,
                           TKivEditReplaceAction& Action, bool AForAll);
  TKivEditReplaceEvent Handler(bool AForAll);
  // The handler of an unconfirmed replace-all without OnReplaceFound: it only counts.
  TKivEditReplaceEvent CountingHandler();
  bool PlaceOf(Integer AStart, Integer ACount, TKivAskPlace& APlace);
  void CheckReplace();
  void MarkIncMatches();
  void ClearIncHighlights();

  TKivEditViewCore& FView;
  TKivEditSearchArguments FSearchArgs;
  TKivEditViewSearchState FSearchState = stNothing;
  Integer FSearchNumOfReplacements = 0;
  TKivEditFindReplaceStatePtr FSearchStateBag;
  std::vector<TIncSearchJump> FSearchIncJumps;
  std::vector<TKivSegment> FIncHighlights;
  bool FEnding = false;
};
