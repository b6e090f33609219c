// Editing through the widget's keys with QTest on the offscreen platform: letters, Enter, Tab,
// Backspace, Ctrl+Backspace, Ctrl+Delete, Ctrl+Y, undo and redo, Insert with the caret's shape.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "KivSedView.h"
#include "KivUiServices.h"

namespace {

// Beeps are counted; no box ever opens.
class BeepCounter : public IKivUiServices {
 public:
  BeepCounter() { FOld = SetKivUiServices(this); }
  ~BeepCounter() override { SetKivUiServices(FOld); }
  TKivUiButton Question(QWidget*, const QString&, TKivUiButtons, TKivUiButton ADefault, const QPoint*) override {
    return ADefault;
  }
  void ErrorBox(QWidget*, const QString&) override {}
  void InfoBox(QWidget*, const QString&) override {}
  bool InputBox(QWidget*, const QString&, const QString&, QString&) override { return false; }
  bool ChooseColor(QWidget*, QColor&) override { return false; }
  bool ChooseFont(QWidget*, QFont&) override { return false; }
  bool ChooseOpenFile(QWidget*, const QString&, const QString&, QString&) override { return false; }
  bool ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&, QString&) override {
    return false;
  }
  void Beep() override { ++Beeps; }
  int Beeps = 0;

 private:
  IKivUiServices* FOld;
};

struct EditKeysFixture : ::testing::Test {
  void SetUp() override {
    View.SetDocument(&Doc);
    View.resize(400, 300);
    View.show();
    View.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&View));
    View.setFocus();
  }
  // The text with CR LF written as "|".
  std::string Text() {
    std::string s = KivToUtf8(Doc.Text());
    for (size_t at; (at = s.find("\r\n")) != std::string::npos;) s.replace(at, 2, "|");
    return s;
  }

  BeepCounter Ui;
  TKivEditDocument Doc;
  TKivEditView View;
};

TEST_F(EditKeysFixture, TypingNewLinesTabsAndDeletions) {
  Doc.Lines().SetText(u"    if");
  Doc.ClearUndo();
  View.SetCursorOffset(6);
  QTest::keyClicks(&View, QStringLiteral("(x)"));
  EXPECT_EQ(Text(), "    if(x)");
  // Enter keeps the indentation, Tab goes on to the next stop.
  QTest::keyClick(&View, Qt::Key_Return);
  EXPECT_EQ(Text(), "    if(x)|    ");
  QTest::keyClick(&View, Qt::Key_Tab);
  QTest::keyClicks(&View, QStringLiteral("go one"));
  EXPECT_EQ(Text(), "    if(x)|        go one");
  // Backspace a character, Ctrl+Backspace a word, Ctrl+Delete at the line end joins.
  QTest::keyClick(&View, Qt::Key_Backspace);
  QTest::keyClick(&View, Qt::Key_Backspace, Qt::ControlModifier);
  EXPECT_EQ(Text(), "    if(x)|        go ");
  View.SetCursorOffset(9);
  QTest::keyClick(&View, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(Text(), "    if(x)go ");
  // Ctrl+Y takes the line; undo brings it back with the cursor where it stood.
  QTest::keyClick(&View, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Text(), "");
  QTest::keyClick(&View, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), "    if(x)go ");
  EXPECT_EQ(View.CursorOffset(), 9);
  QTest::keyClick(&View, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Text(), "");
  // Nothing left to redo: a beep.
  const int beeps = Ui.Beeps;
  QTest::keyClick(&View, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Ui.Beeps, beeps + 1);
  // Undo all the way back.
  while (View.CanUndo()) QTest::keyClick(&View, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), "    if");
}

TEST_F(EditKeysFixture, InsertTogglesOverwriteAndTheCaretFollows) {
  Doc.Lines().SetText(u"abc");
  View.SetCursorOffset(1);
  QApplication::processEvents();
  const int insertWidth = View.CaretRect().width();
  QTest::keyClick(&View, Qt::Key_Insert);
  EXPECT_TRUE(View.ViewSettings() & vsOverwrite);
  QApplication::processEvents();
  // The overwrite caret covers the cell.
  EXPECT_GT(View.CaretRect().width(), insertWidth);
  QTest::keyClick(&View, Qt::Key_X);
  EXPECT_EQ(Text(), "axc");
  QTest::keyClick(&View, Qt::Key_Insert);
  EXPECT_FALSE(View.ViewSettings() & vsOverwrite);
  QApplication::processEvents();
  EXPECT_EQ(View.CaretRect().width(), insertWidth);
  QTest::keyClick(&View, Qt::Key_Y);
  EXPECT_EQ(Text(), "axyc");
}

}  // namespace
