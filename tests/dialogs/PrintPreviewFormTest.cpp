// The preview's toolbar, status bar, form, dialog, multi-page picker and icons, driven with QTest
// on the offscreen platform; every question and chooser is answered by scripted services.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "KivPrintPreviewDlg.h"
#include "KivPrintResModule.h"
#include "KivQtPrint.h"
#include "PreviewTestKit.h"
#include "PrintFakes.h"

namespace {

struct FormFixture : ::testing::Test {
  FakeLocale Locale;
  ScriptedUi Ui;
  std::unique_ptr<TKivPrinter> Printer;
  std::unique_ptr<NumberRenderer> Renderer;
  std::unique_ptr<TKivPrintPreviewForm> Form;

  void Open(Integer APages) {
    Printer = std::make_unique<TKivPrinter>(TKivQtPrintDevice::CreatePdf(), &Locale);
    Renderer = std::make_unique<NumberRenderer>(APages);
    Printer->PreparePages(*Renderer);
    Form = std::make_unique<TKivPrintPreviewForm>();
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    Panel().SetPrinterHelper(&Printer->PrinterHelper());
  }
  void TearDown() override {
    if (Form) Panel().SetPrinterHelper(nullptr);
    Form.reset();
    if (Printer && Printer->PagesPrepared()) Printer->FinalizePages();
  }
  TKivPrintPreviewPanel& Panel() { return *Form->PreviewPanel(); }
  TKivPrintToolBar& Bar() { return *Form->ToolBar(); }
  QToolButton* Button(TKivPrintToolBarItem AItem) { return Bar().GetButton(AItem); }
  void Click(TKivPrintToolBarItem AItem) {
    QToolButton* button = Button(AItem);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  QString Status(TKivPrintStatusPanel AKind) { return Form->StatusBar()->PanelText(AKind); }
  void TypeScale(const QString& AText) {
    QLineEdit* edit = Bar().ScaleCombo()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, AText);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  QString ComboText() { return Bar().ScaleCombo()->currentText(); }
};

std::vector<QString> Hints(const TKivPrintToolBar& ABar) {
  std::vector<QString> out;
  for (QWidget* w : ABar.Controls()) out.push_back(w->objectName() == "separator" ? "|" : w->toolTip());
  return out;
}

// How many pages a PDF file has, from its page objects.
int PdfPages(const QString& AFile) {
  QFile file(AFile);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray data = file.readAll();
  if (!data.startsWith("%PDF-")) return -1;
  int pages = 0;
  for (qsizetype at = data.indexOf("/Type /Page"); at >= 0; at = data.indexOf("/Type /Page", at + 1))
    if (at + 11 >= data.size() || data[at + 11] != 's') ++pages;
  return pages;
}

}  // namespace

TEST(PrintToolBar, OrderHintsAndSeparators) {
  TKivPrintToolBar bar;
  // By default every item but Text width.
  EXPECT_EQ(bar.DisplayItems(), kivAllPrintToolBarItems & ~KivPrintToolBarItem(tbZoomTextWidth));
  bar.SetDisplayItems(kivAllPrintToolBarItems);
  const std::vector<QString> all{"Print",         "Print setup",   "Page settings",  "Save page",  "|",
                                 "Scale to 100%", "Text width",    "Whole Page",     "Two pages",  "Multiple pages",
                                 "|",             "Zoom out",      "Scale",          "Zoom in",    "|",
                                 "To first page", "To prev page",  "Page number",    "To next page", "To last page",
                                 "|",             "Close"};
  EXPECT_EQ(Hints(bar), all);
  struct Case {
    TKivPrintToolBarItems Items;
    std::vector<QString> Hints;
  };
  const Case cases[] = {
      {KivPrintToolBarItem(tbPrint) | KivPrintToolBarItem(tbClose), {"Print", "|", "Close"}},
      {KivPrintToolBarItem(tbPageSpin) | KivPrintToolBarItem(tbPageNext), {"Page number", "To next page"}},
      {KivPrintToolBarItem(tbSave) | KivPrintToolBarItem(tbScaleCombo) | KivPrintToolBarItem(tbPageLast),
       {"Save page", "|", "Scale", "|", "To last page"}},
      {0, {}},
  };
  for (const Case& c : cases) {
    bar.SetDisplayItems(c.Items);
    EXPECT_EQ(Hints(bar), c.Hints);
  }
  EXPECT_EQ(bar.GetButton(tbPrint), nullptr);
  EXPECT_EQ(bar.GetButton(99), nullptr);
  EXPECT_EQ(bar.height(), 32);
}

TEST_F(FormFixture, TheFormHoldsTheThreeParts) {
  Open(3);
  EXPECT_EQ(Form->windowTitle(), "Print Preview");
  EXPECT_EQ(Form->size(), QSize(662, 473));
  EXPECT_EQ(Bar().DisplayItems(), kivAllPrintToolBarItems);
  EXPECT_EQ(Panel().Mode(), pmExactScale);
  EXPECT_EQ(Panel().Scale(), 100);
  EXPECT_LT(Bar().geometry().bottom(), Panel().geometry().top());
  EXPECT_LT(Panel().geometry().bottom(), Form->StatusBar()->geometry().top());
  EXPECT_EQ(Form->StatusBar()->Panels().size(), 4u);
}

TEST_F(FormFixture, OnePageDisablesPaging) {
  Open(1);
  for (auto item : {tbPageFirst, tbPagePrev, tbPageNext, tbPageLast}) EXPECT_FALSE(Button(item)->isEnabled()) << item;
  EXPECT_FALSE(Bar().PageSpin()->isEnabled());
  EXPECT_TRUE(Button(tbPrint)->isEnabled());
  EXPECT_TRUE(Button(tbClose)->isEnabled());
}

TEST_F(FormFixture, PagingFollowsThePage) {
  Open(3);
  EXPECT_FALSE(Button(tbPageFirst)->isEnabled());
  EXPECT_FALSE(Button(tbPagePrev)->isEnabled());
  EXPECT_TRUE(Button(tbPageNext)->isEnabled());
  EXPECT_TRUE(Button(tbPageLast)->isEnabled());
  QSpinBox* spin = Bar().PageSpin();
  EXPECT_TRUE(spin->isEnabled());
  EXPECT_EQ(spin->minimum(), 1);
  EXPECT_EQ(spin->maximum(), 3);
  EXPECT_EQ(spin->value(), 1);
  Click(tbPageNext);
  EXPECT_EQ(Panel().CurrentPage(), 1);
  EXPECT_EQ(spin->value(), 2);
  EXPECT_TRUE(Button(tbPagePrev)->isEnabled());
  Click(tbPageLast);
  EXPECT_EQ(Panel().CurrentPage(), 2);
  EXPECT_FALSE(Button(tbPageNext)->isEnabled());
  Click(tbPagePrev);
  EXPECT_EQ(Panel().CurrentPage(), 1);
  Click(tbPageFirst);
  EXPECT_EQ(Panel().CurrentPage(), 0);
  // The spin turns pages.
  spin->setValue(3);
  EXPECT_EQ(Panel().CurrentPage(), 2);
  EXPECT_EQ(Status(pspPage), "Page 3 of 3");
  // Without a printer nothing acts.
  Panel().SetPrinterHelper(nullptr);
  EXPECT_FALSE(Button(tbPrint)->isEnabled());
  EXPECT_FALSE(Button(tbZoomIn)->isEnabled());
  EXPECT_FALSE(spin->isEnabled());
}

TEST_F(FormFixture, ScaleComboTakesNumbersAndCommands) {
  Open(3);
  EXPECT_EQ(ComboText(), "100%");
  TypeScale("75%");
  EXPECT_EQ(Panel().Mode(), pmExactScale);
  EXPECT_EQ(Panel().Scale(), 75);
  EXPECT_EQ(ComboText(), "75%");
  TypeScale("abc");
  EXPECT_EQ(ComboText(), "75%");
  EXPECT_EQ(Panel().Scale(), 75);
  TypeScale("Two pages");
  EXPECT_EQ(Panel().Mode(), pmTwoPages);
  EXPECT_EQ(ComboText(), "Two pages");
  TypeScale("0");
  EXPECT_EQ(ComboText(), "Two pages");
  EXPECT_EQ(Panel().Mode(), pmTwoPages);
  TypeScale("80");
  EXPECT_EQ(Panel().Mode(), pmExactScale);
  EXPECT_EQ(Panel().Scale(), 80);
  EXPECT_EQ(ComboText(), "80%");
  // Choosing entries.
  QComboBox* combo = Bar().ScaleCombo();
  combo->activated(combo->findText("Whole Page"));
  EXPECT_EQ(Panel().Mode(), pmWholePage);
  combo->activated(combo->findText("200%"));
  EXPECT_EQ(Panel().Mode(), pmExactScale);
  EXPECT_EQ(Panel().Scale(), 200);
  // The zoom buttons follow the scale.
  EXPECT_TRUE(Button(tbZoomIn)->isEnabled());
  combo->activated(combo->findText("500%"));
  EXPECT_FALSE(Button(tbZoomIn)->isEnabled());
  combo->activated(combo->findText("10%"));
  EXPECT_FALSE(Button(tbZoomOut)->isEnabled());
  EXPECT_TRUE(Button(tbZoomIn)->isEnabled());
  Click(tbTwoPages);
  EXPECT_FALSE(Button(tbZoomIn)->isEnabled());
  EXPECT_FALSE(Button(tbZoomOut)->isEnabled());
}

TEST_F(FormFixture, ModeButtonsAndZoomFromAFittedScale) {
  Open(3);
  Click(tbWholePage);
  EXPECT_EQ(Panel().Mode(), pmWholePage);
  const Integer fitted = Panel().RealScale();
  Click(tbZoomIn);
  EXPECT_EQ(Panel().Mode(), pmExactScale);
  Integer expected = 500;
  for (const Integer step : TKivPrintPreviewPanel::ZoomSteps())
    if (step > fitted) expected = step;
  EXPECT_EQ(Panel().Scale(), expected);
  Click(tbZoomTextWidth);
  EXPECT_EQ(Panel().Mode(), pmTextWidth);
  Click(tbZoom100);
  EXPECT_EQ(Panel().Mode(), pmExactScale);
  EXPECT_EQ(Panel().Scale(), 100);
  // A tiny window: the fitted scale is still a scale.
  Click(tbWholePage);
  Panel().resize(30, 30);
  EXPECT_GE(Panel().RealScale(), 1);
  Click(tbZoomIn);
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_GE(Panel().Scale(), 10);
}

TEST_F(FormFixture, StatusBarTexts) {
  Open(3);
  EXPECT_EQ(Status(pspPage), "Page 1 of 3");
  EXPECT_EQ(Status(pspScale), "Scale: 100");
  EXPECT_EQ(Status(pspPageSize), "210 mm x 297 mm");
  EXPECT_EQ(Status(pspOrientation), "Portrait");
  Printer->SetUnits(unInches);
  EXPECT_EQ(Status(pspPageSize), "8.27 x 11.69");
  Printer->SetUnits(unMillimeters);
  TKivPrinterSettings s = Printer->GetPrinter();
  s.Orientation = poLandscape;
  Printer->SetPrinter(s);
  EXPECT_EQ(Status(pspPageSize), "210 mm x 297 mm");
  EXPECT_EQ(Status(pspOrientation), "Landscape");
  // Resizing in pmWholePage shows the new scale.
  Click(tbWholePage);
  const QString before = Status(pspScale);
  Form->resize(900, 700);
  QTest::qWait(0);
  EXPECT_NE(Status(pspScale), before);
  EXPECT_EQ(Status(pspScale), QString("Scale: %1").arg(Panel().RealScale()));
  // Without a printer the size and orientation are empty.
  Panel().SetPrinterHelper(nullptr);
  EXPECT_EQ(Status(pspPageSize), "");
  EXPECT_EQ(Status(pspOrientation), "");
  // Fewer panels, the last one stretched.
  Form->StatusBar()->SetInfoPanels(KivPrintStatusPanel(pspScale) | KivPrintStatusPanel(pspOrientation));
  ASSERT_EQ(Form->StatusBar()->Panels().size(), 2u);
  EXPECT_EQ(Form->StatusBar()->Panels()[0]->property("kivKind").toInt(), int(pspScale));
  EXPECT_EQ(Status(pspPage), "");
}

TEST_F(FormFixture, SavePageAsksBeforeOverwriting) {
  Open(3);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString name = dir.filePath("page.pdf");
  {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("old");
  }
  Panel().SetCurrentPage(1);
  Ui.SaveName = name;
  Ui.Answers = {TKivUiButton::No};
  Click(tbSave);
  ASSERT_EQ(Ui.Questions.size(), 1u);
  EXPECT_EQ(Ui.Questions[0], "File " + name + " already exists. Overwrite?");
  EXPECT_EQ(Ui.SaveAsked.at(0), "Save page|PDF files (*.pdf)|pdf");
  EXPECT_EQ(PdfPages(name), -1);  // still the old file
  Ui.Answers = {TKivUiButton::Yes};
  Renderer->Drawn.clear();
  Click(tbSave);
  EXPECT_EQ(PdfPages(name), 1);
  EXPECT_EQ(Renderer->Drawn, (std::vector<Integer>{1}));
  // A new file is written without a question; a name without extension gets ".pdf".
  Ui.SaveName = dir.filePath("other");
  Click(tbSave);
  EXPECT_EQ(Ui.Questions.size(), 2u);
  EXPECT_EQ(PdfPages(dir.filePath("other.pdf")), 1);
  // A cancelled chooser writes nothing.
  Ui.SaveName.clear();
  Click(tbSave);
  EXPECT_TRUE(Ui.Errors.empty());
  // A file that cannot be written is an error box, and the preview goes on.
  Ui.SaveName = dir.filePath("no/such/folder/page.pdf");
  Click(tbSave);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_TRUE(Ui.Errors[0].startsWith("Cannot create the file")) << Ui.Errors[0].toStdString();
  EXPECT_EQ(Panel().CurrentPage(), 1);
}

TEST_F(FormFixture, PrinterDialogsGoThroughThePrinter) {
  Open(3);
  IKivPrintDialogs* old = KivPrintDialogs();
  KivSetPrintDialogs(nullptr);
  Click(tbPrint);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], "Print dialogs are not available");
  FakeDialogs fake;
  TKivPreviewPrintDialogs& registered = KivQtPreviewRegister();
  EXPECT_EQ(KivPrintDialogs(), &registered);
  registered.Next = &fake;
  Panel().SetMode(pmTwoPages);
  Panel().SetCurrentPage(1);
  Click(tbPageSettings);  // the fake confirms margins of 30 mm
  EXPECT_EQ(Printer->Margins().MarginRect(), fake.NewMargins);
  EXPECT_EQ(Panel().Mode(), pmExactScale);
  EXPECT_EQ(Panel().CurrentPage(), 0);
  QTemporaryDir dir;
  TKivPrinterSettings settings = Printer->GetPrinter();
  settings.OutputFile = dir.filePath("all.pdf").toStdU16String();
  Printer->SetPrinter(settings);
  Click(tbPrint);  // the fake confirms all pages
  EXPECT_EQ(fake.ShownPagesCount, 3);
  EXPECT_EQ(PdfPages(dir.filePath("all.pdf")), 3);
  fake.NewSettings = Printer->GetPrinter();
  Click(tbPrintSetup);
  registered.Next = nullptr;
  KivSetPrintDialogs(old);
  EXPECT_EQ(Ui.Errors.size(), 1u) << Ui.Errors.back().toStdString();
}

