// The page setup component and its "Page settings" window on the offscreen platform: margins in
// dialog units and back, rounding without creep, cancel, bad margins, the header and footer
// buttons, the page sample's events, the printer's minimum margins, and the printer's own
// ExecPageSetupDlg through the registered dialogs.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>

#include "DialogTestSupport.h"
#include "KivQtPrint.h"
#include "KivSedPrintDialogs.h"
#include "PrintFakes.h"

namespace {

QString Shown(double AValue, int ADecimals) {
  return QLocale().toString(AValue, 'f', ADecimals);
}

// Replaces the text of a spin box as the user would.
void TypeInto(QDoubleSpinBox* ABox, const QString& AText) {
  ABox->setFocus();
  ABox->selectAll();
  QTest::keyClick(ABox, Qt::Key_Delete);
  QTest::keyClicks(ABox, AText);
}

struct PageSetupFixture : ::testing::Test {
  FakeLocale Locale;
  TScriptedUiServices Ui;
  std::unique_ptr<TKivPrinter> Printer;
  TKivPrintPageSetupDialog Dlg;
  void SetUp() override {
    Printer = std::make_unique<TKivPrinter>(TKivQtPrintDevice::CreatePdf(), &Locale);
    Dlg.SetPrinter(Printer.get());
  }
  // Runs Execute with AScript on the window; the script must close it.
  bool Run(std::function<void(TKivSedPageSetupDlg&)> AScript) {
    auto driver = WhenModal<TKivSedPageSetupDlg>(std::move(AScript));
    const bool ok = Dlg.Execute();
    EXPECT_TRUE(driver->Done());
    return ok;
  }
  static void ClickOk(TKivSedPageSetupDlg& AWin) { QTest::mouseClick(AWin.btnOk, Qt::LeftButton); }
};

}  // namespace

TEST(PageSetupMargins, DialogUnitsRoundUpWithoutCreep) {
  struct TCase {
    double Value;
    TKivMeasureUnits Units;
    Integer Dialog;
  };
  const TCase cases[] = {{20, unMillimeters, 2000}, {12.341, unMillimeters, 1235}, {20.1, unMillimeters, 2010},
                         {1.1, unMillimeters, 110},  {0.79, unInches, 790},         {0.7901, unInches, 791},
                         {0, unMillimeters, 0},      {33.3, unMillimeters, 3330}};
  for (const TCase& c : cases) {
    EXPECT_EQ(KivMarginToDialog(c.Value, c.Units), c.Dialog) << c.Value;
    // What comes back goes in again unchanged.
    const double back = KivMarginFromDialog(c.Dialog, c.Units);
    EXPECT_EQ(KivMarginToDialog(back, c.Units), c.Dialog) << c.Value;
  }
}

TEST_F(PageSetupFixture, ShowsMillimetresAndTypedValuesComeBack) {
  Dlg.SetMargins({20, 20, 20, 20});
  const bool ok = Run([](TKivSedPageSetupDlg& AWin) {
    EXPECT_EQ(AWin.windowTitle(), "Page settings");
    EXPECT_EQ(AWin.edtLeft->text(), Shown(20, 2));
    EXPECT_EQ(AWin.edtBottom->text(), Shown(20, 2));
    TypeInto(AWin.edtLeft, "31");
    TypeInto(AWin.edtTop, "22.5");
    TypeInto(AWin.edtRight, "25");
    TypeInto(AWin.edtBottom, "40");
    ClickOk(AWin);
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(Dlg.Margins(), (TKivDoubleRect{31, 22.5, 25, 40}));
}

TEST_F(PageSetupFixture, ShowsInchesWithThreeDecimals) {
  Printer->SetUnits(unInches);
  Dlg.SetPrinter(Printer.get());
  Dlg.SetMargins({0.79, 0.79, 0.79, 0.79});
  EXPECT_TRUE(Run([](TKivSedPageSetupDlg& AWin) {
    EXPECT_EQ(AWin.edtLeft->text(), Shown(0.79, 3));
    TypeInto(AWin.edtRight, "1.125");
    ClickOk(AWin);
  }));
  EXPECT_DOUBLE_EQ(Dlg.Margins().Left, 0.79);
  EXPECT_DOUBLE_EQ(Dlg.Margins().Right, 1.125);
}

TEST_F(PageSetupFixture, RoundsUpOnceAndDoesNotCreep) {
  // The top's minimum is 10 mm, the left's 20 mm.
  Dlg.SetMargins({20.1, 12.341, 20.1, 20.1});
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Run([](TKivSedPageSetupDlg& AWin) {
      EXPECT_EQ(AWin.edtTop->text(), Shown(12.35, 2));
      EXPECT_EQ(AWin.edtLeft->text(), Shown(20.1, 2));
      ClickOk(AWin);
    }));
    EXPECT_DOUBLE_EQ(Dlg.Margins().Top, 12.35);
    EXPECT_DOUBLE_EQ(Dlg.Margins().Left, 20.1);
    EXPECT_DOUBLE_EQ(Dlg.Margins().Bottom, 20.1);
  }
}

