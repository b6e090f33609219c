#include <algorithm>
#include <string>

#include "KivSedMarkers.h"
#include "KivSedPainter.h"
#include "internal/ScreenCache.h"

namespace {

constexpr TKivEditAttributesSet kAllAttrs = asBackgroundColor | asTextColor | asFontStyle;

bool Has(TKivScreenLineProps AProps, TKivScreenLineProp AProp) {
  return (AProps & KivLineProp(AProp)) != 0;
}

TKivEditAttributes MakeAttrs(TKivColor ABg, TKivColor AText, TKivFontStyles AFs) {
  TKivEditAttributes a;
  a.BackgroundColor = ABg;
  a.TextColor = AText;
  a.FontStyle = AFs;
  a.AttributesSet = kAllAttrs;
  return a;
}

// Every public screen is a screen cache.
TScreenCache& CacheOf(TKivScreenLayout& AScreen) {
  return static_cast<TScreenCache&>(AScreen);
}

// The pixel width of AText in the base font (no style).
Integer TextWidth(TScreenCache& ACache, TKivStringView AText, TKivFontCharset ACharset) {
  IKivMeasureSurface* canvas = ACache.Canvas();
  Integer w = 0;
  for (Char c : AText) w = KivSatAdd(w, canvas ? canvas->CharWidth(c, 0, ACharset) : ACache.SpaceCharW());
  return w;
}

// The bookmark's name as a number, when it is one.
bool IsIntegerName(const TKivString& AName) {
  size_t i = (!AName.empty() && (AName[0] == u'-' || AName[0] == u'+')) ? 1 : 0;
  if (i >= AName.size() || AName.size() - i > 9) return false;
  for (; i < AName.size(); ++i)
    if (AName[i] < u'0' || AName[i] > u'9') return false;
  return true;
}

TKivRect Inner(const TKivGutterBarInfo& ABar, const TKivRect& ARect) {
  return {KivSatAdd(ARect.Left, ABar.LeftPadding), ARect.Top,
          std::max(KivSatAdd(ARect.Left, ABar.LeftPadding), KivSatAdd(ARect.Right, -ABar.RightPadding)),
          ARect.Bottom};
}

// The row's colours that do not depend on the chunk.
struct TLineColors {
  bool Marker = false;  // a breakpoint or debugger frame colours the line
  TKivColor MarkerBg = 0, MarkerText = 0;
  bool Frame = false;  // a plain debugger frame
  TKivEditAttributes LineAttrs;
  bool OverrideTokens = false;
  bool ReadOnly = false;
  bool SelectedLine = false;
  bool Printing = false;
};

}  // namespace

TKivGutterPaintSettings::TKivGutterPaintSettings()
    : Bars{{gbBreakpointBar}, {gbBookmarkBar}, {gbLineNumberBar}, {gbFoldBar}} {
  for (TKivGutterBarInfo& b : Bars) b.Tag = static_cast<Integer>(&b - Bars.data());
}

Integer TKivGutterPaintSettings::Width() const {
  Integer w = 0;
  for (const TKivGutterBarInfo& b : Bars)
    if (b.Visible) w = KivSatAdd(w, b.FullWidth());
  return w;
}

// ---- the text of a row ----

