// The view print task on the fixed-width fake (10 px glyphs, 16 px font height, so rows of 17 px)
// and the recording painter: pagination, the line-number gutter, folds, the selection, the
// special characters, the font rules and the errors.
#include <gtest/gtest.h>

#include <string>

#include "KivSedViewPrintTask.h"
#include "PrintFakes.h"
#include "RecordingViewHost.h"

namespace {

TKivString NumberedLines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\n";
    text += u"L" + KivFromUtf8(std::to_string(i + 1));
  }
  return text;
}

// One recorded text op: position, text and colour.
struct TextOp {
  int X = 0, Y = 0;
  std::string Text;
  std::string Color;
};

std::vector<TextOp> TextOps(const RecordingPainter& APainter) {
  std::vector<TextOp> out;
  for (const std::string& op : APainter.Ops) {
    if (op.rfind("text(", 0) != 0) continue;
    TextOp t;
    size_t p = 5;
    const size_t c1 = op.find(',', p);
    t.X = std::stoi(op.substr(p, c1 - p));
    const size_t c2 = op.find(',', c1 + 1);
    t.Y = std::stoi(op.substr(c1 + 1, c2 - c1 - 1));
    const size_t q2 = op.rfind("\",#");
    t.Text = op.substr(c2 + 2, q2 - c2 - 2);
    t.Color = op.substr(q2 + 2, op.find(',', q2 + 2) - q2 - 2);
    out.push_back(t);
  }
  return out;
}

std::string ErrorOf(const std::function<void()>& AFn) {
  try {
    AFn();
  } catch (const EKivEditViewError& e) {
    return KivToUtf8(e.Message());
  }
  return "<no error>";
}

struct PrintTaskFixture : ::testing::Test {
  void SetUp() override {
    View.HostResized();
    View.SetDocument(&Doc);
  }
  void Use(int ALines) {
    Doc.Lines().SetText(NumberedLines(ALines));
  }
  TViewRenderer& R() { return Task.Renderer(); }
  // Prepares with the options given, the view and the printer set.
  void Prepare(TKivEditViewPrintOptions AOptions = 0) {
    if (Task.PagesPrepared()) Task.FinalizePages();
    Task.SetView(&View);
    Task.SetPrinter(&Printer);
    Task.SetPrintOptions(AOptions);
    Task.PreparePages();
  }
  // Draws a page of the renderer at (0, 0).
  RecordingPainter& Draw(TKivPrintOperationRange ARange, Integer APage) {
    Canvas.Painter.Ops.clear();
    R().DrawPage(ARange, APage, {0, 0}, Canvas);
    return Canvas.Painter;
  }
  // The texts drawn in the gutter (x left of the gutter's width), by row.
  std::map<int, std::string> GutterTexts(const RecordingPainter& APainter) {
    std::map<int, std::string> out;
    for (const TextOp& t : TextOps(APainter))
      if (t.X < R().GutterWidth()) out[t.Y / R().LineHeight()] = t.Text;
    return out;
  }
  // The first texts of each row right of the gutter, joined per row.
  std::map<int, std::string> RowTexts(const RecordingPainter& APainter) {
    std::map<int, std::string> out;
    for (const TextOp& t : TextOps(APainter))
      if (t.X >= R().GutterWidth()) out[t.Y / R().LineHeight()] += t.Text;
    return out;
  }

  RecordingHost Host;
  TKivEditViewCore View{Host};
  TKivEditDocument Doc;
  FakeDevice* Device = nullptr;
  TKivPrinter Printer{[this] {
    auto dev = FakeDevice::A4(300);
    Device = dev.get();
    return dev;
  }()};
  TKivEditViewPrintTask Task;
  RecordingCanvas Canvas;
};

}  // namespace

TEST_F(PrintTaskFixture, GutterIsTheLineCountsWidthPlusAnXAndTheTextTakesTheRest) {
  Use(100);
  Prepare(KivPrintOption(poPrintLineNumbers));
  EXPECT_EQ(R().GutterLeftPadding(), 10);
  EXPECT_EQ(R().GutterWidth(), 40);  // "100" + "x"
  EXPECT_EQ(R().ScrSize().X, R().PageWidth() - 40);
  EXPECT_EQ(R().PageWidth(), Printer.PageWidthPrintablePixels());
  EXPECT_EQ(R().LineHeight(), 17);  // 16 + 16 div 10
  EXPECT_EQ(R().ScrSize().Y, R().PageHeight() / 17);
  Prepare();
  EXPECT_EQ(R().GutterWidth(), 0);
  EXPECT_EQ(R().ScrSize().X, R().PageWidth());
}

