// Word completion on the widget: QTest keys with the list shown, the list window (focus, hover,
// click, corner resizing), the timer, custom completion at a word end and the list's placement
// near the screen's edges.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "KivSedKeys.h"
#include "KivSedView.h"
#include "KivUiServices.h"

namespace {

class QuietUi : public IKivUiServices {
 public:
  QuietUi() { FOld = SetKivUiServices(this); }
  ~QuietUi() override { SetKivUiServices(FOld); }
  TKivUiButton Question(QWidget*, const QString&, TKivUiButtons, TKivUiButton ADefault, const QPoint*) override {
    return ADefault;
  }
  void ErrorBox(QWidget*, const QString&) override {}
  void InfoBox(QWidget*, const QString&) override {}
  bool InputBox(QWidget*, const QString&, const QString&, QString&) override { return false; }
  bool ChooseColor(QWidget*, QColor&) override { return false; }
  bool ChooseFont(QWidget*, QFont&) override { return false; }
  bool ChooseOpenFile(QWidget*, const QString&, const QString&, QString&) override { return false; }
  bool ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&, QString&) override { return false; }
  void Beep() override { ++Beeps; }
  int Beeps = 0;

 private:
  IKivUiServices* FOld;
};

// Counts the Show events of a widget.
struct TShowCounter : QObject {
  TShowCounter(QWidget* AWidget, int& ACount) : FCount(ACount) { AWidget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* AEvent) override {
    if (AEvent->type() == QEvent::Show) ++FCount;
    return false;
  }
  int& FCount;
};

const TKivString kWords = u"alpha alphabet alpine beta\r\nal";

struct ComplViewFixture : ::testing::Test {
  void SetUp() override {
    TKivCustomEditView::SetErrorHandler(
        [this](QWidget*, const QString& AMessage) { Errors.push_back(AMessage.toStdString()); });
    auto* layout = new QVBoxLayout(&Window);
    View = new TKivEditView(&Window);
    layout->addWidget(View);
    View->SetDocument(&Doc);
    Window.resize(400, 300);
    Window.show();
    Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    View->setFocus();
    ASSERT_TRUE(View->hasFocus());
    Text(kWords);
  }
  void TearDown() override { TKivCustomEditView::SetErrorHandler(nullptr); }
  void Text(const TKivString& AText) {
    Doc.Lines().SetText(AText);
    View->SetCursorOffset(Doc.CharsCount());
  }
  void CtrlSpace() { QTest::keyClick(View, Qt::Key_Space, Qt::ControlModifier); }
  TComplList& List() { return View->CompletionList(); }
  std::vector<QString> Shown() {
    std::vector<QString> out;
    for (int i = 0; i < List().count(); ++i) out.push_back(List().item(i)->text());
    return out;
  }
  // The mouse moves over a widget (with the buttons held).
  static void Move(QWidget* AWidget, const QPoint& APos, Qt::MouseButtons AButtons = Qt::NoButton) {
    QMouseEvent e(QEvent::MouseMove, APos, AWidget->mapToGlobal(APos), Qt::NoButton, AButtons, Qt::NoModifier);
    QApplication::sendEvent(AWidget, &e);
  }
  // A point of the list (its own coordinates) as the viewport receives it.
  QPoint InView(const QPoint& AListPos) { return List().viewport()->mapFrom(&List(), AListPos); }

  QuietUi Ui;
  TKivEditDocument Doc;
  QWidget Window;
  TKivEditView* View = nullptr;
  std::vector<std::string> Errors;
};

}  // namespace

