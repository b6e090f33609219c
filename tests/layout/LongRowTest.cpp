// Long rows without wrapping are laid out only around the window: a keystroke in the middle of a
// long line builds a bounded part of its row, and a cache doing so answers every position,
// hit-test and paint as a from-scratch cache laying out every row in full.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <random>

#include "KivTestSeed.h"
#include "LayoutHarness.h"

namespace {

constexpr Integer kFull = std::numeric_limits<Integer>::max();

// The picture left in the text area: per row and pixel column the background and the glyph (and
// which of its pixels) covering it, after fills, glyphs and clip rectangles in order. Two layouts
// that paint the same picture give the same text, however their runs are cut or overdrawn.
class PixelPicture : public IKivPaintSurface {
 public:
  PixelPicture(FixedMeasure& AMeasure, const TKivRect& AText) : FMeasure(AMeasure), FText(AText) {}
  void FillRect(const TKivRect& ARect, TKivColor AColor) override {
    for (Integer x = std::max(ARect.Left, FText.Left); x < std::min(ARect.Right, FText.Right); ++x)
      if (Visible(x)) Pix(ARect.Top, x) = {AColor, 0, 0, 0, 0};
  }
  void DrawText(const TKivPoint& APos, TKivStringView AText, const IKivShapedRun* AShaped, TKivColor AColor,
                TKivFontStyles AFs, TKivFontCharset ACharset, const TKivRect&) override {
    Integer x = APos.X;
    for (size_t i = 0; i < AText.size(); ++i) {
      Integer a = x, b = x + FMeasure.CharWidth(AText[i], AFs, ACharset);
      if (AShaped) {
        const TKivTextArea area = AShaped->CharArea(static_cast<Integer>(i));
        a = APos.X + std::min(area.Leading, area.Trailing);
        b = APos.X + std::max(area.Leading, area.Trailing);
      }
      x += FMeasure.CharWidth(AText[i], AFs, ACharset);
      for (Integer p = std::max(a, FText.Left); p < std::min(b, FText.Right); ++p)
        if (Visible(p)) {
          TPixel& cell = Pix(APos.Y, p);
          cell = {cell.Bg, uint32_t(AText[i]) << 8 | uint32_t(p - a), AColor, AFs, ACharset};
        }
    }
  }
  void SetClipRects(const std::vector<TKivRect>& ARects) override { FClip = ARects; }
  void ClearClip() override { FClip.clear(); }
  void VLine(Integer AX, Integer, Integer, TKivColor) override { Lines += " v" + std::to_string(AX); }
  void HLine(Integer, Integer, Integer, TKivColor) override {}
  bool HasImage(TKivGutterImage) override { return true; }
  void DrawImage(TKivGutterImage, const TKivRect&) override {}
  void Save() override {}
  void Restore() override {}

  bool operator==(const PixelPicture& AOther) const { return FRows == AOther.FRows && Lines == AOther.Lines; }

  // Runs of equal pixels per row.
  std::string Text() const {
    std::string s = Lines + "\n";
    for (const auto& [y, row] : FRows) {
      s += "y" + std::to_string(y) + ":";
      for (size_t i = 0; i < row.size();) {
        size_t j = i;
        while (j < row.size() && row[j] == row[i]) ++j;
        const TPixel& p = row[i];
        s += " " + std::to_string(FText.Left + Integer(i)) + "x" + std::to_string(j - i) + " " +
             RecordingPainter::ColorText(p.Bg);
        if (p.Glyph)
          s += " U+" + std::to_string(p.Glyph >> 8) + "." + std::to_string(p.Glyph & 255) +
               RecordingPainter::ColorText(p.Color) + "b" + std::to_string(p.Fs) + "c" + std::to_string(p.Cs);
        i = j;
      }
      s += "\n";
    }
    return s;
  }

