// The key bindings window on the offscreen platform, driven with QTest keys and clicks: the
// capture field, moving a binding with its question (answered through the scripted UI
// services), deleting from the list with keys, reset, the modes, and "Ok" and "Cancel" with their
// effect on the view's lists and on its keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>

#include "DialogTestSupport.h"
#include "KivLayoutTypes.h"
#include "KivSedDialogs.h"
#include "KivSedKeyBindingsDialog.h"

namespace {

using TTexts = std::vector<std::string>;
using TDlg = TKivSedKeyBindingsDlg;

TTexts ListTexts(const TDlg& ADlg) {
  TTexts texts;
  for (int i = 0; i < ADlg.lsBindings->count(); ++i)
    texts.push_back(ADlg.lsBindings->item(i)->text().toStdString());
  return texts;
}

// A custom list as "command:binding,binding" lines.
TTexts Dump(const TKivEditCommandList& AList) {
  TTexts lines;
  for (Integer i = 0; i < AList.Count(); ++i) {
    const TKivEditCommandItem& item = AList.Items(i);
    std::string line = std::to_string(int(item.Command())) + ":";
    for (Integer j = 0; j < item.Bindings().Count(); ++j) {
      const TKivEditCommandBinding& b = item.Bindings().Items(j);
      line += (j ? "," : "") + KivToUtf8(ShortcutPairToText(b.Shortcut(), b.Shortcut2()));
    }
    lines.push_back(line);
  }
  return lines;
}

std::string Line(TKivEditCommand ACmd, const char* ABindings) {
  return std::to_string(int(ACmd)) + ":" + ABindings;
}

void Select(TDlg& ADlg, const char* ADescr) {
  QTreeWidgetItem* item = ADlg.FindCommandItem(QString::fromLatin1(ADescr));
  ASSERT_NE(item, nullptr) << ADescr;
  ADlg.trCommands->setCurrentItem(item);
}

std::string Field(const TDlg& ADlg) {
  return ADlg.edCurrentBinding->text().toStdString();
}

// A key press and release in the capture field (with no text: some keys have none in QTest).
void Key(TDlg& ADlg, Qt::Key AKey, Qt::KeyboardModifiers AMods = Qt::NoModifier) {
  QTest::sendKeyEvent(QTest::Click, ADlg.edCurrentBinding, AKey, QString(), AMods);
}

// Runs the window for AView modally and drives it with AScript; false when it was not driven.
bool RunDialog(TKivCustomEditView& AView, std::function<void(TDlg&)> AScript, bool& AOk) {
  auto driver = WhenModal<TDlg>(std::move(AScript));
  AOk = ShowKeyBindingsDialog(AView);
  return driver->Done();
}

QString Plain(const char* AText) {
  return QString::fromLatin1(AText);
}

class KeyBindingsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    Doc.Insert(0, u"first line\r\nsecond line\r\nthird");
    View.SetDocument(&Doc);
    View.resize(300, 200);
    View.OnBeforeCommand = [this](TKivEditViewCore&, TKivEditCommand& ACmd, TKivCommandArg&, bool& AAllow) {
      Commands.push_back(ACmd);
      AAllow = false;  // only seen, not run
    };
  }
  void TearDown() override { View.SetDocument(nullptr); }
  // A modal run that must be driven; its result.
  bool Run(std::function<void(TDlg&)> AScript) {
    bool ok = false;
    EXPECT_TRUE(RunDialog(View, std::move(AScript), ok));
    return ok;
  }

  TScriptedUiServices Ui;
  TKivEditDocument Doc;
  TKivEditView View;
  std::vector<TKivEditCommand> Commands;
};

}  // namespace

