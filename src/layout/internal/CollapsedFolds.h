// Collapsed folds: which lines of a view's text are hidden behind a collapsed fold.
//
// The bookkeeping alone: the hidden regions (internal/HiddenRegions.h), whose markers in the
// view's private hidden-marker collection make them follow edits, and the outermost collapsed
// folds in line order. Which folds the parser offers, and what a change of the folds means for
// the layout, is the screen cache's.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "internal/HiddenRegions.h"

class TCollapsedFolds {
 public:
  TCollapsedFolds() = default;
  ~TCollapsedFolds();
  TCollapsedFolds(const TCollapsedFolds&) = delete;
  TCollapsedFolds& operator=(const TCollapsedFolds&) = delete;

  // Collapsed folds, hidden ones inside others included.
  Integer Count() const { return FHiddenStarts.Count(); }
  // No entry at all: edits have nothing to validate.
  bool Empty() const { return FHiddenStarts.Count() == 0 && FHiddenEnds.Count() == 0; }
  bool IsCollapsed(Integer ALine) const { return FHiddenStarts.Find(ALine) != nullptr; }
  // The last line of the collapsed fold starting at ALine, or -1.
  Integer End(Integer ALine) const {
    const auto* start = static_cast<const THiddenStart*>(FHiddenStarts.Find(ALine));
    return start ? start->EEnd->KeyLine : -1;
  }
  // Every collapsed fold: start line -> end line.
  std::map<Integer, Integer> All() const;
  // The outermost collapsed folds (those whose start is shown) in line order.
  const std::vector<std::pair<Integer, Integer>>& Shown() const;
  // The shown collapsed start whose fold holds ALine (ALine itself when it starts one), or -1.
  Integer StartHiding(Integer ALine) const;

  // Re-keys the hidden regions after edits, drops the dead ones and merges ends that came to
  // share a line.
  void Validate();
  // Records a collapsed fold AStart..AEnd (AStart < AEnd, AStart not collapsed); the markers
  // must exist (CreateMarkers).
  void Record(Integer AStart, Integer AEnd);
  // Forgets the collapsed fold at AStart (with All, those starting up to its end line too).
  void Remove(Integer AStart, bool All);
  // Forgets every collapsed fold (the markers collection stays).
  void Clear();

  // Creates the hidden-marker collection in ADocument unless there is one.
  void CreateMarkers(TKivEditDocument& ADocument);
  // The collection, for the owner to detach from its document.
  IKivMarkersRef& Markers() { return FHiddenMarks; }

 private:
  // Starts by their line (owned), ends by their line (owned), and the markers that hold them.
  TKivHashTable FHiddenStarts{THiddenStartTraits::Instance(), true};
  TKivHashTable FHiddenEnds{THiddenEndTraits::Instance(), true};
  IKivMarkersRef FHiddenMarks;
  // Shown(): built on demand.
  mutable std::vector<std::pair<Integer, Integer>> FShownFolds;
  mutable bool FShownFoldsValid = true;
};
