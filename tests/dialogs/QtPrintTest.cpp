// The print engine on Qt: the virtual PDF printer's geometry, the QTextDocument holder's fields,
// and real PDF files read back with poppler's tools (pdfinfo, pdftotext, pdftoppm, pdffonts).
// A missing tool fails the test: scripts/setup installs poppler-utils.
#include <gtest/gtest.h>

#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "KivQtPrint.h"
#include "PrintFakes.h"

namespace {

bool HaveTool(const std::string& ATool) {
  return std::system(("command -v " + ATool + " >/dev/null 2>&1").c_str()) == 0;
}

// The standard output of ACommand; a test failure when ATool is missing or the command fails.
std::string RunTool(const std::string& ATool, const std::string& AArgs) {
  if (!HaveTool(ATool)) {
    ADD_FAILURE() << ATool << " is missing (scripts/setup installs poppler-utils)";
    return {};
  }
  std::string out;
  FILE* pipe = popen((ATool + " " + AArgs + " 2>&1").c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << ATool;
    return {};
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int rc = pclose(pipe);
  EXPECT_EQ(rc, 0) << ATool << " " << AArgs << ":\n" << out;
  return out;
}

std::string Quote(const QString& APath) {
  return "'" + APath.toStdString() + "'";
}

// A binary greyscale PGM (P5) as pdftoppm -gray writes it.
struct Pgm {
  int Width = 0, Height = 0;
  std::vector<unsigned char> Pixels;
  bool Load(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> Width >> Height >> maxval;
    in.get();
    if (magic != "P5" || maxval != 255 || Width <= 0 || Height <= 0) return false;
    Pixels.resize(size_t(Width) * size_t(Height));
    in.read(reinterpret_cast<char*>(Pixels.data()), std::streamsize(Pixels.size()));
    return bool(in);
  }
  // Whether any pixel in columns [AX0, AX1) is darker than mid-grey.
  bool InkIn(int AX0, int AX1) const {
    for (int y = 0; y < Height; ++y)
      for (int x = std::max(0, AX0); x < std::min(Width, AX1); ++x)
        if (Pixels[size_t(y) * size_t(Width) + size_t(x)] < 128) return true;
    return false;
  }
};

struct QtPrintFixture : ::testing::Test {
  FakeLocale Locale;
  QTemporaryDir Dir;
  std::unique_ptr<TKivPrinter> Printer;
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Printer = std::make_unique<TKivPrinter>(TKivQtPrintDevice::CreatePdf(), &Locale);
  }
  QString Path(const char* AName) const { return Dir.filePath(AName); }
  void SetOutput(const QString& AFile) {
    TKivPrinterSettings s = Printer->GetPrinter();
    s.OutputFile = AFile.toStdU16String();
    Printer->SetPrinter(s);
  }
};

}  // namespace

TEST_F(QtPrintFixture, VirtualPdfPrinterHasTheDefaultGeometry) {
  EXPECT_TRUE(Printer->HasUsablePrinter());
  EXPECT_EQ(Printer->PageWidthFullUnits(), 210);
  EXPECT_EQ(Printer->PageHeightFullUnits(), 297);
  EXPECT_EQ(Printer->PageWidthFullPixels(), 2480);
  EXPECT_EQ(Printer->PageHeightFullPixels(), 3508);
  EXPECT_EQ(Printer->MinMarginsUnits(), (TKivDoubleRect{20, 10, 20, 10}));
  EXPECT_EQ(Printer->Margins().MarginRect(), (TKivDoubleRect{20, 20, 20, 20}));
  EXPECT_EQ(Printer->PageWidthPrintablePixels(), 2008);
  EXPECT_EQ(Printer->PageHeightPrintablePixels(), 3035);
  EXPECT_NEAR(Printer->PixPerUnitX(), 300 / 25.4, 1e-9);

  TKivPrinterSettings s = Printer->GetPrinter();
  EXPECT_EQ(s.PaperName, u"A4");
  s.Copies = 3;
  s.Collate = false;
  s.Duplex = dmLongSide;
  s.Color = false;
  s.OutputFile = Path("x.pdf").toStdU16String();
  Printer->SetPrinter(s);
  const TKivPrinterSettings back = Printer->GetPrinter();
  EXPECT_EQ(back.Copies, 3);
  EXPECT_FALSE(back.Collate);
  EXPECT_FALSE(back.Color);
  EXPECT_EQ(back.OutputFile, s.OutputFile);
  // PDF output has no duplex.
  EXPECT_EQ(back.Duplex, dmSimplex);
  s.Orientation = poLandscape;
  Printer->SetPrinter(s);
  EXPECT_EQ(Printer->PageWidthFullUnits(), 297);
  EXPECT_EQ(Printer->MinMarginsUnits(), (TKivDoubleRect{10, 20, 10, 20}));
  EXPECT_EQ(Printer->PageWidthFullPixels(), 3508);
}

TEST_F(QtPrintFixture, ANewPrinterGetsAQtDeviceWithoutARegistrationCall) {
  // The registration comes with linking the library (kivdialogsregister); nothing here calls it.
  TKivPrinter printer(nullptr, &Locale);
  EXPECT_NE(dynamic_cast<TKivQtPrintDevice*>(printer.GetSysPrinter()), nullptr);
}

