// The wrapping engine: rows of a physical line, from a row start to the next.
//
// A row is found in one pass that stops at the first character that does not fit; the row then
// ends after its last break point. A second pass over the row (never beyond its end, so nothing
// is rolled back) gives the state of a target character or the row's chunks.
#include <limits>

#include "KivSedParserNoWait.h"
#include "KivUnicode.h"
#include "internal/ScreenCache.h"

namespace {

constexpr const char* kModule = "WrapEngine";
// Offsets between the states kept inside a long line without wrapping.
constexpr Integer kLineStateInterval = 2048;
// Offsets a part of a long row looks over for a place to begin or end at.
constexpr Integer kCutSearch = 256;

// Token or highlight attributes over a base: defined colours replace, a defined style adds to
// the base style; custom attributes are not carried.
TKivEditAttributes WP_MergeAttrs(const TKivEditAttributes& ABase, const TKivEditAttributes& AOver) {
  TKivEditAttributes res;
  res.BackgroundColor =
      (AOver.AttributesSet & asBackgroundColor) ? AOver.BackgroundColor : ABase.BackgroundColor;
  res.TextColor = (AOver.AttributesSet & asTextColor) ? AOver.TextColor : ABase.TextColor;
  res.FontStyle = (AOver.AttributesSet & asFontStyle) ? TKivFontStyles(ABase.FontStyle | AOver.FontStyle)
                                                      : ABase.FontStyle;
  res.CustomAttributes = nullptr;
  res.AttributesSet =
      TKivEditAttributesSet((ABase.AttributesSet | AOver.AttributesSet) & ~asCustomAttributes);
  return res;
}

bool SameLook(const TKivEditAttributes& A, const TKivEditAttributes& B) {
  return A.BackgroundColor == B.BackgroundColor && A.TextColor == B.TextColor && A.FontStyle == B.FontStyle &&
         A.AttributesSet == B.AttributesSet;
}

struct TLineToken {
  Integer Start;
  Integer End;
  TKivEditAttributes Attrs;  // merged over the defaults
};

class TTokenCollector : public TKivTokenHandler {
 public:
  TTokenCollector(std::vector<TLineToken>& ATokens, const TKivEditAttributes& ADefaults)
      : FTokens(ATokens), FDefaults(ADefaults) {}
  void HandleToken(const TKivSegment& ASeg, Integer, const TKivEditAttributes& AAttrs) override {
    if (ASeg.Count <= 0) return;
    if (!FTokens.empty() && ASeg.Start < FTokens.back().End) return;  // out of order: ignored
    FTokens.push_back({ASeg.Start, ASeg.Start + ASeg.Count, WP_MergeAttrs(FDefaults, AAttrs)});
  }

 private:
  std::vector<TLineToken>& FTokens;
  const TKivEditAttributes& FDefaults;
};

}  // namespace

// One run of the engine over the document: the current line's context and the two row passes.
class TWrapRun {
 public:
  explicit TWrapRun(TScreenCache& ACache)
      : C(ACache),
        FDoc(ACache.Document()),
        FChars(FDoc.Chars()),
        FLinesCount(FDoc.LinesCount()),
        FWrapW(ACache.EffectiveWrapWidth()),
        FNoWrap(ACache.NoWrap()),
        FTabW(ACache.FTabWidth) {
    const TKivStringView tab = C.SpecialCharsSeg(skTabTail);
    FTabCharset = C.SpecialCharsCharset(skTabTail);
    FTailGlyph = tab.front();
    FHeadGlyph = tab.back();
    FSpaceShown = C.IsShown(skSpace);
    FSpaceGlyph = C.SpecialCharsSeg(skSpace).front();
    FSpaceCharset = C.SpecialCharsCharset(skSpace);
    FWrapGlyphW = C.IsShown(skLineWrap)
                      ? GlyphsWidth(C.SpecialCharsSeg(skLineWrap), 0, C.SpecialCharsCharset(skLineWrap))
                      : 0;
    FHighlights = C.FHighlightUse && C.FHighlights.RangesCnt() > 0;
  }

  Integer LinesCount() const { return FLinesCount; }
  bool NoWrap() const { return FNoWrap; }

  // The row start (or, without wrapping, any state) of line ALine's first character.
  TWrapParserState LineStartState(Integer ALine, Integer AY) const {
    TWrapParserState s;
    s.PhysLine = ALine;
    s.Y = AY;
    if (ALine >= FLinesCount) {
      s.Offset = FDoc.CharsCount();
      s.IsTail = true;
    } else {
      s.Offset = FDoc.GetLineStart(ALine);
    }
    s.Y_OffsetStart = s.Offset;
    return s;
  }

