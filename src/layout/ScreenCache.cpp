#include "internal/ScreenCache.h"

#include <limits>

#include "internal/StoredView.h"

TScreenCache::TScreenCache(IKivScreenCacheHost* AHost, TKivViewWrapMode AWrapMode, Integer ATabWidth,
                           Integer AScreenWidthPixels, Integer AScreenHeightLines, Integer AWrapWidth,
                           IKivMeasureSurface* ACanvas, const TKivSpecialChars* ASpecChars)
    : FHost(AHost),
      FSpecChars(ASpecChars),
      FWPCache(kWPCacheCount, kWPSeqInterval),
      FWrapMode(AWrapMode),
      FTabWidth(ATabWidth),
      FFixedWrapWidth(std::clamp<Integer>(AWrapWidth, 1, kMaxWrapRulerWidth)),
      FScreenHeightLines(AScreenHeightLines),
      FScreenWidthPixels(AScreenWidthPixels) {
  KIV_ASSERT(AHost != nullptr, "ScreenCache");
  if (ATabWidth < 1 || ATabWidth > 200)
    throw EKivEditViewError(u"Bad tab width: %d. It should be in bounds: [%d, %d]", {ATabWidth, 1, 200});
  if (AScreenWidthPixels <= 0)
    throw EKivEditViewError(u"Invalid screen width given: [%d]. Valid range: [1..MAXINT]",
                            {AScreenWidthPixels});
  if (AScreenHeightLines <= 0)
    throw EKivEditViewError(u"Invalid screen height given: [%d]. Valid range: [1..MAXINT]",
                            {AScreenHeightLines});
  FHighlightAttrs.BackgroundColor = 0x00FFFF;
  FHighlightAttrs.AttributesSet = asBackgroundColor;
  FDefaultAttrs.BackgroundColor = 0xFFFFFF;
  FMeasure.SetCanvas(ACanvas);
  FStoredView = std::make_unique<TStoredView>(*this, TStoredView::kDefaultLimit);
  ResetLayout();
}

// ---- configuration ----

void TScreenCache::SetWrapMode(TKivViewWrapMode AMode) {
  if (AMode == FWrapMode) return;
  FWrapMode = AMode;
  ResetPreserve();
}

void TScreenCache::SetLongRowLayout(Integer AMinChars, Integer AMarginPixels) {
  FLongRowChars = std::max<Integer>(AMinChars, 1);
  FLongRowMargin = std::max<Integer>(AMarginPixels, -1);
  Invalidate(csScreen);
  FScreenRowsReusable = false;
}

void TScreenCache::SetWrapWidth(Integer AWidth) {
  AWidth = std::clamp<Integer>(AWidth, 1, kMaxWrapRulerWidth);
  if (AWidth == FFixedWrapWidth) return;
  FFixedWrapWidth = AWidth;
  if (FWrapMode == wmWrapToRuler) ResetPreserve();
}

void TScreenCache::SetTabWidth(Integer AWidth) {
  if (AWidth < 1 || AWidth > 200)
    throw EKivEditViewError(u"Bad tab width: %d. It should be in bounds: [%d, %d]", {AWidth, 1, 200});
  if (AWidth == FTabWidth) return;
  FTabWidth = AWidth;
  ResetPreserve();
}

void TScreenCache::SetScreenSize(Integer APixWidth, Integer ALinesHeight) {
  if (APixWidth <= 0)
    throw EKivEditViewError(u"Invalid screen width given: [%d]. Valid range: [1..MAXINT]", {APixWidth});
  if (ALinesHeight <= 0)
    throw EKivEditViewError(u"Invalid screen height given: [%d]. Valid range: [1..MAXINT]", {ALinesHeight});
  if (APixWidth == FScreenWidthPixels && ALinesHeight == FScreenHeightLines) return;
  const bool widthChanged = APixWidth != FScreenWidthPixels;
  FScreenWidthPixels = APixWidth;
  FScreenHeightLines = ALinesHeight;
  if (widthChanged && FWrapMode == wmWrapToWindow) {
    ResetPreserve();
  } else {
    Invalidate(csScreen);
    FScreenRowsReusable = false;  // the column bounds of the rows changed
  }
}