TEST_F(ComplViewFixture, KeysActOnTheShownList) {
  CtrlSpace();
  ASSERT_TRUE(List().isVisible());
  EXPECT_EQ(Shown(), (std::vector<QString>{"alpha", "alphabet", "alpine"}));
  EXPECT_EQ(List().currentRow(), 0);
  // The list never takes the focus or the activation.
  EXPECT_TRUE(View->hasFocus());
  EXPECT_FALSE(List().isActiveWindow());
  EXPECT_TRUE(List().windowFlags() & Qt::WindowDoesNotAcceptFocus);
  EXPECT_EQ(List().windowType(), Qt::Tool);
  struct Step {
    Qt::Key Key;
    int Row;
  };
  for (const Step& s : {Step{Qt::Key_Up, 2}, Step{Qt::Key_Down, 0}, Step{Qt::Key_End, 2}, Step{Qt::Key_Delete, 2}}) {
    QTest::keyClick(View, s.Key);
    EXPECT_EQ(List().currentRow(), s.Row) << s.Key;
    EXPECT_TRUE(List().isVisible());
  }
  EXPECT_EQ(Doc.Text(), kWords);
  QTest::keyClick(View, Qt::Key_Return);
  EXPECT_FALSE(List().isVisible());
  EXPECT_EQ(Doc.Text(), u"alpha alphabet alpine beta\r\nalpine");
  EXPECT_TRUE(View->hasFocus());

  // Esc hides it and leaves the text.
  Text(kWords);
  CtrlSpace();
  ASSERT_TRUE(List().isVisible());
  QTest::keyClick(View, Qt::Key_Escape);
  EXPECT_FALSE(List().isVisible());
  EXPECT_EQ(Doc.Text(), kWords);

  // Tab commits like Enter.
  CtrlSpace();
  QTest::keyClick(View, Qt::Key_Down);
  QTest::keyClick(View, Qt::Key_Tab);
  EXPECT_FALSE(List().isVisible());
  EXPECT_EQ(Doc.Text().substr(0, 36), u"alpha alphabet alpine beta\r\nalphabet");

  // A separator commits the selected entry, then is typed as usual.
  Text(kWords);
  CtrlSpace();
  QTest::keyClick(View, Qt::Key_Down);
  QTest::keyClick(View, '.');
  EXPECT_FALSE(List().isVisible());
  EXPECT_EQ(Doc.Text().substr(0, 36), u"alpha alphabet alpine beta\r\nalphabet");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ComplViewFixture, CompletionCommandsNeedTheList) {
  try {
    View->InvokeCommand(sedCompletionUp);
    ADD_FAILURE() << "no error";
  } catch (const EKivEditViewError& e) {
    EXPECT_EQ(e.Message(), u"Completion list should be shown for this command (or method)");
  }
}