TEST_F(FormFixture, MultiPagePicker) {
  Open(6);
  QPoint cell;
  WhenModal([&](QWidget* AWindow) {
    auto* picker = dynamic_cast<TKivPrintPreviewModeDialog*>(AWindow);
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->size(), QSize(3 * 18 + 4 * 4, 2 * 18 + 3 * 4));
    cell = picker->CellRect(1, 1).center();
    QTest::mouseMove(picker, cell);
    QTest::mouseClick(picker, Qt::LeftButton, Qt::NoModifier, cell);
  });
  Click(tbMultiPages);
  EXPECT_EQ(Panel().Mode(), pmExactMultiPages);
  EXPECT_EQ(Panel().HorzPages(), 2);
  EXPECT_EQ(Panel().VertPages(), 2);
  EXPECT_EQ(Panel().PageRects().size(), 4u);
  // Escape cancels.
  WhenModal([](QWidget* AWindow) { QTest::keyClick(AWindow, Qt::Key_Escape); });
  Click(tbMultiPages);
  EXPECT_EQ(Panel().HorzPages(), 2);
}

TEST(PrintPreviewModeDialog, HighlightFollowsThePointer) {
  TKivPrintPreviewModeDialog picker;
  picker.show();
  struct Case {
    QPoint At;
    int Cols, Rows;
  };
  const Case cases[] = {{{2, 2}, 0, 0},
                        {picker.CellRect(0, 0).center(), 1, 1},
                        {picker.CellRect(2, 0).center(), 3, 1},
                        {picker.CellRect(2, 1).bottomRight(), 3, 2},
                        {picker.CellRect(0, 1).topLeft() + QPoint(1, 1), 1, 2}};
  for (const Case& c : cases) {
    QMouseEvent move(QEvent::MouseMove, c.At, picker.mapToGlobal(c.At), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&picker, &move);
    EXPECT_EQ(picker.ColCount(), c.Cols) << c.At.x() << "," << c.At.y();
    EXPECT_EQ(picker.RowCount(), c.Rows) << c.At.x() << "," << c.At.y();
  }
}

