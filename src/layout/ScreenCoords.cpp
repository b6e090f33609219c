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
  const Integer rows = CalkVisibleCountScroll();
  if (AScrollPoint.Y >= rows)
    throw EKivEditViewError(u"Bad scroll position: [y=%d]. Valid range: [y=%d]-[y=%d]",
                            {AScrollPoint.Y, 0, rows - 1});
  const TWrapParserState s = WP_GetStateByXY(AScrollPoint.X, AScrollPoint.Y, true);
  return {s.Offset, std::max<Integer>(AScrollPoint.X - s.X, 0)};
}

Integer TScreenCache::PhysicalToScroll(Integer APhys) {
  TKivEditDocument& doc = Document();
  const Integer lines = doc.LinesCount();
  if (APhys < 0 || APhys > lines)
    throw EKivEditViewError(u"Invalid physical line on screen index: %d. Valid range: [%d, %d]",
                            {APhys, 0, lines - 1});
  if (APhys == lines) return CalkVisibleCountScroll();
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