void TKivEditPainter::PrepareLine(TKivScreenLayout& AScreen, Integer AScreenLine, const TKivRect& ATextRect,
                                  const TKivRect& AClip, TKivPreparedText& AOut) {
  TScreenCache& ACache = CacheOf(AScreen);
  const TScreenLineInfo* info = &ACache.GetScreenLine(AScreenLine);
  const Integer scrollLine = ACache.ScreenToScroll(AScreenLine, false);
  const TKivScreenLineProps props = info->ScrollInfo.VisProps;
  const bool printing = Settings.Printing;
  AOut.Screen = &ACache;
  AOut.ScreenLine = AScreenLine;
  AOut.ScrollLine = scrollLine;
  AOut.BgRect = ATextRect;
  AOut.Items.clear();
  AOut.Selns.clear();

  TLineColors lc;
  lc.Printing = printing;
  const std::pair<TKivScreenLineProp, std::pair<TKivColor, TKivColor>> markers[] = {
      {lpBreakpointActive, {Colors.BreakpointLineBg, Colors.BreakpointLineColor}},
      {lpFrameTop, {Colors.DebugFrameTopLineBg, Colors.DebugFrameTopLineColor}},
      {lpFrameActive, {Colors.DebugFrameActiveLineBg, Colors.DebugFrameActiveLineColor}}};
  // A printed page shows no breakpoint or debugger colours.
  for (const auto& [prop, colors] : markers)
    if (!printing && Has(props, prop)) {
      lc.Marker = true;
      lc.MarkerBg = colors.first;
      lc.MarkerText = colors.second;
    }
  lc.Frame = Has(props, lpFrame);
  lc.LineAttrs.BackgroundColor = Colors.Color;
  lc.LineAttrs.TextColor = Colors.FontColor;
  lc.LineAttrs.FontStyle = Settings.FontStyle;
  if (!printing && OnGetLineAttributes) {
    OnGetLineAttributes(scrollLine, lc.LineAttrs, lc.OverrideTokens);
    info = &ACache.GetScreenLine(AScreenLine);  // the handler may have made the screen lay out again
  }
  const bool lineHasBg = (lc.LineAttrs.AttributesSet & asBackgroundColor) != 0;
  const bool lineHasText = (lc.LineAttrs.AttributesSet & asTextColor) != 0;
  lc.ReadOnly = Settings.ReadOnly || ACache.Document().ReadOnly();

  // The selection, ordered, in scroll coordinates.
  bool selAvail = false, block = false;
  TKivPoint selS, selE;
  Integer blockL = 0, blockR = 0;
  if (!printing) {
    selAvail = ACache.SelAvail();
    if (selAvail) {
      ACache.SelectionN(selS, selE);
      block = ACache.SelBlockMode();
      blockL = std::min(selS.X, selE.X);
      blockR = std::max(selS.X, selE.X);
    }
  }
  const bool inSelRows = selAvail && scrollLine >= selS.Y && scrollLine <= selE.Y;
  lc.SelectedLine =
      !printing && Settings.HighlightSelectedLine && scrollLine == ACache.CursorPos().Y && !inSelRows;

  // The background of a run without its own (true when there is one).
  const auto lineBg = [&](TKivColor& AColor) {
    if (printing) return false;
    if (lc.Frame) {
      AColor = Colors.DebugFrameLineBg;
      return true;
    }
    if (lineHasBg) return false;
    if (lc.ReadOnly) {
      AColor = Colors.ReadOnlyBgColor;
      return true;
    }
    if (lc.SelectedLine) {
      AColor = Colors.SelectedLineBg;
      return true;
    }
    return false;
  };
  // The background of the space after the text.
  const auto restBg = [&]() {
    if (printing) return lc.LineAttrs.BackgroundColor;
    if (lc.Marker) return lc.MarkerBg;
    TKivColor c = lc.LineAttrs.BackgroundColor;
    lineBg(c);
    return c;
  };
  const auto addSelection = [&](TKivPrepTextItem& AItem, Integer AStart, Integer ACount) {
    TKivPrepSelection s;
    s.Attrs = lc.Marker ? MakeAttrs(lc.MarkerText, lc.MarkerBg, AItem.Attrs.FontStyle)
                        : MakeAttrs(Colors.SelectionBg, Colors.SelectionColor, AItem.Attrs.FontStyle);
    s.Start = AStart;
    s.Count = ACount;
    AItem.SelIndex = static_cast<Integer>(AOut.Selns.size());
    AOut.Selns.push_back(s);
  };
  const auto visible = [&](const TKivRect& R) { return R.Right > AClip.Left && R.Left < AClip.Right; };

  Integer x = KivSaturate(int64_t(ATextRect.Left) + info->ItemsXPix() - ACache.HorizScrollPixels());
  Integer column = info->ItemsX();
  for (const TChunk& chunk : info->Chunks) {
    const Integer glyphs = chunk.CharsCount();
    const Integer width = chunk.TextData ? chunk.TextData->Width() : 0;
    TKivPrepTextItem item;
    item.R = {x, ATextRect.Top, KivSatAdd(x, width), ATextRect.Bottom};
    x = item.R.Right;
    const Integer chunkCol = column;
    column = KivSatAdd(column, glyphs);
    if (!visible(item.R)) continue;
    item.Text = chunk.TextData;
    item.Charset = chunk.CharSet;

    // The run's own colours (a marker's, a debug frame's text, the line's background as a
    // fallback), before the line's attributes.
    const TKivEditAttributes& ca = chunk.Attrs;
    bool hasBg = false, hasText = false;
    TKivColor bg = 0, text = 0;
    if (lc.Marker) {
      hasBg = hasText = true;
      bg = lc.MarkerBg;
      text = lc.MarkerText;
    } else {
      if ((ca.AttributesSet & asBackgroundColor) && (printing || ca.BackgroundColor != Colors.Color)) {
        hasBg = true;
        bg = ca.BackgroundColor;
      } else {
        hasBg = lineBg(bg);
      }
      if (ca.AttributesSet & asTextColor) {
        hasText = true;
        text = ca.TextColor;
      } else if (lc.Frame && !printing) {
        hasText = true;
        text = Colors.DebugFrameLineColor;
      }
    }
    // The line's attributes where the run has none, or over the tokens when asked.
    const bool overrideRun = lc.OverrideTokens && chunk.AttrsWeight == 0;
    const TKivFontStyles fs = (ca.AttributesSet & asFontStyle)
                                  ? TKivFontStyles(ca.FontStyle | lc.LineAttrs.FontStyle)
                                  : lc.LineAttrs.FontStyle;
    const TKivColor finalText = ((overrideRun && lineHasText) || !hasText) ? lc.LineAttrs.TextColor : text;
    const TKivColor finalBg = ((overrideRun && lineHasBg) || !hasBg) ? lc.LineAttrs.BackgroundColor : bg;
    item.Attrs = MakeAttrs(finalBg, finalText, fs);

    // The selected glyphs of the run, for the second pass.
    if (inSelRows && glyphs > 0) {
      Integer from, to;
      if (block) {
        from = std::max(chunkCol, blockL);
        to = std::min(column, blockR);
      } else {
        from = scrollLine == selS.Y ? std::max(chunkCol, selS.X) : chunkCol;
        to = scrollLine == selE.Y ? std::min(column, selE.X) : column;
      }
      if (to > from) addSelection(item, from - chunkCol, to - from);
    }
    AOut.Items.push_back(std::move(item));
  }

  // The space after the text.
  const TKivColor rest = restBg();
  const auto addFill = [&](Integer ALeft, Integer ARight, bool ASelected) {
    TKivPrepTextItem item;
    item.R = {ALeft, ATextRect.Top, ARight, ATextRect.Bottom};
    if (item.R.IsEmpty() || !visible(item.R)) return;
    item.Attrs = MakeAttrs(rest, lc.LineAttrs.TextColor, lc.LineAttrs.FontStyle);
    if (ASelected) addSelection(item, 0, 0);
    AOut.Items.push_back(std::move(item));
  };
  if (block && inSelRows) {
    Integer leftLead, leftTrail, rightLead, rightTrail;
    ACache.ScreenPosToScreenPixNew({blockL, AScreenLine}, leftLead, leftTrail);
    ACache.ScreenPosToScreenPixNew({blockR, AScreenLine}, rightLead, rightTrail);
    const Integer blockLeft = std::max(x, KivSatAdd(ATextRect.Left, std::min(leftLead, leftTrail)));
    const Integer blockRight =
        std::max(blockLeft, KivSatAdd(ATextRect.Left, std::min(rightLead, rightTrail)));
    addFill(x, blockLeft, false);
    addFill(blockLeft, blockRight, true);
    x = blockRight;
  }
  addFill(x, std::max(x, ATextRect.Right), false);
}

