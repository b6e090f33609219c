// A view printed through the Qt print device into a real PDF: the demo's 75-line sample with
// line numbers, read back with poppler's tools (pdfinfo, pdftotext, pdftoppm).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <regex>

#include "KivDemoData.h"
#include "KivQtPrint.h"
#include "KivSedViewPrintTask.h"
#include "PrintFakes.h"
#include "RecordingViewHost.h"

namespace {

// The standard output of a poppler tool; a test failure when it is missing or fails.
std::string RunPoppler(const std::string& ACommand) {
  std::string out;
  FILE* pipe = popen((ACommand + " 2>&1").c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << ACommand;
    return {};
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  EXPECT_EQ(pclose(pipe), 0) << ACommand << ":\n" << out;
  return out;
}

// A binary colour PPM (P6) as pdftoppm writes it.
struct Ppm {
  int Width = 0, Height = 0;
  std::vector<unsigned char> Pixels;
  bool Load(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> Width >> Height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255 || Width <= 0 || Height <= 0) return false;
    Pixels.resize(size_t(Width) * size_t(Height) * 3);
    in.read(reinterpret_cast<char*>(Pixels.data()), std::streamsize(Pixels.size()));
    return bool(in);
  }
  // Pixels within ATolerance of the colour in every channel.
  int Count(int AR, int AG, int AB, int ATolerance) const {
    int n = 0;
    for (size_t i = 0; i + 2 < Pixels.size(); i += 3)
      if (std::abs(Pixels[i] - AR) <= ATolerance && std::abs(Pixels[i + 1] - AG) <= ATolerance &&
          std::abs(Pixels[i + 2] - AB) <= ATolerance)
        ++n;
    return n;
  }
};

}  // namespace

TEST(ViewPrintPdf, TheSamplePrintsWithNumbersAndTokenColoursButNoSelection) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string file = dir.filePath("view.pdf").toStdString();

  TKivEditDocument doc;
  KivDemoFillDocument(doc);
  ASSERT_EQ(doc.LinesCount(), 75);
  RecordingHost host;
  TKivEditViewCore view(host);
  view.HostResized();
  view.SetDocument(&doc);
  view.SetSelection({0, 2}, {5, 20});
  ASSERT_TRUE(view.SelAvail());

  FakeLocale locale;
  TKivPrinter printer(TKivQtPrintDevice::CreatePdf(), &locale);
  TKivPrinterSettings s = printer.GetPrinter();
  s.OutputFile = KivFromUtf8(file);
  printer.SetPrinter(s);

  TKivEditViewPrintTask task;
  task.SetView(&view);
  task.SetPrinter(&printer);
  task.SetPrintOptions(KivPrintOption(poPrintLineNumbers));
  task.PreparePages();
  const Integer pages = task.PagesCount();
  EXPECT_GE(pages, 1);
  EXPECT_GT(task.Renderer().LineHeight(), task.Renderer().PrintFont().PixelSize);
  task.Print();
  task.FinalizePages();

  const std::string info = RunPoppler("pdfinfo '" + file + "'");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)"))) << info;
  EXPECT_EQ(std::stoi(m[1]), pages);

  const std::string text = RunPoppler("pdftotext -layout '" + file + "' -");
  for (int n : {1, 10, 20, 30, 40, 50, 60, 70})
    EXPECT_TRUE(std::regex_search(text, std::regex("(^|\\n)\\s*" + std::to_string(n) + "\\s")))
        << n << "\n" << text;
  EXPECT_NE(text.find("#include <stdio.h>"), std::string::npos) << text;
  EXPECT_NE(text.find("#include <stdlib.h>"), std::string::npos) << text;

  const std::string prefix = dir.filePath("page").toStdString();
  RunPoppler("pdftoppm -f 1 -l 1 -r 100 -singlefile '" + file + "' '" + prefix + "'");
  Ppm ppm;
  ASSERT_TRUE(ppm.Load(prefix + ".ppm"));
  EXPECT_GT(ppm.Count(0, 128, 128, 24), 20);  // preprocessor teal
  EXPECT_GT(ppm.Count(0, 128, 0, 24), 20);    // comment green
  EXPECT_EQ(ppm.Count(0x53, 0x6D, 0xA5, 12), 0);  // the selection's background
}
