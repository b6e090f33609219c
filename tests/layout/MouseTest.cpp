// The view's mouse with a recording host, a fake clock and hand-stepped timers: clicks and their
// halves, Shift and Alt, double, triple and fourth clicks, drag selection and its dead zone, the
// wait for a drag, right clicks, the fold and line-number bars, gutter-click handlers, the
// application's press hook, auto-scrolling and the cursor shapes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "KivSedGutter.h"
#include "KivSedViewCore.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"

namespace {

// The recording host with a clock stepped by hand and timers that tick when told.
class TimedHost : public RecordingHost {
 public:
  std::unique_ptr<IKivTimer> CreateTimer() override {
    auto timer = std::make_unique<TKivManualTimer>();
    Timers.push_back(timer.get());
    return timer;
  }
  const IKivMonotonicClock& Clock() const override { return FakeClock; }
  TKivManualClock FakeClock;
  std::vector<TKivManualTimer*> Timers;
};

constexpr Integer kG = 72;  // the default gutter
constexpr Integer kW = 10;  // glyph width
constexpr Integer kH = 16;  // row height

struct MouseFixture : ::testing::Test {
  void SetUp() override {
    Host.Focus = true;
    View.SetMouseHooks(&Hooks);
    View.SetMouseMetrics(400, 10);
  }
  void TearDown() override { View.SetDocument(nullptr); }
  // Client point of the left part of the cell at column ACol, row ARow.
  TKivPoint Cell(Integer ACol, Integer ARow) { return {View.GutterWidth() + ACol * kW + 2, ARow * kH + 4}; }
  void Load(const TKivString& AText, std::unique_ptr<FakeParser> AParser = nullptr) {
    if (AParser) Doc.SetParser(std::move(AParser));
    Doc.Insert(0, AText);
    View.SetDocument(&Doc);
    View.HostResized();
  }
  void Press(const TKivPoint& AP, TKivShiftState AShift = ssEmpty, TKivMouseButton AButton = mbLeft) {
    View.MouseDown(AButton, AShift | (AButton == mbLeft ? ssLeft : ssRight), AP.X, AP.Y);
  }
  void Release(const TKivPoint& AP, TKivShiftState AShift = ssEmpty, TKivMouseButton AButton = mbLeft) {
    View.MouseUp(AButton, AShift, AP.X, AP.Y);
  }
  void Click(const TKivPoint& AP, TKivShiftState AShift = ssEmpty) {
    Press(AP, AShift);
    Release(AP, AShift);
  }
  // A platform double click: the second press, then the double-click event, then the release.
  void DoubleClick(const TKivPoint& AP) {
    Click(AP);
    Press(AP);
    View.MouseDown(mbLeft, ssLeft, AP.X, AP.Y, true);
    Release(AP);
  }
  void Move(const TKivPoint& AP, TKivShiftState AShift = ssLeft) { View.MouseMove(AShift, AP.X, AP.Y); }
  std::string Sel() {
    if (!View.SelAvail()) return "none";
    const TKivPoint s = View.SelectionStart(), e = View.SelectionEnd();
    return std::to_string(s.X) + "," + std::to_string(s.Y) + "-" + std::to_string(e.X) + "," +
           std::to_string(e.Y) + (View.SelectionBlockMode() ? " block" : "");
  }

  TimedHost Host;  // 800 x 160: ten rows
  TKivEditDocument Doc;
  TKivGutterMouseHooks Hooks;
  TKivEditViewCore View{Host};
};

TKivString ManyLines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\r\n";
    text += u"line " + KivFromUtf8(std::to_string(i));
  }
  return text;
}

}  // namespace

TEST_F(MouseFixture, ClicksPutTheCursorByCellHalves) {
  Load(u"abcdef\r\nxy\r\nlast");
  const struct {
    Integer X, Y;
    TKivPoint Cursor;
  } cases[] = {
      {kG + 2, 4, {0, 0}},    {kG + 7, 4, {1, 0}},    {kG + 32, 20, {3, 1}}, {kG + 38, 20, {4, 1}},
      {kG + 200, 4, {20, 0}}, {kG + 12, 150, {1, 2}},
      {kG + 7, 150, {0, 2}},  // below the last row: the last row, no trailing half
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.X << "," << c.Y);
    Click({c.X, c.Y});
    EXPECT_EQ(View.CursorPos(), c.Cursor);
    EXPECT_EQ(Sel(), "none");
    EXPECT_FALSE(View.MouseCaptured());
  }
}