TEST_F(PageSetupFixture, CancelChangesNothing) {
  Dlg.SetMargins({25, 25, 25, 25});
  const TKivPrinterSettings before = Printer->GetPrinter();
  EXPECT_FALSE(Run([](TKivSedPageSetupDlg& AWin) {
    TypeInto(AWin.edtLeft, "40");
    AWin.rbLandscape->setChecked(true);
    ASSERT_GE(AWin.cbxSize->findData(int(QPageSize::Letter)), 0);
    AWin.cbxSize->setCurrentIndex(AWin.cbxSize->findData(int(QPageSize::Letter)));
    QTest::mouseClick(AWin.btnCancel, Qt::LeftButton);
  }));
  EXPECT_EQ(Dlg.Margins(), (TKivDoubleRect{25, 25, 25, 25}));
  EXPECT_TRUE(Printer->GetPrinter() == before);
}

TEST_F(PageSetupFixture, BadMarginsShowTheErrorAndTheWindowStaysOpen) {
  Dlg.SetMargins({20, 20, 20, 20});
  bool stayed = false;
  EXPECT_FALSE(Run([&](TKivSedPageSetupDlg& AWin) {
    TypeInto(AWin.edtLeft, "200");
    ClickOk(AWin);
    stayed = AWin.isVisible();
    QTest::mouseClick(AWin.btnCancel, Qt::LeftButton);
  }));
  EXPECT_TRUE(stayed);
  EXPECT_EQ(Ui.Texts(TUiCall::Error), std::vector<QString>{"Bad margins rectangle given"});
  EXPECT_EQ(Dlg.Margins(), (TKivDoubleRect{20, 20, 20, 20}));
}

TEST_F(PageSetupFixture, OrientationAndPaperGoToThePrinterOnOk) {
  EXPECT_TRUE(Run([](TKivSedPageSetupDlg& AWin) {
    ASSERT_GE(AWin.cbxSize->findData(int(QPageSize::Letter)), 0);
    AWin.cbxSize->setCurrentIndex(AWin.cbxSize->findData(int(QPageSize::Letter)));
    QTest::mouseClick(AWin.rbLandscape, Qt::LeftButton);
    ClickOk(AWin);
  }));
  EXPECT_EQ(Printer->Orientation(), poLandscape);
  EXPECT_NEAR(Printer->PageWidthFullUnits(), 279.4, 0.05);
  EXPECT_NEAR(Printer->PageHeightFullUnits(), 215.9, 0.05);
}

TEST_F(PageSetupFixture, HeaderAndFooterButtons) {
  Dlg.SetOptions(KivPso(psoDisableHeaderFooter));
  EXPECT_FALSE(Run([](TKivSedPageSetupDlg& AWin) {
    EXPECT_EQ(AWin.btnHeader, nullptr);
    EXPECT_EQ(AWin.btnFooter, nullptr);
    for (QPushButton* b : AWin.findChildren<QPushButton*>()) {
      EXPECT_NE(b->text(), "&Header");
      EXPECT_NE(b->text(), "Foo&ter");
    }
    AWin.reject();
  }));

  Dlg.SetOptions(0);
  QStringList titles;
  EXPECT_FALSE(Run([&](TKivSedPageSetupDlg& AWin) {
    ASSERT_NE(AWin.btnHeader, nullptr);
    EXPECT_EQ(AWin.btnHeader->text(), "&Header");
    EXPECT_EQ(AWin.btnFooter->text(), "Foo&ter");
    for (QPushButton* button : {AWin.btnHeader, AWin.btnFooter}) {
      auto editor = WhenModal<TKivTemplateEditDialog>([&](TKivTemplateEditDialog& AEd) {
        titles << AEd.windowTitle();
        AEd.reject();
      });
      QTest::mouseClick(button, Qt::LeftButton);
      EXPECT_TRUE(editor->Done());
    }
    AWin.reject();
  }));
  EXPECT_EQ(titles, (QStringList{"Edit page header", "Edit page footer"}));
}

