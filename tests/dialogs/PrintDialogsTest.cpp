// The print dialog over Qt's print dialog, the "Print setup" window, and whole printing runs
// through the printer's dialogs into real PDF files read back with poppler's tools.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <fstream>

#include "DialogTestSupport.h"
#include "KivQtPrint.h"
#include "KivSedPrintDialogs.h"
#include "PrintFakes.h"

namespace {

// The standard output of a poppler tool; a test failure when it is missing or fails.
std::string Poppler(const std::string& ATool, const std::string& AArgs) {
  std::string out;
  FILE* pipe = popen((ATool + " " + AArgs + " 2>&1").c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << ATool;
    return {};
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  EXPECT_EQ(pclose(pipe), 0) << ATool << " " << AArgs << ":\n" << out << "\n(scripts/setup installs poppler-utils)";
  return out;
}

std::string Quote(const QString& APath) {
  return "'" + APath.toStdString() + "'";
}

// The leftmost column of ink (darker than mid-grey) of a binary greyscale PGM, or -1.
int FirstInkColumn(const std::string& APath) {
  std::ifstream in(APath, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  if (magic != "P5" || w <= 0 || h <= 0) return -2;
  std::vector<unsigned char> px(size_t(w) * size_t(h));
  in.read(reinterpret_cast<char*>(px.data()), std::streamsize(px.size()));
  int first = -1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w && (first < 0 || x < first); ++x)
      if (px[size_t(y) * size_t(w) + size_t(x)] < 128) first = x;
  return first;
}

template <class T>
T* Named(QWidget& AWin, const char* AName) {
  T* w = AWin.findChild<T*>(QString::fromLatin1(AName));
  EXPECT_NE(w, nullptr) << AName;
  return w;
}

// Opens the options of Qt's print dialog and chooses the pages AFrom to ATo. (Its page-list field
// is disabled unless a system print server offers page lists, as on the offscreen test machine.)
bool TypePageRange(QPrintDialog& AWin, int AFrom, int ATo) {
  for (QPushButton* b : AWin.findChildren<QPushButton*>())
    if (b->text() == "&Options >>") QTest::mouseClick(b, Qt::LeftButton);
  QRadioButton* range = Named<QRadioButton>(AWin, "printRange");
  QSpinBox* from = Named<QSpinBox>(AWin, "from");
  QSpinBox* to = Named<QSpinBox>(AWin, "to");
  if (!range || !from || !to) return false;
  QTest::mouseClick(range, Qt::LeftButton);
  EXPECT_TRUE(range->isChecked());
  for (auto [box, value] : {std::pair{to, ATo}, std::pair{from, AFrom}}) {
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QByteArray::number(value).constData());
    EXPECT_EQ(box->value(), value);
  }
  return true;
}

struct PrintFixture : ::testing::Test {
  FakeLocale Locale;
  TScriptedUiServices Ui;
  QTemporaryDir Dir;
  std::unique_ptr<TKivPrinter> Printer;
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Printer = std::make_unique<TKivPrinter>(TKivQtPrintDevice::CreatePdf(), &Locale);
    // Registered at start-up.
    ASSERT_EQ(KivPrintDialogs(), &KivQtPrintDialogs());
  }
  QString Path(const char* AName) const { return Dir.filePath(AName); }
  void SetOutput(const QString& AFile) {
    TKivPrinterSettings s = Printer->GetPrinter();
    s.OutputFile = AFile.toStdU16String();
    Printer->SetPrinter(s);
  }
};

}  // namespace

// ---- print ----

