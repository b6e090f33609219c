// The 14 movements through the view's commands, with the column memory of vertical moves, on the
// fixed-width fake (10 px glyphs, 16 px rows, a window of 10 rows).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KivSedViewCore.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"

namespace {

struct MoveFixture : ::testing::Test {
  void Open(TKivStringView AText, bool ABound) {
    Doc.Lines().SetText(TKivString(AText));
    View.SetDocument(&Doc);
    View.HostResized();
    View.SetCursorOffset(0);
    const TKivViewSettings s = View.ViewSettings();
    View.SetViewSettings(ABound ? TKivViewSettings(s | vsCursorBoundToChars)
                                : TKivViewSettings(s & ~vsCursorBoundToChars));
  }
  // Runs a command; the cursor after it, "beep" when it beeped.
  std::string Run(TKivEditCommand ACommand) {
    const Integer beeps = Host.Beeps;
    View.InvokeCommand(ACommand);
    if (Host.Beeps != beeps) return "beep";
    const TKivPoint p = View.CursorPos();
    return std::to_string(p.X) + "," + std::to_string(p.Y);
  }
  std::vector<std::string> RunAll(TKivEditCommand ACommand, int ATimes) {
    std::vector<std::string> res;
    for (int i = 0; i < ATimes; ++i) res.push_back(Run(ACommand));
    return res;
  }