TEST_F(ComplViewFixture, TheListHidesWithTheViewAndOnPressesInIt) {
  CtrlSpace();
  ASSERT_TRUE(List().isVisible());
  QTest::mouseClick(View->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(List().isVisible());
  View->SetCursorOffset(Doc.CharsCount());
  View->setFocus();
  CtrlSpace();
  ASSERT_TRUE(List().isVisible());
  View->hide();
  EXPECT_FALSE(List().isVisible());
  EXPECT_FALSE(View->InState(siComplListShown));
  View->show();
  View->setFocus();
  View->SetCursorOffset(Doc.CharsCount());
  CtrlSpace();
  ASSERT_TRUE(List().isVisible());
  Window.move(Window.pos() + QPoint(5, 5));
  QApplication::processEvents();
  EXPECT_FALSE(List().isVisible());
}

TEST_F(ComplViewFixture, TheListWindowHoverClickAndResize) {
  CtrlSpace();
  TComplList& list = List();
  ASSERT_TRUE(list.isVisible());
  EXPECT_EQ(list.size(), QSize(121, 97));
  EXPECT_EQ(list.minimumSize(), QSize(121, 97));
  const QRect row1 = list.visualItemRect(list.item(1));
  // Hovering selects.
  Move(list.viewport(), row1.center());
  EXPECT_EQ(View->Completion().ItemIndex(), 1);
  EXPECT_EQ(list.currentRow(), 1);
  EXPECT_EQ(list.Cursor(), 0);

  // Resizing from the corner (below and right of the word: the bottom-right one).
  ASSERT_EQ(list.Corner(), rcBottomRight);
  const QPoint corner(list.width() - 2, list.height() - 2);
  Move(list.viewport(), InView(corner));
  EXPECT_EQ(list.Cursor(), int(Qt::SizeFDiagCursor));
  Move(list.viewport(), InView({list.width() - 2, 40}));
  EXPECT_EQ(list.Cursor(), int(Qt::SizeHorCursor));
  Move(list.viewport(), InView({40, list.height() - 2}));
  EXPECT_EQ(list.Cursor(), int(Qt::SizeVerCursor));
  const QPoint origin = list.pos();
  QTest::mousePress(list.viewport(), Qt::LeftButton, {}, InView(corner));
  EXPECT_TRUE(list.Resizing());
  Move(list.viewport(), InView(corner + QPoint(50, 30)), Qt::LeftButton);
  EXPECT_EQ(list.pos(), origin);
  EXPECT_GT(list.width(), 121 + 40);
  EXPECT_GT(list.height(), 97 + 20);
  // Never below the minimum.
  Move(list.viewport(), InView({10, 10}), Qt::LeftButton);
  EXPECT_EQ(list.size(), QSize(121, 97));
  QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, InView({10, 10}));
  EXPECT_FALSE(list.Resizing());
  EXPECT_TRUE(list.isVisible());

  // From the top-left corner the opposite edges stay.
  list.SetCorner(rcTopLeft);
  const QRect before = list.geometry();
  Move(list.viewport(), InView({2, 2}));
  EXPECT_EQ(list.Cursor(), int(Qt::SizeFDiagCursor));
  list.SetCorner(rcTopRight);
  Move(list.viewport(), InView({list.width() - 2, 2}));
  EXPECT_EQ(list.Cursor(), int(Qt::SizeBDiagCursor));
  list.SetCorner(rcTopLeft);
  QTest::mousePress(list.viewport(), Qt::LeftButton, {}, InView({2, 2}));
  Move(list.viewport(), InView({2 - 20, 2 - 10}), Qt::LeftButton);
  EXPECT_EQ(list.geometry().right(), before.right());
  EXPECT_EQ(list.geometry().bottom(), before.bottom());
  EXPECT_GT(list.width(), before.width());
  // A step that would make it too small is ignored.
  Move(list.viewport(), InView({list.width() + 10, 2}), Qt::LeftButton);
  EXPECT_GE(list.width(), 121);
  EXPECT_EQ(list.geometry().right(), before.right());
  QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, InView({2, 2}));

  // A click on an item commits it; the view keeps the focus.
  const QRect row2 = list.visualItemRect(list.item(2));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row2.center());
  EXPECT_FALSE(list.isVisible());
  EXPECT_EQ(Doc.Text(), u"alpha alphabet alpine beta\r\nalpine");
  EXPECT_TRUE(View->hasFocus());
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ComplViewFixture, TheTimerShowsTheListAfterAPause) {
  View->CompletionSettings().SetShowTimeout(50);
  // "al" is too short for the timer.
  View->InvokeCommand(sedChar, TKivString(u"x"));
  EXPECT_TRUE(View->CompletionTimerActive());
  QTest::qWait(150);
  EXPECT_FALSE(List().isVisible());
  Text(u"alpha alphabet alpine beta\r\nal");
  View->InvokeCommand(sedChar, TKivString(u"p"));
  EXPECT_TRUE(View->CompletionTimerActive());
  QTest::qWait(20);
  EXPECT_FALSE(List().isVisible());
  // The list appears when the timer fires. (The offscreen platform hands a newly shown window the
  // activation, whatever its flags, so what happens after that is not checked here.)
  int shows = 0;
  TShowCounter counter(&List(), shows);
  QElapsedTimer t;
  t.start();
  while (shows == 0 && t.elapsed() < 2000) QTest::qWait(5);
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(View->Completion().Items().size(), 3u);
  EXPECT_FALSE(View->CompletionTimerActive());
  EXPECT_FALSE(View->InState(siComplTimer));
  // Another key stops the timer.
  QTest::keyClick(View, Qt::Key_Escape);
  View->InvokeCommand(sedChar, TKivString(u"x"));
  EXPECT_TRUE(View->CompletionTimerActive());
  View->InvokeCommand(sedScrollDown);
  EXPECT_FALSE(View->CompletionTimerActive());
}

