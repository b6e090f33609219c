// The view core on the 100 MB C corpus (run bench/make_corpus first) with a fixed-width surface
// and a window of 50 rows that records nothing: opening the text in the view (load, attach,
// first layout of the screen), and one character typed through the document in the middle of the
// text with the view showing that place (the view's bracket: layout, dirty rows, caret, scroll
// bars, report). Painting itself is not part of these figures.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "BenchCorpus.h"
#include "BenchSurface.h"
#include "KivSedDocument.h"
#include "KivSedViewCore.h"

namespace {

using TClock = std::chrono::steady_clock;

bool CorpusExists(benchmark::State& AState) {
  if (std::filesystem::exists(BenchCorpusFile())) return true;
  AState.SkipWithError("corpus missing: run bench/make_corpus");
  return false;
}

void BM_OpenInView(benchmark::State& AState) {
  if (!CorpusExists(AState)) return;
  for (auto _ : AState) {
    BenchHost host;
    TKivEditViewCore view(host);
    TKivEditDocument doc;
    const auto t0 = TClock::now();
    doc.LoadFromFile(KivFromUtf8(BenchCorpusFile()));
    const auto t1 = TClock::now();
    view.SetDocument(&doc);
    view.HostResized();
    const auto t2 = TClock::now();
    AState.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
    AState.counters["load_ms"] = std::chrono::duration<double, std::milli>(t1 - t0).count();
    AState.counters["attach_ms"] = std::chrono::duration<double, std::milli>(t2 - t1).count();
    AState.counters["rows"] = view.LinesOnScreenScroll();
    view.SetDocument(nullptr);
  }
}

void BM_TypeInMiddle(benchmark::State& AState) {
  if (!CorpusExists(AState)) return;
  BenchHost host;
  TKivEditViewCore view(host);
  TKivEditDocument doc;
  doc.LoadFromFile(KivFromUtf8(BenchCorpusFile()));
  view.SetWrapMode(AState.range(0) ? wmWrapToRuler : wmNoWrap);
  view.SetDocument(&doc);
  view.HostResized();
  const Integer mid = doc.GetLineStart(doc.LinesCount() / 2) + 3;
  view.GotoOffset(mid);
  bool inserted = false;
  for (auto _ : AState) {
    if (inserted)
      doc.Delete(mid, 1);
    else
      doc.Insert(mid, u"x");
    inserted = !inserted;
  }
  AState.counters["rows_repainted"] =
      benchmark::Counter(double(host.Rows), benchmark::Counter::kAvgIterations);
  view.SetDocument(nullptr);
}

}  // namespace

BENCHMARK(BM_OpenInView)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeInMiddle)
    ->ArgNames({"wrapped"})
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);
