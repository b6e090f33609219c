// The window onto the laid-out text: the top line, the rows on screen with their flags, what
// must be repainted, and scrolling.
//
// The top of the window is the triple (top physical line, its first row, rows of it scrolled
// above the window). Edits move the physical line with the text; the rows are found again
// lazily, so an edit below the top never moves what the window shows.
#include <limits>

#include "KivUnicode.h"
#include "internal/ScreenCache.h"
#include "internal/StoredView.h"

namespace {

constexpr const char* kModule = "KivSedView";
constexpr Integer kWordLookAround = 100;

// Letters, marks and digits make words for spell checking; everything else separates them.
bool IsSpellSeparator(Char AChar) {
  const auto c = KivCharCategory(AChar);
  return c < TKivCharCategory::Lu || c > TKivCharCategory::No;
}

bool SameChunks(const std::vector<TChunk>& A, const std::vector<TChunk>& B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    const TChunk &a = A[i], &b = B[i];
    if (a.Chars != b.Chars || a.CharSet != b.CharSet || a.AttrsWeight != b.AttrsWeight ||
        a.Attrs.BackgroundColor != b.Attrs.BackgroundColor || a.Attrs.TextColor != b.Attrs.TextColor ||
        a.Attrs.FontStyle != b.Attrs.FontStyle || a.Attrs.AttributesSet != b.Attrs.AttributesSet)
      return false;
  }
  return true;
}

}  // namespace

// ---- attachment ----

void TScreenCache::AttachToDocument(TStoredViewData* ARestore) {
  TKivEditDocument& doc = Document();
  FSelMarks.CreateMarkers(doc);
  FFolds.CreateMarkers(doc);
  ResetLayoutFull();
  if (ARestore) {
    RestoreStoredView(*ARestore);
  } else if (TStoredViewData* saved = FStoredView->GetDataByDoc(&doc)) {
    RestoreStoredView(*saved);
    FStoredView->RemoveData(saved);
  }
}

void TScreenCache::DetachFromDocument(bool AStoreDoc) {
  if (AStoreDoc && Attached()) FStoredView->AttachCurrentDoc();
  ReleaseDocument();
}

void TScreenCache::ReleaseDocument() noexcept {
  FHighlights.Clear();
  ClearFolds();
  // As they are (no layout pass over a document that may be going away).
  FSelMarks.Unmark();
  for (IKivMarkersRef* markers : {&FSelMarks.Markers(), &FFolds.Markers()}) {
    if (!*markers) continue;
    IKivMarkersRef detached = std::move(*markers);
    *markers = nullptr;
    try {
      Document().DetachCustomMarkers(detached);
    } catch (...) {  // a collection its document let go of already
    }
  }
  Invalidate(csAll);
  FFirstInvalidOffset = 0;
}

void TScreenCache::DocumentRefresh() {
  FHighlights.Clear();
  ValidateFolds();
  ResetPreserve();
}

// ---- derived data ----

void TScreenCache::UpdateLayout() {
  if (FUpdating) return;
  FUpdating = true;
  try {
    if (!(FValidState & csFolds)) {
      ValidateFolds();
      FValidState |= csFolds;
    }
    if (!(FValidState & csConversionCaches)) UpdateTopLine();
    if (!(FValidState & csScreen)) RebuildScreen();
    if (!(FValidState & csCursor)) {
      RecorrectCursor();
      FValidState |= csCursor;
    }
  } catch (...) {
    FUpdating = false;
    throw;
  }
  FUpdating = false;
}

