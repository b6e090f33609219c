// Collapsed folds: plain line pairs that follow edits through a few markers around each edit.
#include "internal/CollapsedFolds.h"

#include <algorithm>

namespace {

constexpr const char* kModule = "KivSedFolds";

}  // namespace

// Tells the table of its document's edits and of the document's end.
class TCollapsedFolds::TEditFollower : public TKivDocumentListener {
 public:
  explicit TEditFollower(TCollapsedFolds& AOwner) : FOwner(AOwner) {}
  void BeforeInsert(Integer AStart, Integer ALength) override { FOwner.EditStarting(true, AStart, ALength); }
  void AfterInsert(Integer, Integer) override { FOwner.EditDone(); }
  void BeforeDelete(Integer AStart, Integer ALength) override { FOwner.EditStarting(false, AStart, ALength); }
  void AfterDelete(Integer, Integer) override { FOwner.EditDone(); }
  // A reload deleted every marker before telling: every fold went with the old text.
  void BeforeRefresh() override {
    FOwner.DropEdit();
    FOwner.FFolds.clear();
    FOwner.FShownFolds.clear();
    FOwner.FShownFoldsValid = true;
  }
  void DocumentDestroing() override {
    FOwner.DropEdit();
    FOwner.FDoc = nullptr;
  }

 private:
  TCollapsedFolds& FOwner;
};

TCollapsedFolds::TCollapsedFolds() : FFollower(std::make_unique<TEditFollower>(*this)) {}

TCollapsedFolds::~TCollapsedFolds() {
  DropEdit();
  if (FDoc) FDoc->RemoveListener(FFollower.get());
}

TCollapsedFolds::TFolds::const_iterator TCollapsedFolds::Find(Integer ALine) const {
  const auto it = std::lower_bound(FFolds.begin(), FFolds.end(), ALine,
                                   [](const std::pair<Integer, Integer>& F, Integer ALn) { return F.first < ALn; });
  return it != FFolds.end() && it->first == ALine ? it : FFolds.end();
}

// ---- following edits ----

void TCollapsedFolds::EditStarting(bool AInsert, Integer AStart, Integer ACount) {
  FinishEdit();  // an edit made from inside another one's notifications
  DropEdit();
  if (FFolds.empty() || !FDoc || !FHiddenMarks || ACount <= 0) return;
  TKivEditDocument& doc = *FDoc;
  const Integer chars = doc.CharsCount();
  const Integer first = doc.GetLineByOffset(std::clamp<Integer>(AStart, 0, chars));
  const Integer last =
      AInsert ? first : doc.GetLineByOffset(static_cast<Integer>(std::clamp<int64_t>(int64_t(AStart) + ACount, 0, chars)));
  FEdit.Active = true;
  FEdit.CharsBefore = chars;
  FEdit.LinesBefore = doc.LinesCount();
  FEdit.Win1Lo = first - 1;
  FEdit.Win1Hi = first + 1;
  FEdit.Win2Lo = std::max(last - 1, FEdit.Win1Hi + 1);
  FEdit.Win2Hi = std::max(last + 1, FEdit.Win1Hi);
  // The lines filed near the edit, each with a marker of its own (markers on one line move alike).
  std::vector<Integer> lines;
  const auto nearEdit = [&](Integer ALine) {
    return (ALine >= FEdit.Win1Lo && ALine <= FEdit.Win1Hi) || (ALine >= FEdit.Win2Lo && ALine <= FEdit.Win2Hi);
  };
  for (const auto& [start, end] : FFolds) {
    if (start > FEdit.Win2Hi) break;  // its end lies further still
    if (nearEdit(start)) lines.push_back(start);
    if (nearEdit(end)) lines.push_back(end);
  }
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  FEdit.Marks.reserve(lines.size());
  for (const Integer line : lines) FEdit.Marks.emplace_back(line, FHiddenMarks->CreateLineMark(line));
}

void TCollapsedFolds::EditDone() { FinishEdit(); }

void TCollapsedFolds::DropEdit() {
  if (!FEdit.Active) return;
  FEdit.Active = false;
  if (!FEdit.Marks.empty() && FHiddenMarks) {
    try {
      FHiddenMarks->Clear();
    } catch (const EKivError&) {  // a collection its document let go of: its markers went with it
    }
  }
  FEdit.Marks.clear();
  FEdit.Marks.shrink_to_fit();
}

Integer TCollapsedFolds::LineAfterEdit(Integer ALine, Integer ADelta) const {
  if (ALine < FEdit.Win1Lo) return ALine;
  if (ALine > FEdit.Win2Hi) return ALine + ADelta;
  const auto it = std::lower_bound(FEdit.Marks.begin(), FEdit.Marks.end(), ALine,
                                   [](const std::pair<Integer, IKivMarkRef>& M, Integer ALn) { return M.first < ALn; });
  if (it == FEdit.Marks.end() || it->first != ALine) return -1;  // between the windows: deleted
  return it->second->IsValid() ? it->second->Line() : -1;
}

