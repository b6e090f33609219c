// The painter against the recording surface: 10 px glyphs, rows of 16 px, gutter off unless a
// test sets bars.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "KivSedPainter.h"
#include "LayoutHarness.h"

namespace {

struct PaintFixture {
  explicit PaintFixture(TKivStringView AText, TKivViewWrapMode AMode = wmNoWrap, Integer ARuler = 80)
      : H(AText, AMode, ARuler) {
    P.Gutter.Bars.clear();
  }

  // The ops of screen row AY (with the gutter when bars are set).
  std::string Row(Integer AY) {
    RecordingPainter r;
    P.Paint(*H.Cache, r, Client(), {0, AY * 16, Client().Right, AY * 16 + 16});
    return r.Text();
  }
  TKivRect Client() const { return {0, 0, H.Cache->ScreenWidthPixels() + P.Gutter.Width(), 20 * 16}; }

  LayoutHarness H;
  TKivEditPainter P;
};

TKivEditAttributes Attrs(TKivEditAttributesSet ASet, TKivColor AText, TKivColor ABg, TKivFontStyles AFs = 0) {
  TKivEditAttributes a;
  a.AttributesSet = ASet;
  a.TextColor = AText;
  a.BackgroundColor = ABg;
  a.FontStyle = AFs;
  return a;
}

size_t Count(const std::string& AText, const std::string& AWhat) {
  size_t n = 0;
  for (size_t p = AText.find(AWhat); p != std::string::npos; p = AText.find(AWhat, p + 1)) ++n;
  return n;
}

TEST(Painter, SelectedLineBackgroundAlsoPastTheTextUnlessSelecting) {
  PaintFixture f(u"ab\r\ncd\r\nef");
  f.P.Settings.HighlightSelectedLine = true;
  f.H.Cache->SetCursorPos({1, 1});
  EXPECT_EQ(f.Row(1), "fill(0,16,20,32,#E6FFFA) fill(20,16,800,32,#E6FFFA) text(0,16,\"cd\",#000000,b0)");
  EXPECT_EQ(f.Row(0), "fill(0,0,20,16,#FFFFFF) fill(20,0,800,16,#FFFFFF) text(0,0,\"ab\",#000000,b0)");
  f.H.Cache->SetSelection(TKivPoint{0, 0}, TKivPoint{1, 1});
  EXPECT_EQ(f.Row(1).find("E6FFFA"), std::string::npos) << f.Row(1);
  // Outside the selected rows the cursor's line is highlighted again.
  f.H.Cache->SetSelection(TKivPoint{0, 0}, TKivPoint{1, 0});
  f.H.Cache->SetCursorPos({0, 2});
  EXPECT_EQ(Count(f.Row(2), "#E6FFFA"), 2u);
}

TEST(Painter, BreakpointLineSwapsColoursInTheSelectionAndClipsPassTwo) {
  PaintFixture f(u"abcd");
  f.H.Doc.Breakpoints()->CreateLineMark(0);
  f.H.Cache->ScreenMarkersChanged();
  f.H.Cache->SetSelection(TOffsetPoint{1, 0}, TOffsetPoint{3, 0});
  EXPECT_EQ(
      f.Row(0),
      "fill(0,0,40,16,#FFC7C7) fill(40,0,800,16,#FFC7C7) text(0,0,\"abcd\",#000000,b0) clip[(10,0,30,16)] "
      "fill(0,0,40,16,#000000) text(0,0,\"abcd\",#FFC7C7,b0) noclip");
}

TEST(Painter, ReadOnlyBackgroundReplacesTheViewColourOnly) {
  PaintFixture f(u"abcd");
  f.H.Parser->SetTokens(
      0, {{0, 2, Attrs(asBackgroundColor, 0, 0xFFFFFF)}, {2, 2, Attrs(asBackgroundColor, 0, 0xFF0000)}});
  f.H.Cache->ResetPreserve();
  f.H.Doc.SetReadOnly(true);
  EXPECT_EQ(f.Row(0),
            "fill(0,0,20,16,#C0C0C0) fill(20,0,40,16,#FF0000) fill(40,0,800,16,#C0C0C0) "
            "text(0,0,\"ab\",#000000,b0) text(20,0,\"cd\",#000000,b0)");
  f.H.Doc.SetReadOnly(false);
  f.P.Settings.ReadOnly = true;
  EXPECT_EQ(f.Row(0).rfind("fill(0,0,20,16,#C0C0C0)", 0), 0u);
  // A line background of the event wins over the read-only colour.
  f.P.OnGetLineAttributes = [](Integer, TKivEditAttributes& A, bool&) {
    A.BackgroundColor = 0x123456;
    A.AttributesSet |= asBackgroundColor;
  };
  EXPECT_EQ(f.Row(0).rfind("fill(0,0,20,16,#123456) fill(20,0,40,16,#FF0000) fill(40,0,800,16,#123456)", 0),
            0u);
}

TEST(Painter, OverrideTokensLeavesHighlightsAlone) {
  PaintFixture f(u"hello world");
  f.H.Parser->SetTokens(0, {{0, 5, Attrs(asTextColor, 0x00FF00, 0)}});
  f.H.Cache->AddHighlight(6, 5);
  std::vector<Integer> asked;
  f.P.OnGetLineAttributes = [&](Integer ALine, TKivEditAttributes& A, bool& AOverride) {
    asked.push_back(ALine);
    EXPECT_EQ(A.AttributesSet, 0);
    EXPECT_EQ(A.BackgroundColor, 0xFFFFFFu);
    A.TextColor = 0x0000FF;
    A.AttributesSet |= asTextColor;
    AOverride = true;
  };
  const std::string row = f.Row(0);
  EXPECT_NE(row.find("text(0,0,\"hello\",#0000FF,b0)"), std::string::npos) << row;
  EXPECT_NE(row.find("fill(60,0,110,16,#00FFFF)"), std::string::npos) << row;
  EXPECT_EQ(asked, std::vector<Integer>{0});
  // Without the override the token keeps its colour.
  f.P.OnGetLineAttributes = [](Integer, TKivEditAttributes& A, bool&) {
    A.TextColor = 0x0000FF;
    A.AttributesSet |= asTextColor;
  };
  EXPECT_NE(f.Row(0).find("text(0,0,\"hello\",#00FF00,b0)"), std::string::npos);
}

TEST(Painter, WrapRulerFollowsTheHorizontalScroll) {
  PaintFixture f(u"abc");
  f.H.Cache->SetScreenSize(1000, 20);
  f.P.Settings.ShowWrapRuler = true;
  EXPECT_NE(f.Row(0).find("vline(800,0,16,#808080)"), std::string::npos) << f.Row(0);
  // Rows past the text show it too.
  EXPECT_NE(f.Row(5).find("vline(800,80,96,#808080)"), std::string::npos) << f.Row(5);
  f.H.Cache->SetHorizScroll(80);
  EXPECT_EQ(f.Row(0).find("vline"), std::string::npos);
  f.H.Cache->SetHorizScroll(79);
  EXPECT_NE(f.Row(0).find("vline(10,0,16,#808080)"), std::string::npos);
  f.P.Settings.Printing = true;
  EXPECT_EQ(f.Row(0).find("vline"), std::string::npos);
}

TEST(Painter, CollapsedFoldEndsWithTheFoldedGlyph) {
  PaintFixture f(u"ab{\r\nx\r\n}\r\nz");
  f.H.Parser->AddFold(0, 2);
  f.H.Cache->CollapseLines(0, 2);
  EXPECT_NE(f.Row(0).find("text(0,0,\"ab{\",#000000,b0) text(30,0,\"\u2026\",#000000,b0)"), std::string::npos)
      << f.Row(0);
  EXPECT_NE(f.Row(1).find("\"z\""), std::string::npos);
}

TEST(Painter, RightToLeftPartialSelectionClipsTheShapedGlyphs) {
  // Positions 2..4 are laid out right to left: x 40, 30, 20.
  PaintFixture f(u"ab\u05D0\u05D1\u05D2cd");
  f.H.Cache->SetSelection(TOffsetPoint{3, 0}, TOffsetPoint{5, 0});
  const std::string row = f.Row(0);
  EXPECT_NE(row.find("clip[(20,0,40,16)]"), std::string::npos) << row;
}

TEST(Painter, BlockSelectionPastTheText) {
  PaintFixture f(u"ab\r\nabcdef");
  f.H.Cache->SetSelection(TKivPoint{4, 0}, TKivPoint{6, 1}, true);
  EXPECT_EQ(f.Row(0),
            "fill(0,0,20,16,#FFFFFF) fill(20,0,40,16,#FFFFFF) fill(60,0,800,16,#FFFFFF) "
            "text(0,0,\"ab\",#000000,b0) clip[(40,0,60,16)] fill(40,0,60,16,#A56D53) noclip")
      << "a space before the block, the block, the rest";
  EXPECT_EQ(f.Row(1),
            "fill(0,16,60,32,#FFFFFF) fill(60,16,800,32,#FFFFFF) text(0,16,\"abcdef\",#000000,b0) "
            "clip[(40,16,60,32)] fill(0,16,60,32,#A56D53) text(0,16,\"abcdef\",#FFFFFF,b0) noclip");
}

TEST(Painter, LineNumbersEveryIntervalAndWrapImagesOnContinuationRows) {
  TKivString text;
  for (int i = 0; i < 25; ++i) text += u"line\r\n";
  text.resize(text.size() - 2);
  PaintFixture f(text);
  f.H.Cache->SetScreenSize(800, 30);
  f.P.Gutter.Bars = {{gbLineNumberBar, 30, 2, 2}};
  RecordingPainter r;
  f.P.Paint(*f.H.Cache, r, {0, 0, 834, 25 * 16}, {0, 0, 34, 25 * 16});
  std::vector<std::string> numbers;
  for (const std::string& op : r.Ops)
    if (op.rfind("text(", 0) == 0) numbers.push_back(op);
  ASSERT_EQ(numbers.size(), 25u);
  EXPECT_EQ(numbers[0], "text(22,0,\"1\",#CC9999,b0)");
  EXPECT_EQ(numbers[1], "text(22,16,\"\u00B7\",#CC9999,b0)");
  EXPECT_EQ(numbers[9], "text(12,144,\"10\",#CC9999,b0)");
  EXPECT_EQ(numbers[19], "text(12,304,\"20\",#CC9999,b0)");
  EXPECT_EQ(Count(r.Text(), "\"\u00B7\""), 22u);
  // An interval below 1 writes every number.
  f.P.Gutter.LineNumberingInterval = 0;
  r.Ops.clear();
  f.P.Paint(*f.H.Cache, r, {0, 0, 834, 25 * 16}, {0, 0, 34, 25 * 16});
  EXPECT_EQ(Count(r.Text(), "\"\u00B7\""), 0u);

  PaintFixture w(u"abcdefghij\r\nx", wmWrapToRuler, 4);
  w.P.Gutter.Bars = {{gbLineNumberBar, 30, 2, 2}};
  EXPECT_EQ(w.Row(0).rfind("fill(0,0,34,16,#F4F4F4) text(22,0,\"1\",#CC9999,b0) ", 0), 0u) << w.Row(0);
  EXPECT_EQ(w.Row(1).rfind("fill(0,16,34,32,#F4F4F4) image(10,2,16,32,32)", 0), 0u) << w.Row(1);
  w.P.Gutter.PaintWrapsOnLineNumberBar = false;
  EXPECT_EQ(w.Row(1).find("image"), std::string::npos);
  EXPECT_EQ(w.Row(3).rfind("fill(0,48,34,64,#F4F4F4) fill(34,48", 0), 0u) << w.Row(3);
  EXPECT_NE(w.Row(4).find("\"\u00B7\""), std::string::npos) << "line 2 is not a multiple of 10";
}

TEST(Painter, CustomBarsAskTheHandlerUnderTheChangeLock) {
  PaintFixture f(u"a\r\nb");
  f.P.Gutter.Bars = {{gbCustom, 10, 0, 0}, {gbFoldBar, 10, 0, 0, false}, {gbCustom, 10, 0, 0}};
  Integer lock = 0;
  f.P.ChangesLock = &lock;
  std::vector<std::string> calls;
  f.P.OnGutterPaint = [&](const TKivGutterPaintParams& AParams, bool& APaintOk) {
    EXPECT_EQ(lock, 1);
    calls.push_back(std::to_string(AParams.ScreenLine) + ":" + std::to_string(AParams.BarIndex) + ":" +
                    std::to_string(AParams.Rect.Left));
    if (AParams.BarIndex == 0) {
      AParams.Canvas->FillRect(AParams.Rect, 0x111111);
      APaintOk = true;
    }
  };
  EXPECT_EQ(
      f.Row(1).rfind("save fill(0,16,10,32,#111111) restore save restore fill(10,16,20,32,#F4F4F4) ", 0), 0u)
      << "the second bar painted by default";
  EXPECT_EQ(calls, (std::vector<std::string>{"1:0:0", "1:2:10"}));
  EXPECT_EQ(lock, 0);
  // A raising handler leaves the lock and the surface as they were.
  f.P.OnGutterPaint = [](const TKivGutterPaintParams&, bool&) {
    throw EKivEditViewError(u"View is locked for changes");
  };
  RecordingPainter r;
  EXPECT_THROW(f.P.Paint(*f.H.Cache, r, f.Client(), f.Client()), EKivEditViewError);
  EXPECT_EQ(lock, 0);
  EXPECT_EQ(r.Text(), "save restore");
}

TEST(Painter, RowsPastTheTextAreFilledWithoutScreenLines) {
  PaintFixture f(u"a\r\nb");
  f.P.Gutter = TKivGutterPaintSettings();
  RecordingPainter r;
  f.P.Paint(*f.H.Cache, r, f.Client(), {0, 32, 10, 48});
  EXPECT_EQ(r.Text(),
            "fill(0,32,18,48,#D8E9EC) fill(18,32,36,48,#D8E9EC) fill(36,32,54,48,#F4F4F4) "
            "fill(54,32,72,48,#F4F4F4) fill(72,32,872,48,#FFFFFF)");
  // A bad line height paints nothing.
  f.P.Settings.LineHeight = 0;
  r.Ops.clear();
  EXPECT_EQ(ViewErrorOf([&] { f.P.Paint(*f.H.Cache, r, f.Client(), f.Client()); }),
            "Bad line height: 0. It should be greater than zero");
  EXPECT_TRUE(r.Ops.empty());
}

TEST(Painter, InvalidatesDirtyRowsAfterAChange) {
  TKivString text;
  for (int i = 0; i < 8; ++i) text += u"line\r\n";
  PaintFixture f(text);
  FakeViewHost& host = f.H.Host;
  const TKivRect client = f.Client();
  const auto change = [&](const std::function<void()>& AChange) {
    host.Log.clear();
    f.H.Cache->ResetStatusChanges();
    AChange();
    f.H.Cache->UpdateLayout();
    f.P.InvalidateAfterChange(*f.H.Cache, host, client, false);
    std::string s;
    for (const std::string& l : host.Log) s += (s.empty() ? "" : " ") + l;
    return s;
  };
  change([] {});
  f.H.Cache->SetCursorPos({0, 2});
  change([] {});
  EXPECT_EQ(change([&] {
              f.H.Cache->SetCursorPos({0, 5});
            }),
            "invalidate(0,32,800,48) invalidate(0,80,800,96)");
  EXPECT_EQ(change([&] { f.H.Doc.Insert(f.H.Doc.GetLineStart(3) + 1, u"x"); }), "invalidate(0,48,800,64)");
  EXPECT_EQ(change([] {}), "");
  EXPECT_EQ(change([&] { f.P.Gutter.Bars = {{gbFoldBar}}; }), "invalidateAll");
  // Rows gone from the screen are repainted as empty space.
  EXPECT_EQ(change([&] {
              f.H.Doc.Delete(f.H.Doc.GetLineStart(7), f.H.Doc.CharsCount() - f.H.Doc.GetLineStart(7));
            }),
            "invalidate(0,112,800,144)");
  host.Log.clear();
  f.P.InvalidateScrollLine(*f.H.Cache, host, client, 4);
  f.P.InvalidateScrollLine(*f.H.Cache, host, client, 40);
  EXPECT_EQ(host.Log, std::vector<std::string>{"invalidate(0,64,800,80)"});
  // A painter that has only painted so far knows its gutter's width too.
  TKivEditPainter fresh;
  RecordingPainter r;
  fresh.Paint(*f.H.Cache, r, client, {0, 0, 1, 1});
  fresh.Gutter.Bars.pop_back();
  host.Log.clear();
  fresh.InvalidateAfterChange(*f.H.Cache, host, client, false);
  EXPECT_EQ(host.Log, std::vector<std::string>{"invalidateAll"});
}

}  // namespace

