// The rows on screen, the top line through scrolling and edits, repaint tracking and pixels.
#include <gtest/gtest.h>

#include <limits>

#include "LayoutHarness.h"

namespace {

std::string PointText(const TKivPoint& P) {
  return "(" + std::to_string(P.X) + "," + std::to_string(P.Y) + ")";
}

// The screen lines marked dirty, as "2,5".
std::string DirtyRows(TScreenCache& ACache) {
  std::string s;
  for (Integer i = 0; i < ACache.LinesOnScreenScroll(); ++i)
    if (ACache.IsScreenLineDirty(i)) s += (s.empty() ? "" : ",") + std::to_string(i);
  return s;
}

// Lines "aaaa bbbb" that wrap into two rows at ruler 6.
TKivString WrappingLines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) text += i ? u"\r\naaaa bbbb" : u"aaaa bbbb";
  return text;
}

TKivString NumberedLines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\r\n";
    text += KivFromUtf8((i < 10 ? "L0" : "L") + std::to_string(i));
  }
  return text;
}

}  // namespace

TEST(ScreenLines, EmptyDocumentHasOneRow) {
  LayoutHarness h(u"", wmNoWrap);
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 1);
  EXPECT_EQ(h.Cache->PhysicalToScroll(1), 1);
  EXPECT_EQ(PointText(h.Cache->OffsetToScroll(0)), "(0,0)");
  EXPECT_EQ(h.Cache->LinesOnScreenScroll(), 1);
  EXPECT_EQ(h.Cache->GetScreenLineProps(0), KivLineProp(lpFirstWrap) | KivLineProp(lpLastWrap));
  EXPECT_EQ(PointText(h.Cache->CursorPos()), "(0,0)");
}

TEST(ScreenLines, WrappedRowsCarryTheirFlagsAndBounds) {
  LayoutHarness h(u"aaaa bbbb cc\r\nx", wmWrapToRuler, 10);
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 3);
  EXPECT_EQ(h.Cache->GetScrollLineOffLast(0), (TOffsetPoint{4, 0}));
  EXPECT_EQ(h.Cache->GetScrollLineOffLast(1), (TOffsetPoint{12, 0}));
  EXPECT_EQ(h.Cache->ScreenCount(0), 2);
  EXPECT_EQ(h.Cache->ScreenCount(1), 1);
  EXPECT_EQ(h.Cache->GetScrollLineVisWidth(0), 5);
  EXPECT_EQ(h.Cache->GetScrollLineVisWidth(1), 7);
  ASSERT_EQ(h.Cache->LinesOnScreenScroll(), 3);
  const TKivScreenLineProps first = KivLineProp(lpFirstWrap), last = KivLineProp(lpLastWrap);
  EXPECT_EQ(h.Cache->GetScreenLineProps(0), first);
  EXPECT_EQ(h.Cache->GetScreenLineProps(1), last);
  EXPECT_EQ(h.Cache->GetScreenLineProps(2), first | last);
  EXPECT_EQ(h.Cache->GetScrollLineInfo(1).VisProps, last);
  EXPECT_EQ(h.Cache->GetScrollLineInfo(1).ContentSegment.Start, 5);
  EXPECT_EQ(h.Cache->GetScrollLineInfo(1).ContentSegment.Count, 7);
  EXPECT_EQ(h.Cache->GetScreenLineStart(1), 5);
  EXPECT_EQ(h.Cache->ScreenToPhysical(1), 0);
  EXPECT_EQ(h.Cache->ScreenToPhysical(2), 1);
  // Offsets to screen lines: the end of a wrapped row belongs to the next one.
  struct {
    Integer Offset, Line;
  } finds[] = {{0, 0}, {4, 0}, {5, 1}, {12, 1}, {14, 2}, {15, 2}, {13, 1}};
  for (const auto& f : finds) EXPECT_EQ(h.Cache->FindOffsetInVisibleScreen(f.Offset), f.Line) << f.Offset;
  TOffsetPoint a, b;
  h.Cache->GetPhysLineVisibleBounds(0, a, b);
  EXPECT_EQ(a, (TOffsetPoint{0, 0}));
  EXPECT_EQ(b, (TOffsetPoint{12, 0}));
  EXPECT_EQ(h.Cache->CalkPointVisWidth(TOffsetPoint{10, 2}), 12);
}

