// The view's search and replace: it keeps the arguments of the last search, starts at the cursor
// or at the text's start or end, selects and shows what it finds, asks whether to go on at the
// other end of the text, asks before each replacement when the user wants to confirm, and counts
// replacements. The document's search engine does the finding.
#include <algorithm>
#include <limits>

#include "internal/CursorUndoInfo.h"
#include "internal/ScreenCache.h"
#include "internal/EditViewSearch.h"
#include "internal/ViewLst.h"

namespace {

// The completion states: every search step leaves them.
constexpr TKivEditInternalStates kComplStates = siComplWordTyping | siComplListShown;

constexpr TKivStringView kNoSearch = u"You should call BeginSearch before SearchNext";
constexpr TKivStringView kNoReplace = u"You should call BeginReplace before ReplaceNext";
constexpr TKivStringView kEndReached = u"End of document reached. Continue search/replace from start?";
constexpr TKivStringView kStartReached = u"Start of document reached. Continue search/replace from end?";

Char CharAt(TKivEditDocument& ADoc, Integer AOffset) {
  if (AOffset < 0 || AOffset >= ADoc.CharsCount()) return 0;
  Char c = 0;
  ADoc.CopyChars(AOffset, 1, &c);
  return c;
}

// Between the CR and the LF of a line separator.
bool InsideCrLf(TKivEditDocument& ADoc, Integer AOffset) {
  return CharAt(ADoc, AOffset - 1) == u'\r' && CharAt(ADoc, AOffset) == u'\n';
}

}  // namespace

// ---- the view's operations ----

bool TKivEditViewCore::SearchFirst(const TKivEditSearchArguments& AArgs) {
  return FSearch->SearchFirst(AArgs);
}
bool TKivEditViewCore::SearchNext() {
  return FSearch->SearchNext();
}
bool TKivEditViewCore::ReplaceFirst(const TKivEditSearchArguments& AArgs) {
  return FSearch->ReplaceFirst(AArgs);
}
bool TKivEditViewCore::ReplaceNext() {
  return FSearch->ReplaceNext();
}
bool TKivEditViewCore::ReplaceAll(const TKivEditSearchArguments& AArgs, TKivEditViewReplaceAllBounds ABounds) {
  return FSearch->ReplaceAll(AArgs, ABounds);
}
void TKivEditViewCore::AssignSearchReplaceArgs(const TKivEditSearchArguments& AArgs,
                                               TKivEditViewSearchState AState) {
  FSearch->AssignSearchReplaceArgs(AArgs, AState);
}
TKivEditViewSearchState TKivEditViewCore::SearchState() const {
  return FSearch->State();
}
const TKivEditSearchArguments& TKivEditViewCore::SearchLastArgs() const {
  return FSearch->Args();
}
Integer TKivEditViewCore::SearchLastNumReplacements() const {
  return FSearch->NumReplacements();
}

// ---- placement of a confirmation ----

TKivPoint KivPlaceConfirmDialog(const TKivRect& AStartCell, const TKivRect& AEndCell, const TKivRect& AArea,
                                Integer AWidth, Integer AHeight, const TKivPoint& ADefault) {
  TKivPoint res = ADefault;
  const int64_t above = std::max<int64_t>(0, int64_t(AStartCell.Top) - AHeight - AArea.Top);
  const int64_t below = std::max<int64_t>(0, int64_t(AArea.Bottom) - AStartCell.Bottom - AHeight);
  const auto clamp = [](int64_t AValue) {
    return Integer(std::clamp<int64_t>(AValue, std::numeric_limits<Integer>::min(),
                                       std::numeric_limits<Integer>::max()));
  };
  // Over the occurrence when there is more room above, under it when there is more below.
  if (below < above)
    res.Y = clamp(AArea.Top + above - 32);
  else if (above < below)
    res.Y = clamp(AArea.Bottom - below - AHeight + 32);
  const int64_t left = std::max<int64_t>(0, int64_t(AEndCell.Right) - AWidth - AArea.Left);
  const int64_t right = std::max<int64_t>(0, int64_t(AArea.Right) - AStartCell.Left - AWidth);
  if (right < left)
    res.X = clamp(AArea.Left + left);
  else if (left < right)
    res.X = AStartCell.Left;
  return res;
}

