// Folding: which of the parser's folds are collapsed, kept as hidden regions that follow edits,
// and the operations that collapse and open them.
#include <algorithm>

#include "KivSedParserBase.h"
#include "internal/ScreenCache.h"
#include "internal/StoredView.h"

namespace {

constexpr const char* kModule = "KivSedFolds";

THiddenStart* StartOf(TKivObject* AItem) { return static_cast<THiddenStart*>(AItem); }
THiddenEnd* EndOf(TKivObject* AItem) { return static_cast<THiddenEnd*>(AItem); }

}  // namespace

// ---- hidden regions ----

THiddenEntry::~THiddenEntry() {
  DeleteMark();
  KeyLine = -1;
}

void THiddenEntry::DeleteMark() {
  if (!MarkValid()) return;
  try {
    KeyMark->DeleteFromCollection();
  } catch (...) {  // a collection being torn down: the marker goes with it
  }
}

void THiddenEnd::InsertStart(THiddenStart* AStart) {
  const auto at = std::upper_bound(Starts.begin(), Starts.end(), AStart->KeyLine,
                                   [](Integer ALine, const THiddenStart* S) { return ALine < S->KeyLine; });
  Starts.insert(at, AStart);
}

void THiddenEnd::RemoveFromStarts(const THiddenStart* AStart) {
  const auto it = std::find(Starts.begin(), Starts.end(), AStart);
  if (it != Starts.end()) Starts.erase(it);
}

void THiddenEnd::ShrinkStarts() { std::erase(Starts, nullptr); }

Integer THiddenHashTraits::MakeHashI(const TKivObject* AItem) const {
  return TKivHashTable::IntHash(static_cast<const THiddenEntry*>(AItem)->KeyLine);
}

Integer THiddenHashTraits::MakeHashK(TKivHashKey AKey) const {
  return TKivHashTable::IntHash(static_cast<Integer>(AKey));
}

bool THiddenHashTraits::Compare(TKivHashKey AKey, const TKivObject* AItem) const {
  return static_cast<const THiddenEntry*>(AItem)->KeyLine == AKey;
}

TKivHashUpdateAction THiddenStartTraits::OnUpdate(TKivObject* AItem) const {
  THiddenStart* start = StartOf(AItem);
  THiddenEnd* end = start->EEnd;
  if (start->MarkValid() && end && end->MarkValid()) {
    const Integer line = start->KeyMark->Line();
    if (line < end->KeyMark->Line()) {
      start->KeyLine = line;
      return uaNothing;
    }
  }
  if (end) std::replace(end->Starts.begin(), end->Starts.end(), start, static_cast<THiddenStart*>(nullptr));
  start->EEnd = nullptr;
  start->DeleteMark();
  return uaDelete;
}

const THiddenStartTraits& THiddenStartTraits::Instance() {
  static const THiddenStartTraits traits;
  return traits;
}

TKivHashUpdateAction THiddenEndTraits::OnUpdate(TKivObject* AItem) const {
  THiddenEnd* end = EndOf(AItem);
  end->ShrinkStarts();
  if (end->MarkValid() && !end->Starts.empty()) {
    end->KeyLine = end->KeyMark->Line();
    return uaNothing;
  }
  // The starts were updated first: an end whose marker went has lost them all already.
  KIV_ASSERT(end->Starts.empty(), kModule);
  end->DeleteMark();
  return uaDelete;
}

const THiddenEndTraits& THiddenEndTraits::Instance() {
  static const THiddenEndTraits traits;
  return traits;
}

// ---- the tables of a screen cache ----

TScreenCache::~TScreenCache() { ClearFolds(); }

void TScreenCache::ValidateFolds() {
  if (FHiddenStarts.Count() == 0 && FHiddenEnds.Count() == 0) return;
  FShownFoldsValid = false;
  std::vector<TKivObject*> items;
  // Entries that came to share a line are merged: the next pass drops what a pass marked (each
  // pass that merges deletes markers, so the passes end).
  for (bool merged = true; merged;) {
    FHiddenStarts.Update();
    FHiddenEnds.Update();
    merged = false;
    items.clear();
    FHiddenStarts.GetAll(items);
    for (TKivObject* item : items) {
      THiddenStart* start = StartOf(item);
      if (FHiddenStarts.Find(start->KeyLine) != start) {
        start->DeleteMark();
        merged = true;
      }
    }
    items.clear();
    FHiddenEnds.GetAll(items);
    for (TKivObject* item : items) {
      THiddenEnd* end = EndOf(item);
      THiddenEnd* keep = EndOf(FHiddenEnds.Find(end->KeyLine));
      if (keep == end) continue;
      for (THiddenStart* start : end->Starts) {
        start->EEnd = keep;
        keep->InsertStart(start);
      }
      end->Starts.clear();
      end->DeleteMark();
      merged = true;
    }
  }
}