TEST_F(KeyBindingsDialog, TheWindowsControls) {
  TDlg dlg(&View);
  dlg.SetView(View);
  EXPECT_EQ(dlg.windowTitle(), "Keybindings editor");
  EXPECT_EQ(dlg.lbCurrentBinding->text(), "Key bindings");
  EXPECT_EQ(dlg.lbNewBinding->text(), "New key binding");
  const std::pair<QPushButton*, const char*> buttons[] = {{dlg.btnAddBinding, "&Add binding"},
                                                          {dlg.btnDeleteBinding, "&Delete binding"},
                                                          {dlg.btnClearBinding, "&Clear"},
                                                          {dlg.btnResetDefault, "&Reset to defaults"},
                                                          {dlg.btnResetAll, "Reset a&ll to defaults"},
                                                          {dlg.btnOk, "Ok"},
                                                          {dlg.btnCancel, "Cancel"}};
  for (const auto& [button, text] : buttons) {
    EXPECT_EQ(button->text(), text);
    EXPECT_EQ(button->isDefault(), button == dlg.btnOk) << text;
  }
  EXPECT_EQ(dlg.edCurrentBinding->focusPolicy(), Qt::ClickFocus);
  TTexts cats;
  for (int i = 0; i < dlg.trCommands->topLevelItemCount(); ++i)
    cats.push_back(dlg.trCommands->topLevelItem(i)->text(0).toStdString());
  EXPECT_EQ(cats, (TTexts{"Clipboard", "Deletion", "Incremental search", "Indentation", "Movement", "Other",
                          "Selection", "Selection (block mode)"}));
  // Nothing selected: only the window's own buttons work.
  for (QWidget* w :
       std::initializer_list<QWidget*>{dlg.lsBindings, dlg.edCurrentBinding, dlg.btnAddBinding,
                                       dlg.btnDeleteBinding, dlg.btnClearBinding, dlg.btnResetDefault})
    EXPECT_FALSE(w->isEnabled());
  for (QWidget* w : std::initializer_list<QWidget*>{dlg.btnResetAll, dlg.btnOk, dlg.btnCancel})
    EXPECT_TRUE(w->isEnabled());
  // A command: its bindings; a category: none.
  Select(dlg, "Copy selection");
  EXPECT_EQ(ListTexts(dlg), (TTexts{"Ctrl+C", "Ctrl+Ins"}));
  EXPECT_TRUE(dlg.lsBindings->isEnabled());
  EXPECT_TRUE(dlg.btnResetDefault->isEnabled());
  EXPECT_FALSE(dlg.btnDeleteBinding->isEnabled());
  dlg.lsBindings->setCurrentRow(1);
  EXPECT_TRUE(dlg.btnDeleteBinding->isEnabled());
  dlg.trCommands->setCurrentItem(dlg.trCommands->topLevelItem(0));
  EXPECT_TRUE(ListTexts(dlg).empty());
  EXPECT_FALSE(dlg.btnResetDefault->isEnabled());
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  EXPECT_GE(dlg.width(), 490);
  // The tree left of the bindings, the capture field right of the list, the bottom row below.
  EXPECT_LT(dlg.trCommands->mapTo(&dlg, QPoint()).x(), dlg.lsBindings->mapTo(&dlg, QPoint()).x());
  EXPECT_LT(dlg.lsBindings->mapTo(&dlg, QPoint(dlg.lsBindings->width(), 0)).x(),
            dlg.edCurrentBinding->mapTo(&dlg, QPoint()).x());
  EXPECT_GT(dlg.btnOk->mapTo(&dlg, QPoint()).y(),
            dlg.lsBindings->mapTo(&dlg, QPoint(0, dlg.lsBindings->height())).y());
  EXPECT_LT(dlg.btnResetAll->mapTo(&dlg, QPoint()).x(), dlg.btnOk->mapTo(&dlg, QPoint()).x());
  EXPECT_LT(dlg.btnOk->mapTo(&dlg, QPoint()).x(), dlg.btnCancel->mapTo(&dlg, QPoint()).x());
  dlg.reject();
}

