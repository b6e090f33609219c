// The screen cache: what a view (or a print task) knows about where each character is shown.
//
// This part holds the configuration and the wrapping engine. Rows never cross physical lines;
// a row ends after its last break point when the next character would not fit the wrap width.
// Every query runs forward from the nearest known row start (a checkpoint or a kept state), so
// the cost of a query is bounded by the checkpoint interval plus one row, never by the position
// in the document.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "KivSedMarkers.h"
#include "KivSedViewParts.h"
#include "internal/CollapsedFolds.h"
#include "internal/HighlightsSparse.h"
#include "internal/MeasureCaches.h"
#include "internal/SelectionMarks.h"
#include "internal/WrapTypes.h"

class TStoredView;
class TStoredViewData;

class TWP_InvisibleOffsetError : public EKivEditViewError {
 public:
  using EKivEditViewError::EKivEditViewError;
};

// TOffsetPoint, the canonical form of a position, is public (KivLayoutTypes.h); TOffsetPointMark,
// one that follows edits, is in internal/SelectionMarks.h.

// One row of the laid-out text.
struct TScrollLineInfo {
  Integer PhysicalLine = 0;
  TKivSegment ContentSegment;
  TKivScreenLineProps VisProps = 0;
};

// One row on screen with its drawing runs and per-offset cells.
struct TScreenLineInfo {
  TScrollLineInfo ScrollInfo;
  bool Dirty = true;
  TWrapParserState StartState;
  Integer StartWordOff = 0;  // start of the word crossing into the row (spell checking)
  Integer EndWordOff = 0;    // end of the word crossing out of it
  Integer XBoundStart = 0;   // first fully visible column after horizontal scrolling
  Integer XBoundCount = 0;   // columns from there to the window's right edge
  std::vector<TChunk> Chunks;
  std::vector<TScreenOffsetItem> Offsets;  // one per offset of the row, plus the end state
  // Of a long row without wrapping only the part around the window is laid out: Chunks and
  // Offsets then start at ItemsStart (HeadCut) and stop before the row's end (TailCut); what lies
  // outside is found by the engine from the states it keeps along the line.
  Integer ItemsStart = 0;  // offset of Offsets[0]
  bool HeadCut = false;
  bool TailCut = false;
  // Column and pixel where Chunks and Offsets begin.
  Integer ItemsX() const { return HeadCut ? Offsets.front().VisX : StartState.X; }
  Integer ItemsXPix() const { return HeadCut ? Offsets.front().PixX : StartState.XPix; }
};

// Which derived data of a screen cache is up to date (a set of bits).
enum TScreenCacheValidItem : uint8_t { csScreen = 1, csCursor = 2, csFolds = 4, csConversionCaches = 8 };
using TScreenCacheValid = uint8_t;
inline constexpr TScreenCacheValid csAll = csScreen | csCursor | csFolds | csConversionCaches;

enum TScrollCorrectFor : uint8_t { scForCursor, scForSelection };
enum TScrollCorrectDir : uint8_t { scForward, scBackward };

class TScreenCache : public TKivScreenLayout {
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
  ~TScreenCache();
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
  // Rows without wrapping longer than AMinChars offsets are laid out only over the window's
  // pixels plus AMarginPixels on each side (-1: the window's width). MaxInt lays out every row in
  // full.
  void SetLongRowLayout(Integer AMinChars, Integer AMarginPixels);
  static constexpr Integer kLongRowChars = 4096;

  TMeasureCaches& Measure() { return FMeasure; }
  TWP_Cache& WPCache() { return FWPCache; }
  TKivEditDocument& Document() const { return FHost->Document(); }
  bool MayGuessTokens() const { return FHost->MayGuessTokens(); }
  // The tokens or folds of the lines from ALine on changed without an edit (a guess replaced):
  // they are laid out again.
  void TokensChangedFrom(Integer ALine) { InvalidateFold(ALine); }

  // ---- highlights ----
  void AddHighlight(Integer AStart, Integer ACount);
  void RemoveHighlight(Integer AStart, Integer ACount);
  void ClearHighlight();
  void SetHighlightAttrs(const TKivEditAttributes& AAttrs, bool AUse);
  const THighlightsSparse& Highlights() const { return FHighlights; }
  const TKivEditAttributes& HighlightAttrs() const { return FHighlightAttrs; }
  bool HighlightUse() const { return FHighlightUse; }