void TScreenCache::RecordFold(Integer AStart, Integer AEnd) {
  KIV_ASSERT(AStart < AEnd && !IsCollapsedFold(AStart), kModule);
  if (!FHiddenMarks) FHiddenMarks = Document().CreateCustomMarkers(false, true, false);
  // Each entry has a marker of its own: a shared one would take both entries when one goes.
  auto start = std::make_unique<THiddenStart>();
  start->KeyLine = AStart;
  start->KeyMark = FHiddenMarks->CreateLineMark(AStart);
  THiddenEnd* end = EndOf(FHiddenEnds.Find(AEnd));
  if (!end) {
    auto created = std::make_unique<THiddenEnd>();
    created->KeyLine = AEnd;
    created->KeyMark = FHiddenMarks->CreateLineMark(AEnd);
    end = created.get();
    FHiddenEnds.Add(created.release());
  }
  start->EEnd = end;
  end->InsertStart(start.get());
  FHiddenStarts.Add(start.release());
  // Folds recorded in line order (folding all) keep the shown list: a fold after the last shown
  // one is appended, one inside it is hidden by it. Any other order builds the list anew.
  if (FShownFoldsValid && !FShownFolds.empty() && AStart > FShownFolds.back().first) {
    if (AStart > FShownFolds.back().second)
      FShownFolds.emplace_back(AStart, AEnd);
    else if (AEnd > FShownFolds.back().second)
      FShownFoldsValid = false;
  } else if (FShownFoldsValid && FShownFolds.empty() && FHiddenStarts.Count() == 1) {
    FShownFolds.emplace_back(AStart, AEnd);
  } else {
    FShownFoldsValid = false;
  }
  // A top line inside the fold moves to its start.
  if (FFirstLinePhysical > AStart && FFirstLinePhysical <= AEnd) {
    FFirstLinePhysical = AStart;
    FFirstLineSkew = 0;
  }
}

void TScreenCache::RemoveFold(Integer AStart, bool All) {
  THiddenStart* first = StartOf(FHiddenStarts.Find(AStart));
  KIV_ASSERT(first != nullptr, kModule);
  std::vector<THiddenStart*> gone{first};
  if (All) {
    // Every collapsed fold nested in this one: its starts lie before the end line.
    const Integer last = first->EEnd->KeyLine - 1;
    if (last - AStart < FHiddenStarts.Count()) {
      for (Integer line = AStart + 1; line <= last; ++line)
        if (auto* s = StartOf(FHiddenStarts.Find(line))) gone.push_back(s);
    } else {
      FHiddenStarts.GetAll([&](TKivObject* AItem) {
        THiddenStart* s = StartOf(AItem);
        if (s->KeyLine > AStart && s->KeyLine <= last) gone.push_back(s);
      });
    }
  }
  for (THiddenStart* start : gone) {
    THiddenEnd* end = start->EEnd;
    end->RemoveFromStarts(start);
    start->DeleteMark();
    KIV_ASSERT(FHiddenStarts.Find(start->KeyLine) == start, kModule);
    FHiddenStarts.Remove(start->KeyLine);
    if (end->Starts.empty()) {
      KIV_ASSERT(FHiddenEnds.Find(end->KeyLine) == end, kModule);
      FHiddenEnds.Remove(end->KeyLine);
    }
  }
  FShownFoldsValid = false;
}

void TScreenCache::ClearFolds() {
  // One pass over the markers; deleting them one by one costs a move of the others each.
  if (FHiddenMarks && FHiddenStarts.Count() > 0) {
    try {
      FHiddenMarks->Clear();
    } catch (const EKivError&) {  // a collection its document let go of: its markers went with it
    }
  }
  FHiddenStarts.Clear();
  FHiddenEnds.Clear();
  FShownFolds.clear();
  FShownFoldsValid = true;
}

std::map<Integer, Integer> TScreenCache::CollapsedFolds() const {
  std::map<Integer, Integer> res;
  FHiddenStarts.GetAll([&](TKivObject* AItem) {
    const THiddenStart* s = StartOf(AItem);
    res[s->KeyLine] = s->EEnd->KeyLine;
  });
  return res;
}