void TScreenCache::SetCanvas(IKivMeasureSurface* ACanvas) {
  FMeasure.SetCanvas(ACanvas);
  ResetPreserve();
}

Integer TScreenCache::EffectiveWrapWidth() const {
  switch (FWrapMode) {
    case wmWrapToRuler:
      return WrapWidthPixels();
    case wmWrapToWindow:
      return FScreenWidthPixels;
    default:
      return std::numeric_limits<Integer>::max();
  }
}

void TScreenCache::ResetPreserve() {
  const Integer top = FFirstLinePhysical;
  const Integer horiz = FHorizScroll;
  ResetLayout();
  const Integer line = std::clamp<Integer>(top, 0, Document().LinesCount() - 1);
  EnsureOffsetIsVisible(Document().GetLineStart(line));
  SetTop(line, 0);
  if (FWrapMode != wmWrapToWindow) SetHorizScroll(horiz);
}

void TScreenCache::ResetLayout() {
  IKivMeasureSurface* canvas = FMeasure.Canvas();
  FMeasure.Clear();
  FSpaceCharW = std::max<Integer>(canvas ? canvas->SpaceWidth() : 1, 1);
  FMeasure.SetSpaceWidth(FSpaceCharW);
  BuildSpecialChars();
  FSeparators.clear();
  FAsciiSeparators[0] = FAsciiSeparators[1] = 0;
  for (Char c : Document().FullWordSeparators()) {
    if (c == u'(' || c == u'{' || c == u'[') continue;
    if (c < 128)
      FAsciiSeparators[c >> 6] |= uint64_t{1} << (c & 63);
    else
      FSeparators += c;
  }
  FWPCache.Clear();
  FVisibleCountScroll = -1;
  FVisibleCountScrollBar = -1;
  FFirstLinePhysical = 0;
  FFirstLineScroll = -1;
  FFirstLineSkew = 0;
  FValidState = 0;
  FScreenRowsReusable = false;
  FFirstInvalidOffset = 0;
  FHorizScroll = 0;
  FHorizScrollPixels = 0;
  FScreenLines.clear();
}

void TScreenCache::ResetLayoutFull() {
  ResetLayout();
  FSelMarks.SetCursor({0, 0});
  FSelMarks.SetSelStart({0, 0});
  FSelMarks.SetSelEnd({0, 0});
  FSelMarks.SetBlock(false);
  ClearFolds();
  UpdateLayout();
}

bool TScreenCache::IsShown(TKivSpecialCharKind AKind) const {
  return FSpecChars && FSpecChars->ShowCharKinds().Contains(AKind);
}

void TScreenCache::BuildSpecialChars() {
  const auto glyph = [this](TKivSpecialCharKind AKind) {
    return IsShown(AKind) ? FSpecChars->ShowChar(AKind) : u' ';
  };
  FSpecialCharsSeq.assign(static_cast<size_t>(FTabWidth - 1), glyph(skTabTail));
  FSpecialCharsSeq += glyph(skTabHead);
  FSpecialCharsMap[skTabTail] = 0;
  for (int k = skTabHead; k < kivSpecialCharKindCount; ++k) {
    const auto kind = TKivSpecialCharKind(k);
    FSpecialCharsMap[k] = static_cast<Integer>(FSpecialCharsSeq.size());
    FSpecialCharsSeq += glyph(kind);
  }
  FSpecialCharsMap[kivSpecialCharKindCount] = static_cast<Integer>(FSpecialCharsSeq.size());
  for (int k = 0; k < kivSpecialCharKindCount; ++k) {
    const auto kind = TKivSpecialCharKind(k);
    FSpecialCharsCharSetMap[k] =
        IsShown(kind) && FSpecChars->UseCharset() ? FSpecChars->Charset() : FFontCharset;
  }
}