TEST_F(KeyBindingsDialog, TheCaptureField) {
  TDlg dlg(&View);
  dlg.SetView(View);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  Select(dlg, "Undo");
  dlg.activateWindow();
  dlg.edCurrentBinding->setFocus();
  QApplication::processEvents();
  ASSERT_EQ(QApplication::focusWidget(), dlg.edCurrentBinding);
  struct TStep {
    Qt::Key Key;
    Qt::KeyboardModifiers Mods;
    const char* Field;
  };
  const TStep steps[] = {
      {Qt::Key_K, Qt::ControlModifier, "Ctrl+K"},
      {Qt::Key_B, Qt::NoModifier, "Ctrl+K, B"},
      {Qt::Key_C, Qt::NoModifier, "C"},  // a third key starts again
      {Qt::Key_Shift, Qt::ShiftModifier, "C"},
      {Qt::Key_Control, Qt::ControlModifier, "C"},
      {Qt::Key_Alt, Qt::AltModifier, "C"},
      {Qt::Key_Meta, Qt::MetaModifier, "C"},
      {Qt::Key_AltGr, Qt::NoModifier, "C"},
      {Qt::Key_A, Qt::MetaModifier, "C"},
      {Qt::Key_Tab, Qt::NoModifier, "C, Tab"},
      {Qt::Key_A, Qt::AltModifier, "Alt+A"},              // no mnemonic fires
      {Qt::Key_Z, Qt::ControlModifier, "Alt+A, Ctrl+Z"},  // the field does not undo
      {Qt::Key_Exclam, Qt::ShiftModifier, "Shift+1"},
      {Qt::Key_5, Qt::KeypadModifier, "Shift+1, 5"},
      {Qt::Key_Comma, Qt::ControlModifier, "Ctrl+Comma"},
      {Qt::Key_Backtab, Qt::ShiftModifier, "Ctrl+Comma, Shift+Tab"},
      {Qt::Key_Backspace, Qt::NoModifier, "BkSp"},
  };
  for (const TStep& s : steps) {
    Key(dlg, s.Key, s.Mods);
    EXPECT_EQ(Field(dlg), s.Field) << s.Field;
    EXPECT_EQ(dlg.edCurrentBinding->cursorPosition(), dlg.edCurrentBinding->text().size());
    EXPECT_EQ(QApplication::focusWidget(), dlg.edCurrentBinding) << s.Field;
    EXPECT_TRUE(dlg.isVisible());
  }
  EXPECT_EQ(Ui.Count(TUiCall::Question), 0);
  // Typed text is dropped as well.
  QTest::keyClicks(dlg.edCurrentBinding, "x");
  EXPECT_EQ(Field(dlg), "BkSp, X");
  // "&Clear" empties the field; Shift alone then shows nothing and adds nothing.
  EXPECT_TRUE(dlg.btnClearBinding->isEnabled());
  dlg.btnClearBinding->click();
  EXPECT_EQ(Field(dlg), "");
  EXPECT_EQ(dlg.CurrentSc(), 0);
  Key(dlg, Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_EQ(Field(dlg), "");
  EXPECT_FALSE(dlg.btnAddBinding->isEnabled());
  EXPECT_FALSE(dlg.btnClearBinding->isEnabled());
  // Another command empties the field.
  Key(dlg, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_TRUE(dlg.btnAddBinding->isEnabled());
  Select(dlg, "Redo");
  EXPECT_EQ(Field(dlg), "");
  EXPECT_EQ(dlg.CurrentSc(), 0);
  dlg.reject();
}

TEST_F(KeyBindingsDialog, EnterAndEscKeepTheirMeaning) {
  EXPECT_TRUE(Run([](TDlg& ADlg) {
    Select(ADlg, "Undo");
    Key(ADlg, Qt::Key_Q, Qt::ControlModifier);
    Key(ADlg, Qt::Key_Return);
  }));
  // Enter in the field closes with "Ok" (the captured binding was not added).
  EXPECT_EQ(View.CustomKeyBindings().Count(), 0);
  EXPECT_FALSE(Run([](TDlg& ADlg) {
    Select(ADlg, "Undo");
    Key(ADlg, Qt::Key_Escape);
  }));
}

TEST_F(KeyBindingsDialog, MovingABindingAsksAndOkApplies) {
  Ui.AnswerQuestion(TKivUiButton::No);
  Ui.AnswerQuestion(TKivUiButton::Yes);
  EXPECT_TRUE(Run([](TDlg& ADlg) {
    Select(ADlg, "Delete line");
    Key(ADlg, Qt::Key_C, Qt::ControlModifier);
    ADlg.btnAddBinding->click();
    // No: nothing changes.
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+Y"}));
    Key(ADlg, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(Field(ADlg), "Ctrl+C, Ctrl+C");
    ADlg.btnClearBinding->click();
    Key(ADlg, Qt::Key_C, Qt::ControlModifier);
    ADlg.btnAddBinding->click();
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+Y", "Ctrl+C"}));
    EXPECT_EQ(Field(ADlg), "");
    Select(ADlg, "Copy selection");
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+Ins"}));
    ADlg.btnOk->click();
  }));
  const QString question = Plain("Keybinding 'Ctrl+C' will override actions:\nCopy selection\n\nContinue?");
  EXPECT_EQ(Ui.Texts(TUiCall::Question), (std::vector<QString>{question, question}));
  EXPECT_EQ(Dump(View.CustomKeyBindings()),
            (TTexts{Line(sedCopy, "Ctrl+Ins"), Line(sedDeleteLine, "Ctrl+C,Ctrl+Y")}));
  // The view's keys follow.
  QTest::keyClick(&View, Qt::Key_C, Qt::ControlModifier);
  QTest::keyClick(&View, Qt::Key_Insert, Qt::ControlModifier);
  QTest::keyClick(&View, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Commands, (std::vector<TKivEditCommand>{sedDeleteLine, sedCopy, sedDeleteLine}));
}

TEST_F(KeyBindingsDialog, QuestionsFollowTheModesAndTwoStrokes) {
  Ui.AnswerQuestion(TKivUiButton::No);
  Ui.AnswerQuestion(TKivUiButton::Yes);
  EXPECT_FALSE(Run([](TDlg& ADlg) {
    Select(ADlg, "Start incremental search");
    Key(ADlg, Qt::Key_Backspace);
    ADlg.btnAddBinding->click();
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+E"}));
    Select(ADlg, "Undo");
    Key(ADlg, Qt::Key_K, Qt::ControlModifier);
    Key(ADlg, Qt::Key_X);
    ADlg.btnAddBinding->click();
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+Z", "Ctrl+K, X"}));
    Select(ADlg, "Delete to line end");
    EXPECT_TRUE(ListTexts(ADlg).empty());
    ADlg.btnCancel->click();
  }));
  EXPECT_EQ(
      Ui.Texts(TUiCall::Question),
      (std::vector<QString>{
          Plain("Keybinding 'BkSp' will override actions:\nDelete char backward or unindent\n\nContinue?"),
          Plain("Keybinding 'Ctrl+K, X' will override actions:\nDelete to line end\n\nContinue?")}));
  // Cancel: neither list changed.
  EXPECT_EQ(View.CustomKeyBindings().Count(), 0);
  TKivEditView fresh;
  EXPECT_EQ(Dump(View.GetDefaultKeyBindings()), Dump(fresh.GetDefaultKeyBindings()));
}

TEST_F(KeyBindingsDialog, DeleteAndBackspaceInTheList) {
  EXPECT_TRUE(Run([](TDlg& ADlg) {
    Select(ADlg, "Select all");
    ADlg.btnAddBinding->setEnabled(true);  // nothing captured: a click only updates the buttons
    ADlg.btnAddBinding->click();
    EXPECT_FALSE(ADlg.btnAddBinding->isEnabled());
    Key(ADlg, Qt::Key_F5);
    ADlg.btnAddBinding->click();
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+A", "F5"}));
    ADlg.lsBindings->setCurrentRow(1);
    QTest::keyClick(ADlg.lsBindings, Qt::Key_Delete);
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+A"}));
    EXPECT_EQ(ADlg.lsBindings->currentRow(), 0);
    EXPECT_TRUE(ADlg.btnDeleteBinding->isEnabled());
    QTest::keyClick(ADlg.lsBindings, Qt::Key_Backspace);
    EXPECT_TRUE(ListTexts(ADlg).empty());
    EXPECT_FALSE(ADlg.btnDeleteBinding->isEnabled());
    // With nothing selected the keys do nothing.
    Select(ADlg, "Copy selection");
    QTest::keyClick(ADlg.lsBindings, Qt::Key_Delete);
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+C", "Ctrl+Ins"}));
    ADlg.btnOk->click();
  }));
  EXPECT_EQ(Ui.Count(TUiCall::Question), 0);
  EXPECT_EQ(Dump(View.CustomKeyBindings()), (TTexts{Line(sedSelectAll, "")}));
  QTest::keyClick(&View, Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(Commands.empty());
}

TEST_F(KeyBindingsDialog, ResetOneAndAll) {
  EXPECT_TRUE(Run([](TDlg& ADlg) {
    Select(ADlg, "Delete line");
    ADlg.lsBindings->setCurrentRow(0);
    ADlg.btnDeleteBinding->click();
    EXPECT_TRUE(ListTexts(ADlg).empty());
    ADlg.btnResetDefault->click();
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+Y"}));
    Select(ADlg, "Undo");
    Key(ADlg, Qt::Key_Q, Qt::ControlModifier);
    ADlg.btnAddBinding->click();
    ADlg.btnOk->click();
  }));
  EXPECT_EQ(Ui.Count(TUiCall::Question), 0);
  EXPECT_EQ(Dump(View.CustomKeyBindings()), (TTexts{Line(sedUndo, "Ctrl+Q,Ctrl+Z")}));
  // Reset all, then "Ok": the custom list is empty.
  EXPECT_TRUE(Run([](TDlg& ADlg) {
    Select(ADlg, "Undo");
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+Q", "Ctrl+Z"}));
    ADlg.btnResetAll->click();
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+Z"}));
    Key(ADlg, Qt::Key_Return);
  }));
  EXPECT_EQ(View.CustomKeyBindings().Count(), 0);
  // Resetting a command whose default another one took asks; Yes gives it back.
  Ui.AnswerQuestion(TKivUiButton::Yes);
  Ui.AnswerQuestion(TKivUiButton::No);
  Ui.AnswerQuestion(TKivUiButton::Yes);
  EXPECT_TRUE(Run([](TDlg& ADlg) {
    Select(ADlg, "Undo");
    Key(ADlg, Qt::Key_Y, Qt::ControlModifier);
    ADlg.btnAddBinding->click();
    Select(ADlg, "Delete line");
    ADlg.btnResetDefault->click();  // No
    EXPECT_TRUE(ListTexts(ADlg).empty());
    ADlg.btnResetDefault->click();  // Yes
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+Y"}));
    ADlg.btnOk->click();
  }));
  const QString reset = Plain("After reset those actions will be overriden:\nUndo\n\nContinue?");
  EXPECT_EQ(Ui.Texts(TUiCall::Question).back().toStdString(), reset.toStdString());
  EXPECT_EQ(View.CustomKeyBindings().Count(), 0);
}

// A view-only custom binding does not hide the incremental search's default of the same key.
TEST_F(KeyBindingsDialog, ADefaultOfAnotherModeStaysAfterReopening) {
  EXPECT_TRUE(Run([](TDlg& ADlg) {
    Select(ADlg, "Delete char backward or unindent");
    Key(ADlg, Qt::Key_Space, Qt::ShiftModifier);
    ADlg.btnAddBinding->click();
    ADlg.btnOk->click();
  }));
  EXPECT_EQ(Dump(View.CustomKeyBindings()), (TTexts{Line(sedBackspaceOrUnindent, "BkSp,Shift+Space")}));
  EXPECT_TRUE(Run([](TDlg& ADlg) {
    Select(ADlg, "Move to previous result");
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"BkSp"}));
    ADlg.btnOk->click();
  }));
  EXPECT_EQ(Dump(View.CustomKeyBindings()), (TTexts{Line(sedBackspaceOrUnindent, "BkSp,Shift+Space")}));
}

// The hook sees the window first; an error while applying reaches the caller and keeps the list.
TEST_F(KeyBindingsDialog, TheHookAndAFailedApply) {
  TDlg* hooked = nullptr;
  bool viewSetAtHook = true;
  auto driver = WhenModal<TDlg>([](TDlg& ADlg) {
    // Two commands holding Ctrl+Q in the view, past the window's own checks.
    ADlg.Model().FindNode(sedUndo)->AddBinding(TNodeBinding::Create(0x4051, 0));
    ADlg.Model().FindNode(sedRedo)->AddBinding(TNodeBinding::Create(0x4051, 0));
    ADlg.btnOk->click();
  });
  TKivEditCommandItem& item = View.CustomKeyBindings().Add();
  item.SetCommand(sedCut);
  item.SetModes(KivModes(cmForView));
  item.Bindings().Add().SetShortcut(0x4057);
  const TTexts before = Dump(View.CustomKeyBindings());
  try {
    ShowKeyBindingsDialog(View, [&](TDlg& ADlg) {
      hooked = &ADlg;
      viewSetAtHook = ADlg.View() != nullptr;
    });
    ADD_FAILURE() << "no error";
  } catch (const EKivEditViewError& e) {
    EXPECT_EQ(KivToUtf8(e.Message()), "Keybindings should be unique in Command items");
  }
  EXPECT_TRUE(driver->Done());
  EXPECT_NE(hooked, nullptr);
  EXPECT_FALSE(viewSetAtHook);
  EXPECT_EQ(Dump(View.CustomKeyBindings()), before);
}

// What the field captured is what the view's keys give: keypad digits, shifted symbols, commas.
TEST_F(KeyBindingsDialog, ACapturedBindingFiresInTheView) {
  EXPECT_TRUE(Run([](TDlg& ADlg) {
    Select(ADlg, "Undo");
    Key(ADlg, Qt::Key_5, Qt::KeypadModifier);
    ADlg.btnAddBinding->click();
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Ctrl+Z", "5"}));
    Select(ADlg, "Redo");
    Key(ADlg, Qt::Key_Comma, Qt::ControlModifier);
    Key(ADlg, Qt::Key_Exclam, Qt::ShiftModifier);
    ADlg.btnAddBinding->click();
    EXPECT_EQ(ListTexts(ADlg), (TTexts{"Shift+Ctrl+Z", "Ctrl+Comma, Shift+1"}));
    ADlg.btnOk->click();
  }));
  EXPECT_EQ(Dump(View.CustomKeyBindings()),
            (TTexts{Line(sedRedo, "Ctrl+Comma, Shift+1,Shift+Ctrl+Z"), Line(sedUndo, "5,Ctrl+Z")}));
  EXPECT_EQ(View.CustomKeyBindings().FindCommand(sedUndo)->Bindings().Items(0).Shortcut(), vkNumpad0 + 5);
  const auto send = [this](Qt::Key AKey, const char* AText, Qt::KeyboardModifiers AMods) {
    QTest::sendKeyEvent(QTest::Click, &View, AKey, QString::fromLatin1(AText), AMods);
  };
  send(Qt::Key_5, "5", Qt::KeypadModifier);
  send(Qt::Key_Comma, "", Qt::ControlModifier);
  send(Qt::Key_Exclam, "!", Qt::ShiftModifier);
  ASSERT_GE(Commands.size(), 2u);
  EXPECT_EQ(Commands[0], sedUndo);
  EXPECT_EQ(Commands[1], sedRedo);
  // The main row's 5 is another key.
  Commands.clear();
  send(Qt::Key_5, "5", Qt::NoModifier);
  EXPECT_EQ(std::count(Commands.begin(), Commands.end(), sedUndo), 0);
}