const std::vector<std::pair<Integer, Integer>>& TScreenCache::ShownFolds() const {
  if (FShownFoldsValid) return FShownFolds;
  std::vector<std::pair<Integer, Integer>> all;
  all.reserve(static_cast<size_t>(FHiddenStarts.Count()));
  FHiddenStarts.GetAll([&](TKivObject* AItem) {
    const THiddenStart* s = StartOf(AItem);
    all.emplace_back(s->KeyLine, s->EEnd->KeyLine);
  });
  std::sort(all.begin(), all.end());
  // The rows jump from a shown collapsed start to the line after its end: starts in between
  // are hidden and do not count.
  FShownFolds.clear();
  Integer reach = -1;
  for (const auto& fold : all) {
    if (fold.first <= reach) continue;
    FShownFolds.push_back(fold);
    reach = fold.second;
  }
  FShownFoldsValid = true;
  return FShownFolds;
}

Integer TScreenCache::CollapsedStartHiding(Integer ALine) const {
  const auto& shown = ShownFolds();
  auto it = std::upper_bound(shown.begin(), shown.end(), ALine,
                             [](Integer ALn, const std::pair<Integer, Integer>& F) { return ALn < F.first; });
  if (it == shown.begin()) return -1;
  --it;
  return ALine <= it->second ? it->first : -1;
}

// ---- operations ----

void TScreenCache::CheckFoldLine(Integer ALine, Integer AMax) const {
  if (ALine < 0 || ALine > AMax)
    throw EKivEditViewError(u"Invalid physical line on screen index: %d. Valid range: [%d, %d]",
                            {ALine, 0, AMax});
}

void TScreenCache::ThrowNotFoldStart(Integer ALine) {
  throw EKivEditViewError(u"This operation requires argument line to be fold start: line: %d", {ALine});
}

void TScreenCache::CheckNotCollapsed(Integer ALine) const {
  if (IsCollapsedFold(ALine))
    throw EKivEditViewError(u"Can't do this operation with collapsed fold line: line: %d", {ALine});
}

Integer TScreenCache::ParserFoldEnd(Integer ALine) {
  TKivEditDocument& doc = Document();
  TKivEditParserBase* parser = doc.GetParser();
  if (!parser || !parser->IsFoldStart(ALine)) return -1;
  // A block left open on the last line ends where it starts: nothing to collapse.
  const Integer end = std::min(parser->GetFoldEnd(ALine), doc.LinesCount() - 1);
  return end > ALine ? end : -1;
}

Integer TScreenCache::ParserFoldEndInSteps(Integer ALine, const std::function<bool(Integer)>& AStop,
                                          bool& AStopped) {
  TKivEditDocument& doc = Document();
  TKivEditParserBase* parser = doc.GetParser();
  if (AStop && parser && parser->IsFoldStart(ALine)) {
    // About a millisecond of parsing per batch.
    constexpr Integer kParseBatch = 1024;
    const Integer last = doc.LinesCount() - 1;
    while (parser->KnownFoldEnd(ALine) == TKivEditParserBase::kFoldEndUnknown) {
      const Integer parsed = parser->LastParsedLine();
      if (parsed >= last) break;  // the end is the text's end: ParserFoldEnd says so
      if (AStop(kParseBatch)) {
        AStopped = true;
        return -1;
      }
      parser->EnsureLineParsed(std::min(last, std::max(parsed, ALine) + kParseBatch));
      if (parser->LastParsedLine() <= parsed) break;  // no progress: let ParserFoldEnd finish
    }
  }
  return ParserFoldEnd(ALine);
}

void TScreenCache::InvalidateFold(Integer ALine) {
  InvalidateFrom(Document().GetLineStart(ALine));
  Invalidate(csScreen | csCursor | csConversionCaches);
  FVisibleCountScrollBar = -1;
}

void TScreenCache::Fold(Integer ALine, bool All) {
  CheckFoldLine(ALine, Document().LinesCount() - 1);
  CheckNotCollapsed(ALine);
  const Integer end = ParserFoldEnd(ALine);
  if (end < 0) ThrowNotFoldStart(ALine);
  InvalidateFold(ALine);
  RecordFold(ALine, end);
  if (All) FoldAllIn(ALine, false, false);
  UpdateLayout();
}

void TScreenCache::Unfold(Integer ALine, bool All) {
  CheckFoldLine(ALine, Document().LinesCount() - 1);
  if (!IsCollapsedFold(ALine))
    throw EKivEditViewError(u"Can't do this operation with non-collapsed fold line: line: %d", {ALine});
  InvalidateFold(ALine);
  RemoveFold(ALine, All);
  UpdateLayout();
}

