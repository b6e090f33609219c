// Collapsed folds: the hidden regions that follow edits and the tables that file them.
#include "internal/CollapsedFolds.h"

#include <algorithm>

#include "KivSedDocument.h"

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

// ---- the tables ----

TCollapsedFolds::~TCollapsedFolds() { Clear(); }

void TCollapsedFolds::Validate() {
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

void TCollapsedFolds::Record(Integer AStart, Integer AEnd) {
  KIV_ASSERT(AStart < AEnd && !IsCollapsed(AStart), kModule);
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
}

void TCollapsedFolds::Remove(Integer AStart, bool All) {
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

void TCollapsedFolds::Clear() {
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

std::map<Integer, Integer> TCollapsedFolds::All() const {
  std::map<Integer, Integer> res;
  FHiddenStarts.GetAll([&](TKivObject* AItem) {
    const THiddenStart* s = StartOf(AItem);
    res[s->KeyLine] = s->EEnd->KeyLine;
  });
  return res;
}

const std::vector<std::pair<Integer, Integer>>& TCollapsedFolds::Shown() const {
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

Integer TCollapsedFolds::StartHiding(Integer ALine) const {
  const auto& shown = Shown();
  auto it = std::upper_bound(shown.begin(), shown.end(), ALine,
                             [](Integer ALn, const std::pair<Integer, Integer>& F) { return ALn < F.first; });
  if (it == shown.begin()) return -1;
  --it;
  return ALine <= it->second ? it->first : -1;
}

void TCollapsedFolds::CreateMarkers(TKivEditDocument& ADocument) {
  if (!FHiddenMarks) FHiddenMarks = ADocument.CreateCustomMarkers(false, true, false);
}