  // ---- folding ----
  // Collapses the parser's fold starting at ALine (with All, the folds nested in it too).
  // Raises EKivEditViewError for a line outside the text, a collapsed line or a line that
  // starts no fold.
  void Fold(Integer ALine, bool All = false);
  // Opens the collapsed fold at ALine (with All, every collapsed fold nested in it too).
  void Unfold(Integer ALine, bool All = false);
  // Collapses the folds inside AOuterFold (-1: the whole text): only the outermost ones with
  // TopOnly, else every level (collapsed folds the parser no longer reports are opened).
  void FoldAllIn(Integer AOuterFold, bool TopOnly, bool ARunUpdate = true);
  // A step of FoldAllIn(-1, TopOnly) from line AFrom, until AStop (told the lines looked at or
  // parsed since it was last asked: every 64 lines, or a batch of parsing) says
  // stop; lays out and returns the line to go on from, or -1 when the text is done.
  Integer FoldAllStep(Integer AFrom, bool TopOnly, const std::function<bool(Integer)>& AStop);
  // Opens the collapsed folds inside AOuterFold (-1: the whole text); with TopOnly only the
  // outermost level.
  void UnfoldAllIn(Integer AOuterFold, bool TopOnly);
  bool IsCollapsedFold(Integer ALine) const { return FFolds.IsCollapsed(ALine); }
  // Records lines AStartLine .. AEndLine as collapsed without asking the parser: one row of
  // line AStartLine ended by the folded-line-end glyph. Raises EKivEditViewError for a bad
  // range or a line that is already collapsed.
  void CollapseLines(Integer AStartLine, Integer AEndLine);
  // Opens one level at AStartLine (nothing when it is not collapsed).
  void ExpandLines(Integer AStartLine);
  // The last line of the collapsed fold starting at ALine, or -1.
  Integer CollapsedEnd(Integer ALine) const { return FFolds.End(ALine); }
  // Every collapsed fold: start line -> end line (hidden ones inside others included).
  std::map<Integer, Integer> CollapsedFolds() const { return FFolds.All(); }
  // Rows are lines and every line is visible: lines are found through the line index.
  bool UseLineShortcut() const { return NoWrap() && FFolds.Count() == 0; }
  // The bookkeeping of the collapsed folds.
  const TCollapsedFolds& Folds() const { return FFolds; }

  // ---- saved view states ----
  TStoredView& StoredView() { return *FStoredView; }

  // ---- edits (before: the old text is still there; after: it changed) ----
  void BeforeInsert(Integer AStart, Integer ACount);
  void AfterInsert(Integer AStart, Integer ACount);
  void BeforeDelete(Integer AStart, Integer ACount);
  void AfterDelete(Integer AStart, Integer ACount);
  // A run of edits nothing looks at before it ends (the view's listener says when): the top
  // line's start is kept between its edits.
  void SetInEditRun(bool AValue) {
    FInEditRun = AValue;
    FRunTopLine = -1;
  }
  // Follows an edit of the run at AStart all at once when that is cheap: no collapsed lines, no
  // highlights, and the edit strictly after the top line's start (the top and its start stay).
  // Its Before and After calls are then not needed; false (nothing done) when they are.
  bool QuickRunEdit(Integer AStart);

  // ---- document attachment ----
  // Creates the cursor and hidden markers in the document, puts cursor and selection at 0 and
  // lays out from scratch; a saved view state of the document is then applied and forgotten
  // (ARestore, when given, is applied instead and stays with the caller).
  void AttachToDocument(TStoredViewData* ARestore = nullptr);
  // Clears the highlights and collapsed lines and lets go of the document's markers. With
  // AStoreDoc the view state of the document is saved first (see TStoredView): never for a
  // document that is being destroyed, which the saved state would outlive.
  void DetachFromDocument(bool AStoreDoc = false);
  // The part of DetachFromDocument after saving: never raises, so a detach always completes.
  void ReleaseDocument() noexcept;
  bool Attached() const { return FSelMarks.Attached(); }
  // The whole text was replaced: highlights go, the layout is redone keeping the top line.
  void DocumentRefresh();

  // ---- derived data ----
  // Brings back what edits, folds and settings made stale: folds, conversion caches and the top
  // line, the screen lines, the cursor. The view runs it when its outermost change bracket
  // closes; every query below runs it first.
  void UpdateLayout();