void TScreenCache::CollapseLines(Integer AStartLine, Integer AEndLine) {
  const Integer lines = Document().LinesCount();
  if (AStartLine < 0 || AEndLine <= AStartLine || AEndLine >= lines)
    throw EKivEditViewError(u"Invalid physical line on screen index: %d. Valid range: [%d, %d]",
                            {AStartLine < 0 || AStartLine >= lines ? AStartLine : AEndLine, 0, lines - 1});
  CheckNotCollapsed(AStartLine);
  InvalidateFold(AStartLine);
  RecordFold(AStartLine, AEndLine);
}

void TScreenCache::ExpandLines(Integer AStartLine) {
  if (!IsCollapsedFold(AStartLine)) return;
  InvalidateFold(AStartLine);
  RemoveFold(AStartLine, false);
}

Integer TScreenCache::FoldScanEnd(Integer AOuterFold) {
  const Integer last = Document().LinesCount() - 1;
  if (AOuterFold == -1) return last;
  CheckFoldLine(AOuterFold, last);
  const Integer recorded = CollapsedEnd(AOuterFold);
  if (recorded >= 0) return recorded;
  const Integer end = ParserFoldEnd(AOuterFold);
  if (end < 0) ThrowNotFoldStart(AOuterFold);
  return end;
}

void TScreenCache::FoldAllIn(Integer AOuterFold, bool TopOnly, bool ARunUpdate) {
  FoldLinesIn(AOuterFold + 1, FoldScanEnd(AOuterFold), TopOnly, nullptr);
  if (ARunUpdate) UpdateLayout();
}

Integer TScreenCache::FoldAllStep(Integer AFrom, bool TopOnly, const std::function<bool(Integer)>& AStop) {
  const Integer next = FoldLinesIn(std::max<Integer>(AFrom, 0), FoldScanEnd(-1), TopOnly, AStop);
  UpdateLayout();
  return next;
}

Integer TScreenCache::FoldLinesIn(Integer AFrom, Integer AScanEnd, bool TopOnly,
                                  const std::function<bool(Integer)>& AStop) {
  TKivEditParserBase* parser = Document().GetParser();
  Integer firstChanged = -1;  // the layout is invalidated once, from the first line that changed
  const auto changing = [&](Integer ALine) {
    if (firstChanged < 0) firstChanged = ALine;
  };
  Integer i = AFrom;
  for (Integer n = 0; i < AScanEnd; ++n) {
    if (AStop && (n & 63) == 63 && AStop(64)) break;
    const Integer recorded = CollapsedEnd(i);
    if (recorded < 0) {
      bool stopped = false;
      const Integer end = ParserFoldEndInSteps(i, AStop, stopped);
      if (stopped) break;
      if (end < 0) {
        ++i;
        continue;
      }
      changing(i);
      RecordFold(i, end);
      i = TopOnly ? end + 1 : i + 1;
    } else if (TopOnly) {
      i = recorded + 1;
    } else if (parser && parser->IsFoldStart(i) && parser->IsFoldEnd(recorded)) {
      ++i;
    } else {
      changing(i);  // the parser no longer reports this fold: open it and look again
      RemoveFold(i, false);
    }
  }
  if (firstChanged >= 0) InvalidateFold(firstChanged);
  return i < AScanEnd ? i : -1;
}

void TScreenCache::UnfoldAllIn(Integer AOuterFold, bool TopOnly) {
  const Integer scanEnd = FoldScanEnd(AOuterFold);
  if (AOuterFold == -1 && !TopOnly) {  // every fold of the text opens
    if (FHiddenStarts.Count() > 0) {
      InvalidateFold(ShownFolds().front().first);
      ClearFolds();
    }
    UpdateLayout();
    return;
  }
  Integer firstChanged = -1;
  for (Integer i = AOuterFold + 1; i < scanEnd;) {
    if (!IsCollapsedFold(i)) {
      ++i;
      continue;
    }
    // The scan goes on at the end line: a fold starting there (the next branch of the block)
    // is no nested fold, but was hidden with this one's end line.
    const Integer end = CollapsedEnd(i);
    if (firstChanged < 0) firstChanged = i;
    RemoveFold(i, !TopOnly);
    i = end;
  }
  if (firstChanged >= 0) InvalidateFold(firstChanged);
  UpdateLayout();
}
