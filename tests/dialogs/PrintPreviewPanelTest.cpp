// The preview panel: zoom steps, the five modes' layouts, errors, keys, wheel, the printer's
// changes and the page images, on the virtual PDF printer (A4 at 300 dpi) with pages that draw
// their number.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <random>

#include "KivPrintPreview.h"
#include "KivQtPrint.h"
#include "KivTestSeed.h"
#include "PreviewTestKit.h"
#include "PrintFakes.h"

namespace {

struct PanelFixture : ::testing::Test {
  FakeLocale Locale;
  std::unique_ptr<TKivPrinter> Printer;
  std::unique_ptr<NumberRenderer> Renderer;
  std::unique_ptr<TKivPrintPreviewPanel> Panel;

  void Open(Integer APages, QSize ASize = QSize(600, 400)) {
    Printer = std::make_unique<TKivPrinter>(TKivQtPrintDevice::CreatePdf(), &Locale);
    Renderer = std::make_unique<NumberRenderer>(APages);
    Printer->PreparePages(*Renderer);
    Panel = std::make_unique<TKivPrintPreviewPanel>();
    Panel->resize(ASize);
    Panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Panel.get()));
    Panel->SetPrinterHelper(&Printer->PrinterHelper());
  }
  void TearDown() override {
    if (Panel) {
      Panel->OnChange = nullptr;  // it may hold a finished test's locals
      Panel->SetPrinterHelper(nullptr);
    }
    Panel.reset();
    if (Printer && Printer->PagesPrepared()) Printer->FinalizePages();
  }
  void Landscape() {
    TKivPrinterSettings s = Printer->GetPrinter();
    s.Orientation = poLandscape;
    Printer->SetPrinter(s);
  }
  // Paints the drawing control now.
  void PaintNow() { Panel->PaintPanel()->repaint(); }
  QRect Client() const { return Panel->PaintPanel()->rect(); }
};

}  // namespace

TEST(PrintPreviewPanel, ZoomSteps) {
  TKivPrintPreviewPanel panel;
  struct Case {
    Integer From;
    bool In;
    Integer To;
  };
  const Case cases[] = {{100, true, 150}, {150, true, 200}, {60, true, 75}, {500, true, 500}, {700, true, 500},
                        {1, true, 10},    {25, false, 10},  {10, false, 10}, {150, false, 100}, {60, false, 50},
                        {5, false, 10},   {900, false, 500}};
  for (const Case& c : cases) {
    panel.SetScale(c.From);
    panel.Zoom(c.In);
    EXPECT_EQ(panel.Scale(), c.To) << c.From << (c.In ? " in" : " out");
  }
}

TEST(PrintPreviewPanel, WithoutPrinterNothingIsShown) {
  TKivPrintPreviewPanel panel;
  panel.resize(300, 200);
  EXPECT_EQ(panel.TotalPages(), 0);
  EXPECT_TRUE(panel.PageRects().empty());
  EXPECT_EQ(panel.PageWidthMM(), 1);
  panel.SetMode(pmWholePage);
  EXPECT_GE(panel.RealScale(), 1);
  panel.grab();  // paints without a printer
}

TEST_F(PanelFixture, ErrorsLeaveTheStateAsItWas) {
  Open(3);
  Panel->SetCurrentPage(1);
  Panel->SetScale(75);
  Panel->SetMargin(10);
  struct Case {
    std::function<void()> Call;
    const char* Message;
  };
  const Case cases[] = {
      {[&] { Panel->SetCurrentPage(5); }, "Current page should be in bounds: [0..2]. Printer does'nt have such page: 5"},
      {[&] { Panel->SetCurrentPage(-1); },
       "Current page should be in bounds: [0..2]. Printer does'nt have such page: -1"},
      {[&] { Panel->SetScale(0); }, "Scale should be greater than zero"},
      {[&] { Panel->SetScale(-5); }, "Scale should be greater than zero"},
      {[&] { Panel->SetMargin(-1); }, "Margin should be more than zero"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf(c.Call), c.Message);
    EXPECT_EQ(Panel->CurrentPage(), 1);
    EXPECT_EQ(Panel->Scale(), 75);
    EXPECT_EQ(Panel->Margin(), 10);
  }
  // A margin of 0 is allowed.
  Panel->SetMargin(0);
  EXPECT_EQ(Panel->Margin(), 0);
  Panel->SetPrinterHelper(nullptr);
  EXPECT_EQ(ErrorOf([&] { Panel->SetCurrentPage(0); }),
            "PrintHelper property of TKivPrintPreviewPanel should be assigned for this method");
}

