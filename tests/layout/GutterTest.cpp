// The gutter model: default bars and width, the widening line-number bar, checked setters,
// copying, scaling, the change bracket, stored-property rules, and the hit tests of client
// points against rows and bars.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KivSedGutter.h"
#include "KivSedViewCore.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"

namespace {

TKivString NumberedLines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\n";
    text += u"x";
  }
  return text;
}

struct GutterFixture : ::testing::Test {
  void SetUp() override {
    View.SetMouseHooks(&Hooks);
    View.OnStatusChanged = [this](TKivEditViewCore&, TKivViewStatusChanges AChanges) {
      Reports.push_back(AChanges);
    };
    View.SetDocument(&Doc);
    View.HostResized();
    Reports.clear();
  }
  void TearDown() override { View.SetDocument(nullptr); }

  RecordingHost Host;  // 10 px glyphs, 16 px rows, 800 x 160
  TKivEditDocument Doc;
  TKivGutterMouseHooks Hooks;
  TKivEditViewCore View{Host};
  std::vector<TKivViewStatusChanges> Reports;
};

}  // namespace

TEST_F(GutterFixture, DefaultsOfANewGutter) {
  const TKivGutter& g = View.Gutter();
  const TKivGutterBarKind kinds[] = {gbBreakpointBar, gbBookmarkBar, gbLineNumberBar, gbFoldBar};
  ASSERT_EQ(g.Bars().Count(), 4);
  for (Integer i = 0; i < 4; ++i) {
    EXPECT_EQ(g.Bars()[i].Kind(), kinds[i]);
    EXPECT_EQ(g.Bars()[i].Width(), 14);
    EXPECT_EQ(g.Bars()[i].LeftPadding(), 2);
    EXPECT_EQ(g.Bars()[i].RightPadding(), 2);
    EXPECT_TRUE(g.Bars()[i].Visible());
    EXPECT_EQ(g.Bars()[i].FullWidth(), 18);
    EXPECT_EQ(g.Bars()[i].Index(), i);
  }
  EXPECT_TRUE(g.Bars().IsDefault());
  EXPECT_EQ(g.BookmarksBarBg(), 14215660u);
  EXPECT_EQ(g.BookmarksBarTextColor(), 0u);
  EXPECT_EQ(g.LinesBarTextColor(), 13408665u);
  EXPECT_EQ(g.LinesBarBg(), 16053492u);
  EXPECT_EQ(g.FoldsBarLineColor(), 13408665u);
  EXPECT_EQ(g.FoldsBarBg(), 16053492u);
  EXPECT_EQ(g.CustomBarBg(), 16053492u);
  EXPECT_EQ(g.LineNumberingInterval(), 10);
  EXPECT_EQ(g.Settings(), gsPaintWrapsOnLineNumberBar);
  EXPECT_EQ(g.GetWidth(), 72);
  EXPECT_EQ(View.GutterWidth(), 72);
  EXPECT_FALSE(View.GutterBarsEmpty());
  // A new bar is a custom one.
  TKivGutter free;
  EXPECT_EQ(free.Bars().Add().Kind(), gbCustom);
}

