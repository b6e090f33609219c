// Search in the widget: incremental search by QTest keys, the questions through the UI services
// and the place of the confirmation box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <deque>
#include <string>
#include <vector>

#include "KivSedView.h"
#include "KivUiServices.h"

namespace {

// Records questions (with their place) and beeps; answers from a queue, else as closing the box.
class AskingUi : public IKivUiServices {
 public:
  AskingUi() { FOld = SetKivUiServices(this); }
  ~AskingUi() override { SetKivUiServices(FOld); }
  TKivUiButton Question(QWidget*, const QString& AText, TKivUiButtons AButtons, TKivUiButton,
                        const QPoint* APlace) override {
    Texts.push_back(AText.toStdString());
    Buttons.push_back(AButtons);
    Places.push_back(APlace ? *APlace : QPoint(-100000, -100000));
    if (!Answers.empty()) {
      const TKivUiButton a = Answers.front();
      Answers.pop_front();
      return a;
    }
    return (AButtons & uint8_t(TKivUiButton::Cancel)) ? TKivUiButton::Cancel : TKivUiButton::No;
  }
  void ErrorBox(QWidget*, const QString& AText) override { Errors.push_back(AText.toStdString()); }
  void InfoBox(QWidget*, const QString&) override {}
  bool InputBox(QWidget*, const QString&, const QString&, QString&) override { return false; }
  bool ChooseColor(QWidget*, QColor&) override { return false; }
  bool ChooseFont(QWidget*, QFont&) override { return false; }
  bool ChooseOpenFile(QWidget*, const QString&, const QString&, QString&) override { return false; }
  bool ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&, QString&) override {
    return false;
  }
  void Beep() override { ++Beeps; }

  std::vector<std::string> Texts;
  std::vector<TKivUiButtons> Buttons;
  std::vector<QPoint> Places;
  std::deque<TKivUiButton> Answers;
  std::vector<std::string> Errors;
  int Beeps = 0;

 private:
  IKivUiServices* FOld;
};

struct SearchWidgetFixture : ::testing::Test {
  void Show(TKivStringView AText) {
    Doc.Lines().SetText(TKivString(AText));
    View.SetDocument(&Doc);
    View.resize(400, 300);
    View.show();
    View.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&View));
    View.setFocus();
  }
  void Type(const char* AText) {
    for (const char* c = AText; *c; ++c) QTest::keyClick(&View, *c);
  }
  std::string Text() { return KivToUtf8(Doc.Text()); }
  Integer Anchor() { return View.SelectionOffsetStart(); }

  AskingUi Ui;
  TKivEditDocument Doc;
  TKivEditView View;
};

}  // namespace

TEST_F(SearchWidgetFixture, TypingBeepsAndBackspaceGoesBack) {
  Show(u"xac");
  QTest::keyClick(&View, Qt::Key_E, Qt::ControlModifier);
  ASSERT_TRUE(View.InIncrementalSearch());
  Type("a");
  EXPECT_EQ(Anchor(), 2);
  EXPECT_EQ(View.SelectionOffsetEnd(), 1);
  EXPECT_EQ(View.CursorOffset(), 1);
  Type("b");
  EXPECT_EQ(Ui.Beeps, 1);
  EXPECT_EQ(View.SearchLastArgs().Search, u"a");
  EXPECT_EQ(View.CursorOffset(), 1);
  QTest::keyClick(&View, Qt::Key_Backspace);
  EXPECT_EQ(View.CursorOffset(), 0);
  EXPECT_TRUE(View.InIncrementalSearch());
  EXPECT_TRUE(Ui.Texts.empty());
  EXPECT_EQ(Text(), "xac");
}

TEST_F(SearchWidgetFixture, F3EscThenSearchNext) {
  Show(u"ab ab ab");
  QTest::keyClick(&View, Qt::Key_E, Qt::ControlModifier);
  Type("ab");
  EXPECT_EQ(View.CursorOffset(), 0);
  QTest::keyClick(&View, Qt::Key_F3);
  EXPECT_EQ(View.CursorOffset(), 3);
  QTest::keyClick(&View, Qt::Key_Escape);
  EXPECT_FALSE(View.InIncrementalSearch());
  EXPECT_EQ(View.CursorOffset(), 5);
  EXPECT_FALSE(View.SelAvail());
  ASSERT_TRUE(View.SearchNext());
  EXPECT_EQ(Anchor(), 6);
  EXPECT_EQ(View.CursorOffset(), 8);
  // At the end: the question through the services; No keeps the cursor.
  EXPECT_FALSE(View.SearchNext());
  ASSERT_EQ(Ui.Texts.size(), 1u);
  EXPECT_EQ(Ui.Texts[0], "End of document reached. Continue search/replace from start?");
  EXPECT_EQ(Ui.Buttons[0], TKivUiButton::Yes | TKivUiButton::No);
  EXPECT_EQ(View.CursorOffset(), 8);
}

TEST_F(SearchWidgetFixture, EnterEndsWithoutALineBreakAndAnArrowEndsAndMoves) {
  Show(u"one two");
  QTest::keyClick(&View, Qt::Key_E, Qt::ControlModifier);
  Type("tw");
  EXPECT_EQ(View.CursorOffset(), 4);
  QTest::keyClick(&View, Qt::Key_Return);
  EXPECT_FALSE(View.InIncrementalSearch());
  EXPECT_EQ(Text(), "one two");
  EXPECT_EQ(View.CursorOffset(), 6);

  View.SetCursorOffset(0);
  QTest::keyClick(&View, Qt::Key_E, Qt::ControlModifier);
  Type("o");
  EXPECT_EQ(View.CursorOffset(), 0);
  QTest::keyClick(&View, Qt::Key_Right);
  EXPECT_FALSE(View.InIncrementalSearch());
  // The search ended at the match's end (1), then the arrow moved on.
  EXPECT_EQ(View.CursorOffset(), 2);
  EXPECT_FALSE(View.SelAvail());
}

TEST_F(SearchWidgetFixture, TheConfirmationStaysClearOfTheOccurrenceAndOnScreen) {
  TKivString text = u"find me\r\n";
  for (int i = 0; i < 30; ++i) text += u"line\r\n";
  Show(text);
  Ui.Answers = {TKivUiButton::Yes};
  ASSERT_TRUE(View.ReplaceFirst({u"me", u"you", {soConfirmReplace}, sdForward, ssCursor}));
  EXPECT_EQ(Doc.GetLineText(0), u"find you");
  ASSERT_EQ(Ui.Texts.size(), 1u);
  EXPECT_EQ(Ui.Texts[0], "Replace this occurrence of me?");
  const QPoint place = Ui.Places[0];
  ASSERT_NE(place, QPoint(-100000, -100000));
  // The occurrence is in the first row: the box goes under it.
  TKivRect cell;
  ASSERT_TRUE(View.ScrollPosToClient(View.OffsetToScrollPos(5), cell));
  const QPoint cellBottom = View.viewport()->mapToGlobal(QPoint(cell.Left, cell.Bottom));
  EXPECT_GT(place.y(), cellBottom.y());
  const QRect avail = View.screen()->availableGeometry();
  EXPECT_TRUE(avail.contains(place)) << place.x() << "," << place.y();
}