 private:
  bool Visible(Integer AX) const {
    if (AX < FText.Left || AX >= FText.Right) return false;
    if (FClip.empty()) return true;
    for (const TKivRect& r : FClip)
      if (AX >= r.Left && AX < r.Right) return true;
    return false;
  }
  struct TPixel {
    TKivColor Bg;
    uint32_t Glyph;  // code unit << 8 | the glyph's pixel; 0: none
    TKivColor Color;
    TKivFontStyles Fs;
    TKivFontCharset Cs;
    friend bool operator==(const TPixel&, const TPixel&) = default;
  };
  TPixel& Pix(Integer AY, Integer AX) {
    auto& row = FRows[AY];
    row.resize(static_cast<size_t>(FText.Width()), TPixel{0xFFFFFFFF, 0, 0, 0, 0});
    return row[static_cast<size_t>(AX - FText.Left)];
  }
  FixedMeasure& FMeasure;
  TKivRect FText;
  std::vector<TKivRect> FClip;
  std::map<Integer, std::vector<TPixel>> FRows;
  std::string Lines;
};

TKivString Piece(std::mt19937& ARng) {
  // No plain space: the engine gives it the space width in every style, the runs' text measures
  // it in the run's style, and the fake's bold adds pixels.
  static const char16_t* pieces[] = {u"abc",    u"de",      u"\t",     u"W",     u"x.y(",
                                     u"\u05D0\u05D1\u05D2", u"e\u0301", u"\u4E2D", u"\u200B", u"fghij"};
  return pieces[ARng() % std::size(pieces)];
}

TKivString LongText(std::mt19937& ARng, Integer AChars) {
  TKivString s;
  while (static_cast<Integer>(s.size()) < AChars) s += Piece(ARng);
  return s;
}

std::string Cell(bool AOk, Integer A, Integer B) {
  return (AOk ? "+" : "-") + std::to_string(A) + "/" + std::to_string(B) + " ";
}

// Positions, hit-tests and the painted picture of the screen, and engine answers for AOffsets.
std::string Answers(LayoutHarness& AH, TScreenCache& C, const std::vector<Integer>& AOffsets) {
  std::string s = "top " + std::to_string(C.FirstLineScroll()) + " cursor " + std::to_string(C.CursorPos().X) +
                  "," + std::to_string(C.CursorPos().Y) + "\n";
  const Integer w = C.ScreenWidthPixels(), hs = C.HorizScroll();
  for (Integer i = 0; i < C.LinesOnScreenScroll(); ++i) {
    const TScreenLineInfo& l = C.GetScreenLine(i);
    Integer xs, xc;
    C.GetScreenLineXBounds(i, xs, xc);
    const Integer lastX = C.GetScreenLineLastX(i);
    s += "row " + std::to_string(l.ScrollInfo.ContentSegment.Start) + "+" +
         std::to_string(l.ScrollInfo.ContentSegment.Count) + " p" + std::to_string(l.ScrollInfo.VisProps) +
         " xb " + std::to_string(xs) + "," + std::to_string(xc) + " x " + std::to_string(C.GetScreenLineFirstX(i)) +
         "-" + std::to_string(lastX) + " w" + std::to_string(l.StartWordOff) + "-" +
         std::to_string(l.EndWordOff) + "\n cols ";
    for (Integer x : {Integer(0), Integer(1), hs - 7, hs - 1, hs, hs + 1, hs + 5, hs + 11, hs + 30, 2 * hs + 17,
                      lastX - 1, lastX, lastX + 3}) {
      if (x < 0) continue;
      Integer a, b;
      const bool on = C.ScreenPosToScreenPix({x, i}, a, b, false);
      s += Cell(on, a, b);
      const bool onNew = C.ScreenPosToScreenPixNew({x, i}, a, b);
      s += Cell(onNew, a, b);
    }
    s += "\n pix ";
    for (Integer p : {-w, -3, 0, 4, 9, w / 3, w / 2 + 1, w - 1, w + 6, 2 * w + 13, 7 * w}) {
      bool trailing = false;
      s += std::to_string(C.ScreenPixToScreenPos(p, i)) + ":" +
           std::to_string(C.ScreenPixToScreenPosNew(p, i, trailing)) + (trailing ? "t " : " ");
    }
    s += "\n";
  }
  s += "engine ";
  for (Integer o : AOffsets) {
    if (o > AH.Doc.CharsCount()) continue;
    try {
      const TKivPoint p = C.OffsetToScroll(o);
      const TOffsetPoint back = C.ScrollPtToOffsetPt({p.X + 2, p.Y});
      s += std::to_string(p.X) + "," + std::to_string(p.Y) + ">" + std::to_string(back.Offset) + "." +
           std::to_string(back.InCharOffset) + " " + std::to_string(C.ScreenPixToScrollPos(p.X * 3, p.Y)) + " ";
    } catch (const EKivEditViewError&) {
      s += "hidden ";
    }
  }
  return s + "\n";
}

// The picture a painter leaves of the cache's screen.
std::unique_ptr<PixelPicture> Picture(LayoutHarness& AH, TScreenCache& C, TKivEditPainter& APainter) {
  const TKivRect client{0, 0, APainter.Gutter.Width() + C.ScreenWidthPixels(), C.ScreenHeightLines() * 16};
  const TKivRect text{APainter.Gutter.Width(), 0, client.Right, client.Bottom};
  auto picture = std::make_unique<PixelPicture>(AH.Measure, text);
  APainter.Paint(C, *picture, client, client);
  return picture;
}

}  // namespace

