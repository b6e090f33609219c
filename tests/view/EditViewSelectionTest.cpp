// The widget's cursor keys, clipboard keys over the real clipboard and drag and drop with
// synthesized Qt drag events, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <string>

#include "KivSedClipboard.h"
#include "KivSedView.h"

namespace {

struct SelectionViewFixture : ::testing::Test {
  void SetUp() override {
    TKivCustomEditView::SetErrorHandler(
        [this](QWidget*, const QString& AMessage) { Errors.push_back(AMessage.toStdString()); });
    Doc.Lines().SetText(u"abcdef\r\nab\r\nabcdef");
    View.SetDocument(&Doc);
    View.resize(400, 300);
    View.show();
    View.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
    View.setFocus();
  }
  void TearDown() override { TKivCustomEditView::SetErrorHandler(nullptr); }
  std::string Text() { return KivToUtf8(Doc.GetText(0, Doc.CharsCount())); }
  std::string Pos() {
    const TKivPoint p = View.CursorPos();
    return std::to_string(p.X) + "," + std::to_string(p.Y);
  }
  void Key(Qt::Key AKey, Qt::KeyboardModifiers AMods = Qt::NoModifier) { QTest::keyClick(&View, AKey, AMods); }
  // The client point of a cell (as the view measures).
  QPointF Cell(Integer AColumn, Integer ARow) {
    TKivRect r;
    EXPECT_TRUE(View.ScrollPosToClient({AColumn, ARow}, r));
    return QPointF(r.Left + 1, r.Top + 1);
  }
  // A drag entering, moving and dropped at a point, as Qt delivers them to the view's area.
  Qt::DropAction Drop(QMimeData& AData, QPointF AAt, Qt::KeyboardModifiers AMods, bool* AMoveAccepted = nullptr) {
    // Qt delivers moves and the drop to the widget that accepted the enter.
    QDragEnterEvent enter(AAt.toPoint(), Qt::CopyAction | Qt::MoveAction, &AData, Qt::LeftButton, AMods);
    QCoreApplication::sendEvent(View.viewport(), &enter);
    QDragMoveEvent move(AAt.toPoint(), Qt::CopyAction | Qt::MoveAction, &AData, Qt::LeftButton, AMods);
    QCoreApplication::sendEvent(View.viewport(), &move);
    if (AMoveAccepted) *AMoveAccepted = move.isAccepted();
    QDropEvent drop(AAt, Qt::CopyAction | Qt::MoveAction, &AData, Qt::LeftButton, AMods);
    QCoreApplication::sendEvent(View.viewport(), &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
  }

  TKivEditDocument Doc;
  TKivEditView View;
  std::vector<std::string> Errors;
};

TEST_F(SelectionViewFixture, CursorKeysMoveAndSelect) {
  View.SetCursorPos({5, 0});
  Key(Qt::Key_Down);
  EXPECT_EQ(Pos(), "5,1");  // not bound to characters: the empty space past the line's end
  Key(Qt::Key_Down);
  EXPECT_EQ(Pos(), "5,2");
  View.SetViewSettings(View.ViewSettings() | vsCursorBoundToChars);
  Key(Qt::Key_End);
  Key(Qt::Key_Right);
  EXPECT_EQ(Pos(), "6,2");
  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(Pos(), "0,0");
  Key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(View.SelectionOffsetEnd(), 6);
  EXPECT_TRUE(View.SelAvail());
  Key(Qt::Key_Left);
  EXPECT_FALSE(View.SelAvail());
  // Alt+Shift selects a block.
  View.SetCursorPos({2, 0});
  Key(Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
  Key(Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_TRUE(View.SelectionBlockMode());
  EXPECT_EQ(KivToUtf8(View.SelectedText()), "cd\r\n\r\ncd");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(SelectionViewFixture, DownKeysKeepTheColumnWhenBoundToCharacters) {
  View.SetViewSettings(View.ViewSettings() | vsCursorBoundToChars);
  View.SetCursorPos({5, 0});
  Key(Qt::Key_Down);
  EXPECT_EQ(Pos(), "2,1");  // the end of "ab"
  Key(Qt::Key_Down);
  EXPECT_EQ(Pos(), "5,2");  // back in the remembered column
  Key(Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(Pos(), "2,1");
  Key(Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(Pos(), "5,0");
  EXPECT_EQ(View.SelectionOffsetStart(), 17);
  EXPECT_EQ(View.SelectionOffsetEnd(), 5);
  // A horizontal move forgets the column.
  Key(Qt::Key_Left);
  Key(Qt::Key_Down);
  EXPECT_EQ(Pos(), "2,1");
  Key(Qt::Key_Down);
  EXPECT_EQ(Pos(), "4,2");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(SelectionViewFixture, ClipboardKeysWithTheBlockMark) {
  View.SetSelection({2, 0}, {4, 2}, true);
  Key(Qt::Key_C, Qt::ControlModifier);
  const QMimeData* data = QApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->text().toStdString(), "cd\r\n\r\ncd");
  EXPECT_EQ(data->data(QLatin1String(kivRectBlockMimeType)), QByteArray("\x20\x00\x00\x00", 4));
  // Shift+Insert pastes the block at the cursor.
  View.SetCursorOffset(0);
  Key(Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(Text(), "cdabcdef\r\nab\r\ncdabcdef");
  // Ctrl+Insert copies a stream, Ctrl+X cuts, Ctrl+V pastes.
  View.SetSelectionOffsets(0, 2);
  Key(Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "cd");
  EXPECT_FALSE(QApplication::clipboard()->mimeData()->hasFormat(QLatin1String(kivRectBlockMimeType)));
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Text(), "abcdef\r\nab\r\ncdabcdef");
  Key(Qt::Key_End, Qt::ControlModifier);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Text(), "abcdef\r\nab\r\ncdabcdefcd");
  // Read-only: paste refused with its message, copy still works.
  View.SetReadOnly(true);
  EXPECT_FALSE(View.CanPaste());
  const std::string before = Text();
  EXPECT_THROW(View.Paste(), EKivEditViewError);
  EXPECT_EQ(Text(), before);
  View.SetSelectionOffsets(0, 3);
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "abc");
}

TEST_F(SelectionViewFixture, DropsInsideTheViewMoveOrCopy) {
  struct Case {
    Integer Column;
    Qt::KeyboardModifiers Mods;
    Qt::DropAction Action;
    const char* Text;
  };
  const Case cases[] = {
      {4, Qt::NoModifier, Qt::MoveAction, "adbc"},
      {4, Qt::ControlModifier, Qt::CopyAction, "abcdbc"},
      {2, Qt::NoModifier, Qt::IgnoreAction, "abcd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    Doc.Lines().SetText(u"abcd");
    View.SetSelectionOffsets(1, 3);
    std::unique_ptr<QMimeData> data(View.CreateDragData());
    EXPECT_EQ(data->text().toStdString(), "bc");
    EXPECT_EQ(Drop(*data, Cell(c.Column, 0), c.Mods), c.Action);
    EXPECT_EQ(Text(), c.Text);
  }
  EXPECT_TRUE(Errors.empty());
}

TEST_F(SelectionViewFixture, DropsFromOtherProgramsAndRefusals) {
  Doc.Lines().SetText(u"ab");
  QMimeData external;
  external.setText(QStringLiteral("Q"));
  EXPECT_EQ(Drop(external, Cell(1, 0), Qt::NoModifier), Qt::MoveAction);
  EXPECT_EQ(Text(), "aQb");
  EXPECT_EQ(View.SelectionOffsetStart(), 2);
  EXPECT_EQ(View.CursorOffset(), 1);
  // Data without text is ignored.
  QMimeData image;
  image.setData(QStringLiteral("image/png"), QByteArray("png"));
  bool accepted = true;
  EXPECT_EQ(Drop(image, Cell(0, 0), Qt::NoModifier, &accepted), Qt::IgnoreAction);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(Text(), "aQb");
  // A read-only view refuses.
  View.SetReadOnly(true);
  EXPECT_EQ(Drop(external, Cell(0, 0), Qt::NoModifier, &accepted), Qt::IgnoreAction);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(Text(), "aQb");
  // A drag from another process's view is plain text.
  View.SetReadOnly(false);
  QMimeData foreign;
  foreign.setText(QStringLiteral("Z"));
  foreign.setData(QLatin1String(TKivCustomEditView::DragFormat()), QByteArray("0:1"));
  EXPECT_EQ(Drop(foreign, Cell(0, 0), Qt::ControlModifier), Qt::CopyAction);
  EXPECT_EQ(Text(), "ZaQb");
  EXPECT_TRUE(Errors.empty());
}

// A drag from a read-only view copies: the drop on another view says so, and the source keeps its
// text (Ctrl or not).
TEST_F(SelectionViewFixture, DropFromAReadOnlyViewCopies) {
  TKivEditDocument sourceDoc;
  sourceDoc.Lines().SetText(u"xyz");
  sourceDoc.ClearUndo();
  TKivEditView source;
  source.SetDocument(&sourceDoc);
  source.resize(200, 100);
  source.SetSelectionOffsets(0, 2);
  source.SetReadOnly(true);
  Doc.Lines().SetText(u"ab");
  std::unique_ptr<QMimeData> data(source.CreateDragData());
  bool accepted = false;
  EXPECT_EQ(Drop(*data, Cell(1, 0), Qt::NoModifier, &accepted), Qt::CopyAction);
  EXPECT_TRUE(accepted);
  EXPECT_EQ(Text(), "axyb");
  EXPECT_EQ(KivToUtf8(sourceDoc.GetText(0, sourceDoc.CharsCount())), "xyz");
  EXPECT_FALSE(sourceDoc.CanUndo());
  EXPECT_EQ(KivToUtf8(View.SelectedText()), "xy");
  // A writable source moves.
  source.SetReadOnly(false);
  source.SetSelectionOffsets(2, 3);
  data.reset(source.CreateDragData());
  EXPECT_EQ(Drop(*data, Cell(0, 0), Qt::NoModifier), Qt::MoveAction);
  EXPECT_EQ(Text(), "zaxyb");
  EXPECT_EQ(KivToUtf8(sourceDoc.GetText(0, sourceDoc.CharsCount())), "xy");
  source.SetDocument(nullptr);
  EXPECT_TRUE(Errors.empty());
}

// A drag held near the bottom edge scrolls the view; leaving the view stops it.
TEST_F(SelectionViewFixture, DragNearTheEdgeAutoScrollsUntilItLeaves) {
  TKivString text;
  for (int i = 0; i < 200; ++i) text += u"line\r\n";
  Doc.Lines().SetText(text);
  const std::string before = Text();
  QMimeData external;
  external.setText(QStringLiteral("Q"));
  const QPoint nearBottom(Cell(2, 0).toPoint().x(), View.viewport()->height() - 2);
  QDragEnterEvent enter(nearBottom, Qt::CopyAction | Qt::MoveAction, &external, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(View.viewport(), &enter);
  QDragMoveEvent move(nearBottom, Qt::CopyAction | Qt::MoveAction, &external, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(View.viewport(), &move);
  EXPECT_TRUE(move.isAccepted());
  EXPECT_TRUE(View.AutoScrolling());
  EXPECT_TRUE(QTest::qWaitFor([&] { return View.TopLineScroll() > 0; }, 5000));
  QDragLeaveEvent leave;
  QCoreApplication::sendEvent(View.viewport(), &leave);
  EXPECT_FALSE(View.AutoScrolling());
  EXPECT_EQ(Text(), before);
  EXPECT_TRUE(Errors.empty());
}

}  // namespace