TEST_F(GutterFixture, WidthFollowsVisibleBarsAndTheLineCount) {
  View.Gutter().Bars()[0].SetVisible(false);
  EXPECT_EQ(View.Gutter().GetWidth(), 54);
  EXPECT_EQ(View.GutterWidth(), 54);
  EXPECT_FALSE(View.Gutter().Bars().IsDefault());
  View.Gutter().Bars()[0].SetVisible(true);
  // 100,000 lines: the line numbers' bar as wide as "100000" (6 glyphs of 10 px).
  Doc.Insert(0, NumberedLines(100000));
  EXPECT_EQ(View.Gutter().Bars()[2].Width(), 60);
  EXPECT_EQ(View.Gutter().Bars()[2].StoredWidth(), 14);
  EXPECT_EQ(View.GutterWidth(), 72 - 14 + 60);
  // Without a window the stored width counts.
  Host.Window = false;
  EXPECT_EQ(View.Gutter().Bars()[2].Width(), 14);
  Host.Window = true;
  // A bar narrower than the number is widened; a wider one keeps its width.
  View.Gutter().Bars()[2].SetWidth(80);
  EXPECT_EQ(View.Gutter().Bars()[2].Width(), 80);
  // The painter's bars are the effective ones.
  const TKivGutterPaintSettings paint = View.GutterPaintSettings();
  ASSERT_EQ(paint.Bars.size(), 4u);
  EXPECT_EQ(paint.Bars[2].Width, 80);
  EXPECT_EQ(paint.Width(), View.Gutter().GetWidth());
  View.Gutter().Bars()[2].SetWidth(14);
  Doc.Clear();
  EXPECT_EQ(View.Gutter().Bars()[2].Width(), 14);
  // No visible bars: width 0.
  View.Gutter().Bars().Clear();
  EXPECT_EQ(View.GutterWidth(), 0);
  EXPECT_TRUE(View.GutterBarsEmpty());
}

TEST_F(GutterFixture, CheckedSettersKeepTheirValue) {
  TKivGutterBar& bar = View.Gutter().Bars()[1];
  const struct {
    void (TKivGutterBar::*Set)(Integer);
    Integer (TKivGutterBar::*Get)() const;
    Integer Bad;
    const char* Message;
  } cases[] = {
      {&TKivGutterBar::SetWidth, &TKivGutterBar::StoredWidth, 0, "Gutter bar width should be greater than zero"},
      {&TKivGutterBar::SetWidth, &TKivGutterBar::StoredWidth, -5, "Gutter bar width should be greater than zero"},
      {&TKivGutterBar::SetLeftPadding, &TKivGutterBar::LeftPadding, -1,
       "Gutter bar padding should be greater or equal to zero"},
      {&TKivGutterBar::SetRightPadding, &TKivGutterBar::RightPadding, -1,
       "Gutter bar padding should be greater or equal to zero"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message);
    (bar.*c.Set)(7);
    Reports.clear();
    EXPECT_EQ(ViewErrorOf([&] { (bar.*c.Set)(c.Bad); }), c.Message);
    EXPECT_EQ((bar.*c.Get)(), 7);
    EXPECT_TRUE(Reports.empty());
    EXPECT_EQ(View.UpdatingCount(), 0);
  }
  bar.SetLeftPadding(0);
  EXPECT_EQ(bar.LeftPadding(), 0);
  EXPECT_THROW(View.Gutter().Bars()[4], EInvalidArgument);
}

TEST_F(GutterFixture, EveryChangeIsOneReportAndAFullRepaint) {
  Host.ResetCounts();
  View.Gutter().SetLineNumberingInterval(5);
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_TRUE(Reports[0] & scGutterSettings);
  EXPECT_EQ(Host.FullRepaints, 1);
  EXPECT_EQ(View.GutterPaintSettings().LineNumberingInterval, 5);
  // Setting the same value again changes nothing.
  Reports.clear();
  View.Gutter().SetLineNumberingInterval(5);
  View.Gutter().Bars()[0].SetWidth(14);
  EXPECT_TRUE(Reports.empty());
  // One report for a whole copy.
  TKivGutter other;
  other.Bars().Clear();
  other.Bars().Add().SetKind(gbLineNumberBar);
  other.SetLinesBarBg(1);
  other.SetFoldsBarBg(2);
  View.SetGutter(other);
  EXPECT_EQ(Reports.size(), 1u);
}