TEST(ScreenLines, MarkerAndFoldFlags) {
  LayoutHarness h(u"a\r\nb {\r\nc\r\n}\r\nd", wmNoWrap);
  h.Parser->AddFold(1, 3);
  h.Doc.Bookmarks()->CreateLineMark(0);
  const IKivMarkRef brk = h.Doc.Breakpoints()->CreateLineMark(2);
  h.Doc.SetBreakpointKind(brk, mkBreakDisabled);
  const IKivMarkRef frame = h.Doc.DebugFrameLines()->CreateLineMark(4);
  h.Doc.SetDebugFrameKind(frame, fkFrameTop);
  h.Cache->ScreenMarkersChanged();
  const TKivScreenLineProps both = KivLineProp(lpFirstWrap) | KivLineProp(lpLastWrap);
  EXPECT_EQ(h.Cache->GetScreenLineProps(0), both | KivLineProp(lpBookmark));
  EXPECT_EQ(h.Cache->GetScreenLineProps(1), both | KivLineProp(lpFoldStart));
  EXPECT_EQ(h.Cache->GetScreenLineProps(2), both | KivLineProp(lpBreakpointDisabled));
  EXPECT_EQ(h.Cache->GetScreenLineProps(3), both | KivLineProp(lpFoldEnd));
  EXPECT_EQ(h.Cache->GetScreenLineProps(4), both | KivLineProp(lpFrameTop));
  // Only rows with marker or fold flags are redrawn when markers change.
  h.Cache->ClearDirtyLines();
  h.Cache->ScreenMarkersChanged();
  EXPECT_EQ(DirtyRows(*h.Cache), "0,1,2,3,4");
  h.Doc.Bookmarks()->Clear();
  h.Cache->ClearDirtyLines();
  h.Cache->ScreenMarkersChanged();
  EXPECT_EQ(DirtyRows(*h.Cache), "0,1,2,3,4");  // row 0 lost its flag
  EXPECT_EQ(h.Cache->GetScreenLineProps(0), both);
  h.Cache->CollapseLines(1, 3);
  EXPECT_EQ(h.Cache->GetScreenLineProps(1), both | KivLineProp(lpFoldStart) | KivLineProp(lpCollapsedFold));
  EXPECT_EQ(h.Cache->LinesOnScreenScroll(), 3);
}

TEST(ScreenLines, DirtyRowsFollowCursorTypingAndNewLines) {
  LayoutHarness h(NumberedLines(30), wmNoWrap);
  h.Cache->SetScreenSize(800, 10);
  h.Cache->SetCursorOffset({h.Doc.GetLineStart(2), 0});
  h.Cache->ClearDirtyLines();
  EXPECT_EQ(DirtyRows(*h.Cache), "");
  h.Cache->SetCursorOffset({h.Doc.GetLineStart(5) + 1, 0});
  EXPECT_EQ(DirtyRows(*h.Cache), "2,5");

  h.Cache->ClearDirtyLines();
  h.Doc.Insert(h.Doc.GetLineStart(3) + 1, u"x");
  EXPECT_EQ(DirtyRows(*h.Cache), "3");

  h.Cache->ClearDirtyLines();
  h.Doc.Insert(h.Doc.GetLineStart(6) + 2, u"\r\n");
  EXPECT_EQ(DirtyRows(*h.Cache), "6,7,8,9");

  // A selection change redraws the rows between the old and the new ends.
  h.Cache->ClearDirtyLines();
  h.Cache->SetSelection(TOffsetPoint{h.Doc.GetLineStart(1), 0}, TOffsetPoint{h.Doc.GetLineStart(4), 0});
  EXPECT_EQ(DirtyRows(*h.Cache), "0,1,2,3,4");
  h.Cache->ClearDirtyLines();
  h.Cache->SetSelection(TOffsetPoint{h.Doc.GetLineStart(1), 0}, TOffsetPoint{h.Doc.GetLineStart(2), 0});
  EXPECT_EQ(DirtyRows(*h.Cache), "2,3,4");
  // Scrolling redraws everything.
  h.Cache->ClearDirtyLines();
  h.Cache->Scroll(1);
  EXPECT_EQ(DirtyRows(*h.Cache), "0,1,2,3,4,5,6,7,8,9");
}

