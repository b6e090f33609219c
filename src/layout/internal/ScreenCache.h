// The screen cache: what a view (or a print task) knows about where each character is shown.
//
// This part holds the configuration and the wrapping engine. Rows never cross physical lines;
// a row ends after its last break point when the next character would not fit the wrap width.
// Every query runs forward from the nearest known row start (a checkpoint or a kept state), so
// the cost of a query is bounded by the checkpoint interval plus one row, never by the position
// in the document.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "KivSedViewParts.h"
#include "internal/HighlightsSparse.h"
#include "internal/MeasureCaches.h"
#include "internal/WrapTypes.h"

class TWP_InvisibleOffsetError : public EKivEditViewError {
 public:
  using EKivEditViewError::EKivEditViewError;
};

// The canonical form of a position: a character and the cells to the right of its first cell
// (inside a tab, or past the end of a row).
struct TOffsetPoint {
  Integer Offset = 0;
  Integer InCharOffset = 0;
  friend auto operator<=>(const TOffsetPoint&, const TOffsetPoint&) = default;
};

// One row of the laid-out text.
struct TScrollLineInfo {
  Integer PhysicalLine = 0;
  TKivSegment ContentSegment;
  uint16_t VisProps = 0;
};

// One row on screen with its drawing runs and per-offset cells.
struct TScreenLineInfo {
  TScrollLineInfo ScrollInfo;
  bool Dirty = true;
  TWrapParserState StartState;
  std::vector<TChunk> Chunks;
  std::vector<TScreenOffsetItem> Offsets;  // one per offset of the row, plus the end state
};

class TScreenCache {
 public:
  static constexpr Integer kTokenBatch = 512;
  static constexpr Integer kWPCacheCount = 4000;
  static constexpr Integer kWPSeqInterval = 250;
  static constexpr Integer kMaxWrapRulerWidth = 100000;

  // AHost gives the document at every call; ASpecChars (owned by the host side) may be none
  // (nothing shown); ACanvas may be none (every character measures as one space).
  TScreenCache(IKivScreenCacheHost* AHost, TKivViewWrapMode AWrapMode, Integer ATabWidth,
               Integer AScreenWidthPixels, Integer AScreenHeightLines, Integer AWrapWidth,
               IKivMeasureSurface* ACanvas, const TKivSpecialChars* ASpecChars);
  TScreenCache(const TScreenCache&) = delete;
  TScreenCache& operator=(const TScreenCache&) = delete;

  // ---- configuration ----
  TKivViewWrapMode WrapMode() const { return FWrapMode; }
  void SetWrapMode(TKivViewWrapMode AMode);
  Integer WrapWidth() const { return FFixedWrapWidth; }
  // Ruler columns, clamped to [1, 100000].
  void SetWrapWidth(Integer AWidth);
  Integer WrapWidthPixels() const { return KivSatMul(FFixedWrapWidth, FSpaceCharW); }
  Integer TabWidth() const { return FTabWidth; }
  // Raises EKivEditViewError for a width below 1.
  void SetTabWidth(Integer AWidth);
  bool NoWrap() const { return FWrapMode == wmNoWrap; }
  Integer ScreenWidthPixels() const { return FScreenWidthPixels; }
  Integer ScreenHeightLines() const { return FScreenHeightLines; }
  // Both > 0, else EKivEditViewError.
  void SetScreenSize(Integer APixWidth, Integer ALinesHeight);
  void SetCanvas(IKivMeasureSurface* ACanvas);
  IKivMeasureSurface* Canvas() const { return FMeasure.Canvas(); }
  Integer SpaceCharW() const { return FSpaceCharW; }
  // The special characters changed (glyphs, kinds or charsets): lay out again.
  void SpecialCharsChanged() { ResetPreserve(); }
  // The pixel width rows end before: MaxInt without wrapping.
  Integer EffectiveWrapWidth() const;
  // Forgets every laid-out position (measurements too).
  void ResetPreserve();

  TMeasureCaches& Measure() { return FMeasure; }
  TWP_Cache& WPCache() { return FWPCache; }
  TKivEditDocument& Document() const { return FHost->Document(); }
  Integer FirstInvalidOffset() const { return FFirstInvalidOffset; }
  void ClearFirstInvalidOffset() { FFirstInvalidOffset = -1; }

  // ---- highlights ----
  void AddHighlight(Integer AStart, Integer ACount);
  void RemoveHighlight(Integer AStart, Integer ACount);
  void ClearHighlight();
  void SetHighlightAttrs(const TKivEditAttributes& AAttrs, bool AUse);
  const THighlightsSparse& Highlights() const { return FHighlights; }
  const TKivEditAttributes& HighlightAttrs() const { return FHighlightAttrs; }
  bool HighlightUse() const { return FHighlightUse; }

  // ---- collapsed lines ----
  // Shows lines AStartLine .. AEndLine as one row of line AStartLine ended by the folded-line-end
  // glyph; the offsets behind that row are invisible. Raises EKivEditViewError for a bad range.
  void CollapseLines(Integer AStartLine, Integer AEndLine);
  void ExpandLines(Integer AStartLine);
  // The last line of the collapsed fold starting at ALine, or -1.
  Integer CollapsedEnd(Integer ALine) const {
    const auto it = FHiddenStarts.find(ALine);
    return it == FHiddenStarts.end() ? -1 : it->second;
  }
  const std::map<Integer, Integer>& CollapsedFolds() const { return FHiddenStarts; }
  // Rows are lines and every line is visible: lines are found through the line index.
  bool UseLineShortcut() const { return NoWrap() && FHiddenStarts.empty(); }