  TKivEditDocument Doc;
  RecordingHost Host;
  TKivEditViewCore View{Host};
};

using Steps = std::vector<std::string>;

TEST_F(MoveFixture, RightAtTheEndOfTheTextBeepsWhenBoundElseEntersVirtualSpace) {
  for (const bool bound : {true, false}) {
    SCOPED_TRACE(bound);
    Open(u"ab\r\nabc", bound);
    View.SetCursorOffset(7);
    if (bound)
      EXPECT_EQ(RunAll(sedRight, 2), (Steps{"beep", "beep"}));
    else
      EXPECT_EQ(RunAll(sedRight, 2), (Steps{"4,1", "5,1"}));
    // Past the end of a line that is not the last, Right goes to the next line when bound.
    View.SetCursorOffset(2);
    EXPECT_EQ(Run(sedRight), bound ? "0,1" : "3,0");
    EXPECT_EQ(Run(sedLeft), "2,0");
  }
}

TEST_F(MoveFixture, TabsAreCrossedInOneStepWhenBound) {
  Open(u"a\tb", true);
  View.SetTabWidth(4);
  EXPECT_EQ(RunAll(sedRight, 3), (Steps{"1,0", "4,0", "5,0"}));
  EXPECT_EQ(RunAll(sedLeft, 3), (Steps{"4,0", "1,0", "0,0"}));
  Open(u"a\tb", false);
  EXPECT_EQ(RunAll(sedRight, 4), (Steps{"1,0", "2,0", "3,0", "4,0"}));
}

TEST_F(MoveFixture, WordMovesStopAtTheRowEnd) {
  Open(u"foo bar\r\nbaz", true);
  EXPECT_EQ(RunAll(sedNextWord, 5), (Steps{"4,0", "7,0", "0,1", "3,1", "beep"}));
  EXPECT_EQ(RunAll(sedPrevWord, 5), (Steps{"0,1", "7,0", "4,0", "0,0", "beep"}));
}

TEST_F(MoveFixture, DownKeepsTheRememberedColumn) {
  for (const bool bound : {true, false}) {
    SCOPED_TRACE(bound);
    Open(u"abcdef\r\nab\r\nabcdef", bound);
    View.SetCursorPos({5, 0});
    if (bound) {
      EXPECT_EQ(RunAll(sedDown, 3), (Steps{"2,1", "5,2", "beep"}));
      EXPECT_EQ(RunAll(sedUp, 2), (Steps{"2,1", "5,0"}));
    } else {
      EXPECT_EQ(RunAll(sedDown, 2), (Steps{"5,1", "5,2"}));
    }
  }
}

TEST_F(MoveFixture, LineAndTextEnds) {
  Open(u"abc\r\nde\r\nfghij", true);
  View.SetCursorOffset(6);
  EXPECT_EQ(Run(sedLineHome), "0,1");
  EXPECT_EQ(Run(sedLineEnd), "2,1");
  EXPECT_EQ(Run(sedTextEnd), "5,2");
  EXPECT_EQ(Run(sedTextHome), "0,0");
  EXPECT_EQ(Run(sedSelectTextEnd), "5,2");
  EXPECT_EQ(View.SelectionOffsetStart(), 0);
  EXPECT_EQ(View.SelectionOffsetEnd(), Doc.CharsCount());
  EXPECT_EQ(Run(sedLineHome), "0,2");
  EXPECT_FALSE(View.SelAvail());
}

TEST_F(MoveFixture, PageAndScreenLineMoves) {
  TKivString text;
  for (int i = 0; i < 40; ++i) text += u"line\r\n";
  Open(text, true);
  View.SetCursorPos({2, 3});
  EXPECT_EQ(Run(sedPageDown), "2,13");
  EXPECT_EQ(View.TopLineScroll(), 10);
  EXPECT_EQ(Run(sedPageEnd), "2,19");
  EXPECT_EQ(Run(sedPageHome), "2,10");
  EXPECT_EQ(Run(sedPageUp), "2,0");
  EXPECT_EQ(View.TopLineScroll(), 0);
  EXPECT_EQ(Run(sedSelectPageDown), "2,10");
  EXPECT_EQ(View.SelectionStart(), (TKivPoint{2, 0}));
  EXPECT_EQ(View.SelectionEnd(), (TKivPoint{2, 10}));
  // At the end the page move stops at the last row.
  for (int i = 0; i < 5; ++i) View.InvokeCommand(sedPageDown);
  EXPECT_EQ(View.CursorPos(), (TKivPoint{2, 39}));
  EXPECT_EQ(View.TopLineScroll(), 30);
  EXPECT_EQ(View.UpdatingCount(), 0);
}

TEST_F(MoveFixture, BlockSelectingMovesKeepTheirRow) {
  Open(u"abcdef\r\nab\r\nabcdef", true);
  View.SetCursorPos({1, 0});
  EXPECT_EQ(RunAll(sedSelectDownBlock, 2), (Steps{"1,1", "1,2"}));
  EXPECT_EQ(RunAll(sedSelectRightBlock, 2), (Steps{"2,2", "3,2"}));
  EXPECT_TRUE(View.SelectionBlockMode());
  EXPECT_EQ(KivToUtf8(View.SelectedText()), "bc\r\nb\r\nbc");
  // Block moves never change the row: a word move at the row's end beeps.
  EXPECT_EQ(Run(sedSelectLineEndBlock), "6,2");
  EXPECT_EQ(Run(sedSelectNextWordBlock), "beep");
  // A plain move ends the block selection.
  EXPECT_EQ(Run(sedLeft), "5,2");
  EXPECT_FALSE(View.SelAvail());
  EXPECT_FALSE(View.SelectionBlockMode());
}

TEST_F(MoveFixture, SelectNoneAndSelectAll) {
  Open(u"abc\r\nde", true);
  View.InvokeCommand(sedSelectAll);
  EXPECT_EQ(View.SelectionOffsetEnd(), 7);
  EXPECT_EQ(View.CursorOffset(), 7);
  View.InvokeCommand(sedSelectNone);
  EXPECT_FALSE(View.SelAvail());
  EXPECT_EQ(View.CursorOffset(), 7);
}

// Wrapped to a ruler of 4 columns, "ab cd ef" takes the rows "ab ", "cd ", "ef": a row that goes
// on ends at its last character, only a line's last row has the empty space past the line end.
TEST_F(MoveFixture, CharAndRowMovesOnWrappedRows) {
  for (const bool bound : {true, false}) {
    SCOPED_TRACE(bound);
    Open(u"ab cd ef\r\ng", bound);
    View.SetWrapRulerWidth(4);
    View.SetWrapMode(wmWrapToRuler);
    ASSERT_EQ(View.GetVisibleCountScroll(), 4);
    // Right crosses from a row's last character to the next row's start; past the line's last
    // row it enters the empty space (not bound), which ends at the wrap width.
    if (bound)
      EXPECT_EQ(RunAll(sedRight, 11), (Steps{"1,0", "2,0", "0,1", "1,1", "2,1", "0,2", "1,2", "2,2", "0,3", "1,3",
                                             "beep"}));
    else
      EXPECT_EQ(RunAll(sedRight, 11), (Steps{"1,0", "2,0", "0,1", "1,1", "2,1", "0,2", "1,2", "2,2", "3,2", "0,3",
                                             "1,3"}));
    View.SetCursorPos({0, 3});
    EXPECT_EQ(RunAll(sedLeft, 4), (Steps{"2,2", "1,2", "0,2", "2,1"}));
    View.SetCursorPos({0, 1});
    EXPECT_EQ(Run(sedLeft), "2,0");
    // Home and End go to the ends of the row, not of the line.
    View.SetCursorPos({1, 1});
    EXPECT_EQ(Run(sedLineHome), "0,1");
    EXPECT_EQ(Run(sedLineEnd), "2,1");
    View.SetCursorPos({0, 2});
    EXPECT_EQ(Run(sedLineEnd), "2,2");
    EXPECT_EQ(Run(sedSelectLineHome), "0,2");
    EXPECT_EQ(KivToUtf8(View.SelectedText()), "ef");
    EXPECT_EQ(Run(sedTextEnd), "1,3");
    // Up and Down go by rows and come back to the remembered column.
    View.SetCursorPos({2, 0});
    EXPECT_EQ(RunAll(sedDown, 4), (Steps{"2,1", "2,2", bound ? "1,3" : "2,3", "beep"}));
    EXPECT_EQ(RunAll(sedUp, 4), (Steps{"2,2", "2,1", "2,0", "beep"}));
    if (!bound) {
      // From the empty space past the line end a row that goes on holds only its characters.
      View.SetCursorPos({3, 2});
      ASSERT_EQ(View.CursorPos(), (TKivPoint{3, 2}));
      EXPECT_EQ(RunAll(sedUp, 2), (Steps{"2,1", "2,0"}));
      EXPECT_EQ(RunAll(sedDown, 3), (Steps{"2,1", "3,2", "3,3"}));
    }
  }
}

TEST_F(MoveFixture, WordMovesOnWrappedRowsStopAtEachRowEnd) {
  Open(u"foo bar baz\r\nqux", true);
  View.SetWrapRulerWidth(6);
  View.SetWrapMode(wmWrapToRuler);
  // The rows "foo ", "bar ", "baz", "qux".
  ASSERT_EQ(View.GetVisibleCountScroll(), 4);
  EXPECT_EQ(RunAll(sedNextWord, 8), (Steps{"3,0", "0,1", "3,1", "0,2", "3,2", "0,3", "3,3", "beep"}));
  EXPECT_EQ(RunAll(sedPrevWord, 8), (Steps{"0,3", "3,2", "0,2", "3,1", "0,1", "3,0", "0,0", "beep"}));
}

TEST_F(MoveFixture, PageAndScreenLineMovesCountWrappedRows) {
  TKivString text;
  for (int i = 0; i < 30; ++i) text += u"ab cd ef\r\n";
  Open(text, true);
  View.SetWrapRulerWidth(4);
  View.SetWrapMode(wmWrapToRuler);
  ASSERT_EQ(View.GetVisibleCountScroll(), 90);  // three rows a line
  View.SetCursorPos({1, 2});
  EXPECT_EQ(Run(sedPageDown), "1,12");
  EXPECT_EQ(View.TopLineScroll(), 10);
  EXPECT_EQ(Run(sedPageDown), "1,22");
  EXPECT_EQ(View.TopLineScroll(), 20);
  EXPECT_EQ(View.CursorOffset(), Doc.GetLineStart(7) + 4);  // row 22: the second row of line 7
  EXPECT_EQ(Run(sedPageEnd), "1,29");
  EXPECT_EQ(Run(sedPageHome), "1,20");
  EXPECT_EQ(Run(sedSelectPageUp), "1,10");
  EXPECT_EQ(View.TopLineScroll(), 10);
  EXPECT_EQ(View.SelectionOffsetStart(), Doc.GetLineStart(6) + 7);  // row 20: line 6's last row
  EXPECT_EQ(View.SelectionOffsetEnd(), Doc.GetLineStart(3) + 4);
  EXPECT_EQ(Run(sedPageUp), "1,0");
  EXPECT_EQ(View.TopLineScroll(), 0);
  EXPECT_FALSE(View.SelAvail());
}

}  // namespace