void TScreenCache::UpdateTopLine() {
  FValidState |= csFolds | csConversionCaches;
  TKivEditDocument& doc = Document();
  Integer top = std::clamp<Integer>(FFirstLinePhysical, 0, doc.LinesCount() - 1);
  const Integer hiding = CollapsedStartHiding(top);
  if (hiding >= 0 && hiding != top) {
    top = hiding;
    FFirstLineSkew = 0;
  }
  FFirstLinePhysical = top;
  FFirstLineScroll = PhysicalToScroll(top);
  const Integer y = CorrectToLastScroll(KivSatAdd(FFirstLineScroll, std::max<Integer>(FFirstLineSkew, 0)));
  // A top line with fewer rows than the skew keeps its last row at the top.
  const Integer lastOfTop = FFirstLineScroll + ScreenCount(top) - 1;
  FFirstLineSkew = std::max<Integer>(std::min(y, lastOfTop) - FFirstLineScroll, 0);
  FFirstInvalidOffset = -1;
}

void TScreenCache::BuildScreen(std::vector<TScreenLineInfo>& ALines) {
  KIV_ASSERT(!FScreenIsBuilding, kModule);
  FScreenIsBuilding = true;
  ALines.clear();
  ALines.reserve(static_cast<size_t>(std::min<Integer>(FScreenHeightLines, 4096)));
  const Integer first = FFirstLineScroll + FFirstLineSkew;
  const Integer lines = Document().LinesCount();
  // Rows of the old screen that the new one shows again are taken over as they are.
  const bool reuse = FScreenRowsReusable && !FScreenLines.empty();
  const Integer oldFirst = FScreenFirstRow, oldCount = static_cast<Integer>(FScreenLines.size());
  FMeasure.TextDataCache().BeginScreen();
  try {
    TWrapParserState state;
    bool haveState = false;
    for (Integer i = 0; i < FScreenHeightLines; ++i) {
      const Integer y = first + i;
      if (reuse && y >= oldFirst && y < oldFirst + oldCount) {
        ALines.push_back(FScreenLines[static_cast<size_t>(y - oldFirst)]);
        haveState = false;
        continue;
      }
      if (!haveState) state = RowStart(y);
      if (state.PhysLine >= lines) break;
      TScreenLineInfo& info = ALines.emplace_back();
      TWrapParserState next;
      BuildLineChunks(state, info, &next);
      info.Dirty = false;
      FillLineMarks(info);
      FillXBounds(info);
      FillWordBounds(info);
      state = next;
      haveState = true;
    }
  } catch (...) {
    FMeasure.TextDataCache().EndScreen();
    FScreenIsBuilding = false;
    throw;
  }
  FMeasure.TextDataCache().EndScreen();
  FScreenIsBuilding = false;
}

void TScreenCache::FillLineMarks(TScreenLineInfo& AInfo) {
  TKivEditDocument& doc = Document();
  const Integer line = AInfo.ScrollInfo.PhysicalLine;
  TKivScreenLineProps& props = AInfo.ScrollInfo.VisProps;
  if (doc.Bookmarks()->GetLastLineMark(line)) props |= KivLineProp(lpBookmark);
  // Flags by breakpoint kind (active, disabled, inactive) and by frame kind (frame, top, active).
  static constexpr TKivScreenLineProp kBreakFlags[] = {lpBreakpointActive, lpBreakpointDisabled,
                                                      lpBreakpointInactive};
  static constexpr TKivScreenLineProp kFrameFlags[] = {lpFrame, lpFrameTop, lpFrameActive};
  const auto flag = [](const TKivScreenLineProp(&AFlags)[3], Integer AKind) {
    return KivLineProp(AFlags[std::clamp<Integer>(AKind, 0, 2)]);
  };
  if (const IKivMarkRef brk = doc.Breakpoints()->GetLastLineMark(line))
    props |= flag(kBreakFlags, doc.GetBreakpointKind(brk));
  if (doc.DebugFrameLines()->GetMarksCountByLines(line, 1) > 0)
    doc.DebugFrameLines()->EnumMarkersByLines(
        line, 1,
        [&](const IKivMarkRef& AMark, void*, bool&) {
          props |= flag(kFrameFlags, doc.GetDebugFrameKind(AMark));
        },
        nullptr);
}