void TCollapsedFolds::FinishEdit() {
  // Until the document has changed (its length tells) the edit is still to come.
  if (!FEdit.Active || !FDoc || FDoc->CharsCount() == FEdit.CharsBefore) return;
  const Integer delta = FDoc->LinesCount() - FEdit.LinesBefore;
  // Typing within lines: no line moved, none went between the markers (there were no lines
  // between them to go), every marker stayed on its line.
  if (delta == 0 && FEdit.Win2Lo > FEdit.Win2Hi &&
      std::all_of(FEdit.Marks.begin(), FEdit.Marks.end(), [](const std::pair<Integer, IKivMarkRef>& M) {
        return M.second->IsValid() && M.second->Line() == M.first;
      })) {
    DropEdit();
    return;
  }
  bool changed = false, sorted = true;
  Integer prev = -1;
  size_t out = 0;
  for (size_t i = 0; i < FFolds.size(); ++i) {
    const auto [start, end] = FFolds[i];
    const Integer s = LineAfterEdit(start, delta);
    const Integer e = LineAfterEdit(end, delta);
    if (s != start || e != end) changed = true;
    if (s < 0 || e < 0 || s >= e) continue;
    if (s <= prev) sorted = false;
    prev = s;
    FFolds[out++] = {s, e};
  }
  if (out != FFolds.size()) changed = true;
  FFolds.resize(out);
  if (!sorted) {
    // Folds that came to start on one line: the first one in the former order stays.
    std::stable_sort(FFolds.begin(), FFolds.end(),
                     [](const std::pair<Integer, Integer>& A, const std::pair<Integer, Integer>& B) {
                       return A.first < B.first;
                     });
    FFolds.erase(std::unique(FFolds.begin(), FFolds.end(),
                             [](const std::pair<Integer, Integer>& A, const std::pair<Integer, Integer>& B) {
                               return A.first == B.first;
                             }),
                 FFolds.end());
  }
  if (changed) FShownFoldsValid = false;
  DropEdit();
}

// ---- the table ----

void TCollapsedFolds::Validate() { FinishEdit(); }

void TCollapsedFolds::Record(Integer AStart, Integer AEnd) {
  FinishEdit();
  KIV_ASSERT(AStart < AEnd && !IsCollapsed(AStart), kModule);
  if (FFolds.empty() || FFolds.back().first < AStart) {
    FFolds.emplace_back(AStart, AEnd);
  } else {
    const auto at = std::lower_bound(FFolds.begin(), FFolds.end(), AStart,
                                     [](const std::pair<Integer, Integer>& F, Integer ALn) { return F.first < ALn; });
    FFolds.insert(at, {AStart, AEnd});
  }
  // Folds recorded in line order (folding all) keep the shown list: a fold after the last shown
  // one is appended, one inside it is hidden by it. Any other order builds the list anew.
  if (FShownFoldsValid && !FShownFolds.empty() && AStart > FShownFolds.back().first) {
    if (AStart > FShownFolds.back().second)
      FShownFolds.emplace_back(AStart, AEnd);
    else if (AEnd > FShownFolds.back().second)
      FShownFoldsValid = false;
  } else if (FShownFoldsValid && FShownFolds.empty() && FFolds.size() == 1) {
    FShownFolds.emplace_back(AStart, AEnd);
  } else {
    FShownFoldsValid = false;
  }
}

void TCollapsedFolds::Remove(Integer AStart, bool All) {
  FinishEdit();
  const auto found = Find(AStart);
  KIV_ASSERT(found != FFolds.end(), kModule);
  const auto first = FFolds.begin() + (found - FFolds.cbegin());
  auto stop = first + 1;
  if (All) {
    // Every collapsed fold nested in this one: its starts lie before the end line.
    const Integer last = first->second - 1;
    stop = std::upper_bound(stop, FFolds.end(), last,
                            [](Integer ALn, const std::pair<Integer, Integer>& F) { return ALn < F.first; });
  }
  FFolds.erase(first, stop);
  FShownFoldsValid = false;
}

void TCollapsedFolds::Clear() {
  DropEdit();
  // The memory goes back: a text with a million folds leaves megabytes here.
  TFolds().swap(FFolds);
  std::vector<std::pair<Integer, Integer>>().swap(FShownFolds);
  FShownFoldsValid = true;
}

std::map<Integer, Integer> TCollapsedFolds::All() const {
  std::map<Integer, Integer> res;
  for (const auto& fold : FFolds) res.emplace_hint(res.end(), fold);
  return res;
}

const std::vector<std::pair<Integer, Integer>>& TCollapsedFolds::Shown() const {
  if (FShownFoldsValid) return FShownFolds;
  // The rows jump from a shown collapsed start to the line after its end: starts in between
  // are hidden and do not count.
  FShownFolds.clear();
  Integer reach = -1;
  for (const auto& fold : FFolds) {
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
  if (FHiddenMarks) return;
  if (FDoc != &ADocument) {
    DropEdit();
    if (FDoc) FDoc->RemoveListener(FFollower.get());
    FDoc = nullptr;
    ADocument.AddListener(FFollower.get());
    FDoc = &ADocument;
  }
  FHiddenMarks = ADocument.CreateCustomMarkers(false, true, false);
}
