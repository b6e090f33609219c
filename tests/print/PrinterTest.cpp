// The printer on a fake device: geometry and units, margins and their stored form, listeners,
// the call order, pagination with header and footer, and the pages sent to the device.
#include <gtest/gtest.h>

#include <algorithm>

#include "PrintFakes.h"

namespace {

struct PrinterFixture : ::testing::Test {
  FakeLocale Locale;
  FakeDevice* Device = nullptr;
  std::unique_ptr<TKivPrinter> Printer;

  void Make(std::unique_ptr<FakeDevice> ADevice) {
    Device = ADevice.get();
    Printer = std::make_unique<TKivPrinter>(std::move(ADevice), &Locale);
  }
  void SetUp() override { Make(FakeDevice::A4(300)); }
};

struct CountingListener : TKivPrinterListener {
  void Refresh(TKivPrinterChangeKinds) override { ++Count; }
  int Count = 0;
};

// The text of the ops between the APage-th and the next "newpage" (from 0).
std::vector<std::string> PageTexts(const RecordingCanvas& ACanvas, int APage) {
  std::vector<std::string> out;
  int page = 0;
  for (const std::string& op : ACanvas.Painter.Ops) {
    if (op == "newpage") ++page;
    else if (page == APage && op.rfind("text(", 0) == 0) out.push_back(op);
  }
  return out;
}

bool HasText(const std::vector<std::string>& ATexts, const std::string& AText) {
  return std::any_of(ATexts.begin(), ATexts.end(),
                     [&](const std::string& op) { return op.find("\"" + AText + "\"") != std::string::npos; });
}

}  // namespace

TEST_F(PrinterFixture, GeometryOfTheDevice) {
  Make(FakeDevice::A4(600));
  EXPECT_NEAR(Printer->PixPerUnitX(), 23.622, 0.001);
  EXPECT_NEAR(Printer->PixPerUnitY(), 23.622, 0.001);
  EXPECT_EQ(Printer->UnitsToPixelsX(20), 472);
  EXPECT_EQ(Printer->UnitsToPixelsY(20), 472);
  // Rounded half away from zero.
  EXPECT_EQ(Printer->UnitsToPixelsX(-20), -472);
  EXPECT_NEAR(Printer->PixelsToUnitsX(472), 19.98, 0.01);
  EXPECT_EQ(Printer->UnitsToPixelsRect({20, 10, 20, 10}), (TKivRect{472, 236, 472, 236}));
}

TEST_F(PrinterFixture, DefaultGeometryOnDeviceAndWithoutOne) {
  const auto check = [](TKivPrinter& APrinter) {
    EXPECT_EQ(APrinter.PageWidthFullUnits(), 210);
    EXPECT_EQ(APrinter.PageHeightFullUnits(), 297);
    EXPECT_EQ(APrinter.PageWidthFullPixels(), 2480);
    EXPECT_EQ(APrinter.PageHeightFullPixels(), 3508);
    EXPECT_EQ(APrinter.MinMarginsUnits(), (TKivDoubleRect{20, 10, 20, 10}));
    EXPECT_EQ(APrinter.Margins().MarginRect(), (TKivDoubleRect{20, 20, 20, 20}));
    EXPECT_EQ(APrinter.PageWidthPrintableUnits(), 170);
    EXPECT_EQ(APrinter.PageHeightPrintableUnits(), 257);
    EXPECT_EQ(APrinter.PageWidthPrintablePixels(), 2008);
    EXPECT_EQ(APrinter.PageHeightPrintablePixels(), 3035);
    EXPECT_EQ(APrinter.Orientation(), poPortrait);
  };
  check(*Printer);
  TKivPrinter none(nullptr, &Locale);
  check(none);
  FakeRenderer renderer;
  EXPECT_EQ(PrintErrorOf([&] { none.PreparePages(renderer); }), "Invalid (or not set) default system printer");

  auto unusable = FakeDevice::A4(300);
  unusable->IsUsable = false;
  TKivPrinter off(std::move(unusable), &Locale);
  check(off);
  EXPECT_EQ(PrintErrorOf([&] { off.PreparePages(renderer); }), "Invalid (or not set) default system printer");
  EXPECT_EQ(PrintErrorOf([&] { off.GetPrinter(); }), "Invalid (or not set) default system printer");
  EXPECT_EQ(PrintErrorOf([&] { off.ExecPageSetupDlg(); }), "Invalid (or not set) default system printer");
  EXPECT_FALSE(off.PagesPrepared());
  EXPECT_TRUE(renderer.Prepared.empty());
}