void TScreenCache::FillXBounds(TScreenLineInfo& AInfo) {
  const Integer left = FHorizScrollPixels;
  Integer cellLeft = 0;
  Integer start = RowColumnAtPixel(AInfo, left, &cellLeft);
  if (cellLeft < left) ++start;  // cut by the horizontal scroll
  const Integer right = RowColumnAtPixel(AInfo, KivSatAdd(left, FScreenWidthPixels - 1), nullptr);
  AInfo.XBoundStart = start;
  AInfo.XBoundCount = std::max<Integer>(right - start + 1, 0);
}

void TScreenCache::FillWordBounds(TScreenLineInfo& AInfo) {
  TKivCharSeq& chars = Document().Chars();
  const TKivSegment& seg = AInfo.ScrollInfo.ContentSegment;
  const Integer lineStart = Document().GetLineStart(AInfo.ScrollInfo.PhysicalLine);
  const Integer lineEnd = Document().GetLineEnd(AInfo.ScrollInfo.PhysicalLine);
  Integer o = seg.Start;
  const Integer lo = std::max(lineStart, seg.Start - kWordLookAround);
  while (o > lo && !IsSpellSeparator(chars.GetChar(o - 1))) --o;
  AInfo.StartWordOff = o;
  Integer e = seg.Start + seg.Count;
  const Integer hi = std::min(lineEnd, KivSatAdd(e, kWordLookAround));
  while (e < hi && !IsSpellSeparator(chars.GetChar(e))) ++e;
  AInfo.EndWordOff = e;
}

void TScreenCache::RebuildScreen() {
  std::vector<TScreenLineInfo> fresh;
  BuildScreen(fresh);
  const size_t oldCount = FScreenLines.size();
  for (size_t i = 0; i < fresh.size(); ++i) {
    TScreenLineInfo& n = fresh[i];
    if (FAllDirty || i >= oldCount) {
      n.Dirty = true;
      continue;
    }
    const TScreenLineInfo& o = FScreenLines[i];
    // A row that shows another line is redrawn also when it looks the same: its gutter differs.
    n.Dirty = n.Dirty || o.Dirty || o.ScrollInfo.VisProps != n.ScrollInfo.VisProps ||
              o.ScrollInfo.PhysicalLine != n.ScrollInfo.PhysicalLine || !SameChunks(o.Chunks, n.Chunks);
  }
  FScreenLines = std::move(fresh);
  FScreenFirstRow = FFirstLineScroll + FFirstLineSkew;
  FScreenRowsReusable = true;
  FAllDirty = false;
  FValidState |= csScreen;
}

// ---- the window ----

Integer TScreenCache::LinesOnScreenScroll() {
  UpdateLayout();
  return static_cast<Integer>(FScreenLines.size());
}

Integer TScreenCache::FirstLineScroll() {
  EnsureValid(csConversionCaches);
  return FFirstLineScroll + FFirstLineSkew;
}

Integer TScreenCache::FirstLinePhysical() {
  EnsureValid(csConversionCaches);
  return FFirstLinePhysical;
}

Integer TScreenCache::FirstCharOnScreen() {
  UpdateLayout();
  return FScreenLines.empty() ? Document().CharsCount() : FScreenLines[0].ScrollInfo.ContentSegment.Start;
}

void TScreenCache::CheckScreenLine(Integer ALine) {
  UpdateLayout();
  const Integer count = static_cast<Integer>(FScreenLines.size());
  if (ALine < 0 || ALine >= count)
    throw EKivEditViewError(u"Bad screen line index: %d. Valid index: [%d, %d]", {ALine, 0, count - 1});
}

const TScreenLineInfo& TScreenCache::GetScreenLine(Integer ALine) {
  CheckScreenLine(ALine);
  return FScreenLines[static_cast<size_t>(ALine)];
}

void TScreenCache::GetScreenLineXBounds(Integer ALine, Integer& AStart, Integer& ACount) {
  const TScreenLineInfo& info = GetScreenLine(ALine);
  AStart = info.XBoundStart;
  ACount = info.XBoundCount;
}

Integer TScreenCache::GetScreenLineFirstX(Integer ALine) {
  return GetScreenLine(ALine).StartState.X;
}