TEST_F(PanelFixture, TwoPagesShowsThePagesThatAreLeft) {
  Open(3);
  Panel->SetMode(pmTwoPages);
  EXPECT_EQ(Panel->HorzPages(), 2);
  EXPECT_EQ(Panel->VertPages(), 1);
  EXPECT_EQ(Panel->PageRects().size(), 2u);
  Panel->SetCurrentPage(1);
  EXPECT_EQ(Panel->PageRects().size(), 2u);
  EXPECT_EQ(Panel->PageRectsNumbers(), (std::vector<Integer>{1, 2}));
  Panel->SetCurrentPage(2);
  EXPECT_EQ(Panel->PageRects().size(), 1u);
  EXPECT_EQ(Panel->PageRectsNumbers(), (std::vector<Integer>{2}));
  // Side by side, apart by the margin, both inside the client, no scroll bars.
  Panel->SetCurrentPage(0);
  const QRect a = Panel->PageRects()[0], b = Panel->PageRects()[1];
  EXPECT_EQ(b.left() - a.right() - 1, Panel->Margin());
  EXPECT_EQ(a.top(), b.top());
  EXPECT_TRUE(Client().contains(a) && Client().contains(b));
  EXPECT_FALSE(Panel->HorzScrollBar()->isVisible());
  EXPECT_FALSE(Panel->VertScrollBar()->isVisible());
}

TEST_F(PanelFixture, MultiPagesGridIsCentred) {
  Open(10);
  Panel->SetMultiPages(3, 2, true);
  EXPECT_EQ(Panel->Mode(), pmExactMultiPages);
  ASSERT_EQ(Panel->PageRects().size(), 6u);
  const std::vector<QRect>& r = Panel->PageRects();
  EXPECT_EQ(r[1].left() - r[0].right() - 1, 20);
  EXPECT_EQ(r[3].top() - r[0].bottom() - 1, 20);
  EXPECT_EQ(r[3].left(), r[0].left());
  // Centred: the space left and right of the grid differs by at most a pixel.
  const int left = r[0].left(), right = Client().width() - (r[2].right() + 1);
  EXPECT_LE(std::abs(left - right), 1);
  // Without changing the mode the grid waits for a multi-page mode.
  Panel->SetMode(pmWholePage);
  Panel->SetMultiPages(2, 2, false);
  EXPECT_EQ(Panel->Mode(), pmWholePage);
  Panel->SetMode(pmExactMultiPages);
  EXPECT_EQ(Panel->PageRects().size(), 4u);
  // Nonsense counts count as one; the grid stops at 10 x 10.
  Panel->SetMultiPages(0, -3, true);
  EXPECT_EQ(Panel->HorzPages(), 1);
  EXPECT_EQ(Panel->VertPages(), 1);
  Panel->SetMultiPages(50, 1 << 30, true);
  EXPECT_EQ(Panel->HorzPages(), 10);
  EXPECT_EQ(Panel->VertPages(), 10);
  EXPECT_EQ(Panel->PageRects().size(), 10u);  // the pages there are
  EXPECT_GE(Panel->RealScale(), 1);
}

TEST_F(PanelFixture, WholePageFitsTheSmallerWay) {
  Open(3);
  Panel->SetMode(pmWholePage);
  // (400 - 2 * 20) * 25.4 / 96 / 297 * 100 = 32.07
  EXPECT_EQ(Panel->RealScale(), 32);
  EXPECT_FALSE(Panel->VertScrollBar()->isVisible());
  ASSERT_EQ(Panel->PageRects().size(), 1u);
  EXPECT_TRUE(Client().contains(Panel->PageRects()[0]));
  Panel->resize(600, 700);
  // Height: (700 - 40) * 25.4 / 96 / 297 * 100 = 58.8; width: (600 - 40) * 25.4 / 96 / 210 * 100 = 70.6.
  EXPECT_EQ(Panel->RealScale(), 59);
}