TEST_F(PrinterFixture, MarginRectangleRules) {
  TKivPageMargins& m = Printer->Margins();
  CountingListener lst;
  Printer->AddListener(&lst);
  struct Case {
    TKivDoubleRect Given;
    const char* Error;  // or null
    TKivDoubleRect Result;
  };
  const Case cases[] = {
      {{105, 20, 105, 20}, "Bad margins rectangle given", {20, 20, 20, 20}},
      {{20, 150, 20, 147}, "Bad margins rectangle given", {20, 20, 20, 20}},
      {{5, 0, 5, 0}, nullptr, {20, 10, 20, 10}},
      {{104, 30, 105, 40}, nullptr, {104, 30, 105, 40}},
  };
  for (const Case& c : cases) {
    m.SetMarginRect({20, 20, 20, 20});
    lst.Count = 0;
    const std::string err = PrintErrorOf([&] { m.SetMarginRect(c.Given); });
    EXPECT_EQ(err, c.Error ? c.Error : "<no error>");
    EXPECT_EQ(m.MarginRect(), c.Result);
    EXPECT_EQ(lst.Count, c.Error ? 0 : 1);
  }
  m.SetMarginRect({20, 20, 20, 20});
  m.SetLeft(5);
  EXPECT_EQ(m.Left(), 20);
  m.SetTop(35);
  EXPECT_EQ(Printer->PageHeightPrintableUnits(), 297 - 35 - 20);
  EXPECT_EQ(PrintErrorOf([&] { m.SetRight(190); }), "Bad margins rectangle given");
  EXPECT_EQ(m.Right(), 20);
  EXPECT_EQ(PrintErrorOf([] { TKivPageMargins(nullptr); }), "Not allowed to create margins manually");
  EXPECT_EQ(PrintErrorOf([] { TKivPageTemplateBlock(nullptr); }), "Not allowed to create margins manually");
  Printer->RemoveListener(&lst);
}

TEST_F(PrinterFixture, StoredMarginsAndMarginsZero) {
  // A device that prints to the paper's edges allows zero margins.
  Make(std::make_unique<FakeDevice>(300, 300, TKivRect{0, 0, 2480, 3508}, TKivRect{0, 0, 2480, 3508}));
  TKivStoredProps props;
  Printer->Margins().WriteProps(props);
  EXPECT_TRUE(props.empty());
  Printer->Margins().SetMarginRect({0, 0, 0, 0});
  Printer->Margins().WriteProps(props);
  ASSERT_FALSE(props.empty());
  EXPECT_EQ(props.back(), (std::pair<TKivString, TKivString>{u"MarginsZero", u"[left,right,top,bottom]"}));
  props.clear();
  Printer->Margins().SetMarginRect({0, 25.5, 20, 20});
  Printer->Margins().WriteProps(props);
  EXPECT_EQ(props, (TKivStoredProps{{u"Left", u"0"}, {u"Top", u"25.5"}, {u"MarginsZero", u"[left]"}}));

  // Read on the default device: two sides zeroed; the next set raises them to the minimum.
  Make(FakeDevice::A4(300));
  Printer->Margins().ReadProps({{u"MarginsZero", u"[Top, LEFT]"}});
  EXPECT_EQ(Printer->Margins().MarginRect(), (TKivDoubleRect{0, 0, 20, 20}));
  Printer->Margins().SetRight(25);
  EXPECT_EQ(Printer->Margins().MarginRect(), (TKivDoubleRect{20, 10, 25, 20}));
  // A malformed side changes nothing.
  EXPECT_EQ(PrintErrorOf([&] { Printer->Margins().ReadProps({{u"Left", u"x"}, {u"MarginsZero", u"[top]"}}); }),
            "Bad margin value: x");
  EXPECT_EQ(Printer->Margins().MarginRect(), (TKivDoubleRect{20, 10, 25, 20}));
}

