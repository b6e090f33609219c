// The wrapping engine's records: its position, the drawing runs and per-offset cells of a row,
// the cache of known positions, and the character sequences of copied selections.
#pragma once

#include <deque>
#include <limits>
#include <memory>
#include <vector>

#include "KivSedUtils.h"
#include "internal/MeasureCaches.h"

// The engine's position: the character at Offset, not yet consumed, on row Y.
struct TWrapParserState {
  Integer Offset = 0;
  Integer X = 0;              // column of the character's first cell on its row
  Integer XPix = 0;           // pixel of its left edge on its row
  Integer Y = 0;              // scroll line
  Integer Y_OffsetStart = 0;  // offset of the row's first character
  Integer PhysLine = 0;       // the line count for the state after the last line
  Integer VisWidth = -1;      // cells, -1 before measured
  Integer PixWidth = -1;      // pixels, -1 before measured
  Integer HighlightIdx = 0;
  TKivEditAttributes Attrs;
  Integer AttrsWeight = 0;  // 1 inside a highlight range
  bool IsTail = false;      // at the end of its line (the separator's position)
  bool IsTab = false;
  bool IsStable = false;  // a row may end after this character
};

enum TWP_Condition : uint8_t { wpByOffset, wpByXY, wpByXPixY };

// A run of glyphs drawn with one set of attributes.
struct TChunk {
  TKivEditAttributes Attrs;
  Integer AttrsWeight = 0;
  TKivFontCharset CharSet = 0;
  Integer StateOffset = 0;       // first document offset covered
  Integer StateOffsetCount = 0;  // document offsets covered
  TKivString Chars;              // the glyphs drawn
  bool CanMerge = true;
  bool IsTail = false;  // the line-end glyphs (or the wrap glyph)
  TTextAnalysisRef TextData;
  Integer CharsCount() const { return static_cast<Integer>(Chars.size()); }
};

enum TScreenOffsetFlag : uint8_t { soTail = 1, soTab = 2, soStable = 4 };

// Where one document offset of a row lands. Widths are 32-bit: a wide tab in a large font fits.
struct TScreenOffsetItem {
  Integer VisW = 0;
  Integer PixW = 0;
  Integer VisX = 0;
  Integer PixX = 0;
  uint8_t Flags = 0;
  friend bool operator==(const TScreenOffsetItem&, const TScreenOffsetItem&) = default;
};

// ---------------------------------------------------------------------------------------------
// Known positions. Items are states asked for and kept (oldest evicted first); checkpoints are
// states taken every FSeqItemsInterval offsets while running forward. Both are kept only at
// positions a run can resume from.

class TWP_Cache {
 public:
  TWP_Cache(Integer AMaxCount, Integer ASeqItemsInterval);

  // Forgets every state at or after AOffset. Nothing to forget when nothing was kept since
  // states from an offset not after AOffset went (a replace-all comes here for every occurrence).
  void Invalidate(Integer AOffset) {
    if (AOffset < FKeptNothingFrom) DoInvalidate(AOffset);
  }
  void Clear() { Invalidate(0); }
  // Keeps AState (one item per offset).
  void PutState(const TWrapParserState& AState);
  // Offers a state met while running forward as a checkpoint.
  void AddStateSeq(const TWrapParserState& AState, bool AChunkOutput);
  // Keeps a state inside a long row without wrapping (any such state is a place a run can
  // resume from): one every few thousand characters, so that a query deep in a long line runs
  // from the nearest of them instead of the line's start.
  void AddLineState(const TWrapParserState& AState);
  // The latest known state not after the target (by offset; by row and column; by row and
  // pixel); false when none.
  bool GetNearestState(Integer AOffset, Integer AX, Integer AY, TWP_Condition ACond,
                       TWrapParserState& ARes) const;

  Integer CacheCount() const { return static_cast<Integer>(FCacheItems.size()); }
  Integer SeqItemsCount() const { return static_cast<Integer>(FSeqItems.size()); }
  Integer LineItemsCount() const { return static_cast<Integer>(FLineItems.size()); }

 private:
  struct TWP_CacheItem {
    TWrapParserState State;
    uint64_t Serial;  // insertion order: the smallest is evicted first
  };
  std::vector<std::unique_ptr<TWP_CacheItem>> FCacheItems;  // sorted by offset
  std::deque<std::pair<uint64_t, Integer>> FOrder;          // (serial, offset) in insertion order
  Integer FCacheMaxCount;
  uint64_t FNextSerial = 0;
  std::vector<TWrapParserState> FSeqItems;  // sorted by offset
  Integer FSeqItemsInterval;
  Integer LastSeqOffset = -1073741823;
  std::vector<TWrapParserState> FLineItems;  // sorted by offset
  void DoInvalidate(Integer AOffset);
  // No state at or after this offset is kept (set by Invalidate, lifted by any keeping).
  static constexpr Integer kKeptAnywhere = std::numeric_limits<Integer>::max();
  Integer FKeptNothingFrom = kKeptAnywhere;
};

// ---------------------------------------------------------------------------------------------
// Sequences of copied selections.

// A segment with spaces before and after it (a stream selection starting inside a tab or
// ending past a line's end).
class TSpacedSeq : public TKivCharSeq {
 public:
  TSpacedSeq();
  void Reset(const TKivSegment& ASeg, Integer ASpacesBefore, Integer ASpacesAfter);

 protected:
  void FillBuffer(Integer AStart, Integer AEnd) override;

 private:
  TKivSegment FSeg;
  Integer FSpacesBefore = 0;
  Integer FSpacesAfter = 0;
};

class TScreenCache;

// The text of a block selection between two scroll positions (columns and rows, either order):
// each row's cells between the two columns, tabs expanded to spaces, rows joined by CR LF.
class TSquaredSeq : public TKivSeqFromString {
 public:
  TSquaredSeq(TScreenCache& ACache, TKivPoint AStart, TKivPoint AEnd);
  static TKivString BlockText(TScreenCache& ACache, TKivPoint AStart, TKivPoint AEnd);
};
