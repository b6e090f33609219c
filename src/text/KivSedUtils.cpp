// Sequences, segments, substring search and separator scanning.
#include "KivSedUtils.h"

#include <algorithm>
#include <cstring>

#include "KivUnicode.h"
#include "internal/KivSeparatorSet.h"

namespace {

constexpr const char* kModule = "KivSedUtils";

[[noreturn]] void RaiseIndex(Integer AIdx) {
  throw EInvalidArgument(u"Index out of bounds: %d", {AIdx});
}
[[noreturn]] void RaiseCount() {
  throw EInvalidArgument(u"Invalid Count value");
}
[[noreturn]] void RaiseBadSegment() {
  throw EInvalidArgument(u"Bad segment passed to function");
}

// Copies ACount characters from AStart through the window, one window at a time.
void ReadChars(TKivCharSeq& ASeq, Integer AStart, Integer ACount, Char* AOut) {
  Integer i = AStart;
  const Integer end = AStart + ACount;
  while (i < end) {
    ASeq.AssureIdx(i);
    const Integer n = std::min(end, ASeq.BufferEnd()) - i;
    std::memcpy(AOut, ASeq.Buffer().data() + (i - ASeq.BufferStart()), static_cast<size_t>(n) * sizeof(Char));
    AOut += n;
    i += n;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TKivCharSeq

TKivCharSeq::TKivCharSeq(Integer ABufSize) : FBufferSize(ABufSize) {
  KIV_ASSERT(ABufSize > FBoundGap, kModule);
  FBuffer.resize(static_cast<size_t>(ABufSize));
}

void TKivCharSeq::AssureIdx(Integer AIdx) {
  if (FBufferStart <= AIdx && AIdx < FBufferEnd) return;
  KIV_ASSERT(AIdx >= 0 && AIdx < FCount, kModule);
  const Integer s = FBufferSize, g = FBoundGap, n = FCount;
  // 64-bit: the window may be computed past the end of a sequence near the Integer limit.
  int64_t start, end;
  if (AIdx < FBufferEnd) {
    end = int64_t{AIdx} + g + 1;
    start = end - s;
  } else {
    start = int64_t{AIdx} - g;
    end = int64_t{AIdx} + s - g;
  }
  if (start < 0) {
    start = 0;
    end = std::min(s, n);
  }
  if (end > n) {
    end = n;
    start = std::max(0, n - s);
  }
  // Holds by construction (s > g); checked so that no read can leave the buffer in any build.
  KIV_ASSERT(start <= AIdx && AIdx < end && end - start <= s, kModule);
  FBufferStart = static_cast<Integer>(start);
  FBufferEnd = static_cast<Integer>(end);
  FillBuffer(FBufferStart, FBufferEnd);
}

// ---------------------------------------------------------------------------------------------
// TKivSeqFromString

TKivSeqFromString::TKivSeqFromString(TKivStringView AStr) : TKivCharSeq(256) {
  Reset(AStr);
}

void TKivSeqFromString::Resize(Integer ACount) {
  const Integer cap = GrowCapacity(ACount, static_cast<Integer>(FArr.size()));
  if (cap != -1) {
    FArr.resize(static_cast<size_t>(cap));
    FArr.shrink_to_fit();
  }
  FCount = ACount;
}

void TKivSeqFromString::Reset(TKivStringView AStr) {
  if (AStr.size() > static_cast<size_t>(INT32_MAX)) RaiseCount();
  Resize(static_cast<Integer>(AStr.size()));
  std::copy(AStr.begin(), AStr.end(), FArr.begin());
  InvalidateBuffer();
}

void TKivSeqFromString::Reset(Char AChar, Integer ACount) {
  if (ACount < 0) RaiseCount();
  Resize(ACount);
  std::fill_n(FArr.begin(), ACount, AChar);
  InvalidateBuffer();
}

TKivSegment TKivSeqFromString::WholeSegment() {
  return MakeSegment(0, FCount, this);
}

void TKivSeqFromString::FillBuffer(Integer AStart, Integer AEnd) {
  std::copy(FArr.begin() + AStart, FArr.begin() + AEnd, FBuffer.begin());
}

// ---------------------------------------------------------------------------------------------
// Segments

TKivSegment MakeSegment(Integer AStart, Integer ACount, TKivCharSeq* ASource) {
  return TKivSegment{AStart, ACount, ASource};
}

void ClearSegment(TKivSegment& ASeg) {
  ASeg = TKivSegment{};
}

bool IsNullSegment(const TKivSegment& ASeg) {
  return ASeg.Start < 0 || ASeg.Source == nullptr;
}

void SegmentFromString(TKivStringView AStr, TKivSegment& ASeg) {
  auto* seq = new TKivSeqFromString(AStr);
  ASeg = MakeSegment(0, seq->Count(), seq);
}

void FreeSegment(TKivSegment& ASeg) {
  delete ASeg.Source;
  ClearSegment(ASeg);
}

bool IsValidSegment(const TKivSegment& ASeg) {
  if (ASeg.Source == nullptr || ASeg.Count < 0) return false;
  const int64_t n = ASeg.Source->Count();
  const int64_t end = int64_t{ASeg.Start} + ASeg.Count;
  return ASeg.Start >= 0 && ASeg.Start <= n && end <= n;
}

Char SegmentChar(const TKivSegment& ASeg, Integer AIdx) {
  KIV_ASSERT(ASeg.Source != nullptr, kModule);
  const int64_t idx = int64_t{ASeg.Start} + AIdx;
  KIV_ASSERT(idx >= 0 && idx < ASeg.Source->Count(), kModule);
  return ASeg.Source->GetChar(static_cast<Integer>(idx));
}

Integer SegmentLast(const TKivSegment& ASeg) {
  return ASeg.Start + ASeg.Count - 1;
}

TKivString SegmentToString(const TKivSegment& ASeg) {
  if (ASeg.Count == 0) return {};
  if (!IsValidSegment(ASeg)) RaiseBadSegment();
  TKivString out(static_cast<size_t>(ASeg.Count), u'\0');
  ReadChars(*ASeg.Source, ASeg.Start, ASeg.Count, out.data());
  return out;
}

TKivString CharSeqToString(TKivCharSeq& ASeq) {
  return SegmentToString(MakeSegment(0, ASeq.Count(), &ASeq));
}

void CopySegmentToArray(const TKivSegment& ASeg, TKivCharArray& AArr, Integer AIdx) {
  if (!IsValidSegment(ASeg)) RaiseBadSegment();
  if (AIdx < 0 || int64_t{AIdx} + ASeg.Count > static_cast<int64_t>(AArr.size())) RaiseIndex(AIdx);
  if (ASeg.Count > 0) ReadChars(*ASeg.Source, ASeg.Start, ASeg.Count, AArr.data() + AIdx);
}

void CopySegmentToBuffer(const TKivSegment& ASeg, std::span<Char> ABuffer) {
  if (!IsValidSegment(ASeg)) RaiseBadSegment();
  if (static_cast<size_t>(ASeg.Count) >= ABuffer.size()) RaiseIndex(ASeg.Count);
  if (ASeg.Count > 0) ReadChars(*ASeg.Source, ASeg.Start, ASeg.Count, ABuffer.data());
  ABuffer[static_cast<size_t>(ASeg.Count)] = u'\0';
}

// ---------------------------------------------------------------------------------------------
// Substring search

namespace {

// Characters are compared after folding: identity, or the simple lower-case mapping. The
// pattern is folded once per search.
struct TSameChar {
  Char operator()(Char A) const { return A; }
};
struct TSameCharNoCase {
  Char operator()(Char A) const { return KivLowCase(A); }
};

template <class TFold>
TKivString Folded(TKivStringView AStr, TFold AFold) {
  TKivString out(AStr);
  for (Char& c : out) c = AFold(c);
  return out;
}

template <class TFold>
Integer FindForward(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount, TFold AFold) {
  const Integer n = ASeq.Count();
  if (AStart < 0 || AStart > n) RaiseIndex(AStart);
  if (ACount != -1 && (ACount < 0 || ACount > n - AStart)) RaiseCount();
  const Integer e = ACount == -1 ? n : AStart + ACount;
  if (e == 0 || ASubStr.empty()) return -1;
  const int64_t last = int64_t{e} - static_cast<int64_t>(ASubStr.size());
  if (last < AStart) return -1;
  const TKivString pat = Folded(ASubStr, AFold);
  const Char first = pat[0];
  const Integer len = static_cast<Integer>(pat.size());
  for (Integer i = AStart; i <= last; ++i) {
    if (AFold(ASeq.GetChar(i)) != first) continue;
    Integer j = 1;
    while (j < len && AFold(ASeq.GetChar(i + j)) == pat[static_cast<size_t>(j)]) ++j;
    if (j == len) return i;
  }
  return -1;
}

template <class TFold>
Integer FindBackward(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount, TFold AFold) {
  const Integer n = ASeq.Count();
  if (AStart < -1 || AStart > n - 1) RaiseIndex(AStart);
  if (ACount != -1 && (ACount < 0 || ACount > AStart)) RaiseCount();
  if (ACount == -1) ACount = AStart;
  if (n == 0 || ASubStr.empty()) return -1;
  const int64_t patLen = static_cast<int64_t>(ASubStr.size());
  const int64_t stop = std::max<int64_t>(int64_t{AStart} - ACount, patLen - 1);
  if (stop > AStart) return -1;
  const TKivString pat = Folded(ASubStr, AFold);
  const Integer len = static_cast<Integer>(pat.size());
  const Char lastCh = pat[static_cast<size_t>(len - 1)];
  for (Integer i = AStart; i >= stop; --i) {
    if (AFold(ASeq.GetChar(i)) != lastCh) continue;
    Integer j = 1;
    while (j < len && AFold(ASeq.GetChar(i - j)) == pat[static_cast<size_t>(len - 1 - j)]) ++j;
    if (j == len) return i - len + 1;
  }
  return -1;
}

}  // namespace

Integer SeqFind(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount) {
  return FindForward(ASubStr, ASeq, AStart, ACount, TSameChar{});
}

Integer SeqFindNoCase(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount) {
  return FindForward(ASubStr, ASeq, AStart, ACount, TSameCharNoCase{});
}

Integer SeqFindBack(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount) {
  return FindBackward(ASubStr, ASeq, AStart, ACount, TSameChar{});
}

Integer SeqFindBackNoCase(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount) {
  return FindBackward(ASubStr, ASeq, AStart, ACount, TSameCharNoCase{});
}

// ---------------------------------------------------------------------------------------------
// Separator scan

Integer KivSeqScan(const TKivSeparatorSet& ASeparators, TKivCharSeq& ASeq, Integer AStart, bool AFindWordChar,
                   bool ABackward, Integer ACount) {
  const Integer n = ASeq.Count();
  if (AStart < 0 || AStart > n || (ABackward && AStart >= n)) RaiseIndex(AStart);
  if (ACount != -1 && (ACount < 0 || (ABackward ? ACount > AStart + 1 : ACount > n - AStart))) RaiseCount();
  if (ASeparators.Empty()) return -1;
  const Integer step = ABackward ? -1 : 1;
  const Integer stop = ACount == -1 ? (ABackward ? -1 : n) : AStart + step * ACount;
  for (Integer i = AStart; i != stop; i += step) {
    if (ASeparators.Contains(ASeq.GetChar(i)) != AFindWordChar) return i;
  }
  return -1;
}

Integer SeqScan(TKivStringView ASeparators, TKivCharSeq& ASeq, Integer AStart, bool AFindWordChar,
                bool ABackward, Integer ACount) {
  return KivSeqScan(TKivSeparatorSet(ASeparators), ASeq, AStart, AFindWordChar, ABackward, ACount);
}
