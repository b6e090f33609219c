// Collapsed folds: which lines of a view's text are hidden behind a collapsed fold.
//
// The bookkeeping alone: the collapsed folds as plain (start line, end line) pairs sorted by
// their start, which follow the document's edits, and the outermost collapsed folds in line
// order. Which folds the parser offers, and what a change of the folds means for the layout, is
// the screen cache's.
//
// Following edits: the table listens to its document. Before an edit it puts a line marker of
// its private hidden-marker collection (line-bound, not keeping marks) on each line it files
// that lies next to the edit's start or end; after the edit those lines are read back from the
// markers (a line whose marker went is gone), lines inside a deleted range are gone, and lines
// after the edit move by the edit's line delta. A fold stays while both its lines stay and its
// start lies before its end; of folds that came to start on one line the first one stays.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "KivSedDocument.h"
#include "KivSedMarkers.h"

class TCollapsedFolds {
 public:
  TCollapsedFolds();
  ~TCollapsedFolds();
  TCollapsedFolds(const TCollapsedFolds&) = delete;
  TCollapsedFolds& operator=(const TCollapsedFolds&) = delete;

  // Collapsed folds, hidden ones inside others included.
  Integer Count() const { return static_cast<Integer>(FFolds.size()); }
  // No collapsed fold: edits have nothing to follow.
  bool Empty() const { return FFolds.empty(); }
  bool IsCollapsed(Integer ALine) const { return Find(ALine) != FFolds.end(); }
  // The last line of the collapsed fold starting at ALine, or -1.
  Integer End(Integer ALine) const {
    const auto it = Find(ALine);
    return it != FFolds.end() ? it->second : -1;
  }
  // Every collapsed fold: start line -> end line.
  std::map<Integer, Integer> All() const;
  // The outermost collapsed folds (those whose start is shown) in line order.
  const std::vector<std::pair<Integer, Integer>>& Shown() const;
  // The shown collapsed start whose fold holds ALine (ALine itself when it starts one), or -1.
  Integer StartHiding(Integer ALine) const;

  // Finishes following an edit whose document change is complete (the table also does so on
  // its own once the document reports the edit done).
  void Validate();
  // Records a collapsed fold AStart..AEnd (AStart < AEnd, AStart not collapsed); the markers
  // must exist (CreateMarkers).
  void Record(Integer AStart, Integer AEnd);
  // Forgets the collapsed fold at AStart (with All, those starting up to its end line too).
  void Remove(Integer AStart, bool All);
  // Forgets every collapsed fold (the markers collection stays).
  void Clear();

  // Creates the hidden-marker collection in ADocument unless there is one, and follows the
  // document's edits from then on.
  void CreateMarkers(TKivEditDocument& ADocument);
  // The collection, for the owner to detach from its document.
  IKivMarkersRef& Markers() { return FHiddenMarks; }

 private:
  class TEditFollower;
  // In blocks: a text with a million folds grows it without copying megabytes at once.
  using TFolds = std::deque<std::pair<Integer, Integer>>;

  TFolds::const_iterator Find(Integer ALine) const;
  // An edit of the document is about to happen / has happened.
  void EditStarting(bool AInsert, Integer AStart, Integer ACount);
  void EditDone();
  // Applies the edit in progress once the document holds its result.
  void FinishEdit();
  void DropEdit();
  // The line ALine files after the edit in progress, or -1 when it went.
  Integer LineAfterEdit(Integer ALine, Integer ADelta) const;

  TFolds FFolds;  // sorted by start, starts unique
  IKivMarkersRef FHiddenMarks;
  std::unique_ptr<TEditFollower> FFollower;
  TKivEditDocument* FDoc = nullptr;  // the document followed (none once it is destroyed)
  // The edit in progress: its lines near the start ([AWin1Lo, AWin1Hi]) and the end
  // ([AWin2Lo, AWin2Hi]) have markers, lines strictly between the two are deleted, lines after
  // the second move by the line delta.
  struct TPendingEdit {
    bool Active = false;
    Integer CharsBefore = 0;
    Integer LinesBefore = 0;
    Integer Win1Lo = 0, Win1Hi = 0, Win2Lo = 0, Win2Hi = 0;
    std::vector<std::pair<Integer, IKivMarkRef>> Marks;  // by line
  } FEdit;
  // Shown(): built on demand.
  mutable std::vector<std::pair<Integer, Integer>> FShownFolds;
  mutable bool FShownFoldsValid = true;
};
