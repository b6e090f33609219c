#include "internal/HighlightsSparse.h"

#include <algorithm>
#include <limits>

#include "KivErrors.h"

namespace {
void CheckInterval(Integer AStart, Integer ACount) {
  if (AStart < 0 || ACount < 0 || ACount > std::numeric_limits<Integer>::max() - AStart)
    throw EInvalidArgument(u"Invalid range (%d, %d)", {AStart, ACount});
}
}  // namespace

Integer THighlightsSparse::FindRangeIdx(Integer AOffset) const {
  const auto it = std::upper_bound(Ranges.begin(), Ranges.end(), AOffset,
                                   [](Integer AOff, const TSARange& r) { return AOff < r.End(); });
  return static_cast<Integer>(it - Ranges.begin());
}

void THighlightsSparse::AddRange(Integer AStart, Integer ACount) {
  CheckInterval(AStart, ACount);
  if (ACount == 0) return;
  Integer start = AStart;
  Integer end = AStart + ACount;
  // Ranges overlapping [start, end): the first ending after start up to the last starting before end.
  const auto first = Ranges.begin() + FindRangeIdx(start);
  auto last = first;
  while (last != Ranges.end() && last->Start < end) {
    start = std::min(start, last->Start);
    end = std::max(end, last->End());
    ++last;
  }
  const auto pos = Ranges.erase(first, last);
  Ranges.insert(pos, TSARange{start, end - start});
}

void THighlightsSparse::Subtract(Integer AStart, Integer AEnd) {
  auto it = Ranges.begin() + FindRangeIdx(AStart);
  while (it != Ranges.end() && it->Start < AEnd) {
    const TSARange r = *it;
    if (r.Start < AStart && r.End() > AEnd) {  // strictly inside: split in two
      it->Count = AStart - r.Start;
      Ranges.insert(it + 1, TSARange{AEnd, r.End() - AEnd});
      return;
    }
    if (r.Start < AStart) {
      it->Count = AStart - r.Start;
      ++it;
    } else if (r.End() > AEnd) {
      it->Start = AEnd;
      it->Count = r.End() - AEnd;
      ++it;
    } else {
      it = Ranges.erase(it);
    }
  }
}

void THighlightsSparse::RemoveRange(Integer AStart, Integer ACount) {
  CheckInterval(AStart, ACount);
  if (ACount > 0) Subtract(AStart, AStart + ACount);
}

void THighlightsSparse::BeforeDelete(Integer AStart, Integer ACount) {
  CheckInterval(AStart, ACount);
  if (ACount == 0) return;
  const Integer end = AStart + ACount;
  // Where an offset lands once the text is gone; a range around the deleted text shrinks.
  const auto moved = [&](Integer AOffset) {
    return AOffset < AStart ? AOffset : AOffset < end ? AStart : AOffset - ACount;
  };
  auto out = Ranges.begin() + FindRangeIdx(AStart);
  for (auto it = out; it != Ranges.end(); ++it) {
    const Integer start = moved(it->Start), stop = moved(it->End());
    if (stop > start) *out++ = TSARange{start, stop - start};
  }
  Ranges.erase(out, Ranges.end());
}

void THighlightsSparse::AfterInsert(Integer AStart, Integer ACount) {
  CheckInterval(AStart, ACount);
  if (ACount == 0) return;
  for (Integer i = FindRangeIdx(AStart); i < RangesCnt(); ++i) {
    TSARange& r = Ranges[i];
    const int64_t end = int64_t(r.End()) + ACount;
    if (end > std::numeric_limits<Integer>::max())
      throw EInvalidArgument(u"Invalid range (%d, %d)", {AStart, ACount});
  }
  for (Integer i = FindRangeIdx(AStart); i < RangesCnt(); ++i) {
    TSARange& r = Ranges[i];
    if (r.Start < AStart)
      r.Count += ACount;  // AStart lies strictly inside: the range grows
    else
      r.Start += ACount;
  }
}