  struct TRowEnd {
    Integer Next = 0;      // offset where the next row starts (for a row ending its line: the line end)
    bool EndsLine = true;  // the row holds the line end (always without wrapping)
    Integer EndX = 0;      // column and pixel after the row's last character
    Integer EndXPix = 0;
  };

  // Where the row starting at AStart ends.
  TRowEnd FindRowEnd(const TWrapParserState& AStart) {
    if (FNoWrap) {  // a row is its whole line
      SetupLine(AStart.PhysLine);
      return {FLineEnd, true, 0, 0};
    }
    return Walk<false>(AStart, -1, [](const TWrapParserState&) { return false; });
  }

  // Visits the states of the row from AStart up to offset AStop (exclusive; the line end is visited
  // when the row holds it), or, with AStop -1, until the first character that does not fit.
  // AVisit returns true to stop early.
  template <bool kVisit = true, class F>
  TRowEnd Walk(const TWrapParserState& AStart, Integer AStop, F&& AVisit) {
    SetupLine(AStart.PhysLine);
    TWrapParserState st = AStart;
    st.IsTail = false;
    int64_t xpix = AStart.XPix;
    Integer lastBreak = -1;
    bool sepSeen = false;
    SeekAttrs(st.Offset);
    // Without wrapping, states inside a long line are kept every kLineStateInterval offsets.
    Integer nextKept = std::numeric_limits<Integer>::max();
    if (kVisit && FNoWrap && FLineEnd - FLineStart > kLineStateInterval)
      nextKept = FLineStart + ((st.Offset - FLineStart) / kLineStateInterval + 1) * kLineStateInterval;
    for (;;) {
      const Integer o = st.Offset;
      const bool tail = o >= FLineEnd;
      const bool first = o == st.Y_OffsetStart;
      Integer cells = 1, pix;
      Char ch = 0;
      if (tail) {
        pix = FEndW;
      } else {
        ch = FChars.GetChar(o);
        AdvanceAttrs(o);
        pix = CharPix(ch, st.X, cells);
      }
      if (AStop < 0 && !FNoWrap && !first && xpix + pix >= FWrapW) {
        KIV_ASSERT(lastBreak >= st.Y_OffsetStart, kModule);
        return {lastBreak + 1, false, 0, 0};  // the columns are not needed by the finder
      }
      if (AStop >= 0 && o >= AStop) return {o, false, st.X, KivSaturate(xpix)};
      const bool stable =
          FNoWrap || first ||
          (xpix + pix + FWrapGlyphW < FWrapW && o < FLineEnd - 2 && (!sepSeen || C.IsRowSeparator(ch)));
      if (stable) {
        lastBreak = o;
        if (!tail && !sepSeen && C.IsRowSeparator(ch)) sepSeen = true;
      }
      if constexpr (!kVisit) {
        if (tail) return {o, true, 0, 0};
        st.Offset = o + 1;
        st.X = KivSatAdd(st.X, cells);
        xpix += pix;
        continue;
      }
      st.XPix = KivSaturate(xpix);
      st.VisWidth = cells;
      st.PixWidth = pix;
      st.IsTail = tail;
      st.IsTab = ch == u'\t' && !tail;
      st.IsStable = stable;
      st.Attrs = tail ? TailAttrs(o) : FAttrs;
      st.AttrsWeight = tail ? FTailWeight : FWeight;
      st.HighlightIdx = FHlIdx;
      if (o == nextKept) {
        if (!tail) C.FWPCache.AddLineState(st);
        nextKept += kLineStateInterval;
      }
      if (AVisit(st)) return {o, tail, st.X, st.XPix};
      if (tail) return {o, true, KivSatAdd(st.X, 1), KivSaturate(xpix + pix)};
      st.Offset = o + 1;
      st.X = KivSatAdd(st.X, cells);
      xpix += pix;
    }
  }

  // The row start after a row that started at AStart and ended as AEnd says.
  TWrapParserState NextRowStart(const TWrapParserState& AStart, const TRowEnd& AEnd) const {
    const Integer foldEnd = C.CollapsedEnd(AStart.PhysLine);
    if (foldEnd >= 0) return LineStartState(foldEnd + 1, AStart.Y + 1);  // one row shows the fold
    if (AEnd.EndsLine) return LineStartState(AStart.PhysLine + 1, AStart.Y + 1);
    TWrapParserState s;
    s.Offset = AEnd.Next;
    s.Y_OffsetStart = AEnd.Next;
    s.Y = AStart.Y + 1;
    s.PhysLine = AStart.PhysLine;
    return s;
  }