TEST(ScreenLines, ScrollingSaturatesAndStopsAtTheEnds) {
  for (TKivViewWrapMode mode : {wmNoWrap, wmWrapToRuler}) {
    LayoutHarness h(WrappingLines(40), mode, 6);  // wrapped: every line takes two rows
    const Integer rows = h.Cache->CalkVisibleCountScroll();
    EXPECT_EQ(rows, mode == wmNoWrap ? 40 : 80);
    h.Cache->Scroll(std::numeric_limits<Integer>::max());
    EXPECT_EQ(h.Cache->FirstLineScroll(), rows - 1) << int(mode);
    h.Cache->Scroll(std::numeric_limits<Integer>::max());
    EXPECT_EQ(h.Cache->FirstLineScroll(), rows - 1);
    EXPECT_EQ(h.Cache->LinesOnScreenScroll(), 1);
    h.Cache->Scroll(std::numeric_limits<Integer>::min());
    EXPECT_EQ(h.Cache->FirstLineScroll(), 0);
    h.Cache->SetFirstLineAsScroll(7);
    EXPECT_EQ(h.Cache->FirstLineScroll(), 7);
    EXPECT_EQ(h.Cache->FirstLinePhysical(), mode == wmNoWrap ? 7 : 3);
    EXPECT_EQ(h.Cache->GetScreenLineStart(0),
              mode == wmNoWrap ? h.Doc.GetLineStart(7) : h.Doc.GetLineStart(3) + 5);
    EXPECT_EQ(h.Cache->ScrollToScreen(9, true), 2);
    EXPECT_EQ(h.Cache->ScreenToScroll(2, true), 9);
    EXPECT_EQ(h.Cache->CorrectToLastScroll(1000), rows - 1);
    EXPECT_TRUE(h.Cache->AfterLastScroll(rows));
    EXPECT_FALSE(h.Cache->AfterLastScroll(rows - 1));
    EXPECT_EQ(h.Cache->CalkVisibleCountScrollBar(false), rows);
  }
}

TEST(ScreenLines, TopLineFollowsEditsAboveIt) {
  LayoutHarness h(NumberedLines(100), wmNoWrap);
  h.Cache->SetScreenSize(800, 10);
  h.Cache->SetFirstLineAsScroll(50);
  const Integer from = h.Doc.GetLineStart(45);
  h.Doc.Delete(from, h.Doc.GetLineStart(55) - from);
  EXPECT_EQ(h.Cache->FirstLinePhysical(), 45);
  EXPECT_EQ(KivToUtf8(h.Doc.GetLineText(45)), "L55");
  h.Doc.Insert(0, u"x\r\ny\r\n");
  EXPECT_EQ(h.Cache->FirstLinePhysical(), 47);
  EXPECT_EQ(KivToUtf8(h.Doc.GetLineText(h.Cache->FirstLinePhysical())), "L55");
  // Below the top nothing moves; a deletion around the top keeps the first line of the range.
  h.Doc.Insert(h.Doc.GetLineStart(60), u"a\r\nb\r\n");
  EXPECT_EQ(h.Cache->FirstLinePhysical(), 47);
  h.Doc.Delete(h.Doc.GetLineStart(40), h.Doc.GetLineStart(50) - h.Doc.GetLineStart(40));
  EXPECT_EQ(h.Cache->FirstLinePhysical(), 40);
  // Wrapped: the top keeps its text when rows are added above it.
  LayoutHarness w(WrappingLines(30), wmWrapToRuler, 6);
  w.Cache->SetFirstLineAsScroll(21);  // line 10, its second row
  EXPECT_EQ(w.Cache->FirstLinePhysical(), 10);
  w.Doc.Insert(w.Doc.GetLineStart(2), u"abc defg hij ");  // more rows above
  EXPECT_EQ(w.Cache->FirstLinePhysical(), 10);
  EXPECT_GT(w.Cache->PhysicalToScroll(10), 20);
  EXPECT_EQ(w.Cache->FirstLineScroll(), w.Cache->PhysicalToScroll(10) + 1);
  // A top line that loses rows keeps its last one at the top.
  w.Doc.Delete(w.Doc.GetLineStart(10), 5);
  EXPECT_EQ(w.Cache->FirstLinePhysical(), 10);
  EXPECT_EQ(w.Cache->FirstLineScroll(), w.Cache->PhysicalToScroll(10));
}

