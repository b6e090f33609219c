// The line index of the document.
#include "internal/LineManager.h"

#include <algorithm>

#include "internal/DocumentErrors.h"

namespace {

constexpr const char* kModule = "KivSedDocument";
constexpr Char kCR = u'\r';
constexpr Char kLF = u'\n';

// Appends the separators of a few characters held in ACh (character i at offset ABase + i)
// that start at or before ALast.
void ScanSmall(const Char* ACh, Integer ACount, Integer ABase, Integer ALast, TKivIntArray& AOut) {
  for (Integer i = 0; i < ACount && ABase + i <= ALast; ++i) {
    if (ACh[i] == kCR && i + 1 < ACount && ACh[i + 1] == kLF) {
      AOut.push_back(static_cast<int32_t>(static_cast<Cardinal>(ABase + i) | TLineManager::LineEndFlagCRLF));
      ++i;
    } else if (ACh[i] == kCR || ACh[i] == kLF) {
      AOut.push_back(ABase + i);
    }
  }
}

}  // namespace

TLineManager::TLineManager(TKivTextStorage* AChars) : FChars(AChars) {
  KIV_ASSERT(AChars != nullptr, kModule);
  Refresh();
}

void TLineManager::RaiseLineIdxError(Integer ALine, Integer ACount) const {
  throw EKivEditDocError(u"Invalid line index: %d. Valid range: [%d, %d]", {ALine, 0, ACount - 1});
}

Char TLineManager::RawChar(Integer AIdx) const {
  const Char* c;
  const Integer available = FChars->GetChunk(AIdx, c);
  KIV_ASSERT(available > 0, kModule);
  return *c;
}

void TLineManager::ScanSeparators(Integer AFrom, Integer ALast, TKivIntArray& AOut) const {
  const Integer n = FChars->Count();
  KIV_ASSERT(AFrom >= 0 && ALast < n, kModule);
  // The callers start at a separator's first character or after a character that is not CR.
  bool prevIsCR = false;
  for (Integer pos = AFrom; pos <= ALast;) {
    const Char* chunk;
    const Integer len = std::min(FChars->GetChunk(pos, chunk), ALast + 1 - pos);
    KIV_ASSERT(len > 0, kModule);
    KivAppendLineEnds(chunk, len, pos, prevIsCR, AOut);
    prevIsCR = chunk[len - 1] == kCR;
    pos += len;
  }
  // A CR at the end of the range pairs with an LF just after it.
  if (prevIsCR && ALast + 1 < n && RawChar(ALast + 1) == kLF)
    AOut.back() = static_cast<int32_t>(static_cast<Cardinal>(AOut.back()) | LineEndFlagCRLF);
}

namespace {

// The room an index of ACount entries keeps for more: a share of it, at least one block.
Integer GapFor(Integer ACount) {
  return std::max(16, ACount / 16);
}

// The size of an array of ACount entries and a gap of at least AGap, in whole blocks.
Integer BlockedSize(Integer ACount, Integer AGap) {
  return (ACount + AGap + 15) & ~15;
}

}  // namespace

void TLineManager::Refresh() {
  const Integer n = FChars->Count();
  KIV_ASSERT(n <= TKivTextStorage::KivMaxTextLength, kModule);
  TKivIntArray ends;
  // A text just loaded comes with its line ends, recorded while it was copied in.
  if (!FChars->TakeLineEnds(ends)) {
    // C text averages a line per few dozen characters; the estimate saves most regrowth.
    ends.reserve(static_cast<size_t>(n / 32 + 1));
    if (n > 0) ScanSeparators(0, n - 1, ends);
  }
  ends.push_back(n);
  const auto count = static_cast<Integer>(ends.size());
  // An array of exactly the entries and the gap (the gathered one may have spare capacity).
  const auto size = static_cast<size_t>(BlockedSize(count, GapFor(count)));
  TKivIntArray arr;
  arr.reserve(size);
  arr.assign(ends.begin(), ends.end());
  TKivIntArray().swap(ends);
  arr.resize(size);
  FEnds = std::move(arr);
  FGap0 = count;
  FGap1 = static_cast<Integer>(FEnds.size());
  FPendDelta = 0;
  FSummary.assign(FEnds.size() >> kBlockShift, 0);
  SyncSummary(0, FGap0);
  SyncGapBlock();
}