// ---- the golden screen ----
//
// A small document with tokens, a selection, a breakpoint, a numbered bookmark, an open and a
// collapsed fold and shown special characters, painted with the default gutter. After an
// intended change of the painting, write the file again with
//   KIV_WRITE_GOLDEN=1 build/default/tests/layout_tests --gtest_filter='PainterGolden.*'
// and review its diff.
namespace {

const std::string kGoldenFile = std::string(KIV_TEST_DATA_DIR) + "/painter_screen.golden";

std::string GoldenScreen() {
  PaintFixture f(u"int main() {\r\n\treturn f(1);\r\n}\r\nvoid f(int x) {\r\n  x++;\r\n}\r\n// end",
                 wmNoWrap);
  f.P.Gutter = TKivGutterPaintSettings();
  f.P.SpecialChars = &f.H.SpecChars;
  f.P.Settings.HighlightSelectedLine = true;
  f.P.Settings.ShowWrapRuler = true;
  f.H.SpecChars.SetShowCharKinds({skTabHead, skSpace, skCRLF, skFoldedLineEnd});
  f.H.Cache->SpecialCharsChanged();
  f.H.Cache->SetScreenSize(300, 8);
  f.H.Cache->SetWrapWidth(24);
  f.H.Parser->SetTokens(0, {{0, 3, Attrs(asTextColor | asFontStyle, 0xFF0000, 0, fsBold), 2}});
  f.H.Parser->SetTokens(6, {{0, 6, Attrs(asTextColor | asBackgroundColor, 0x008000, 0xF0F0F0), 3}});
  f.H.Parser->AddFold(0, 2);
  f.H.Parser->AddFold(3, 5);
  f.H.Cache->CollapseLines(3, 5);
  f.H.Doc.Breakpoints()->CreateLineMark(1);
  f.H.Doc.Bookmarks()->CreateLineMark(6)->SetName(u"3");
  f.H.Cache->ScreenMarkersChanged();
  f.H.Cache->SetSelection(TOffsetPoint{4, 0}, TOffsetPoint{20, 0});
  f.H.Cache->SetCursorOffset(TOffsetPoint{f.H.Doc.GetLineStart(6) + 2, 0});
  RecordingPainter r;
  const TKivRect client{0, 0, 300 + f.P.Gutter.Width(), 5 * 16};
  f.P.Paint(*f.H.Cache, r, client, client);
  std::string s;
  for (const std::string& op : r.Ops) s += op + "\n";
  return s;
}

TEST(PainterGolden, SmallScreenMatchesItsFile) {
  const std::string actual = GoldenScreen();
  if (std::getenv("KIV_WRITE_GOLDEN")) {
    std::ofstream(kGoldenFile, std::ios::binary) << actual;
    GTEST_SKIP() << "wrote " << kGoldenFile;
  }
  std::ifstream in(kGoldenFile, std::ios::binary);
  ASSERT_TRUE(in) << kGoldenFile << " is missing";
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(actual, expected.str());
}

}  // namespace