TEST_F(PrintTaskFixture, NumbersStandOnFirstRowsOfEveryTenthLineAndBulletsEverywhereElse) {
  Use(30);
  Prepare(KivPrintOption(poPrintLineNumbers));
  // Line 10 wrapped into 3 rows.
  const Integer chars = R().ScrSize().X / 10;
  Task.FinalizePages();
  TKivString text = NumberedLines(30);
  const size_t at = text.find(u"L10\n");
  text.replace(at, 3, TKivString(size_t(chars * 2 + 5), u'a'));
  Doc.Lines().SetText(text);
  Prepare(KivPrintOption(poPrintLineNumbers));
  std::map<int, std::string> gutter = GutterTexts(Draw(orAll, 0));
  ASSERT_GE(gutter.size(), 32u);
  const std::string bullet = "\u00B7";
  EXPECT_EQ(gutter[0], "1");
  for (int row = 1; row <= 8; ++row) EXPECT_EQ(gutter[row], bullet) << row;  // lines 2-9
  EXPECT_EQ(gutter[9], "10");
  EXPECT_EQ(gutter[10], bullet);  // line 10's continuation rows
  EXPECT_EQ(gutter[11], bullet);
  for (int row = 12; row <= 20; ++row) EXPECT_EQ(gutter[row], bullet) << row;  // lines 11-19
  EXPECT_EQ(gutter[21], "20");
  EXPECT_EQ(gutter[31], "30");
  // The gutter is filled with the page's background, not the view's bar colour.
  const std::string barBg = RecordingPainter::ColorText(TKivGutterPaintSettings().LinesBarBg);
  for (const std::string& op : Canvas.Painter.Ops) EXPECT_EQ(op.find(barBg), std::string::npos) << op;
  // The numbers end one padding left of the text; printed in the font's colour on the page.
  for (const TextOp& t : TextOps(Canvas.Painter)) {
    if (t.X >= R().GutterWidth()) continue;
    EXPECT_EQ(t.Color, RecordingPainter::ColorText(View.Font().Color)) << t.Text;
    if (t.Text == "10") {
      EXPECT_EQ(t.X + 20, R().GutterWidth() - R().GutterLeftPadding());
    }
  }
}

TEST_F(PrintTaskFixture, LongLinesWrapOnPaperEvenWhenTheViewDoesNot) {
  View.SetWrapMode(wmNoWrap);
  Use(1);
  Prepare();
  const Integer w = R().ScrSize().X;
  Task.FinalizePages();
  Doc.Lines().SetText(TKivString(500, u'w'));
  Prepare();
  const Integer expected = (500 * 10 + w - 1) / w;
  EXPECT_EQ(R().Layout()->RowCount(), expected);
  // Every character is printed once, in rows in order.
  std::string all;
  for (const auto& [row, s] : RowTexts(Draw(orAll, 0))) all += s;
  EXPECT_EQ(all, std::string(500, 'w'));
}

TEST_F(PrintTaskFixture, FoldsCollapsedInTheViewStayCollapsedUnlessHiddenTextIsPrinted) {
  auto parser = std::make_unique<FakeParser>();
  parser->AddFold(4, 8);
  Doc.SetParser(std::move(parser));
  Use(20);
  Prepare();
  const Integer full = R().Layout()->RowCount();
  EXPECT_EQ(full, 20);
  Task.FinalizePages();
  View.Fold(4);
  Prepare();
  EXPECT_EQ(R().Layout()->RowCount(), full - 4);
  const std::map<int, std::string> rows = RowTexts(Draw(orAll, 0));
  EXPECT_EQ(rows.at(4).substr(0, 2), "L5");
  EXPECT_EQ(rows.at(5), "L10");
  Prepare(KivPrintOption(poPrintHiddenText));
  EXPECT_EQ(R().Layout()->RowCount(), full);
  EXPECT_TRUE(View.IsCollapsedFold(4));  // the view keeps its fold
}