// ---- life and engine state ----

TViewSearch::~TViewSearch() = default;

void TViewSearch::CloseState() {
  // Closing a run only frees it; the document may be going already.
  FSearchStateBag.reset();
}

void TViewSearch::CloseSearchState(TKivEditViewCore&) {
  CloseState();
}

// ---- cursor and selection ----

TViewSearch::TSnapshot TViewSearch::Take() {
  TScreenCache& cache = *FView.FScreenCache;
  return {cache.CursorOffset(), cache.SelStartOffset(), cache.SelEndOffset(), cache.SelBlockMode()};
}

void TViewSearch::Restore(const TSnapshot& AShot) {
  // Puts back what a failed call changed; the text may have changed meanwhile (a replacement
  // stopped by an error), so the points are kept inside it. Never raises.
  try {
    TScreenCache& cache = *FView.FScreenCache;
    const Integer count = FView.WorkingDocument().CharsCount();
    const auto fit = [&](TOffsetPoint APoint) {
      if (APoint.Offset > count) APoint = {count, 0};
      return APoint;
    };
    InUpdate(FView, false, [&] {
      cache.SetCursorOffset(fit(AShot.Cursor), scBackward, AShot.Block);
      cache.SetSelection(fit(AShot.SelStart), fit(AShot.SelEnd), AShot.Block);
    });
  } catch (...) {  // the cursor stays where the failure left it
  }
}

void TViewSearch::MoveCursor(Integer AOffset) {
  InUpdate(FView, false, [&] { FView.FScreenCache->SetCursorOffset({AOffset, 0}); });
}

void TViewSearch::CancelSelection() {
  InUpdate(FView, false, [&] {
    TScreenCache& cache = *FView.FScreenCache;
    const TOffsetPoint cursor = cache.CursorOffset();
    cache.SetSelection(cursor, cursor);
  });
}

void TViewSearch::SelectFound(Integer AStart, Integer ACount, bool ACursorAtStart) {
  InUpdate(FView, true, [&] {
    TScreenCache& cache = *FView.FScreenCache;
    const TOffsetPoint s{AStart, 0}, e{AStart + ACount, 0};
    if (ACursorAtStart) {
      cache.SetSelection(e, s);
      cache.SetCursorOffset(s);
    } else {
      cache.SetSelection(s, e);
      cache.SetCursorOffset(e);
    }
    FView.ScrollToPos(FView.CursorPos(), true);
  });
}

// ---- search ----

Integer TViewSearch::ApplyStartPosition() {
  const bool forward = FSearchArgs.Direction == sdForward;
  const Integer count = FView.Document()->CharsCount();
  if (FSearchArgs.Start == ssTextStartEnd) MoveCursor(forward ? 0 : count);
  const Integer cursor = FView.CursorOffset();
  return forward ? count - cursor : cursor;
}

bool TViewSearch::FindNext() {
  TKivEditDocument& doc = *FView.Document();
  if (FSearchStateBag) return doc.FindPatternNext(FView.CursorOffset(), FSearchStateBag.get());
  FSearchNumOfReplacements = 0;
  const Integer range = ApplyStartPosition();
  FSearchStateBag = doc.FindPatternFirst(FView.CursorOffset(), range, FSearchArgs.Search, FSearchArgs.Options,
                                         FSearchArgs.Direction);
  return FSearchStateBag != nullptr;
}

bool TViewSearch::AskContinueAtEnd() {
  const bool forward = FSearchArgs.Direction == sdForward;
  const Integer cursor = FView.CursorOffset();
  // A search that began at the end it ran towards has seen everything.
  if (forward ? cursor <= 0 : cursor >= FView.Document()->CharsCount()) return false;
  if (FView.OnNotFound) {
    TKivEditNotFoundAction action = saCancel;
    FView.OnNotFound(FView, action);
    return action == saGoStartEnd;
  }
  if (FView.FHostReleased) return false;
  return FView.FHost.Ask(TKivString(forward ? kEndReached : kStartReached), abYes | abNo, nullptr) == abYes;
}