Integer TLineManager::BlockKey(Integer ABlock) const {
  const Integer last = (ABlock << kBlockShift) + kBlockSize - 1;
  const Cardinal shift = last >= FGap1 ? FPendDelta : 0;
  return static_cast<Integer>((static_cast<Cardinal>(FSummary[static_cast<size_t>(ABlock)]) + shift) &
                              LineEndOffsetMask);
}

void TLineManager::SyncGapBlock() {
  if (FGap0 == 0) return;
  const Integer j = (FGap0 - 1) >> kBlockShift;
  const Integer last = (j << kBlockShift) + kBlockSize - 1;
  if (last >= FGap0 && last < FGap1) FSummary[static_cast<size_t>(j)] = FEnds[static_cast<size_t>(FGap0 - 1)];
}

Integer TLineManager::LowerBound(Integer AOffset) const {
  Integer base = 0, len = Count();
  // Edits ask about the lines around the last edit, where the gap is: a few probes outwards
  // from it find those without the search over the whole index.
  bool near = false;
  if (len >= kSummaryMinLines) {
    const Integer g = std::min(FGap0, len - 1);
    if (EndOf(g) >= AOffset) {
      // The answer is g or lies below it.
      for (Integer hi = g, step = 1, probes = 0; probes < 8 && !near; ++probes, step *= 2) {
        const Integer lo = hi - step;
        if (lo < 0 || EndOf(lo) < AOffset) {
          base = std::max(lo, -1) + 1;
          len = hi - base + 1;
          near = true;
        }
        hi = lo;
      }
    } else {
      // The answer lies above g (the last line's end is the text length, >= AOffset).
      for (Integer lo = g, step = 1, probes = 0; probes < 8 && !near; ++probes, step *= 2) {
        const Integer hi = std::min(lo + step, len - 1);
        if (EndOf(hi) >= AOffset) {
          base = lo + 1;
          len = hi - base + 1;
          near = true;
        }
        lo = hi;
      }
    }
  }
  if (!near && len >= kSummaryMinLines) {
    // Blocks [skipFrom, skipTo) hold only gap slots: the search skips them.
    const Integer skipFrom = FGap0 == 0 ? 0 : ((FGap0 - 1) >> kBlockShift) + 1;
    const Integer skipTo = std::max(skipFrom, FGap1 >> kBlockShift);
    const Integer skipped = skipTo - skipFrom;
    auto block = [&](Integer AVirtual) { return AVirtual < skipFrom ? AVirtual : AVirtual + skipped; };
    Integer b = 0, l = static_cast<Integer>(FSummary.size()) - skipped;
    while (l > 1) {
      const Integer half = l / 2;
      b = BlockKey(block(b + half - 1)) < AOffset ? b + half : b;
      l -= half;
    }
    // The block's last entry is >= AOffset, every entry before the block is not: the answer
    // lies among the block's entries.
    const Integer first = block(b) << kBlockShift, end = first + kBlockSize;
    const Integer gap = FGap1 - FGap0;
    base = first < FGap0 ? first : std::max(first, FGap1) - gap;
    const Integer hi = end <= FGap0 ? end : (end > FGap1 ? end - gap : FGap0);
    len = hi - base;
  }
  // Branch-free halving over [base, base + len), whose last entry is >= AOffset.
  while (len > 1) {
    const Integer half = len / 2;
    base = EndOf(base + half - 1) < AOffset ? base + half : base;
    len -= half;
  }
  return base;
}

void TLineManager::SyncSummary(Integer AFrom, Integer ATo) {
  // Blocks whose last slot lies in [AFrom, ATo).
  for (Integer j = AFrom >> kBlockShift; (j << kBlockShift) + kBlockSize - 1 < ATo; ++j)
    FSummary[static_cast<size_t>(j)] = FEnds[static_cast<size_t>((j << kBlockShift) + kBlockSize - 1)];
}

