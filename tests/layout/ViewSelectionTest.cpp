// Cursor and selection setters, selected text, block and stream edits, the clipboard and the
// compound-edit scope of the view core, on the fixed-width fake with an in-memory clipboard.
#include <gtest/gtest.h>

#include <string>

#include "KivSedViewCore.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"

namespace {

struct MemoryClipboard : IKivClipboard {
  bool HasText() override { return !Text.empty(); }
  void GetText(TKivString& AText, bool& AIsRectBlock) override {
    AText = Text;
    AIsRectBlock = Block;
  }
  void SetText(TKivStringView AText, bool AIsRectBlock) override {
    if (AText.empty()) return;
    Text = TKivString(AText);
    Block = AIsRectBlock;
  }
  TKivString Text;
  bool Block = false;
};

std::string U8(const TKivString& AStr) {
  return KivToUtf8(AStr);
}

struct SelectionFixture : ::testing::Test {
  void SetUp() override {
    Doc.Lines().SetText(u"abcdef\r\nab\r\nabcdef");
    View.SetDocument(&Doc);
    View.SetClipboard(&Clip);
    View.HostResized();
  }
  void SetText(TKivStringView AText) {
    Doc.Lines().SetText(TKivString(AText));
    Doc.ClearUndo();
  }
  // The document's undo of this view with the cursor put back, as the edit commands run it.
  void Undo() {
    TKivDocUndoInfoPtr old;
    Doc.Internal().Undo(View.AuthorID(), nullptr, old);
    View.RestoreCursorUndoInfo(old.get());
  }
  std::string Text() { return U8(Doc.GetText(0, Doc.CharsCount())); }

  TKivEditDocument Doc;
  RecordingHost Host;
  TKivEditViewCore View{Host};
  MemoryClipboard Clip;
};

template <class F>
std::string Raised(F&& AFn) {
  try {
    AFn();
  } catch (const EKivError& e) {
    return U8(e.Message());
  }
  return "";
}

// ---- setters ----

TEST_F(SelectionFixture, SelectionMovesTheCursorToItsEndAndCancelCollapsesIt) {
  View.SetSelection({4, 2}, {1, 0});
  EXPECT_EQ(View.SelectionStart(), (TKivPoint{4, 2}));
  EXPECT_EQ(View.SelectionEnd(), (TKivPoint{1, 0}));
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 0}));
  EXPECT_TRUE(View.SelAvail());
  View.CancelSelection();
  EXPECT_FALSE(View.SelAvail());
  EXPECT_EQ(View.SelectionStart(), (TKivPoint{1, 0}));
  EXPECT_FALSE(View.SelectionBlockMode());

  View.SelectAll();
  EXPECT_EQ(View.SelectionOffsetStart(), 0);
  EXPECT_EQ(View.SelectionOffsetEnd(), Doc.CharsCount());
  EXPECT_EQ(View.CursorOffset(), Doc.CharsCount());
}

TEST_F(SelectionFixture, PositionsPastTheTextClamp) {
  View.SetSelection({0, 0}, {50, 70});
  EXPECT_EQ(View.SelectionEnd(), (TKivPoint{6, 2}));
  View.SetCursorPos({99, 1});
  EXPECT_EQ(View.CursorPos(), (TKivPoint{99, 1}));  // the empty space past the line's end
  View.SetViewSettings(View.ViewSettings() | vsCursorBoundToChars);
  View.SetCursorPos({98, 1});
  EXPECT_EQ(View.CursorPos(), (TKivPoint{2, 1}));
}

TEST_F(SelectionFixture, BadOffsetsAndPositionsRaiseAndChangeNothing) {
  View.SetSelectionOffsets(1, 3);
  struct Case {
    const char* Name;
    std::function<void()> Fn;
    std::string Message;
  };
  const Case cases[] = {
      {"cursor offset", [&] { View.SetCursorOffset(-1); }, "Bad offset: -1. Valid range: [0, 18]"},
      {"cursor offset past", [&] { View.SetCursorOffset(19); }, "Bad offset: 19. Valid range: [0, 18]"},
      {"selection offsets", [&] { View.SetSelectionOffsets(0, 40); }, "Bad offset: 40. Valid range: [0, 18]"},
      {"selection x", [&] { View.SetSelection({-1, 0}, {0, 0}); }, "Bad scroll position: [x < 0]."},
      {"selection y", [&] { View.SetSelection({0, 0}, {0, -2}); }, "Bad scroll position: [y < 0]."},
      {"cursor y", [&] { View.SetCursorPos({0, -1}); }, "Bad scroll position: [y < 0]."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Raised(c.Fn), c.Message);
    EXPECT_EQ(View.SelectionOffsetStart(), 1);
    EXPECT_EQ(View.SelectionOffsetEnd(), 3);
    EXPECT_EQ(View.CursorOffset(), 3);
  }
}