TEST(PageSetupPrinter, MarginsRiseToTheNewPrintersMinimum) {
  FakeLocale locale;
  TKivPrinter pdf(TKivQtPrintDevice::CreatePdf(), &locale);
  // A4 at 300 dpi with 25 mm unprintable on every side.
  auto dev = std::make_unique<FakeDevice>(300, 300, TKivRect{0, 0, 2480, 3508}, TKivRect{295, 295, 2185, 3213});
  dev->SetMillimeters(210, 297, {25, 25, 25, 25});
  TKivPrinter wide(std::move(dev), &locale);
  TKivPrintPageSetupDialog dlg;
  dlg.SetPrinter(&pdf);
  dlg.SetMargins({20, 20, 30, 20});
  dlg.SetPrinter(&wide);
  EXPECT_EQ(dlg.Margins(), (TKivDoubleRect{25, 25, 30, 25}));
  // Setting margins below the minimum raises them as well.
  dlg.SetMargins({20, 26, 20, 20});
  EXPECT_EQ(dlg.Margins(), (TKivDoubleRect{25, 26, 25, 25}));
  EXPECT_EQ(PrintErrorOf([&] { dlg.SetMargins({200, 20, 20, 20}); }), "Bad margins rectangle given");
  EXPECT_EQ(dlg.Margins(), (TKivDoubleRect{25, 26, 25, 25}));
}

TEST(PageSetupErrors, PrinterAndArguments) {
  TKivPrintPageSetupDialog dlg;
  const std::string noPrinter = "Printer property should be assigned for this operation";
  EXPECT_EQ(PrintErrorOf([&] { dlg.Execute(); }), noPrinter);
  EXPECT_EQ(PrintErrorOf([&] { dlg.SetMargins({20, 20, 20, 20}); }), noPrinter);
  EXPECT_EQ(PrintErrorOf([&] { dlg.SetHeaderTemplate(nullptr); }), "Argument can not be nil");
  EXPECT_EQ(PrintErrorOf([&] { dlg.SetFooterTemplate(nullptr); }), "Argument can not be nil");
  TKivPrintDialog print;
  EXPECT_EQ(PrintErrorOf([&] { print.Execute(); }), noPrinter);
  TKivPrinterSetupDialog setup;
  EXPECT_EQ(PrintErrorOf([&] { setup.Execute(); }), noPrinter);
}

TEST_F(PageSetupFixture, ShowAndCloseAreTold) {
  std::vector<std::string> told;
  Dlg.OnShow = [&] { told.push_back("show"); };
  Dlg.OnClose = [&] { told.push_back("close"); };
  EXPECT_FALSE(Run([&](TKivSedPageSetupDlg& AWin) {
    told.push_back("window");
    AWin.reject();
  }));
  EXPECT_EQ(told, (std::vector<std::string>{"show", "window", "close"}));
}

// ---- the page sample ----