Integer TLineManager::GetLineByOffset(Integer AOffset) const {
  const Integer n = FChars->Count();
  if (AOffset < 0 || AOffset > n)
    RaiseInsertIndexError(AOffset, n);
  return LowerBound(AOffset);
}

Integer TLineManager::GetLineStart(Integer AIdx) const {
  CheckLine(AIdx);
  if (AIdx == 0) return 0;
  const Cardinal w = WordOf(AIdx - 1);
  return static_cast<Integer>(w & LineEndOffsetMask) + ((w & LineEndFlagCRLF) != 0 ? 2 : 1);
}

Integer TLineManager::GetLineEnd(Integer AIdx) const {
  CheckLine(AIdx);
  return EndOf(AIdx);
}

TKivSegment TLineManager::GetAt(Integer AIdx) const {
  const Integer start = GetLineStart(AIdx);
  return MakeSegment(start, EndOf(AIdx) - start, FChars);
}

bool TLineManager::GetLineEndKind(Integer ALine, TKivLineSeparator& Res) const {
  CheckLine(ALine);
  if (ALine == Count() - 1) return false;
  const Cardinal w = WordOf(ALine);
  if ((w & LineEndFlagCRLF) != 0)
    Res = lsCRLF;
  else
    Res = RawChar(static_cast<Integer>(w & LineEndOffsetMask)) == kCR ? lsCR : lsLF;
  return true;
}

TKivIntArray TLineManager::Entries() const {
  TKivIntArray out(static_cast<size_t>(Count()));
  for (Integer i = 0; i < Count(); ++i) out[static_cast<size_t>(i)] = static_cast<int32_t>(WordOf(i));
  return out;
}

void TLineManager::MoveGap(Integer AIdx) {
  KIV_ASSERT(AIdx >= 0 && AIdx <= Count(), kModule);
  int32_t* arr = FEnds.data();
  if (AIdx < FGap0) {
    // Entries [AIdx, FGap0) go to the end of the gap and become pending.
    const Integer n = FGap0 - AIdx, dst = FGap1 - n;
    const Cardinal undo = (0u - FPendDelta) & LineEndOffsetMask;
    for (Integer k = n - 1; k >= 0; --k) {
      const auto w = static_cast<Cardinal>(arr[AIdx + k]);
      arr[dst + k] = static_cast<int32_t>((w & LineEndFlagCRLF) | ((w + undo) & LineEndOffsetMask));
    }
    FGap0 = AIdx;
    FGap1 = dst;
    SyncSummary(dst, dst + n);
    SyncGapBlock();
  } else if (AIdx > FGap0) {
    // The first entries after the gap come before it, with the pending shift applied.
    const Integer n = AIdx - FGap0, src = FGap1, dst = FGap0;
    for (Integer k = 0; k < n; ++k) {
      const auto w = static_cast<Cardinal>(arr[src + k]);
      arr[dst + k] = static_cast<int32_t>((w & LineEndFlagCRLF) | ((w + FPendDelta) & LineEndOffsetMask));
    }
    FGap0 = AIdx;
    FGap1 = src + n;
    SyncSummary(dst, dst + n);
    SyncGapBlock();
  }
}

void TLineManager::Reallocate(Integer AGap) {
  const Integer count = Count();
  const Integer tail = static_cast<Integer>(FEnds.size()) - FGap1;
  TKivIntArray arr(static_cast<size_t>(BlockedSize(count, AGap)));
  std::copy(FEnds.begin(), FEnds.begin() + FGap0, arr.begin());
  std::copy(FEnds.begin() + FGap1, FEnds.end(), arr.end() - tail);
  FEnds = std::move(arr);
  FGap1 = static_cast<Integer>(FEnds.size()) - tail;
  FSummary.assign(FEnds.size() >> kBlockShift, 0);
  SyncSummary(0, FGap0);
  SyncSummary(FGap1, static_cast<Integer>(FEnds.size()));
  SyncGapBlock();
}