TEST_F(PanelFixture, WholeLandscapePageInANarrowWindow) {
  Open(3, QSize(200, 600));
  Landscape();
  Panel->SetMode(pmWholePage);
  ASSERT_EQ(Panel->PageRects().size(), 1u);
  const QRect page = Panel->PageRects()[0];
  EXPECT_GT(page.width(), page.height());
  EXPECT_TRUE(Client().contains(page)) << page.x() << "," << page.y() << " " << page.width() << "x" << page.height();
  EXPECT_EQ(Client(), Panel->rect());
  EXPECT_FALSE(Panel->HorzScrollBar()->isVisible());
  EXPECT_FALSE(Panel->VertScrollBar()->isVisible());
}

TEST_F(PanelFixture, TinyClientKeepsAPositiveScale) {
  Open(3, QSize(30, 30));
  for (const TKivPrintPreviewMode mode : {pmWholePage, pmTextWidth, pmTwoPages, pmExactMultiPages}) {
    Panel->SetMode(mode);
    EXPECT_GE(Panel->RealScale(), 1) << int(mode);
    Panel->SetScale(Panel->RealScale());
    EXPECT_EQ(ErrorOf([&] { Panel->Zoom(true); }), "<no error>");
  }
}

TEST_F(PanelFixture, ExactScaleScrollsAndCentres) {
  Open(3);
  // 100 % on 96 dpi: A4 is 794 x 1123 pixels, wider and taller than the client.
  EXPECT_EQ(Panel->PageRects()[0].size(), QSize(794, 1123));
  EXPECT_TRUE(Panel->HorzScrollBar()->isVisible());
  EXPECT_TRUE(Panel->VertScrollBar()->isVisible());
  EXPECT_EQ(Panel->PageRects()[0].topLeft(), QPoint(20, 20));
  const int range = Panel->VertScrollBar()->maximum();
  EXPECT_EQ(range, 1123 + 40 - Client().height());
  EXPECT_EQ(Panel->VertScrollBar()->singleStep(), range / 100 + 1);
  EXPECT_EQ(Panel->VertScrollBar()->pageStep(), range / 10 + 1);
  Panel->VertScrollBar()->setValue(100);
  EXPECT_EQ(Panel->PageRects()[0].top(), 20 - 100);
  // A small page is centred without bars; a scale change returns the positions to 0.
  Panel->SetScale(25);
  EXPECT_FALSE(Panel->VertScrollBar()->isVisible());
  const QRect page = Panel->PageRects()[0];
  EXPECT_LE(std::abs(page.left() - (Client().width() - page.right() - 1)), 1);
  Panel->SetScale(100);
  EXPECT_EQ(Panel->VertScrollBar()->value(), 0);
}

TEST_F(PanelFixture, TextWidthFitsThePrintableWidth) {
  Open(3);
  Panel->SetMode(pmTextWidth);
  // The printable width (170 mm) fills the client less the vertical scroll bar.
  const int client = Panel->width() - Panel->VertScrollBar()->sizeHint().width();
  EXPECT_EQ(Panel->RealScale(), int(std::lround(client * 25.4 / 96 / 170 * 100)));
}

TEST_F(PanelFixture, PrinterChangesResetScaleAndKeepSimpleModes) {
  Open(3);
  Panel->SetMode(pmWholePage);
  Panel->SetScale(150);
  Panel->SetCurrentPage(2);
  Printer->Margins().SetLeft(30);
  EXPECT_EQ(Panel->Scale(), 100);
  EXPECT_EQ(Panel->Mode(), pmWholePage);
  EXPECT_EQ(Panel->CurrentPage(), 0);
  EXPECT_EQ(Panel->TotalPages(), 3);
  Panel->SetMode(pmTwoPages);
  Printer->Margins().SetLeft(25);
  EXPECT_EQ(Panel->Mode(), pmExactScale);
  EXPECT_EQ(Panel->HorzPages(), 1);
  EXPECT_EQ(Panel->Scale(), 100);
}

TEST_F(PanelFixture, AnotherHelperOfTheSamePrinter) {
  Open(3);
  TPrinterHelper other(*Printer);
  Panel->SetPrinterHelper(&other);
  EXPECT_EQ(Panel->TotalPages(), 3);
  Panel->SetCurrentPage(2);
  Printer->Margins().SetLeft(30);  // heard once, through the new helper
  EXPECT_EQ(Panel->CurrentPage(), 0);
  Panel->SetPrinterHelper(&Printer->PrinterHelper());
  Panel->SetPrinterHelper(nullptr);
  EXPECT_EQ(Panel->TotalPages(), 0);
  EXPECT_TRUE(Panel->PageRects().empty());
  // Switching back and forth left no listener behind: the printer tells nobody gone.
  Panel->SetPrinterHelper(&other);
  Panel.reset();
  Printer->Margins().SetLeft(25);
}