TEST_F(PrintTaskFixture, PagesHoldWholeRowsAndTheLastHoldsTheRest) {
  Use(1);
  Prepare();
  const Integer perPage = R().ScrSize().Y;
  ASSERT_GT(perPage, 2);
  EXPECT_EQ(Task.PagesCount(), 1);
  Task.FinalizePages();
  const int lines = perPage * 2 + perPage / 2;
  Use(lines);
  Prepare();
  EXPECT_EQ(Task.PagesCount(), 3);
  const std::map<int, std::string> first = RowTexts(Draw(orAll, 0));
  EXPECT_EQ(first.size(), size_t(perPage));
  EXPECT_EQ(first.begin()->second, "L1");
  const std::map<int, std::string> last = RowTexts(Draw(orAll, 2));
  EXPECT_EQ(last.size(), size_t(lines - 2 * perPage));
  EXPECT_EQ(last.begin()->second, "L" + std::to_string(2 * perPage + 1));
  EXPECT_EQ(last.rbegin()->second, "L" + std::to_string(lines));
  // Nothing is drawn below the last row.
  for (const std::string& op : Canvas.Painter.Ops) {
    if (op.rfind("fill(", 0) != 0) continue;
    const int bottom = std::stoi(op.substr(op.rfind(',', op.rfind(',') - 1) + 1));
    EXPECT_LE(bottom, int(last.size()) * R().LineHeight()) << op;
  }
}

TEST_F(PrintTaskFixture, SelectionPrintsTheWholeRowsOfItsLinesWithoutSelectionColours) {
  Use(40);
  View.SetSelection({3, 9}, {1, 11});
  Prepare(KivPrintOption(poPrintLineNumbers));
  EXPECT_EQ(Printer.GetPagesCount(orSelection), 1);
  RecordingPainter& p = Draw(orSelection, 0);
  const std::map<int, std::string> rows = RowTexts(p);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows.at(0), "L10");
  EXPECT_EQ(rows.at(1), "L11");
  EXPECT_EQ(rows.at(2), "L12");
  EXPECT_EQ(GutterTexts(p).at(0), "10");
  const std::string selBg = RecordingPainter::ColorText(TKivViewPaintColors().SelectionBg);
  const std::string lineBg = RecordingPainter::ColorText(TKivViewPaintColors().SelectedLineBg);
  for (const std::string& op : p.Ops) {
    EXPECT_EQ(op.find(selBg), std::string::npos) << op;
    EXPECT_EQ(op.find(lineBg), std::string::npos) << op;
    EXPECT_EQ(op.rfind("clip", 0), std::string::npos) << op;
  }
  // The whole text prints without selection colours too.
  for (const std::string& op : Draw(orAll, 0).Ops) EXPECT_EQ(op.find(selBg), std::string::npos) << op;
}

TEST_F(PrintTaskFixture, SelectionEndingOnThePartlyFilledLastPagePrints) {
  Use(1);
  Prepare();
  const Integer perPage = R().ScrSize().Y;
  Task.FinalizePages();
  const int lines = perPage + 3;
  Use(lines);
  View.SetSelection({1, perPage}, {2, lines - 1});
  Prepare();
  EXPECT_EQ(Task.PagesCount(), 2);
  EXPECT_EQ(Printer.GetPagesCount(orSelection), 1);
  EXPECT_EQ(R().SelEndRow(), lines - 1);
  Printer.PrintPages(orSelection, 0, 1);
  // A selection ending at column 0 prints that line too.
  Task.FinalizePages();
  View.SetSelection({1, perPage}, {0, lines - 1});
  Prepare();
  const std::map<int, std::string> rows = RowTexts(Draw(orSelection, 0));
  EXPECT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows.begin()->second, "L" + std::to_string(perPage + 1));
  EXPECT_EQ(rows.rbegin()->second, "L" + std::to_string(lines));
}

