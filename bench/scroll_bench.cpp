// Scrolling the editor view widget over the 100 MB C corpus (run bench/make_corpus first),
// highlighted with the demo's C scheme, on the offscreen platform in a shown 1000 x 800 window.
// Every figure includes the synchronous repaint of the window (wall time; "cpu_ms" is the
// thread's CPU time beside it):
//  - BM_PageRequest/wrapped/place: a page request of the vertical bar (down and up in turn) at
//    the start, the middle or the end of the text, unwrapped or wrapped to the window;
//  - BM_WheelStep: one wheel step (120 units) down and up in turn in the middle;
//  - BM_ThumbJump: the thumb set to ten places spread over the bar, unwrapped; wrapped, the first
//    jump into text not yet laid out and the jump back to a visited place are counted apart;
//  - BM_AttachAndPaint/wrapped: the document attached and the first screen painted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
#include "BenchSurface.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedView.h"

namespace {

using TClock = std::chrono::steady_clock;

TKivEditDocument* Corpus() {
  static std::unique_ptr<TKivEditDocument> doc;
  if (!doc && std::filesystem::exists(BenchCorpusFile())) {
    doc = std::make_unique<TKivEditDocument>();
    KivDemoFillDocument(*doc);
    doc->LoadFromFile(KivFromUtf8(BenchCorpusFile()));
  }
  return doc.get();
}

struct TBenchView {
  explicit TBenchView(TKivEditDocument& ADoc, bool AWrapped) {
    View.resize(1000, 800);
    View.show();
    QApplication::processEvents();
    if (AWrapped) View.SetWrapMode(wmWrapToWindow);
    View.SetDocument(&ADoc);
    View.viewport()->repaint();
  }
  ~TBenchView() { View.SetDocument(nullptr); }
  TKivEditView View;
};

// Times AFn (wall and CPU) as one iteration.
template <class F>
void Timed(benchmark::State& AState, double& ACpu, F&& AFn) {
  const double cpu0 = BenchThreadCpuMs();
  const auto t0 = TClock::now();
  AFn();
  const auto t1 = TClock::now();
  ACpu += BenchThreadCpuMs() - cpu0;
  AState.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
}

void BM_PageRequest(benchmark::State& AState) {
  TKivEditDocument* doc = Corpus();
  if (!doc) return AState.SkipWithError("corpus missing: run bench/make_corpus");
  TBenchView b(*doc, AState.range(0) != 0);
  QScrollBar* bar = b.View.verticalScrollBar();
  const Integer lines = doc->LinesCount();
  const Integer place = AState.range(1) == 0 ? 0 : AState.range(1) == 1 ? lines / 2 : lines - 200;
  b.View.GotoPhysLine(place);  // not timed: the parser and the layout reach the place once
  b.View.viewport()->repaint();
  bool down = true;
  double cpu = 0;
  for (auto _ : AState) {
    Timed(AState, cpu, [&] {
      bar->triggerAction(down ? QAbstractSlider::SliderPageStepAdd : QAbstractSlider::SliderPageStepSub);
      b.View.viewport()->repaint();
    });
    down = !down;
  }
  AState.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
  AState.counters["top"] = b.View.TopLineScroll();
}

void BM_WheelStep(benchmark::State& AState) {
  TKivEditDocument* doc = Corpus();
  if (!doc) return AState.SkipWithError("corpus missing: run bench/make_corpus");
  TBenchView b(*doc, AState.range(0) != 0);
  b.View.GotoPhysLine(doc->LinesCount() / 2);
  b.View.viewport()->repaint();
  QWidget* vp = b.View.viewport();
  const QPointF pos(500, 400);
  int sign = -1;
  double cpu = 0;
  for (auto _ : AState) {
    Timed(AState, cpu, [&] {
      QWheelEvent event(pos, vp->mapToGlobal(pos), QPoint(), QPoint(0, 120 * sign), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(vp, &event);
      vp->repaint();
    });
    sign = -sign;
  }
  AState.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}

void BM_ThumbJump(benchmark::State& AState) {
  TKivEditDocument* doc = Corpus();
  if (!doc) return AState.SkipWithError("corpus missing: run bench/make_corpus");
  const bool wrapped = AState.range(0) != 0;
  double cpu = 0, worstFirst = 0, worstBack = 0;
  for (auto _ : AState) {
    TBenchView b(*doc, wrapped);
    QScrollBar* bar = b.View.verticalScrollBar();
    double total = 0;
    const auto jump = [&](int APos) {
      const double cpu0 = BenchThreadCpuMs();
      const auto t0 = TClock::now();
      bar->setSliderPosition(APos);
      b.View.viewport()->repaint();
      const double ms = std::chrono::duration<double, std::milli>(TClock::now() - t0).count();
      cpu += BenchThreadCpuMs() - cpu0;
      total += ms;
      return ms;
    };
    const int places = wrapped ? 3 : 10;
    for (int i = 1; i <= places; ++i)
      worstFirst = std::max(worstFirst, jump(bar->maximum() * i / (places + 1)));
    if (wrapped)
      for (int i = 1; i <= places; ++i)
        worstBack = std::max(worstBack, jump(bar->maximum() * i / (places + 1)));
    AState.SetIterationTime(total / 1e3);
  }
  AState.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
  AState.counters["worst_first_ms"] = worstFirst;
  if (wrapped) AState.counters["worst_back_ms"] = worstBack;
}

void BM_AttachAndPaint(benchmark::State& AState) {
  TKivEditDocument* doc = Corpus();
  if (!doc) return AState.SkipWithError("corpus missing: run bench/make_corpus");
  double cpu = 0;
  for (auto _ : AState) {
    TKivEditView view;
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    if (AState.range(0)) view.SetWrapMode(wmWrapToWindow);
    Timed(AState, cpu, [&] {
      view.SetDocument(doc);
      view.viewport()->repaint();
    });
    view.SetDocument(nullptr);
  }
  AState.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_PageRequest)
    ->ArgNames({"wrapped", "place"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WheelStep)
    ->ArgNames({"wrapped"})
    ->Arg(0)
    ->Arg(1)
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThumbJump)
    ->ArgNames({"wrapped"})
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AttachAndPaint)
    ->ArgNames({"wrapped"})
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
