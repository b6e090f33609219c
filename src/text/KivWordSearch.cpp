// Word-boundary search over a sequence.
#include <algorithm>
#include <limits>

#include "KivSedUtils.h"
#include "internal/KivSeparatorSet.h"

namespace {

constexpr Integer kNoLimit = std::numeric_limits<Integer>::max();
// Added to a separator set given by the caller.
constexpr TKivStringView kBlanks = u" \t\r\n";

// One search: the characters, the effective separators and the clamped count and limit.
class TWordScanner {
 public:
  TWordScanner(TKivCharSeq& AChars, const TKivSeparatorSet& ASeps) : FChars(AChars), FSeps(ASeps) {}

  void CheckOffset(Integer AOffset) const {
    const Integer n = FChars.Count();
    if (AOffset < 0 || AOffset > n)
      throw EKivEditDocError(u"Invalid offset given for search in document: %d. Valid range: [%d, %d]",
                             {AOffset, 0, n});
  }

  Integer WordStart(Integer AOffset, Integer AMaxCount, bool ABackward, bool AAccepting) {
    if (AMaxCount == 0 || FSeps.Empty()) return -1;
    CheckOffset(AOffset);
    Integer m, limit;
    Clamp(AOffset, AMaxCount, ABackward, m, limit);
    Integer p = FirstWordChar(AOffset, m, ABackward);
    if (p == -1) return -1;
    if (ABackward) {
      const Integer q = Scan(p, false, true, p - limit);
      if (q != -1) {
        p = q + 1;
      } else if (m > 1) {
        p = limit + 1;
      }
      if (p == AOffset && !AAccepting) return WordStart(AOffset - 1, AOffset - 1 - limit, true, false);
    } else if (p == AOffset) {
      const Integer q = Scan(p, false, false, limit - p);
      p = q == -1 ? -1 : Scan(q, true, false, limit - q);
    }
    return p;
  }

  Integer WordEnd(Integer AOffset, Integer AMaxCount, bool ABackward, bool AOuter) {
    if (AMaxCount == 0 || FSeps.Empty()) return -1;
    CheckOffset(AOffset);
    Integer m, limit;
    Clamp(AOffset, AMaxCount, ABackward, m, limit);
    Integer p = FirstWordChar(AOffset, m, ABackward);
    if (p == -1) return -1;
    if (!ABackward) {
      const Integer q = Scan(p, false, false, limit - p);
      p = q == -1 ? limit - 1 : q - 1;
    } else if (p == AOffset) {
      const Integer q = Scan(p, false, true, p - limit);
      p = q == -1 ? -1 : Scan(q, true, true, q - limit);
    }
    if (p != -1 && p == AOffset && AOuter)
      return WordEnd(AOffset + (ABackward ? -1 : 1), m - 1, ABackward, false);
    return p;
  }

  // The end of the word starting at AStart: the first separator after it, or the end.
  Integer WordEndFrom(Integer AStart) {
    const Integer q = Scan(AStart, false, false, -1);
    return q == -1 ? FChars.Count() : q;
  }

 private:
  // A negative count means no limit; the count is clamped to the characters available in the
  // direction, and ALimit is the first index (exclusive) the search may not reach.
  void Clamp(Integer AOffset, Integer AMaxCount, bool ABackward, Integer& AM, Integer& ALimit) const {
    const Integer m = AMaxCount < 0 ? kNoLimit : AMaxCount;
    if (ABackward) {
      AM = std::min<int64_t>(m, int64_t{AOffset} + 1);
      ALimit = AOffset - AM;
    } else {
      AM = std::min(m, FChars.Count() - AOffset);
      ALimit = AOffset + AM;
    }
  }

  Integer FirstWordChar(Integer AOffset, Integer AM, bool ABackward) {
    const Integer n = FChars.Count();
    if (AOffset != n) return Scan(AOffset, true, ABackward, AM);
    if (n == 0) return -1;
    // At the end: a forward search examines only the last character (count -1 is unbounded).
    return Scan(n - 1, true, ABackward, AM - 1);
  }

  Integer Scan(Integer AStart, bool AFindWordChar, bool ABackward, Integer ACount) {
    return KivSeqScan(FSeps, FChars, AStart, AFindWordChar, ABackward, ACount);
  }

  TKivCharSeq& FChars;
  const TKivSeparatorSet& FSeps;
};

}  // namespace

TKivSeparatorSet TKivWordSearch::Separators(TKivStringView ASeparators) const {
  return ASeparators.empty() ? TKivSeparatorSet(FFullWordSeparators) : TKivSeparatorSet(ASeparators, kBlanks);
}

TKivString TKivWordSearch::EffectiveSeparators(TKivStringView ASeparators,
                                               TKivStringView AFullWordSeparators) {
  if (ASeparators.empty()) return TKivString(AFullWordSeparators);
  TKivString out(ASeparators);
  out += kBlanks;
  return out;
}

Integer TKivWordSearch::FindNextWordStart(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  const TKivSeparatorSet seps = Separators(ASeparators);
  return TWordScanner(FChars, seps).WordStart(AOffset, AMaxCount, false, false);
}

Integer TKivWordSearch::FindPrevWordStart(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  const TKivSeparatorSet seps = Separators(ASeparators);
  return TWordScanner(FChars, seps).WordStart(AOffset, AMaxCount, true, false);
}

Integer TKivWordSearch::FindNextWordEnd(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  const TKivSeparatorSet seps = Separators(ASeparators);
  return TWordScanner(FChars, seps).WordEnd(AOffset, AMaxCount, false, true);
}

Integer TKivWordSearch::FindPrevWordEnd(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  const TKivSeparatorSet seps = Separators(ASeparators);
  return TWordScanner(FChars, seps).WordEnd(AOffset, AMaxCount, true, true);
}

TKivSegment TKivWordSearch::FindNearWord(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators,
                                         bool ABackward) {
  const TKivSeparatorSet seps = Separators(ASeparators);
  TWordScanner scanner(FChars, seps);
  scanner.CheckOffset(AOffset);
  const Integer start = scanner.WordStart(AOffset, AMaxCount, ABackward, true);
  if (start == -1) return TKivSegment{};
  return MakeSegment(start, scanner.WordEndFrom(start) - start, &FChars);
}

TKivSegment TKivWordSearch::FindNextWord(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  return FindNearWord(AOffset, AMaxCount, ASeparators, false);
}

TKivSegment TKivWordSearch::FindPrevWord(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators) {
  return FindNearWord(AOffset, AMaxCount, ASeparators, true);
}
