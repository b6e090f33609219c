// The document's line index: where every line's content ends and whether its separator is CR LF.
#pragma once

#include "KivSedStorage.h"
#include "LineBreaks.h"

// One 32-bit entry per line: bits 0-29 hold the offset where the line's content ends (the
// offset of its separator; for the last line the text length), bit 30 is set when the
// separator is CR LF. The last line never has a separator, every other line exactly one; an
// empty text has one empty line.
//
// Invariant: the entries always equal what Refresh builds from the current text. A CR directly
// followed by an LF is one separator wherever an edit brings the two together, and an edit
// between the two splits them.
//
// The entries live in an array with a gap at the place of the last edit, so that edits near
// one place insert and remove entries at amortised constant cost; the gap moves when the edit
// point does (a cost proportional to the distance). The offset shift of the last edit is kept
// pending for the entries after the gap and applied to the entries the gap passes, so that
// typing at one place costs no pass over the later entries either. Entries after the gap hold
// their offset minus the shift modulo 2^30.
//
// Lookups do not change the index; two threads may read it at once while nobody edits.
class TLineManager {
 public:
  static constexpr Cardinal LineEndOffsetMask = KivLineEndOffsetMask;
  static constexpr Cardinal LineEndFlagCRLF = KivLineEndFlagCRLF;

  // AChars (not owned) is the document's text; the index is built from it at once.
  explicit TLineManager(TKivTextStorage* AChars);

  TKivTextStorage* Chars() const { return FChars; }
  // Number of lines, always >= 1.
  Integer Count() const { return static_cast<Integer>(FEnds.size()) - (FGap1 - FGap0); }

  // Rebuilds the index from the whole text.
  void Refresh();
  // After the storage inserted ALength characters at AStart.
  TLineManResult ContentInserted(Integer AStart, Integer ALength);
  // Before the storage deletes [AStart, AStart + ALength).
  TLineManResult ContentDeleting(Integer AStart, Integer ALength);

  // Line queries; a line outside [0, Count - 1] raises "Invalid line index".
  Integer GetLineStart(Integer AIdx) const;
  // The offset where the line's content ends (its separator's offset, or the text length).
  Integer GetLineEnd(Integer AIdx) const;
  // The line without its separator.
  TKivSegment GetAt(Integer AIdx) const;
  // The first line whose content ends at or after AOffset: an offset at a separator belongs to
  // its line, the LF of a CR LF pair to the next. AOffset must lie in [0, Count of characters].
  Integer GetLineByOffset(Integer AOffset) const;
  // False for the last line; otherwise true and the kind of the line's separator.
  bool GetLineEndKind(Integer ALine, TKivLineSeparator& Res) const;
  [[noreturn]] void RaiseLineIdxError(Integer ALine, Integer ACount) const;

  // The entries with every pending shift applied, as Refresh would build them.
  TKivIntArray Entries() const;

 private:
  Integer Phys(Integer AIdx) const { return AIdx < FGap0 ? AIdx : AIdx + (FGap1 - FGap0); }
  Integer EndOf(Integer AIdx) const {
    const Cardinal shift = AIdx >= FGap0 ? FPendDelta : 0;
    return static_cast<Integer>((static_cast<Cardinal>(FEnds[static_cast<size_t>(Phys(AIdx))]) + shift) &
                                LineEndOffsetMask);
  }
  Cardinal WordOf(Integer AIdx) const {
    const auto w = static_cast<Cardinal>(FEnds[static_cast<size_t>(Phys(AIdx))]);
    return (w & LineEndFlagCRLF) | static_cast<Cardinal>(EndOf(AIdx));
  }
  void CheckLine(Integer AIdx) const {
    if (AIdx < 0 || AIdx >= Count()) RaiseLineIdxError(AIdx, Count());
  }
  // The offset of the last entry at or before the end of block ABlock (a block holding at
  // least one entry after the gap, or one ending before or in the gap).
  Integer BlockKey(Integer ABlock) const;
  // The block whose last slot lies in the gap and that holds the entry before the gap gets
  // that entry in the summary.
  void SyncGapBlock();
  // First entry whose offset is >= AOffset (the last entry when there is none).
  Integer LowerBound(Integer AOffset) const;
  // Copies the stored words of block ends in the physical range [AFrom, ATo) into the summary.
  void SyncSummary(Integer AFrom, Integer ATo);
  Char RawChar(Integer AIdx) const;
  // Appends the separators that start in [AFrom, ALast] of the current text (ALast < Count).
  void ScanSeparators(Integer AFrom, Integer ALast, TKivIntArray& AOut) const;
  // Moves the gap before entry AIdx: the entries it passes take on or give back the pending
  // shift.
  void MoveGap(Integer AIdx);
  // A new array holding the entries with a gap of AGap at the gap's place.
  void Reallocate(Integer AGap);
  // Replaces entries [AFrom, ATo) by ANew (exact offsets in the new text) and shifts the
  // entries after them by ADelta.
  void ReplaceEntries(Integer AFrom, Integer ATo, const TKivIntArray& ANew, Integer ADelta);

  static constexpr Integer kBlockShift = 4;
  static constexpr Integer kBlockSize = 1 << kBlockShift;
  // Below this many lines a plain search is as fast as any.
  static constexpr Integer kSummaryMinLines = 4 * kBlockSize;

  TKivTextStorage* FChars;
  // Entries [0, FGap0) and [FGap1, size), the gap between; the size is a multiple of
  // kBlockSize. Entry i is FEnds[i] for i < FGap0, else FEnds[i + FGap1 - FGap0] read with the
  // pending shift.
  TKivIntArray FEnds;
  Integer FGap0 = 0;
  Integer FGap1 = 0;
  Cardinal FPendDelta = 0;  // modulo 2^30
  // FSummary[j] is the stored word of FEnds[16j + 15] wherever that slot is not in the gap: a
  // table 16 times smaller than the index, which stays in the cache, so that a lookup touches
  // memory of the index itself only in one block of 16 slots. Blocks wholly inside the gap
  // are skipped; for the block ending in the gap it holds the entry before the gap.
  TKivIntArray FSummary;
};