TEST_F(MouseFixture, ShiftClickAndDragSelect) {
  Load(u"abcdef\r\nghijkl\r\nmnopqr");
  Click(Cell(1, 0));
  Click(Cell(4, 0), ssShift);
  EXPECT_EQ(Sel(), "1,0-4,0");
  Click(Cell(2, 2), ssShift);
  EXPECT_EQ(Sel(), "1,0-2,2");
  // A drag: nothing within the dead zone, then straight down selects.
  Click(Cell(1, 0));
  Press(Cell(1, 0));
  Move({Cell(1, 0).X + 2, Cell(1, 0).Y + 2});
  EXPECT_EQ(Sel(), "none");
  Move(Cell(1, 2));
  EXPECT_EQ(Sel(), "1,0-1,2");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 2}));
  Move(Cell(3, 1));
  EXPECT_EQ(Sel(), "1,0-3,1");
  Release(Cell(3, 1));
  // Moves without the button select nothing.
  Click(Cell(0, 0));
  Move(Cell(4, 2), ssEmpty);
  EXPECT_EQ(Sel(), "none");
  // Alt drags a block.
  Press(Cell(1, 0), ssAlt);
  Move(Cell(3, 2), ssLeft | ssAlt);
  EXPECT_EQ(Sel(), "1,0-3,2 block");
  Release(Cell(3, 2), ssAlt);
}

TEST_F(MouseFixture, DoubleClickSelectsTheNearerWord) {
  Load(u"foo bar\r\n   \r\nx  yy");
  const struct {
    Integer Col, Row;
    const char* Sel;
  } cases[] = {
      {1, 0, "0,0-3,0"},  // inside "foo"
      {3, 0, "4,0-7,0"},  // the blank between: equal distance, the following word
      {5, 0, "4,0-7,0"},  // inside "bar"
      {1, 1, "0,1-3,1"},  // a line of blanks: all of it
      {1, 2, "0,2-1,2"},  // nearer to "x"
      {2, 2, "3,2-5,2"},  // nearer to "yy"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Col << "," << c.Row);
    Host.FakeClock.Advance(5000);
    DoubleClick(Cell(c.Col, c.Row));
    EXPECT_EQ(Sel(), c.Sel);
    EXPECT_FALSE(View.InState(siMouseSelectByWords));
  }
  // Dragging after a double click extends by words.
  Host.FakeClock.Advance(5000);
  Click(Cell(1, 0));
  Press(Cell(1, 0));
  View.MouseDown(mbLeft, ssLeft, Cell(1, 0).X, Cell(1, 0).Y, true);
  EXPECT_TRUE(View.InState(siMouseSelectByWords));
  Move(Cell(5, 0));
  EXPECT_EQ(Sel(), "0,0-7,0");
  Release(Cell(5, 0));
}

TEST_F(MouseFixture, TripleClickSelectsTheLineAndAFourthIsPlain) {
  Load(u"foo bar\r\nsecond line\r\nthird");
  DoubleClick(Cell(1, 1));
  EXPECT_EQ(Sel(), "0,1-6,1");
  Host.FakeClock.Advance(100);
  Click(Cell(1, 1));
  EXPECT_EQ(Sel(), "0,1-11,1");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{0, 1}));
  Host.FakeClock.Advance(100);
  Click(Cell(2, 1));
  EXPECT_EQ(Sel(), "none");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{2, 1}));
  // Too late for a triple click; and a clock that went back is no triple click either.
  DoubleClick(Cell(1, 0));
  Host.FakeClock.Advance(401);
  Click(Cell(1, 0));
  EXPECT_EQ(Sel(), "none");
  DoubleClick(Cell(1, 0));
  Host.FakeClock.Advance(-10);
  Click(Cell(1, 0));
  EXPECT_EQ(Sel(), "none");
}

TEST_F(MouseFixture, PressOnTheSelectionWaitsForADrag) {
  Load(u"abcdefgh\r\nsecond");
  int drags = 0;
  View.OnStartDrag = [&] { ++drags; };
  View.SetSelection({1, 0}, {6, 0});
  Press(Cell(3, 0));
  EXPECT_TRUE(View.InState(siWaitDrag));
  EXPECT_EQ(Sel(), "1,0-6,0");
  Release(Cell(3, 0));
  EXPECT_FALSE(View.InState(siWaitDrag));
  EXPECT_EQ(Sel(), "none");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{3, 0}));
  // With Shift the release moves the selection's end.
  View.SetSelection({1, 0}, {6, 0});
  Press(Cell(3, 0), ssShift);
  Release(Cell(3, 0), ssShift);
  EXPECT_EQ(Sel(), "1,0-3,0");
  // Moving beyond the drag distance starts the drag.
  View.SetSelection({1, 0}, {6, 0});
  Press(Cell(3, 0));
  Move({Cell(3, 0).X + 9, Cell(3, 0).Y});
  EXPECT_EQ(drags, 0);
  Move({Cell(3, 0).X + 10, Cell(3, 0).Y});
  EXPECT_EQ(drags, 1);
  EXPECT_FALSE(View.InState(siWaitDrag));
  Release(Cell(3, 0));
  // Without drag and drop a press on the selection cancels it.
  View.SetViewSettings(View.ViewSettings() & ~vsDragDropEditing);
  View.SetSelection({1, 0}, {6, 0});
  Press(Cell(3, 0));
  EXPECT_FALSE(View.InState(siWaitDrag));
  EXPECT_EQ(Sel(), "none");
  Release(Cell(3, 0));
}

