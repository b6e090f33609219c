// The document's text as a gap buffer: the characters before the gap, the gap, the characters
// after it, and possibly unused capacity at the end of the array.
#pragma once

#include <memory>

#include "KivSedStorage.h"

// Typing at one place costs no reallocation: a growth reserves half as much again plus a gap of
// FGapSize, and memory is given back only when the gap is longer than FGapSize and more than
// 32 times the text. From a million characters on, the gap left is a share of the text
// instead (GapFor), so that typing at one place moves the text after it only once per that
// many characters: amortised constant cost per character. Invariants: 0 <= FGapStart <= FGapEnd <= FGapEnd + Count - FGapStart <=
// FArrLength; character i is FArr[i] for i < FGapStart, else FArr[i + FGapEnd - FGapStart].
class TGapStorage : public TKivTextStorage {
 public:
  explicit TGapStorage(Integer AGapSize);

  void SetText(const TKivSegment& ASeg) override;
  void Insert(Integer AIdx, const TKivSegment& ASeg) override;
  void Delete(Integer AIdx, Integer ACount) override;
  // Insert for characters the caller holds in memory (the document's loader); same checks.
  void InsertChars(Integer AIdx, TKivStringView AChars);
  // For a loader about to append up to ACount characters to this empty storage: one array
  // for all of them and the gap such a text keeps, so that appending never grows it.
  void ReserveText(Integer ACount);
  // Gives back what an over-estimated ReserveText left beyond the gap the text keeps.
  void TrimGap();
  // The gap left after a growth for a text of ACount characters.
  Integer GapFor(int64_t ACount) const;

  // Exchanges the whole text (array, gap, line-end record) with AOther; each keeps its own gap
  // size and listener. A loader fills a fresh storage and swaps it in only once all was read.
  void Swap(TGapStorage& AOther) noexcept;
  Integer GetChunk(Integer AIdx, const Char*& AChunk) const override;
  bool TakeLineEnds(TKivIntArray& AEnds) override;

  // The layout, for tests and diagnostics.
  Integer Capacity() const { return FArrLength; }
  Integer GapStart() const { return FGapStart; }
  Integer GapEnd() const { return FGapEnd; }
  Integer GapSize() const { return FGapSize; }

 protected:
  void FillBuffer(Integer AStart, Integer AEnd) override;

 private:
  void CheckInsert(Integer AIdx, Integer ACount) const;
  void ClearStorage();
  void MoveGap(Integer AIdx);
  // Makes the gap at AIdx at least ACount long, growing the array when needed.
  void ReserveGap(Integer AIdx, Integer ACount);
  void MoveTail(Integer AIdx);
  void Reallocate(Integer ALength, Integer ATailStart);
  // A new array of ALength characters with the gap moved to AIdx on the way: the text before
  // AIdx at the start, the rest from ATailStart on.
  void ReallocateWithGapAt(Integer ALength, Integer AIdx, Integer ATailStart);
  // The text's characters [AFrom, ATo) copied to ADest.
  void CopyTextOut(Char* ADest, Integer AFrom, Integer ATo) const;
  void ShrinkGap();
  // Copies the segment's characters to FArr[FGapStart ..]; the source is not this storage.
  void CopyIntoGap(const TKivSegment& ASeg);
  // Copies ACount characters to FArr[AAt ..], a piece at a time (recording line ends).
  void CopyIn(Integer AAt, const Char* AChars, Integer ACount);
  // Records the line ends of FArr[AFrom, ATo) when recording.
  void RecordLineEnds(Integer AFrom, Integer ATo);
  void Inserted(Integer ACount);
  void BeforeInsert(Integer AIdx);
  void StopRecording();

  std::unique_ptr<Char[]> FArr;
  Integer FArrLength = 0;
  Integer FGapStart = 0;
  Integer FGapEnd = 0;
  Integer FGapSize;
  // While the text has only been appended to since it was empty, the line ends of every piece
  // copied in are recorded (while the piece is still in the cache) for TakeLineEnds.
  bool FRecording = true;
  TKivIntArray FLineEnds;
};
