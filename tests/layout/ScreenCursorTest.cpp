// Cursor and selection: snapping, the correction rules, folds, status changes and errors.
#include <gtest/gtest.h>

#include "LayoutHarness.h"

namespace {

std::string PointText(const TKivPoint& P) {
  return "(" + std::to_string(P.X) + "," + std::to_string(P.Y) + ")";
}

std::string OffText(const TOffsetPoint& P) {
  return "{" + std::to_string(P.Offset) + "," + std::to_string(P.InCharOffset) + "}";
}

}  // namespace

TEST(ScreenCursor, SnappingOnTabsAndPastLineEnds) {
  struct {
    bool Bound;
    TKivPoint Pos;
    TScrollCorrectDir Dir;
    bool Block;
    const char* Offset;
    const char* Scroll;
  } cases[] = {
      {true, {12, 0}, scForward, false, "{3,0}", "(9,0)"},  // past the line end: onto it
      {true, {12, 0}, scForward, true, "{3,3}", "(12,0)"},  // block mode keeps the empty space
      {true, {4, 0}, scForward, false, "{2,0}", "(8,0)"},   // inside a tab moving forward: behind it
      {true, {4, 0}, scBackward, false, "{1,0}", "(1,0)"},  // moving backward: before it
      {false, {12, 0}, scForward, false, "{3,3}", "(12,0)"},
      {false, {4, 0}, scForward, false, "{1,3}", "(4,0)"},
      {true, {20, 5}, scForward, false, "{8,0}", "(3,1)"},  // clamped to the last row
  };
  for (const auto& c : cases) {
    LayoutHarness h(u"a\tb\r\nxyz", wmNoWrap);
    h.Host.BoundToChars = c.Bound;
    h.Cache->SetCursorPos(c.Pos, c.Dir, c.Block);
    const std::string what = PointText(c.Pos) + (c.Bound ? " bound" : "") + (c.Block ? " block" : "");
    EXPECT_EQ(OffText(h.Cache->CursorOffset()), c.Offset) << what;
    EXPECT_EQ(PointText(h.Cache->CursorPos()), c.Scroll) << what;
    EXPECT_EQ(h.Cache->SelBlockMode(), c.Block) << what;
  }
  // Selections always snap to line ends.
  LayoutHarness h(u"a\tb\r\nxyz", wmNoWrap);
  h.Cache->SetCursorPos({12, 0});
  h.Cache->SetSelection(TKivPoint{0, 0}, TKivPoint{12, 0});
  EXPECT_EQ(PointText(h.Cache->SelEnd()), "(9,0)");
  EXPECT_EQ(PointText(h.Cache->CursorPos()), "(12,0)");
  EXPECT_TRUE(h.Cache->SelAvail());
  // In block mode a selection keeps its columns.
  h.Cache->SetSelection(TKivPoint{0, 0}, TKivPoint{12, 1}, true);
  EXPECT_EQ(PointText(h.Cache->SelEnd()), "(12,1)");
  TKivPoint s, e;
  EXPECT_TRUE(h.Cache->SelectionToScreen(s, e));
  EXPECT_EQ(PointText(s) + PointText(e), "(0,0)(12,1)");
}

TEST(ScreenCursor, CorrectionAfterTheWrapWidth) {
  struct {
    TKivPoint Pos;
    const char* Offset;
    const char* Scroll;
  } cases[] = {
      {{12, 1}, "{14,0}", "(0,2)"},  // cell 12 ends past 100 px: the next line's start
      {{8, 1}, "{12,1}", "(8,1)"},   // still inside the wrap width
      {{9, 1}, "{12,2}", "(9,1)"},   // the last cell that fits
      {{7, 0}, "{5,0}", "(0,1)"},    // past a wrapped row's last character: the next row
      {{3, 2}, "{15,2}", "(3,2)"},   // the last line has no next line
  };
  for (const auto& c : cases) {
    LayoutHarness h(u"aaaa bbbb cc\r\nx", wmWrapToRuler, 10);
    h.Cache->SetCursorPos(c.Pos);
    EXPECT_EQ(OffText(h.Cache->CursorOffset()), c.Offset) << PointText(c.Pos);
    EXPECT_EQ(PointText(h.Cache->CursorPos()), c.Scroll) << PointText(c.Pos);
  }
  // Without moving forward a point past the wrap width is held at the last cell that fits.
  LayoutHarness h(u"aaaa bbbb cc\r\nx", wmWrapToRuler, 10);
  EXPECT_EQ(OffText(h.Cache->CorrectScrollPoint({12, 5}, scForCursor, scBackward, false, false)), "{12,2}");
  EXPECT_EQ(OffText(h.Cache->CorrectScrollPoint({4, 3}, scForCursor, scBackward, false, false)), "{4,0}");
  EXPECT_EQ(PointText(h.Cache->CorrectScrollPoint(TKivPoint{12, 1}, scForCursor, scBackward, false)),
            "(0,2)");
}