void TKivEditPainter::DrawPrepared(IKivPaintSurface& ACanvas, const TKivPreparedText& AText,
                                   const TKivRect& ATextRect) {
  const auto wholly = [&](const TKivPrepTextItem& AItem) {
    if (AItem.SelIndex < 0) return false;
    if (!AItem.Text) return true;
    const TKivPrepSelection& s = AText.Selns[static_cast<size_t>(AItem.SelIndex)];
    return s.Start == 0 && s.Count >= AItem.Text->CharCount();
  };
  const auto fillRect = [&](const TKivPrepTextItem& AItem) {
    TKivRect r = AItem.R;
    r.Left = std::max(r.Left, ATextRect.Left);
    return r;
  };
  // Pass one: what is not wholly selected.
  FClip.clear();
  for (const TKivPrepTextItem& item : AText.Items)
    if (!wholly(item)) ACanvas.FillRect(fillRect(item), item.Attrs.BackgroundColor);
  for (const TKivPrepTextItem& item : AText.Items) {
    if (item.Text && !wholly(item))
      ACanvas.DrawText({item.R.Left, item.R.Top}, item.Text->Chars(), item.Text->SSA(), item.Attrs.TextColor,
                       item.Attrs.FontStyle, item.Charset, ATextRect);
    if (item.SelIndex < 0) continue;
    const TKivPrepSelection& s = AText.Selns[static_cast<size_t>(item.SelIndex)];
    const auto addArea = [&](Integer ALeft, Integer ARight) {
      const TKivRect r{std::max(ALeft, ATextRect.Left), item.R.Top, std::min(ARight, ATextRect.Right),
                       item.R.Bottom};
      if (!r.IsEmpty()) FClip.push_back(r);
    };
    if (!item.Text) {
      addArea(item.R.Left, item.R.Right);
      continue;
    }
    for (const TKivTextArea& a : item.Text->GetRangeArea(s.Start, s.Count))
      addArea(KivSatAdd(item.R.Left, std::min(a.Leading, a.Trailing)),
              KivSatAdd(item.R.Left, std::max(a.Leading, a.Trailing)));
  }
  if (FClip.empty()) return;
  // Pass two: the selected glyphs, clipped to their areas.
  ACanvas.SetClipRects(FClip);
  for (const TKivPrepTextItem& item : AText.Items) {
    if (item.SelIndex < 0) continue;
    const TKivPrepSelection& s = AText.Selns[static_cast<size_t>(item.SelIndex)];
    ACanvas.FillRect(fillRect(item), s.Attrs.BackgroundColor);
    if (item.Text)
      ACanvas.DrawText({item.R.Left, item.R.Top}, item.Text->Chars(), item.Text->SSA(), s.Attrs.TextColor,
                       s.Attrs.FontStyle, item.Charset, ATextRect);
  }
  ACanvas.ClearClip();
}