TEST_F(PageSetupFixture, SampleEventsAndDoneDrawing) {
  std::vector<std::string> steps;
  QPageSize::PageSizeId paper = QPageSize::Custom;
  TKivPrinterOrientation orientation = poLandscape;
  TKivPageType type = ptEnvelope;
  Dlg.OnBeforePaint = [&](TKivPrintPageSetupDialog&, QPageSize::PageSizeId AId, TKivPrinterOrientation AOr,
                          TKivPageType AType, bool&) {
    paper = AId;
    orientation = AOr;
    type = AType;
    steps.push_back("before");
  };
  bool suppressFull = false;
  QRect fullRect;
  auto record = [&](const char* AName) {
    return [&, AName](TKivPrintPageSetupDialog&, QPainter&, const QRect& ARect, bool& ADone) {
      steps.push_back(AName);
      if (std::string(AName) == "full") {
        fullRect = ARect;
        ADone = suppressFull;
      }
    };
  };
  Dlg.OnDrawFullPage = record("full");
  Dlg.OnDrawMinMargin = record("minmargin");
  Dlg.OnDrawMargin = record("margin");
  Dlg.OnDrawGreekText = record("greek");
  Dlg.OnDrawEnvStamp = record("stamp");
  Dlg.OnDrawRetAddress = record("retaddress");

  TKivSedPageSetupDlg win(Dlg, *Printer, nullptr);
  win.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));
  auto paint = [&] {
    steps.clear();
    return win.pnlSample->grab().toImage();
  };
  QImage drawn = paint();
  EXPECT_EQ(paper, QPageSize::A4);
  EXPECT_EQ(orientation, poPortrait);
  EXPECT_EQ(type, ptPaper);
  EXPECT_EQ(steps, (std::vector<std::string>{"before", "full", "minmargin", "margin", "greek"}));
  ASSERT_FALSE(fullRect.isEmpty());
  // Just inside the sheet's corner, outside every margin: white when drawn.
  const QPoint probe = fullRect.topLeft() + QPoint(2, 2);
  EXPECT_EQ(drawn.pixelColor(probe), QColor(Qt::white));
  suppressFull = true;
  QImage suppressed = paint();
  EXPECT_NE(suppressed.pixelColor(probe), QColor(Qt::white));
  EXPECT_EQ(suppressed.pixelColor(probe), win.pnlSample->palette().window().color());

  win.cbxSize->setCurrentIndex(win.cbxSize->findData(int(QPageSize::EnvelopeDL)));
  QTest::mouseClick(win.rbLandscape, Qt::LeftButton);
  paint();
  EXPECT_EQ(paper, QPageSize::EnvelopeDL);
  EXPECT_EQ(orientation, poLandscape);
  EXPECT_EQ(type, ptEnvelope);
  EXPECT_EQ(steps, (std::vector<std::string>{"before", "full", "minmargin", "margin", "greek", "stamp", "retaddress"}));

  // DoneDrawing in the first step: nothing more is asked.
  Dlg.OnBeforePaint = [&](TKivPrintPageSetupDialog&, QPageSize::PageSizeId, TKivPrinterOrientation, TKivPageType,
                          bool& ADone) {
    steps.push_back("before");
    ADone = true;
  };
  paint();
  EXPECT_EQ(steps, std::vector<std::string>{"before"});
  win.reject();
}

// ---- the printer's page setup through the registered dialogs ----

TEST_F(PageSetupFixture, PrintersPageSetupKeepsTheHeaderWhenCancelled) {
  // The dialogs are registered at start-up.
  ASSERT_EQ(KivPrintDialogs(), &KivQtPrintDialogs());
  Printer->Header().SetTemplate({u"Old header"});
  auto driver = WhenModal<TKivSedPageSetupDlg>([](TKivSedPageSetupDlg& AWin) {
    auto editor = WhenModal<TKivTemplateEditDialog>([](TKivTemplateEditDialog& AEd) {
      AEd.reMain->selectAll();
      QTest::keyClicks(AEd.reMain, "New header");
      QTest::mouseClick(AEd.btnOk, Qt::LeftButton);
    });
    QTest::mouseClick(AWin.btnHeader, Qt::LeftButton);
    EXPECT_TRUE(editor->Done());
    QTest::mouseClick(AWin.btnCancel, Qt::LeftButton);
  });
  EXPECT_FALSE(Printer->ExecPageSetupDlg());
  EXPECT_TRUE(driver->Done());
  EXPECT_EQ(Printer->Header().Template(), std::vector<TKivString>{u"Old header"});

  // Confirmed both times: the new header and margins reach the printer.
  auto again = WhenModal<TKivSedPageSetupDlg>([](TKivSedPageSetupDlg& AWin) {
    auto editor = WhenModal<TKivTemplateEditDialog>([](TKivTemplateEditDialog& AEd) {
      AEd.reMain->selectAll();
      QTest::keyClicks(AEd.reMain, "New header");
      QTest::mouseClick(AEd.btnOk, Qt::LeftButton);
    });
    QTest::mouseClick(AWin.btnHeader, Qt::LeftButton);
    TypeInto(AWin.edtLeft, "30");
    ClickOk(AWin);
  });
  EXPECT_TRUE(Printer->ExecPageSetupDlg());
  EXPECT_TRUE(again->Done());
  EXPECT_EQ(Printer->Header().Template(), std::vector<TKivString>{u"New header"});
  EXPECT_EQ(Printer->Margins().Left(), 30);
}