TEST_F(PrinterFixture, UnitsConversions) {
  Printer->Margins().SetMarginRect({20, 20, 25, 20});
  Printer->SetUnits(unInches);
  EXPECT_EQ(Printer->RealUnits(), unInches);
  EXPECT_NEAR(Printer->Margins().Left(), 0.79, 1e-9);
  EXPECT_NEAR(Printer->Margins().Right(), 0.98, 1e-9);
  EXPECT_NEAR(Printer->PageWidthFullUnits(), 8.27, 1e-9);
  EXPECT_EQ(Printer->PixPerUnitX(), 300);
  Printer->SetUnits(unMillimeters);
  EXPECT_NEAR(Printer->Margins().Left(), 20, 1e-9);
  EXPECT_NEAR(Printer->Margins().Right(), 24.9, 1e-9);
  EXPECT_NEAR(Printer->UnitsToUnits(unMillimeters, unInches, 25.4), 1, 1e-12);
  EXPECT_NEAR(Printer->UnitsToUnits(unInches, unMillimeters, 2), 50.8, 1e-12);
  EXPECT_EQ(Printer->UnitsToUnits(unAuto, unMillimeters, 7), 7);

  EXPECT_EQ(PrintErrorOf([&] { Printer->SetUnits(unPoints); }),
            "Bad units value: only unAuto, unMillimeters, unInches alowed");
  EXPECT_EQ(Printer->Units(), unMillimeters);
  EXPECT_EQ(PrintErrorOf([&] { Printer->UnitsToUnits(unPoints, unInches, 1); }),
            "Bad units value: only unAuto, unMillimeters, unInches alowed");

  // unAuto follows the locale's measurement system.
  Locale.IsMetric = false;
  Printer->SetUnits(unAuto);
  EXPECT_EQ(Printer->RealUnits(), unInches);
  EXPECT_NEAR(Printer->Margins().Left(), 0.79, 1e-9);
}

TEST_F(PrinterFixture, ListenersAndChangeBrackets) {
  CountingListener a, b;
  Printer->AddListener(&a);
  Printer->AddListener(&b);
  EXPECT_EQ(PrintErrorOf([&] { Printer->AddListener(&a); }), "Given listener already exists in listeners collection");
  CountingListener stranger;
  EXPECT_EQ(PrintErrorOf([&] { Printer->RemoveListener(&stranger); }), "Given listener not found");
  int changes = 0;
  Printer->OnChange = [&] { ++changes; };

  FakeRenderer renderer;
  Printer->PreparePages(renderer);
  ASSERT_EQ(renderer.Prepared.size(), 1u);
  EXPECT_EQ(renderer.Prepared[0].first, 2008);

  Printer->BeginUpdate();
  Printer->BeginUpdate();
  Printer->Margins().SetLeft(30);
  Printer->SetTitle(u"T");
  Printer->EndUpdate();
  EXPECT_EQ(a.Count + b.Count + changes, 0);
  Printer->EndUpdate();
  EXPECT_EQ(a.Count, 1);
  EXPECT_EQ(b.Count, 1);
  EXPECT_EQ(changes, 1);
  // Paginated again for the new width.
  EXPECT_EQ(renderer.Prepared.back().first, Printer->UnitsToPixelsX(210 - 30 - 20));
  EXPECT_EQ(Printer->GetPagesCount(orAll), renderer.GetPagesCount(orAll));

  Printer->RemoveListener(&b);
  Printer->SetTitle(u"U");
  EXPECT_EQ(a.Count, 2);
  EXPECT_EQ(b.Count, 1);
  Printer->FinalizePages();
  Printer->RemoveListener(&a);  // the listeners are gone before the fixture's printer
}

