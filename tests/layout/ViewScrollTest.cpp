// The view core's scrolling with the recording host (10 px columns, 16 px rows): top-line
// clamps, scrolling to a position with its margin, the wheel, one-row scrolls, both scroll bars'
// requests and their model (modes, compression, hiding), the caret's shapes, and the actions
// that must not lay out or tokenize the whole text.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "KivSedViewCore.h"
#include "KivTestSeed.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"
#include "KivTestAccess.h"
#include "internal/ScreenCache.h"

namespace {

TKivString Lines(int ACount, const TKivString& APrefix = u"L") {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\r\n";
    text += APrefix + KivFromUtf8(std::to_string(i));
  }
  return text;
}

// A view of ten full rows (800 x 160 pixels) on a document, reports collected.
struct ScrollFixture : ::testing::Test {
  void SetUp() override {
    View.OnStatusChanged = [this](TKivEditViewCore&, TKivViewStatusChanges AChanges) {
      Reports.push_back(AChanges);
    };
    View.HostResized();
  }
  void Attach(const TKivString& AText) {
    Doc.Insert(0, AText);
    View.SetDocument(&Doc);
    Host.ResetCounts();
    Reports.clear();
  }
  void Resize(Integer AHeight) {
    Host.Area.Bottom = AHeight;
    View.HostResized();
  }
  // The lines the parser was asked to tokenize since the last call.
  std::vector<Integer> TakeMarked() {
    std::vector<Integer> marked;
    if (Parser) marked.swap(Parser->MarkedLines);
    return marked;
  }
  void UseFakeParser() {
    auto parser = std::make_unique<FakeParser>();
    Parser = parser.get();
    Doc.SetParser(std::move(parser));
  }

  RecordingHost Host;
  TKivEditViewCore View{Host};
  TKivEditDocument Doc;
  FakeParser* Parser = nullptr;
  std::vector<TKivViewStatusChanges> Reports;
};

}  // namespace

TEST_F(ScrollFixture, TopLineIsClampedToTheTextAndReportedOnce) {
  Attach(Lines(100));
  ASSERT_EQ(View.FullyVisibleLines(), 10);
  struct Case {
    Integer Set, Top;
  } const cases[] = {{500, 90}, {-5, 0}, {42, 42}, {91, 90}, {0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Set);
    if (View.TopLineScroll() == c.Top) View.SetTopLineScroll(c.Top == 0 ? 5 : 0);
    Reports.clear();
    View.SetTopLineScroll(c.Set);
    EXPECT_EQ(View.TopLineScroll(), c.Top);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_TRUE(Reports[0] & scVScroll);
  }
  // A text shorter than the window stays at its first line.
  TKivEditDocument shortDoc;
  shortDoc.Insert(0, Lines(4));
  View.SetDocument(&shortDoc);
  View.SetTopLineScroll(3);
  EXPECT_EQ(View.TopLineScroll(), 0);
  View.SetDocument(nullptr);
  EXPECT_EQ(ViewErrorOf([&] { View.SetTopLineScroll(3); }),
            "Document must be attached to View for this operation");
  EXPECT_EQ(ViewErrorOf([&] { View.ScrollVertBy(1); }),
            "Document must be attached to View for this operation");
}

TEST_F(ScrollFixture, ScrollingToTheCursorKeepsTheEdgeMargin) {
  Attach(Lines(100));
  struct Case {
    Integer Height, Top, CursorY, NewTop;
  } const cases[] = {
      {160, 20, 31, 26},                     // two below ten rows: four rows stay below it
      {160, 20, 15, 11},                     // above: four rows above it
      {160, 20, 25, 20},                     // on screen: nothing moves
      {48, 20, 24, 24},                      // three rows: the margin is two
      {48, 20, 15, 13},  {160, 20, 99, 90},  // the last page
      {160, 20, 2, 0},                       // the first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Height << " " << c.CursorY);
    Resize(c.Height);
    View.SetTopLineScroll(c.Top);
    View.SetCursorPos({0, c.CursorY});
    View.ScrollToCursor();
    EXPECT_EQ(View.TopLineScroll(), c.NewTop);
  }
  // Without the margin the row just comes onto the edge.
  Resize(160);
  View.SetTopLineScroll(20);
  View.SetCursorPos({0, 31});
  View.ScrollToPos(View.CursorPos(), false);
  EXPECT_EQ(View.TopLineScroll(), 22);
}

