// The template editor on the offscreen platform: its actions and tool bar, the fields menu, the
// check marks following the caret, and the text going back to the template only on OK.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

#include "DialogTestSupport.h"
#include "KivQtPrint.h"
#include "KivSedPrintDialogs.h"

namespace {

// Places the caret at APos of the editor.
void MoveTo(QTextEdit* AEdit, int APos) {
  QTextCursor c = AEdit->textCursor();
  c.setPosition(APos);
  AEdit->setTextCursor(c);
}

// Selects [AFrom, ATo).
void Select(QTextEdit* AEdit, int AFrom, int ATo) {
  QTextCursor c = AEdit->textCursor();
  c.setPosition(AFrom);
  c.setPosition(ATo, QTextCursor::KeepAnchor);
  AEdit->setTextCursor(c);
}

}  // namespace

TEST(TemplateEditDialog, ActionsCaptionsShortcutsAndToolBar) {
  TKivTemplateEditDialog dlg;
  EXPECT_EQ(dlg.windowTitle(), "Edit template");
  EXPECT_EQ(dlg.btnOk->text(), "Ok");
  EXPECT_EQ(dlg.btnCancel->text(), "Cancel");
  EXPECT_TRUE(dlg.btnOk->isDefault());
  struct TCase {
    QAction* Action;
    const char* Caption;
    QKeySequence Key;
  };
  const TCase cases[] = {
      {dlg.actFileOpen, "&Open", QKeySequence("Ctrl+O")},
      {dlg.actFileSaveAs, "Save &As", {}},
      {dlg.actUndo, "&Undo", QKeySequence("Ctrl+Z")},
      {dlg.actFontEdit, "Select &Font...", {}},
      {dlg.actBold, "&Bold", QKeySequence("Ctrl+B")},
      {dlg.actItalic, "&Italic", QKeySequence("Ctrl+I")},
      {dlg.actUnderline, "Un&derline", QKeySequence("Ctrl+U")},
      {dlg.actAlignLeft, "Align &Left", {}},
      {dlg.actAlignCenter, "&Center", {}},
      {dlg.actAlignRight, "Align &Right", {}},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(c.Action->text(), c.Caption);
    EXPECT_EQ(c.Action->shortcut(), c.Key) << c.Caption;
  }
  // Open, Save As | Undo | Font, Bold, Italic, Underline | Left, Center, Right | fields.
  QStringList order;
  for (QAction* a : dlg.tbMain->actions()) {
    if (a->isSeparator())
      order << "|";
    else if (dlg.tbMain->widgetForAction(a) == dlg.btnFields)
      order << "fields";
    else
      order << a->text();
  }
  EXPECT_EQ(order, (QStringList{"&Open", "Save &As", "|", "&Undo", "|", "Select &Font...", "&Bold", "&Italic",
                                "Un&derline", "|", "Align &Left", "&Center", "Align &Right", "|", "fields"}));
  QStringList fields;
  for (QAction* a : dlg.mnuFields->actions()) fields << a->text();
  EXPECT_EQ(fields, (QStringList{"Current page", "Total pages", "Document title"}));
}

TEST(TemplateEditDialog, FieldsMenuInsertsAtTheCaret) {
  TKivTemplateEditDialog dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  dlg.reMain->setPlainText("Page  of ");
  MoveTo(dlg.reMain, 5);
  dlg.mnuFields->actions()[0]->trigger();
  MoveTo(dlg.reMain, 15);
  dlg.mnuFields->actions()[1]->trigger();
  dlg.mnuFields->actions()[2]->trigger();
  EXPECT_EQ(dlg.reMain->toPlainText(), "Page [Page] of [PagesCount][Title]");
  dlg.reject();
}

TEST(TemplateEditDialog, CheckMarksFollowTheCaret) {
  TKivTemplateEditDialog dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  dlg.reMain->setHtml("<p>plain <b>bold</b> plain</p><p align=\"center\">centred</p>");
  MoveTo(dlg.reMain, 2);
  EXPECT_FALSE(dlg.actBold->isChecked());
  EXPECT_TRUE(dlg.actAlignLeft->isChecked());
  EXPECT_FALSE(dlg.actAlignCenter->isChecked());
  MoveTo(dlg.reMain, 8);  // inside "bold"
  EXPECT_TRUE(dlg.actBold->isChecked());
  MoveTo(dlg.reMain, 20);  // the centred paragraph
  EXPECT_TRUE(dlg.actAlignCenter->isChecked());
  EXPECT_FALSE(dlg.actAlignLeft->isChecked());
  EXPECT_FALSE(dlg.actBold->isChecked());
  // An action sets the mark at once: Align Right here, Italic on a selection.
  dlg.actAlignRight->trigger();
  EXPECT_TRUE(dlg.actAlignRight->isChecked());
  EXPECT_FALSE(dlg.actAlignCenter->isChecked());
  Select(dlg.reMain, 0, 5);
  dlg.actItalic->trigger();
  EXPECT_TRUE(dlg.actItalic->isChecked());
  // Ctrl+B in the editor toggles bold of the selection.
  dlg.reMain->setFocus();
  Select(dlg.reMain, 0, 5);
  QTest::keyClick(dlg.reMain, Qt::Key_B, Qt::ControlModifier);
  EXPECT_TRUE(dlg.actBold->isChecked());
  dlg.reject();
}