TEST_F(PrinterFixture, CallOrderMessages) {
  FakeRenderer renderer(10, 100);
  RecordingCanvas canvas;
  const TKivRect r{0, 0, 248, 351};
  struct Case {
    const char* Name;
    std::function<void()> Call;
    const char* Error;
  };
  const Case idle[] = {
      {"FinalizePages", [&] { Printer->FinalizePages(); }, "You should call PreparePages before this method"},
      {"BeginDoc", [&] { Printer->BeginDoc(); }, "You should call PreparePages before this method"},
      {"EndDoc", [&] { Printer->EndDoc(); }, "You should call PreparePages before this method"},
      {"PrintPages", [&] { Printer->PrintPages(orAll, 0, 1); }, "You should call PreparePages before this method"},
      {"GetPagesCount", [&] { Printer->GetPagesCount(orAll); }, "You should call PreparePages before this method"},
      {"DrawPage", [&] { Printer->DrawPage(orAll, 0, canvas, r); }, "You should call PreparePages before this method"},
      {"SavePage", [&] { Printer->SavePage(orAll, 0, u"f"); }, "You should call PreparePages before this method"},
      {"ExecPrintDlg", [&] { Printer->ExecPrintDlg(); }, "You should call PreparePages before this method"},
      {"ExecPreviewDlg", [&] { Printer->ExecPreviewDlg(); }, "You should call PreparePages before this method"},
  };
  for (const Case& c : idle) EXPECT_EQ(PrintErrorOf(c.Call), c.Error) << c.Name;

  Printer->PreparePages(renderer);
  const Case prepared[] = {
      {"PreparePages", [&] { Printer->PreparePages(renderer); }, "You should call FinalizePages before this method"},
      {"EndDoc", [&] { Printer->EndDoc(); }, "You should call BeginDoc before this method"},
      {"PrintPages 0", [&] { Printer->PrintPages(orAll, 0, 0); }, "Bad pages range: [0, -1]. Valid range: [0, 1]"},
      {"PrintPages past", [&] { Printer->PrintPages(orAll, 0, 2); }, "Bad pages range: [0, 1]. Valid range: [0, 1]"},
      {"PrintPages start", [&] { Printer->PrintPages(orAll, -1, 1); }, "Bad pages range: [-1, -1]. Valid range: [0, 1]"},
      {"Selection", [&] { Printer->PrintPages(orSelection, 0, 1); }, "Bad pages range: [0, 0]. Valid range: [0, 0]"},
      {"SavePage", [&] { Printer->SavePage(orAll, 1, u"f"); }, "Bad pages range: [1, 1]. Valid range: [0, 1]"},
      {"ExecPreviewDlg", [&] { Printer->ExecPreviewDlg(); }, "Print dialogs are not available"},
      {"ExecPrintDlg", [&] { Printer->ExecPrintDlg(); }, "Print dialogs are not available"},
      {"ExecPageSetupDlg", [&] { Printer->ExecPageSetupDlg(); }, "Print dialogs are not available"},
      {"ExecPrintSetupDlg", [&] { Printer->ExecPrintSetupDlg(); }, "Print dialogs are not available"},
  };
  for (const Case& c : prepared) EXPECT_EQ(PrintErrorOf(c.Call), c.Error) << c.Name;
  EXPECT_TRUE(Device->Log.empty());

  Printer->BeginDoc();
  EXPECT_EQ(PrintErrorOf([&] { Printer->BeginDoc(); }), "You should call EndDoc before this method");
  EXPECT_EQ(PrintErrorOf([&] { Printer->ExecPrintDlg(); }), "You should call EndDoc before this method");
  Printer->PrintPages(orAll, 0, 1);
  Printer->PrintPages(orAll, 0, 1);
  Printer->EndDoc();
  // Two calls in one document: a new sheet between them, none after the last.
  EXPECT_EQ(Device->Log, (std::vector<std::string>{"begin()", "newpage", "end"}));
  Printer->FinalizePages();
  EXPECT_EQ(renderer.Finalized, 1);
  EXPECT_FALSE(Printer->PagesPrepared());
}

TEST_F(PrinterFixture, PaginationErrorsLeaveThePrinterIdle) {
  FakeRenderer failing;
  failing.FailAfter = 0;
  EXPECT_EQ(PrintErrorOf([&] { Printer->PreparePages(failing); }), "renderer failed");
  EXPECT_FALSE(Printer->PagesPrepared());
  EXPECT_EQ(failing.Finalized, 1);
  EXPECT_EQ(PrintErrorOf([&] { Printer->GetPagesCount(orAll); }), "You should call PreparePages before this method");
  // A margin change does not reach the failed renderer.
  Printer->Margins().SetLeft(25);
  EXPECT_EQ(failing.Finalized, 1);

  FakeRenderer good(50, 100);
  Printer->PreparePages(good);
  EXPECT_EQ(Printer->GetPagesCount(orAll), 2);

  // The re-pagination inside a change fails: the printer ends idle with counts 0.
  good.FailAfter = 0;
  int changes = 0;
  Printer->OnChange = [&] { ++changes; };
  EXPECT_EQ(PrintErrorOf([&] { Printer->SetTitle(u"x"); }), "renderer failed");
  EXPECT_FALSE(Printer->PagesPrepared());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(PrintErrorOf([&] { Printer->FinalizePages(); }), "You should call PreparePages before this method");
  good.FailAfter = -1;
  Printer->PreparePages(good);
  EXPECT_EQ(Printer->GetPagesCount(orAll), 2);
}

