// Every button of the main window end to end (QTest clicks on the shown window, its modal
// windows driven by scripts), the page setup, preview and print flows, and Cancel or Esc on
// every window leaving the text alone.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdio>
#include <string>
#include <vector>

#include "AppTestKit.h"
#include "KivDemoData.h"
#include "KivPrintPreviewDlg.h"
#include "KivPrinter.h"
#include "KivQtPrint.h"
#include "KivSedColorSchemeDialog.h"
#include "KivSedDialogs.h"
#include "KivSedFindDialog.h"
#include "KivSedGotoLineDialog.h"
#include "KivSedKeyBindingsDialog.h"
#include "KivSedPrintDialogs.h"
#include "KivSedSchemeEditDialog.h"
#include "KivSedViewPrintTask.h"

namespace {

// Replaces the text of an editable drop-down as the user does.
void Type(QComboBox* ABox, const char* AText) {
  QLineEdit* edit = ABox->lineEdit();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, QString::fromUtf8(AText));
  if (edit->hasSelectedText()) QTest::keyClick(edit, Qt::Key_Delete);  // the history's suggestion
}

// Chooses the item of a colour box whose caption starts with ACaption's letter, by keyboard.
void ChooseColorItem(QComboBox* ABox, const char* ACaption) {
  ABox->setFocus();
  QApplication::setKeyboardInputInterval(20);
  QTest::qWait(40);
  QTest::keyClick(ABox, ACaption[0]);
}

// Pixels in ARect of AImage that are clearly red.
int RedPixels(const QImage& AImage, const QRect& ARect) {
  int n = 0;
  const QRect r = ARect.intersected(AImage.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QColor c = AImage.pixelColor(x, y);
      n += c.red() > 150 && c.green() < 90 && c.blue() < 90;
    }
  return n;
}

// The number of pages of a PDF file, by poppler's pdfinfo; -1 when it cannot be read.
int PdfPages(const QString& AFile) {
  const std::string command = "pdfinfo '" + AFile.toStdString() + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char line[512];
  int pages = -1;
  while (fgets(line, sizeof line, pipe))
    if (std::sscanf(line, "Pages: %d", &pages) == 1) break;
  pclose(pipe);
  return pages;
}

// The sample with every "max" in any case replaced by ABy.
std::string ReplacedIgnoringCase(std::string AText, const std::string& AWhat, const std::string& ABy) {
  std::string lower = AText;
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  std::string res;
  size_t from = 0;
  for (size_t at = lower.find(AWhat); at != std::string::npos; at = lower.find(AWhat, at + AWhat.size())) {
    res += AText.substr(from, at - from) + ABy;
    from = at + AWhat.size();
  }
  return res + AText.substr(from);
}

class Buttons : public AppWindowTest {
 protected:
  bool PrinterIdle() { return !Form->Printer->PagesPrepared() && !Form->PrintTask->PagesPrepared(); }
  TKivPageTemplateBlock& Header() { return Form->Printer->Header(); }
};

// ---- each button ----

TEST_F(Buttons, FindSelectsTheNextPrintf) {
  View().SetCursorOffset(OffsetOf(u"main"));
  EXPECT_TRUE(ClickWith<TKivSedFindDlg>(Form->btnFind, [](TKivSedFindDlg& ADlg) {
    EXPECT_EQ(ADlg.windowTitle(), "Find text");
    EXPECT_FALSE(ADlg.edReplaceText->isVisible());
    Type(ADlg.edTextToSearch, "printf");
    QTest::keyClick(ADlg.edTextToSearch->lineEdit(), Qt::Key_Return);
  }));
  const Integer next = Integer(Doc().Text().find(u"printf", OffsetOf(u"main")));
  EXPECT_EQ(View().SelectionOffsetStart(), next);
  EXPECT_EQ(View().SelectionOffsetEnd(), next + 6);
  EXPECT_EQ(Ui.Count(TUiCall::Error), 0);
}