TEST_F(ScrollFixture, ScrollingToAColumnStepsByPixelDistance) {
  Host.Measure.Override(u'i', 5);
  Attach(u"\t" + TKivString(300, u'a') + u"\r\n" + TKivString(300, u'i'));
  ASSERT_EQ(View.HorizScroll(), 0);
  struct Case {
    Integer X, Y, Before, After;
  } const cases[] = {
      // 80 columns shown: column 100 and four more must fit: (104 * 10 + 10 - 800) / 10.
      {100, 0, 0, 25},
      // Back to column 2 inside the tab: column 0 (2 - 4 - 1 clamped) must show.
      {2, 0, 25, 0},
      // Narrow characters: column 200 of 'i' (5 px) needs (204 * 5 + 5 - 800) / 10 columns,
      // rounded down.
      {200, 1, 0, 22},
      // Left of the window: column 35 (40 - 4 - 1) at -45 px, four whole columns back.
      {40, 1, 22, 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.X);
    View.SetHorizScroll(c.Before);
    ASSERT_EQ(View.HorizScroll(), c.Before);
    View.SetCursorPos({c.X, c.Y});
    View.ScrollToCursor();
    EXPECT_EQ(View.HorizScroll(), c.After);
  }
}

TEST_F(ScrollFixture, WrappedToTheWindowNothingScrollsSideways) {
  Attach(Lines(100, TKivString(200, u'x')));
  View.SetWrapMode(wmWrapToWindow);
  View.SetHorizScroll(5);
  EXPECT_EQ(View.HorizScroll(), 0);
  EXPECT_FALSE(Host.Horz.Visible);
  View.HorzScrollBarRequest(scPageDown);
  View.MouseWheelHorz(-240, 3);
  EXPECT_EQ(View.HorizScroll(), 0);
}

TEST_F(ScrollFixture, TheWheelScrollsWholeStepsOfItsAccumulator) {
  Attach(Lines(200));
  struct Case {
    Integer Delta;
    bool Ctrl;
    Integer WheelLines, Top;
  } const cases[] = {
      {60, false, 3, 50},     // half a step: nothing yet
      {60, false, 3, 47},     // the second half: one step up
      {-240, false, 3, 53},   // two steps down
      {120, true, 3, 43},     // Ctrl: a screen
      {120, false, 20, 33},   // more rows than the screen: a screen
      {-120, false, -1, 43},  // the system's page
      {-30, false, 3, 43},   {-90, false, 3, 46},
  };
  View.SetTopLineScroll(50);
  std::vector<std::pair<TKivScrollCode, Integer>> events;
  View.OnScroll = [&](TKivEditViewCore&, TKivScrollCode ACode, Integer& APos) {
    events.emplace_back(ACode, APos);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Delta);
    View.MouseWheel(c.Delta, c.Ctrl, c.WheelLines);
    EXPECT_EQ(View.TopLineScroll(), c.Top);
  }
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0], std::make_pair(scPosition, Integer(47)));
  // A handler may send the window elsewhere.
  View.OnScroll = [](TKivEditViewCore&, TKivScrollCode, Integer& APos) { APos = 7; };
  View.MouseWheel(120, false, 3);
  EXPECT_EQ(View.TopLineScroll(), 7);
}