void TKivEditPainter::PaintWrapRuler(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas,
                                     const TKivRect& ATextRect) {
  TScreenCache& ACache = CacheOf(AScreen);
  if (Settings.Printing || !Settings.ShowWrapRuler) return;
  const Integer column = ACache.WrapWidth() - ACache.HorizScroll();
  if (column <= 0) return;
  const Integer x = KivSatAdd(ATextRect.Left, KivSatMul(column, ACache.SpaceCharW()));
  if (x < ATextRect.Right) ACanvas.VLine(x, ATextRect.Top, ATextRect.Bottom, Colors.WrapRulerColor);
}

void TKivEditPainter::PaintLine(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas, Integer AScreenLine,
                                const TKivRect& ATextRect, const TKivRect& AClip) {
  TScreenCache& ACache = CacheOf(AScreen);
  PrepareLine(ACache, AScreenLine, ATextRect, AClip, FPrepared);
  DrawPrepared(ACanvas, FPrepared, ATextRect);
  PaintWrapRuler(ACache, ACanvas, ATextRect);
}

// ---- the gutter ----

TKivPreparedGutter TKivEditPainter::PrepareGutter(Integer AClientLeft) const {
  TKivPreparedGutter g;
  Integer left = AClientLeft;
  for (size_t i = 0; i < Gutter.Bars.size(); ++i) {
    const TKivGutterBarInfo& b = Gutter.Bars[i];
    if (!b.Visible) continue;
    const Integer right = KivSatAdd(left, b.FullWidth());
    g.Bars.push_back({static_cast<Integer>(i), left, right});
    left = right;
  }
  return g;
}