  // ---- the window ----
  Integer LinesOnScreenScroll();
  Integer OldLinesOnScreenScroll() const { return FOldLinesOnScreen; }
  // The row at the top of the window and the top physical line.
  Integer FirstLineScroll();
  Integer FirstLinePhysical();
  Integer FirstCharOnScreen();
  const TScreenLineInfo& GetScreenLine(Integer ALine);
  Integer GetScreenLineStart(Integer ALine) { return GetScreenLine(ALine).ScrollInfo.ContentSegment.Start; }
  TKivScreenLineProps GetScreenLineProps(Integer ALine) { return GetScreenLine(ALine).ScrollInfo.VisProps; }
  void GetScreenLineXBounds(Integer ALine, Integer& AStart, Integer& ACount);
  // Column of the row's first character and column after its end.
  Integer GetScreenLineFirstX(Integer ALine);
  Integer GetScreenLineLastX(Integer ALine);
  // The screen line whose row holds AOffset; -1 before the first row or at or after the last
  // row's end.
  Integer FindOffsetInVisibleScreen(Integer AOffset);
  bool IsScrollInScreenYBounds(Integer AScrollY);
  bool IsScrollInScreenBounds(const TKivPoint& AScroll);
  bool IsCursorInScreenYBounds() { return IsScrollInScreenYBounds(CursorPos().Y); }
  bool IsCursorInScreenBounds() { return IsScrollInScreenBounds(CursorPos()); }
  // The ordered selection in screen coordinates with Y clamped to the screen; false when there
  // is no selection or it lies wholly above or below the screen.
  bool SelectionToScreen(TKivPoint& AStartScr, TKivPoint& AEndScr);

  // ---- repaint tracking ----
  bool IsScreenLineDirty(Integer ALine);
  void MarkAllScreenLinesDirty();
  // The painter drew the screen: nothing is dirty.
  void ClearDirtyLines();
  // The document's markers changed: rows with marker or fold flags are redrawn.
  void ScreenMarkersChanged();
  // When the window shows fewer than min(5, last row) rows, moves the top up so that the last
  // row ends the window (AFullyVisible: the rows that fit wholly). True when the top moved.
  bool ClampBottom(Integer AFullyVisible);

  // ---- rows and scrolling ----
  // Y clamped to [0, last row]; computed without laying out the text after Y.
  Integer CorrectToLastScroll(Integer AY);
  bool AfterLastScroll(Integer AY) { return CorrectToLastScroll(AY) < AY; }
  // The row count the scroll bar shows: kept across edits that add or remove no line break.
  Integer CalkVisibleCountScrollBar(bool AForceRecalk);
  TKivPoint CorrectCursorSelPos(TKivPoint APoint);
  // Scrolls by AOffset rows (saturating; the end of the text stops it).
  void Scroll(Integer AOffset);
  void SetFirstLineAsScroll(Integer ALine);
  Integer HorizScroll() const { return FHorizScroll; }
  Integer HorizScrollPixels() const { return FHorizScrollPixels; }
  // Columns, >= 0.
  void SetHorizScroll(Integer AColumns);

  // ---- rows, screen lines and physical lines ----
  // Screen line <-> row; with ADoCheck the line must be on screen.
  Integer ScreenToScroll(Integer AScreen, bool ADoCheck);
  Integer ScrollToScreen(Integer AScrollLine, bool ADoCheck);
  TKivPoint ScreenPosToScroll(const TKivPoint& AScreen) {
    return {AScreen.X, ScreenToScroll(AScreen.Y, false)};
  }
  Integer ScreenToPhysical(Integer AScreen);
  // Rows of a visible physical line.
  Integer ScreenCount(Integer ALine);
  TScrollLineInfo GetScrollLineInfo(Integer ALine);
  // Without wrapping the line's end with 0 cells; with wrapping the row's last character with
  // its width - 1 cells (the line end when the row holds it).
  TOffsetPoint GetScrollLineOffLast(Integer ALine);
  Integer GetScrollLineVisWidth(Integer ALine);
  // The first and last visible positions of a physical line (the collapsed row's end for a
  // collapsed line).
  void GetPhysLineVisibleBounds(Integer ALine, TOffsetPoint& AFirst, TOffsetPoint& ALast);
  // The first column of the character under the column, and max(column, its end).
  void GetScrollCharScrollBounds(const TKivPoint& AScroll, Integer& ALeft, Integer& ARight);
  // Column from the line start with tabs expanded (no wrapping, no folds).
  Integer CalkPointVisWidth(Integer AOffset);
  Integer CalkPointVisWidth(const TOffsetPoint& AOffPt);