TEST_F(ScrollFixture, ScrollUpAndDownKeepTheCursorOnScreen) {
  Attach(Lines(100));
  View.SetCursorPos({1, 0});
  View.ScrollUp();
  EXPECT_EQ(Host.Beeps, 1);
  EXPECT_EQ(View.TopLineScroll(), 0);
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 0}));
  View.ScrollDown();
  EXPECT_EQ(View.TopLineScroll(), 1);
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 1}));  // carried along on the top row
  View.SetCursorPos({1, 10});                      // the bottom row
  View.ScrollUp();
  EXPECT_EQ(View.TopLineScroll(), 0);
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 9}));
  View.SetCursorPos({1, 50});  // off screen: it stays
  View.ScrollDown();
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 50}));
  View.SetTopLineScroll(90);
  Host.ResetCounts();
  View.ScrollDown();
  EXPECT_EQ(Host.Beeps, 1);
  EXPECT_EQ(View.TopLineScroll(), 90);
}

TEST_F(ScrollFixture, EveryRequestOfTheVerticalBar) {
  Attach(Lines(100));
  struct Case {
    TKivScrollCode Code;
    Integer Thumb, Top;
  } const cases[] = {
      {scLineUp, 0, 39}, {scLineDown, 0, 41}, {scPageUp, 0, 30}, {scPageDown, 0, 50}, {scPosition, 25, 25},
      {scTrack, 60, 60}, {scTop, 0, 0},       {scBottom, 0, 90}, {scTrack, 500, 90},  {scEndScroll, 0, 40},
  };
  std::vector<TKivScrollCode> codes;
  View.OnScroll = [&](TKivEditViewCore&, TKivScrollCode ACode, Integer&) { codes.push_back(ACode); };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Code));
    View.SetTopLineScroll(40);
    codes.clear();
    View.VertScrollBarRequest(c.Code, c.Thumb);
    EXPECT_EQ(View.TopLineScroll(), c.Top);
    if (c.Code == scEndScroll) {
      EXPECT_TRUE(codes.empty());
      EXPECT_FALSE(View.InState(siScrolling));
    } else {
      ASSERT_EQ(codes.size(), 1u);
      EXPECT_EQ(codes[0], c.Code);
      EXPECT_EQ(View.InState(siScrolling), c.Code == scPosition || c.Code == scTrack);
    }
    View.VertScrollBarRequest(scEndScroll);
    EXPECT_EQ(Host.Vert.Pos, c.Top);
  }
  // A handler overrides the line the request leads to, clamped to the text.
  View.OnScroll = [](TKivEditViewCore&, TKivScrollCode ACode, Integer& APos) {
    if (ACode == scLineDown) APos = 1000;
  };
  View.SetTopLineScroll(40);
  View.VertScrollBarRequest(scLineDown);
  EXPECT_EQ(View.TopLineScroll(), 90);
  View.SetDocument(nullptr);
  EXPECT_EQ(ViewErrorOf([&] { View.VertScrollBarRequest(scLineDown); }),
            "Document must be attached to View for this operation");
}

TEST_F(ScrollFixture, EveryRequestOfTheHorizontalBar) {
  Attach(TKivString(300, u'a'));
  ASSERT_EQ(View.MaxHorizScroll(), 500);
  struct Case {
    TKivScrollCode Code;
    Integer Thumb, H;
  } const cases[] = {
      {scLineUp, 0, 99},    {scLineDown, 0, 101},  {scPageUp, 0, 20}, {scPageDown, 0, 180},
      {scPosition, 33, 33}, {scTrack, 77, 77},     {scTop, 0, 0},     {scBottom, 0, 421},
      {scTrack, 900, 500},  {scEndScroll, 0, 100},
  };
  std::vector<TKivScrollCode> codes;
  View.OnScroll = [&](TKivEditViewCore&, TKivScrollCode ACode, Integer&) { codes.push_back(ACode); };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Code));
    View.SetHorizScroll(100);
    codes.clear();
    View.HorzScrollBarRequest(c.Code, c.Thumb);
    EXPECT_EQ(View.HorizScroll(), c.H);
    if (c.Code == scEndScroll) {
      EXPECT_TRUE(codes.empty());
    } else {
      ASSERT_EQ(codes.size(), 1u);
      EXPECT_EQ(codes[0], c.Code);
    }
    EXPECT_EQ(Host.Horz.Pos, c.H);
  }
  View.OnScroll = [](TKivEditViewCore&, TKivScrollCode, Integer& APos) { APos = -9; };
  View.HorzScrollBarRequest(scLineDown);
  EXPECT_EQ(View.HorizScroll(), 0);
}