TEST_F(Buttons, ReplaceAllAndOneUndoRestores) {
  const std::string sample = U8(Doc().Text());
  EXPECT_TRUE(ClickWith<TKivSedFindDlg>(Form->btnReplace, [](TKivSedFindDlg& ADlg) {
    EXPECT_EQ(ADlg.windowTitle(), "Find text");
    EXPECT_TRUE(ADlg.edReplaceText->isVisible()) << "the replacement row";
    Type(ADlg.edTextToSearch, "MAX");
    Type(ADlg.edReplaceText, "LIMIT");
    QTest::mouseClick(ADlg.btnReplaceAll, Qt::LeftButton);
  }));
  EXPECT_EQ(U8(Doc().Text()), ReplacedIgnoringCase(sample, "max", "LIMIT"));
  EXPECT_NE(U8(Doc().Text()), sample);
  EXPECT_TRUE(Doc().Modified());
  QTest::keyClick(&View(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(U8(Doc().Text()), sample);
}

TEST_F(Buttons, GoToLineFortyPutsTheCaretThereOnScreen) {
  EXPECT_TRUE(ClickWith<TKivSedGotoLineDlg>(Form->btnGoto, [](TKivSedGotoLineDlg& ADlg) {
    EXPECT_EQ(ADlg.windowTitle(), "Go to line");
    QTest::keyClicks(ADlg.edtLine, "40");
    QTest::keyClick(ADlg.edtLine, Qt::Key_Return);
  }));
  EXPECT_EQ(View().CursorPos().Y, 39);
  const Integer top = View().TopLineScroll();
  EXPECT_LE(top, 39);
  EXPECT_LT(39, top + View().FullyVisibleLines());
}

TEST_F(Buttons, KeybindingsWithoutCtrlYDeleteLineDoesNothing) {
  EXPECT_TRUE(ClickWith<TKivSedKeyBindingsDlg>(Form->btnKeybindings, [](TKivSedKeyBindingsDlg& ADlg) {
    EXPECT_EQ(ADlg.windowTitle(), "Keybindings editor");
    QTreeWidgetItem* item = ADlg.FindCommandItem(QStringLiteral("Delete line"));
    ASSERT_NE(item, nullptr);
    ADlg.trCommands->setCurrentItem(item);
    ASSERT_EQ(ADlg.lsBindings->count(), 1);
    EXPECT_EQ(ADlg.lsBindings->item(0)->text(), "Ctrl+Y");
    ADlg.lsBindings->setCurrentRow(0);
    QTest::mouseClick(ADlg.btnDeleteBinding, Qt::LeftButton);
    EXPECT_EQ(ADlg.lsBindings->count(), 0);
    QTest::mouseClick(ADlg.btnOk, Qt::LeftButton);
  }));
  const TKivString before = Doc().Text();
  View().SetCursorPos({0, 3});
  QTest::keyClick(&View(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_TRUE(Doc().Text() == before);
  EXPECT_FALSE(Doc().Modified());
}

TEST_F(Buttons, ColorSchemeKeywordRedIsDrawnRed) {
  const Integer intAt = OffsetOf(u"int misplaced");
  TKivRect first, last;
  ASSERT_TRUE(View().ScrollPosToClient(View().OffsetToScrollPos(intAt), first));
  ASSERT_TRUE(View().ScrollPosToClient(View().OffsetToScrollPos(intAt + 2), last));
  const QRect word(first.Left, first.Top, last.Right - first.Left, first.Bottom - first.Top);
  EXPECT_EQ(RedPixels(View().viewport()->grab().toImage(), word), 0) << "bold black before";
  EXPECT_TRUE(ClickWith<TKivSedColorSchemeDlg>(Form->btnColorSchemes, [](TKivSedColorSchemeDlg& ADlg) {
    EXPECT_EQ(ADlg.windowTitle(), "Color scheme editor");
    const auto items = ADlg.lsTokens->findItems(QStringLiteral("keyword"), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    ADlg.lsTokens->scrollToItem(items[0]);
    QTest::mouseClick(ADlg.lsTokens->viewport(), Qt::LeftButton, {},
                      ADlg.lsTokens->visualItemRect(items[0]).center());
    ChooseColorItem(ADlg.cbColor, "Red");
    EXPECT_EQ(ADlg.cbColor->currentText(), "Red");
    QTest::mouseClick(ADlg.btnOk, Qt::LeftButton);
  }));
  QApplication::processEvents();
  EXPECT_GT(RedPixels(View().viewport()->grab().toImage(), word), 3) << "the keyword int";
  EXPECT_FALSE(Doc().Modified());
}

TEST_F(Buttons, SyntaxSchemeShowsCAndCancelChangesNothing) {
  const TKivString scheme = Doc().SyntaxSchemes().FindItem(u"C")->Scheme().Text();
  const TKivString text = Doc().Text();
  EXPECT_TRUE(ClickWith<TKivSedSchemeEditDlg>(Form->btnSyntax, [&](TKivSedSchemeEditDlg& ADlg) {
    EXPECT_EQ(ADlg.windowTitle(), "Edit scheme");
    EXPECT_TRUE(ADlg.Doc->Lines().Text() == scheme) << "the C scheme's text";
    ADlg.Doc->Insert(0, u"<!-- edited -->");
    QTest::mouseClick(ADlg.Button2, Qt::LeftButton);  // Cancel
  }));
  EXPECT_TRUE(Doc().SyntaxSchemes().FindItem(u"C")->Scheme().Text() == scheme);
  EXPECT_TRUE(Doc().Text() == text);
  EXPECT_EQ(U8(Doc().ActiveSyntaxScheme()), "C");
}

TEST_F(Buttons, PrintSetupLandscape) {
  ASSERT_EQ(Form->Printer->Orientation(), poPortrait);
  EXPECT_TRUE(ClickWith<TKivSedPrinterSetupDlg>(Form->btnPrintSetup, [](TKivSedPrinterSetupDlg& ADlg) {
    EXPECT_EQ(ADlg.windowTitle(), "Print setup");
    QTest::mouseClick(ADlg.rbLandscape, Qt::LeftButton);
    QTest::mouseClick(ADlg.btnOk, Qt::LeftButton);
  }));
  EXPECT_EQ(Form->Printer->Orientation(), poLandscape);
}

TEST_F(Buttons, PageSetupLeftMargin30) {
  EXPECT_TRUE(ClickWith<TKivSedPageSetupDlg>(Form->btnPageSetup, [](TKivSedPageSetupDlg& ADlg) {
    EXPECT_EQ(ADlg.windowTitle(), "Page settings");
    ADlg.edtLeft->selectAll();
    QTest::keyClicks(ADlg.edtLeft, "30");
    QTest::mouseClick(ADlg.btnOk, Qt::LeftButton);
  }));
  EXPECT_EQ(Form->Printer->Margins().Left(), 30);
}

TEST_F(Buttons, PrintPreviewEscLeavesThePrinterIdle) {
  Integer pages = 0;
  EXPECT_TRUE(ClickWith<TKivPrintPreviewForm>(Form->btnPrintPreview, [&](TKivPrintPreviewForm& AForm) {
    EXPECT_EQ(AForm.windowTitle(), "Print Preview");
    EXPECT_FALSE(PrinterIdle());
    pages = AForm.PreviewPanel()->TotalPages();
    QTest::keyClick(&AForm, Qt::Key_Escape);
  }));
  EXPECT_EQ(pages, 2) << "the sample on A4";
  EXPECT_TRUE(PrinterIdle());
  EXPECT_EQ(Ui.Count(TUiCall::Error), 0);
}

TEST_F(Buttons, PrintToFileWritesEveryPage) {
  auto* device = dynamic_cast<TKivQtPrintDevice*>(Form->Printer->GetSysPrinter());
  ASSERT_NE(device, nullptr);
  if (!device->IsPdf()) GTEST_SKIP() << "a system printer is installed";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("sample.pdf"));
  TKivPrinterSettings settings = Form->Printer->GetPrinter();
  settings.OutputFile = file.toStdU16String();
  Form->Printer->SetPrinter(settings);
  Form->PrintTask->PreparePages();
  const Integer pages = Form->PrintTask->PagesCount();
  Form->PrintTask->FinalizePages();
  EXPECT_TRUE(ClickWith<QPrintDialog>(Form->btnPrint, [](QPrintDialog& ADlg) {
    for (QPushButton* b : ADlg.findChildren<QPushButton*>())
      if (b->text() == "&Print") return QTest::mouseClick(b, Qt::LeftButton);
    ADD_FAILURE() << "no Print button";
    ADlg.reject();
  }));
  EXPECT_TRUE(PrinterIdle());
  EXPECT_EQ(PdfPages(file), pages);
  EXPECT_EQ(Ui.Count(TUiCall::Error), 0);
}

// Cancel or Esc in every window: the text and its modified state stay.
TEST_F(Buttons, EscapeInEveryWindowLeavesTheText) {
  struct TCase {
    QAbstractButton* Button;
    const char* Title;  // none: the platform's print dialog
  };
  const std::vector<TCase> cases{
      {Form->btnFind, "Find text"},          {Form->btnReplace, "Find text"},
      {Form->btnGoto, "Go to line"},         {Form->btnKeybindings, "Keybindings editor"},
      {Form->btnColorSchemes, "Color scheme editor"}, {Form->btnSyntax, "Edit scheme"},
      {Form->btnPrintSetup, "Print setup"},  {Form->btnPageSetup, "Page settings"},
      {Form->btnPrintPreview, "Print Preview"}, {Form->btnPrint, nullptr},
  };
  for (const bool modified : {false, true}) {
    if (modified) QTest::keyClicks(&View(), "x");
    const TKivString text = Doc().Text();
    ASSERT_EQ(Doc().Modified(), modified);
    for (const TCase& c : cases) {
      SCOPED_TRACE(c.Button->text().toStdString() + (modified ? ", modified" : ""));
      EXPECT_TRUE(ClickWith<QDialog>(c.Button, [&](QDialog& AWindow) {
        if (c.Title) {
          EXPECT_EQ(AWindow.windowTitle(), c.Title);
        }
        QTest::keyClick(&AWindow, Qt::Key_Escape);
      }));
      EXPECT_TRUE(Doc().Text() == text);
      EXPECT_EQ(Doc().Modified(), modified);
      EXPECT_TRUE(PrinterIdle());
    }
  }
  EXPECT_EQ(Ui.Count(TUiCall::Error), 0);
}

// ---- the flows ----

// Whatever the result, the dialog's margins and templates go to the printer.
TEST_F(Buttons, PageSetupCancelStillCopiesMarginsAndTemplates) {
  Form->Printer->Margins().SetMarginRect({22, 23, 24, 25});
  Header().SetTemplate({u"From the printer"});
  TKivDoubleRect shown;
  std::vector<TKivString> shownHeader;
  Form->dlgPageSetup->OnShow = [&] {
    shown = Form->dlgPageSetup->Margins();
    shownHeader = Form->dlgPageSetup->HeaderTemplate().Template();
    // What the dialog holds when it closes, whatever closes it.
    Form->dlgPageSetup->SetMargins({31, 32, 33, 34});
    Form->dlgPageSetup->FooterTemplate().SetTemplate({u"Footer of the dialog"});
  };
  EXPECT_TRUE(ClickWith<TKivSedPageSetupDlg>(Form->btnPageSetup, [](TKivSedPageSetupDlg& ADlg) {
    QTest::mouseClick(ADlg.btnCancel, Qt::LeftButton);
  }));
  Form->dlgPageSetup->OnShow = nullptr;
  EXPECT_EQ(shown.Left, 22);
  EXPECT_EQ(shown.Bottom, 25);
  EXPECT_EQ(shownHeader, std::vector<TKivString>{u"From the printer"}) << "the printer's templates go in first";
  const TKivDoubleRect m = Form->Printer->Margins().MarginRect();
  EXPECT_EQ(std::vector<double>({m.Left, m.Top, m.Right, m.Bottom}), std::vector<double>({31, 32, 33, 34}));
  EXPECT_EQ(Header().Template(), std::vector<TKivString>{u"From the printer"});
  EXPECT_EQ(Form->Printer->Footer().Template(), std::vector<TKivString>{u"Footer of the dialog"});
}

// A header set through the preview's "Page settings" survives a cancelled main "Page setup".
TEST_F(Buttons, PreviewHeaderSurvivesACancelledPageSetup) {
  EXPECT_TRUE(ClickWith<TKivPrintPreviewForm>(Form->btnPrintPreview, [](TKivPrintPreviewForm& AForm) {
    auto settings = WhenModal<TKivSedPageSetupDlg>([](TKivSedPageSetupDlg& ADlg) {
      auto editor = WhenModal<TKivTemplateEditDialog>([](TKivTemplateEditDialog& AEd) {
        AEd.reMain->selectAll();
        QTest::keyClicks(AEd.reMain, "Header from the preview");
        QTest::mouseClick(AEd.btnOk, Qt::LeftButton);
      });
      QTest::mouseClick(ADlg.btnHeader, Qt::LeftButton);
      EXPECT_TRUE(editor->Done());
      QTest::mouseClick(ADlg.btnOk, Qt::LeftButton);
    });
    QTest::mouseClick(AForm.ToolBar()->GetButton(tbPageSettings), Qt::LeftButton);
    EXPECT_TRUE(settings->Done());
    QTest::keyClick(&AForm, Qt::Key_Escape);
  }));
  ASSERT_EQ(Header().Template(), std::vector<TKivString>{u"Header from the preview"});
  EXPECT_TRUE(ClickWith<TKivSedPageSetupDlg>(Form->btnPageSetup, [](TKivSedPageSetupDlg& ADlg) {
    QTest::mouseClick(ADlg.btnCancel, Qt::LeftButton);
  }));
  EXPECT_EQ(Header().Template(), std::vector<TKivString>{u"Header from the preview"});
  EXPECT_EQ(Ui.Count(TUiCall::Error), 0);
}

// A preview that raises: its error shown once, the pages released once (a second release would
// raise and show a second error), and the next preview works. A preparation that raises leaves
// nothing to release.
TEST_F(Buttons, FailingPreviewReleasesOnceAndTheNextWorks) {
  Form->dlgPrintPreview->SetPrinter(nullptr);
  QTest::mouseClick(Form->btnPrintPreview, Qt::LeftButton);
  Form->dlgPrintPreview->SetPrinter(Form->Printer.get());
  EXPECT_EQ(Ui.Texts(TUiCall::Error),
            std::vector<QString>{QStringLiteral("Printer property should be assigned for this operation")});
  EXPECT_TRUE(PrinterIdle());

  Form->PrintTask->SetView(nullptr);
  QTest::mouseClick(Form->btnPrintPreview, Qt::LeftButton);
  QTest::mouseClick(Form->btnPrint, Qt::LeftButton);
  Form->PrintTask->SetView(&View());
  EXPECT_EQ(Ui.Count(TUiCall::Error), 3) << "one error per click, nothing released";
  EXPECT_TRUE(PrinterIdle());

  EXPECT_TRUE(ClickWith<TKivPrintPreviewForm>(Form->btnPrintPreview, [](TKivPrintPreviewForm& AForm) {
    EXPECT_EQ(AForm.PreviewPanel()->TotalPages(), 2);
    QTest::keyClick(&AForm, Qt::Key_Escape);
  }));
  EXPECT_TRUE(PrinterIdle());
  EXPECT_EQ(Ui.Count(TUiCall::Error), 3);
}

}  // namespace