namespace {

// Breakpoint and debugger-frame lines: the later of breakpoint, top frame and active frame
// colours the line; a plain frame only gives runs without colours of their own its colours.
TEST(Painter, MarkerLineColours) {
  struct TCase {
    bool Breakpoint;
    std::vector<TKivDebugFrameKind> Frames;
    std::string Expected;  // the text op and the rest fill
  } cases[] = {
      {true, {}, "text(0,0,\"ab\",#000001,b0) fill(20,0,800,16,#0000B1)"},
      {true, {fkFrameTop}, "text(0,0,\"ab\",#000002,b0) fill(20,0,800,16,#0000B2)"},
      {true, {fkFrameTop, fkFrameActive}, "text(0,0,\"ab\",#000003,b0) fill(20,0,800,16,#0000B3)"},
      {false, {fkFrame}, "text(0,0,\"ab\",#000004,b0) fill(20,0,800,16,#0000B4)"},
      {false, {}, "text(0,0,\"ab\",#000000,b0) fill(20,0,800,16,#FFFFFF)"},
  };
  for (const TCase& c : cases) {
    PaintFixture f(u"ab");
    f.P.Colors.BreakpointLineColor = 1;
    f.P.Colors.BreakpointLineBg = 0xB1;
    f.P.Colors.DebugFrameTopLineColor = 2;
    f.P.Colors.DebugFrameTopLineBg = 0xB2;
    f.P.Colors.DebugFrameActiveLineColor = 3;
    f.P.Colors.DebugFrameActiveLineBg = 0xB3;
    f.P.Colors.DebugFrameLineColor = 4;
    f.P.Colors.DebugFrameLineBg = 0xB4;
    if (c.Breakpoint) f.H.Doc.Breakpoints()->CreateLineMark(0);
    for (TKivDebugFrameKind k : c.Frames)
      f.H.Doc.SetDebugFrameKind(f.H.Doc.DebugFrameLines()->CreateLineMark(0), k);
    f.H.Cache->ScreenMarkersChanged();
    const std::string row = f.Row(0);
    EXPECT_NE(row.find(c.Expected.substr(0, c.Expected.find(" fill"))), std::string::npos) << row;
    EXPECT_NE(row.find(c.Expected.substr(c.Expected.find(" fill") + 1)), std::string::npos) << row;
  }
}

// A printed row: no selection, no cursor line, no breakpoint colours, no event, and a token's own
// background is kept even when it equals the page colour.
TEST(Painter, PrintingDrawsOnlyTheText) {
  PaintFixture f(u"abcd");
  f.H.Parser->SetTokens(0, {{0, 2, Attrs(asBackgroundColor, 0, 0xFFFFFF)}});
  f.H.Cache->ResetPreserve();
  f.P.Colors.Color = 0xEEEEEE;
  f.H.Cache->SetSelection(TOffsetPoint{1, 0}, TOffsetPoint{3, 0});
  f.H.Doc.Breakpoints()->CreateLineMark(0);
  f.H.Cache->ScreenMarkersChanged();
  f.P.Settings.Printing = true;
  f.P.Settings.HighlightSelectedLine = true;
  f.P.Settings.ReadOnly = true;
  bool asked = false;
  f.P.OnGetLineAttributes = [&](Integer, TKivEditAttributes&, bool&) { asked = true; };
  RecordingPainter r;
  f.P.PaintLine(*f.H.Cache, r, 0, {0, 0, 800, 16}, {0, 0, 800, 16});
  EXPECT_FALSE(asked);
  EXPECT_EQ(r.Text(),
            "fill(0,0,20,16,#FFFFFF) fill(20,0,40,16,#EEEEEE) fill(40,0,800,16,#EEEEEE) "
            "text(0,0,\"ab\",#000000,b0) text(20,0,\"cd\",#000000,b0)");
}

}  // namespace