void TKivEditPainter::PaintLineNumber(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas, Integer AScreenLine,
                                      const TKivGutterBarInfo& ABar, const TKivRect& ARect) {
  TScreenCache& ACache = CacheOf(AScreen);
  // A printed page has its own colours: the page's background and the printing font's colour.
  const bool printing = Settings.Printing;
  ACanvas.FillRect(ARect, printing ? Colors.Color : Gutter.LinesBarBg);
  if (AScreenLine < 0) return;
  const TKivRect inner = Inner(ABar, ARect);
  const TScreenLineInfo& info = ACache.GetScreenLine(AScreenLine);
  const bool firstRow = Has(info.ScrollInfo.VisProps, lpFirstWrap);
  if (!firstRow && !Settings.Printing) {
    if (Gutter.PaintWrapsOnLineNumberBar) ACanvas.DrawImage(giWrap, inner);
    return;
  }
  const Integer number = info.ScrollInfo.PhysicalLine + 1;
  const Integer interval = std::max<Integer>(Gutter.LineNumberingInterval, 1);
  TKivString text;
  TKivFontCharset charset = kivDefaultCharset;
  if (firstRow && (number == 1 || number % interval == 0)) {
    const std::string digits = std::to_string(number);
    text.assign(digits.begin(), digits.end());
  } else {
    text = TKivString(1, SpecialChars ? SpecialChars->ShowChar(skLineNumberBullet)
                                      : TKivSpecialChars::DefaultChar(skLineNumberBullet));
    if (SpecialChars && SpecialChars->UseCharset()) charset = SpecialChars->Charset();
  }
  const Integer x = inner.Right - TextWidth(ACache, text, charset);
  ACanvas.DrawText({x, inner.Top}, text, nullptr, printing ? Colors.FontColor : Gutter.LinesBarTextColor, 0,
                   charset, ARect);
}