TEST_F(PrintTaskFixture, ErrorsComeInTheirOrder) {
  Use(3);
  EXPECT_EQ(ErrorOf([&] { Task.PreparePages(); }), "Printer property should be assigned for this method");
  EXPECT_EQ(ErrorOf([&] { Task.PagesCount(); }), "Printer property should be assigned for this method");
  Task.SetPrinter(&Printer);
  EXPECT_EQ(ErrorOf([&] { Task.PreparePages(); }), "View property should be assigned for this method");
  EXPECT_EQ(ErrorOf([&] { Task.Print(); }), "View property should be assigned for this method");
  EXPECT_EQ(ErrorOf([&] { Task.FinalizePages(); }), "You should call PreparePages before this method");
  Task.SetView(&View);
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { Task.PagesCount(); }, [&] { Task.Print(); }, [&] { Task.Print(0, 1); },
           [&] { Task.ExecPrintDlg(); }, [&] { Task.ExecPrintPreviewDlg(); }, [&] { Task.FinalizePages(); }})
    EXPECT_EQ(ErrorOf(call), "You should call PreparePages before this method");
  Task.PreparePages();
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { Task.PreparePages(); }, [&] { Task.SetView(nullptr); }, [&] { Task.SetPrinter(nullptr); },
           [&] { Task.SetPrintOptions(KivPrintOption(poPrintLineNumbers)); }})
    EXPECT_EQ(ErrorOf(call), "You should call FinalizePages before this method");
  EXPECT_EQ(Task.View(), &View);
  EXPECT_EQ(Task.Printer(), &Printer);
  EXPECT_EQ(Task.PrintOptions(), 0);
  Task.Print();
  EXPECT_EQ(Device->Log.front(), "begin()");
  Task.FinalizePages();
  EXPECT_FALSE(Printer.PagesPrepared());
  EXPECT_EQ(R().Dpi(), -1);
  EXPECT_EQ(R().Layout(), nullptr);
}

TEST_F(PrintTaskFixture, FontRulesAndThePrintingFontsSize) {
  TKivViewFont f;
  f.Name = u"Mono";
  f.Size = 12;
  View.SetFont(f);
  Task.SetView(&View);
  EXPECT_TRUE(Task.ViewFont());
  EXPECT_EQ(Task.Font(), f);
  // A change in the view is followed while ViewFont is on.
  f.Size = 14;
  View.SetFont(f);
  EXPECT_EQ(Task.Font().Size, 14);
  // Setting the font turns ViewFont off; the view's changes are no longer followed.
  TKivViewFont own;
  own.Name = u"Own";
  Task.SetFont(own);
  EXPECT_FALSE(Task.ViewFont());
  f.Size = 16;
  View.SetFont(f);
  EXPECT_EQ(Task.Font(), own);
  // Turning it on copies the view's font.
  Task.SetViewFont(true);
  EXPECT_EQ(Task.Font(), f);
  // Points at the printer's resolution; a size in pixels counts as 96 per inch.
  Use(3);
  Prepare();
  ASSERT_FALSE(Device->Fonts.empty());
  EXPECT_EQ(Device->Fonts.back().PixelSize, 67);  // 16 pt at 300 dpi
  EXPECT_EQ(Device->Fonts.back().Name, u"Mono");
  TKivViewFont px;
  px.PixelSize = 13;
  EXPECT_EQ(KivPrintFontPixels(px, 300), 41);
  EXPECT_EQ(KivPrintFontPixels(TKivViewFont(), 300), 42);
  // The view going unbinds the task and drops its pages.
  {
    RecordingHost host;
    auto view = std::make_unique<TKivEditViewCore>(host);
    Task.FinalizePages();
    Task.SetView(view.get());
    Task.PreparePages();
    view.reset();
    EXPECT_EQ(Task.View(), nullptr);
    EXPECT_FALSE(Task.PagesPrepared());
    EXPECT_FALSE(Printer.PagesPrepared());
  }
}

TEST_F(PrintTaskFixture, SpecialCharactersPrintOnlyWithTheirOption) {
  auto parser = std::make_unique<FakeParser>();
  parser->AddFold(0, 2);
  Doc.SetParser(std::move(parser));
  Doc.Lines().SetText(u"a b\nc\nd\ne f");
  TKivSpecialCharKinds kinds = View.SpecialChars().ShowCharKinds();
  kinds.Include(skSpace);
  View.SpecialChars().SetShowCharKinds(kinds);
  View.Fold(0);
  const auto printed = [&] {
    std::string all;
    for (const TextOp& t : TextOps(Draw(orAll, 0))) all += t.Text;
    return all;
  };
  Prepare();
  std::string plain = printed();
  EXPECT_EQ(plain.find("\u2219"), std::string::npos) << plain;
  EXPECT_EQ(plain.find("\u2026"), std::string::npos) << plain;
  Prepare(KivPrintOption(poPrintSpecialChars));
  std::string special = printed();
  EXPECT_NE(special.find("\u2219"), std::string::npos) << special;
  EXPECT_NE(special.find("\u2026"), std::string::npos) << special;
}

