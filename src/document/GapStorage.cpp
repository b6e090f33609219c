// The gap buffer behind the document's text.
#include "internal/GapStorage.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

#include "internal/DocumentErrors.h"
#include "internal/LineBreaks.h"

namespace {

constexpr const char* kModule = "KivSedDocument";
// Copies into a large fresh array go a piece at a time: faster than one huge copy where
// first-touching memory is slow, and each piece is still in the cache when its line ends are
// recorded.
constexpr Integer kPiece = 2048;
// The window (in characters) through which the storage is read as a character sequence.
constexpr Integer kWindowSize = 512;
// Texts from this many characters on keep a gap of 1/kGapShare of their length.
constexpr int64_t kProportionalGapFrom = 1 << 20;
constexpr int64_t kGapShare = 64;

void CopyChars(Char* ADest, const Char* ASrc, Integer ACount) {
  if (ACount > 0) std::memcpy(ADest, ASrc, static_cast<size_t>(ACount) * sizeof(Char));
}

void MoveChars(Char* ADest, const Char* ASrc, Integer ACount) {
  if (ACount > 0) std::memmove(ADest, ASrc, static_cast<size_t>(ACount) * sizeof(Char));
}

[[noreturn]] void RaiseBadSegment() {
  throw EKivEditDocError(u"Invalid segment passed to document method");
}

}  // namespace

TGapStorage::TGapStorage(Integer AGapSize) : TKivTextStorage(kWindowSize), FGapSize(AGapSize) {
  KIV_ASSERT(AGapSize >= 0, kModule);
}

void TGapStorage::CheckInsert(Integer AIdx, Integer ACount) const {
  if (AIdx < 0 || AIdx > FCount)
    RaiseInsertIndexError(AIdx, FCount);
  if (int64_t{FCount} + ACount > KivMaxTextLength)
    RaiseTextTooLong(ACount, FCount);
}

void TGapStorage::StopRecording() {
  FRecording = false;
  TKivIntArray().swap(FLineEnds);
}

void TGapStorage::BeforeInsert(Integer AIdx) {
  if (FCount == 0) {
    FRecording = true;
    FLineEnds.clear();
  } else if (AIdx != FCount && FRecording) {
    StopRecording();
  }
}

bool TGapStorage::TakeLineEnds(TKivIntArray& AEnds) {
  if (!FRecording) return false;
  AEnds.swap(FLineEnds);
  StopRecording();
  return true;
}

void TGapStorage::ClearStorage() {
  FRecording = true;
  FLineEnds.clear();
  FArr.reset();
  FArrLength = 0;
  FCount = 0;
  FGapStart = 0;
  FGapEnd = 0;
  TextChanged();
  InvalidateBuffer();
}

void TGapStorage::Swap(TGapStorage& AOther) noexcept {
  std::swap(FArr, AOther.FArr);
  std::swap(FArrLength, AOther.FArrLength);
  std::swap(FGapStart, AOther.FGapStart);
  std::swap(FGapEnd, AOther.FGapEnd);
  std::swap(FCount, AOther.FCount);
  std::swap(FRecording, AOther.FRecording);
  FLineEnds.swap(AOther.FLineEnds);
  TextChanged();
  AOther.TextChanged();
  InvalidateBuffer();
  AOther.InvalidateBuffer();
}

void TGapStorage::MoveGap(Integer AIdx) {
  const Integer gap = FGapEnd - FGapStart;
  if (FGapStart < AIdx)
    MoveChars(FArr.get() + FGapStart, FArr.get() + FGapEnd, AIdx - FGapStart);
  else if (AIdx < FGapStart)
    MoveChars(FArr.get() + AIdx + gap, FArr.get() + AIdx, FGapStart - AIdx);
  FGapStart = AIdx;
  FGapEnd = AIdx + gap;
}

void TGapStorage::MoveTail(Integer AIdx) {
  MoveChars(FArr.get() + AIdx, FArr.get() + FGapEnd, FCount - FGapStart);
  FGapEnd = AIdx;
}

// A new array of ALength characters: the text before the gap stays in place, the text after
// the gap starts at ATailStart.
void TGapStorage::Reallocate(Integer ALength, Integer ATailStart) {
  KIV_ASSERT(ATailStart >= FGapStart && int64_t{ATailStart} + (FCount - FGapStart) <= ALength, kModule);
  // Left uninitialised: the gap and the spare capacity are never read, and a large text then
  // touches its memory only once, when it is written.
  auto arr = std::make_unique_for_overwrite<Char[]>(static_cast<size_t>(ALength));
  CopyChars(arr.get(), FArr.get(), FGapStart);
  CopyChars(arr.get() + ATailStart, FArr.get() + FGapEnd, FCount - FGapStart);
  FArr = std::move(arr);
  FArrLength = ALength;
  FGapEnd = ATailStart;
}