TEST_F(GutterFixture, AssignCopiesWhatItShouldAndNothingElse) {
  TKivGutter src;
  src.SetBookmarksBarBg(1);
  src.SetBookmarksBarTextColor(2);
  src.SetLinesBarBg(3);
  src.SetLinesBarTextColor(4);
  src.SetFoldsBarLineColor(5);
  src.SetFoldsBarBg(6);
  src.SetCustomBarBg(7);
  src.SetLineNumberingInterval(3);
  src.SetSettings(0);
  src.Bars().Delete(0);
  src.Bars()[0].SetLeftPadding(5);
  src.Bars()[0].SetVisible(false);
  View.SetGutter(src);
  const TKivGutter& g = View.Gutter();
  EXPECT_EQ(g.BookmarksBarBg(), 1u);
  EXPECT_EQ(g.BookmarksBarTextColor(), 0u);  // kept
  EXPECT_EQ(g.LinesBarBg(), 3u);
  EXPECT_EQ(g.LinesBarTextColor(), 4u);
  EXPECT_EQ(g.FoldsBarLineColor(), 5u);
  EXPECT_EQ(g.FoldsBarBg(), 6u);
  EXPECT_EQ(g.CustomBarBg(), 16053492u);  // kept
  EXPECT_EQ(g.LineNumberingInterval(), 3);
  EXPECT_EQ(g.Settings(), gsPaintWrapsOnLineNumberBar);  // kept
  EXPECT_EQ(g.Owner(), &View);
  ASSERT_EQ(g.Bars().Count(), 3);
  EXPECT_EQ(g.Bars()[0].Kind(), gbBookmarkBar);
  EXPECT_EQ(g.Bars()[0].LeftPadding(), 5);
  EXPECT_FALSE(g.Bars()[0].Visible());
  EXPECT_EQ(g.Bars()[1].Kind(), gbLineNumberBar);
  // A bar copies the effective width of a widened line-number bar.
  Doc.Insert(0, NumberedLines(1000));
  TKivGutter copy;
  copy.Bars()[0].Assign(View.Gutter().Bars()[1]);
  EXPECT_EQ(copy.Bars()[0].StoredWidth(), 40);
  EXPECT_EQ(copy.Bars()[0].Kind(), gbLineNumberBar);
  // Assigning to itself does nothing.
  Reports.clear();
  View.Gutter().Assign(View.Gutter());
  EXPECT_TRUE(Reports.empty());
}

TEST_F(GutterFixture, BarsMoveBetweenCollectionsAndPlaces) {
  TKivGutterBars& bars = View.Gutter().Bars();
  TKivGutterBar& inserted = bars.Insert(1);
  EXPECT_EQ(inserted.Index(), 1);
  EXPECT_EQ(bars.Count(), 5);
  EXPECT_EQ(bars.AddItem(nullptr, 99).Index(), 5);
  // A bar of another gutter moves here, at the end for a negative index.
  TKivGutter other;
  TKivGutterBar& moved = other.Bars()[2];
  EXPECT_EQ(&bars.AddItem(&moved, -1), &moved);
  EXPECT_EQ(other.Bars().Count(), 3);
  EXPECT_EQ(bars.Count(), 7);
  EXPECT_EQ(&moved.Collection(), &bars);
  EXPECT_EQ(moved.Kind(), gbLineNumberBar);
  // And within the collection to the front.
  bars.AddItem(&moved, 0);
  EXPECT_EQ(moved.Index(), 0);
  EXPECT_EQ(bars.Count(), 7);
}

TEST_F(GutterFixture, ScalingRoundsEachValue) {
  TKivGutterBar& bar = View.Gutter().Bars()[0];
  bar.SetWidth(15);
  bar.SetLeftPadding(3);
  bar.SetRightPadding(1);
  Reports.clear();
  View.Gutter().Scale(3, 2);
  EXPECT_EQ(Reports.size(), 1u);
  EXPECT_EQ(bar.StoredWidth(), 23);  // 22.5
  EXPECT_EQ(bar.LeftPadding(), 5);   // 4.5
  EXPECT_EQ(bar.RightPadding(), 2);  // 1.5
  EXPECT_EQ(View.Gutter().Bars()[1].StoredWidth(), 21);
  View.Gutter().Scale(1, 3);
  EXPECT_EQ(bar.StoredWidth(), 8);  // 7.67
  EXPECT_EQ(bar.LeftPadding(), 2);  // 1.67
  EXPECT_EQ(bar.RightPadding(), 1);  // 0.67
}