// Before, the row of a long line was laid out in full on every change: one offset item and one
// glyph per character of the line. Now the part is bounded also where no place to cut is near (a
// line of one shaped script).
TEST(LongRow, AKeystrokeInALongLineLaysOutOnlyAroundTheWindow) {
  std::mt19937 rng(7);
  const struct {
    const char* Name;
    TKivString Line;
  } cases[] = {
      {"code with tabs", LongText(rng, 200000)},
      {"right to left only", TKivString(200000, u'\u05D1')},
      {"cyrillic", TKivString(200000, u'\u0436')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    LayoutHarness h(u"first\r\n" + c.Line + u"\r\nlast\r\n", wmNoWrap, 80, 8);
    h.Cache->SetScreenSize(400, 5);
    const Integer mid = h.Doc.GetLineStart(1) + 100000;
    const TKivPoint at = h.Cache->OffsetToScroll(mid);
    h.Cache->SetHorizScroll(at.X - 10);
    for (int k = 0; k < 3; ++k) {
      h.Doc.Insert(mid, u"x");
      h.Cache->UpdateLayout();
      const TScreenLineInfo& row = h.Cache->GetScreenLine(1);
      size_t glyphs = 0;
      for (const TChunk& chunk : row.Chunks) glyphs += chunk.Chars.size();
      // The window is 40 columns; with a margin of its width on each side, tabs, wide glyphs and
      // the look for a place to cut, a few hundred offsets at most.
      EXPECT_LT(row.Offsets.size(), 1000u);
      EXPECT_LT(glyphs, 2000u);
      Integer a, b;
      // The typed character is on screen where the engine puts it.
      const TKivPoint pos = h.Cache->OffsetToScroll(mid);
      EXPECT_TRUE(h.Cache->ScreenPosToScreenPix({pos.X, 1}, a, b, true));
      EXPECT_EQ(h.Cache->GetScreenLineLastX(1), h.Cache->OffsetToScroll(h.Doc.GetLineEnd(1)).X);
    }
  }
}

TEST(LongRow, PartialLayoutAnswersAndPaintsAsAFullOneThroughEditsAndScrolls) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 8; ++round) {
    TKivString text;
    const int lines = 3 + int(rng() % 5);
    for (int i = 0; i < lines; ++i) {
      text += LongText(rng, i % 2 ? 200 + Integer(rng() % 1500) : Integer(rng() % 12));
      text += u"\r\n";
    }
    LayoutHarness h(text, wmNoWrap, 80, 2 + Integer(rng() % 7));
    h.Measure.Override(u'W', 20);
    h.Measure.Override(u'\u4E2D', 20);
    h.Measure.Override(u'\u0301', 0);
    h.Measure.Override(u'\u200B', 0);
    h.Measure.SetBoldExtra(3);
    TKivEditAttributes bold;
    bold.AttributesSet = asFontStyle | asBackgroundColor;
    bold.FontStyle = fsBold;
    bold.BackgroundColor = 0x00FFEE;
    h.Cache->SetHighlightAttrs(bold, true);
    h.Cache->ResetPreserve();
    const Integer margins[] = {0, 5, 40, -1};
    h.Cache->SetLongRowLayout(32, margins[rng() % std::size(margins)]);
    h.Cache->SetScreenSize(60 + Integer(rng() % 240), 2 + Integer(rng() % 6));
    TKivEditPainter painter;
    painter.Settings.HighlightSelectedLine = true;
    for (int step = 0; step < 40; ++step) {
      const Integer count = h.Doc.CharsCount();
      std::string what;
      switch (rng() % 9) {
        case 0:
        case 1: {
          const Integer at = Integer(rng() % (count + 1));
          h.Doc.Insert(at, rng() % 8 ? Piece(rng) : TKivString(u"\r\n"));
          what = "insert at " + std::to_string(at);
          break;
        }
        case 2: {
          if (count == 0) break;
          const Integer at = Integer(rng() % count);
          h.Doc.Delete(at, std::min<Integer>(1 + Integer(rng() % 5), count - at));
          what = "delete at " + std::to_string(at);
          break;
        }
        case 3:
        case 4:
          h.Cache->SetHorizScroll(Integer(rng() % 900));
          what = "hscroll " + std::to_string(h.Cache->HorizScroll());
          break;
        case 5:
          h.Cache->Scroll(Integer(rng() % 5) - 2);
          what = "scroll";
          break;
        case 6: {
          const Integer at = Integer(rng() % (count + 1));
          h.Cache->SetCursorOffset({h.Cache->GetNearestValidOffset(at), Integer(rng() % 3)});
          if (rng() % 2)
            h.Cache->SetSelection(TOffsetPoint{h.Cache->GetNearestValidOffset(Integer(rng() % (count + 1))), 0},
                                  h.Cache->CursorOffset(), rng() % 3 == 0);
          what = "cursor";
          break;
        }
        case 7: {
          if (count == 0) break;
          const Integer at = Integer(rng() % count);
          const Integer n = std::min<Integer>(1 + Integer(rng() % 40), count - at);
          if (rng() % 2)
            h.Cache->AddHighlight(at, n);
          else
            h.Cache->RemoveHighlight(at, n);
          what = "highlight";
          break;
        }
        case 8: {
          const Integer line = Integer(rng() % h.Doc.LinesCount());
          if (h.Cache->IsCollapsedFold(line)) {
            h.Cache->ExpandLines(line);
          } else if (line + 1 < h.Doc.LinesCount() && h.Cache->CollapsedEnd(line) < 0 && rng() % 2) {
            try {
              h.Cache->CollapseLines(line, line + 1);
            } catch (const EKivEditViewError&) {
            }
          }
          what = "fold";
          break;
        }
      }
      std::vector<Integer> offsets;
      for (int k = 0; k < 6; ++k) offsets.push_back(Integer(rng() % (h.Doc.CharsCount() + 1)));
      auto fresh = h.FreshCache();
      fresh->SetLongRowLayout(kFull, -1);
      fresh->SetScreenSize(h.Cache->ScreenWidthPixels(), h.Cache->ScreenHeightLines());
      fresh->SetFirstLineAsScroll(h.Cache->FirstLineScroll());
      fresh->SetHorizScroll(h.Cache->HorizScroll());
      fresh->SetSelection(h.Cache->SelStartOffset(), h.Cache->SelEndOffset(), h.Cache->SelBlockMode());
      fresh->SetCursorOffset(h.Cache->CursorOffset(), scBackward, h.Cache->SelBlockMode());
      fresh->SetSelection(h.Cache->SelStartOffset(), h.Cache->SelEndOffset(), h.Cache->SelBlockMode());
      ASSERT_EQ(Answers(h, *h.Cache, offsets), Answers(h, *fresh, offsets))
          << "round " << round << " step " << step << " after " << what;
      const auto mine = Picture(h, *h.Cache, painter), theirs = Picture(h, *fresh, painter);
      ASSERT_TRUE(*mine == *theirs) << "round " << round << " step " << step << " after " << what << "\n"
                                    << mine->Text() << "---\n"
                                    << theirs->Text();
    }
  }
}