TEST_F(ScrollFixture, TheVerticalBarInItsThreeModes) {
  Attach(Lines(100, u"word word "));
  View.SetTopLineScroll(10);
  // Unwrapped: rows.
  EXPECT_EQ(Host.Vert, (TKivScrollBarInfo{0, 99, 10, 10, true}));
  // Wrapped to a ruler of 5 columns: characters.
  View.SetWrapRulerWidth(5);
  View.SetWrapMode(wmWrapToRuler);
  const Integer first = TKivTestAccess::ScreenCache(View).FirstCharOnScreen();
  const TKivSegment last = TKivTestAccess::ScreenCache(View).GetScreenLine(9).ScrollInfo.ContentSegment;
  EXPECT_EQ(Host.Vert.Max, Doc.CharsCount());
  EXPECT_EQ(Host.Vert.Pos, first);
  EXPECT_EQ(Host.Vert.Page, last.Start + last.Count - first);
  // A thumb position is a character: the window goes to its row.
  View.VertScrollBarRequest(scTrack, Doc.GetLineStart(40) + 6);
  EXPECT_EQ(View.TopLineScroll(), View.OffsetToScrollPos(Doc.GetLineStart(40) + 6).Y);
  // Precise: rows of the wrapped text.
  View.SetViewSettings(View.ViewSettings() | vsPreciseScrollbars);
  const Integer rows = View.GetVisibleCountScroll();
  EXPECT_GT(rows, 200);
  EXPECT_EQ(Host.Vert.Max, rows - 1);
  EXPECT_EQ(Host.Vert.Page, 10);
  EXPECT_EQ(Host.Vert.Pos, View.TopLineScroll());
  View.VertScrollBarRequest(scTrack, 123);
  EXPECT_EQ(View.TopLineScroll(), 123);
}

TEST_F(ScrollFixture, ALongTextCompressesTheBarAndItsEndShowsTheLastPage) {
  Attach(Lines(100000));
  EXPECT_EQ(Host.Vert.Max, 32767);
  EXPECT_EQ(Host.Vert.Page, 3);  // 10 * 32767 / 99999
  EXPECT_EQ(Host.Vert.Pos, 0);
  const Integer end = 32767 - 3 + 1;
  View.VertScrollBarRequest(scTrack, end);
  EXPECT_EQ(View.TopLineScroll(), 99990);
  EXPECT_EQ(Host.Vert.Pos, end);
  View.VertScrollBarRequest(scTrack, end / 2);
  EXPECT_NEAR(View.TopLineScroll(), 99990 / 2, 5);
  View.VertScrollBarRequest(scTrack, 0);
  EXPECT_EQ(View.TopLineScroll(), 0);
  View.VertScrollBarRequest(scBottom);
  EXPECT_EQ(View.TopLineScroll(), 99990);
  EXPECT_EQ(Host.Vert.Pos, end);
  // Thumb positions round-trip: a position the bar shows leads back to about the same place.
  View.SetTopLineScroll(54321);
  const Integer shown = Host.Vert.Pos;
  View.VertScrollBarRequest(scTrack, shown);
  EXPECT_NEAR(View.TopLineScroll(), 54321, 4);
  // The horizontal range compresses the same way.
  View.SetMaxHorizScroll(100000);
  EXPECT_EQ(Host.Horz.Max, 32767);
  View.HorzScrollBarRequest(scTrack, 32767);
  EXPECT_EQ(View.HorizScroll(), 100000 - 80);
}