TEST_F(QtPrintFixture, WithoutSystemPrinterTheDefaultIsTheVirtualPdfPrinter) {
  if (!QPrinterInfo::availablePrinterNames().isEmpty()) GTEST_SKIP() << "a system printer exists";
  // Linking the library registered its devices: a new printer gets the PDF printer.
  TKivPrinter printer(nullptr, &Locale);
  auto* device = dynamic_cast<TKivQtPrintDevice*>(printer.GetSysPrinter());
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(device->IsPdf());
  EXPECT_TRUE(printer.HasUsablePrinter());
  EXPECT_EQ(printer.PageHeightPrintablePixels(), 3035);
  // A system printer that does not exist is not usable.
  TKivPrinter missing(TKivQtPrintDevice::CreateSystem("no such printer"), &Locale);
  EXPECT_FALSE(missing.HasUsablePrinter());
  FakeRenderer renderer;
  EXPECT_EQ(PrintErrorOf([&] { missing.PreparePages(renderer); }), "Invalid (or not set) default system printer");
}

TEST_F(QtPrintFixture, FieldsKeepTheirFormatAndPrintAsWritten) {
  TKivQtRichText text;
  text.Document().setHtml("<p><b>[PAGE]</b> of [Title]</p>");
  text.SubstituteFields({{u"Page", u"12"}, {u"Title", u"C:\\tmp <a> & {x}"}});
  EXPECT_EQ(text.Line(0), u"12 of C:\\tmp <a> & {x}");
  QTextCursor c(&text.Document());
  c.setPosition(1);
  EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
  c.setPosition(5);
  EXPECT_NE(c.charFormat().fontWeight(), QFont::Bold);
  // Inserted text is not scanned again.
  TKivQtRichText again;
  again.SetLines({u"[Title] [title]"});
  again.SubstituteFields({{u"Title", u"[Title]"}});
  EXPECT_EQ(again.Line(0), u"[Title] [Title]");
  // The stream round-trips with the formats.
  TKivQtRichText copy;
  copy.LoadStream(text.SaveStream());
  EXPECT_EQ(copy.Line(0), text.Line(0));
  QTextCursor cc(&copy.Document());
  cc.setPosition(1);
  EXPECT_EQ(cc.charFormat().fontWeight(), QFont::Bold);
}

TEST_F(QtPrintFixture, PrintPagesWritesARealPdf) {
  const QString file = Path("out.pdf");
  SetOutput(file);
  Printer->SetTitle(u"C:\\tmp");
  Printer->Header().SetTemplate({u"[page] / [PagesCount] - [Title]"});
  FakeRenderer renderer(65, 100);  // about 30 rows a page: 3 pages
  Printer->PreparePages(renderer);
  ASSERT_EQ(Printer->GetPagesCount(orAll), 3);
  EXPECT_GT(Printer->HeaderHeight(), 15);
  Printer->PrintPages(orAll, 0, 3);
  Printer->FinalizePages();

  const std::string info = RunTool("pdfinfo", Quote(file));
  EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
  EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
  for (int page = 1; page <= 3; ++page) {
    const std::string text =
        RunTool("pdftotext", "-f " + std::to_string(page) + " -l " + std::to_string(page) + " " + Quote(file) + " -");
    EXPECT_NE(text.find(std::to_string(page) + " / 3 - C:\\tmp"), std::string::npos) << text;
  }
  EXPECT_NE(RunTool("pdftotext", "-f 2 -l 2 " + Quote(file) + " -").find("row 31"), std::string::npos);

  // Page 1 at 72 dpi: nothing left of the 20 mm margin (56.7 px), ink right of it.
  const std::string prefix = Path("page").toStdString();
  RunTool("pdftoppm", "-f 1 -l 1 -r 72 -gray -singlefile " + Quote(file) + " '" + prefix + "'");
  Pgm pgm;
  ASSERT_TRUE(pgm.Load(prefix + ".pgm"));
  EXPECT_EQ(pgm.Width, 595);
  EXPECT_FALSE(pgm.InkIn(0, 55));
  EXPECT_TRUE(pgm.InkIn(57, 120));
}

TEST_F(QtPrintFixture, SavePageWritesOnePagePdfWithEmbeddedFonts) {
  Printer->Header().SetTemplate({u"Page [Page] of [PagesCount]"});
  FakeRenderer renderer(65, 100);
  Printer->PreparePages(renderer);
  const QString file = Path("page2.pdf");
  Printer->SavePage(orAll, 1, file.toStdU16String());
  Printer->FinalizePages();
  const std::string info = RunTool("pdfinfo", Quote(file));
  EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
  EXPECT_NE(RunTool("pdftotext", Quote(file) + " -").find("Page 2 of 3"), std::string::npos);
  // Every font listed is embedded: the "emb" column, fifth from the end.
  const std::string fonts = RunTool("pdffonts", Quote(file));
  std::istringstream lines(fonts);
  std::string line;
  int listed = 0;
  bool body = false;
  while (std::getline(lines, line)) {
    if (line.rfind("---", 0) == 0) {
      body = true;
      continue;
    }
    if (!body || line.empty()) continue;
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    ASSERT_GE(w.size(), 6u) << line;
    EXPECT_EQ(w[w.size() - 5], "yes") << line;
    ++listed;
  }
  EXPECT_GT(listed, 0) << fonts;
}

TEST_F(QtPrintFixture, PdfPrinterNeedsAnOutputFile) {
  FakeRenderer renderer(5, 100);
  Printer->PreparePages(renderer);
  EXPECT_EQ(PrintErrorOf([&] { Printer->PrintPages(orAll, 0, 1); }), "No output file given for the PDF printer");
  EXPECT_FALSE(Printer->DocStarted());
  Printer->FinalizePages();
}