TEST_F(PrintTaskFixture, PageTooSmallRaisesBeforeAnyChangeAndASmallerFontThenFits) {
  Use(10);
  // The fake's font height follows the printing font's pixel size.
  Device->OnFont = [&](const TKivViewFont& AFont) { Device->Measure = FixedMeasure(10, AFont.PixelSize); };
  TKivViewFont huge;
  huge.Size = 1000;
  Task.SetFont(huge);
  Task.SetView(&View);
  Task.SetPrinter(&Printer);
  EXPECT_EQ(ErrorOf([&] { Task.PreparePages(); }), "Page is too small for the printing font");
  EXPECT_FALSE(Task.PagesPrepared());
  EXPECT_FALSE(Printer.PagesPrepared());
  EXPECT_TRUE(Device->Log.empty());
  EXPECT_EQ(R().Layout(), nullptr);
  TKivViewFont small;
  small.Size = 10;
  Task.SetFont(small);
  Task.PreparePages();
  EXPECT_EQ(R().LineHeight(), 42 + 4);
  EXPECT_EQ(Task.PagesCount(), 1);
  // No text width left beside the line numbers.
  Task.FinalizePages();
  Device->OnFont = [&](const TKivViewFont&) { Device->Measure = FixedMeasure(2000, 16); };
  Task.SetPrintOptions(KivPrintOption(poPrintLineNumbers));
  EXPECT_EQ(ErrorOf([&] { Task.PreparePages(); }), "Page is too small for the printing font");
  EXPECT_FALSE(Task.PagesPrepared());
}

TEST_F(PrintTaskFixture, TheTaskForgetsADestroyedPrinter) {
  Use(3);
  auto printer = std::make_unique<TKivPrinter>(FakeDevice::A4(300));
  Task.SetView(&View);
  Task.SetPrinter(printer.get());
  Task.PreparePages();
  printer.reset();
  EXPECT_EQ(Task.Printer(), nullptr);
  EXPECT_FALSE(Task.PagesPrepared());
  EXPECT_EQ(R().Layout(), nullptr);
  Task.SetPrinter(&Printer);
  Task.PreparePages();
  EXPECT_EQ(Task.PagesCount(), 1);
}

TEST_F(PrintTaskFixture, ThePrintedLayoutFollowsEditsWhilePagesArePrepared) {
  Use(10);
  Prepare();
  EXPECT_EQ(R().Layout()->RowCount(), 10);
  Doc.Lines().SetText(NumberedLines(25));
  EXPECT_EQ(R().Layout()->RowCount(), 25);
  Doc.Insert(0, u"new\n");
  EXPECT_EQ(R().Layout()->RowCount(), 26);
  EXPECT_EQ(RowTexts(Draw(orAll, 0)).at(0), "new");
  Task.FinalizePages();
  // The layout let go of the document: edits after finalizing reach nothing stale.
  Doc.Insert(0, u"more\n");
  Prepare();
  EXPECT_EQ(R().Layout()->RowCount(), 27);
}

TEST_F(PrintTaskFixture, ADocumentDestroyedWhilePagesArePreparedLeavesBlankPages) {
  auto doc = std::make_unique<TKivEditDocument>();
  doc->Lines().SetText(NumberedLines(5));
  View.SetDocument(doc.get());
  Prepare();
  EXPECT_FALSE(RowTexts(Draw(orAll, 0)).empty());
  doc.reset();
  EXPECT_TRUE(R().Layout()->DocumentGone());
  EXPECT_TRUE(Draw(orAll, 0).Ops.empty());
  Printer.PrintPages(orAll, 0, 1);
  Task.FinalizePages();
  Prepare();
  EXPECT_EQ(Task.PagesCount(), 1);  // the view's empty document
}
