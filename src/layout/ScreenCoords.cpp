// Conversions between document offsets, physical lines and scroll positions.
#include "internal/ScreenCache.h"

namespace {
void CheckScrollPoint(const TKivPoint& APoint) {
  if (APoint.X < 0) throw EKivEditViewError(u"Bad scroll position: [x < 0].");
  if (APoint.Y < 0) throw EKivEditViewError(u"Bad scroll position: [y < 0].");
}
}  // namespace

TKivPoint TScreenCache::OffsetToScroll(Integer AOffset) {
  try {
    const TWrapParserState s = WP_GetState(AOffset);
    return {s.X, s.Y};
  } catch (const TWP_InvisibleOffsetError&) {
    throw EKivEditViewError(u"This operation requires given offset to be visible. Offset: %d", {AOffset});
  }
}

TKivPoint TScreenCache::OffsetPtToScroll(const TOffsetPoint& APoint) {
  if (APoint.InCharOffset < 0) throw EKivEditViewError(u"Bad scroll position: [x < 0].");
  TKivPoint p = OffsetToScroll(APoint.Offset);
  p.X = KivSatAdd(p.X, APoint.InCharOffset);
  return p;
}

TOffsetPoint TScreenCache::ScrollPtToOffsetPt(const TKivPoint& AScrollPoint) {
  CheckScrollPoint(AScrollPoint);
  const TWrapParserState s = WP_GetStateByXY(AScrollPoint.X, AScrollPoint.Y, false);
  if (s.PhysLine >= Document().LinesCount())
    throw EKivEditViewError(u"Bad scroll position: [y=%d]. Valid range: [y=%d]-[y=%d]",
                            {AScrollPoint.Y, 0, CalkVisibleCountScroll() - 1});
  return {s.Offset, std::max<Integer>(AScrollPoint.X - s.X, 0)};
}

Integer TScreenCache::PhysicalToScroll(Integer APhys) {
  TKivEditDocument& doc = Document();
  const Integer lines = doc.LinesCount();
  if (APhys < 0 || APhys > lines)
    throw EKivEditViewError(u"Invalid physical line on screen index: %d. Valid range: [%d, %d]",
                            {APhys, 0, lines - 1});
  if (APhys == lines) return CalkVisibleCountScroll();
  // Without wrapping a row is a visible line: the line index and the collapsed folds answer,
  // without laying out (or tokenizing) the lines before.
  if (UseLineShortcut()) return APhys;
  if (NoWrap()) {
    Integer hidden = 0;
    for (const auto& [first, last] : ShownFolds()) {
      if (first >= APhys) break;
      if (APhys <= last)
        throw EKivEditViewError(u"This operation requires given physical line to be visible. Line: %d",
                                {APhys});
      hidden += last - first;
    }
    return APhys - hidden;
  }
  const Integer start = doc.GetLineStart(APhys);
  const TWrapParserState s = WP_GetStateOverFolds(start);
  if (s.Offset != start || s.PhysLine != APhys)
    throw EKivEditViewError(u"This operation requires given physical line to be visible. Line: %d", {APhys});
  return s.Y;
}

Integer TScreenCache::ScrollToPhysical(Integer AScroll) {
  if (AScroll < 0) throw EKivEditViewError(u"Bad scroll line index: [y < 0].");
  return WP_GetStateByXY(0, AScroll, true).PhysLine;
}

Integer TScreenCache::PixelsToScrollXFixed(Integer AXPix, bool ARoundToBigger) const {
  const Integer q = AXPix / FSpaceCharW, r = AXPix % FSpaceCharW;
  if (ARoundToBigger && r != 0) return AXPix < 0 ? q - 1 : q + 1;
  return q;
}

Integer TScreenCache::PixelsToScrollXFixedNew(Integer AXPix, bool& ATrailing) const {
  const Integer q = AXPix / FSpaceCharW, r = AXPix % FSpaceCharW;
  ATrailing = r != 0 && std::abs(r) >= FSpaceCharW - std::abs(r);
  return q;
}

// ---- pixels ----

void TScreenCache::TabGlyphWidths(TKivFontStyles AFs, Integer& ATail, Integer& AHead) {
  const TKivStringView tab = SpecialCharsSeg(skTabTail);
  const TKivFontCharset charset = SpecialCharsCharset(skTabTail);
  ATail = FMeasure.GetCharWidth(tab.front(), AFs, charset);
  AHead = FMeasure.GetCharWidth(tab.back(), AFs, charset);
}

void TScreenCache::CellPixels(const TCell& ACell, Integer AX, Integer& AStart, Integer& ACount) {
  ACount = FSpaceCharW;
  if (ACell.IsTail) {  // past the end of a line: fixed columns from the line end
    AStart = KivSatAdd(ACell.XPix, KivSatMul(AX - ACell.X, FSpaceCharW));
    return;
  }
  const Integer endX = KivSatAdd(ACell.X, ACell.VisW);
  if (AX >= endX) {  // past the last character of a wrapped row
    AStart = KivSatAdd(KivSatAdd(ACell.XPix, ACell.PixW), KivSatMul(AX - endX, FSpaceCharW));
    return;
  }
  if (ACell.IsTab) {
    Integer tail, head;
    TabGlyphWidths(ACell.Style, tail, head);
    const Integer i = std::max<Integer>(AX - ACell.X, 0);
    AStart = KivSatAdd(ACell.XPix, KivSatMul(i, tail));
    ACount = i == ACell.VisW - 1 ? head : tail;
    return;
  }
  AStart = ACell.XPix;
  ACount = ACell.PixW;
}

