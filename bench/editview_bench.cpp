// The editor view widget on the 100 MB C corpus (run bench/make_corpus first), highlighted with
// the demo's C scheme, on the offscreen platform in a shown 1000 x 800 window:
//  - BM_OpenCorpusInView: load the file, attach it to the view, paint the first screen.
//  - BM_TypeAndRepaint: one character typed through the document in the middle of the text with
//    the view showing that place, then the window repainted (each iteration one keystroke).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <filesystem>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedView.h"

namespace {

using TClock = std::chrono::steady_clock;

std::unique_ptr<TKivEditDocument> LoadCorpus() {
  auto doc = std::make_unique<TKivEditDocument>();
  KivDemoFillDocument(*doc);
  doc->LoadFromFile(KivFromUtf8(BenchCorpusFile()));
  return doc;
}

void BM_OpenCorpusInView(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  for (auto _ : AState) {
    TKivEditView view;
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    const auto t0 = TClock::now();
    auto doc = LoadCorpus();
    const auto t1 = TClock::now();
    view.SetDocument(doc.get());
    view.viewport()->repaint();
    const auto t2 = TClock::now();
    AState.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
    AState.counters["load_ms"] = std::chrono::duration<double, std::milli>(t1 - t0).count();
    AState.counters["attach_paint_ms"] = std::chrono::duration<double, std::milli>(t2 - t1).count();
    view.SetDocument(nullptr);
  }
}

void BM_TypeAndRepaint(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  auto doc = LoadCorpus();
  TKivEditView view;
  view.resize(1000, 800);
  view.show();
  view.SetDocument(doc.get());
  const Integer mid = doc->GetLineStart(doc->LinesCount() / 2) + 3;
  view.GotoOffset(mid);
  view.viewport()->repaint();  // the parser reaches the middle once, before the timed part
  bool inserted = false;
  for (auto _ : AState) {
    if (inserted)
      doc->Delete(mid, 1);
    else
      doc->Insert(mid, u"x");
    inserted = !inserted;
    view.viewport()->repaint();
  }
  view.SetDocument(nullptr);
}

}  // namespace

BENCHMARK(BM_OpenCorpusInView)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeAndRepaint)->Iterations(500)->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