  // Glyphs drawn for the character of state AState (not the line end), with their charset.
  TKivStringView Glyphs(const TWrapParserState& AState, Char ACh, TKivFontCharset& ACharset,
                        bool& AMergeable) {
    AMergeable = true;
    if (AState.IsTab) {
      const TKivStringView seg = C.SpecialCharsSeg(skTabTail);
      ACharset = FTabCharset;
      AMergeable = false;
      return seg.substr(seg.size() - std::min<size_t>(seg.size(), AState.VisWidth));
    }
    if (ACh == u' ' && FSpaceShown) {
      ACharset = FSpaceCharset;
      return C.SpecialCharsSeg(skSpace);
    }
    ACharset = C.FFontCharset;
    FOneChar = ACh;
    return {&FOneChar, 1};
  }

  TKivStringView EndGlyphs() const { return FEndGlyphs; }
  TKivFontCharset EndCharset() const { return FEndCharset; }
  // The folded-line-end glyph of the current line (none unless it is collapsed and the kind shown).
  TKivStringView FoldGlyphs() const { return FFoldGlyphs; }
  TKivCharSeq& Chars() { return FChars; }

 private:
  Integer GlyphsWidth(TKivStringView AGlyphs, TKivFontStyles AFs, TKivFontCharset ACharset) {
    Integer w = 0;
    for (Char g : AGlyphs) w = KivSatAdd(w, C.FMeasure.GetCharWidth(g, AFs, ACharset));
    return w;
  }

  Integer CharPix(Char ACh, Integer AX, Integer& ACells) {
    const TKivFontStyles fs = FAttrs.FontStyle;
    if (ACh == u'\t') {
      ACells = FTabW - AX % FTabW;
      const Integer tail = C.FMeasure.GetCharWidth(FTailGlyph, fs, FTabCharset);
      const Integer head = C.FMeasure.GetCharWidth(FHeadGlyph, fs, FTabCharset);
      return KivSatAdd(KivSatMul(ACells - 1, tail), head);
    }
    ACells = 1;
    if (ACh == u' ')
      return FSpaceShown ? C.FMeasure.GetCharWidth(FSpaceGlyph, fs, FSpaceCharset) : C.FSpaceCharW;
    return C.FMeasure.GetCharWidth(ACh, fs, C.FFontCharset);
  }

  void SetupLine(Integer ALine) {
    if (ALine == FLine) return;
    KIV_ASSERT(ALine >= 0 && ALine < FLinesCount, kModule);
    FLine = ALine;
    const TKivSegment seg = FDoc.GetLine(ALine);
    FLineStart = seg.Start;
    FLineEnd = seg.Start + seg.Count;
    FEndGlyphs = {};
    FEndCharset = 0;
    TKivLineSeparator sep;
    if (FDoc.GetLineEndKind(ALine, sep)) {
      const TKivSpecialCharKind kind = sep == lsCR ? skCR : sep == lsLF ? skLF : skCRLF;
      if (C.IsShown(kind)) {
        FEndGlyphs = C.SpecialCharsSeg(kind);
        FEndCharset = C.SpecialCharsCharset(kind);
      }
    }
    FFoldGlyphs = {};
    if (C.CollapsedEnd(ALine) >= 0 && C.IsShown(skFoldedLineEnd))
      FFoldGlyphs = C.SpecialCharsSeg(skFoldedLineEnd);
    FEndW = std::max(KivSatAdd(GlyphsWidth(FEndGlyphs, 0, FEndCharset),
                               GlyphsWidth(FFoldGlyphs, 0, C.SpecialCharsCharset(skFoldedLineEnd))),
                     C.FSpaceCharW);
    FTokens.clear();
    TTokenCollector collector(FTokens, C.FDefaultAttrs);
    if (TKivEditParserBase* parser = FDoc.GetParser()) {
      IKivEditParserNoWait* noWait = C.MayGuessTokens() ? KivParserNoWait(parser) : nullptr;
      if (noWait)
        noWait->MarkTokensNoWait(ALine, collector);
      else
        parser->MarkTokens(ALine, collector);
    }
  }

