// Actions of the view core that must not walk the whole 100 MB C corpus (run bench/make_corpus
// first), with the demo's C scheme, a fixed-width surface and a focused window of 1000 x 800
// pixels that records nothing. Each iteration sets up a new view on the loaded document (not
// timed) and times one action, wall time and CPU time of this thread:
//  - WrapOn: wrap to the window switched on with the window at the start of the text;
//  - ResizeWrapped: wrapped to the window, the window made narrower;
//  - FoldAll: every fold of the text collapsed, in steps run from the host's event loop: the
//    figure is the first step (the call); "steps", "max_step_ms" and "all_steps_ms" (wall) follow
//    the rest (and "max_step_cpu_ms");
//  - UndoMiddleShowingEnd: a character typed in the middle of the text while the window shows
//    its end is undone (the window stays at the end).
// Painting is not part of these figures.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

#include "BenchCorpus.h"
#include "BenchSurface.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedViewCore.h"

namespace {

using TClock = std::chrono::steady_clock;

// The corpus once per process, highlighted with the demo's C scheme.
TKivEditDocument* Corpus() {
  static std::unique_ptr<TKivEditDocument> doc;
  if (!doc && std::filesystem::exists(BenchCorpusFile())) {
    doc = std::make_unique<TKivEditDocument>();
    KivDemoFillDocument(*doc);
    doc->LoadFromFile(KivFromUtf8(BenchCorpusFile()));
    doc->SetActiveSyntaxScheme(u"C");
  }
  return doc.get();
}

enum TAction { aWrapOn, aResizeWrapped, aFoldAll, aUndoMiddle };

void BM_WholeDocAction(benchmark::State& AState) {
  TKivEditDocument* doc = Corpus();
  if (!doc) {
    AState.SkipWithError("corpus missing: run bench/make_corpus");
    return;
  }
  const auto action = TAction(AState.range(0));
  double cpuTotal = 0;
  for (auto _ : AState) {
    doc->ClearUndo();
    BenchHost host;
    host.Area = {0, 0, 1000, 800};
    TKivEditViewCore view(host);
    view.SetDocument(doc);
    view.HostResized();
    const Integer mid = doc->GetLineStart(doc->LinesCount() / 2) + 3;
    if (action == aResizeWrapped) view.SetWrapMode(wmWrapToWindow);
    if (action == aUndoMiddle) {
      view.GotoOffset(mid);
      doc->Internal().InsertStr(mid, u"x", view.AuthorID(), nullptr);
      view.SetTopLineScroll(doc->LinesCount());
    }
    const double cpu0 = BenchThreadCpuMs();
    const auto t0 = TClock::now();
    switch (action) {
      case aWrapOn:
        view.SetWrapMode(wmWrapToWindow);
        break;
      case aResizeWrapped:
        host.Area.Right = 700;
        view.HostResized();
        break;
      case aFoldAll:
        view.FoldAllIn(-1);
        break;
      case aUndoMiddle: {
        TKivDocUndoInfoPtr old;
        doc->Internal().Undo(view.AuthorID(), nullptr, old);
        break;
      }
    }
    const auto t1 = TClock::now();
    cpuTotal += BenchThreadCpuMs() - cpu0;
    AState.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    // Steps left for the event loop, each timed.
    const BenchStepTimes times = RunBenchSteps(host);
    if (!times.Wall.empty()) {
      AState.counters["steps"] = double(times.Wall.size());
      AState.counters["max_step_ms"] = *std::max_element(times.Wall.begin(), times.Wall.end());
      AState.counters["max_step_cpu_ms"] = *std::max_element(times.Cpu.begin(), times.Cpu.end());
      AState.counters["steps_over_50ms_cpu"] =
          double(std::count_if(times.Cpu.begin(), times.Cpu.end(), [](double ms) { return ms > 50; }));
      AState.counters["all_steps_ms"] = std::accumulate(times.Wall.begin(), times.Wall.end(), 0.0);
    }
    AState.counters["top"] = view.TopLineScroll();
    AState.counters["bar_max"] = host.Vert.Max;
    view.SetDocument(nullptr);
  }
  AState.counters["cpu_ms"] = benchmark::Counter(cpuTotal, benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_WholeDocAction)
    ->ArgNames({"action"})
    ->Arg(aWrapOn)
    ->Arg(aResizeWrapped)
    ->Arg(aFoldAll)
    ->Arg(aUndoMiddle)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