TEST_F(ScrollFixture, BarsComeAndGoAsTheTextGrows) {
  Attach(Lines(5));
  EXPECT_FALSE(Host.Vert.Visible);
  EXPECT_FALSE(View.ScrollBarVisibleY());
  EXPECT_TRUE(Host.Horz.Visible);  // the range of 500 columns is longer than the window
  Doc.Insert(Doc.CharsCount(), u"\r\n" + Lines(50));
  EXPECT_TRUE(Host.Vert.Visible);
  Doc.Delete(Doc.GetLineEnd(3), Doc.CharsCount() - Doc.GetLineEnd(3));
  EXPECT_FALSE(Host.Vert.Visible);
  View.SetViewSettings(View.ViewSettings() & ~vsHideShowScrollbars);
  EXPECT_TRUE(Host.Vert.Visible);
  View.SetScrollBars(ssNone);
  EXPECT_FALSE(Host.Vert.Visible);
  EXPECT_FALSE(Host.Horz.Visible);
}

TEST_F(ScrollFixture, ABarTakingSpaceBringsTheCursorBack) {
  Attach(Lines(100));
  View.SetScrollBars(ssNone);
  // The horizontal bar, once shown, takes a row of the window.
  Host.OnScrollBars = [this](const TKivScrollBarInfo&, const TKivScrollBarInfo& AHorz) {
    Host.Area.Bottom = AHorz.Visible ? 160 - 16 : 160;
  };
  View.SetCursorPos({0, 9});
  ASSERT_EQ(View.TopLineScroll(), 0);
  View.SetScrollBars(ssBoth);
  EXPECT_TRUE(Host.Horz.Visible);
  EXPECT_EQ(View.FullyVisibleLines(), 9);
  const Integer top = View.TopLineScroll();
  EXPECT_GE(9, top);
  EXPECT_LE(9, top + 8);
  EXPECT_EQ(View.UpdatingCount(), 0);
  EXPECT_FALSE(View.InState(siScrollbarsUpdating));
}

TEST_F(ScrollFixture, TheCaretHasTheShapeOfTheMode) {
  Attach(u"abcdef\r\n\tx\r\nabc");
  Host.Focus = true;
  View.SetViewSettings(View.ViewSettings() & ~vsHighlightSelectedLine);
  View.FocusChanged(true);
  View.SetCursorPos({3, 2});
  EXPECT_EQ(Host.Caret, (TKivRect{30, 32, 32, 48}));  // insert: 2 px at the cell's left
  View.SetViewSettings(View.ViewSettings() | vsOverwrite);
  View.SetCursorPos({0, 1});
  EXPECT_EQ(Host.Caret, (TKivRect{0, 16, 80, 32}));  // overwrite over a tab: its eight cells
  View.SetCursorPos({1, 0});
  EXPECT_EQ(Host.Caret, (TKivRect{10, 0, 20, 16}));
  // A cursor move hides the caret once and shows it at its new place.
  Host.ResetCounts();
  View.SetCursorPos({2, 0});
  EXPECT_EQ(Host.FullRepaints, 0);
  EXPECT_EQ(Host.CaretHides, 1);
  EXPECT_EQ(Host.Caret, (TKivRect{20, 0, 30, 16}));
  // No focus, no caret.
  Host.Focus = false;
  View.FocusChanged(false);
  Host.Caret = {};
  View.SetCursorPos({3, 0});
  EXPECT_FALSE(View.CaretShown());
  EXPECT_EQ(Host.Caret, TKivRect{});
}

// ---- no walks over the whole text ----