  // Positions the token and highlight cursors at AOffset (any direction).
  void SeekAttrs(Integer AOffset) {
    FTokIdx =
        static_cast<size_t>(std::upper_bound(FTokens.begin(), FTokens.end(), AOffset,
                                             [](Integer AOff, const TLineToken& t) { return AOff < t.End; }) -
                            FTokens.begin());
    FHlIdx = FHighlights ? C.FHighlights.FindRangeIdx(AOffset) : 0;
    FAttrsFor = -1;
    FAttrsUntil = -1;
  }

  // The attributes of AOffset, moving the cursors forward.
  // The attributes of AOffset, moving the cursors forward; they hold up to FAttrsUntil.
  void AdvanceAttrs(Integer AOffset) {
    if (AOffset >= FAttrsFor && AOffset < FAttrsUntil) return;
    FAttrsFor = AOffset;
    while (FTokIdx < FTokens.size() && FTokens[FTokIdx].End <= AOffset) ++FTokIdx;
    const bool inToken = FTokIdx < FTokens.size() && FTokens[FTokIdx].Start <= AOffset;
    const TKivEditAttributes& base = inToken ? FTokens[FTokIdx].Attrs : C.FDefaultAttrs;
    FAttrsUntil = FTokIdx < FTokens.size() ? (inToken ? FTokens[FTokIdx].End : FTokens[FTokIdx].Start)
                                           : std::numeric_limits<Integer>::max();
    FWeight = InHighlight(AOffset) ? 1 : 0;
    if (FHighlights && FHlIdx < C.FHighlights.RangesCnt()) {
      const TSARange& r = C.FHighlights.GetRanges()[FHlIdx];
      FAttrsUntil = std::min(FAttrsUntil, FWeight ? r.End() : r.Start);
    }
    FAttrs = FWeight ? WP_MergeAttrs(base, C.FHighlightAttrs) : base;
  }

  bool InHighlight(Integer AOffset) {
    if (!FHighlights) return false;
    const auto& ranges = C.FHighlights.GetRanges();
    while (FHlIdx < static_cast<Integer>(ranges.size()) && ranges[FHlIdx].End() <= AOffset) ++FHlIdx;
    return FHlIdx < static_cast<Integer>(ranges.size()) && ranges[FHlIdx].Start <= AOffset;
  }

  TKivEditAttributes TailAttrs(Integer AOffset) {
    FTailWeight = InHighlight(AOffset) ? 1 : 0;
    return FTailWeight ? WP_MergeAttrs(C.FDefaultAttrs, C.FHighlightAttrs) : C.FDefaultAttrs;
  }

  TScreenCache& C;
  TKivEditDocument& FDoc;
  TKivCharSeq& FChars;
  const Integer FLinesCount;
  const Integer FWrapW;
  const bool FNoWrap;
  const Integer FTabW;
  Char FTailGlyph, FHeadGlyph, FSpaceGlyph;
  TKivFontCharset FTabCharset, FSpaceCharset;
  bool FSpaceShown;
  Integer FWrapGlyphW;
  bool FHighlights;
  Char FOneChar = 0;

  Integer FLine = -1;
  Integer FLineStart = 0;
  Integer FLineEnd = 0;
  TKivStringView FEndGlyphs;
  TKivStringView FFoldGlyphs;
  TKivFontCharset FEndCharset = 0;
  Integer FEndW = 0;
  std::vector<TLineToken> FTokens;
  size_t FTokIdx = 0;
  Integer FHlIdx = 0;
  Integer FAttrsFor = -1;
  Integer FAttrsUntil = -1;
  TKivEditAttributes FAttrs;
  Integer FWeight = 0;
  Integer FTailWeight = 0;
};

// ---- queries ----

TWrapParserState TScreenCache::WP_InitialState() {
  TWrapParserState s;
  s.VisWidth = 0;
  s.PixWidth = 0;
  s.IsTail = true;
  s.IsStable = false;
  return s;
}

namespace {

// Runs rows forward from the row start AStart until AStop(row start, row end) holds or the text
// ends; offers each new row start as a checkpoint. Returns the row start where it stopped (the
// state after the last line when the text ended first).
template <class F>
TWrapParserState AdvanceRows(TWrapRun& ARun, TWP_Cache& ACache, TWrapParserState AStart,
                             TWrapRun::TRowEnd& AEnd, F&& AStop) {
  for (;;) {
    if (AStart.PhysLine >= ARun.LinesCount()) return AStart;
    AEnd = ARun.FindRowEnd(AStart);
    if (AStop(AStart, AEnd)) return AStart;
    AStart = ARun.NextRowStart(AStart, AEnd);
    if (AStart.PhysLine < ARun.LinesCount()) ACache.AddStateSeq(AStart, false);
  }
}

// The stop offset that walks a found row without passing its end.
Integer RowStop(const TWrapRun::TRowEnd& AEnd) {
  return AEnd.EndsLine ? -2 : AEnd.Next;
}

}  // namespace