  // ---- pixels ----
  // Left pixel (after horizontal scrolling) and width of the cell at a scroll position.
  void ScrollPosToScreenPix(const TKivPoint& AScroll, Integer& AStart, Integer& ACount);
  // The same for a screen position; false when it lies outside the screen (with AScreenOnly
  // nothing is computed then).
  bool ScreenPosToScreenPix(const TKivPoint& AScreen, Integer& AStart, Integer& ACount, bool AScreenOnly);
  // Leading and trailing pixel of a cell through the shaped runs of its row; false when the
  // leading pixel lies outside the text area.
  bool ScreenPosToScreenPixNew(const TKivPoint& AScreen, Integer& ALeading, Integer& ATrailing);
  // The column under a pixel of the text area (horizontal scrolling added).
  Integer ScreenPixToScrollPos(Integer APixW, Integer AScrollLine);
  Integer ScreenPixToScreenPos(Integer APixW, Integer AScreenLine);
  // The same through the shaped runs; ATrailing tells that the pixel is in the cell's later half.
  Integer ScreenPixToScreenPosNew(Integer APixW, Integer AScreenLine, bool& ATrailing);
  // ATrailing when the remainder is at least half a column.
  Integer PixelsToScrollXFixedNew(Integer AXPix, bool& ATrailing) const;

  // ---- visibility ----
  bool IsOffsetVisible(Integer AOffset);
  bool IsLineStartVisible(Integer ALine);
  // Expands the collapsed lines that hide AOffset.
  void EnsureOffsetIsVisible(Integer AOffset);
  Integer GetNearestValidOffset(Integer AOffset);
  // An offset inside a line separator becomes its line's start with 0 cells.
  TOffsetPoint CorrectOffsetToLine(const TOffsetPoint& APoint);
  // The next line shown after ALine (behind its collapsed fold); with ADoCheck ALine must be a
  // line of the text.
  Integer GetNextVisibleLine(Integer ALine, bool ADoCheck = false);
  // The visible line before ALine; with ADoCheck ALine must be a line or the line count.
  Integer GetPrevVisibleLine(Integer ALine, bool ADoCheck = false);

  // ---- cursor and selection ----
  // The points after the layout pass (collapsed lines may have moved them).
  TOffsetPoint CursorOffset() {
    UpdateLayout();
    return FSelMarks.Cursor();
  }
  TOffsetPoint SelStartOffset() {
    UpdateLayout();
    return FSelMarks.SelStart();
  }
  TOffsetPoint SelEndOffset() {
    UpdateLayout();
    return FSelMarks.SelEnd();
  }
  TKivPoint CursorPos();
  TKivPoint SelStart();
  TKivPoint SelEnd();
  bool SelBlockMode() const { return FSelMarks.Block(); }
  // The cursor and selection points as they are (no layout pass).
  const TSelectionMarks& SelectionMarks() const { return FSelMarks; }
  bool SelAvail() { return SelStartOffset() != SelEndOffset(); }
  // The selection ends ordered by row, then column.
  void SelectionN(TKivPoint& AStart, TKivPoint& AEnd);
  void SetCursorOffset(const TOffsetPoint& AOffPt, TScrollCorrectDir ACorrectDir = scBackward,
                       bool ABlock = false);
  void SetCursorPos(const TKivPoint& APoint, TScrollCorrectDir ACorrectDir = scBackward, bool ABlock = false);
  void SetSelection(const TOffsetPoint& AStart, const TOffsetPoint& AEnd, bool ABlock = false);
  void SetSelection(const TKivPoint& AStart, const TKivPoint& AEnd, bool ABlock = false);
  // Moves a point to a position the layout can show, as the cursor or a selection end.
  TOffsetPoint CorrectScrollPoint(TOffsetPoint APoint, TScrollCorrectFor AWhatFor,
                                  TScrollCorrectDir ADirection, bool ACorrectAfterWrapFwd, bool ABlock);
  TKivPoint CorrectScrollPoint(const TKivPoint& APoint, TScrollCorrectFor AWhatFor,
                               TScrollCorrectDir ADirection, bool ABlock);

