// The drag-and-drop rules of the view core: drag over, drop inside one view, between views of one
// or two documents and from another program, and a cancelled drag.
#include <gtest/gtest.h>

#include <string>

#include "KivSedTimer.h"
#include "KivSedViewDragDrop.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"

namespace {

// The client point of a cell's left edge (10 px glyphs, 16 px rows, no gutter).
TKivPoint At(Integer AColumn, Integer ARow) {
  return {AColumn * 10, ARow * 16 + 3};
}

struct DropFixture : ::testing::Test {
  void SetUp() override {
    Doc.Lines().SetText(u"abcd");
    Doc.ClearUndo();
    View.SetDocument(&Doc);
    View.HostResized();
    View.SetSelectionOffsets(1, 3);
  }
  std::string Text(TKivEditDocument& ADoc) { return KivToUtf8(ADoc.GetText(0, ADoc.CharsCount())); }
  void Undo(TKivEditViewCore& AView) {
    TKivDocUndoInfoPtr old;
    AView.Document()->Internal().Undo(AView.AuthorID(), nullptr, old);
    AView.RestoreCursorUndoInfo(old.get());
  }

  TKivEditDocument Doc;
  RecordingHost Host;
  TKivEditViewCore View{Host};
};

TEST_F(DropFixture, DragOverShowsMoveCopyOrNoDrop) {
  EXPECT_EQ(KivViewDragOver(View, &View, At(4, 0), false), deMove);
  EXPECT_EQ(View.CursorOffset(), 4);  // the cursor follows the mouse
  EXPECT_EQ(KivViewDragOver(View, &View, At(4, 0), true), deCopy);
  EXPECT_EQ(KivViewDragOver(View, &View, At(2, 0), false), deNone);  // over the selection itself
  EXPECT_EQ(KivViewDragOver(View, &View, {900, 3}, false), deNone);    // outside the window
  EXPECT_EQ(KivViewDragOver(View, nullptr, At(2, 0), false), deMove);  // another program's text
  View.SetReadOnly(true);
  EXPECT_EQ(KivViewDragOver(View, nullptr, At(0, 0), true), deNone);
}

TEST_F(DropFixture, DropInsideOneView) {
  struct Case {
    Integer Column;
    bool Ctrl;
    TKivDropEffect Effect;
    const char* Text;
    Integer SelStart, SelEnd;
  };
  const Case cases[] = {
      {4, false, deMove, "adbc", 4, 2},
      {4, true, deCopy, "abcdbc", 6, 4},
      {0, false, deMove, "bcad", 2, 0},
      {2, false, deNone, "abcd", 1, 3},  // onto itself
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    Doc.Lines().SetText(u"abcd");
    Doc.ClearUndo();
    View.SetSelectionOffsets(1, 3);
    View.SetCursorBeforeDrag({1, 0});
    EXPECT_EQ(KivViewDrop(View, &View, At(c.Column, 0), c.Ctrl, nullptr), c.Effect);
    EXPECT_EQ(Text(Doc), c.Text);
    EXPECT_EQ(View.SelectionOffsetStart(), c.SelStart);
    EXPECT_EQ(View.SelectionOffsetEnd(), c.SelEnd);
    EXPECT_EQ(View.CursorBeforeDrag().Offset, -1);
    if (c.Effect == deNone) continue;
    EXPECT_EQ(View.CursorOffset(), c.SelEnd);  // at the inserted text's start
    // One undo step puts the text and the cursor of before the drag back.
    Undo(View);
    EXPECT_EQ(Text(Doc), "abcd");
    EXPECT_EQ(View.CursorOffset(), 1);
    EXPECT_FALSE(Doc.CanUndo());
  }
}

TEST_F(DropFixture, ExternalTextIsInsertedSelectedWithDocumentLineBreaks) {
  Doc.Lines().SetText(u"ab");
  const TKivString q = u"Q";
  EXPECT_EQ(KivViewDrop(View, nullptr, At(1, 0), false, &q), deMove);
  EXPECT_EQ(Text(Doc), "aQb");
  EXPECT_EQ(View.SelectionOffsetStart(), 2);
  EXPECT_EQ(View.SelectionOffsetEnd(), 1);
  EXPECT_EQ(View.CursorOffset(), 1);
  const TKivString lines = u"1\n2";
  EXPECT_EQ(KivViewDrop(View, nullptr, At(0, 0), true, &lines), deCopy);
  EXPECT_EQ(Text(Doc), "1\r\n2aQb");
  const TKivString empty;
  EXPECT_EQ(KivViewDrop(View, nullptr, At(0, 0), false, &empty), deNone);
  EXPECT_EQ(KivViewDrop(View, nullptr, At(0, 0), false, nullptr), deNone);
  View.SetReadOnly(true);
  EXPECT_EQ(KivViewDrop(View, nullptr, At(0, 0), false, &q), deNone);
  EXPECT_EQ(Text(Doc), "1\r\n2aQb");
}

TEST_F(DropFixture, MoveBetweenTwoDocumentsIsOneUndoStepInEach) {
  TKivEditDocument other;
  other.Lines().SetText(u"xyz");
  other.ClearUndo();
  RecordingHost otherHost;
  TKivEditViewCore target(otherHost);
  target.SetDocument(&other);
  target.HostResized();
  View.SetSelection({1, 0}, {3, 0}, false);
  EXPECT_EQ(KivViewDrop(target, &View, At(1, 0), false, nullptr), deMove);
  EXPECT_EQ(Text(other), "xbcyz");
  EXPECT_EQ(Text(Doc), "ad");
  EXPECT_FALSE(View.SelAvail());
  EXPECT_EQ(target.SelectionOffsetStart(), 3);
  EXPECT_EQ(target.CursorOffset(), 1);
  Undo(View);
  EXPECT_EQ(Text(Doc), "abcd");
  EXPECT_FALSE(Doc.CanUndo());
  Undo(target);
  EXPECT_EQ(Text(other), "xyz");
  EXPECT_FALSE(other.CanUndo());
  // From a read-only source the drop copies.
  View.SetSelectionOffsets(0, 1);
  View.SetReadOnly(true);
  EXPECT_EQ(KivViewDragOver(target, &View, At(0, 0), false), deCopy);
  EXPECT_EQ(KivViewDrop(target, &View, At(0, 0), false, nullptr), deCopy);
  EXPECT_EQ(Text(other), "axyz");
  EXPECT_EQ(Text(Doc), "abcd");
}

TEST_F(DropFixture, BlockDropInsertsABlock) {
  Doc.Lines().SetText(u"abcd\r\nefgh\r\nij");
  View.SetSelection({1, 0}, {3, 1}, true);
  EXPECT_EQ(KivViewDrop(View, &View, At(2, 2), true, nullptr), deCopy);
  EXPECT_EQ(Text(Doc), "abcd\r\nefgh\r\nijbc\r\n  fg");
  EXPECT_TRUE(View.SelectionBlockMode());
  EXPECT_EQ(KivToUtf8(View.SelectedText()), "bc\r\nfg");
}

TEST_F(DropFixture, CancelPutsTheCursorBack) {
  View.SetCursorBeforeDrag({2, 0});
  KivViewDragOver(View, &View, At(4, 0), false);
  EXPECT_EQ(View.CursorOffset(), 4);
  KivViewDragCancel(View);
  EXPECT_EQ(View.CursorOffset(), 2);
  EXPECT_EQ(View.CursorBeforeDrag().Offset, -1);
}

// The drop goes where the mouse's hit test puts the cursor: the later half of a cell drops after
// it, a point below the text on the last row; past a line's end the empty space is padded when
// the cursor is not bound to characters.
TEST_F(DropFixture, DropPositionIsTheMouseHitTest) {
  struct Case {
    TKivPoint Client;
    bool Bound;
    const char* Text;
  };
  const Case cases[] = {
      {{12, 3}, false, "aQbcd\r\nef"},        // the first half of "b"
      {{17, 3}, false, "abQcd\r\nef"},        // its later half
      {{200, 3}, true, "abcdQ\r\nef"},        // past the end, bound
      {{62, 19}, false, "abcd\r\nef    Q"},  // past the end: padded to the column
      {{12, 150}, true, "abcd\r\neQf"},      // below the text
  };
  const TKivString q = u"Q";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    Doc.Lines().SetText(u"abcd\r\nef");
    View.CancelSelection();
    const TKivViewSettings s = View.ViewSettings();
    View.SetViewSettings(c.Bound ? TKivViewSettings(s | vsCursorBoundToChars)
                                 : TKivViewSettings(s & ~vsCursorBoundToChars));
    const TKivPoint over = (KivViewDragOver(View, nullptr, c.Client, false), View.CursorPos());
    EXPECT_EQ(KivViewDrop(View, nullptr, c.Client, false, &q), deMove);
    EXPECT_EQ(Text(Doc), c.Text);
    // The drag over showed the cursor where the text went.
    EXPECT_EQ(View.OffsetToScrollPos(View.SelectionOffsetEnd()), over);
  }
}