TWrapParserState TScreenCache::WP_GetState(Integer AOffset) {
  return GetState(AOffset, false);
}

TWrapParserState TScreenCache::WP_GetStateOverFolds(Integer AOffset) {
  return GetState(AOffset, true);
}

TWrapParserState TScreenCache::GetState(Integer AOffset, bool AOverFolds) {
  TKivEditDocument& doc = Document();
  if (AOffset < 0 || AOffset > doc.CharsCount())
    throw EKivEditViewError(u"Invalid offset given to WP_GetState: %d", {AOffset});
  TWrapRun run(*this);
  TWrapParserState start;
  TWrapRun::TRowEnd end;
  if (UseLineShortcut()) {
    const Integer line = doc.GetLineByOffset(AOffset);
    if (!FWPCache.GetNearestState(AOffset, 0, 0, wpByOffset, start) || start.PhysLine != line)
      start = run.LineStartState(line, line);
    // A state a run measured (every one is a break point without wrapping); row starts kept by
    // other queries are not measured and run again.
    if (start.Offset == AOffset && start.VisWidth >= 0 && start.IsStable) return start;
  } else {
    if (!FWPCache.GetNearestState(AOffset, 0, 0, wpByOffset, start)) start = WP_InitialState();
    const auto onRow = [&](const TWrapRun::TRowEnd& E) {
      return AOffset < E.Next || (E.EndsLine && AOffset == E.Next);
    };
    start =
        AdvanceRows(run, FWPCache, start, end, [&](const TWrapParserState& S, const TWrapRun::TRowEnd& E) {
          if (onRow(E)) return true;
          if (CollapsedEnd(S.PhysLine) < 0) return false;
          // Behind a collapsed row up to the next visible row start: hidden.
          const TWrapParserState next = run.NextRowStart(S, E);
          return AOffset < next.Offset || (next.PhysLine >= run.LinesCount() && AOffset <= next.Offset);
        });
    KIV_ASSERT(start.PhysLine < run.LinesCount(), "WrapEngine");
    FWPCache.PutState(start);
    if (!onRow(end)) {  // hidden behind the collapsed row
      if (!AOverFolds)
        throw TWP_InvisibleOffsetError(u"Invisible offset given to WP_GetState: %d", {AOffset});
      start = run.NextRowStart(start, end);
      if (start.PhysLine >= run.LinesCount()) return start;
      end = run.FindRowEnd(start);
      AOffset = start.Offset;
    }
  }
  TWrapParserState res;
  run.Walk(start, RowStop(end), [&](const TWrapParserState& S) {
    if (S.Offset < AOffset && !S.IsTail) return false;
    res = S;
    return true;
  });
  if (UseLineShortcut()) FWPCache.PutState(res);
  return res;
}

TWrapParserState TScreenCache::WP_GetStateByXY(Integer AX, Integer AY, bool ACheckRow, bool AByPixels) {
  TWrapRun run(*this);
  const auto badRow = [&](Integer ARows) {
    if (ACheckRow)
      throw EKivEditViewError(u"Bad scroll line index: %d. Valid index: [%d, %d]", {AY, 0, ARows - 1});
  };
  TWrapParserState start;
  TWrapRun::TRowEnd end;
  const Integer y = std::max<Integer>(AY, 0);
  if (AY < 0) badRow(CalkVisibleCountScroll());
  if (UseLineShortcut()) {
    if (y >= run.LinesCount()) {
      badRow(run.LinesCount());
      return run.LineStartState(run.LinesCount(), run.LinesCount());
    }
    if (!FWPCache.GetNearestState(0, AX, y, AByPixels ? wpByXPixY : wpByXY, start) || start.PhysLine != y)
      start = run.LineStartState(y, y);
  } else {
    if (!FWPCache.GetNearestState(0, 0, y, wpByXY, start)) start = WP_InitialState();
    start = AdvanceRows(run, FWPCache, start, end,
                        [&](const TWrapParserState& S, const TWrapRun::TRowEnd&) { return S.Y >= y; });
    if (start.PhysLine >= run.LinesCount()) {
      badRow(start.Y);
      return start;
    }
    FWPCache.PutState(start);
    // Without wrapping, a state kept inside the row's line may be nearer.
    TWrapParserState near;
    if (NoWrap() && FWPCache.GetNearestState(0, AX, y, AByPixels ? wpByXPixY : wpByXY, near) && near.Y == y &&
        near.PhysLine == start.PhysLine && near.Offset > start.Offset)
      start = near;
  }
  TWrapParserState res = start;
  run.Walk(start, RowStop(end), [&](const TWrapParserState& S) {
    res = S;
    if (S.IsTail) return true;
    return AByPixels ? AX < KivSatAdd(S.XPix, S.PixWidth) : AX < KivSatAdd(S.X, S.VisWidth);
  });
  return res;
}

