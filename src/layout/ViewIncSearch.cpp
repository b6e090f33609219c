// Incremental search: typing extends the search text and selects the next match from the cursor
// (the cursor at the match's start, so the next character extends the same match), Backspace goes
// back along the jump list, F3 goes to the next match. While it runs, the other matches in the
// rows on screen are marked with highlight ranges.
#include <algorithm>
#include <limits>

#include "internal/ScreenCache.h"
#include "internal/EditViewSearch.h"

namespace {

// At most this many other matches are marked on screen.
constexpr int kMaxMarked = 1000;

}  // namespace

void TViewSearch::StartIncrementalSearch(TKivEditViewCore&) {
  FView.AddStatusChanges(scViewSettings);
  FView.ExitStates(siComplWordTyping | siComplListShown);
  CancelSelection();
  CloseState();
  FSearchState = stInSearch;
  FSearchArgs = TKivEditSearchArguments{};
  FSearchIncJumps.clear();
  ClearIncHighlights();
}

void TViewSearch::EndIncrementalSearch(TKivEditViewCore&) {
  // Called while the state is still set: nothing here may leave it again.
  if (FEnding) return;
  FEnding = true;
  try {
    FView.BeginUpdate();
    try {
      FView.AddStatusChanges(scViewSettings);
      FSearchIncJumps.clear();
      ClearIncHighlights();
      TScreenCache& cache = *FView.FScreenCache;
      if (cache.SelAvail()) cache.SetCursorOffset(std::max(cache.SelStartOffset(), cache.SelEndOffset()));
      CancelSelection();
      FView.ScrollToPos(FView.CursorPos(), true);
    } catch (...) {
      FView.EndUpdate();
      throw;
    }
    FView.EndUpdate();
  } catch (...) {
    FEnding = false;
    throw;
  }
  FEnding = false;
}

void TViewSearch::IncAddChars(const TKivString& AChars) {
  if (AChars.empty()) return;
  const Integer start = FView.CursorOffset();
  const TKivString text = FSearchArgs.Search;
  TKivEditSearchArguments args = FSearchArgs;
  args.Search += AChars;
  TModesLock lock(FView, true);
  bool found = false;
  try {
    found = DoSearchFirst(args, false);
  } catch (...) {
    FSearchArgs.Search = text;
    throw;
  }
  if (found) {
    FSearchIncJumps.emplace_back(start, text);
    MarkIncMatches();
  } else {
    FSearchArgs.Search = text;
    FView.Beep();
  }
}

void TViewSearch::IncBack() {
  if (FSearchArgs.Search.empty()) {
    FView.ExitState(siIncrementalSearch);
    return;
  }
  FSearchArgs.Search.pop_back();
  if (FSearchIncJumps.empty()) {
    FView.Beep();
    return;
  }
  const TIncSearchJump jump = FSearchIncJumps.back();
  TModesLock lock(FView, true);
  // In any case the run is closed, the direction forward again and the jump gone.
  bool done = false;
  const auto finish = [&] {
    if (done) return;
    done = true;
    CloseState();
    FSearchArgs.Direction = sdForward;
    FSearchIncJumps.pop_back();
  };
  try {
    InUpdate(FView, true, [&] {
      const Integer count = FView.Document() ? FView.Document()->CharsCount() : 0;
      MoveCursor(std::min<Integer>(count, jump.Start + Integer(FSearchArgs.Search.size())));
      CancelSelection();
      // An emptied text is not searched: the cursor stays at the jump's start.
      if (!FSearchArgs.Search.empty()) {
        TKivEditSearchArguments args = FSearchArgs;
        args.Direction = sdBackward;
        DoSearchFirst(args, false);
      }
      finish();
      MarkIncMatches();
      FView.ScrollToPos(FView.CursorPos(), true);
    });
  } catch (...) {
    finish();
    throw;
  }
}

bool TViewSearch::IncForward() {
  if (FSearchArgs.Search.empty()) {
    FView.Beep();
    return false;
  }
  const TSnapshot shot = Take();
  TScreenCache& cache = *FView.FScreenCache;
  TModesLock lock(FView, true);
  if (cache.SelAvail()) MoveCursor(std::max(cache.SelStartOffset(), cache.SelEndOffset()).Offset);
  bool found = false;
  try {
    found = SearchStep(true);
  } catch (...) {
    Restore(shot);
    throw;
  }
  if (found)
    MarkIncMatches();
  else
    Restore(shot);
  return found;
}

// ---- the other matches on screen ----

void TViewSearch::ClearIncHighlights() {
  if (FIncHighlights.empty()) return;
  TScreenCache& cache = *FView.FScreenCache;
  FView.BeginUpdate();
  for (const TKivSegment& seg : FIncHighlights) {
    try {
      cache.RemoveHighlight(seg.Start, seg.Count);
    } catch (...) {  // the text under it has gone
    }
  }
  FIncHighlights.clear();
  FView.EndUpdate();
}

void TViewSearch::MarkIncMatches() {
  ClearIncHighlights();
  TKivEditDocument* doc = FView.Document();
  if (!doc || FSearchArgs.Search.empty()) return;
  TScreenCache& cache = *FView.FScreenCache;
  const Integer top = FView.TopLineScroll();
  const Integer first = FView.ScrollPosToNearestOffset({0, top});
  const Integer last =
      FView.ScrollPosToNearestOffset({std::numeric_limits<Integer>::max() / 4, top + FView.ScreenHeight()});
  if (last <= first) return;
  const Integer selA = std::min(cache.SelStartOffset(), cache.SelEndOffset()).Offset;
  TKivEditFindReplaceStatePtr run =
      doc->FindPatternFirst(first, last - first, FSearchArgs.Search, FSearchArgs.Options, sdForward);
  std::vector<TKivSegment> parts;
  FView.BeginUpdate();
  try {
    for (bool found = run != nullptr; found && int(FIncHighlights.size()) < kMaxMarked;
         found = doc->FindPatternNext(run.get())) {
      const TKivSegment seg = run->FoundSegment;
      if (seg.Count <= 0 || seg.Start == selA) continue;
      // Only the parts no range covers yet (the embedder's own ranges among them): taking these
      // away at the end leaves every other range as it was.
      parts.clear();
      const THighlightsSparse& ranges = cache.Highlights();
      const Integer end = seg.Start + seg.Count;
      Integer at = seg.Start;
      for (Integer idx = ranges.FindRangeIdx(at); at < end; ++idx) {
        const TSARange* r = idx < ranges.RangesCnt() ? &ranges.GetRanges()[size_t(idx)] : nullptr;
        const Integer gapEnd = r ? std::min(end, std::max(at, r->Start)) : end;
        if (gapEnd > at) parts.push_back({at, gapEnd - at, nullptr});
        if (!r || r->Start >= end) break;
        at = r->End();
      }
      for (const TKivSegment& part : parts) {
        cache.AddHighlight(part.Start, part.Count);
        FIncHighlights.push_back(part);
      }
    }
  } catch (...) {
    FView.EndUpdate();
    throw;
  }
  FView.EndUpdate();
}