// Near an edge of the text area (3 pixels) a drag scrolls the view, as a mouse selection does
// past the edge; moving in, the drop and a cancelled drag stop it.
TEST_F(DropFixture, DragNearAnEdgeAutoScrolls) {
  Host.Focus = true;
  TKivString text;
  for (int i = 0; i < 100; ++i) text += u"line\r\n";
  Doc.Lines().SetText(text);
  View.CancelSelection();
  // The window is 160 pixels high: 10 rows.
  EXPECT_EQ(KivViewDragOver(View, nullptr, {20, 156}, false), deMove);
  EXPECT_FALSE(View.AutoScrolling());
  EXPECT_EQ(KivViewDragOver(View, nullptr, {20, 157}, false), deMove);
  ASSERT_TRUE(View.AutoScrolling());
  auto* timer = dynamic_cast<TKivManualTimer*>(View.AutoScrollTimer());
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->Tick());
  EXPECT_TRUE(timer->Tick());
  EXPECT_EQ(View.TopLineScroll(), 2);
  KivViewDragOver(View, nullptr, {20, 80}, false);
  EXPECT_FALSE(View.AutoScrolling());
  // The top edge scrolls back.
  EXPECT_EQ(KivViewDragOver(View, nullptr, {20, 2}, false), deMove);
  ASSERT_TRUE(View.AutoScrolling());
  timer->Tick();
  EXPECT_EQ(View.TopLineScroll(), 1);
  // Over the view's own selection the drop is refused, yet the view still scrolls.
  View.SetSelection(TKivPoint{4, 30}, TKivPoint{0, 0}, false);
  EXPECT_EQ(KivViewDragOver(View, &View, {20, 158}, false), deNone);
  EXPECT_TRUE(View.AutoScrolling());
  const TKivString q = u"Q";
  EXPECT_EQ(KivViewDrop(View, nullptr, {20, 158}, false, &q), deMove);
  EXPECT_FALSE(View.AutoScrolling());
  KivViewDragOver(View, nullptr, {20, 158}, false);
  ASSERT_TRUE(View.AutoScrolling());
  KivViewDragCancel(View);
  EXPECT_FALSE(View.AutoScrolling());
  // A read-only view neither accepts nor scrolls.
  View.SetReadOnly(true);
  EXPECT_EQ(KivViewDragOver(View, nullptr, {20, 158}, false), deNone);
  EXPECT_FALSE(View.AutoScrolling());
}

}  // namespace