TEST_F(MouseFixture, RightClickMovesTheCursorOnlyOutsideTheSelectionAndWhenAsked) {
  Load(u"abcdefgh\r\nsecond");
  View.SetSelection({1, 0}, {3, 0});
  Press(Cell(2, 1), ssEmpty, mbRight);
  Release(Cell(2, 1), ssEmpty, mbRight);
  EXPECT_EQ(View.CursorPos(), (TKivPoint{2, 1}));
  EXPECT_EQ(Sel(), "none");
  View.SetSelection({1, 0}, {3, 0});
  Press(Cell(2, 0), ssEmpty, mbRight);  // inside: stays
  EXPECT_EQ(Sel(), "1,0-3,0");
  View.SetViewSettings(View.ViewSettings() & ~vsRightClickMovesCursor);
  Press(Cell(5, 1), ssEmpty, mbRight);
  EXPECT_EQ(Sel(), "1,0-3,0");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{3, 0}));
}

TEST_F(MouseFixture, FoldBarTogglesUnlessAHandlerTookTheClick) {
  auto parser = std::make_unique<FakeParser>();
  parser->AddFold(1, 4);
  Host.Area = {0, 0, 800, 4 * kH};
  Load(ManyLines(8), std::move(parser));
  const TKivPoint foldBar{3 * 18 + 5, 1 * kH + 4};
  Click(foldBar);
  EXPECT_TRUE(View.IsCollapsedFold(1));
  EXPECT_EQ(View.CursorPos(), (TKivPoint{0, 0}));  // the cursor stays
  Click(foldBar);
  EXPECT_FALSE(View.IsCollapsedFold(1));
  // A handler that sets Handled gets the scroll line and the bar, and the fold stays.
  std::vector<std::string> calls;
  View.OnGutterClick = [&](TKivEditViewCore&, const TKivGutterClickParams& AParams, bool& Handled) {
    calls.push_back(std::to_string(AParams.ScrollLine) + " " + std::to_string(AParams.Bar->Kind()) + " " +
                    std::to_string(AParams.Button));
    Handled = true;
  };
  View.SetTopLineScroll(1);
  Click({foldBar.X, 4});
  EXPECT_FALSE(View.IsCollapsedFold(1));
  Click({5, 2 * kH + 4});
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "1 " + std::to_string(gbFoldBar) + " 0");
  EXPECT_EQ(calls[1], "3 " + std::to_string(gbBreakpointBar) + " 0");
  // Not handled: the fold bar acts again; a click in the text calls no gutter handler.
  View.OnGutterClick = [&](TKivEditViewCore&, const TKivGutterClickParams&, bool&) { calls.push_back("x"); };
  Click({foldBar.X, 4});
  EXPECT_TRUE(View.IsCollapsedFold(1));
  Click(Cell(1, 0));
  EXPECT_EQ(calls.size(), 3u);
}

TEST_F(MouseFixture, LineNumberBarSelectsLinesByAVerticalDrag) {
  Load(ManyLines(6));
  const Integer x = 2 * 18 + 6;
  Press({x, 1 * kH + 4});
  EXPECT_EQ(Sel(), "0,1-6,1");
  EXPECT_TRUE(View.InState(siMouseSelectByLines));
  Move({x, 3 * kH + 4});
  EXPECT_EQ(Sel(), "0,1-6,3");
  Release({x, 3 * kH + 4});
  EXPECT_FALSE(View.InState(siMouseSelectByLines));
  // Other bars and buttons do nothing.
  Click({5, 4});
  EXPECT_EQ(Sel(), "0,1-6,3");
  Press({x, 4}, ssEmpty, mbRight);
  EXPECT_EQ(Sel(), "0,1-6,3");
}

TEST_F(MouseFixture, ApplicationHookMayStopThePress) {
  Load(u"abcdef");
  bool stop = true;
  int calls = 0;
  View.OnMouseDown = [&](TKivEditViewCore&, TKivMouseButton, TKivShiftState, Integer, Integer, bool& AStop) {
    ++calls;
    AStop = stop;
  };
  Click(Cell(3, 0));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(View.CursorPos(), (TKivPoint{0, 0}));
  stop = false;
  Click(Cell(3, 0));
  EXPECT_EQ(View.CursorPos(), (TKivPoint{3, 0}));
}

