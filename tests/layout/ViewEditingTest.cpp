// The editing commands on the fixed-width fake (80 columns, 10 rows): typing in insert and
// overwrite mode, new lines, tabs, indenting, deletions and undo, each run through its command;
// then a random run of edits undone step by step against the texts and cursors it went through.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "KivSedViewCore.h"
#include "KivTestSeed.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"

namespace {

struct EditFixture : ::testing::Test {
  void SetUp() override {
    View.SetDocument(&Doc);
    View.HostResized();
  }
  void SetText(TKivStringView AText) {
    Doc.Lines().SetText(TKivString(AText));
    Doc.ClearUndo();
  }
  void Settings(TKivViewSettings AOn, TKivViewSettings AOff = 0) {
    View.SetViewSettings(TKivViewSettings((View.ViewSettings() | AOn) & ~AOff));
  }
  // The text with CR LF written as "|".
  std::string Text() {
    std::string s = KivToUtf8(Doc.Text());
    for (size_t at; (at = s.find("\r\n")) != std::string::npos;) s.replace(at, 2, "|");
    return s;
  }

  TKivEditDocument Doc;
  RecordingHost Host;
  TKivEditViewCore View{Host};
};

// One case: a text, settings, a cursor (or a selection from Sel to Cursor), a command with its
// argument; the text and cursor after it, and whether it beeped. Undo must give back the text and
// the cursor (and redo the result) unless the command changed nothing.
struct EditCase {
  const char* Name;
  const char16_t* Text;
  TKivViewSettings On, Off;
  TKivPoint Cursor;
  TKivEditCommand Command;
  const char16_t* Arg;
  const char* Expected;
  TKivPoint ExpectedCursor;
  bool Beeps = false;
  TKivPoint Sel{-1, -1};
  Integer TabWidth = 8, IndentWidth = 4;
};

constexpr TKivViewSettings kNone = 0;

const EditCase kCases[] = {
    {"overwrite inside a line", u"abc", vsOverwrite, kNone, {1, 0}, sedChar, u"x", "axc", {2, 0}},
    {"overwrite at the line end appends", u"abc", vsOverwrite, kNone, {3, 0}, sedChar, u"x", "abcx", {4, 0}},
    {"overwrite a cell of a tab", u"ab\tcd", vsOverwrite, kNone, {4, 0}, sedChar, u"x", "ab  x   cd", {5, 0}},
    {"overwrite a pair replaces both units", u"a\U0001F600b", vsOverwrite, kNone, {1, 0}, sedChar, u"x", "axb",
     {2, 0}},
    {"insert inside a tab splits it", u"ab\tcd", kNone, kNone, {4, 0}, sedChar, u"x", "ab  x    cd", {5, 0}},
    {"insert past the line end pads", u"ab", kNone, kNone, {4, 0}, sedStr, u"xy", "ab  xy", {6, 0}},
    {"typing replaces the selection", u"abcdef", vsOverwrite, kNone, {4, 0}, sedChar, u"x", "axef", {2, 0},
     false, {1, 0}},
    {"enter with auto-indent", u"    abcdef", kNone, kNone, {7, 0}, sedNewLine, nullptr, "    abc|    def", {4, 1}},
    {"enter at the indentation end", u"    abcdef", kNone, kNone, {4, 0}, sedNewLine, nullptr, "|    abcdef",
     {4, 1}},
    {"enter without auto-indent", u"    abcdef", kNone, vsAutoIndent, {7, 0}, sedNewLine, nullptr, "    abc|def",
     {0, 1}},
    {"enter trims trailing blanks", u"abc   ", kNone, kNone, {6, 0}, sedNewLine, nullptr, "abc|", {0, 1}},
    {"enter keeps blanks", u"abc   ", vsKeepBlanks, kNone, {6, 0}, sedNewLine, nullptr, "abc   |", {0, 1}},
    {"enter before blanks drops them", u"abc   def", kNone, kNone, {3, 0}, sedNewLine, nullptr, "abc|   def",
     {0, 1}},
    {"enter past the line end", u"  ab", kNone, kNone, {6, 0}, sedNewLine, nullptr, "  ab|  ", {2, 1}},
    {"enter replaces the selection", u"abcdef", kNone, kNone, {4, 0}, sedNewLine, nullptr, "ab|ef", {0, 1}, false,
     {2, 0}},
    {"tab to the next stop", u"abc", kNone, kNone, {3, 0}, sedTab, nullptr, "abc     ", {8, 0}},
    {"tab character with vsUseTabs", u"abc", vsUseTabs, kNone, {3, 0}, sedTab, nullptr, "abc\t", {8, 0}},
    {"tab-or-indent on the first line tabs", u"abc", kNone, kNone, {3, 0}, sedTabOrIndent, nullptr, "abc     ",
     {8, 0}},
    {"tab-or-indent after text tabs", u"        a|b", kNone, kNone, {1, 1}, sedTabOrIndent, nullptr,
     "        a|b       ", {8, 1}},
    {"tab-or-indent to the line above", u"      a|x", kNone, kNone, {0, 1}, sedTabOrIndent, nullptr, "      a|      x",
     {6, 1}},
    {"tab-or-indent keeps tabs of the reference", u"\ta|  x", kNone, kNone, {2, 1}, sedTabOrIndent, nullptr,
     "\ta|\tx", {8, 1}},
    {"overwrite tab moves only the cursor", u"abcdefghij", vsOverwrite, kNone, {3, 0}, sedTab, nullptr, "abcdefghij",
     {8, 0}},
    {"unindent by the first line's indent", u"  a|      b|c", kNone, kNone, {1, 2}, sedUnIndent, nullptr,
     "a|    b|c", {1, 2}, false, {0, 0}},
    {"indent from (5,3) to (0,6)", u"l0|l1|l2|line3|line4|line5|line6|line7", kNone, kNone, {0, 6}, sedIndent, nullptr,
     "l0|l1|l2|    line3|    line4|    line5|line6|line7", {0, 6}, false, {5, 3}},
    {"indent of a reversed selection", u"l0|l1|l2|line3|line4|line5|line6|line7", kNone, kNone, {5, 3}, sedIndent,
     nullptr, "l0|l1|l2|    line3|    line4|    line5|line6|line7", {9, 3}, false, {0, 6}},
    {"indent rewrites a tab with spaces", u"\tx", kNone, kNone, {8, 0}, sedIndent, nullptr, "            x", {12, 0}},
    {"indent to the previous indent", u"        a|  b|  c", kNone, kNone, {3, 2}, sedIndentToPrevIndent, nullptr,
     "        a|        b|        c", {9, 2}, false, {0, 1}},
    {"unindent to the previous indent", u"  a|        b|      c", kNone, kNone, {3, 2},
     sedUnIndentToPrevIndent, nullptr, "  a|  b|c", {0, 2}, false, {0, 1}},
    {"tab over lines indents them", u"a|b|c", kNone, kNone, {1, 1}, sedTab, nullptr, "    a|    b|c", {5, 1}, false,
     {0, 0}},
    {"backspace in virtual space moves the cursor", u"ab", kNone, kNone, {5, 0}, sedDeletePrevChar, nullptr, "ab",
     {2, 0}},
    {"backspace", u"abc", kNone, kNone, {2, 0}, sedDeletePrevChar, nullptr, "ac", {1, 0}},
    {"backspace joins lines", u"ab|cd", kNone, kNone, {0, 1}, sedDeletePrevChar, nullptr, "abcd", {2, 0}},
    {"backspace at the start beeps", u"ab", kNone, kNone, {0, 0}, sedDeletePrevChar, nullptr, "ab", {0, 0}, true},
    {"backspace takes a pair whole", u"a\U0001F600", kNone, kNone, {3, 0}, sedDeletePrevChar, nullptr, "a", {1, 0}},
    {"backspace inside a tab takes one cell", u"a\tb", kNone, kNone, {4, 0}, sedDeletePrevChar, nullptr, "a      b",
     {3, 0}},
    {"backspace deletes the selection", u"abcdef", kNone, kNone, {1, 0}, sedDeletePrevChar, nullptr, "aef", {1, 0},
     false, {4, 0}},
    {"backspace unindents to the line above", u"  a|      b", vsBackspaceUnindents, kNone, {6, 1},
     sedBackspaceOrUnindent, nullptr, "  a|  b", {2, 1}},
    {"backspace-unindent past a blank line's end moves the cursor", u"  a||b", vsBackspaceUnindents, kNone, {6, 1},
     sedBackspaceOrUnindent, nullptr, "  a||b", {2, 1}},
    {"backspace-unindent past blanks rewrites them", u"  a|    ", vsBackspaceUnindents, kNone, {6, 1},
     sedBackspaceOrUnindent, nullptr, "  a|  ", {2, 1}},
    {"backspace-unindent inside the text deletes", u"  a|    bc", vsBackspaceUnindents, kNone, {5, 1},
     sedBackspaceOrUnindent, nullptr, "  a|    c", {4, 1}},
    {"delete", u"abc", kNone, kNone, {1, 0}, sedDeleteChar, nullptr, "ac", {1, 0}},
    {"delete 3 cells past the end joins with padding", u"ab|cd", kNone, kNone, {5, 0}, sedDeleteChar, nullptr,
     "ab   cd", {5, 0}},
    {"delete at the end joins", u"ab|cd", kNone, kNone, {2, 0}, sedDeleteChar, nullptr, "abcd", {2, 0}},
    {"delete at the text end beeps", u"ab", kNone, kNone, {2, 0}, sedDeleteChar, nullptr, "ab", {2, 0}, true},
    {"delete keeps CR LF together", u"a|b", kNone, kNone, {1, 0}, sedDeleteChar, nullptr, "ab", {1, 0}},
    {"ctrl+backspace a word", u"one two", kNone, kNone, {7, 0}, sedDeletePrevWord, nullptr, "one ", {4, 0}},
    {"ctrl+backspace in a word", u"one two", kNone, kNone, {5, 0}, sedDeletePrevWord, nullptr, "one wo", {4, 0}},
    {"ctrl+delete a word", u"one two", kNone, kNone, {0, 0}, sedDeleteWord, nullptr, "two", {0, 0}},
    {"ctrl+delete at the end joins at the next word", u"ab|  cd", kNone, kNone, {2, 0}, sedDeleteWord, nullptr,
     "abcd", {2, 0}},
    {"ctrl+y", u"a|b|c", kNone, kNone, {1, 1}, sedDeleteLine, nullptr, "a|c", {1, 1}},
    {"ctrl+y on the empty last line", u"a|b|", kNone, kNone, {0, 2}, sedDeleteLine, nullptr, "a|", {0, 1}},
    {"ctrl+y in an empty text beeps", u"", kNone, kNone, {0, 0}, sedDeleteLine, nullptr, "", {0, 0}, true},
    {"delete to the line end", u"abcd|e", kNone, kNone, {1, 0}, sedDeleteToLineEnd, nullptr, "a|e", {1, 0}},
    {"delete to the line end at the end beeps", u"ab|e", kNone, kNone, {2, 0}, sedDeleteToLineEnd, nullptr, "ab|e",
     {2, 0}, true},
    {"delete to the line wrap", u"abcd|e", kNone, kNone, {2, 0}, sedDeleteToLineWrap, nullptr, "ab|e", {2, 0}},
};

TKivString WithCrLf(const char16_t* AText) {
  TKivString s;
  for (const char16_t* p = AText; *p; ++p) {
    if (*p == u'|')
      s += u"\r\n";
    else
      s += *p;
  }
  return s;
}

TEST_F(EditFixture, TableOfCommands) {
  for (const EditCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    View.SetViewSettings(TKivViewSettings((kivDefaultViewSettings | c.On) & ~c.Off));
    View.SetTabWidth(c.TabWidth);
    View.SetIndentWidth(c.IndentWidth);
    SetText(WithCrLf(c.Text));
    const std::string before = Text();
    View.SetCursorPos(c.Cursor);
    if (c.Sel.X >= 0) View.SetSelection(c.Sel, c.Cursor);
    const TKivPoint cursor = View.CursorPos();
    Host.ResetCounts();
    if (c.Arg)
      View.InvokeCommand(c.Command, TKivString(c.Arg));
    else
      View.InvokeCommand(c.Command);
    EXPECT_EQ(Text(), c.Expected);
    EXPECT_EQ(View.CursorPos(), c.ExpectedCursor);
    EXPECT_EQ(Host.Beeps > 0, c.Beeps);
    EXPECT_FALSE(Doc.InsideCompoundEdit());
    EXPECT_EQ(View.UpdatingCount(), 0);
    if (c.Beeps) {
      EXPECT_FALSE(View.CanUndo());
      continue;
    }
    // One undo step takes all of it back, the cursor where it stood; redo brings it again.
    const TKivPoint after = View.CursorPos();
    ASSERT_TRUE(View.CanUndo());
    View.InvokeCommand(sedUndo);
    EXPECT_EQ(Text(), before);
    EXPECT_EQ(View.CursorPos(), cursor);
    EXPECT_FALSE(View.SelAvail());
    EXPECT_FALSE(View.CanUndo());
    View.InvokeCommand(sedRedo);
    EXPECT_EQ(Text(), c.Expected);
    EXPECT_EQ(View.CursorPos(), after);
  }
}

TEST_F(EditFixture, UndoAndRedoOfNothingBeepAndTheChecksRaise) {
  SetText(u"abc");
  Host.ResetCounts();
  View.InvokeCommand(sedUndo);
  View.InvokeCommand(sedRedo);
  View.Undo();
  EXPECT_EQ(Host.Beeps, 3);
  EXPECT_FALSE(View.CanUndo());
  EXPECT_FALSE(View.CanRedo());
  View.SetReadOnly(true);
  EXPECT_EQ(ViewErrorOf([&] { View.Undo(); }), "This View or its Document is read-only.");
  EXPECT_EQ(ViewErrorOf([&] { View.InsertAtCursor(u"x", false); }), "This View or its Document is read-only.");
  View.SetReadOnly(false);
  View.SetDocument(nullptr);
  EXPECT_FALSE(View.CanUndo());
  EXPECT_EQ(ViewErrorOf([&] { View.Redo(); }), "Document must be attached to View for this operation");
  EXPECT_EQ(ViewErrorOf([&] { View.DeleteCharLeft(); }), "Document must be attached to View for this operation");
}

TEST_F(EditFixture, TypingMergesAndUndoRestoresCursorAndWordTyping) {
  SetText(u"one  two");
  View.SetCursorOffset(4);
  // "xy" typed between two blanks: word typing starts with the x.
  View.InvokeCommand(sedChar, TKivString(u"x"));
  EXPECT_TRUE(View.InState(siComplWordTyping));
  View.InvokeCommand(sedChar, TKivString(u"y"));
  EXPECT_EQ(Text(), "one xy two");
  View.SetCursorOffset(0);
  View.ExitStates(siComplWordTyping);
  // Both letters are one step; its undo puts the cursor before the x and word typing back.
  View.InvokeCommand(sedUndo);
  EXPECT_EQ(Text(), "one  two");
  EXPECT_EQ(View.CursorOffset(), 4);
  EXPECT_TRUE(View.InState(siComplWordTyping));
  EXPECT_FALSE(View.CanUndo());
  // Redo: the cursor where the undo found it.
  View.InvokeCommand(sedRedo);
  EXPECT_EQ(Text(), "one xy two");
  EXPECT_EQ(View.CursorOffset(), 0);
  // A change by another author has no cursor of this view: the cursor goes to its place.
  Doc.Insert(8, u"zz");
  View.SetCursorOffset(0);
  View.InvokeCommand(sedUndo);
  EXPECT_EQ(Text(), "one xy two");
  EXPECT_EQ(View.CursorOffset(), 8);
}

TEST_F(EditFixture, TypingRemembersTheCursorColumn) {
  SetText(u"abcdef\r\nab\r\nabcdef");
  Settings(vsCursorBoundToChars);
  View.SetCursorPos({2, 1});
  View.InvokeCommand(sedChar, TKivString(u"x"));
  View.InvokeCommand(sedDown);
  EXPECT_EQ(View.CursorPos(), (TKivPoint{3, 2}));
  // Deleting remembers the new column too.
  View.InvokeCommand(sedDeletePrevChar);
  View.InvokeCommand(sedUp);
  EXPECT_EQ(View.CursorPos(), (TKivPoint{2, 1}));
}

TEST_F(EditFixture, OnlyALinesEndJoinsLinesWhenWrapped) {
  SetText(u"ab cd ef\r\ngh");
  View.SetWrapRulerWidth(4);
  View.SetWrapMode(wmWrapToRuler);
  // Rows "ab ", "cd ", "ef", "gh".
  ASSERT_EQ(View.GetVisibleCountScroll(), 4);
  // The last position of a row that does not end its line: Delete takes the blank there.
  View.SetCursorPos({2, 0});
  View.InvokeCommand(sedDeleteChar);
  EXPECT_EQ(Doc.Text(), u"abcd ef\r\ngh");
  View.InvokeCommand(sedUndo);
  EXPECT_EQ(Doc.Text(), u"ab cd ef\r\ngh");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{2, 0}));
  // At the end of the line's last row Delete joins the next line.
  View.SetCursorPos({2, 2});
  View.InvokeCommand(sedDeleteChar);
  EXPECT_EQ(Doc.Text(), u"ab cd efgh");
  // Overwrite at a row's last position replaces that character.
  View.InvokeCommand(sedUndo);
  View.SetViewSettings(View.ViewSettings() | vsOverwrite);
  View.SetCursorPos({2, 1});
  View.InvokeCommand(sedChar, TKivString(u"_"));
  EXPECT_EQ(Doc.Text(), u"ab cd_ef\r\ngh");
}