Integer TScreenCache::GetScreenLineLastX(Integer ALine) {
  const TScreenLineInfo& info = GetScreenLine(ALine);
  if (info.TailCut) return WP_GetStateByXY(std::numeric_limits<Integer>::max(), info.StartState.Y, true).X;
  const TScreenOffsetItem& last = info.Offsets.back();
  return (last.Flags & soTail) ? last.VisX : last.VisX + last.VisW;
}

Integer TScreenCache::FindOffsetInVisibleScreen(Integer AOffset) {
  UpdateLayout();
  if (FScreenLines.empty() || AOffset < FScreenLines.front().ScrollInfo.ContentSegment.Start) return -1;
  const TScreenLineInfo& last = FScreenLines.back();
  const TKivSegment& seg = last.ScrollInfo.ContentSegment;
  const bool lastHoldsEnd = (last.ScrollInfo.VisProps & KivLineProp(lpLastWrap)) != 0;
  if (AOffset > seg.Start + seg.Count || (AOffset == seg.Start + seg.Count && !lastHoldsEnd)) return -1;
  const auto it = std::partition_point(FScreenLines.begin(), FScreenLines.end(), [AOffset](const auto& L) {
    return L.ScrollInfo.ContentSegment.Start <= AOffset;
  });
  return static_cast<Integer>(it - FScreenLines.begin()) - 1;
}

bool TScreenCache::IsScrollInScreenYBounds(Integer AScrollY) {
  const Integer first = FirstLineScroll();
  return AScrollY >= first && AScrollY < first + LinesOnScreenScroll();
}

bool TScreenCache::IsScrollInScreenBounds(const TKivPoint& AScroll) {
  if (!IsScrollInScreenYBounds(AScroll.Y)) return false;
  Integer start, count;
  ScrollPosToScreenPix(AScroll, start, count);
  return start >= 0 && start < FScreenWidthPixels;
}

bool TScreenCache::SelectionToScreen(TKivPoint& AStartScr, TKivPoint& AEndScr) {
  if (!SelAvail()) return false;
  TKivPoint s, e;
  SelectionN(s, e);
  const Integer first = FirstLineScroll(), count = LinesOnScreenScroll();
  if (e.Y < first || s.Y >= first + count) return false;
  AStartScr = {s.X, std::clamp(s.Y - first, 0, count - 1)};
  AEndScr = {e.X, std::clamp(e.Y - first, 0, count - 1)};
  return true;
}

// ---- repaint tracking ----

bool TScreenCache::IsScreenLineDirty(Integer ALine) {
  return GetScreenLine(ALine).Dirty;
}

void TScreenCache::MarkAllScreenLinesDirty() {
  for (TScreenLineInfo& l : FScreenLines) l.Dirty = true;
  if (!(FValidState & csScreen)) FAllDirty = true;
}

void TScreenCache::ClearDirtyLines() {
  UpdateLayout();
  for (TScreenLineInfo& l : FScreenLines) l.Dirty = false;
}

void TScreenCache::MarkScrollRangeDirty(Integer AFromY, Integer AToY) {
  if (AFromY > AToY) std::swap(AFromY, AToY);
  const Integer first = FFirstLineScroll + FFirstLineSkew;
  const Integer from = std::max<Integer>(AFromY - first, 0);
  const Integer to = std::min<Integer>(AToY - first, static_cast<Integer>(FScreenLines.size()) - 1);
  for (Integer i = from; i <= to; ++i) FScreenLines[static_cast<size_t>(i)].Dirty = true;
}

void TScreenCache::ScreenMarkersChanged() {
  Invalidate(csScreen);
  FScreenRowsReusable = false;
  UpdateLayout();
  constexpr TKivScreenLineProps kWrapOnly = KivLineProp(lpFirstWrap) | KivLineProp(lpLastWrap);
  for (TScreenLineInfo& l : FScreenLines)
    if (l.ScrollInfo.VisProps & ~kWrapOnly) l.Dirty = true;
}