Integer TScreenCache::CellColumn(const TCell& ACell, Integer APix, Integer* ACellLeft) {
  Integer col;
  if (ACell.IsTail || APix >= KivSatAdd(ACell.XPix, ACell.PixW)) {
    // Fixed columns from the row's end.
    const Integer endX = ACell.IsTail ? ACell.X : KivSatAdd(ACell.X, ACell.VisW);
    const Integer endPix = ACell.IsTail ? ACell.XPix : KivSatAdd(ACell.XPix, ACell.PixW);
    col = KivSatAdd(endX, std::max<Integer>(APix - endPix, 0) / FSpaceCharW);
  } else if (ACell.IsTab && ACell.VisW > 1) {
    Integer tail, head;
    TabGlyphWidths(ACell.Style, tail, head);
    const Integer rel = std::max<Integer>(APix - ACell.XPix, 0);
    const Integer cell = rel < ACell.PixW - head ? rel / std::max<Integer>(tail, 1) : ACell.VisW - 1;
    col = ACell.X + std::min<Integer>(cell, ACell.VisW - 1);
  } else {
    col = ACell.X;
  }
  if (ACellLeft) {
    Integer count;
    CellPixels(ACell, col, *ACellLeft, count);
  }
  return col;
}

TScreenCache::TCell TScreenCache::RowItemCell(const TScreenLineInfo& AInfo, size_t AIdx) {
  const TScreenOffsetItem& item = AInfo.Offsets[AIdx];
  TCell cell{
      item.VisX, item.PixX, item.VisW, item.PixW, (item.Flags & soTab) != 0, (item.Flags & soTail) != 0, 0};
  if (cell.IsTab) {
    const Integer offset = AInfo.ItemsStart + static_cast<Integer>(AIdx);
    for (const TChunk& c : AInfo.Chunks)
      if (c.StateOffset == offset && !c.IsTail) cell.Style = c.Attrs.FontStyle;
  }
  // The end of a wrapped row: fixed columns follow it as they follow a line end.
  if (AIdx + 1 == AInfo.Offsets.size() && !AInfo.TailCut && !cell.IsTail && cell.VisW == 0) cell.IsTail = true;
  return cell;
}

TScreenCache::TCell TScreenCache::RowCellAt(const TScreenLineInfo& AInfo, Integer AValue, bool AByPixels) {
  const auto start = [&](const TScreenOffsetItem& I) { return AByPixels ? I.PixX : I.VisX; };
  const std::vector<TScreenOffsetItem>& items = AInfo.Offsets;
  // The item found must have a follower in the part (or be the row's last).
  if (items.empty() || (AInfo.HeadCut && AValue < start(items.front())) ||
      (AInfo.TailCut && AValue >= start(items.back())))
    return CellOf(WP_GetStateByXY(AValue, AInfo.StartState.Y, true, AByPixels));
  return RowItemCell(AInfo, RowItemAt(AInfo, AValue, AByPixels));
}

size_t TScreenCache::RowItemAt(const TScreenLineInfo& AInfo, Integer AValue, bool AByPixels) {
  const std::vector<TScreenOffsetItem>& items = AInfo.Offsets;
  KIV_ASSERT(!items.empty(), "KivSedView");
  // The last item starting at or before the value (of items sharing a start, the last one).
  const auto it = std::partition_point(items.begin(), items.end(), [&](const TScreenOffsetItem& I) {
    return (AByPixels ? I.PixX : I.VisX) <= AValue;
  });
  return it == items.begin() ? 0 : static_cast<size_t>(it - items.begin()) - 1;
}

Integer TScreenCache::RowColumnAtPixel(const TScreenLineInfo& AInfo, Integer APix, Integer* ACellLeft) {
  return CellColumn(RowCellAt(AInfo, APix, true), APix, ACellLeft);
}

void TScreenCache::ScrollPosToScreenPix(const TKivPoint& AScroll, Integer& AStart, Integer& ACount) {
  CheckScrollPoint(AScroll);
  const TWrapParserState s = WP_GetStateByXY(AScroll.X, AScroll.Y, true);
  CellPixels(CellOf(s), AScroll.X, AStart, ACount);
  AStart = KivSaturate(int64_t(AStart) - FHorizScrollPixels);
}