TKivStringView TScreenCache::SpecialCharsSeg(TKivSpecialCharKind AKind) const {
  return TKivStringView(FSpecialCharsSeq)
      .substr(FSpecialCharsMap[AKind], FSpecialCharsMap[AKind + 1] - FSpecialCharsMap[AKind]);
}

// ---- highlights ----

namespace {
void CheckHighlightRange(TKivEditDocument& ADoc, Integer AStart, Integer ACount) {
  if (AStart < 0 || ACount < 0 || ACount > ADoc.CharsCount() - AStart)
    throw EKivEditViewError(
        u"Bad offset range: [start: %d, count: %d]. Its bounds should be inside some scroll line.",
        {AStart, ACount});
}
}  // namespace

void TScreenCache::AddHighlight(Integer AStart, Integer ACount) {
  CheckHighlightRange(Document(), AStart, ACount);
  if (FHighlightUse && (FHighlightAttrs.AttributesSet & asFontStyle)) InvalidateFrom(AStart);
  FHighlights.AddRange(AStart, ACount);
  FFirstInvalidOffset = FFirstInvalidOffset < 0 ? AStart : std::min(FFirstInvalidOffset, AStart);
  Invalidate(csScreen | csConversionCaches);
}

void TScreenCache::RemoveHighlight(Integer AStart, Integer ACount) {
  CheckHighlightRange(Document(), AStart, ACount);
  if (FHighlightUse && (FHighlightAttrs.AttributesSet & asFontStyle)) InvalidateFrom(AStart);
  FHighlights.RemoveRange(AStart, ACount);
  FFirstInvalidOffset = FFirstInvalidOffset < 0 ? AStart : std::min(FFirstInvalidOffset, AStart);
  Invalidate(csScreen | csConversionCaches);
}

void TScreenCache::ClearHighlight() {
  if (FHighlights.RangesCnt() == 0) return;
  if (FHighlightUse && (FHighlightAttrs.AttributesSet & asFontStyle))
    InvalidateFrom(FHighlights.GetRanges()[0].Start);
  FFirstInvalidOffset = 0;
  FHighlights.Clear();
  Invalidate(csScreen | csConversionCaches);
}

void TScreenCache::SetHighlightAttrs(const TKivEditAttributes& AAttrs, bool AUse) {
  FHighlightAttrs = AAttrs;
  FHighlightAttrs.CustomAttributes = nullptr;
  FHighlightUse = AUse;
  if (FHighlights.RangesCnt() > 0) ResetPreserve();
}

// ---- edits ----

void TScreenCache::InvalidateFrom(Integer AStart) {
  Integer inv = AStart - 2;
  // Without wrapping and collapsed folds no earlier row depends on the edit: no line lookup
  // (a replace-all comes here for every occurrence).
  if (!UseLineShortcut()) {
    TKivEditDocument& doc = Document();
    const Integer line = doc.GetLineByOffset(std::clamp<Integer>(AStart, 0, doc.CharsCount()));
    const Integer foldStart = CollapsedStartHiding(line);
    if (foldStart >= 0) {
      inv = std::min(inv, doc.GetLineStart(foldStart));  // the collapsed row shows the fold
    } else if (!NoWrap()) {
      // Any earlier row of the line may change: a row ends at its last break point, but whether
      // it overflowed was decided by characters up to the first one that did not fit, which can
      // lie several rows further on (and a moved line end can let the whole line fit).
      inv = std::min(inv, doc.GetLineStart(line));
    }
  }
  inv = std::max<Integer>(inv, 0);
  FWPCache.Invalidate(inv);
  FVisibleCountScroll = -1;
  FFirstInvalidOffset = FFirstInvalidOffset < 0 ? inv : std::min(FFirstInvalidOffset, inv);
}

