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
// The offset shift of the last edit is kept pending for the entries after it and applied when
// a later edit moves that point, so that typing at one place costs no pass over the later
// entries. Pending entries hold their offset minus the shift modulo 2^30.
//
// Lookups may refresh a private search summary, so even reading queries must not run on two
// threads at once (the editor is single-threaded).
class TLineManager {
 public:
  static constexpr Cardinal LineEndOffsetMask = KivLineEndOffsetMask;
  static constexpr Cardinal LineEndFlagCRLF = KivLineEndFlagCRLF;

  // AChars (not owned) is the document's text; the index is built from it at once.
  explicit TLineManager(TKivTextStorage* AChars);

  TKivTextStorage* Chars() const { return FChars; }
  // Number of lines, always >= 1.
  Integer Count() const { return static_cast<Integer>(FEnds.size()); }

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
  Integer EndOf(Integer AIdx) const {
    const Cardinal shift = AIdx >= FPendFrom ? FPendDelta : 0;
    return static_cast<Integer>((static_cast<Cardinal>(FEnds[AIdx]) + shift) & LineEndOffsetMask);
  }
  Cardinal WordOf(Integer AIdx) const {
    const auto w = static_cast<Cardinal>(FEnds[AIdx]);
    return (w & LineEndFlagCRLF) | static_cast<Cardinal>(EndOf(AIdx));
  }
  void CheckLine(Integer AIdx) const {
    if (AIdx < 0 || AIdx >= Count()) RaiseLineIdxError(AIdx, Count());
  }
  Integer SummaryEnd(Integer ABlock) const {
    const Integer last = (ABlock << kBlockShift) + kBlockSize - 1;
    const Cardinal shift = last >= FPendFrom ? FPendDelta : 0;
    return static_cast<Integer>((static_cast<Cardinal>(FSummary[ABlock]) + shift) & LineEndOffsetMask);
  }
  // First entry whose offset is >= AOffset (the last entry when there is none). Lookups of
  // callers (ACountMiss) that find the summary cut short rebuild it after a while.
  Integer LowerBound(Integer AOffset, bool ACountMiss = false) const;
  void RebuildSummary() const;
  // Copies the stored words of block ends in [AFrom, ATo) into the valid part of the summary.
  void SyncSummary(Integer AFrom, Integer ATo);
  Char RawChar(Integer AIdx) const;
  // Appends the separators that start in [AFrom, ALast] of the current text (ALast < Count).
  void ScanSeparators(Integer AFrom, Integer ALast, TKivIntArray& AOut) const;
  // Makes the entries before AIdx exact and the entries from AIdx on pending; entries in
  // [ASkipFrom, AIdx) are about to be removed and need no update.
  void MovePendingPoint(Integer ASkipFrom, Integer AIdx);
  // Replaces entries [AFrom, ATo) by ANew (exact offsets in the new text) and shifts the
  // entries after them by ADelta.
  void ReplaceEntries(Integer AFrom, Integer ATo, const TKivIntArray& ANew, Integer ADelta);

  static constexpr Integer kBlockShift = 4;
  static constexpr Integer kBlockSize = 1 << kBlockShift;
  // Below this many lines a plain search is as fast as any.
  static constexpr Integer kSummaryMinLines = 4 * kBlockSize;
  static constexpr Integer kMissesBeforeRebuild = 16;

  TKivTextStorage* FChars;
  TKivIntArray FEnds;
  // FSummary[j] is the stored word of entry 16j + 15 for j < FSummaryValid (read with the same
  // pending shift as that entry): a table 16 times smaller than the index, which stays in the
  // cache, so that a lookup touches memory of the index itself only in one block of 16 entries.
  // An edit that inserts or removes entries cuts the valid part at its block; the rest is
  // rebuilt once lookups keep needing it.
  mutable TKivIntArray FSummary;
  mutable Integer FSummaryValid = 0;
  mutable Integer FSummaryMisses = 0;
  Integer FPendFrom = 0;
  Cardinal FPendDelta = 0;  // modulo 2^30
};