TEST_F(SelectionFixture, CursorOffsetKeepsTheSelectionAndTheBlockMode) {
  View.SetSelection({1, 0}, {3, 2}, true);
  View.SetCursorOffset(9);
  EXPECT_TRUE(View.SelectionBlockMode());
  EXPECT_EQ(View.SelectionStart(), (TKivPoint{1, 0}));
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 1}));
}

// ---- selected text ----

TEST_F(SelectionFixture, BlockTextAndItsClipboardMark) {
  View.SetSelection({2, 0}, {4, 2}, true);
  EXPECT_EQ(U8(View.SelectedText()), "cd\r\n\r\ncd");
  EXPECT_TRUE(View.CanCopy());
  View.CopySelection();
  EXPECT_EQ(U8(Clip.Text), "cd\r\n\r\ncd");
  EXPECT_TRUE(Clip.Block);
  // A stream selection copies without the mark.
  View.SetSelectionOffsets(1, 4);
  View.CopySelection();
  EXPECT_EQ(U8(Clip.Text), "bcd");
  EXPECT_FALSE(Clip.Block);
}

TEST_F(SelectionFixture, SelectedTextOfTabsAndShortLines) {
  SetText(u"a\tb\r\nxy\r\n\tz");
  View.SetTabWidth(4);
  struct Case {
    TKivPoint S, E;
    bool Block;
    const char* Text;
  };
  const Case cases[] = {
      {{2, 0}, {5, 0}, false, "  b"},         // from inside the tab: its covered cells as spaces
      {{0, 0}, {2, 2}, false, "a\tb\r\nxy\r\n  "},  // into the last line's tab
      {{1, 0}, {3, 2}, true, "  \r\ny\r\n  "},     // the tab inside, the short line without padding
      {{4, 0}, {4, 2}, true, "b\r\n\r\nz"},         // one column wide
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    View.SetSelection(c.S, c.E, c.Block);
    EXPECT_EQ(U8(View.SelectedText()), c.Text);
  }
}

TEST_F(SelectionFixture, SelectedTextReplacesAReversedSelectionKeepingItsOrientation) {
  SetText(u"hello world");
  View.SetSelectionOffsets(11, 6);
  View.SetSelectedText(u"abc");
  EXPECT_EQ(Text(), "hello abc");
  EXPECT_EQ(View.SelectionOffsetStart(), 9);
  EXPECT_EQ(View.SelectionOffsetEnd(), 6);
  EXPECT_EQ(View.CursorOffset(), 6);
  EXPECT_EQ(U8(View.SelectedText()), "abc");
}

TEST_F(SelectionFixture, OneColumnBlockDeletedAndRestoredByOneUndo) {
  SetText(u"0123456789\r\n0123456789\r\n0123456789\r\n0123456789\r\n0123456789\r\n0123456789\r\n0123456789");
  View.SetSelection({5, 2}, {5, 6}, true);
  EXPECT_EQ(U8(View.SelectedText()), "5\r\n5\r\n5\r\n5\r\n5");
  const std::string before = Text();
  const TKivPoint cursor = View.CursorPos();
  View.DeleteSelected();
  EXPECT_EQ(Text(),
            "0123456789\r\n0123456789\r\n012346789\r\n012346789\r\n012346789\r\n012346789\r\n012346789");
  EXPECT_FALSE(View.SelAvail());
  EXPECT_EQ(View.CursorPos(), (TKivPoint{5, 2}));
  Undo();
  EXPECT_EQ(Text(), before);
  EXPECT_EQ(View.CursorPos(), cursor);
  EXPECT_FALSE(Doc.CanUndo());
}

// ---- paste ----

TEST_F(SelectionFixture, BlockPasteOnTheLastLineAppendsLines) {
  SetText(u"abcdef\r\nxyz");
  Clip.SetText(u"11\r\n22\r\n33", true);
  View.SetCursorPos({1, 1});
  View.Paste();
  EXPECT_EQ(Text(), "abcdef\r\nx11yz\r\n 22\r\n 33");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{3, 3}));
  Undo();
  EXPECT_EQ(Text(), "abcdef\r\nxyz");
}

TEST_F(SelectionFixture, BlockPasteFillsShortLinesAndTabs) {
  SetText(u"abcdef\r\na\r\n\tb");
  View.SetTabWidth(4);
  Clip.SetText(u"X\nY\rZ", true);
  View.SetCursorPos({2, 0});
  View.Paste();
  EXPECT_EQ(Text(), "abXcdef\r\na Y\r\n  Z  b");
}