void TLineManager::ReplaceEntries(Integer AFrom, Integer ATo, const TKivIntArray& ANew, Integer ADelta) {
  MoveGap(ATo);
  // Entries [AFrom, ATo) now end at the gap: dropping them widens it.
  FGap0 = AFrom;
  const auto k = static_cast<Integer>(ANew.size());
  const Integer after = Count() + k;
  if (FGap1 - FGap0 < k)
    Reallocate(k + GapFor(after));
  else if (FGap1 - FGap0 - k > 4 * (after + GapFor(after)))
    Reallocate(k + GapFor(after));  // most entries were deleted: give the room back
  std::copy(ANew.begin(), ANew.end(), FEnds.begin() + FGap0);
  FGap0 += k;
  SyncSummary(AFrom, FGap0);
  SyncGapBlock();
  FPendDelta = (FPendDelta + static_cast<Cardinal>(ADelta)) & LineEndOffsetMask;
}

TLineManResult TLineManager::ContentInserted(Integer AStart, Integer ALength) {
  const Integer n = FChars->Count();
  const Integer oldLen = EndOf(Count() - 1);
  KIV_ASSERT(AStart >= 0 && ALength >= 0 && int64_t{oldLen} + ALength == n && AStart <= oldLen, kModule);
  KIV_ASSERT(n <= TKivTextStorage::KivMaxTextLength, kModule);
  const Integer a = LowerBound(AStart);
  if (ALength == 0) return {a, 0};
  // Only the pairing around the inserted text can change: a CR just before it may now pair
  // with an inserted LF, and an old separator at AStart may now follow an inserted CR.
  const Integer scanFrom = AStart > 0 && RawChar(AStart - 1) == kCR ? AStart - 1 : AStart;
  const Integer from = LowerBound(scanFrom);
  const Integer to = std::max(from, std::min(LowerBound(AStart + 1), Count() - 1));
  TKivIntArray added;
  ScanSeparators(scanFrom, std::min(AStart + ALength, n - 1), added);
  const auto net = static_cast<Integer>(added.size()) - (to - from);
  ReplaceEntries(from, to, added, ALength);
  return {a, net};
}

TLineManResult TLineManager::ContentDeleting(Integer AStart, Integer ALength) {
  const Integer n = FChars->Count();
  KIV_ASSERT(AStart >= 0 && ALength >= 0 && int64_t{AStart} + ALength <= n && EndOf(Count() - 1) == n,
             kModule);
  if (ALength == 0) return {0, 0};
  const Integer end = AStart + ALength;
  const Integer a = LowerBound(AStart);
  const Integer b = LowerBound(end);
  const Integer scanFrom = AStart > 0 && RawChar(AStart - 1) == kCR ? AStart - 1 : AStart;
  const Integer from = LowerBound(scanFrom);
  const Integer to = std::max(from, std::min(LowerBound(end + 1), Count() - 1));
  // The text after the deletion around its start, read before the storage changes: offsets
  // scanFrom .. AStart + 1 of the new text.
  Char ch[3];
  Integer cnt = 0;
  for (Integer j = scanFrom; j <= AStart + 1 && j < n - ALength; ++j)
    ch[cnt++] = RawChar(j < AStart ? j : j + ALength);
  TKivIntArray added;
  ScanSmall(ch, cnt, scanFrom, AStart, added);
  Integer first = a;
  // A CR at the end of the line before now pairs with an LF after the deletion (or stops
  // pairing): that line's separator changed.
  if (from < a && (added.empty() || static_cast<Cardinal>(added[0]) != WordOf(from))) first = from;
  const Integer removedLines = to - from - static_cast<Integer>(added.size());
  ReplaceEntries(from, to, added, -ALength);
  // Every line from the first changed one to the line of the deletion's end is touched; a CR
  // just before the deletion that now pairs with the LF after it removes one line more.
  return {first, std::max(b, first + removedLines) - first + 1};
}