bool TScreenCache::ScreenPosToScreenPix(const TKivPoint& AScreen, Integer& AStart, Integer& ACount,
                                        bool AScreenOnly) {
  const Integer count = LinesOnScreenScroll();
  const bool onScreenY = AScreen.Y >= 0 && AScreen.Y < count && AScreen.X >= 0;
  if (!onScreenY && AScreenOnly) return false;
  if (onScreenY) {
    // The row is on screen: its offset items answer without running the engine.
    const TScreenLineInfo& info = FScreenLines[static_cast<size_t>(AScreen.Y)];
    CellPixels(RowCellAt(info, AScreen.X, false), AScreen.X, AStart, ACount);
    AStart = KivSaturate(int64_t(AStart) - FHorizScrollPixels);
  } else {
    ScrollPosToScreenPix(ScreenPosToScroll(AScreen), AStart, ACount);
  }
  return onScreenY && KivSatAdd(AStart, ACount) > 0 && AStart < FScreenWidthPixels;
}

Integer TScreenCache::ScreenPixToScrollPos(Integer APixW, Integer AScrollLine) {
  if (AScrollLine < 0) throw EKivEditViewError(u"Bad scroll line index: [y < 0].");
  const Integer pix = std::max<Integer>(KivSatAdd(APixW, FHorizScrollPixels), 0);
  const TWrapParserState s = WP_GetStateByXY(pix, AScrollLine, true, true);
  return CellColumn(CellOf(s), pix, nullptr);
}

Integer TScreenCache::ScreenPixToScreenPos(Integer APixW, Integer AScreenLine) {
  const TScreenLineInfo& info = GetScreenLine(AScreenLine);
  return RowColumnAtPixel(info, std::max<Integer>(KivSatAdd(APixW, FHorizScrollPixels), 0), nullptr);
}

// ---- pixels through the shaped runs ----

namespace {
// The chunk drawing document offset AOffset (not a line-end chunk), or none.
const TChunk* ChunkOf(const TScreenLineInfo& AInfo, Integer AOffset) {
  for (const TChunk& c : AInfo.Chunks)
    if (!c.IsTail && AOffset >= c.StateOffset && AOffset < c.StateOffset + c.StateOffsetCount) return &c;
  return nullptr;
}
}  // namespace

bool TScreenCache::ScreenPosToScreenPixNew(const TKivPoint& AScreen, Integer& ALeading, Integer& ATrailing) {
  const TScreenLineInfo& row = GetScreenLine(AScreen.Y);
  if (AScreen.X < 0) throw EKivEditViewError(u"Bad scroll position: [x < 0].");
  TScreenLineInfo part;
  const TScreenLineInfo& info = RowHolding(row, AScreen.X, false, part);
  const size_t idx = RowItemAt(info, AScreen.X, false);
  const TCell cell = RowItemCell(info, idx);
  const Integer offset = info.ItemsStart + static_cast<Integer>(idx);
  const TChunk* chunk = ChunkOf(info, offset);
  // Inside a run of one glyph per offset the shaper knows the edges; tabs, line ends and the
  // space past them are fixed cells.
  if (chunk && chunk->CanMerge && chunk->TextData && AScreen.X < cell.X + cell.VisW && !cell.IsTail) {
    const Integer chunkLeft = info.Offsets[static_cast<size_t>(chunk->StateOffset - info.ItemsStart)].PixX;
    const TKivTextArea area = chunk->TextData->GetCharArea(offset - chunk->StateOffset);
    ALeading = KivSatAdd(chunkLeft, area.Leading) - FHorizScrollPixels;
    ATrailing = KivSatAdd(chunkLeft, area.Trailing) - FHorizScrollPixels;
  } else {
    Integer start, count;
    CellPixels(cell, AScreen.X, start, count);
    ALeading = start - FHorizScrollPixels;
    ATrailing = KivSatAdd(ALeading, count);
  }
  return ALeading >= 0 && ALeading < FScreenWidthPixels;
}

Integer TScreenCache::ScreenPixToScreenPosNew(Integer APixW, Integer AScreenLine, bool& ATrailing) {
  const TScreenLineInfo& row = GetScreenLine(AScreenLine);
  const Integer pix = std::max<Integer>(KivSatAdd(APixW, FHorizScrollPixels), 0);
  TScreenLineInfo part;
  const TScreenLineInfo& info = RowHolding(row, pix, true, part);
  ATrailing = false;
  // The run under the pixel, by the runs' left edges.
  for (const TChunk& c : info.Chunks) {
    if (c.IsTail || !c.CanMerge || !c.TextData || c.StateOffsetCount <= 0) continue;
    const Integer left = info.Offsets[static_cast<size_t>(c.StateOffset - info.ItemsStart)].PixX;
    if (pix < left || pix >= KivSatAdd(left, c.TextData->Width())) continue;
    const Integer idx = c.TextData->GetCharIndex(pix - left, ATrailing);
    if (idx < 0) break;
    return info.Offsets[static_cast<size_t>(c.StateOffset - info.ItemsStart + idx)].VisX;
  }
  Integer cellLeft = 0;
  const Integer col = RowColumnAtPixel(info, pix, &cellLeft);
  Integer start, count;
  CellPixels(RowCellAt(info, col, false), col, start, count);
  ATrailing = pix - start >= count - (pix - start);
  return col;
}