TEST_F(ScrollFixture, PhysicalLinesWithoutWrappingNeedNoTokens) {
  UseFakeParser();
  Attach(Lines(5000));
  TakeMarked();
  EXPECT_EQ(View.PhysicalToScroll(3000), 3000);
  EXPECT_TRUE(TakeMarked().empty());
  // An undo in the middle with the window at the end lays out the window only.
  View.SetTopLineScroll(4990);
  View.SetCursorPos({0, 4995});
  const Integer mid = Doc.GetLineStart(2500);
  Doc.Internal().InsertStr(mid, u"x", View.AuthorID(), nullptr);
  TakeMarked();
  TKivDocUndoInfoPtr old;
  Doc.Internal().Undo(View.AuthorID(), nullptr, old);
  EXPECT_EQ(View.TopLineScroll(), 4990);
  for (const Integer line : TakeMarked()) EXPECT_TRUE(line == 2500 || line >= 4990) << line;
}

TEST_F(ScrollFixture, FoldsAndWrappingNeedNoWalkForTheBars) {
  UseFakeParser();
  for (Integer i = 0; i + 3 < 5000; i += 4) Parser->AddFold(i, i + 2);
  Attach(Lines(5000));
  TakeMarked();
  View.FoldAllIn(-1, true);
  EXPECT_EQ(View.GetVisibleCountScroll(), 5000 - 1250 * 2);
  EXPECT_EQ(Host.Vert.Max, 5000 - 1250 * 2 - 1);
  // Only the rows of the window were laid out.
  for (const Integer line : TakeMarked()) EXPECT_LT(line, 1000);
  View.UnfoldAllIn(-1, false);
  TakeMarked();
  // Wrapped to the window the bar counts characters: no line far below the window is laid out.
  View.SetWrapMode(wmWrapToWindow);
  Resize(100);
  for (const Integer line : TakeMarked()) EXPECT_LT(line, 1000);
  ASSERT_GT(Doc.CharsCount(), 32767);  // characters, compressed
  EXPECT_EQ(Host.Vert.Max, 32767);
  EXPECT_EQ(Host.Vert.Pos, 0);
}

TEST_F(ScrollFixture, FoldingAllOfALongTextGoesInSteps) {
  UseFakeParser();
  for (Integer i = 0; i + 3 < 45000; i += 4) Parser->AddFold(i, i + 2);
  Parser->AddFold(0, 44990);  // one fold around all: every level is collapsed
  Attach(Lines(45000));
  RecordingHost syncHost;
  TKivEditViewCore sync(syncHost);
  sync.SetDocument(&Doc);
  sync.FoldAllIn(-1, false);
  Host.TakeSteps = true;
  Parser->LastParsed = -1;
  View.FoldAllIn(-1, false);
  // The first step ran at once and the rest waits for the host: the fold around all did not make
  // the step parse to its end (it is folded once a later step has parsed that far).
  EXPECT_LT(Parser->LastParsed, 30000);
  EXPECT_FALSE(View.IsCollapsedFold(0));
  ASSERT_EQ(Host.Steps.size(), 1u);
  EXPECT_FALSE(View.IsCollapsedFold(44992));
  EXPECT_GE(Host.RunSteps(), 1);
  EXPECT_EQ(TKivTestAccess::ScreenCache(View).CollapsedFolds(), TKivTestAccess::ScreenCache(sync).CollapsedFolds());
  EXPECT_EQ(View.GetVisibleCountScroll(), sync.GetVisibleCountScroll());
  EXPECT_EQ(View.PhysicalToScroll(44996), sync.PhysicalToScroll(44996));
  EXPECT_EQ(View.UpdatingCount(), 0);
  // An edit stops the steps still to come; so does another fold operation.
  View.UnfoldAllIn(-1, false);
  View.FoldAllIn(-1, true);  // the outermost only: one fold around all, one step
  EXPECT_TRUE(Host.Steps.empty());
  EXPECT_EQ(TKivTestAccess::ScreenCache(View).CollapsedFolds().size(), 3u);  // and two after it
  View.UnfoldAllIn(-1, false);
  View.FoldAllIn(-1, false);
  ASSERT_EQ(Host.Steps.size(), 1u);
  Doc.Insert(Doc.GetLineStart(44999), u"x");
  const auto before = TKivTestAccess::ScreenCache(View).CollapsedFolds();
  Host.RunSteps();
  EXPECT_EQ(TKivTestAccess::ScreenCache(View).CollapsedFolds(), before);
  View.UnfoldAllIn(-1, false);
  View.FoldAllIn(-1, false);
  ASSERT_EQ(Host.Steps.size(), 1u);
  View.UnfoldAllIn(-1, false);
  Host.RunSteps();
  EXPECT_TRUE(TKivTestAccess::ScreenCache(View).CollapsedFolds().empty());
  sync.SetDocument(nullptr);
}

