// The line index of the document.
#include "internal/LineManager.h"

#include <algorithm>

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
  KIV_ASSERT(FChars->GetChunk(AIdx, c) > 0, kModule);
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
  if (GrowCapacity(static_cast<Integer>(ends.size()), static_cast<Integer>(ends.capacity())) != -1)
    ends.shrink_to_fit();
  FEnds = std::move(ends);
  FPendFrom = Count();
  FPendDelta = 0;
  FSummary.clear();
  FSummaryValid = 0;
  FSummaryMisses = 0;
}

Integer TLineManager::LowerBound(Integer AOffset, bool ACountMiss) const {
  Integer base = 0, len = Count();
  if (len >= kSummaryMinLines) {
    const Integer blocks = len >> kBlockShift;
    if (FSummaryValid < blocks && ACountMiss &&
        (FSummaryValid == 0 || SummaryEnd(FSummaryValid - 1) < AOffset) &&
        ++FSummaryMisses >= kMissesBeforeRebuild)
      RebuildSummary();
    const Integer valid = FSummaryValid;
    if (valid > 0 && SummaryEnd(valid - 1) >= AOffset) {
      Integer b = 0, l = valid;
      while (l > 1) {
        const Integer half = l / 2;
        b = SummaryEnd(b + half - 1) < AOffset ? b + half : b;
        l -= half;
      }
      // The block's last entry is >= AOffset: the answer lies in the block.
      base = b << kBlockShift;
      len = kBlockSize;
    } else {
      base = valid << kBlockShift;
      len = Count() - base;
    }
  }
  // Branch-free halving over [base, base + len), whose last entry is >= AOffset.
  while (len > 1) {
    const Integer half = len / 2;
    base = EndOf(base + half - 1) < AOffset ? base + half : base;
    len -= half;
  }
  return base;
}

void TLineManager::RebuildSummary() const {
  const Integer blocks = Count() >> kBlockShift;
  FSummary.resize(static_cast<size_t>(blocks));
  for (Integer j = FSummaryValid; j < blocks; ++j)
    FSummary[static_cast<size_t>(j)] = FEnds[static_cast<size_t>((j << kBlockShift) + kBlockSize - 1)];
  FSummaryValid = blocks;
  FSummaryMisses = 0;
}

void TLineManager::SyncSummary(Integer AFrom, Integer ATo) {
  const Integer end = std::min(ATo >> kBlockShift, FSummaryValid);
  for (Integer j = AFrom >> kBlockShift; j < end; ++j)
    FSummary[static_cast<size_t>(j)] = FEnds[static_cast<size_t>((j << kBlockShift) + kBlockSize - 1)];
}

Integer TLineManager::GetLineByOffset(Integer AOffset) const {
  const Integer n = FChars->Count();
  if (AOffset < 0 || AOffset > n)
    throw EKivEditDocError(u"Invalid char index for insert: %d. Valid range: [%d, %d].", {AOffset, 0, n});
  return LowerBound(AOffset, true);
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
  TKivIntArray out(FEnds.size());
  for (Integer i = 0; i < Count(); ++i) out[static_cast<size_t>(i)] = static_cast<int32_t>(WordOf(i));
  return out;
}

void TLineManager::MovePendingPoint(Integer ASkipFrom, Integer AIdx) {
  if (FPendDelta != 0) {
    if (FPendFrom < ASkipFrom) {
      for (Integer i = FPendFrom; i < ASkipFrom; ++i)
        FEnds[static_cast<size_t>(i)] = static_cast<int32_t>(WordOf(i));
      SyncSummary(FPendFrom, ASkipFrom);
    } else if (FPendFrom > AIdx) {
      const Cardinal undo = (0u - FPendDelta) & LineEndOffsetMask;
      for (Integer i = AIdx; i < FPendFrom; ++i) {
        const auto w = static_cast<Cardinal>(FEnds[static_cast<size_t>(i)]);
        FEnds[static_cast<size_t>(i)] =
            static_cast<int32_t>((w & LineEndFlagCRLF) | ((w + undo) & LineEndOffsetMask));
      }
      SyncSummary(AIdx, FPendFrom);
    }
  }
  FPendFrom = AIdx;
}

void TLineManager::ReplaceEntries(Integer AFrom, Integer ATo, const TKivIntArray& ANew, Integer ADelta) {
  MovePendingPoint(AFrom, ATo);
  const auto k = static_cast<Integer>(ANew.size());
  const Integer removed = ATo - AFrom;
  auto pos = FEnds.begin() + AFrom;
  if (k > removed) {
    const Integer needed = Count() + k - removed;
    if (needed > static_cast<Integer>(FEnds.capacity())) {
      const Integer cap = GrowCapacity(needed, static_cast<Integer>(FEnds.capacity()));
      FEnds.reserve(static_cast<size_t>(std::max(cap, needed)));
      pos = FEnds.begin() + AFrom;
    }
    FEnds.insert(pos + removed, static_cast<size_t>(k - removed), 0);
  } else if (k < removed) {
    FEnds.erase(pos + k, pos + removed);
    if (GrowCapacity(Count(), static_cast<Integer>(FEnds.capacity())) != -1) FEnds.shrink_to_fit();
  }
  std::copy(ANew.begin(), ANew.end(), FEnds.begin() + AFrom);
  if (k != removed) {
    FSummaryValid = std::min(FSummaryValid, AFrom >> kBlockShift);
    FSummaryMisses = 0;
  } else {
    SyncSummary(AFrom, AFrom + k);
  }
  FPendFrom = AFrom + k;
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