TEST_F(PrinterFixture, OrientationChangeKeepsMarginsValid) {
  Printer->Margins().SetMarginRect({20, 120, 20, 120});
  TKivPrinterSettings s = Printer->GetPrinter();
  s.Orientation = poLandscape;
  Printer->SetPrinter(s);
  EXPECT_EQ(Printer->Orientation(), poLandscape);
  EXPECT_EQ(Printer->PageWidthFullUnits(), 297);
  EXPECT_EQ(Printer->PageHeightFullUnits(), 210);
  EXPECT_EQ(Printer->MinMarginsUnits(), (TKivDoubleRect{10, 20, 10, 20}));
  const TKivDoubleRect m = Printer->Margins().MarginRect();
  EXPECT_LT(m.Top + m.Bottom, 210);
  EXPECT_EQ(m, (TKivDoubleRect{20, 20, 20, 20}));
  FakeRenderer renderer(10, 100);
  Printer->PreparePages(renderer);
  EXPECT_GT(Printer->GetPagesCount(orAll), 0);
  EXPECT_EQ(renderer.Prepared[0].second, Printer->PageHeightPrintablePixels());

  // Margins still valid on the new paper are only raised to the new minimum.
  Printer->FinalizePages();
  Printer->Margins().SetMarginRect({10, 20, 10, 20});
  s.Orientation = poPortrait;
  Printer->SetPrinter(s);
  EXPECT_EQ(Printer->Margins().MarginRect(), (TKivDoubleRect{20, 20, 20, 20}));
  EXPECT_EQ(Printer->GetPrinter().Orientation, poPortrait);
}

TEST_F(PrinterFixture, HeaderFieldsOnEveryPage) {
  FakeRenderer renderer(3 * 29, 100);  // 29 rows a page: 3 pages
  Printer->SetTitle(u"C:\\tmp");
  Printer->Header().SetTemplate({u"[page] / [PagesCount] - [Title]"});
  Printer->Footer().SetTemplate({u"[Date] [DateTime] [Unknown] \\ < & {"});
  Printer->PreparePages(renderer);
  ASSERT_EQ(Printer->GetPagesCount(orAll), 3);
  // One 16 px line plus the frame height / 200: (3508 - 236 - 236) / 200 = 15.18.
  EXPECT_EQ(Printer->HeaderHeight(), 16 + 15);
  EXPECT_EQ(renderer.Prepared[0].second, 3035 - 2 * 31);

  // Measured with room for long page numbers.
  EXPECT_EQ(Device->Measured, (std::vector<TKivString>{u"10001 / 10001 - C:\\tmp", u"10.12.26 10.12.26 16:05 [Unknown] \\ < & {"}));

  Printer->PrintPages(orAll, 0, 3);
  EXPECT_EQ(Device->Log, (std::vector<std::string>{"begin(C:\\tmp)", "newpage", "newpage", "end"}));
  const auto page2 = PageTexts(Device->DocCanvas, 1);
  EXPECT_TRUE(HasText(page2, "2 / 3 - C:\\tmp")) << page2.front();
  EXPECT_TRUE(HasText(page2, "10.12.26 10.12.26 16:05 [Unknown] \\ < & {"));
  EXPECT_EQ(page2.front(), "text(236,236,\"2 / 3 - C:\\tmp\",#000000,b0)");
  // The content starts below the header.
  EXPECT_TRUE(HasText(page2, "row 29"));
  EXPECT_NE(std::find(page2.begin(), page2.end(), "text(236,267,\"row 29\",#000000,b0)"), page2.end());
  // Pages are painted at their own size and the transform undone.
  EXPECT_EQ(Device->DocCanvas.Painter.Ops[0], "transform(1.00,1.00,0.00,0.00)");
  EXPECT_EQ(Device->DocCanvas.Painter.Ops[1], "fill(0,0,2480,3508,#FFFFFF)");
  EXPECT_EQ(Device->DocCanvas.Painter.Ops.back(), "untransform");
}

