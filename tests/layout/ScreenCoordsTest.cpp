#include <gtest/gtest.h>

#include "LayoutHarness.h"

namespace {
std::string PointText(const TKivPoint& P) {
  return "(" + std::to_string(P.X) + "," + std::to_string(P.Y) + ")";
}
}  // namespace

TEST(ScreenCoords, WordWrapConversions) {
  // Rows "aaaa ", "bbbb cc" and "x": whole words move, so a character-wrapping layout fails here.
  LayoutHarness h(u"aaaa bbbb cc\r\nx", wmWrapToRuler, 10);
  struct {
    Integer Offset;
    const char* Scroll;
  } offsets[] = {{0, "(0,0)"},  {4, "(4,0)"},  {5, "(0,1)"}, {10, "(5,1)"},
                 {12, "(7,1)"}, {14, "(0,2)"}, {15, "(1,2)"}};
  for (const auto& c : offsets) EXPECT_EQ(PointText(h.Cache->OffsetToScroll(c.Offset)), c.Scroll) << c.Offset;
  struct {
    TKivPoint Scroll;
    Integer Offset, InChar;
  } points[] = {{{0, 0}, 0, 0}, {{4, 0}, 4, 0},  {{7, 0}, 4, 3},
                {{3, 1}, 8, 0}, {{9, 1}, 12, 2}, {{5, 2}, 15, 4}};
  for (const auto& c : points) {
    const TOffsetPoint p = h.Cache->ScrollPtToOffsetPt(c.Scroll);
    EXPECT_EQ(p, (TOffsetPoint{c.Offset, c.InChar})) << PointText(c.Scroll);
    EXPECT_EQ(h.Cache->OffsetPtToScroll(p), c.Scroll) << PointText(c.Scroll);
  }
  EXPECT_EQ(h.Cache->PhysicalToScroll(0), 0);
  EXPECT_EQ(h.Cache->PhysicalToScroll(1), 2);
  EXPECT_EQ(h.Cache->PhysicalToScroll(2), 3);
  EXPECT_EQ(h.Cache->ScrollToPhysical(1), 0);
  EXPECT_EQ(h.Cache->ScrollToPhysical(2), 1);
}

TEST(ScreenCoords, EmptyDocumentTabsAndErrors) {
  LayoutHarness empty(u"", wmNoWrap);
  EXPECT_EQ(PointText(empty.Cache->OffsetToScroll(0)), "(0,0)");
  EXPECT_EQ(empty.Cache->ScrollPtToOffsetPt({3, 0}), (TOffsetPoint{0, 3}));
  EXPECT_EQ(empty.Cache->PhysicalToScroll(1), 1);

  LayoutHarness h(u"a\tb\r\nxyz", wmNoWrap);
  EXPECT_EQ(h.Cache->ScrollPtToOffsetPt({5, 0}), (TOffsetPoint{1, 4}));   // inside the tab
  EXPECT_EQ(h.Cache->ScrollPtToOffsetPt({12, 0}), (TOffsetPoint{3, 3}));  // past the row's end
  EXPECT_EQ(PointText(h.Cache->OffsetToScroll(2)), "(8,0)");
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->ScrollPtToOffsetPt({-1, 0}); }), "Bad scroll position: [x < 0].");
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->ScrollPtToOffsetPt({0, -1}); }), "Bad scroll position: [y < 0].");
  EXPECT_EQ(ViewErrorOf([&] {
              h.Cache->ScrollPtToOffsetPt({0, 2});
            }),
            "Bad scroll position: [y=2]. Valid range: [y=0]-[y=1]");
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->PhysicalToScroll(3); }),
            "Invalid physical line on screen index: 3. Valid range: [0, 1]");
  EXPECT_EQ(h.Cache->PixelsToScrollXFixed(25, false), 2);
  EXPECT_EQ(h.Cache->PixelsToScrollXFixed(25, true), 3);
  EXPECT_EQ(h.Cache->PixelsToScrollXFixed(-25, true), -3);
  EXPECT_EQ(h.Cache->ScrollXToPixelsFixed(4), 40);

  LayoutHarness folded(u"ab{\r\nx\r\n}\r\nz", wmNoWrap);
  folded.Cache->CollapseLines(0, 2);
  EXPECT_EQ(ViewErrorOf([&] { folded.Cache->OffsetToScroll(5); }),
            "This operation requires given offset to be visible. Offset: 5");
  EXPECT_EQ(PointText(folded.Cache->OffsetToScroll(11)), "(0,1)");
  EXPECT_EQ(ViewErrorOf([&] { folded.Cache->PhysicalToScroll(1); }),
            "This operation requires given physical line to be visible. Line: 1");
  EXPECT_EQ(folded.Cache->PhysicalToScroll(3), 1);
  EXPECT_EQ(folded.Cache->PhysicalToScroll(4), 2);
}