bool TViewSearch::DoSearchFirst(const TKivEditSearchArguments& AArgs, bool AAsk) {
  FView.CheckDocument();
  CloseState();
  FSearchState = stInSearch;
  FSearchArgs = AArgs;
  FView.ExitStatesUnlessLocked(kivStatesOnChange);
  return SearchStep(AAsk);
}

bool TViewSearch::SearchNext() {
  if (FView.InState(siIncrementalSearch)) return IncForward();
  return SearchStep(true);
}

bool TViewSearch::SearchStep(bool AAsk) {
  TModesLock lock(FView, FView.InState(siIncrementalSearch));
  FView.CheckDocument();
  if (FSearchState != stInSearch) throw EKivEditViewError(TKivString(kNoSearch));
  FView.ExitStates(kComplStates);
  const TSnapshot shot = Take();
  bool found = false;
  FView.BeginUpdate();
  try {
    TKivEditDocument& doc = *FView.Document();
    if (FindNext()) {
      Integer start = FSearchStateBag->FoundSegment.Start;
      Integer count = FSearchStateBag->FoundSegment.Count;
      // A match never splits a CR LF pair.
      if (InsideCrLf(doc, start)) {
        --start;
        ++count;
      }
      if (InsideCrLf(doc, start + count)) ++count;
      SelectFound(start, count, FSearchArgs.Direction == sdBackward || FView.InState(siIncrementalSearch));
      found = true;
    } else if (AAsk && AskContinueAtEnd()) {
      // From the other end the run cannot ask again.
      MoveCursor(FSearchArgs.Direction == sdForward ? 0 : doc.CharsCount());
      const TKivEditSearchArguments args = FSearchArgs;
      found = DoSearchFirst(args, true);
    }
    if (!found) Restore(shot);
  } catch (...) {
    CloseState();
    Restore(shot);
    FView.EndUpdate();
    throw;
  }
  FView.EndUpdate();
  return found;
}

// ---- replace ----

void TViewSearch::CheckReplace() {
  FView.CheckWritable();
  FView.CheckDocument();
  if (FSearchState != stInReplace) throw EKivEditViewError(TKivString(kNoReplace));
}

bool TViewSearch::ReplaceFirst(const TKivEditSearchArguments& AArgs) {
  FView.CheckWritable();
  FView.CheckDocument();
  FView.ExitStatesUnlessLocked(kivStatesOnChange);
  CloseState();
  FSearchState = stInReplace;
  FSearchNumOfReplacements = 0;
  FSearchArgs = AArgs;
  return ReplaceNext();
}

TKivEditReplaceEvent TViewSearch::Handler(bool AForAll) {
  return [this, AForAll](TKivEditDocument&, TKivEditFindReplaceState& AState, Integer& ReplacedCount,
                         TKivEditReplaceAction& Action) {
    ReplaceFoundHandler(AState, ReplacedCount, Action, AForAll);
  };
}

TKivEditReplaceEvent TViewSearch::CountingHandler() {
  // Nobody is asked and nothing else runs during the replacements, so neither the view's state
  // nor its document can change meanwhile: every occurrence is replaced and only counted.
  return [this](TKivEditDocument&, TKivEditFindReplaceState&, Integer&, TKivEditReplaceAction& Action) {
    Action = raReplaceAuto;
    ++FSearchNumOfReplacements;
  };
}