TEST_F(FormFixture, EscapeClosesWithOkAndCloseCancels) {
  Printer = std::make_unique<TKivPrinter>(TKivQtPrintDevice::CreatePdf(), &Locale);
  Renderer = std::make_unique<NumberRenderer>(4);
  TKivPrintPreviewDialog dialog;
  EXPECT_EQ(ErrorOf([&] { dialog.Execute(); }), "Printer property should be assigned for this operation");
  dialog.SetPrinter(Printer.get());
  EXPECT_EQ(ErrorOf([&] { dialog.Execute(); }), "You should call PreparePages before this method");
  Printer->PreparePages(*Renderer);
  Integer shownPages = -1;
  WhenModal([&](QWidget* AWindow) {
    ASSERT_EQ(AWindow, dialog.GetDialogForm());
    shownPages = dialog.GetDialogForm()->PreviewPanel()->TotalPages();
    // Escape reaches the form from whichever control has the focus.
    QTest::keyClick(dialog.GetDialogForm()->ToolBar()->ScaleCombo()->lineEdit(), Qt::Key_Escape);
  });
  EXPECT_TRUE(dialog.Execute());
  EXPECT_EQ(shownPages, 4);
  EXPECT_EQ(dialog.GetDialogForm(), nullptr);
  WhenModal([&](QWidget*) { QTest::mouseClick(dialog.GetDialogForm()->ToolBar()->GetButton(tbClose), Qt::LeftButton); });
  EXPECT_FALSE(dialog.ShowModal());
  // The printer's own entry opens the same form through the registered dialog layer.
  bool opened = false;
  WhenModal([&](QWidget* AWindow) {
    auto* form = dynamic_cast<TKivPrintPreviewForm*>(AWindow);
    ASSERT_NE(form, nullptr);
    opened = form->PreviewPanel()->TotalPages() == 4;
    QTest::keyClick(form->PreviewPanel()->PaintPanel(), Qt::Key_Escape);
  });
  Printer->ExecPreviewDlg();
  EXPECT_TRUE(opened);
  // No listener is left behind: a change of the printer after the preview is harmless.
  Printer->Margins().SetLeft(30);
}