TEST_F(SelectionFixture, BlockPasteOverASelectionInsertsAtTheCursorAndCancelsIt) {
  View.SetSelectionOffsets(0, 3);
  Clip.SetText(u"Q", true);
  View.Paste();
  EXPECT_EQ(Text(), "abcQdef\r\nab\r\nabcdef");
  EXPECT_FALSE(View.SelAvail());
  EXPECT_EQ(View.CursorOffset(), 4);
}

TEST_F(SelectionFixture, StreamPasteReplacesTheSelectionWithDocumentLineBreaks) {
  View.SetSelectionOffsets(1, 3);
  Clip.SetText(u"1\n2\r3\r\n4", false);
  View.Paste();
  EXPECT_EQ(Text(), "a1\r\n2\r\n3\r\n4def\r\nab\r\nabcdef");
  EXPECT_EQ(View.CursorOffset(), 11);
  EXPECT_FALSE(View.SelAvail());
  Undo();
  EXPECT_EQ(Text(), "abcdef\r\nab\r\nabcdef");
}

TEST_F(SelectionFixture, CutCopiesAndDeletes) {
  View.SetSelectionOffsets(2, 10);
  View.CutSelection();
  EXPECT_EQ(U8(Clip.Text), "cdef\r\nab");
  EXPECT_EQ(Text(), "ab\r\nabcdef");
  EXPECT_EQ(View.CursorOffset(), 2);
}

// ---- errors ----

TEST_F(SelectionFixture, ReadOnlyRefusesChangesButCopies) {
  Clip.SetText(u"x", false);
  View.SetSelectionOffsets(0, 2);
  View.SetReadOnly(true);
  EXPECT_FALSE(View.CanPaste());
  EXPECT_FALSE(View.CanCut());
  EXPECT_TRUE(View.CanCopy());
  const std::string before = Text();
  EXPECT_EQ(Raised([&] { View.Paste(); }), "This View or its Document is read-only.");
  EXPECT_EQ(Raised([&] { View.CutSelection(); }), "This View or its Document is read-only.");
  EXPECT_EQ(Raised([&] { View.DeleteSelected(); }), "This View or its Document is read-only.");
  EXPECT_EQ(Raised([&] { View.SetSelectedText(u"q"); }), "This View or its Document is read-only.");
  EXPECT_EQ(Text(), before);
  View.CopySelection();
  EXPECT_EQ(U8(Clip.Text), "ab");
  View.SetReadOnly(false);
  EXPECT_TRUE(View.CanPaste());
}

TEST_F(SelectionFixture, WithoutADocumentPasteRaises) {
  View.SetDocument(nullptr);
  Clip.SetText(u"x", false);
  EXPECT_FALSE(View.CanPaste());
  EXPECT_FALSE(View.CanCopy());
  EXPECT_EQ(Raised([&] { View.Paste(); }), "Document must be attached to View for this operation");
  Integer s = 0, e = 0;
  EXPECT_EQ(Raised([&] { View.InsertInScrollEx({0, 0}, u"a", s, e); }),
            "Document must be attached to View for this operation");
}

// ---- compound edits ----

TEST_F(SelectionFixture, CompoundScopeClosesWhenAnEditRaises) {
  EXPECT_THROW(
      {
        TKivViewCompoundEdit outer(View);
        {
          TKivViewCompoundEdit inner(View);
          Doc.Internal().InsertStr(0, u"x", View.EditAuthorID(), nullptr);
          EXPECT_EQ(View.EditAuthorID(), -1);
          EXPECT_EQ(View.CursorUndoInfo(), nullptr);
        }
        Doc.Internal().InsertStr(999, u"y", View.EditAuthorID(), nullptr);
      },
      EKivError);
  EXPECT_FALSE(Doc.InsideCompoundEdit());
  EXPECT_EQ(View.EditAuthorID(), View.AuthorID());
  EXPECT_NE(View.CursorUndoInfo(), nullptr);
  EXPECT_EQ(Text(), "xabcdef\r\nab\r\nabcdef");
  Undo();
  EXPECT_EQ(Text(), "abcdef\r\nab\r\nabcdef");
}

// ---- primitives ----

