// The widget's keyboard path with QTest keys on the offscreen platform: bindings (default, custom,
// two strokes), typed characters with AltGr, the window's shortcuts, Tab and Enter, read-only
// beeps and input-method text. Commands are seen through OnBeforeCommand and OnAfterCommand.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "KivSedKeys.h"
#include "KivSedView.h"
#include "KivUiServices.h"

namespace {

// Beeps are counted; no box ever opens.
class CountingUi : public IKivUiServices {
 public:
  CountingUi() { FOld = SetKivUiServices(this); }
  ~CountingUi() override { SetKivUiServices(FOld); }
  TKivUiButton Question(QWidget*, const QString&, TKivUiButtons, TKivUiButton ADefault,
                        const QPoint*) override {
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

std::string Cmd(TKivEditCommand ACmd) {
  return std::to_string(int(ACmd));
}

// A window with the view and a button (so that Tab has somewhere to go).
struct KeysFixture : ::testing::Test {
  void SetUp() override {
    TKivCustomEditView::SetErrorHandler(
        [this](QWidget*, const QString& AMessage) { Errors.push_back(AMessage.toStdString()); });
    Doc.Lines().SetText(u"alpha beta");
    auto* layout = new QVBoxLayout(&Window);
    View = new TKivEditView(&Window);
    Button = new QPushButton(QStringLiteral("OK"), &Window);
    layout->addWidget(View);
    layout->addWidget(Button);
    View->SetDocument(&Doc);
    View->OnBeforeCommand = [this](TKivEditViewCore&, TKivEditCommand& ACmd, TKivCommandArg& AArg,
                                   bool& AAllow) {
      Log.push_back("before " + Cmd(ACmd) + (AArg ? " " + KivToUtf8(*AArg) : ""));
      AAllow = Allow;
    };
    View->OnAfterCommand = [this](TKivEditViewCore&, TKivEditCommand ACmd, const TKivCommandArg& AArg) {
      Log.push_back("after " + Cmd(ACmd) + (AArg ? " " + KivToUtf8(*AArg) : ""));
    };
    Window.resize(400, 300);
    Window.show();
    Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    View->setFocus();
    ASSERT_TRUE(View->hasFocus());
  }
  void TearDown() override { TKivCustomEditView::SetErrorHandler(nullptr); }
  std::vector<std::string> Take() { return std::exchange(Log, {}); }
  void BindCustom(TKivEditCommand ACmd, TKivShortcut AShortcut, TKivShortcut AShortcut2 = 0) {
    TKivEditCommandItem& item = View->CustomKeyBindings().Add();
    item.SetCommand(ACmd);
    item.SetModes(KivModes(cmForView));
    TKivEditCommandBinding& b = item.Bindings().Add();
    b.SetShortcut(AShortcut);
    b.SetShortcut2(AShortcut2);
  }
  static std::vector<std::string> Ran(TKivEditCommand ACmd, const std::string& AArg = "") {
    const std::string tail = AArg.empty() ? "" : " " + AArg;
    return {"before " + Cmd(ACmd) + tail, "after " + Cmd(ACmd) + tail};
  }

  CountingUi Ui;
  TKivEditDocument Doc;
  QWidget Window;
  TKivEditView* View = nullptr;
  QPushButton* Button = nullptr;
  std::vector<std::string> Log;
  std::vector<std::string> Errors;
  bool Allow = true;
};

}  // namespace

TEST_F(KeysFixture, CustomCopySilencesTheDefaultCopyKeys) {
  QApplication::clipboard()->setText(QStringLiteral("old"));
  View->SetSelectionOffsets(0, 5);
  BindCustom(sedCopy, KivShortcut('C', ssCtrl | ssShift));
  QTest::keyClick(View, Qt::Key_C, Qt::ControlModifier);
  QTest::keyClick(View, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "old");
  QTest::keyClick(View, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Take(), Ran(sedCopy));
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "alpha");
  // Without the custom item Ctrl+C copies again.
  View->CustomKeyBindings().Clear();
  View->SetSelectionOffsets(6, 10);
  QTest::keyClick(View, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(Take(), Ran(sedCopy));
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "beta");
}

TEST_F(KeysFixture, TwoStrokesEscAndTheStrokeRules) {
  BindCustom(sedSelectAll, KivShortcut('K', ssCtrl), KivShortcut('X', ssCtrl));
  // QTest presses Ctrl alone before each key: the pending stroke survives it.
  QTest::keyClick(View, Qt::Key_K, Qt::ControlModifier);
  EXPECT_TRUE(Take().empty());
  QTest::keyClick(View, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Take(), Ran(sedSelectAll));
  EXPECT_EQ(View->SelectionOffsetEnd() - View->SelectionOffsetStart(), Doc.CharsCount());
  // Esc drops the pending stroke: Ctrl+X is then the default cut.
  QTest::keyClick(View, Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(View, Qt::Key_Escape);
  EXPECT_TRUE(Take().empty());
  QTest::keyClick(View, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Take(), Ran(sedCut));
  // A letter as an unmatched second stroke is consumed, not typed.
  QTest::keyClick(View, Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(View, Qt::Key_Q);
  EXPECT_TRUE(Take().empty());
  QTest::keyClick(View, Qt::Key_Q);
  EXPECT_EQ(Take(), Ran(sedChar, "q"));
}

TEST_F(KeysFixture, AltGrTextAltTextAndControlCharacters) {
  // Ctrl+Alt+Q typing "@" (AltGr on one platform): no command, one character.
  QTest::sendKeyEvent(QTest::Press, View, Qt::Key_Q, QStringLiteral("@"),
                      Qt::ControlModifier | Qt::AltModifier);
  QTest::sendKeyEvent(QTest::Release, View, Qt::Key_Q, QStringLiteral("@"),
                      Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(Take(), Ran(sedChar, "@"));
  // AltGr on X11: no modifier at all.
  QTest::sendKeyEvent(QTest::Click, View, Qt::Key_unknown, QStringLiteral("\u20AC"), Qt::GroupSwitchModifier);
  EXPECT_EQ(Take(), Ran(sedChar, "\xE2\x82\xAC"));
  // Alt with a letter types nothing.
  QTest::keyClick(View, Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(Take().empty());
  // A character outside the basic plane is one command of two units.
  QTest::sendKeyEvent(QTest::Click, View, Qt::Key_unknown, QString::fromUtf8("\xF0\x9F\x98\x80"),
                      Qt::NoModifier);
  EXPECT_EQ(Take(), Ran(sedChar, "\xF0\x9F\x98\x80"));
}

TEST_F(KeysFixture, AllowExecFalseRunsNothing) {
  Allow = false;
  View->SetSelectionOffsets(0, 0);
  QTest::keyClick(View, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + Cmd(sedSelectAll)}));
  EXPECT_FALSE(View->SelAvail());
}

TEST_F(KeysFixture, ReadOnlyViewsBeep) {
  View->SetReadOnly(true);
  QTest::keyClick(View, Qt::Key_A);
  EXPECT_EQ(Ui.Beeps, 1);
  QTest::keyClick(View, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Ui.Beeps, 2);
  EXPECT_EQ(Take().size(), 4u);
  try {
    View->Undo();
    ADD_FAILURE() << "Undo did not raise";
  } catch (const EKivEditViewError& e) {
    EXPECT_STREQ(e.what(), "This View or its Document is read-only.");
  }
  try {
    View->InvokeCommand(sedCompletionUp);
    ADD_FAILURE() << "sedCompletionUp did not raise";
  } catch (const EKivEditViewError& e) {
    EXPECT_STREQ(e.what(), "Completion list should be shown for this command (or method)");
  }
  EXPECT_TRUE(Errors.empty());
}

TEST_F(KeysFixture, TheViewKeepsItsKeysFromTheWindowsShortcuts) {
  int copies = 0, quits = 0;
  QAction copyAction(&Window), quitAction(&Window);
  copyAction.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  quitAction.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  QObject::connect(&copyAction, &QAction::triggered, [&] { ++copies; });
  QObject::connect(&quitAction, &QAction::triggered, [&] { ++quits; });
  Window.addAction(&copyAction);
  Window.addAction(&quitAction);
  QTest::keyClick(View, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(copies, 0);
  EXPECT_EQ(Take(), Ran(sedCopy));
  // A key the view has no binding for goes to the window.
  QTest::keyClick(View, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(quits, 1);
  // While a first stroke waits, every key is the view's.
  BindCustom(sedSelectAll, KivShortcut('K', ssCtrl), KivShortcut('Q', ssCtrl));
  QTest::keyClick(View, Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(View, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(Take(), Ran(sedSelectAll));
}

TEST_F(KeysFixture, TabAndEnterFollowWantTabsAndWantReturns) {
  QTest::keyClick(View, Qt::Key_Tab);
  EXPECT_TRUE(View->hasFocus());
  EXPECT_EQ(Take(), Ran(sedTabOrIndent));
  QTest::keyClick(View, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(View->hasFocus());
  EXPECT_EQ(Take(), Ran(sedUnIndent));
  QTest::keyClick(View, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(Take(), Ran(sedNewLine));
  View->SetWantReturns(false);
  QTest::keyClick(View, Qt::Key_Return);
  EXPECT_TRUE(Take().empty());
  View->SetWantTabs(false);
  QTest::keyClick(View, Qt::Key_Tab);
  EXPECT_TRUE(Button->hasFocus());
  EXPECT_TRUE(Take().empty());
}

TEST_F(KeysFixture, InputMethodTextIsTypedAndItsCompositionDrawn) {
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("ab"));
  QApplication::sendEvent(View, &commit);
  EXPECT_EQ(Take(),
            (std::vector<std::string>{"before " + Cmd(sedChar) + " a", "after " + Cmd(sedChar) + " a",
                                      "before " + Cmd(sedChar) + " b", "after " + Cmd(sedChar) + " b"}));
  const QImage before = View->viewport()->grab().toImage();
  QInputMethodEvent compose(QStringLiteral("xyz"), {});
  QApplication::sendEvent(View, &compose);
  const QImage composing = View->viewport()->grab().toImage();
  EXPECT_NE(before, composing);
  EXPECT_TRUE(Take().empty());
  QInputMethodEvent done(QString(), {});
  QApplication::sendEvent(View, &done);
  EXPECT_EQ(View->viewport()->grab().toImage(), before);
}

TEST_F(KeysFixture, ScrollingOverwriteAndEscapeByMode) {
  TKivString text;
  for (int i = 0; i < 200; ++i) text += u"line\r\n";
  Doc.Lines().SetText(text);
  QTest::keyClick(View, Qt::Key_Down, Qt::ControlModifier);
  QTest::keyClick(View, Qt::Key_Down, Qt::ControlModifier);
  QTest::keyClick(View, Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(View->TopLineScroll(), 1);
  EXPECT_EQ(View->verticalScrollBar()->value(), 1);
  QTest::keyClick(View, Qt::Key_Insert);
  EXPECT_TRUE(View->ViewSettings() & vsOverwrite);
  // Esc with nothing to cancel goes on to the window (a dialog closes on it); in incremental
  // search it is the view's.
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
  QApplication::sendEvent(View, &esc);
  EXPECT_FALSE(esc.isAccepted());
  QTest::keyClick(View, Qt::Key_E, Qt::ControlModifier);
  EXPECT_TRUE(View->InState(siIncrementalSearch));
  QKeyEvent esc2(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
  QApplication::sendEvent(View, &esc2);
  EXPECT_TRUE(esc2.isAccepted());
  EXPECT_FALSE(View->InState(siIncrementalSearch));
  EXPECT_TRUE(Errors.empty());
}