Integer TGapStorage::GapFor(int64_t ACount) const {
  if (ACount < kProportionalGapFrom) return FGapSize;
  return static_cast<Integer>(std::max<int64_t>(FGapSize, ACount / kGapShare));
}

void TGapStorage::ReserveText(Integer ACount) {
  KIV_ASSERT(FCount == 0 && ACount >= 0 && ACount <= KivMaxTextLength, kModule);
  const int64_t length = int64_t{ACount} + GapFor(ACount);
  if (length > FArrLength) Reallocate(static_cast<Integer>(length), static_cast<Integer>(length));
}

void TGapStorage::TrimGap() {
  const Integer keep = GapFor(FCount);
  if (FArrLength - FCount <= 2 * int64_t{keep}) return;
  if (FCount == 0) {
    ClearStorage();
    return;
  }
  Reallocate(FCount + keep, FGapStart + keep);
  InvalidateBuffer();
}

void TGapStorage::ReserveGap(Integer AIdx, Integer ACount) {
  if (FGapEnd - FGapStart >= ACount) {
    MoveGap(AIdx);
    return;
  }
  // The gap is left exactly GapFor(the new length) long after the insertion.
  const Integer gap = GapFor(int64_t{FCount} + ACount);
  const int64_t needed = int64_t{FCount} + ACount + gap;
  const Integer tailStart = static_cast<Integer>(int64_t{AIdx} + ACount + gap);
  if (FArrLength <= needed || FArrLength / (needed + 1) > 4) {
    // The new array gets the gap at AIdx straight away: the text is moved once, not twice.
    ReallocateWithGapAt(static_cast<Integer>(needed * 3 / 2), AIdx, tailStart);
  } else {
    MoveGap(AIdx);
    MoveTail(tailStart);
  }
}

void TGapStorage::CopyTextOut(Char* ADest, Integer AFrom, Integer ATo) const {
  const Integer before = std::clamp(FGapStart - AFrom, 0, ATo - AFrom);
  CopyChars(ADest, FArr.get() + AFrom, before);
  CopyChars(ADest + before, FArr.get() + (AFrom + before + (FGapEnd - FGapStart)), ATo - AFrom - before);
}

void TGapStorage::ReallocateWithGapAt(Integer ALength, Integer AIdx, Integer ATailStart) {
  KIV_ASSERT(AIdx >= 0 && AIdx <= FCount && ATailStart >= AIdx &&
                 int64_t{ATailStart} + (FCount - AIdx) <= ALength,
             kModule);
  // Left uninitialised, as in Reallocate.
  auto arr = std::make_unique_for_overwrite<Char[]>(static_cast<size_t>(ALength));
  CopyTextOut(arr.get(), 0, AIdx);
  CopyTextOut(arr.get() + ATailStart, AIdx, FCount);
  FArr = std::move(arr);
  FArrLength = ALength;
  FGapStart = AIdx;
  FGapEnd = ATailStart;
}

void TGapStorage::ShrinkGap() {
  const Integer gap = FGapEnd - FGapStart;
  if (gap <= FGapSize || FCount >= gap / 32) return;
  const Integer keep = GapFor(FCount);
  const Integer tailStart = FGapStart + keep;
  const Integer length = FCount + keep;
  if (length == 0) {
    ClearStorage();
    return;
  }
  Reallocate(length, tailStart);
  InvalidateBuffer();
}

void TGapStorage::RecordLineEnds(Integer AFrom, Integer ATo) {
  // Appending: the text before AFrom lies contiguously before it.
  if (FRecording && AFrom < ATo)
    KivAppendLineEnds(FArr.get() + AFrom, ATo - AFrom, AFrom, AFrom > 0 && FArr[AFrom - 1] == u'\r',
                      FLineEnds);
}

void TGapStorage::CopyIn(Integer AAt, const Char* AChars, Integer ACount) {
  for (Integer done = 0; done < ACount;) {
    const Integer n = std::min(kPiece, ACount - done);
    CopyChars(FArr.get() + AAt + done, AChars + done, n);
    RecordLineEnds(AAt + done, AAt + done + n);
    done += n;
  }
}

