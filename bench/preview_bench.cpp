// The print preview on a long document: 8,000 pages of 60 corpus rows each (what printing the
// 16 MB corpus gives), with a header and a footer, on the virtual PDF printer.
// Figures (wall time, the page painted): opening the preview to its first page shown <= 100 ms;
// the page spin to a middle page <= 50 ms; one zoom step <= 50 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <chrono>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
#include "KivPrintPreviewDlg.h"
#include "KivQtPrint.h"

namespace {

constexpr Integer kPages = 8000;
constexpr Integer kRowsPerPage = 60;

// The rows of the 16 MB corpus (a stand-in line when it is missing).
const std::vector<TKivString>& CorpusRows() {
  static const std::vector<TKivString> rows = [] {
    std::vector<TKivString> out;
    std::ifstream in(BenchCorpusPath("c_16mb.txt"));
    std::string line;
    while (std::getline(in, line)) out.push_back(KivFromUtf8(line));
    if (out.empty()) out.assign(1000, u"static int example_function(int a, int b) { return a + b; }");
    return out;
  }();
  return rows;
}

// 8,000 pages of 60 corpus rows, drawn through the layout's painting surface.
class CorpusPages : public TKivPrintRendererBase {
 public:
  void PreparePages(Integer, Integer APageHeight, IKivPrintDevice&) override {
    FRowHeight = std::max(1, APageHeight / kRowsPerPage);
  }
  void FinalizePages() override {}
  Integer GetPagesCount(TKivPrintOperationRange) override { return kPages; }
  void DrawPage(TKivPrintOperationRange, Integer ANum, const TKivPoint& APoint, IKivPrintCanvas& ACanvas) override {
    const auto& rows = CorpusRows();
    IKivPaintSurface& surface = ACanvas.Surface();
    const TKivRect clip{APoint.X, APoint.Y, APoint.X + 4000, APoint.Y + kRowsPerPage * FRowHeight};
    for (Integer r = 0; r < kRowsPerPage; ++r) {
      const TKivString& row = rows[size_t(ANum * kRowsPerPage + r) % rows.size()];
      if (!row.empty())
        surface.DrawText({APoint.X, APoint.Y + r * FRowHeight}, row, nullptr, 0, 0, kivDefaultCharset, clip);
    }
  }

 private:
  Integer FRowHeight = 1;
};

struct TSetup {
  TKivPrinter Printer{TKivQtPrintDevice::CreatePdf()};
  CorpusPages Pages;
  TSetup() {
    Printer.SetTitle(u"corpus.c");
    Printer.Header().SetTemplate({u"[Page] / [PagesCount] - [Title]"});
    Printer.Footer().SetTemplate({u"Printed [DateTime]"});
    Printer.PreparePages(Pages);
  }
  ~TSetup() { Printer.FinalizePages(); }
};

TSetup& Setup() {
  static TSetup setup;
  return setup;
}

// Paints the panel now, as the next paint event would (also on a window not yet exposed).
void Show(TKivPrintPreviewForm& AForm) {
  benchmark::DoNotOptimize(AForm.PreviewPanel()->PaintPanel()->grab());
}

// Pages painted into images per iteration: 1 when every step shows a page not painted before.
void CountRenders(benchmark::State& AState, Integer ARenders) {
  AState.counters["pages_rendered"] = benchmark::Counter(double(ARenders), benchmark::Counter::kAvgIterations);
}

// Opens the preview and paints its first page.
std::unique_ptr<TKivPrintPreviewForm> OpenPreview(TSetup& ASetup) {
  auto form = std::make_unique<TKivPrintPreviewForm>();
  form->show();
  form->PreviewPanel()->SetPrinterHelper(&ASetup.Printer.PrinterHelper());
  Show(*form);
  return form;
}

// The first opening in a process also pays once for what Qt sets up on first use (the font
// database, the PDF printer's fonts, the toolbar's icons); it is reported apart, as the counter
// first_open_ms (wall time) and first_open_cpu_ms, and the timed openings are the later ones.
void BM_PreviewOpen(benchmark::State& AState) {
  TSetup& setup = Setup();
  static double firstOpenCpuMs = 0;
  static double firstOpenMs = [&] {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    auto form = OpenPreview(setup);
    firstOpenCpuMs = double(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    form->PreviewPanel()->SetPrinterHelper(nullptr);
    return took.count();
  }();
  Integer renders = 0;
  for (auto _ : AState) {
    auto form = OpenPreview(setup);
    AState.PauseTiming();
    renders += form->PreviewPanel()->RenderCount();
    form->PreviewPanel()->SetPrinterHelper(nullptr);
    form.reset();
    AState.ResumeTiming();
  }
  CountRenders(AState, renders);
  AState.counters["first_open_ms"] = firstOpenMs;
  AState.counters["first_open_cpu_ms"] = firstOpenCpuMs;
}

void BM_PreviewSpinToMiddlePage(benchmark::State& AState) {
  TSetup& setup = Setup();
  TKivPrintPreviewForm form;
  form.show();
  form.PreviewPanel()->SetPrinterHelper(&setup.Printer.PrinterHelper());
  Show(form);
  QSpinBox* spin = form.ToolBar()->PageSpin();
  int page = kPages / 2;
  for (auto _ : AState) {
    spin->setValue(++page);  // a page not painted before
    Show(form);
  }
  CountRenders(AState, form.PreviewPanel()->RenderCount() - 1);
  form.PreviewPanel()->SetPrinterHelper(nullptr);
}

void BM_PreviewZoomStep(benchmark::State& AState) {
  TSetup& setup = Setup();
  TKivPrintPreviewForm form;
  form.show();
  form.PreviewPanel()->SetPrinterHelper(&setup.Printer.PrinterHelper());
  form.PreviewPanel()->SetCurrentPage(kPages / 2);
  Show(form);
  QToolButton* in = form.ToolBar()->GetButton(tbZoomIn);
  QToolButton* out = form.ToolBar()->GetButton(tbZoomOut);
  bool zoomIn = true;
  for (auto _ : AState) {
    QTest::mouseClick(zoomIn ? in : out, Qt::LeftButton);  // 100 % <-> 150 %
    Show(form);
    zoomIn = !zoomIn;
  }
  CountRenders(AState, form.PreviewPanel()->RenderCount() - 1);
  form.PreviewPanel()->SetPrinterHelper(nullptr);
}

}  // namespace

BENCHMARK(BM_PreviewOpen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewSpinToMiddlePage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewZoomStep)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