TEST_F(MouseFixture, AutoScrollTicksBelowTheWindow) {
  Load(ManyLines(100));
  EXPECT_EQ(View.GutterWidth(), kG - 14 + 3 * kW);  // "100" widens the line numbers
  Press(Cell(2, 0));
  Move({Cell(2, 0).X, 160 + 5});  // just below the window
  ASSERT_EQ(Host.Timers.size(), 1u);
  TKivManualTimer& timer = *Host.Timers[0];
  EXPECT_TRUE(timer.Active());
  EXPECT_EQ(timer.Interval(), 15);
  const std::string sel = Sel();
  EXPECT_EQ(sel, "2,0-2,9");
  const Integer top = View.TopLineScroll();
  EXPECT_TRUE(timer.Tick());
  EXPECT_EQ(View.TopLineScroll(), top + 1);
  EXPECT_TRUE(timer.Tick());
  EXPECT_EQ(View.TopLineScroll(), top + 2);
  EXPECT_EQ(Sel(), sel);  // the ticks leave the selection to the next move
  Move({Cell(2, 0).X, 160 + 6});
  EXPECT_EQ(Sel(), "2,0-2," + std::to_string(top + 2 + 9));
  // Farther out, faster: 3 rows beyond the edge scroll 3 lines a tick.
  Move({Cell(2, 0).X, 160 + 2 * kH + 5});
  const Integer before = View.TopLineScroll();
  timer.Tick();
  EXPECT_EQ(View.TopLineScroll(), before + 3);
  // Back inside: the timer stops; out again, then the release stops it.
  Move(Cell(2, 5));
  EXPECT_FALSE(timer.Active());
  Move({Cell(2, 0).X, 170});
  EXPECT_TRUE(timer.Active());
  Release({Cell(2, 0).X, 170});
  EXPECT_FALSE(timer.Active());
  // Losing the focus stops it; a tick without the focus stops it too.
  Click(Cell(2, 5));  // off the selection, which would wait for a drag
  Press(Cell(2, 5));
  Move({Cell(2, 0).X, -5});
  EXPECT_TRUE(timer.Active());
  View.FocusChanged(false);
  EXPECT_FALSE(timer.Active());
  Host.Focus = true;
  Move({Cell(2, 0).X, -6});
  EXPECT_TRUE(timer.Active());
  Host.Focus = false;
  const Integer top2 = View.TopLineScroll();
  timer.Tick();
  EXPECT_FALSE(timer.Active());
  EXPECT_EQ(View.TopLineScroll(), top2);
  Release({Cell(2, 0).X, -6});
  EXPECT_EQ(Host.Timers.size(), 1u);
}

TEST_F(MouseFixture, CursorShapesPerRegion) {
  Load(u"abcdef\r\nxy");
  View.SetSelection({1, 0}, {4, 0});
  EXPECT_EQ(View.MouseCursorAt(5, 4), mcDefault);
  EXPECT_EQ(View.MouseCursorAt(2 * 18 + 5, 4), mcLineNumbers);
  EXPECT_EQ(View.MouseCursorAt(3 * 18 + 5, 4), mcDefault);
  EXPECT_EQ(View.MouseCursorAt(5, 150), mcDefault);  // the gutter below the text
  EXPECT_EQ(View.MouseCursorAt(Cell(0, 0).X, Cell(0, 0).Y), mcIBeam);
  EXPECT_EQ(View.MouseCursorAt(Cell(2, 0).X, Cell(2, 0).Y), mcArrow);
  EXPECT_EQ(View.MouseCursorAt(Cell(2, 1).X, Cell(2, 1).Y), mcIBeam);
  TKivPoint asked{-1, -1};
  View.OnGetMouseCursor = [&](TKivEditViewCore&, const TKivPoint& APos, TKivMouseCursor& ACursor) {
    asked = APos;
    if (APos.Y == 1) ACursor = mcArrow;
  };
  EXPECT_EQ(View.MouseCursorAt(Cell(1, 1).X, Cell(1, 1).Y), mcArrow);
  EXPECT_EQ(asked, (TKivPoint{1, 1}));
  View.SetViewSettings(View.ViewSettings() & ~vsDragDropEditing);
  EXPECT_EQ(View.MouseCursorAt(Cell(2, 0).X, Cell(2, 0).Y), mcIBeam);
}

TEST_F(MouseFixture, NothingHappensOnceTheHostIsReleased) {
  Load(u"abcdef");
  View.ReleaseHost();
  Click(Cell(3, 0));
  Move(Cell(4, 0));
  EXPECT_EQ(View.MouseCursorAt(Cell(3, 0).X, Cell(3, 0).Y), mcDefault);
}