TEST(ScreenCursor, PointsInsideSeparatorsAndFolds) {
  LayoutHarness h(u"ab\r\ncd {\r\nef\r\n}\r\ngh", wmNoWrap);
  h.Parser->AddFold(1, 3);
  // Between CR and LF: the start of the line the offset belongs to.
  h.Cache->SetCursorOffset({3, 2});
  EXPECT_EQ(OffText(h.Cache->CursorOffset()), "{4,0}");
  // A cursor placed inside collapsed lines opens them.
  h.Cache->CollapseLines(1, 3);
  EXPECT_FALSE(h.Cache->IsOffsetVisible(10));
  EXPECT_EQ(h.Cache->GetNearestValidOffset(10), 8);
  h.Cache->SetCursorOffset({10, 0});
  EXPECT_EQ(h.Cache->CollapsedEnd(1), -1);
  EXPECT_EQ(PointText(h.Cache->CursorPos()), "(0,2)");
  // A selection end hidden by collapsing collapses the selection onto the cursor.
  h.Cache->SetCursorOffset({0, 0});
  h.Cache->SetSelection(TOffsetPoint{0, 0}, TOffsetPoint{h.Doc.GetLineStart(2) + 1, 0});
  EXPECT_TRUE(h.Cache->SelAvail());
  h.Cache->CollapseLines(1, 3);
  EXPECT_FALSE(h.Cache->SelAvail());
  EXPECT_EQ(h.Cache->SelStartOffset(), h.Cache->CursorOffset());
  EXPECT_EQ(h.Cache->SelEndOffset(), (TOffsetPoint{0, 0}));
  EXPECT_EQ(h.Cache->GetNextVisibleLine(1), 4);
  EXPECT_EQ(h.Cache->GetPrevVisibleLine(4), 1);
  EXPECT_FALSE(h.Cache->IsLineStartVisible(2));
  EXPECT_TRUE(h.Cache->IsLineStartVisible(1));
}

TEST(ScreenCursor, CursorAndSelectionFollowEdits) {
  LayoutHarness h(u"one\r\ntwo\r\nthree", wmNoWrap);
  h.Cache->SetCursorOffset({6, 0});
  h.Cache->SetSelection(TOffsetPoint{5, 0}, TOffsetPoint{6, 0});
  h.Doc.Insert(0, u"xx");
  EXPECT_EQ(OffText(h.Cache->CursorOffset()), "{8,0}");
  EXPECT_EQ(OffText(h.Cache->SelStartOffset()), "{7,0}");
  // Deleting the text under the cursor keeps it at the deletion's start.
  h.Doc.Delete(7, 2);
  EXPECT_EQ(OffText(h.Cache->CursorOffset()), "{7,0}");
  EXPECT_EQ(PointText(h.Cache->CursorPos()), "(0,1)");
  // A detached cache keeps plain offsets and lets go of its markers.
  h.Cache->DetachFromDocument();
  EXPECT_FALSE(h.Cache->Attached());
  EXPECT_EQ(OffText(h.Cache->CursorOffset()), "{7,0}");
  h.Cache->AttachToDocument();
  EXPECT_EQ(OffText(h.Cache->CursorOffset()), "{0,0}");
  EXPECT_FALSE(h.Cache->SelAvail());
}