bool TViewSearch::ReplaceNext() {
  CheckReplace();
  FView.ExitStatesUnlessLocked(kivStatesOnChange);
  const TSnapshot shot = Take();
  TKivEditDocument& doc = *FView.Document();
  const bool forward = FSearchArgs.Direction == sdForward;
  bool result = false;
  try {
    if (FindNext()) {
      const Integer cursor = FView.CursorOffset();
      const Integer range = forward ? doc.CharsCount() - cursor : cursor;
      // Not frozen: the occurrence a question asks about is shown.
      doc.Internal().BeginCompoundAction(FView.AuthorID(), std::make_unique<TCursorUndoInfo>(shot.Cursor, false),
                                         false);
      TKivEditFindReplaceStatePtr state;
      try {
        state = doc.ReplacePatternFirst(cursor, range, FSearchArgs.Search, FSearchArgs.Replace,
                                        FSearchArgs.Options, FSearchArgs.Direction, Handler(false));
      } catch (...) {
        doc.EndCompoundEdit(false);
        throw;
      }
      doc.EndCompoundEdit(false);
      if (state) {
        // Replaced or skipped: the next call goes on after this occurrence.
        const TKivSegment seg = state->FoundSegment;
        doc.ReplacePatternClose(state);
        InUpdate(FView, true, [&] {
          MoveCursor(forward ? seg.Start + seg.Count : seg.Start);
          CancelSelection();
          FView.ScrollToPos(FView.CursorPos(), true);
        });
        result = true;
      }
    } else if (AskContinueAtEnd()) {
      doc.Internal().PushCustomAction(FView.AuthorID(), std::make_unique<TCursorUndoInfo>(shot.Cursor, false));
      MoveCursor(forward ? 0 : doc.CharsCount());
      const TKivEditSearchArguments args = FSearchArgs;
      result = ReplaceFirst(args);
    }
    if (!result) Restore(shot);
  } catch (...) {
    CloseState();
    Restore(shot);
    throw;
  }
  return result;
}

bool TViewSearch::PlaceOf(Integer AStart, Integer ACount, TKivAskPlace& APlace) {
  const TKivPoint startPos = FView.OffsetToScrollPos(AStart);
  TKivPoint endPos = FView.OffsetToScrollPos(std::max(AStart, AStart + ACount - 1));
  if (endPos.Y != startPos.Y) {
    // The occurrence goes on in the next rows: the last cell of its first row.
    const Integer rowEnd = FView.ScrollPosToNearestOffset({std::numeric_limits<Integer>::max() / 4, startPos.Y});
    const TKivPoint p = FView.OffsetToScrollPos(std::max(AStart, rowEnd - 1));
    endPos = p.Y == startPos.Y ? p : startPos;
  }
  if (!FView.ScrollPosToClient(startPos, APlace.StartCell) || !FView.ScrollPosToClient(endPos, APlace.EndCell))
    return false;
  APlace.Area = FView.FHost.TextAreaRect();
  APlace.Area.Left += FView.GutterWidth();
  return true;
}

void TViewSearch::ReplaceFoundHandler(TKivEditFindReplaceState& AState, Integer& ReplacedCount,
                                      TKivEditReplaceAction& Action, bool AForAll) {
  CheckReplace();
  FView.ExitStates(kComplStates);
  Action = raReplaceAuto;
  const bool confirm = FSearchArgs.Options.Contains(soConfirmReplace);
  if (FView.OnReplaceFound || confirm) {
    const TKivSegment seg = AState.FoundSegment;
    const bool backward = FSearchArgs.Direction == sdBackward;
    InUpdate(FView, true, [&] {
      TScreenCache& cache = *FView.FScreenCache;
      const TOffsetPoint s{seg.Start, 0}, e{seg.Start + seg.Count, 0};
      cache.SetSelection(backward ? e : s, backward ? s : e);
      cache.SetCursorOffset(backward ? s : e);
      FView.ScrollToPos(FView.OffsetToScrollPos(seg.Start + seg.Count), true);
      FView.ScrollToPos(FView.OffsetToScrollPos(seg.Start), true);
    });
    if (FView.OnReplaceFound) {
      FView.OnReplaceFound(FView, AState, ReplacedCount, Action);
    } else if (!FView.FHostReleased) {
      TKivAskPlace place;
      const bool placed = PlaceOf(seg.Start, seg.Count, place);
      // The search text goes in as it is (a "%" in it is no format).
      const TKivString text = u"Replace this occurrence of " + FSearchArgs.Search + u"?";
      const TKivAskButtons buttons = TKivAskButtons(abYes | abNo | (AForAll ? abCancel : 0));
      switch (FView.FHost.Ask(text, buttons, placed ? &place : nullptr)) {
        case abYes:
          Action = raReplaceAuto;
          break;
        case abNo:
          Action = raGoNext;
          break;
        case abCancel:
          Action = AForAll ? raCancel : raGoNext;
          break;
      }
    } else {
      Action = AForAll ? raCancel : raGoNext;
    }
  }
  if (Action == raReplaceAuto || Action == raReplacedByCallback) ++FSearchNumOfReplacements;
}