TEST_F(PrintFixture, PrintDialogShowsItsPropertiesAndCancels) {
  TKivPrintDialog dlg;
  dlg.SetPrinter(Printer.get());
  dlg.SetOptions(KivPdo(poPageNums));
  dlg.SetMinPage(1);
  dlg.SetMaxPage(5);
  dlg.SetFromPage(2);
  dlg.SetToPage(4);
  dlg.SetCopies(2);
  dlg.SetPrintRange(prPageNums);
  auto driver = WhenModal<QPrintDialog>([](QPrintDialog& AWin) {
    QSpinBox* from = Named<QSpinBox>(AWin, "from");
    QSpinBox* to = Named<QSpinBox>(AWin, "to");
    QSpinBox* copies = Named<QSpinBox>(AWin, "copies");
    if (!from || !to || !copies) return AWin.reject();
    EXPECT_EQ(from->value(), 2);
    EXPECT_EQ(to->value(), 4);
    EXPECT_EQ(from->minimum(), 1);
    EXPECT_EQ(to->maximum(), 5);
    EXPECT_EQ(copies->value(), 2);
    EXPECT_EQ(AWin.minPage(), 1);
    EXPECT_EQ(AWin.maxPage(), 5);
    AWin.reject();
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_TRUE(driver->Done());
  EXPECT_EQ(dlg.FromPage(), 2);
  EXPECT_EQ(dlg.ToPage(), 4);
}

// "3-5" typed as a page list: the dialog reports 3 and 5, and the printer prints pages 3 to 5.
TEST_F(PrintFixture, PageListPrintsThosePagesToPdf) {
  const QString file = Path("list.pdf");
  SetOutput(file);
  Printer->Header().SetTemplate({u"Header of page [Page]"});
  FakeRenderer renderer(150, 100);
  Printer->PreparePages(renderer);
  ASSERT_GE(Printer->GetPagesCount(orAll), 5);
  auto driver = WhenModal<QPrintDialog>([](QPrintDialog& AWin) {
    if (!TypePageRange(AWin, 3, 5)) return AWin.reject();
    for (QPushButton* b : AWin.findChildren<QPushButton*>())
      if (b->text() == "&Print") return QTest::mouseClick(b, Qt::LeftButton);
    ADD_FAILURE() << "no Print button";
    AWin.reject();
  });
  EXPECT_TRUE(Printer->ExecPrintDlg());
  EXPECT_TRUE(driver->Done());
  Printer->FinalizePages();
  const std::string info = Poppler("pdfinfo", Quote(file));
  EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
  for (int page = 1; page <= 3; ++page) {
    const std::string text =
        Poppler("pdftotext", "-f " + std::to_string(page) + " -l " + std::to_string(page) + " " + Quote(file) + " -");
    EXPECT_NE(text.find("Header of page " + std::to_string(page + 2)), std::string::npos) << text;
  }
}

TEST_F(PrintFixture, PrintDialogReportsTheChosenPages) {
  TKivPrintDialog dlg;
  dlg.SetPrinter(Printer.get());
  dlg.SetOptions(KivPdo(poPageNums));
  dlg.SetMinPage(1);
  dlg.SetMaxPage(9);
  dlg.SetCopies(3);
  SetOutput(Path("unused.pdf"));
  auto driver = WhenModal<QPrintDialog>([](QPrintDialog& AWin) {
    if (!TypePageRange(AWin, 3, 5)) return AWin.reject();
    AWin.accept();
  });
  EXPECT_TRUE(dlg.Execute());
  EXPECT_TRUE(driver->Done());
  EXPECT_EQ(dlg.PrintRange(), prPageNums);
  EXPECT_EQ(dlg.FromPage(), 3);
  EXPECT_EQ(dlg.ToPage(), 5);
  EXPECT_EQ(dlg.PageRanges(), (std::vector<std::pair<Integer, Integer>>{{3, 5}}));
  EXPECT_EQ(dlg.Copies(), 3);
  EXPECT_TRUE(dlg.PrintToFile());
}

// ---- printer setup ----

TEST_F(PrintFixture, PrinterSetupListsThePdfPrinter) {
  auto driver = WhenModal<TKivSedPrinterSetupDlg>([](TKivSedPrinterSetupDlg& AWin) {
    EXPECT_EQ(AWin.windowTitle(), "Print setup");
    EXPECT_EQ(AWin.cbxPrinter->count(), QPrinterInfo::availablePrinterNames().size() + 1);
    EXPECT_EQ(AWin.cbxPrinter->currentText(), TKivSedPrinterSetupDlg::PdfPrinterName());
    EXPECT_FALSE(AWin.lblState->text().isEmpty());
    AWin.reject();
  });
  TKivPrinterSetupDialog dlg;
  dlg.SetPrinter(Printer.get());
  EXPECT_FALSE(dlg.Execute());
  EXPECT_TRUE(driver->Done());
}

TEST_F(PrintFixture, PrinterSetupLetterLandscape) {
  Printer->Margins().SetMarginRect({30, 30, 30, 30});
  auto driver = WhenModal<TKivSedPrinterSetupDlg>([](TKivSedPrinterSetupDlg& AWin) {
    ASSERT_GE(AWin.cbxPaper->findData(int(QPageSize::Letter)), 0);
    AWin.cbxPaper->setCurrentIndex(AWin.cbxPaper->findData(int(QPageSize::Letter)));
    QTest::mouseClick(AWin.rbLandscape, Qt::LeftButton);
    QTest::mouseClick(AWin.btnOk, Qt::LeftButton);
  });
  EXPECT_TRUE(Printer->ExecPrintSetupDlg());
  EXPECT_TRUE(driver->Done());
  EXPECT_EQ(Printer->Orientation(), poLandscape);
  EXPECT_NEAR(Printer->PageWidthFullUnits(), 279.4, 0.05);
  EXPECT_NEAR(Printer->PageHeightFullUnits(), 215.9, 0.05);
  // The margins are still valid on the new sheet.
  const TKivDoubleRect m = Printer->Margins().MarginRect();
  const TKivDoubleRect min = Printer->MinMarginsUnits();
  EXPECT_GE(m.Left, min.Left);
  EXPECT_GE(m.Top, min.Top);
  EXPECT_GE(m.Right, min.Right);
  EXPECT_GE(m.Bottom, min.Bottom);
  EXPECT_GT(Printer->PageWidthPrintableUnits(), 0);
  EXPECT_GT(Printer->PageHeightPrintableUnits(), 0);
  EXPECT_NO_THROW(Printer->Margins().SetMarginRect(m));
}

// ---- end to end ----

TEST_F(PrintFixture, PageSetupThenPrint) {
  auto driver = WhenModal<TKivSedPageSetupDlg>([](TKivSedPageSetupDlg& AWin) {
    auto editor = WhenModal<TKivTemplateEditDialog>([](TKivTemplateEditDialog& AEd) {
      AEd.reMain->selectAll();
      QTest::keyClicks(AEd.reMain, "Page ");
      AEd.mnuFields->actions()[0]->trigger();
      QTest::mouseClick(AEd.btnOk, Qt::LeftButton);
    });
    QTest::mouseClick(AWin.btnHeader, Qt::LeftButton);
    EXPECT_TRUE(editor->Done());
    AWin.edtLeft->selectAll();
    QTest::keyClicks(AWin.edtLeft, "30");
    QTest::mouseClick(AWin.btnOk, Qt::LeftButton);
  });
  ASSERT_TRUE(Printer->ExecPageSetupDlg());
  EXPECT_TRUE(driver->Done());
  EXPECT_EQ(Printer->Margins().Left(), 30);
  EXPECT_EQ(Printer->Header().Template(), std::vector<TKivString>{u"Page [Page]"});

  const QString file = Path("e2e.pdf");
  SetOutput(file);
  FakeRenderer renderer(40, 100);
  Printer->PreparePages(renderer);
  Printer->PrintPages(orAll, 0, Printer->GetPagesCount(orAll));
  Printer->FinalizePages();
  EXPECT_NE(Poppler("pdftotext", "-f 1 -l 1 " + Quote(file) + " -").find("Page 1"), std::string::npos);
  // At 72 dpi 30 mm is 85.0 pixels: the first ink is there.
  const std::string prefix = Path("p").toStdString();
  Poppler("pdftoppm", "-f 1 -l 1 -r 72 -gray -singlefile " + Quote(file) + " '" + prefix + "'");
  const int first = FirstInkColumn(prefix + ".pgm");
  EXPECT_GE(first, 84);
  EXPECT_LE(first, 90);
}
