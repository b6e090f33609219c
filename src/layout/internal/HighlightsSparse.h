// Highlighted ranges of a view, in document offsets: sorted by start, disjoint and never empty.
// Ranges that only touch stay separate. The ranges follow edits of the document.
#pragma once

#include <vector>

#include "KivTypes.h"

struct TSARange {
  Integer Start = 0;
  Integer Count = 0;
  Integer End() const { return Start + Count; }
  friend bool operator==(const TSARange&, const TSARange&) = default;
};

class THighlightsSparse {
 public:
  // Union with the ranges it overlaps (merged into one range); nothing for ACount 0.
  // A negative start or count, or a range past the largest offset, raises EInvalidArgument.
  void AddRange(Integer AStart, Integer ACount);
  // Subtracts the interval; a range that contains it strictly splits in two.
  void RemoveRange(Integer AStart, Integer ACount);
  void Clear() { Ranges.clear(); }
  // Index of the first range that ends after AOffset (the range holding it or the next one);
  // RangesCnt() when none.
  Integer FindRangeIdx(Integer AOffset) const;
  // The text [AStart, AStart + ACount) is about to go: it leaves every range and later ranges move back.
  void BeforeDelete(Integer AStart, Integer ACount);
  // ACount characters came in at AStart: a range around AStart grows, later ranges move on.
  void AfterInsert(Integer AStart, Integer ACount);

  Integer RangesCnt() const { return static_cast<Integer>(Ranges.size()); }
  const std::vector<TSARange>& GetRanges() const { return Ranges; }

 private:
  void Subtract(Integer AStart, Integer AEnd);
  std::vector<TSARange> Ranges;
};