TEST_F(PanelFixture, PageKeysTurnPagesAtTheEnds) {
  Open(3);
  QWidget* draw = Panel->PaintPanel();
  QScrollBar* v = Panel->VertScrollBar();
  ASSERT_GT(v->maximum(), 0);
  int presses = 0;
  while (v->value() < v->maximum() && presses < 100) {
    QTest::keyClick(draw, Qt::Key_PageDown);
    ++presses;
    EXPECT_EQ(Panel->CurrentPage(), 0);
  }
  EXPECT_GT(presses, 1);
  QTest::keyClick(draw, Qt::Key_PageDown);
  EXPECT_EQ(Panel->CurrentPage(), 1);
  EXPECT_EQ(v->value(), 0);
  QTest::keyClick(draw, Qt::Key_PageUp);
  EXPECT_EQ(Panel->CurrentPage(), 0);
  EXPECT_EQ(v->value(), v->maximum());
  QTest::keyClick(draw, Qt::Key_End);
  EXPECT_EQ(Panel->CurrentPage(), 2);
  QTest::keyClick(draw, Qt::Key_Home);
  EXPECT_EQ(Panel->CurrentPage(), 0);
  // At the very top of the first page PageUp stays.
  v->setValue(0);
  QTest::keyClick(draw, Qt::Key_PageUp);
  EXPECT_EQ(Panel->CurrentPage(), 0);
  QTest::keyClick(draw, Qt::Key_Down);
  EXPECT_EQ(v->value(), v->singleStep());
  QTest::keyClick(draw, Qt::Key_Right);
  EXPECT_EQ(Panel->HorzScrollBar()->value(), Panel->HorzScrollBar()->singleStep());
}

TEST_F(PanelFixture, WheelScrollsBySmallOrLargeSteps) {
  Open(3);
  QScrollBar* v = Panel->VertScrollBar();
  Panel->HandleWheel(-120, Qt::NoModifier);
  EXPECT_EQ(v->value(), v->singleStep());
  Panel->HandleWheel(-60, Qt::NoModifier);
  EXPECT_EQ(v->value(), v->singleStep());  // half a notch is kept
  Panel->HandleWheel(-60, Qt::NoModifier);
  EXPECT_EQ(v->value(), 2 * v->singleStep());
  Panel->HandleWheel(-120, Qt::ControlModifier);
  EXPECT_EQ(v->value(), 2 * v->singleStep() + v->pageStep());
  Panel->HandleWheel(240, Qt::NoModifier);
  EXPECT_EQ(v->value(), v->pageStep());
  // A real wheel event on the drawing control.
  const QPoint at(50, 50);
  QWheelEvent wheel(at, Panel->PaintPanel()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(Panel->PaintPanel(), &wheel);
  EXPECT_EQ(v->value(), v->pageStep() + v->singleStep());
}

TEST_F(PanelFixture, ChangeLinksHearPageAndScaleButNotScrolling) {
  Open(3);
  int heard = 0, heardOther = 0;
  TKivPrintChangeLink link;
  link.OnChange = [&](TKivPrintPreviewPanel* ASender) {
    EXPECT_EQ(ASender, Panel.get());
    ++heard;
  };
  int changes = 0;
  Panel->OnChange = [&](TKivPrintPreviewPanel*) { ++changes; };
  Panel->RegisterChanges(&link);
  {
    TKivPrintChangeLink other;
    other.OnChange = [&](TKivPrintPreviewPanel*) { ++heardOther; };
    Panel->RegisterChanges(&other);
    Panel->SetCurrentPage(1);
  }  // the destroyed link is forgotten
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(heardOther, 1);
  EXPECT_EQ(changes, 1);
  Panel->VertScrollBar()->setValue(30);
  EXPECT_EQ(heard, 1);
  Panel->SetScale(50);
  EXPECT_EQ(heard, 2);
  Panel->UnRegisterChanges(&link);
  Panel->SetScale(75);
  EXPECT_EQ(heard, 2);
  EXPECT_EQ(link.Sender(), nullptr);
}

TEST_F(PanelFixture, ResizeInWholePageTellsTheNewScale) {
  Open(3);
  Panel->SetMode(pmWholePage);
  std::vector<Integer> told;
  Panel->OnChange = [&](TKivPrintPreviewPanel* ASender) { told.push_back(ASender->RealScale()); };
  Panel->resize(600, 600);
  ASSERT_FALSE(told.empty());
  EXPECT_EQ(told.back(), Panel->RealScale());
  EXPECT_NE(Panel->RealScale(), 32);
  // In pmExactScale a resize changes nothing to tell.
  Panel->SetMode(pmExactScale);
  told.clear();
  Panel->resize(500, 500);
  EXPECT_TRUE(told.empty());
}

TEST_F(PanelFixture, PagesAreRenderedOncePerScale) {
  Open(5);
  PaintNow();
  EXPECT_EQ(Panel->RenderCount(), 1);
  EXPECT_EQ(Renderer->Drawn, (std::vector<Integer>{0}));
  // Scrolling and repainting copy the image.
  for (int pos : {50, 120, 0}) {
    Panel->VertScrollBar()->setValue(pos);
    PaintNow();
  }
  Panel->HorzScrollBar()->setValue(10);
  PaintNow();
  EXPECT_EQ(Panel->RenderCount(), 1);
  // Another page, then back: kept.
  Panel->SetCurrentPage(1);
  PaintNow();
  Panel->SetCurrentPage(0);
  PaintNow();
  EXPECT_EQ(Panel->RenderCount(), 2);
  // A scale change draws again.
  Panel->Zoom(false);
  PaintNow();
  EXPECT_EQ(Panel->RenderCount(), 3);
  EXPECT_EQ(Panel->CachedPages(), 1);
  // So does a change of the printer.
  Printer->Margins().SetTop(30);
  PaintNow();
  EXPECT_EQ(Panel->RenderCount(), 4);
}

TEST_F(PanelFixture, HugeScalePaintsOnlyTheVisiblePart) {
  Open(2);
  Panel->SetScale(5000);
  PaintNow();
  EXPECT_EQ(Panel->CachedPages(), 0);
  EXPECT_GE(Panel->RenderCount(), 1);
  const QImage shot = Panel->PaintPanel()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(shot.width() - 5, shot.height() - 5), QColor(Qt::white));
}