TEST(ScreenLines, BottomClampWhenTheTextEndsHighInTheWindow) {
  LayoutHarness h(NumberedLines(20), wmNoWrap);
  h.Cache->SetScreenSize(800, 11);
  h.Cache->SetFirstLineAsScroll(10);
  EXPECT_FALSE(h.Cache->ClampBottom(10));
  const Integer from = h.Doc.GetLineEnd(11);
  h.Doc.Delete(from, h.Doc.CharsCount() - from);
  EXPECT_EQ(h.Cache->LinesOnScreenScroll(), 2);
  EXPECT_TRUE(h.Cache->ClampBottom(10));
  EXPECT_EQ(h.Cache->FirstLineScroll(), 2);
  // A window of three lines in a long text stays where it is.
  LayoutHarness small(NumberedLines(20), wmNoWrap);
  small.Cache->SetScreenSize(800, 3);
  small.Cache->SetFirstLineAsScroll(4);
  EXPECT_FALSE(small.Cache->ClampBottom(3));
  EXPECT_EQ(small.Cache->FirstLineScroll(), 4);
}

TEST(ScreenLines, PixelsOfCellsTabsAndTheSpacePastTheEnd) {
  LayoutHarness h(u"a\tb\r\nxyz", wmNoWrap);
  EXPECT_EQ(PointText(h.Cache->OffsetToScroll(2)), "(8,0)");
  EXPECT_EQ(PointText(h.Cache->OffsetToScroll(5)), "(0,1)");
  EXPECT_EQ(h.Cache->ScrollPtToOffsetPt({4, 0}), (TOffsetPoint{1, 3}));
  EXPECT_EQ(h.Cache->ScrollPtToOffsetPt({12, 0}), (TOffsetPoint{3, 3}));
  struct {
    TKivPoint Scroll;
    Integer Left, Width;
  } cells[] = {{{0, 0}, 0, 10},  {{4, 0}, 40, 10},   {{7, 0}, 70, 10}, {{8, 0}, 80, 10},
               {{9, 0}, 90, 10}, {{12, 0}, 120, 10}, {{3, 1}, 30, 10}, {{5, 1}, 50, 10}};
  for (const auto& c : cells) {
    Integer left, width;
    h.Cache->ScrollPosToScreenPix(c.Scroll, left, width);
    EXPECT_EQ(left, c.Left) << PointText(c.Scroll);
    EXPECT_EQ(width, c.Width) << PointText(c.Scroll);
    ASSERT_TRUE(h.Cache->ScreenPosToScreenPix(c.Scroll, left, width, true));
    EXPECT_EQ(left, c.Left) << "screen " << PointText(c.Scroll);
  }
  EXPECT_EQ(h.Cache->ScreenPixToScrollPos(45, 0), 4);
  EXPECT_EQ(h.Cache->ScreenPixToScrollPos(125, 0), 12);
  EXPECT_EQ(h.Cache->ScreenPixToScreenPos(45, 0), 4);
  // Narrow tab tails and a wide head: the cell under a pixel follows the glyphs.
  h.SpecChars.SetShowCharKinds({skTabHead});
  h.Measure.Override(u'\u2500', 4);
  h.Measure.Override(u'\u25BA', 16);
  h.Cache->SpecialCharsChanged();
  struct {
    Integer Pix, Col;
  } pix[] = {{9, 0}, {10, 1}, {13, 1}, {14, 2}, {33, 6}, {34, 7}, {49, 7}, {50, 8}, {70, 10}};
  for (const auto& p : pix) {
    EXPECT_EQ(h.Cache->ScreenPixToScrollPos(p.Pix, 0), p.Col) << p.Pix;
    EXPECT_EQ(h.Cache->ScreenPixToScreenPos(p.Pix, 0), p.Col) << "screen " << p.Pix;
  }
  // Every pixel lies in the cell of its column, on and off screen rows alike.
  for (Integer x = 0; x < 120; ++x) {
    const Integer col = h.Cache->ScreenPixToScrollPos(x, 0);
    Integer left, width;
    h.Cache->ScrollPosToScreenPix({col, 0}, left, width);
    EXPECT_TRUE(left <= x && x < left + std::max(width, 1)) << x << " col " << col;
  }
  // Horizontal scrolling moves pixels, not columns.
  h.Cache->SetHorizScroll(2);
  Integer left, width;
  h.Cache->ScrollPosToScreenPix({9, 0}, left, width);
  EXPECT_EQ(left, 40);  // the line end is at pixel 60
  EXPECT_EQ(h.Cache->ScreenPixToScrollPos(41, 0), 9);
  EXPECT_FALSE(h.Cache->ScreenPosToScreenPix({0, 0}, left, width, true) && left >= 0);
  EXPECT_FALSE(h.Cache->ScreenPosToScreenPix({0, 5}, left, width, true));
  Integer xs, xc;
  h.Cache->GetScreenLineXBounds(0, xs, xc);
  EXPECT_EQ(xs, 4);  // column 3, a tab cell at pixels 18..21, is cut
  EXPECT_EQ(xc, 9 + (20 + 799 - 60) / 10 - 4 + 1);
}