TEST_F(PrinterFixture, BoldFieldPrintsBold) {
  FakeRenderer renderer(5, 100);
  Printer->Header().SetTemplate({u"Page [Page]!"});
  auto& text = dynamic_cast<TKivSimpleRichText&>(Printer->Header().TemplateText());
  text.SetStyle(0, 5, 6, fsBold);
  Printer->Header().TemplateChanged();
  Printer->PreparePages(renderer);
  RecordingCanvas canvas;
  Printer->DrawPage(orAll, 0, canvas, {0, 0, 2480, 3508});
  const auto texts = canvas.Texts();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], "text(236,236,\"Page \",#000000,b0)");
  EXPECT_EQ(texts[1], "text(286,236,\"1\",#000000,b1)");
  EXPECT_EQ(texts[2], "text(296,236,\"!\",#000000,b0)");

  // Drawn into a smaller rectangle: the same ops under a scaling transform.
  RecordingCanvas small;
  Printer->DrawPage(orAll, 0, small, {10, 20, 10 + 248, 20 + 351});
  EXPECT_EQ(small.Painter.Ops[0], "transform(0.10,0.10,10.00,20.00)");
  EXPECT_EQ(small.Texts(), texts);
}

TEST_F(PrinterFixture, TallHeaderIsClippedToAQuarter) {
  std::vector<TKivString> lines(200, u"header line");
  Printer->Header().SetTemplate(lines);
  Printer->Footer().SetTemplate({u"foot"});
  FakeRenderer renderer(10, 100);
  Printer->PreparePages(renderer);
  const Integer quarter = 3035 / 4;
  EXPECT_EQ(Printer->HeaderHeight(), quarter);
  EXPECT_EQ(Printer->FooterHeight(), 16 + 15);
  EXPECT_EQ(renderer.Prepared[0].second, 3035 - quarter - 31);
  RecordingCanvas canvas;
  Printer->DrawPage(orAll, 0, canvas, {0, 0, 2480, 3508});
  Integer headerLines = 0;
  for (const std::string& op : canvas.Texts())
    if (op.find("header line") != std::string::npos) ++headerLines;
  EXPECT_EQ(headerLines, (quarter + 15) / 16);
  EXPECT_TRUE(HasText(canvas.Texts(), "foot"));
  EXPECT_EQ(canvas.Texts().back(), "text(236,3241,\"foot\",#000000,b0)");

  // An invisible header takes no room.
  Printer->Header().SetVisible(false);
  EXPECT_EQ(Printer->HeaderHeight(), 0);
  EXPECT_EQ(renderer.Prepared.back().second, 3035 - 31);
}

TEST_F(PrinterFixture, SavePageWritesOnePageFile) {
  FakeRenderer renderer(61, 100);  // 30 rows a page: 3 pages
  Printer->Header().SetTemplate({u"[Page]/[PagesCount]"});
  Printer->PreparePages(renderer);
  Printer->SavePage(orAll, 1, u"out.pdf");
  EXPECT_EQ(Device->Log, (std::vector<std::string>{"file(out.pdf)", "fileend"}));
  EXPECT_TRUE(HasText(Device->FileCanvas.Texts(), "2/3"));
}

TEST_F(PrinterFixture, TemplatesStoredForm) {
  TKivStoredProps props;
  Printer->Header().WriteProps(props);
  EXPECT_TRUE(props.empty());
  Printer->Header().SetTemplate({u"a [Page]", u"b"});
  dynamic_cast<TKivSimpleRichText&>(Printer->Header().TemplateText()).SetStyle(1, 0, 1, fsItalic);
  Printer->Header().SetVisible(false);
  Printer->Header().WriteProps(props);
  ASSERT_EQ(props.size(), 2u);
  Printer->Footer().ReadProps(props);
  EXPECT_FALSE(Printer->Footer().Visible());
  EXPECT_EQ(Printer->Footer().Template(), (std::vector<TKivString>{u"a [Page]", u"b"}));
  EXPECT_EQ(dynamic_cast<TKivSimpleRichText&>(Printer->Footer().TemplateText()).StyleAt(1, 0), fsItalic);
  EXPECT_EQ(PrintErrorOf([&] { Printer->Footer().ReadProps({{u"StringsData", u"garbage"}}); }), "Bad rich text stream");
  EXPECT_EQ(Printer->Footer().Template(), (std::vector<TKivString>{u"a [Page]", u"b"}));
}