Integer TScreenCache::CalkVisibleCountScroll() {
  if (UseLineShortcut()) return Document().LinesCount();
  if (FVisibleCountScroll >= 0) return FVisibleCountScroll;
  if (NoWrap()) {  // the visible lines: no layout needed
    Integer rows = Document().LinesCount();
    for (const auto& [first, last] : ShownFolds()) rows -= last - first;
    FVisibleCountScroll = rows;
    return rows;
  }
  TWrapRun run(*this);
  TWrapParserState start;
  if (!FWPCache.GetNearestState(Document().CharsCount(), 0, 0, wpByOffset, start)) start = WP_InitialState();
  TWrapRun::TRowEnd end;
  start = AdvanceRows(run, FWPCache, start, end,
                      [](const TWrapParserState&, const TWrapRun::TRowEnd&) { return false; });
  FVisibleCountScroll = start.Y;
  return start.Y;
}

namespace {

// The content, flags and next row start of the row from AStart to AEnd.
void FillRowInfo(TScreenCache& C, TWrapRun& ARun, const TWrapParserState& AStart,
                 const TWrapRun::TRowEnd& AEnd, TScrollLineInfo& AInfo, TWrapParserState* ANext) {
  TKivEditDocument& doc = C.Document();
  const Integer line = AStart.PhysLine;
  const bool collapsed = C.CollapsedEnd(line) >= 0;
  const Integer stop = AEnd.EndsLine ? doc.GetLineEnd(line) : AEnd.Next;
  AInfo.ContentSegment = MakeSegment(AStart.Offset, stop - AStart.Offset, &ARun.Chars());
  TKivScreenLineProps props = 0;
  if (AStart.Offset == doc.GetLineStart(line)) props |= KivLineProp(lpFirstWrap);
  if (AEnd.EndsLine || collapsed) props |= KivLineProp(lpLastWrap);
  if (collapsed) props |= KivLineProp(lpCollapsedFold);
  TKivEditParserBase* parser = doc.GetParser();
  if (IKivEditParserNoWait* noWait = parser && C.MayGuessTokens() ? KivParserNoWait(parser) : nullptr)
    if (!noWait->IsLineReady(line)) parser = nullptr;  // the fold marks come with the exact tokens
  if (parser) {
    if (parser->IsFoldStart(line)) props |= KivLineProp(lpFoldStart);
    if (parser->IsFoldEnd(line)) props |= KivLineProp(lpFoldEnd);
  }
  AInfo.VisProps = props;
  if (ANext) {
    *ANext = ARun.NextRowStart(AStart, AEnd);
    if (ANext->PhysLine < ARun.LinesCount()) C.WPCache().AddStateSeq(*ANext, true);
  }
}

}  // namespace

TScrollLineInfo TScreenCache::RowInfo(const TWrapParserState& AStart, TWrapParserState* ANext) {
  TWrapRun run(*this);
  TScrollLineInfo info;
  info.PhysicalLine = AStart.PhysLine;
  if (AStart.PhysLine >= run.LinesCount()) {
    if (ANext) *ANext = AStart;
    return info;
  }
  const TWrapRun::TRowEnd end = run.FindRowEnd(AStart);
  FillRowInfo(*this, run, AStart, end, info, ANext);
  return info;
}

void TScreenCache::BuildLineChunks(const TWrapParserState& AStart, TScreenLineInfo& AInfo,
                                   TWrapParserState* ANext) {
  BuildRowChunks(AStart, AInfo, ANext, -1);
}