TEST_F(PanelFixture, CachedPaintingMatchesAFreshPanel) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  auto pick = [&](int AFrom, int ATo) { return std::uniform_int_distribution<int>(AFrom, ATo)(rng); };
  Open(7, QSize(420, 360));
  const Integer scales[] = {25, 37, 50, 75, 100, 150};
  for (int step = 0; step < 40; ++step) {
    switch (pick(0, 5)) {
      case 0: Panel->SetCurrentPage(pick(0, Panel->TotalPages() - 1)); break;
      case 1: Panel->SetScale(scales[pick(0, 5)]); break;
      case 2: Panel->SetMode(TKivPrintPreviewMode(pick(0, 4))); break;
      case 3: Panel->SetMultiPages(pick(1, 3), pick(1, 2), pick(0, 1) == 1); break;
      case 4:
        Panel->VertScrollBar()->setValue(pick(0, Panel->VertScrollBar()->maximum()));
        Panel->HorzScrollBar()->setValue(pick(0, Panel->HorzScrollBar()->maximum()));
        break;
      case 5: Printer->Margins().SetLeft(20 + pick(0, 10)); break;
    }
    const QImage cached = Panel->PaintPanel()->grab().toImage();
    // A new panel brought to the same state paints every page from scratch.
    TKivPrintPreviewPanel fresh;
    fresh.resize(Panel->size());
    fresh.show();
    fresh.SetPrinterHelper(&Printer->PrinterHelper());
    fresh.SetMultiPages(Panel->HorzPages(), Panel->VertPages(), false);
    fresh.SetMode(Panel->Mode());
    fresh.SetScale(Panel->Scale());
    fresh.SetCurrentPage(Panel->CurrentPage());
    fresh.HorzScrollBar()->setValue(Panel->HorzScrollBar()->value());
    fresh.VertScrollBar()->setValue(Panel->VertScrollBar()->value());
    ASSERT_EQ(fresh.PageRects(), Panel->PageRects()) << "step " << step;
    ASSERT_EQ(fresh.PaintPanel()->grab().toImage(), cached) << "step " << step;
    fresh.SetPrinterHelper(nullptr);
  }
  EXPECT_LT(Panel->RenderCount(), 40 * 2);  // the cache served some paints
}