TEST(PrintResDataModule, ImagesOfEverySize) {
  QList<QImage> images;
  TKivPrintResDataModule::GetToolbarImages(18, images);
  ASSERT_EQ(images.size(), 16);
  for (const QImage& image : images) {
    EXPECT_EQ(image.size(), QSize(18, 18));
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
  }
  // Each icon has ink, and no two are alike.
  for (int i = 0; i < images.size(); ++i) {
    int opaque = 0;
    for (int y = 0; y < 18; ++y)
      for (int x = 0; x < 18; ++x) opaque += qAlpha(images[i].pixel(x, y)) > 128;
    EXPECT_GT(opaque, 20) << TKivPrintResDataModule::ImageNames()[i].toStdString();
    for (int j = 0; j < i; ++j) EXPECT_NE(images[i], images[j]) << i << " " << j;
  }
  const QString plus = "KIV_PRINT_PLUS";
  struct Case {
    int Size;
    const char* From;
  };
  for (const Case c : {Case{30, "_27"}, Case{40, "_36"}, Case{26, "_18"}, Case{12, "_18"}}) {
    const QImage expected = TKivPrintResDataModule::NamedImage(plus + c.From)
                                .scaled(c.Size, c.Size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(TKivPrintResDataModule::Image(plus, c.Size), expected) << c.Size;
  }
  for (const int size : {18, 27, 36})
    EXPECT_EQ(TKivPrintResDataModule::Image(plus, size),
              TKivPrintResDataModule::NamedImage(plus + "_" + QString::number(size)));
  TKivPrintResDataModule::GetToolbarImages(40, images);
  EXPECT_EQ(images.size(), 16);
  EXPECT_EQ(images[0].size(), QSize(40, 40));
  EXPECT_EQ(TKivPrintResDataModule::GetModeBitmap(27), TKivPrintResDataModule::NamedImage("KIV_PRINT_ZOOM100_27"));
  EXPECT_TRUE(TKivPrintResDataModule::NamedImage("KIV_PRINT_PLUS_20").isNull());
  EXPECT_TRUE(TKivPrintResDataModule::NamedImage("NOPE_18").isNull());
  EXPECT_TRUE(TKivPrintResDataModule::Image(plus, 0).isNull());
}

TEST(PrintPreviewPixels, AWhitePageWithItsNumberOnThePanelColour) {
  FakeLocale locale;
  TKivPrinter printer(TKivQtPrintDevice::CreatePdf(), &locale);
  NumberRenderer renderer(2);
  printer.PreparePages(renderer);
  {
    TKivPrintPreviewPanel panel;
    panel.SetColor(QColor(40, 90, 160));
    panel.resize(900, 1250);  // the whole page at 100 %, no scroll bars
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    panel.SetPrinterHelper(&printer.PrinterHelper());
    panel.SetCurrentPage(1);
    const QImage shot = panel.PaintPanel()->grab().toImage();
    ASSERT_EQ(panel.PageRects().size(), 1u);
    const QRect page = panel.PageRects()[0];
    EXPECT_EQ(page.size(), QSize(794, 1123));
    EXPECT_FALSE(panel.VertScrollBar()->isVisible());
    auto at = [&](int AX, int AY) { return shot.pixelColor(page.left() + AX, page.top() + AY); };
    // The panel's colour around the page.
    EXPECT_EQ(shot.pixelColor(page.left() - 5, page.top() + 100), QColor(40, 90, 160));
    EXPECT_EQ(shot.pixelColor(page.right() + 5, page.bottom() - 5), QColor(40, 90, 160));
    // White paper, with ink where the page drew "Page 2": at the content's corner (the 20 mm
    // margin is 76 pixels at 96 dpi), about one 10 pt line high.
    EXPECT_EQ(at(5, 5), QColor(Qt::white));
    EXPECT_EQ(at(400, 600), QColor(Qt::white));
    int ink = 0, strayInk = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 200; ++x) {
        if (at(x, y).lightness() >= 128) continue;
        if (x >= 70 && x < 150 && y >= 70 && y < 100) {
          ++ink;
        } else {
          ++strayInk;
        }
      }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(strayInk, 0);
    EXPECT_EQ(renderer.Drawn, (std::vector<Integer>{1}));
    panel.SetPrinterHelper(nullptr);
  }
  printer.FinalizePages();
}