TEST(ScreenLines, FixedColumnArithmetic) {
  LayoutHarness h(u"", wmNoWrap);
  bool trailing;
  struct {
    Integer Pix, Col;
    bool Trailing;
  } cases[] = {{0, 0, false}, {4, 0, false}, {5, 0, true}, {14, 1, false}, {15, 1, true}, {-5, 0, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(h.Cache->PixelsToScrollXFixedNew(c.Pix, trailing), c.Col) << c.Pix;
    EXPECT_EQ(trailing, c.Trailing) << c.Pix;
  }
}

TEST(ScreenLines, SettingsKeepTheTopLine) {
  LayoutHarness h(WrappingLines(40), wmNoWrap, 6);
  h.Cache->SetFirstLineAsScroll(12);
  h.Cache->SetHorizScroll(3);
  h.Cache->SetTabWidth(4);
  EXPECT_EQ(h.Cache->FirstLinePhysical(), 12);
  EXPECT_EQ(h.Cache->HorizScroll(), 3);
  h.Cache->SetWrapMode(wmWrapToRuler);
  EXPECT_EQ(h.Cache->FirstLinePhysical(), 12);
  EXPECT_EQ(h.Cache->FirstLineScroll(), 24);
  EXPECT_EQ(h.Cache->HorizScroll(), 3);
  h.Cache->SetScreenSize(60, 5);  // not wrapped to the window: only the screen changes
  EXPECT_EQ(h.Cache->FirstLineScroll(), 24);
  EXPECT_EQ(h.Cache->LinesOnScreenScroll(), 5);
  h.Cache->SetWrapMode(wmWrapToWindow);
  EXPECT_EQ(h.Cache->FirstLinePhysical(), 12);
  EXPECT_EQ(h.Cache->HorizScroll(), 0);
  // A top line inside collapsed lines shows their first line.
  h.Cache->CollapseLines(10, 14);
  EXPECT_EQ(h.Cache->FirstLinePhysical(), 10);
  EXPECT_EQ(h.Cache->FirstLineScroll(), h.Cache->PhysicalToScroll(10));
}

TEST(ScreenLines, ShapedPixelsFollowRightToLeftRuns) {
  // "ab", two Hebrew letters laid out right to left, "c": one run of glyphs.
  LayoutHarness h(u"ab\u05D0\u05D1c\tx", wmNoWrap);
  struct {
    Integer Col, Leading, Trailing;
  } cells[] = {{0, 0, 10}, {2, 40, 30}, {3, 30, 20}, {4, 40, 50}, {6, 60, 70}, {9, 90, 100}, {12, 120, 130}};
  for (const auto& c : cells) {
    Integer leading, trailing;
    EXPECT_TRUE(h.Cache->ScreenPosToScreenPixNew({c.Col, 0}, leading, trailing)) << c.Col;
    EXPECT_EQ(leading, c.Leading) << c.Col;
    EXPECT_EQ(trailing, c.Trailing) << c.Col;
  }
  struct {
    Integer Pix, Col;
    bool Trailing;
  } pix[] = {{3, 0, false},  {8, 0, true},  {22, 3, true},  {28, 3, false}, {33, 2, true},
             {45, 4, false}, {57, 5, true}, {83, 8, false}, {118, 11, true}};
  for (const auto& p : pix) {
    bool trailing = !p.Trailing;
    EXPECT_EQ(h.Cache->ScreenPixToScreenPosNew(p.Pix, 0, trailing), p.Col) << p.Pix;
    EXPECT_EQ(trailing, p.Trailing) << p.Pix;
  }
}