const TScreenLineInfo& TScreenCache::RowHolding(const TScreenLineInfo& ARow, Integer AValue, bool AByPixels,
                                                TScreenLineInfo& APart) {
  const auto start = [&](const TScreenOffsetItem& I) { return AByPixels ? I.PixX : I.VisX; };
  const std::vector<TScreenOffsetItem>& items = ARow.Offsets;
  if (!items.empty() && !(ARow.HeadCut && AValue < start(items.front())) &&
      !(ARow.TailCut && AValue >= start(items.back())))
    return ARow;
  const TWrapParserState s = WP_GetStateByXY(AValue, ARow.StartState.Y, true, AByPixels);
  BuildRowChunks(ARow.StartState, APart, nullptr, s.XPix);
  APart.Dirty = ARow.Dirty;
  return APart;
}

void TScreenCache::BuildRowChunks(const TWrapParserState& AStart, TScreenLineInfo& AInfo,
                                  TWrapParserState* ANext, Integer AAroundPix) {
  TWrapRun run(*this);
  AInfo.StartState = AStart;
  AInfo.Chunks.clear();
  AInfo.Offsets.clear();
  AInfo.ScrollInfo.PhysicalLine = AStart.PhysLine;
  AInfo.ScrollInfo.VisProps = 0;
  if (AStart.PhysLine >= run.LinesCount()) {
    AInfo.ScrollInfo.ContentSegment = TKivSegment{};
    if (ANext) *ANext = AStart;
    return;
  }
  const TWrapRun::TRowEnd end = run.FindRowEnd(AStart);
  // A long row without wrapping: only the part over the window's pixels and the margins.
  AInfo.ItemsStart = AStart.Offset;
  AInfo.HeadCut = AInfo.TailCut = false;
  TWrapParserState from = AStart;
  Integer cutPix = std::numeric_limits<Integer>::max();
  const Integer lineEnd = end.Next;
  IKivMeasureSurface* canvas = FMeasure.Canvas();
  // A code unit a part may end before or begin with: no mark, surrogate, joiner or selector, and
  // none of a script the shaper lays out as a whole.
  const auto plain = [&](Char ACh) {
    if (ACh < 0x0300) return true;
    const TKivCharCategory cat = KivCharCategory(ACh);
    if (cat == TKivCharCategory::Mn || cat == TKivCharCategory::Mc || cat == TKivCharCategory::Me ||
        cat == TKivCharCategory::Cs || ACh == 0x200C || ACh == 0x200D || (ACh >= 0xFE00 && ACh <= 0xFE0F))
      return false;
    return !canvas || !canvas->IsComplex(TKivStringView(&ACh, 1));
  };
  // Cutting before offset AOffset splits no cluster nor shaped stretch.
  const auto canCut = [&](Integer AOffset) {
    return AOffset == AStart.Offset ||
           (plain(run.Chars().GetChar(AOffset - 1)) && (AOffset >= lineEnd || plain(run.Chars().GetChar(AOffset))));
  };
  if (NoWrap() && (AAroundPix >= 0 || lineEnd - AStart.Offset > FLongRowChars)) {
    const Integer margin = FLongRowMargin < 0 ? FScreenWidthPixels : FLongRowMargin;
    // Around the window, or around one pixel (a query outside the window's part).
    const Integer from0 = AAroundPix >= 0 ? AAroundPix : FHorizScrollPixels;
    const Integer to0 =
        AAroundPix >= 0 ? KivSatAdd(AAroundPix, 1) : KivSatAdd(FHorizScrollPixels, FScreenWidthPixels);
    const Integer left = std::max<Integer>(KivSatAdd(from0, -std::max<Integer>(margin, 1)), 0);
    cutPix = KivSatAdd(to0, std::max<Integer>(margin, FSpaceCharW) + (AAroundPix >= 0 ? FScreenWidthPixels : 0));
    // The last state left of the left edge (the row start when none), from the nearest known one
    // before it: every character from the edge on is in the part, zero-width ones too.
    const auto nearest = [&](Integer AOffset, Integer APix, TWP_Condition ACond) {
      TWrapParserState known;
      if (FWPCache.GetNearestState(AOffset, APix, AStart.Y, ACond, known) && known.Y == AStart.Y &&
          known.PhysLine == AStart.PhysLine && known.Offset >= AStart.Offset)
        return known;
      return AStart;
    };
    TWrapParserState cover = AStart;
    if (left > 0) {
      cover = nearest(0, left - 1, wpByXPixY);
      run.Walk(cover, RowStop(end), [&](const TWrapParserState& S) {
        if (S.XPix >= left) return true;
        cover = S;
        return S.IsTail;
      });
    }
    // A place to cut at or before it, looked for over a bounded stretch (past it the part is cut
    // at the edge: the shaping of a stretch longer than that may differ off the window).
    const Integer lowest = std::max<Integer>(AStart.Offset, cover.Offset - kCutSearch);
    Integer cut = cover.Offset;
    while (cut > lowest && !canCut(cut)) --cut;
    if (!canCut(cut)) cut = cover.Offset;
    from = cover;
    if (cut < cover.Offset) {
      from = nearest(cut, 0, wpByOffset);
      run.Walk(from, RowStop(end), [&](const TWrapParserState& S) {
        from = S;
        return S.Offset >= cut;
      });
    }
    AInfo.ItemsStart = from.Offset;
    AInfo.HeadCut = from.Offset > AStart.Offset;
  }
  std::vector<TChunk>& chunks = AInfo.Chunks;
  const auto newChunk = [&](const TWrapParserState& S, TKivFontCharset ACharset, bool ACanMerge,
                            bool ATail) -> TChunk& {
    TChunk& c = chunks.emplace_back();
    c.Attrs = S.Attrs;
    c.AttrsWeight = S.AttrsWeight;
    c.CharSet = ACharset;
    c.StateOffset = S.Offset;
    c.CanMerge = ACanMerge;
    c.IsTail = ATail;
    return c;
  };
  TWrapParserState last;
  Integer pastCut = -1;  // the first offset at or right of the cut pixel
  const TWrapRun::TRowEnd walked = run.Walk(from, RowStop(end), [&](const TWrapParserState& S) {
    if (!S.IsTail && S.XPix >= cutPix && S.Offset > from.Offset) {
      if (pastCut < 0) pastCut = S.Offset;
      if (canCut(S.Offset) || S.Offset - pastCut >= kCutSearch) {
        AInfo.TailCut = true;
        return true;
      }
    }
    last = S;
    if (S.IsTail) {
      if (!run.EndGlyphs().empty()) {
        TChunk& c = newChunk(S, run.EndCharset(), false, true);
        c.Chars.assign(run.EndGlyphs());
        c.StateOffsetCount = 1;
      }
      if (!run.FoldGlyphs().empty()) {
        TChunk& c = newChunk(S, SpecialCharsCharset(skFoldedLineEnd), false, true);
        c.Chars.assign(run.FoldGlyphs());
        c.StateOffsetCount = run.EndGlyphs().empty() ? 1 : 0;
      }
      AInfo.Offsets.push_back(
          {S.VisWidth, S.PixWidth, S.X, S.XPix, uint8_t(soTail | (S.IsStable ? soStable : 0))});
      return true;
    }
    const Char ch = run.Chars().GetChar(S.Offset);
    TKivFontCharset charset;
    bool mergeable;
    const TKivStringView glyphs = run.Glyphs(S, ch, charset, mergeable);
    TChunk* target = chunks.empty() ? nullptr : &chunks.back();
    if (!(target && target->CanMerge && mergeable && target->CharSet == charset &&
          target->AttrsWeight == S.AttrsWeight && SameLook(target->Attrs, S.Attrs)))
      target = &newChunk(S, charset, mergeable, false);
    target->Chars.append(glyphs);
    ++target->StateOffsetCount;
    AInfo.Offsets.push_back(
        {S.VisWidth, S.PixWidth, S.X, S.XPix, uint8_t((S.IsTab ? soTab : 0) | (S.IsStable ? soStable : 0))});
    return false;
  });
  const Integer stop = end.EndsLine ? walked.Next : end.Next;
  if (!end.EndsLine) {
    AInfo.Offsets.push_back({0, 0, walked.EndX, walked.EndXPix, 0});
    // A cut row ends with the wrap glyph; the one row of a long collapsed line with the fold's.
    const bool collapsed = CollapsedEnd(AStart.PhysLine) >= 0;
    const TKivSpecialCharKind kind = collapsed ? skFoldedLineEnd : skLineWrap;
    if (IsShown(kind)) {
      TWrapParserState ws = last;
      ws.Offset = stop;
      TChunk& c = newChunk(ws, SpecialCharsCharset(kind), false, true);
      c.Attrs = FDefaultAttrs;
      c.AttrsWeight = 0;
      c.Chars.assign(SpecialCharsSeg(kind));
    }
  }
  FillRowInfo(*this, run, AStart, end, AInfo.ScrollInfo, ANext);
  for (TChunk& c : chunks) c.TextData = FMeasure.GetTextAnalysis(c.Chars, c.Attrs.FontStyle, c.CharSet);
}