bool TScreenCache::ClampBottom(Integer AFullyVisible) {
  UpdateLayout();
  const Integer onScreen = static_cast<Integer>(FScreenLines.size());
  // Only a window the text ends in can have empty space at its bottom.
  if (onScreen >= FScreenHeightLines || onScreen >= 5) return false;
  const Integer last = FFirstLineScroll + FFirstLineSkew + onScreen - 1;
  if (onScreen >= std::min<Integer>(5, last)) return false;
  const Integer top = std::max<Integer>(0, last - std::max<Integer>(AFullyVisible, 1) + 1);
  if (top == FirstLineScroll()) return false;
  SetFirstLineAsScroll(top);
  return true;
}

// ---- rows and scrolling ----

Integer TScreenCache::CorrectToLastScroll(Integer AY) {
  AY = std::max<Integer>(AY, 0);
  if ((FValidState & (csScreen | csConversionCaches)) == (csScreen | csConversionCaches) &&
      !FScreenLines.empty()) {
    const Integer first = FFirstLineScroll + FFirstLineSkew;
    if (AY >= first && AY < first + static_cast<Integer>(FScreenLines.size())) return AY;
  }
  const TWrapParserState s = RowStart(AY);
  if (s.PhysLine >= Document().LinesCount()) return std::max<Integer>(s.Y - 1, 0);
  return s.Y;
}

Integer TScreenCache::CalkVisibleCountScrollBar(bool AForceRecalk) {
  if (AForceRecalk || FVisibleCountScrollBar < 0) FVisibleCountScrollBar = CalkVisibleCountScroll();
  return FVisibleCountScrollBar;
}

TKivPoint TScreenCache::CorrectCursorSelPos(TKivPoint APoint) {
  APoint.X = std::max<Integer>(APoint.X, 0);
  APoint.Y = CorrectToLastScroll(APoint.Y);
  return APoint;
}

void TScreenCache::SetTop(Integer APhysLine, Integer ASkew) {
  FFirstLinePhysical = APhysLine;
  FFirstLineSkew = ASkew;
  if (FValidState & csConversionCaches) FFirstLineScroll = PhysicalToScroll(APhysLine);
  Invalidate(csScreen);
  FAllDirty = true;
}

void TScreenCache::Scroll(Integer AOffset) {
  if (AOffset == 0) return;
  UpdateLayout();
  const Integer first = FFirstLineScroll + FFirstLineSkew;
  const Integer y = CorrectToLastScroll(KivSaturate(std::max<int64_t>(int64_t(first) + AOffset, 0)));
  if (y == first) return;
  const Integer phys = ScrollToPhysical(y);
  const Integer physRow = PhysicalToScroll(phys);
  FFirstLinePhysical = phys;
  FFirstLineScroll = physRow;
  FFirstLineSkew = y - physRow;
  Invalidate(csScreen);
  FAllDirty = true;
}

void TScreenCache::SetFirstLineAsScroll(Integer ALine) {
  Scroll(KivSaturate(int64_t(ALine) - FirstLineScroll()));
}

void TScreenCache::SetHorizScroll(Integer AColumns) {
  AColumns = std::max<Integer>(AColumns, 0);
  if (AColumns == FHorizScroll) return;
  FHorizScroll = AColumns;
  FHorizScrollPixels = ScrollXToPixelsFixed(AColumns);
  Invalidate(csScreen);
  FScreenRowsReusable = false;
  FAllDirty = true;
}

// ---- rows, screen lines and physical lines ----

void TScreenCache::CheckScrollLine(Integer ALine, bool AAllowAfterLast) {
  if (ALine < 0) throw EKivEditViewError(u"Bad scroll line index: [y < 0].");
  const Integer last = CorrectToLastScroll(ALine);
  if (ALine > last + (AAllowAfterLast ? 1 : 0)) {
    const Integer rows = CalkVisibleCountScroll();
    throw EKivEditViewError(u"Bad scroll line index: %d. Valid index: [%d, %d]",
                            {ALine, 0, rows - 1 + (AAllowAfterLast ? 1 : 0)});
  }
}