TEST_F(EditFixture, HiddenLinesOfAFoldAreIndentedByTheirWholeText) {
  TKivEditDocument doc;
  auto parser = std::make_unique<FakeParser>();
  parser->AddFold(1, 3);
  doc.SetParser(std::move(parser));
  doc.Lines().SetText(u"a\r\n    fold\r\n        x\r\n        y\r\nb");
  View.SetDocument(&doc);
  View.Fold(1);
  ASSERT_TRUE(View.IsCollapsedFold(1));
  View.SetSelection(TKivPoint{0, 0}, TKivPoint{1, 2});
  View.InvokeCommand(sedIndent);
  EXPECT_EQ(doc.Text(), u"    a\r\n        fold\r\n            x\r\n            y\r\n    b");
  View.InvokeCommand(sedUndo);
  EXPECT_EQ(doc.Text(), u"a\r\n    fold\r\n        x\r\n        y\r\nb");
  // Backspace at the start of the line after the collapsed fold opens it and joins its last line.
  ASSERT_TRUE(View.IsCollapsedFold(1));
  View.SetCursorPos({0, 2});
  View.InvokeCommand(sedDeletePrevChar);
  EXPECT_FALSE(View.IsCollapsedFold(1));
  EXPECT_EQ(doc.Text(), u"a\r\n    fold\r\n        x\r\n        yb");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{9, 3}));
  // Delete at the end of a collapsed line opens the fold and joins the next line (hidden before).
  View.InvokeCommand(sedUndo);
  View.Fold(1);
  ASSERT_TRUE(View.IsCollapsedFold(1));
  View.SetCursorPos({0, 1});
  View.InvokeCommand(sedLineEnd);
  const TKivPoint end = View.CursorPos();
  View.InvokeCommand(sedDeleteChar);
  EXPECT_EQ(end, (TKivPoint{8, 1}));
  EXPECT_FALSE(View.IsCollapsedFold(1));
  EXPECT_EQ(doc.Text(), u"a\r\n    fold        x\r\n        y\r\nb");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{8, 1}));
  View.SetDocument(&Doc);
}