// A step parses towards a far fold end in batches bounded by characters as well as by lines:
// long lines make short batches, so the first step stops after a few of them.
TEST_F(ScrollFixture, FoldingAllOfLongLinesParsesInShortBatches) {
  UseFakeParser();
  Parser->AddFold(0, 2990);
  Attach(Lines(3000, TKivString(2000, u'w')));
  RecordingHost syncHost;
  TKivEditViewCore sync(syncHost);
  sync.SetDocument(&Doc);
  sync.FoldAllIn(-1, false);
  Host.TakeSteps = true;
  Parser->LastParsed = -1;
  View.FoldAllIn(-1, false);
  // About 65 lines of 2000 characters per batch; a step takes a few batches.
  EXPECT_LT(Parser->LastParsed, 1000);
  EXPECT_FALSE(View.IsCollapsedFold(0));
  ASSERT_EQ(Host.Steps.size(), 1u);
  EXPECT_GE(Host.RunSteps(), 2);
  EXPECT_TRUE(View.IsCollapsedFold(0));
  EXPECT_EQ(TKivTestAccess::ScreenCache(View).CollapsedFolds(), TKivTestAccess::ScreenCache(sync).CollapsedFolds());
  EXPECT_EQ(View.GetVisibleCountScroll(), sync.GetVisibleCountScroll());
  sync.SetDocument(nullptr);
}

// The rows of an unwrapped text with collapsed folds, counted from the folds, against the rows
// the wrapping engine lays out (wrapped to a ruler wider than every line).
TEST(ScrollCountsTest, UnwrappedRowsFromFoldsMatchTheLayout) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 20; ++round) {
    RecordingHost hostA, hostB;
    TKivEditViewCore a(hostA), b(hostB);
    TKivEditDocument doc;
    const int lines = 50 + int(rng() % 200);
    doc.Insert(0, Lines(lines));
    a.SetDocument(&doc);
    b.SetDocument(&doc);
    b.SetWrapRulerWidth(1000);
    b.SetWrapMode(wmWrapToRuler);
    for (int k = 0; k < 12; ++k) {
      const Integer start = Integer(rng() % (lines - 1));
      const Integer end = std::min<Integer>(lines - 1, start + 1 + Integer(rng() % 20));
      for (TKivEditViewCore* v : {&a, &b}) {
        if (!v->IsLineStartVisible(start) || v->IsCollapsedFold(start)) continue;
        try {
          TKivTestAccess::ScreenCache(*v).CollapseLines(start, end);
        } catch (const EKivEditViewError&) {
        }
      }
    }
    SCOPED_TRACE(round);
    ASSERT_EQ(TKivTestAccess::ScreenCache(a).CollapsedFolds(), TKivTestAccess::ScreenCache(b).CollapsedFolds());
    ASSERT_EQ(a.GetVisibleCountScroll(), b.GetVisibleCountScroll());
    for (Integer line = 0; line < lines; ++line) {
      if (!b.IsLineStartVisible(line)) {
        EXPECT_EQ(ViewErrorOf([&] { a.PhysicalToScroll(line); }),
                  ViewErrorOf([&] { b.PhysicalToScroll(line); }));
        continue;
      }
      ASSERT_EQ(a.PhysicalToScroll(line), b.PhysicalToScroll(line)) << line;
    }
  }
}