TEST_F(GutterFixture, LoadingWithEmptyBarsClearsThemAtTheEnd) {
  View.BeginLoading();
  View.SetGutterBarsEmpty(true);
  EXPECT_EQ(View.Gutter().Bars().Count(), 4);
  View.EndLoading();
  EXPECT_EQ(View.Gutter().Bars().Count(), 0);
  EXPECT_TRUE(View.GutterBarsEmpty());
  View.Gutter().Bars().SetDefaults();
  View.BeginLoading();
  View.SetGutterBarsEmpty(false);
  View.EndLoading();
  EXPECT_TRUE(View.Gutter().Bars().IsDefault());
}

TEST_F(GutterFixture, ClientPointsToBars) {
  Doc.Insert(0, u"ab\ncd\nef");
  const struct {
    Integer X, Y;
    Integer ScrollLine;  // -1: no bar
    Integer Bar;
  } cases[] = {
      {5, 0, 0, 0}, {18, 16, 1, 1}, {35, 17, 1, 1}, {36, 33, 2, 2}, {71, 0, 0, 3}, {72, 0, -1, -1},
      {-1, 0, -1, -1}, {5, 48, -1, -1},  // below the last row
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.X << "," << c.Y);
    Integer line = 99;
    TKivGutterBar* bar = nullptr;
    EXPECT_EQ(View.ClientToGutter({c.X, c.Y}, line, bar), c.Bar >= 0);
    EXPECT_EQ(line, c.ScrollLine);
    EXPECT_EQ(bar ? bar->Index() : -1, c.Bar);
  }
  // Hidden bars are skipped: x 5 is the bookmarks' bar now.
  View.Gutter().Bars()[0].SetVisible(false);
  Integer line;
  TKivGutterBar* bar;
  ASSERT_TRUE(View.ClientToGutter({5, 0}, line, bar));
  EXPECT_EQ(bar->Kind(), gbBookmarkBar);
  ASSERT_TRUE(View.ClientToGutter({53, 0}, line, bar));
  EXPECT_EQ(bar->Kind(), gbFoldBar);
  EXPECT_FALSE(View.ClientToGutter({54, 0}, line, bar));
  // No visible bars: every point lies in the text.
  for (Integer i = 0; i < 4; ++i) View.Gutter().Bars()[i].SetVisible(false);
  EXPECT_FALSE(View.ClientToGutter({0, 0}, line, bar));
  TKivPoint p;
  bool trailing;
  EXPECT_EQ(View.ClientToScrollPos({0, 0}, p, trailing), spText);
  EXPECT_EQ(p, (TKivPoint{0, 0}));
}

TEST_F(GutterFixture, ClientPointsToScrollPositions) {
  Doc.Insert(0, u"abcdef\nxy\nlast");
  const Integer g = 72;
  const struct {
    Integer X, Y;
    TKivEditScreenPart Part;
    TKivPoint P;
    bool Trailing;
  } cases[] = {
      {g + 1, 0, spText, {0, 0}, false},         {g + 4, 0, spText, {0, 0}, false},
      {g + 6, 0, spText, {0, 0}, true},          {g + 9, 0, spText, {0, 0}, true},
      {g + 10, 0, spText, {1, 0}, false},        {g + 24, 17, spText, {2, 1}, false},
      {g + 15, 40, spText, {1, 2}, false},       {g + 15, 48, spPastText, {1, 2}, false},
      {g + 15, 150, spPastText, {1, 2}, false},  {10, 20, spGutterText, {0, 1}, false},
      {10, 100, spGutterPastText, {0, 2}, false}, {g + 15, -5, spText, {1, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.X << "," << c.Y);
    TKivPoint p;
    bool trailing = !c.Trailing;
    EXPECT_EQ(View.ClientToScrollPos({c.X, c.Y}, p, trailing), c.Part);
    EXPECT_EQ(p, c.P);
    EXPECT_EQ(trailing, c.Trailing);
    EXPECT_EQ(View.ClientToScrollPos({c.X, c.Y}), c.P);
  }
}