TEST_F(SelectionFixture, PrimitivesFillTabsAndVirtualSpace) {
  View.SetTabWidth(4);
  struct Case {
    const char16_t* Text;
    TKivPoint S, E;
    const char16_t* Insert;
    const char* Result;
    Integer Start, End;
  };
  const Case cases[] = {
      {u"ab", {5, 0}, {5, 0}, u"X", "ab   X", 2, 6},             // past the line end
      {u"\tb", {2, 0}, {2, 0}, u"X", "  X  b", 0, 3},            // inside a tab
      {u"\tb", {1, 0}, {3, 0}, u"X", " X b", 0, 2},              // inside one tab both ends
      {u"abc\r\nde", {1, 0}, {1, 1}, u"", "ae", 1, 1},           // across lines
      {u"ab\r\ncd", {4, 0}, {0, 1}, u"", "ab  cd", 2, 4},        // from past a line end
      {u"abcdef", {4, 0}, {1, 0}, u"Q", "aQef", 1, 2},           // reversed ends
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Result);
    SetText(c.Text);
    Integer s = -1, e = -1;
    View.ReplaceInScrollEx(c.S, c.E, c.Insert, s, e);
    EXPECT_EQ(Text(), c.Result);
    EXPECT_EQ(s, c.Start);
    EXPECT_EQ(e, c.End);
    Undo();
    EXPECT_EQ(U8(Doc.GetText(0, Doc.CharsCount())), KivToUtf8(c.Text));
  }
}

TEST_F(SelectionFixture, DeleteInVirtualSpaceChangesNothing) {
  SetText(u"ab\r\ncd");
  TOffsetPoint start;
  View.DeleteInScrollEx({4, 0}, {8, 0}, start);
  EXPECT_EQ(Text(), "ab\r\ncd");
  EXPECT_FALSE(Doc.CanUndo());
  EXPECT_EQ(start, (TOffsetPoint{2, 0}));
}

TEST_F(SelectionFixture, InsertWithoutSpacesBeforeStartsAfterThem) {
  SetText(u"ab");
  Integer s = 0, e = 0;
  View.InsertInScrollEx({4, 0}, u"Z", false, s, e, false);
  EXPECT_EQ(Text(), "ab  Z");
  EXPECT_EQ(s, 4);
  EXPECT_EQ(e, 5);
}

}  // namespace

namespace {

// A cursor move repaints the caret alone, and the rows it leaves and reaches only while the
// cursor's row is highlighted.
TEST(ViewCursorRepaint, OnlyTheCaretUnlessTheRowIsHighlighted) {
  TKivEditDocument doc;
  TKivString text;
  for (int i = 0; i < 20; ++i) text += u"line of text\r\n";
  doc.Lines().SetText(text);
  RecordingHost host;
  host.Focus = true;
  TKivEditViewCore view(host);
  view.SetDocument(&doc);
  view.HostResized();
  view.SetCursorPos({1, 2});
  const auto rows = [&] {
    std::vector<std::pair<Integer, Integer>> res;
    for (const TKivRect& r : host.Rects) res.emplace_back(r.Top / 16, r.Bottom / 16);
    return res;
  };
  host.ResetCounts();
  const TKivRect caret = host.Caret;
  view.SetCursorPos({5, 2});
  EXPECT_TRUE(rows().empty());
  EXPECT_EQ(host.FullRepaints, 0);
  EXPECT_EQ(host.Caret.Left, caret.Left + 40);
  EXPECT_EQ(host.Caret.Top, caret.Top);

  view.SetCursorPos({5, 5});
  EXPECT_EQ(rows(), (std::vector<std::pair<Integer, Integer>>{{2, 3}, {5, 6}}));

  view.SetViewSettings(view.ViewSettings() & ~vsHighlightSelectedLine);
  host.ResetCounts();
  view.SetCursorPos({3, 7});
  EXPECT_TRUE(rows().empty());
  EXPECT_EQ(host.FullRepaints, 0);
  EXPECT_EQ(host.Caret.Top, caret.Top + 5 * 16);
  // A selection change still repaints its rows.
  view.SetSelection({0, 7}, {3, 8});
  EXPECT_FALSE(rows().empty());
}

TEST_F(SelectionFixture, PastedLineBreaksBecomeTheDocumentsOwn) {
  struct Case {
    TKivLineSeparator Sep;
    const char16_t* In;
    const char* Out;
  };
  const Case cases[] = {
      {lsCRLF, u"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd"},
      {lsLF, u"\r\n\r\r\n\n", "\n\n\n\n"},
      {lsCR, u"x\n\ny\r", "x\r\ry\r"},
      {lsCRLF, u"no breaks", "no breaks"},
      {lsLF, u"", ""},
      {lsCRLF, u"\r", "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Out);
    Doc.SetLineSeparator(c.Sep);
    EXPECT_EQ(U8(View.ToDocumentLineBreaks(c.In)), c.Out);
  }
}

}  // namespace