Integer TScreenCache::ScreenToScroll(Integer AScreen, bool ADoCheck) {
  if (ADoCheck) CheckScreenLine(AScreen);
  return KivSatAdd(AScreen, FirstLineScroll());
}

Integer TScreenCache::ScrollToScreen(Integer AScrollLine, bool ADoCheck) {
  const Integer first = FirstLineScroll();
  if (ADoCheck) {
    const Integer last = first + LinesOnScreenScroll() - 1;
    if (AScrollLine < first || AScrollLine > last)
      throw EKivEditViewError(u"Bad scroll line index to convert to screen: %d. Valid index: [%d, %d]",
                              {AScrollLine, first, last});
  }
  return KivSaturate(int64_t(AScrollLine) - first);
}

Integer TScreenCache::ScreenToPhysical(Integer AScreen) {
  return GetScreenLine(AScreen).ScrollInfo.PhysicalLine;
}

Integer TScreenCache::ScreenCount(Integer ALine) {
  const Integer first = PhysicalToScroll(ALine);
  if (CollapsedEnd(ALine) >= 0 || NoWrap()) return 1;
  // The line end lies on the line's last row (no need to lay out the next line).
  return WP_GetState(Document().GetLineEnd(ALine)).Y - first + 1;
}

TScrollLineInfo TScreenCache::GetScrollLineInfo(Integer ALine) {
  CheckScrollLine(ALine, false);
  return RowInfo(RowStart(ALine));
}

TOffsetPoint TScreenCache::GetScrollLineOffLast(Integer ALine) {
  CheckScrollLine(ALine, false);
  const TWrapParserState s = WP_GetStateByXY(std::numeric_limits<Integer>::max(), ALine, true);
  if (s.IsTail) return {s.Offset, 0};
  return {s.Offset, std::max<Integer>(s.VisWidth - 1, 0)};
}

Integer TScreenCache::GetScrollLineVisWidth(Integer ALine) {
  CheckScrollLine(ALine, false);
  const TWrapParserState s = WP_GetStateByXY(std::numeric_limits<Integer>::max(), ALine, true);
  return s.IsTail ? s.X : KivSatAdd(s.X, s.VisWidth);
}

void TScreenCache::GetPhysLineVisibleBounds(Integer ALine, TOffsetPoint& AFirst, TOffsetPoint& ALast) {
  const Integer row = PhysicalToScroll(ALine);
  AFirst = {Document().GetLineStart(ALine), 0};
  ALast = GetScrollLineOffLast(row + ScreenCount(ALine) - 1);
}

void TScreenCache::GetScrollCharScrollBounds(const TKivPoint& AScroll, Integer& ALeft, Integer& ARight) {
  const TOffsetPoint p = ScrollPtToOffsetPt(AScroll);
  const TWrapParserState s = WP_GetState(p.Offset);
  ALeft = s.X;
  ARight = std::max(AScroll.X, KivSatAdd(s.X, s.VisWidth));
}

Integer TScreenCache::CalkPointVisWidth(Integer AOffset) {
  return CalkPointVisWidth(TOffsetPoint{AOffset, 0});
}

Integer TScreenCache::CalkPointVisWidth(const TOffsetPoint& AOffPt) {
  TKivEditDocument& doc = Document();
  if (AOffPt.Offset < 0 || AOffPt.Offset > doc.CharsCount() || AOffPt.InCharOffset < 0)
    throw EKivEditViewError(u"Bad offset: %d. Valid range: [%d, %d]", {AOffPt.Offset, 0, doc.CharsCount()});
  TKivCharSeq& chars = doc.Chars();
  const Integer start = doc.GetLineStart(doc.GetLineByOffset(AOffPt.Offset));
  int64_t x = 0;
  for (Integer o = start; o < AOffPt.Offset; ++o)
    x += chars.GetChar(o) == u'\t' ? FTabWidth - x % FTabWidth : 1;
  return KivSaturate(x + AOffPt.InCharOffset);
}