  // ---- edits (before: the old text is still there; after: it changed) ----
  void BeforeInsert(Integer AStart, Integer ACount);
  void AfterInsert(Integer AStart, Integer ACount);
  void BeforeDelete(Integer AStart, Integer ACount);
  void AfterDelete(Integer AStart, Integer ACount);

  // ---- the wrapping engine ----
  static TWrapParserState WP_InitialState();
  // The state of offset AOffset in [0, CharsCount]; raises TWP_InvisibleOffsetError
  // "Invisible offset given to WP_GetState: %d" for a hidden offset, EKivEditViewError outside.
  TWrapParserState WP_GetState(Integer AOffset);
  // The same; for a hidden offset the first visible state after it.
  TWrapParserState WP_GetStateOverFolds(Integer AOffset);
  // The state of the character covering column (or pixel) AX on row AY; past a row's end its last
  // state. With ACheckRow a row past the last raises "Bad scroll line index: %d. Valid index:
  // [%d, %d]"; without, it gives the state after the last line.
  TWrapParserState WP_GetStateByXY(Integer AX, Integer AY, bool ACheckRow, bool AByPixels = false);
  // Number of rows.
  Integer CalkVisibleCountScroll();
  // Lays out the row that starts at AStart (a row-start state) with output into AInfo.
  void BuildLineChunks(const TWrapParserState& AStart, TScreenLineInfo& AInfo);

  // ---- conversions ----
  // Column and row of the first cell of a visible offset; a hidden one raises "This operation
  // requires given offset to be visible. Offset: %d".
  TKivPoint OffsetToScroll(Integer AOffset);
  TKivPoint OffsetPtToScroll(const TOffsetPoint& APoint);
  // The character whose cells hold the column (the row's last position past its end).
  TOffsetPoint ScrollPtToOffsetPt(const TKivPoint& AScrollPoint);
  Integer ScrollToNearestOffset(const TKivPoint& AScroll) { return ScrollPtToOffsetPt(AScroll).Offset; }
  // Row of a visible line's first row; the line count gives the row count.
  Integer PhysicalToScroll(Integer APhys);
  Integer ScrollToPhysical(Integer AScroll);
  Integer ScrollXToPixelsFixed(Integer ACol) const { return KivSatMul(ACol, FSpaceCharW); }
  // Rounding to bigger adds one, with the sign of the quotient, when there is a remainder.
  Integer PixelsToScrollXFixed(Integer AXPix, bool ARoundToBigger) const;

  // Glyphs of a special-character kind (the tab segment for skTabTail) and their charset.
  TKivStringView SpecialCharsSeg(TKivSpecialCharKind AKind) const;
  TKivFontCharset SpecialCharsCharset(TKivSpecialCharKind AKind) const {
    return FSpecialCharsCharSetMap[AKind];
  }
  bool IsShown(TKivSpecialCharKind AKind) const;
  // A word separator of the document other than an opening bracket: rows break after it.
  bool IsRowSeparator(Char AChar) const {
    if (AChar < 128) return (FAsciiSeparators[AChar >> 6] >> (AChar & 63)) & 1;
    return FSeparators.find(AChar) != TKivString::npos;
  }

 private:
  friend class TWrapRun;
  void ResetLayout();
  void BuildSpecialChars();
  // Lowers the first invalid offset for a change at AStart, from the layout before the change.
  void InvalidateFrom(Integer AStart);
  TWrapParserState GetState(Integer AOffset, bool AOverFolds);
  // Collapsed folds follow the lines an edit adds or removes.
  void NoteEditStart(Integer AStart);
  void ShiftFolds();

  IKivScreenCacheHost* FHost;
  const TKivSpecialChars* FSpecChars;
  TMeasureCaches FMeasure;
  TWP_Cache FWPCache;
  THighlightsSparse FHighlights;
  TKivEditAttributes FHighlightAttrs;
  bool FHighlightUse = true;
  TKivEditAttributes FDefaultAttrs;
  TKivFontCharset FFontCharset = kivDefaultCharset;
  TKivViewWrapMode FWrapMode;
  Integer FTabWidth;
  Integer FFixedWrapWidth;
  Integer FScreenHeightLines;
  Integer FScreenWidthPixels;
  Integer FSpaceCharW = 1;
  Integer FFirstInvalidOffset = -1;
  Integer FVisibleCountScroll = -1;  // rows; -1 = not known
  TKivString FSpecialCharsSeq;
  Integer FSpecialCharsMap[kivSpecialCharKindCount + 1] = {};  // segment starts in FSpecialCharsSeq
  TKivFontCharset FSpecialCharsCharSetMap[kivSpecialCharKindCount] = {};
  TKivString FSeparators;  // the document's word separators that end rows
  uint64_t FAsciiSeparators[2] = {0, 0};
  std::map<Integer, Integer> FHiddenStarts;  // collapsed folds: start line -> end line
  Integer FEditLine = -1;                    // line of the edit in progress
  Integer FEditLinesCount = 0;               // line count before it
  bool FEditAtLineStart = false;             // it starts at its line's first offset
};