TEST(ScreenCursor, StatusChanges) {
  LayoutHarness h(u"abc\r\ndef\r\nghi\r\njkl", wmNoWrap);
  h.Cache->SetScreenSize(100, 2);
  h.Cache->ResetStatusChanges();
  EXPECT_EQ(h.Cache->StatusChanges(), 0);
  h.Cache->SetCursorOffset({5, 0});
  EXPECT_EQ(h.Cache->StatusChanges(), scCursor);
  h.Cache->Scroll(1);
  EXPECT_EQ(h.Cache->StatusChanges(), scCursor | scVScroll);
  h.Cache->SetHorizScroll(3);
  EXPECT_EQ(h.Cache->StatusChanges(), scCursor | scVScroll | scHScroll);
  h.Cache->SetScreenSize(200, 2);
  EXPECT_EQ(h.Cache->StatusChanges(), scCursor | scVScroll | scHScroll | scScreenSize);
  h.Cache->SetSelection(TOffsetPoint{0, 0}, TOffsetPoint{1, 0});
  EXPECT_TRUE(h.Cache->StatusChanges() & scSelection);
  h.Cache->ResetStatusChanges();
  EXPECT_EQ(h.Cache->StatusChanges(), 0);
  EXPECT_EQ(h.Cache->OldLinesOnScreenScroll(), 2);
  // Scrolling past the end shortens the screen.
  h.Cache->Scroll(5);
  EXPECT_EQ(h.Cache->StatusChanges(), scVScroll | scScreenSize);
}

TEST(ScreenCursor, ErrorsLeaveTheStateUnchanged) {
  LayoutHarness h(u"ab{\r\nx\r\n}\r\nz", wmNoWrap);
  h.Cache->SetCursorOffset({1, 0});
  h.Cache->CollapseLines(0, 2);
  h.Cache->ResetStatusChanges();
  const auto state = [&] {
    return OffText(h.Cache->CursorOffset()) + OffText(h.Cache->SelStartOffset()) +
           OffText(h.Cache->SelEndOffset()) + std::to_string(h.Cache->FirstLineScroll()) + "/" +
           std::to_string(h.Cache->ScreenWidthPixels()) + "x" + std::to_string(h.Cache->ScreenHeightLines()) +
           "/" + std::to_string(h.Cache->TabWidth()) + "/" + std::to_string(h.Cache->CollapsedEnd(0));
  };
  const std::string before = state();
  struct {
    std::function<void()> Call;
    const char* Message;
  } cases[] = {
      {[&] { h.Cache->SetScreenSize(0, 10); }, "Invalid screen width given: [0]. Valid range: [1..MAXINT]"},
      {[&] { h.Cache->SetScreenSize(10, 0); }, "Invalid screen height given: [0]. Valid range: [1..MAXINT]"},
      {[&] { h.Cache->ScrollToPhysical(5); }, "Bad scroll line index: 5. Valid index: [0, 1]"},
      {[&] { h.Cache->ScrollToPhysical(-1); }, "Bad scroll line index: [y < 0]."},
      {[&] { h.Cache->GetScrollLineInfo(2); }, "Bad scroll line index: 2. Valid index: [0, 1]"},
      {[&] { h.Cache->OffsetToScroll(5); }, "This operation requires given offset to be visible. Offset: 5"},
      {[&] { h.Cache->PhysicalToScroll(1); },
       "This operation requires given physical line to be visible. Line: 1"},
      {[&] { h.Cache->PhysicalToScroll(9); },
       "Invalid physical line on screen index: 9. Valid range: [0, 3]"},
      {[&] { h.Cache->SetTabWidth(0); }, "Bad tab width: 0. It should be in bounds: [1, 200]"},
      {[&] {
         h.Cache->SetCursorPos({-1, 0});
       },
       "Bad scroll position: [x < 0]."},
      {[&] {
         h.Cache->SetCursorPos({0, -1});
       },
       "Bad scroll position: [y < 0]."},
      {[&] {
         h.Cache->SetCursorOffset({99, 0});
       },
       "Bad offset: 99. Valid range: [0, 12]"},
      {[&] {
         h.Cache->SetSelection(TOffsetPoint{0, 0}, TOffsetPoint{-2, 0});
       },
       "Bad offset: -2. Valid range: [0, 12]"},
      {[&] {
         h.Cache->ScrollPtToOffsetPt({0, 2});
       },
       "Bad scroll position: [y=2]. Valid range: [y=0]-[y=1]"},
      {[&] { h.Cache->GetScreenLine(2); }, "Bad screen line index: 2. Valid index: [0, 1]"},
      {[&] { h.Cache->ScrollToScreen(3, true); },
       "Bad scroll line index to convert to screen: 3. Valid index: [0, 1]"},
      {[&] { h.Cache->ScreenToScroll(-1, true); }, "Bad screen line index: -1. Valid index: [0, 1]"},
      {[&] { h.Cache->AddHighlight(5, 99); },
       "Bad offset range: [start: 5, count: 99]. Its bounds should be inside some scroll line."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ViewErrorOf(c.Call), c.Message);
    EXPECT_EQ(state(), before) << c.Message;
  }
  EXPECT_EQ(h.Cache->StatusChanges(), 0);
}