TEST_F(ComplViewFixture, CustomCompletionAtAWordEnd) {
  View->CompletionSettings().SetCompletionType(ctCustom);
  View->OnFillCompletionList = [](TKivEditViewCore&, TKivCompletionItems& AItems, const TKivPoint&,
                                  TKivEditFillCompletionCause, const TKivString&, TKivPoint&,
                                  bool& AHandled) {
    AItems.push_back(u"XYZ");
    AHandled = true;
  };
  Text(u"ab");
  Doc.ClearUndo();
  View->EnterState(siComplWordTyping);
  QTest::keyClick(View, Qt::Key_Space);
  EXPECT_EQ(Doc.Text().substr(0, 3), u"XYZ");
  Doc.Undo();
  EXPECT_EQ(Doc.Text(), u"ab");
  // The document's words never replace a finished word.
  View->CompletionSettings().SetCompletionType(ctDocumentText);
  Text(u"abc ab");
  View->EnterState(siComplWordTyping);
  QTest::keyClick(View, Qt::Key_Space);
  EXPECT_EQ(Doc.Text().substr(0, 6), u"abc ab");
}

TEST_F(ComplViewFixture, OwnerDrawnItemsAndTheirHeights) {
  View->CompletionSettings().SetCompletionType(ctCustomOwnerDrawVariable);
  View->OnFillCompletionList = [](TKivEditViewCore&, TKivCompletionItems& AItems, const TKivPoint&,
                                  TKivEditFillCompletionCause, const TKivString&, TKivPoint&,
                                  bool& AHandled) {
    AItems = {u"one", u"two", u"three"};
    AHandled = true;
  };
  std::vector<int> drawn;
  View->OnCompletionCustomDraw = [&](TKivCustomEditView&, const TKivCompletionItems&, Integer AIndex, const QRect& ARect,
                                     QStyle::State, QPainter& ACanvas) {
    drawn.push_back(AIndex);
    ACanvas.fillRect(ARect, Qt::red);
  };
  View->OnCompletionMeasureItem = [](TKivCustomEditView&, const TKivCompletionItems&, Integer AIndex, QPainter&,
                                     Integer& AHeight) { AHeight = 10 + 10 * AIndex; };
  CtrlSpace();
  ASSERT_TRUE(List().isVisible());
  EXPECT_EQ(List().visualItemRect(List().item(0)).height(), 10);
  EXPECT_EQ(List().visualItemRect(List().item(2)).height(), 30);
  const QImage image = List().viewport()->grab().toImage();
  EXPECT_EQ(QColor(image.pixel(5, 15)), QColor(Qt::red));
  EXPECT_FALSE(drawn.empty());
  // Without the draw event the text is drawn as in a plain list: no red.
  View->OnCompletionCustomDraw = nullptr;
  List().viewport()->update();
  const QImage plain = List().viewport()->grab().toImage();
  EXPECT_NE(QColor(plain.pixel(5, 15)), QColor(Qt::red));
}

TEST_F(ComplViewFixture, PlacementNearTheScreenEdges) {
  const QRect screen = View->screen()->availableGeometry();
  const auto cursorCell = [&] {
    const QRect caret = View->CaretRect();
    return QRect(View->viewport()->mapToGlobal(caret.topLeft()), caret.size());
  };
  // Near the right edge: the list opens to the left of the cursor.
  // The word ends about 240 px into the view; the window starts 260 px left of the edge.
  Window.move(screen.right() - 260, screen.top() + 10);
  QApplication::processEvents();
  Text(u"alpha alphabet alpine beta al");
  View->SetCursorOffset(Doc.CharsCount());
  QApplication::processEvents();
  const QRect cell = cursorCell();
  ASSERT_LT(screen.right() - cell.right(), 121);
  {
    CtrlSpace();
    ASSERT_TRUE(List().isVisible());
    EXPECT_TRUE(List().Corner() == rcBottomLeft || List().Corner() == rcTopLeft);
    EXPECT_LE(List().geometry().right(), cell.left());
    QTest::keyClick(View, Qt::Key_Escape);
  }
  // Near the bottom edge too: above the word.
  Window.move(screen.right() - 260, screen.bottom() - 60);
  QApplication::processEvents();
  View->SetCursorOffset(Doc.CharsCount());
  const QRect cell2 = cursorCell();
  ASSERT_LT(screen.bottom() - cell2.bottom(), 97);
  {
    CtrlSpace();
    ASSERT_TRUE(List().isVisible());
    EXPECT_EQ(List().Corner(), rcTopLeft);
    EXPECT_LE(List().geometry().bottom(), cell2.top());
  }
}