// Random typing, new lines, tabs, deletions and indents on texts with tabs, in insert and
// overwrite mode, with and without wrapping, over a collapsed fold; then undo to the start. Each undo gives back the text before one of the steps
// and the cursor it had then.
TEST_F(EditFixture, RandomEditsUndoneStepByStep) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  const auto pick = [&](int AMax) { return static_cast<int>(rng() % static_cast<unsigned>(AMax)); };
  const TKivEditCommand kCommands[] = {sedChar,         sedChar,       sedChar,         sedStr,
                                       sedNewLine,      sedTab,        sedTabOrIndent,  sedDeletePrevChar,
                                       sedDeleteChar,   sedDeleteWord, sedDeletePrevWord, sedIndent,
                                       sedUnIndent,     sedBackspaceOrUnindent, sedDeleteLine, sedDeleteToLineEnd,
                                       sedIndentToPrevIndent, sedUnIndentToPrevIndent};
  const char16_t kChars[] = u"ab \t.x";
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    TKivString text;
    const int lines = 1 + pick(6);
    for (int l = 0; l < lines; ++l) {
      const int len = pick(10);
      for (int i = 0; i < len; ++i) text += kChars[pick(6)];
      if (l + 1 < lines) text += u"\r\n";
    }
    View.SetViewSettings(TKivViewSettings(kivDefaultViewSettings | vsBackspaceUnindents));
    // Every third round wraps rows at 7 columns.
    View.SetWrapRulerWidth(7);
    View.SetWrapMode(round % 3 == 2 ? wmWrapToRuler : wmNoWrap);
    SetText(text);
    text = Doc.Text();
    // Every third round but the wrapped ones starts with lines 1 to 3 collapsed.
    if (round % 3 == 1 && Doc.LinesCount() > 3) {
      auto parser = std::make_unique<FakeParser>();
      parser->AddFold(1, 3);
      Doc.SetParser(std::move(parser));
      View.Fold(1);
    }
    std::vector<TKivString> texts;
    std::vector<TOffsetPoint> cursors;
    for (int step = 0; step < 40; ++step) {
      if (pick(4) == 0)
        View.SetViewSettings(TKivViewSettings(View.ViewSettings() ^ vsOverwrite));
      const Integer row = pick(View.GetVisibleCountScroll());
      const TKivPoint at{pick(14), row};
      View.SetCursorPos(at);
      if (pick(5) == 0) View.SetSelection(TKivPoint{pick(14), pick(View.GetVisibleCountScroll())}, at);
      const TKivString old = Doc.Text();
      const TOffsetPoint cursor = View.CursorOffsetPoint();
      const TKivEditCommand cmd = kCommands[pick(std::size(kCommands))];
      if (cmd == sedChar)
        View.InvokeCommand(cmd, TKivString(1, kChars[pick(6)]));
      else if (cmd == sedStr)
        View.InvokeCommand(cmd, TKivString(u"q\tq"));
      else
        View.InvokeCommand(cmd);
      ASSERT_FALSE(Doc.InsideCompoundEdit());
      ASSERT_EQ(View.UpdatingCount(), 0);
      texts.push_back(old);
      cursors.push_back(cursor);
    }
    // Undo to the start.
    size_t at = texts.size();
    int undos = 0;
    while (View.CanUndo()) {
      View.InvokeCommand(sedUndo);
      ASSERT_LT(++undos, 100);
      const TKivString now = Doc.Text();
      const TOffsetPoint cursor = View.CursorOffsetPoint();
      // The latest step before the last one undone whose start had this text and cursor.
      size_t k = at;
      while (k > 0 && !(texts[k - 1] == now && cursors[k - 1] == cursor)) --k;
      ASSERT_GT(k, 0u) << "undo " << undos << " gave a text or cursor no step started from";
      at = k - 1;
    }
    EXPECT_EQ(Doc.Text(), text);
  }
}

}  // namespace