TEST_F(PrinterFixture, DialogsThroughTheRegisteredLayer) {
  FakeDialogs dialogs;
  KivSetPrintDialogs(&dialogs);
  struct Unregister {
    ~Unregister() { KivSetPrintDialogs(nullptr); }
  } unregister;

  dialogs.Confirm = false;
  EXPECT_FALSE(Printer->ExecPageSetupDlg());
  EXPECT_EQ(Printer->Margins().Left(), 20);
  dialogs.Confirm = true;
  EXPECT_TRUE(Printer->ExecPageSetupDlg());
  EXPECT_EQ(Printer->Margins().MarginRect(), (TKivDoubleRect{30, 30, 30, 30}));
  EXPECT_EQ(Printer->Header().Template(), (std::vector<TKivString>{u"edited"}));

  FakeRenderer renderer(100, 100);
  renderer.SelectedRows = 10;
  Printer->PreparePages(renderer);
  const Integer pages = Printer->GetPagesCount(orAll);
  dialogs.Result = {TKivPrintDlgResult::prPages, 2, 3, {}};
  EXPECT_TRUE(Printer->ExecPrintDlg());
  EXPECT_EQ(dialogs.ShownPagesCount, pages);
  EXPECT_TRUE(dialogs.ShownSelection);
  EXPECT_EQ(Device->Log, (std::vector<std::string>{"begin()", "newpage", "end"}));
  dialogs.Result = {TKivPrintDlgResult::prPages, 3, pages + 1, {}};
  EXPECT_EQ(PrintErrorOf([&] { Printer->ExecPrintDlg(); }),
            KivToUtf8(KivFormat(u"Bad pages range: [2, %d]. Valid range: [0, %d]", {pages, pages})));
  EXPECT_EQ(Device->Log.size(), 3u);
  // A page list: those pages, in one document; a bad range in it prints nothing.
  dialogs.Result.FromPage = 1;
  dialogs.Result.ToPage = 4;
  dialogs.Result.Ranges = {{1, 2}, {4, 4}};
  Device->Log.clear();
  EXPECT_TRUE(Printer->ExecPrintDlg());
  EXPECT_EQ(Device->Log, (std::vector<std::string>{"begin()", "newpage", "newpage", "end"}));
  dialogs.Result.Ranges = {{1, 2}, {pages + 1, pages + 1}};
  Device->Log.clear();
  EXPECT_EQ(PrintErrorOf([&] { Printer->ExecPrintDlg(); }),
            KivToUtf8(KivFormat(u"Bad pages range: [%d, %d]. Valid range: [0, %d]", {pages, pages, pages})));
  EXPECT_TRUE(Device->Log.empty());
  Printer->ExecPreviewDlg();
  EXPECT_EQ(dialogs.PreviewPages, pages);

  dialogs.NewSettings = Printer->GetPrinter();
  dialogs.NewSettings.Orientation = poLandscape;
  dialogs.NewSettings.Copies = 2;
  EXPECT_TRUE(Printer->ExecPrintSetupDlg());
  EXPECT_EQ(Printer->Orientation(), poLandscape);
  EXPECT_EQ(Printer->GetPrinter().Copies, 2);
  // Still prepared, paginated for the new paper.
  EXPECT_EQ(renderer.Prepared.back().first, Printer->PageWidthPrintablePixels());
  EXPECT_EQ(Printer->PrinterHelper().GetPagesCount(orAll), Printer->GetPagesCount(orAll));
  Printer->FinalizePages();
}

TEST(PrintLocale, DefaultLocaleFormatsDatesAndTimes) {
  // 2026-12-10 16:05 UTC: whatever the locale, both formats are non-empty and differ.
  const std::chrono::system_clock::time_point t{std::chrono::seconds(1796918700)};
  const TKivString date = KivDefaultPrintLocale().ShortDate(t);
  const TKivString time = KivDefaultPrintLocale().ShortTime(t);
  EXPECT_FALSE(date.empty());
  EXPECT_FALSE(time.empty());
  EXPECT_NE(date, time);
  // The printer's fields use the clock it is given.
  FakeLocale locale;
  TKivPrinter printer(FakeDevice::A4(), &locale);
  printer.Clock = [t] { return t; };
  const TKivNameValues fields = printer.FieldValues(4, 9);
  EXPECT_EQ(fields[0], (std::pair<TKivString, TKivString>{u"Page", u"4"}));
  EXPECT_EQ(fields[1], (std::pair<TKivString, TKivString>{u"PagesCount", u"9"}));
  EXPECT_EQ(fields[4], (std::pair<TKivString, TKivString>{u"DateTime", u"10.12.26 16:05"}));
}