  // ---- status ----
  void ResetStatusChanges();
  TKivViewStatusChanges StatusChanges();

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
  // Lays out the row that starts at AStart (a row-start state) with output into AInfo; ANext
  // receives the next row's start.
  void BuildLineChunks(const TWrapParserState& AStart, TScreenLineInfo& AInfo,
                       TWrapParserState* ANext = nullptr);
  // The row that starts at AStart without its drawing runs.
  TScrollLineInfo RowInfo(const TWrapParserState& AStart, TWrapParserState* ANext = nullptr);

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
  // Notes the edit's first line and the lines count; false when the edit starts at or below the
  // top line's start (its line then was not looked up).
  bool NoteEditStart(Integer AStart);
  void ValidateFolds() { FFolds.Validate(); }
  // Records a collapsed fold AStart..AEnd (AStart < AEnd, AStart not collapsed); a top line
  // inside it moves to AStart.
  void RecordFold(Integer AStart, Integer AEnd);
  void RemoveFold(Integer AStart, bool All) { FFolds.Remove(AStart, All); }
  // The layout from line ALine on is stale (a fold there changed).
  void InvalidateFold(Integer ALine);
  void ClearFolds() { FFolds.Clear(); }
  // The parser's end of the fold at ALine, or -1 when ALine starts no fold that can collapse.
  Integer ParserFoldEnd(Integer ALine);
  // ParserFoldEnd for a walk in steps: a far end is parsed towards in batches between which
  // AStop may end the step; then AStopped is set and the line waits for the next step.
  Integer ParserFoldEndInSteps(Integer ALine, const std::function<bool(Integer)>& AStop, bool& AStopped);
  void CheckFoldLine(Integer ALine, Integer AMax) const;
  void CheckNotCollapsed(Integer ALine) const;
  [[noreturn]] static void ThrowNotFoldStart(Integer ALine);
  // The line a fold-all or unfold-all inside AOuterFold (-1: the text) scans up to, excluded.
  Integer FoldScanEnd(Integer AOuterFold);
  // Collapses the folds from line AFrom to AScanEnd (excluded); AStop as for FoldAllStep.
  Integer FoldLinesIn(Integer AFrom, Integer AScanEnd, bool TopOnly, const std::function<bool(Integer)>& AStop);
  const std::vector<std::pair<Integer, Integer>>& ShownFolds() const { return FFolds.Shown(); }
  void RestoreStoredView(TStoredViewData& AData);
  friend class TStoredViewData;
  // A reset that also puts the cursor at the start and drops the collapsed lines.
  void ResetLayoutFull();
  void Invalidate(TScreenCacheValid AFlags) {
    FValidState &= TScreenCacheValid(~AFlags);
    if (AFlags & csConversionCaches) FScreenRowsReusable = false;
  }
  void EnsureValid(TScreenCacheValid AFlags) {
    if ((FValidState & AFlags) != AFlags) UpdateLayout();
  }
  void UpdateTopLine();
  void BuildScreen(std::vector<TScreenLineInfo>& ALines);
  void RebuildScreen();
  void FillLineMarks(TScreenLineInfo& AInfo);
  void FillWordBounds(TScreenLineInfo& AInfo);
  void FillXBounds(TScreenLineInfo& AInfo);
  // The column under pixel APix (no horizontal scroll) of a built row; ACellLeft receives the
  // left pixel of its cell.
  Integer RowColumnAtPixel(const TScreenLineInfo& AInfo, Integer APix, Integer* ACellLeft);
  // Widths of the tail and head glyphs of a tab in a style.
  void TabGlyphWidths(TKivFontStyles AFs, Integer& ATail, Integer& AHead);
  void CheckScreenLine(Integer ALine);
  void RecorrectCursor();
  TOffsetPoint MakeVisiblePoint(TOffsetPoint APoint);
  void MarkScrollRangeDirty(Integer AFromY, Integer AToY);
  void SetTop(Integer APhysLine, Integer ASkew);
  // The row state after the last line when ALine is past the end.
  TWrapParserState RowStart(Integer AScrollLine) { return WP_GetStateByXY(0, AScrollLine, false); }
  // A row that must exist: "Bad scroll line index" otherwise.
  void CheckScrollLine(Integer ALine, bool AAllowAfterLast);
  // One character's cells on its row, as a state or an offset item gives them.
  struct TCell {
    Integer X, XPix, VisW, PixW;
    bool IsTab, IsTail;
    TKivFontStyles Style;
  };
  static TCell CellOf(const TWrapParserState& AState) {
    return {AState.X,     AState.XPix,   AState.VisWidth,       AState.PixWidth,
            AState.IsTab, AState.IsTail, AState.Attrs.FontStyle};
  }
  TCell RowItemCell(const TScreenLineInfo& AInfo, size_t AIdx);
  // ARow when its laid-out part holds the column (or pixel), else APart filled with the part of
  // the row around it.
  const TScreenLineInfo& RowHolding(const TScreenLineInfo& ARow, Integer AValue, bool AByPixels,
                                    TScreenLineInfo& APart);
  // BuildLineChunks; with AAroundPix >= 0 only the part of the row around that pixel.
  void BuildRowChunks(const TWrapParserState& AStart, TScreenLineInfo& AInfo, TWrapParserState* ANext,
                      Integer AAroundPix);
  // The cell of a built row holding a column (or a pixel); the engine answers when the row is
  // laid out in part and the value lies outside that part.
  TCell RowCellAt(const TScreenLineInfo& AInfo, Integer AValue, bool AByPixels);
  // The offset item of a built row holding a column (or a pixel).
  size_t RowItemAt(const TScreenLineInfo& AInfo, Integer AValue, bool AByPixels);
  // The pixels of column AX in or after the cell (no horizontal scroll).
  void CellPixels(const TCell& ACell, Integer AX, Integer& AStart, Integer& ACount);
  // The column under pixel APix in or after the cell (no horizontal scroll); ACellLeft receives
  // the left pixel of that column.
  Integer CellColumn(const TCell& ACell, Integer APix, Integer* ACellLeft);
  Integer CollapsedStartHiding(Integer ALine) const { return FFolds.StartHiding(ALine); }

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
  Integer FLongRowChars = kLongRowChars;
  Integer FLongRowMargin = -1;
  Integer FFirstInvalidOffset = -1;
  Integer FVisibleCountScroll = -1;  // rows; -1 = not known
  TKivString FSpecialCharsSeq;
  Integer FSpecialCharsMap[kivSpecialCharKindCount + 1] = {};  // segment starts in FSpecialCharsSeq
  TKivFontCharset FSpecialCharsCharSetMap[kivSpecialCharKindCount] = {};
  TKivString FSeparators;  // the document's word separators that end rows
  uint64_t FAsciiSeparators[2] = {0, 0};
  TCollapsedFolds FFolds;
  Integer FEditLinesCount = 0;  // line count before the edit in progress
  Integer FEditLine = -1;       // its first line
  bool FInEditRun = false;
  Integer FRunTopLine = -1;  // in a run: the top line whose start FRunTopStart holds, or -1
  Integer FRunTopStart = 0;
  std::unique_ptr<TStoredView> FStoredView;