TEST(PageSetupPlacement, OwnerMainFormOrScreen) {
  QWidget owner;
  auto* child = new QWidget(&owner);
  QWidget parent;
  TKivPrintPageSetupDialog dlg(child);
  EXPECT_EQ(dlg.DlgPosition(), rdpOwner);
  EXPECT_EQ(dlg.PlacementWindow(nullptr), &owner);
  EXPECT_EQ(dlg.PlacementWindow(&parent), &parent);
  dlg.SetDlgPosition(rdpScreen);
  EXPECT_EQ(dlg.PlacementWindow(&parent), nullptr);
  QMainWindow main;
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
  dlg.SetDlgPosition(rdpMainForm);
  EXPECT_EQ(dlg.PlacementWindow(nullptr), &main);
}

// Preview belongs to the print preview, which installs itself as PreviewFn.
TEST(PrintDialogsRegistration, PreviewNeedsItsWindow) {
  FakeLocale locale;
  TKivPrinter printer(TKivQtPrintDevice::CreatePdf(), &locale);
  TKivQtPrintDialogs& dialogs = KivQtPrintDialogs();
  const auto saved = dialogs.PreviewFn;
  dialogs.PreviewFn = nullptr;
  EXPECT_EQ(PrintErrorOf([&] { dialogs.Preview(printer.PrinterHelper()); }), "Print dialogs are not available");
  int previewed = 0;
  dialogs.PreviewFn = [&](TKivPrinterHelper& AHelper) { previewed += &AHelper.GetPrinter() == &printer; };
  dialogs.Preview(printer.PrinterHelper());
  EXPECT_EQ(previewed, 1);
  dialogs.PreviewFn = saved;
}

// "&Printer..." opens "Print setup" on the window's own settings: its choice shows in the window
// and reaches the printer only with the window's OK.
TEST_F(PageSetupFixture, PrinterButtonOpensPrintSetup) {
  for (bool confirm : {false, true}) {
    const bool ok = Run([confirm](TKivSedPageSetupDlg& AWin) {
      EXPECT_EQ(AWin.btnPrinter->text(), "&Printer...");
      auto setup = WhenModal<TKivSedPrinterSetupDlg>([](TKivSedPrinterSetupDlg& ASetup) {
        ASSERT_GE(ASetup.cbxPaper->findData(int(QPageSize::Letter)), 0);
        ASetup.cbxPaper->setCurrentIndex(ASetup.cbxPaper->findData(int(QPageSize::Letter)));
        QTest::mouseClick(ASetup.rbLandscape, Qt::LeftButton);
        QTest::mouseClick(ASetup.btnOk, Qt::LeftButton);
      });
      QTest::mouseClick(AWin.btnPrinter, Qt::LeftButton);
      EXPECT_TRUE(setup->Done());
      EXPECT_EQ(AWin.cbxSize->currentData().toInt(), int(QPageSize::Letter));
      EXPECT_TRUE(AWin.rbLandscape->isChecked());
      if (confirm)
        ClickOk(AWin);
      else
        QTest::mouseClick(AWin.btnCancel, Qt::LeftButton);
    });
    EXPECT_EQ(ok, confirm);
    EXPECT_EQ(Printer->Orientation(), confirm ? poLandscape : poPortrait);
    EXPECT_NEAR(Printer->PageWidthFullUnits(), confirm ? 279.4 : 210, 0.05);
  }
  Dlg.SetOptions(KivPso(psoDisablePrinter));
  EXPECT_FALSE(Run([](TKivSedPageSetupDlg& AWin) {
    EXPECT_FALSE(AWin.btnPrinter->isVisible());
    AWin.reject();
  }));
}