void TGapStorage::CopyIntoGap(const TKivSegment& ASeg) {
  Integer at = FGapStart;
  Integer i = ASeg.Start;
  const Integer end = ASeg.Start + ASeg.Count;
  if (auto* storage = dynamic_cast<TKivTextStorage*>(ASeg.Source)) {
    while (i < end) {
      const Char* chunk;
      const Integer n = std::min(storage->GetChunk(i, chunk), end - i);
      CopyIn(at, chunk, n);
      at += n;
      i += n;
    }
    return;
  }
  // Through the source's window; the line ends are recorded a few windows at a time.
  TKivCharSeq& src = *ASeg.Source;
  Integer recorded = at;
  while (i < end) {
    src.AssureIdx(i);
    const Integer n = std::min(end, src.BufferEnd()) - i;
    CopyChars(FArr.get() + at, src.Buffer().data() + (i - src.BufferStart()), n);
    at += n;
    i += n;
    if (at - recorded >= kPiece) {
      RecordLineEnds(recorded, at);
      recorded = at;
    }
  }
  RecordLineEnds(recorded, at);
}

void TGapStorage::Inserted(Integer ACount) {
  FGapStart += ACount;
  FCount += ACount;
  TextChanged();
  InvalidateBuffer();
}

void TGapStorage::Insert(Integer AIdx, const TKivSegment& ASeg) {
  if (AIdx < 0 || AIdx > FCount)
    RaiseInsertIndexError(AIdx, FCount);
  if (!IsValidSegment(ASeg)) RaiseBadSegment();
  CheckInsert(AIdx, ASeg.Count);
  if (ASeg.Count == 0) return;
  if (ASeg.Source == this) {
    // Moving the gap would move the very characters being copied.
    const TKivString copy = SegmentToString(ASeg);
    InsertChars(AIdx, copy);
    return;
  }
  BeforeInsert(AIdx);
  ReserveGap(AIdx, ASeg.Count);
  CopyIntoGap(ASeg);
  Inserted(ASeg.Count);
}

void TGapStorage::InsertChars(Integer AIdx, TKivStringView AChars) {
  if (AChars.size() > static_cast<size_t>(KivMaxTextLength))
    RaiseTextTooLong(static_cast<long long>(AChars.size()), FCount);
  const auto n = static_cast<Integer>(AChars.size());
  CheckInsert(AIdx, n);
  if (n == 0) return;
  if (FArr && !std::less<const Char*>()(AChars.data(), FArr.get()) &&
      std::less<const Char*>()(AChars.data(), FArr.get() + FArrLength)) {
    // Characters of this very storage: growing the array would free them.
    const TKivString copy(AChars);
    InsertChars(AIdx, copy);
    return;
  }
  BeforeInsert(AIdx);
  ReserveGap(AIdx, n);
  CopyIn(FGapStart, AChars.data(), n);
  Inserted(n);
}

void TGapStorage::Delete(Integer AIdx, Integer ACount) {
  if (ACount < 0)
    throw EKivEditDocError(u"Range start should be less or equal to range end: range: [%d, %d]",
                           {AIdx, int64_t{AIdx} + ACount});
  const int64_t last = int64_t{AIdx} + ACount - 1;
  if (AIdx < 0 || AIdx >= FCount)
    throw EKivEditDocError(u"Invalid char index: %d. Valid range: [%d, %d].", {AIdx, 0, FCount - 1});
  if (last < 0 || last >= FCount)
    throw EKivEditDocError(u"Invalid char index: %d. Valid range: [%d, %d].", {last, 0, FCount - 1});
  if (ACount == 0) return;
  if (FRecording) StopRecording();
  MoveGap(AIdx);
  FGapEnd += ACount;
  FCount -= ACount;
  ShrinkGap();
  TextChanged();
  InvalidateBuffer();
}

void TGapStorage::SetText(const TKivSegment& ASeg) {
  // Validated before the old text is dropped, so that a failed call keeps it.
  if (!IsValidSegment(ASeg)) RaiseBadSegment();
  if (ASeg.Count > KivMaxTextLength)
    RaiseTextTooLong(ASeg.Count, 0);
  if (ASeg.Source == this) {
    const TKivString copy = SegmentToString(ASeg);
    ClearStorage();
    InsertChars(0, copy);
    return;
  }
  ClearStorage();
  Insert(0, ASeg);
}

Integer TGapStorage::GetChunk(Integer AIdx, const Char*& AChunk) const {
  KIV_ASSERT(AIdx >= 0 && AIdx <= FCount, kModule);
  if (AIdx < FGapStart) {
    AChunk = FArr.get() + AIdx;
    return FGapStart - AIdx;
  }
  AChunk = FArr.get() + (AIdx + (FGapEnd - FGapStart));
  return FCount - AIdx;
}

void TGapStorage::FillBuffer(Integer AStart, Integer AEnd) {
  Char* out = FBuffer.data();
  const Integer before = std::clamp(FGapStart - AStart, 0, AEnd - AStart);
  CopyChars(out, FArr.get() + AStart, before);
  const Integer rest = AEnd - AStart - before;
  CopyChars(out + before, FArr.get() + (AStart + before + (FGapEnd - FGapStart)), rest);
}