bool TScreenCache::NoteEditStart(Integer AStart) {
  TKivEditDocument& doc = Document();
  FEditLinesCount = doc.LinesCount();
  // An edit from the top line's start on leaves the top where it is: its line is not needed
  // (any line at or below the top compares the same).
  if (FFirstLinePhysical < FEditLinesCount && AStart >= doc.GetLineStart(FFirstLinePhysical)) {
    FEditLine = FFirstLinePhysical;
    return false;
  }
  FEditLine = doc.GetLineByOffset(std::clamp<Integer>(AStart, 0, doc.CharsCount()));
  return true;
}

void TScreenCache::BeforeInsert(Integer AStart, Integer) {
  InvalidateFrom(AStart);
  NoteEditStart(AStart);
  Invalidate(csAll);
}

void TScreenCache::AfterInsert(Integer AStart, Integer ACount) {
  const Integer added = Document().LinesCount() - FEditLinesCount;
  // Lines inserted above the top push its text down; the top follows the text.
  if (added > 0 && FEditLine < FFirstLinePhysical) FFirstLinePhysical += added;
  if (added != 0) FVisibleCountScrollBar = -1;
  FHighlights.AfterInsert(AStart, ACount);
  FEditLine = -1;
  // The collapsed folds follow their markers at once. An insertion deletes no marker, and
  // without new lines no marker changes its line: typing needs no pass over the folds.
  if (added != 0) ValidateFolds();
  FVisibleCountScroll = -1;
  Invalidate(csAll);
  FValidState |= csFolds;
}

void TScreenCache::BeforeDelete(Integer AStart, Integer ACount) {
  if (ACount <= 0) return;
  InvalidateFrom(AStart);
  TKivEditDocument& doc = Document();
  const Integer endLine = NoteEditStart(AStart)
                              ? doc.GetLineByOffset(std::clamp<Integer>(AStart + ACount, 0, doc.CharsCount()))
                              : FEditLine;  // below the top: AfterDelete sees removed lines
  const Integer removed = endLine - FEditLine;
  if (removed > 0) {
    FVisibleCountScrollBar = -1;
    if (FFirstLinePhysical > endLine) {
      FFirstLinePhysical -= removed;
    } else if (FFirstLinePhysical > FEditLine) {
      FFirstLinePhysical = FEditLine;  // the top's text goes: the first line of the range shows
      FFirstLineSkew = 0;
    }
  }
  FHighlights.BeforeDelete(AStart, ACount);
  Invalidate(csAll);
}

bool TScreenCache::QuickRunEdit(Integer AStart) {
  if (!FInEditRun || !FFolds.Empty() || FHighlights.RangesCnt() > 0 || FEditLine >= 0) return false;
  if (FRunTopLine != FFirstLinePhysical) {
    TKivEditDocument& doc = Document();
    if (FFirstLinePhysical >= doc.LinesCount()) return false;
    FRunTopLine = FFirstLinePhysical;
    FRunTopStart = doc.GetLineStart(FFirstLinePhysical);
  }
  // At the top line's start an edit may make its line break part of a CR LF pair.
  if (AStart <= FRunTopStart) {
    FRunTopLine = -1;  // the edit may move the top's start
    return false;
  }
  // What Before and After do for such an edit: the layout from it on is stale, the rows are
  // counted again (whether lines came or went), nothing else moves.
  InvalidateFrom(AStart);
  FVisibleCountScrollBar = -1;
  FVisibleCountScroll = -1;
  Invalidate(csAll);
  FValidState |= csFolds;
  return true;
}

void TScreenCache::AfterDelete(Integer, Integer) {
  if (Document().LinesCount() != FEditLinesCount) FVisibleCountScrollBar = -1;
  FEditLine = -1;
  ValidateFolds();
  FVisibleCountScroll = -1;
  Invalidate(csAll);
  FValidState |= csFolds;
}