TEST(TemplateEditDialog, UndoOnlyWithFocusAndSomethingToUndo) {
  QWidget other;
  TKivTemplateEditDialog dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  dlg.reMain->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(dlg.actUndo->isEnabled());
  QTest::keyClicks(dlg.reMain, "abc");
  EXPECT_TRUE(dlg.actUndo->isEnabled());
  dlg.btnOk->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(dlg.actUndo->isEnabled());
  dlg.reMain->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(dlg.actUndo->isEnabled());
  dlg.actUndo->trigger();
  EXPECT_EQ(dlg.reMain->toPlainText(), "");
  dlg.reject();
}

TEST(TemplateEditDialog, CancelKeepsOkCopiesBoldBack) {
  TKivQtRichText text;
  text.SetLines({u"Header text"});
  // Esc and Cancel keep the template.
  for (bool esc : {true, false}) {
    auto driver = WhenModal<TKivTemplateEditDialog>([esc](TKivTemplateEditDialog& AEd) {
      EXPECT_EQ(AEd.windowTitle(), "Edit page header");
      EXPECT_EQ(AEd.reMain->toPlainText(), "Header text");
      AEd.reMain->selectAll();
      QTest::keyClicks(AEd.reMain, "changed");
      if (esc)
        QTest::keyClick(AEd.reMain, Qt::Key_Escape);
      else
        QTest::mouseClick(AEd.btnCancel, Qt::LeftButton);
    });
    EXPECT_FALSE(KivExecuteTemplateEditDlg("Edit page header", text));
    EXPECT_TRUE(driver->Done());
    EXPECT_EQ(text.Line(0), u"Header text");
  }
  // OK: "Header" in bold goes back in bold.
  auto driver = WhenModal<TKivTemplateEditDialog>([](TKivTemplateEditDialog& AEd) {
    Select(AEd.reMain, 0, 6);
    QTest::mouseClick(AEd.tbMain->widgetForAction(AEd.actBold), Qt::LeftButton);
    QTest::mouseClick(AEd.btnOk, Qt::LeftButton);
  });
  EXPECT_TRUE(KivExecuteTemplateEditDlg("Edit page header", text));
  EXPECT_TRUE(driver->Done());
  EXPECT_EQ(text.Line(0), u"Header text");
  const QTextBlock block = text.Document().firstBlock();
  QTextCursor c(block);
  c.setPosition(block.position() + 3);
  EXPECT_GT(c.charFormat().fontWeight(), QFont::Normal);
  c.setPosition(block.position() + 9);
  EXPECT_EQ(c.charFormat().fontWeight(), QFont::Normal);
}

TEST(TemplateEditDialog, FilesAndFontGoThroughTheUiServices) {
  TScriptedUiServices ui;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString html = dir.filePath("t.html");
  ui.AnswerFile(true, html);
  ui.AnswerFile(true, html);
  QFont big(QStringLiteral("Arial"));
  big.setPointSize(20);
  ui.AnswerFont(true, big);
  ui.AnswerColor(true, QColor(Qt::red));
  TKivTemplateEditDialog dlg;
  dlg.reMain->setPlainText("saved");
  dlg.reMain->selectAll();
  dlg.actFontEdit->trigger();
  dlg.actFileSaveAs->trigger();
  dlg.reMain->setPlainText("other");
  dlg.actFileOpen->trigger();
  EXPECT_EQ(dlg.reMain->toPlainText(), "saved");
  QTextCursor c(dlg.reMain->document());
  c.setPosition(2);
  EXPECT_EQ(c.charFormat().font().pointSize(), 20);
  EXPECT_EQ(c.charFormat().foreground().color(), QColor(Qt::red));
  EXPECT_TRUE(ui.AllAnswersUsed());
  EXPECT_EQ(ui.Count(TUiCall::SaveFile), 1);
  EXPECT_EQ(ui.Count(TUiCall::OpenFile), 1);
}
