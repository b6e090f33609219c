// Printing: pages of corpus rows printed to the virtual PDF printer, and the per-page work on
// the header and footer (field substitution and measuring) on the QTextDocument holder.
// Figures: PrintPages to PDF >= 150 pages/s of CPU time; header and footer <= 1 ms per page.
// The view print task on the 16 MB C corpus (A4 at 300 dpi, Courier New 10 pt, line numbers):
// pagination <= 2 s CPU; the first and the last 100 pages printed to PDF (pages/s of CPU time,
// the last within 25 % of the first); resident memory growth over the run <= 50 MB.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
#include "BenchSurface.h"
#include "KivDemoData.h"
#include "KivQtPrint.h"
#include "KivSedViewPrintTask.h"

namespace {

constexpr Integer kRowsPerPage = 60;

// The first lines of the 1 MB corpus.
const std::vector<TKivString>& CorpusRows() {
  static const std::vector<TKivString> rows = [] {
    std::vector<TKivString> out;
    std::ifstream in(BenchCorpusPath("c_1mb.txt"));
    std::string line;
    while (out.size() < 20000 && std::getline(in, line)) out.push_back(KivFromUtf8(line));
    if (out.empty()) out.assign(20000, u"static int example_function(int a, int b) { return a + b; }");
    return out;
  }();
  return rows;
}

// 60 corpus rows a page, drawn through the layout's painting surface.
class CorpusRenderer : public TKivPrintRendererBase {
 public:
  void PreparePages(Integer, Integer APageHeight, IKivPrintDevice&) override {
    FRowHeight = std::max(1, APageHeight / kRowsPerPage);
  }
  void FinalizePages() override {}
  Integer GetPagesCount(TKivPrintOperationRange) override {
    return Integer(CorpusRows().size()) / kRowsPerPage;
  }
  void DrawPage(TKivPrintOperationRange, Integer ANum, const TKivPoint& APoint, IKivPrintCanvas& ACanvas) override {
    const auto& rows = CorpusRows();
    IKivPaintSurface& surface = ACanvas.Surface();
    const TKivRect clip{APoint.X, APoint.Y, APoint.X + 4000, APoint.Y + kRowsPerPage * FRowHeight};
    for (Integer r = 0; r < kRowsPerPage; ++r) {
      const TKivString& row = rows[size_t(ANum * kRowsPerPage + r)];
      if (!row.empty())
        surface.DrawText({APoint.X, APoint.Y + r * FRowHeight}, row, nullptr, 0, 0, kivDefaultCharset, clip);
    }
  }

 private:
  Integer FRowHeight = 1;
};

std::unique_ptr<TKivPrinter> MakePrinter() {
  auto printer = std::make_unique<TKivPrinter>(TKivQtPrintDevice::CreatePdf());
  TKivPrinterSettings s = printer->GetPrinter();
  s.OutputFile = QDir::temp().filePath("kiv_print_bench.pdf").toStdU16String();
  printer->SetPrinter(s);
  printer->SetTitle(u"C:\\tmp\\corpus.h");
  printer->Header().SetTemplate({u"[Page] / [PagesCount] - [Title]"});
  printer->Footer().SetTemplate({u"Printed [DateTime]"});
  return printer;
}

void BM_PrintPagesToPdf(benchmark::State& AState) {
  const Integer pages = Integer(AState.range(0));
  auto printer = MakePrinter();
  CorpusRenderer renderer;
  printer->PreparePages(renderer);
  for (auto _ : AState) printer->PrintPages(orAll, 0, pages);
  printer->FinalizePages();
  AState.SetItemsProcessed(AState.iterations() * pages);  // items/s: pages per CPU second
  QFile::remove(QDir::temp().filePath("kiv_print_bench.pdf"));
}

void BM_HeaderFooterPerPage(benchmark::State& AState) {
  auto printer = MakePrinter();
  const Integer width = printer->PageWidthPrintablePixels();
  Integer page = 1;
  for (auto _ : AState) {
    const TKivNameValues vars = printer->FieldValues(page++, 333);
    printer->Header().Fill(vars);
    printer->Footer().Fill(vars);
    benchmark::DoNotOptimize(printer->Header().Filled().Height(width) + printer->Footer().Filled().Height(width));
  }
}

double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// One run: pagination, then the first and the last 100 pages printed.
void BM_ViewPrintTask16Mb(benchmark::State& AState) {
  const double rssStart = ResidentMb();
  TKivEditDocument doc;
  KivDemoFillDocument(doc);
  {
    std::ifstream in(BenchCorpusPath("c_16mb.txt"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    doc.Lines().SetText(KivFromUtf8(bytes));
  }
  BenchHost host;
  TKivEditViewCore view(host);
  view.HostResized();
  view.SetDocument(&doc);
  TKivViewFont font;
  font.Name = u"Courier New";
  font.Size = 10;
  view.SetFont(font);
  auto printer = MakePrinter();
  TKivEditViewPrintTask task;
  task.SetView(&view);
  task.SetPrinter(printer.get());
  task.SetPrintOptions(KivPrintOption(poPrintLineNumbers));
  const double rssLoaded = ResidentMb();
  double paginate = 0, first = 0, last = 0;
  Integer pages = 0;
  for (auto _ : AState) {
    double t = BenchThreadCpuMs();
    task.PreparePages();
    paginate = BenchThreadCpuMs() - t;
    pages = task.PagesCount();
    const Integer n = std::min<Integer>(100, pages);
    t = BenchThreadCpuMs();
    task.Print(0, n);
    first = BenchThreadCpuMs() - t;
    t = BenchThreadCpuMs();
    task.Print(pages - n, n);
    last = BenchThreadCpuMs() - t;
    task.FinalizePages();
  }
  const double rssEnd = ResidentMb();
  AState.counters["pages"] = pages;
  AState.counters["paginate_cpu_ms"] = paginate;
  AState.counters["first100_cpu_ms"] = first;
  AState.counters["last100_cpu_ms"] = last;
  AState.counters["first100_pages_per_s"] = first > 0 ? 100000.0 / first : 0;
  AState.counters["rss_doc_mb"] = rssLoaded - rssStart;
  AState.counters["rss_growth_print_mb"] = rssEnd - rssLoaded;
  QFile::remove(QDir::temp().filePath("kiv_print_bench.pdf"));
}

}  // namespace

BENCHMARK(BM_ViewPrintTask16Mb)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintPagesToPdf)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderFooterPerPage)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
