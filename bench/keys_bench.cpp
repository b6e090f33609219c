// Keys on the editor view widget over the 100 MB C corpus (run bench/make_corpus first),
// highlighted with the demo's C scheme, on the offscreen platform in a shown 1000 x 800 window:
//  - BM_CtrlDownKeyAndRepaint: Ctrl+Down (sedScrollDown) by QTest::keyClick in the middle of the
//    text, then the window repainted; wall time per key.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <filesystem>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedView.h"

namespace {

void BM_CtrlDownKeyAndRepaint(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  auto doc = std::make_unique<TKivEditDocument>();
  KivDemoFillDocument(*doc);
  doc->LoadFromFile(KivFromUtf8(BenchCorpusFile()));
  TKivEditView view;
  view.resize(1000, 800);
  view.show();
  view.activateWindow();
  if (!QTest::qWaitForWindowActive(&view)) return AState.SkipWithError("window not active");
  view.SetDocument(doc.get());
  view.GotoOffset(doc->GetLineStart(doc->LinesCount() / 2));
  view.viewport()->repaint();  // the parser reaches the middle once, before the timed part
  const Integer top = view.TopLineScroll();
  for (auto _ : AState) {
    QTest::keyClick(&view, Qt::Key_Down, Qt::ControlModifier);
    view.viewport()->repaint();
  }
  AState.counters["lines_scrolled"] = view.TopLineScroll() - top;
  view.SetDocument(nullptr);
}

}  // namespace

BENCHMARK(BM_CtrlDownKeyAndRepaint)->Iterations(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