void TKivEditPainter::PaintGutterBar(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas, Integer AScreenLine,
                                     const TKivGutterBarInfo& ABar, const TKivRect& ARect) {
  TScreenCache& ACache = CacheOf(AScreen);
  if (ABar.Kind == gbLineNumberBar) return PaintLineNumber(ACache, ACanvas, AScreenLine, ABar, ARect);
  static constexpr TKivColor TKivGutterPaintSettings::*bgOf[] = {
      &TKivGutterPaintSettings::BookmarksBarBg, &TKivGutterPaintSettings::BookmarksBarBg,
      &TKivGutterPaintSettings::LinesBarBg,     &TKivGutterPaintSettings::FoldsBarBg,
      &TKivGutterPaintSettings::BookmarksBarBg, &TKivGutterPaintSettings::CustomBarBg};
  ACanvas.FillRect(ARect, Gutter.*bgOf[std::min<size_t>(ABar.Kind, gbCustom)]);
  if (AScreenLine < 0) return;
  const TKivRect inner = Inner(ABar, ARect);
  const TScreenLineInfo& info = ACache.GetScreenLine(AScreenLine);
  const TKivScreenLineProps props = info.ScrollInfo.VisProps;
  const bool firstRow = Has(props, lpFirstWrap);
  switch (ABar.Kind) {
    case gbBookmarkBar: {
      if (!firstRow || !Has(props, lpBookmark)) break;
      ACanvas.DrawImage(giBookmark, inner);
      TKivEditDocument& doc = ACache.Document();
      const IKivMarkRef mark = doc.Bookmarks()->GetLastLineMark(info.ScrollInfo.PhysicalLine);
      if (mark && IsIntegerName(mark->Name()))
        ACanvas.DrawText({inner.Left + 2, inner.Top + 1}, mark->Name(), nullptr, Gutter.BookmarksBarTextColor,
                         0, kivDefaultCharset, ARect);
      break;
    }
    case gbBreakpointBar: {
      if (!firstRow) break;
      if (Has(props, lpBreakpointActive))
        ACanvas.DrawImage(giBreakpointActive, inner);
      else if (Has(props, lpBreakpointDisabled))
        ACanvas.DrawImage(giBreakpointDisabled, inner);
      else if (Has(props, lpBreakpointInactive))
        ACanvas.DrawImage(giBreakpointInactive, inner);
      if (Has(props, lpFrameActive))
        ACanvas.DrawImage(giFrameActive, inner);
      else if (Has(props, lpFrameTop))
        ACanvas.DrawImage(giFrameTop, inner);
      else if (Has(props, lpFrame) && ACanvas.HasImage(giFrame))
        ACanvas.DrawImage(giFrame, inner);
      break;
    }
    case gbFoldBar: {
      const Integer cx = (inner.Left + inner.Right) / 2;
      if (firstRow && Has(props, lpCollapsedFold)) {
        ACanvas.DrawImage(giFoldPlus, inner);
      } else if (firstRow && Has(props, lpFoldStart)) {
        ACanvas.DrawImage(giFoldMinus, inner);
      } else if (Has(props, lpFoldEnd) && Has(props, lpLastWrap)) {
        if (ACanvas.HasImage(giFoldEnd)) {
          ACanvas.DrawImage(giFoldEnd, inner);
        } else {
          const Integer cy = (ARect.Top + ARect.Bottom) / 2;
          ACanvas.VLine(cx, ARect.Top, cy + 1, Gutter.FoldsBarLineColor);
          ACanvas.HLine(cx, inner.Right, cy, Gutter.FoldsBarLineColor);
        }
      } else {
        ACanvas.VLine(cx, ARect.Top, ARect.Bottom, Gutter.FoldsBarLineColor);
      }
      break;
    }
    case gbWrapBar:
      if (!firstRow) ACanvas.DrawImage(giWrap, inner);
      break;
    default:
      break;
  }
}

// ---- the window ----