bool TViewSearch::ReplaceAll(const TKivEditSearchArguments& AArgs, TKivEditViewReplaceAllBounds ABounds) {
  FView.CheckWritable();
  FView.CheckDocument();
  FView.ExitStatesUnlessLocked(kivStatesOnChange);
  CloseState();
  FSearchNumOfReplacements = 0;
  FSearchState = stInReplace;
  FSearchArgs = AArgs;
  TKivEditDocument& doc = *FView.Document();
  TScreenCache& cache = *FView.FScreenCache;
  const Integer count = doc.CharsCount();
  Integer from = 0, to = count;
  if (ABounds == rbSelection) {
    // The stream range between the selection's ends (also of a block): always forward.
    const Integer a = cache.SelStartOffset().Offset, b = cache.SelEndOffset().Offset;
    from = std::min(a, b);
    to = std::max(a, b);
    FSearchArgs.Direction = sdForward;
  } else {
    const Integer cursor = FView.CursorOffset();
    const bool atCursor = FSearchArgs.Start == ssCursor;
    if (FSearchArgs.Direction == sdForward) {
      from = atCursor ? cursor : 0;
      to = count;
    } else {
      from = atCursor ? cursor : count;
      to = 0;
    }
  }
  const TSnapshot shot = Take();
  // Frozen (one repaint at the end) unless each occurrence is shown for its question.
  const bool freeze = !FSearchArgs.Options.Contains(soConfirmReplace);
  TKivEditFindReplaceStatePtr state;
  try {
    doc.Internal().BeginCompoundAction(FView.AuthorID(), std::make_unique<TCursorUndoInfo>(shot.Cursor, false),
                                       freeze);
    // Without questions nothing looks at this view before the run ends: its edits share one
    // change bracket.
    const bool counting = freeze && !FView.OnReplaceFound;
    TViewLst& lst = *FView.FDocLst;
    if (counting) lst.BeginEditRun();
    try {
      state = doc.ReplacePatternAll(from, std::abs(to - from), FSearchArgs.Search, FSearchArgs.Replace,
                                    FSearchArgs.Options, FSearchArgs.Direction,
                                    counting ? CountingHandler() : Handler(true));
    } catch (...) {
      if (counting) lst.EndEditRun();
      doc.EndCompoundEdit(freeze);
      throw;
    }
    if (counting) lst.EndEditRun();
    doc.EndCompoundEdit(freeze);
  } catch (...) {
    Restore(shot);
    throw;
  }
  if (!state) {
    Restore(shot);
    return false;
  }
  FSearchStateBag = std::move(state);
  const TKivSegment seg = FSearchStateBag->FoundSegment;
  InUpdate(FView, true, [&] {
    MoveCursor(std::min(seg.Start + seg.Count, doc.CharsCount()));
    CancelSelection();
    FView.ScrollToPos(FView.CursorPos(), true);
  });
  return true;
}

void TViewSearch::AssignSearchReplaceArgs(const TKivEditSearchArguments& AArgs, TKivEditViewSearchState AState) {
  FView.ExitStatesUnlessLocked(kivStatesOnChange);
  CloseState();
  FSearchArgs = AArgs;
  FSearchState = AState;
}
