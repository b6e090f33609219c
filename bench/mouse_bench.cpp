// The editor view's mouse on the 100 MB C corpus (run bench/make_corpus first) in a shown
// 1000 x 800 offscreen window, the demo's C scheme, the view in the middle of the text; wall
// time per step, each including the repaint of the window:
//  - BM_ClickInText: a press and release in the text (two cells taken in turn).
//  - BM_MoveExtendsSelection: with the left button held, a move one row down or back up.
//  - BM_AutoScrollTick: one tick of auto-scroll with the mouse held below the window.
//  - BM_GutterWidth: the gutter's width (the line-number bar as wide as "2850000" or so) after
//    the first call.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <filesystem>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedView.h"

namespace {

struct CorpusView {
  CorpusView() {
    KivDemoFillDocument(Doc);
    Doc.LoadFromFile(KivFromUtf8(BenchCorpusFile()));
    View.resize(1000, 800);
    View.show();
    View.setFocus();
    View.SetDocument(&Doc);
    View.GotoOffset(Doc.GetLineStart(Doc.LinesCount() / 2));
    View.viewport()->repaint();  // the parser reaches the middle once, before the timed part
  }
  ~CorpusView() { View.SetDocument(nullptr); }
  QPoint Cell(Integer ACol, Integer ARow) {
    TKivRect r;
    View.ScrollPosToClient({ACol, View.TopLineScroll() + ARow}, r);
    return {r.Left + 1, r.Top + 2};
  }
  void Send(QEvent::Type AType, const QPoint& APos, Qt::MouseButton AButton, Qt::MouseButtons AButtons) {
    QMouseEvent event(AType, APos, View.viewport()->mapToGlobal(APos), AButton, AButtons, Qt::NoModifier);
    QApplication::sendEvent(View.viewport(), &event);
  }
  TKivEditDocument Doc;
  TKivEditView View;
};

bool HaveCorpus(benchmark::State& AState) {
  if (std::filesystem::exists(BenchCorpusFile())) return true;
  AState.SkipWithError("corpus missing");
  return false;
}

void BM_ClickInText(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  CorpusView v;
  const QPoint a = v.Cell(3, 5), b = v.Cell(9, 12);
  bool first = true;
  for (auto _ : AState) {
    const QPoint p = first ? a : b;
    first = !first;
    v.Send(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
    v.Send(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    v.View.viewport()->repaint();
  }
}

void BM_MoveExtendsSelection(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  CorpusView v;
  const QPoint start = v.Cell(3, 5), down = v.Cell(3, 20), down2 = v.Cell(3, 21);
  v.Send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  v.Send(QEvent::MouseMove, down, Qt::NoButton, Qt::LeftButton);
  bool second = true;
  for (auto _ : AState) {
    v.Send(QEvent::MouseMove, second ? down2 : down, Qt::NoButton, Qt::LeftButton);
    second = !second;
    v.View.viewport()->repaint();
  }
  v.Send(QEvent::MouseButtonRelease, down, Qt::LeftButton, Qt::NoButton);
}

void BM_AutoScrollTick(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  CorpusView v;
  const QPoint start = v.Cell(3, 5);
  const QPoint below(start.x(), v.View.viewport()->height() + 4);
  v.Send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  v.Send(QEvent::MouseMove, below, Qt::NoButton, Qt::LeftButton);
  IKivTimer* timer = v.View.AutoScrollTimer();
  if (!timer || !timer->Active()) return AState.SkipWithError("auto-scroll did not start");
  for (auto _ : AState) {
    timer->OnTick();
    v.View.viewport()->repaint();
  }
  v.Send(QEvent::MouseButtonRelease, below, Qt::LeftButton, Qt::NoButton);
}

void BM_GutterWidth(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  CorpusView v;
  AState.counters["lines"] = v.Doc.LinesCount();
  benchmark::DoNotOptimize(v.View.Gutter().GetWidth());
  for (auto _ : AState) benchmark::DoNotOptimize(v.View.Gutter().GetWidth());
}

}  // namespace

BENCHMARK(BM_ClickInText)->Iterations(400)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveExtendsSelection)->Iterations(400)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AutoScrollTick)->Iterations(400)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GutterWidth)->UseRealTime()->Unit(benchmark::kNanosecond);

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