void TKivEditPainter::Paint(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas, const TKivRect& AClient,
                            const TKivRect& AClipBox) {
  TScreenCache& ACache = CacheOf(AScreen);
  if (Settings.LineHeight < 1)
    throw EKivEditViewError(u"Bad line height: %d. It should be greater than zero", {Settings.LineHeight});
  const Integer lh = Settings.LineHeight;
  const TKivPreparedGutter gutter = PrepareGutter(AClient.Left);
  FLastGutterWidth = Gutter.Width();
  const Integer textLeft = KivSatAdd(AClient.Left, FLastGutterWidth);
  const Integer rows = ACache.LinesOnScreenScroll();
  const int64_t rowCount = (int64_t(AClient.Height()) + lh - 1) / lh;
  for (int64_t i = 0; i < rowCount; ++i) {
    const Integer top = KivSaturate(AClient.Top + i * lh);
    const TKivRect lineRect{AClient.Left, top, AClient.Right, KivSatAdd(top, lh)};
    if (!lineRect.Intersects(AClipBox)) continue;
    const Integer screenLine = i < rows ? static_cast<Integer>(i) : -1;
    for (const TKivPrepGutterBar& pb : gutter.Bars) {
      const TKivGutterBarInfo& bar = Gutter.Bars[static_cast<size_t>(pb.Bar)];
      const TKivRect r{pb.Left, lineRect.Top, pb.Right, lineRect.Bottom};
      bool painted = false;
      if (bar.Kind == gbCustom && OnGutterPaint && screenLine >= 0) {
        TKivGutterPaintParams params;
        params.ScreenLine = screenLine;
        params.Bar = &bar;
        params.BarIndex = pb.Bar;
        params.Canvas = &ACanvas;
        params.Rect = r;
        params.DefaultPainter = [&, screenLine] { PaintGutterBar(ACache, ACanvas, screenLine, bar, r); };
        ACanvas.Save();
        if (ChangesLock) ++*ChangesLock;
        try {
          OnGutterPaint(params, painted);
        } catch (...) {
          if (ChangesLock) --*ChangesLock;
          ACanvas.Restore();
          throw;
        }
        if (ChangesLock) --*ChangesLock;
        ACanvas.Restore();
      }
      if (!painted) PaintGutterBar(ACache, ACanvas, screenLine, bar, r);
    }
    const TKivRect textRect{textLeft, lineRect.Top, std::max(textLeft, AClient.Right), lineRect.Bottom};
    if (textRect.IsEmpty()) continue;
    if (screenLine >= 0) {
      PaintLine(ACache, ACanvas, screenLine, textRect, AClipBox);
    } else {
      ACanvas.FillRect(textRect, Colors.Color);
      PaintWrapRuler(ACache, ACanvas, textRect);
    }
  }
}

void TKivEditPainter::InvalidateAfterChange(TKivScreenLayout& AScreen, IKivInvalidateTarget& ATarget,
                                            const TKivRect& AClient, bool AFullRepaint) {
  TScreenCache& ACache = CacheOf(AScreen);
  // The width last painted or invalidated with (none before the first).
  const Integer gutterWidth = Gutter.Width();
  const bool gutterChanged = FLastGutterWidth >= 0 && gutterWidth != FLastGutterWidth;
  FLastGutterWidth = gutterWidth;
  const Integer rows = ACache.LinesOnScreenScroll();
  if (AFullRepaint || gutterChanged) {
    ATarget.InvalidateAll();
  } else {
    const Integer lh = std::max<Integer>(Settings.LineHeight, 1);
    const Integer count = std::max(rows, ACache.OldLinesOnScreenScroll());
    // Rows gone from the screen are drawn again as empty space.
    const auto dirty = [&](Integer ALine) { return ALine >= rows || ACache.IsScreenLineDirty(ALine); };
    for (Integer i = 0; i < count;) {
      if (!dirty(i)) {
        ++i;
        continue;
      }
      Integer j = i + 1;
      while (j < count && dirty(j)) ++j;
      ATarget.Invalidate({AClient.Left, KivSatAdd(AClient.Top, KivSatMul(i, lh)), AClient.Right,
                          KivSatAdd(AClient.Top, KivSatMul(j, lh))});
      i = j;
    }
  }
  ACache.ClearDirtyLines();
}

void TKivEditPainter::InvalidateScrollLine(TKivScreenLayout& AScreen, IKivInvalidateTarget& ATarget,
                                           const TKivRect& AClient, Integer AScrollLine) {
  TScreenCache& ACache = CacheOf(AScreen);
  if (!ACache.IsScrollInScreenYBounds(AScrollLine)) return;
  const Integer lh = std::max<Integer>(Settings.LineHeight, 1);
  const Integer i = AScrollLine - ACache.FirstLineScroll();
  ATarget.Invalidate({AClient.Left, KivSatAdd(AClient.Top, KivSatMul(i, lh)), AClient.Right,
                      KivSatAdd(AClient.Top, KivSatMul(i + 1, lh))});
}