  TScreenCacheValid FValidState = 0;
  bool FScreenIsBuilding = false;
  bool FAllDirty = false;  // the next screen rebuild marks every line dirty
  bool FUpdating = false;  // inside UpdateLayout
  // The rows of FScreenLines are still laid out right (only the window moved): a rebuild may
  // take them over.
  bool FScreenRowsReusable = false;
  Integer FScreenFirstRow = 0;  // the row of FScreenLines[0]
  std::vector<TScreenLineInfo> FScreenLines;
  Integer FVisibleCountScrollBar = -1;
  Integer FFirstLineScroll = -1;  // first row of the top physical line
  Integer FFirstLineSkew = 0;     // rows of the top physical line above the window
  Integer FFirstLinePhysical = 0;
  Integer FHorizScroll = 0;
  Integer FHorizScrollPixels = 0;
  TSelectionMarks FSelMarks;  // cursor and selection
  // Snapshot for StatusChanges.
  Integer FOldScreenHeightLines = 0, FOldScreenWidthPixels = 0, FOldLinesOnScreen = 0;
  Integer FOldHorizScrollPixels = 0, FOldFirstLineScroll = 0;
  TOffsetPoint FOldCursor, FOldSelStart, FOldSelEnd;
  bool FOldSelBlock = false;
};
