// The view's search on the 100 MB C corpus (run bench/make_corpus first), in a shown 1000 x 800
// offscreen widget (wall clock):
//  - BM_IncSearchKeyNextScreen: one incremental-search keystroke whose match lies about a screen
//    below the cursor, with the repaint.
//  - BM_IncSearchKeyNoMatch: one keystroke that finds nothing in the rest of the text (a beep),
//    with the repaint.
//  - BM_ReplaceAllView / BM_ReplaceAllEngine: every whole word "int" replaced by "long" through
//    the view (one undo step, views frozen; the cursor then goes to the last occurrence, near the
//    text's end) and through the document's engine alone; the view's undo of it is the counter
//    undo_ms. Argument 1: the corpus highlighted with the C scheme, so that showing the last
//    occurrence makes the parser run through the text; 0: plain text.
//  - BM_ReplaceAllEngineViewAttached: the engine's replace-all with a shown view on the document
//    (its window stays at the top).
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

// AHighlighted: with the demo's schemes (the C scheme highlights the corpus), else plain text.
std::unique_ptr<TKivEditDocument> LoadCorpus(bool AHighlighted = true) {
  auto doc = std::make_unique<TKivEditDocument>();
  if (AHighlighted) KivDemoFillDocument(*doc);
  doc->LoadFromFile(KivFromUtf8(BenchCorpusFile()));
  return doc;
}

double Ms(TClock::time_point A, TClock::time_point B) {
  return std::chrono::duration<double, std::milli>(B - A).count();
}

struct TShownView {
  explicit TShownView(TKivEditDocument& ADoc) {
    View.resize(1000, 800);
    View.show();
    View.SetDocument(&ADoc);
    QApplication::processEvents();
  }
  ~TShownView() { View.SetDocument(nullptr); }
  TKivEditView View;
};

void BM_IncSearchKeyNextScreen(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  auto doc = LoadCorpus();
  TShownView shown(*doc);
  TKivEditView& view = shown.View;
  const Integer line = doc->LinesCount() / 2;
  // A text from a line a screen further down: its match lies in the next screen.
  Integer target = line + 60;
  while (doc->GetLineText(target).size() < 12) ++target;
  const TKivString text = doc->GetLineText(target).substr(0, 12);
  const TKivString prefix = text.substr(0, text.size() - 1);
  const TKivString last = text.substr(text.size() - 1);
  for (auto _ : AState) {
    AState.PauseTiming();
    view.GotoPhysLine(line);
    view.viewport()->repaint();
    view.InvokeCommand(sedIncrementalSearchStart);
    view.InvokeCommand(sedIncrementalSearchAddChar, prefix);
    view.viewport()->repaint();
    AState.ResumeTiming();
    view.InvokeCommand(sedIncrementalSearchAddChar, last);
    view.viewport()->repaint();
    AState.PauseTiming();
    view.InvokeCommand(sedIncrementalSearchCancel);
    AState.ResumeTiming();
  }
  AState.counters["match_line_offset"] = double(doc->GetLineByOffset(view.CursorOffset()) - line);
}

void BM_IncSearchKeyNoMatch(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  auto doc = LoadCorpus();
  TShownView shown(*doc);
  TKivEditView& view = shown.View;
  const TKivString prefix = doc->GetText(0, 6);
  for (auto _ : AState) {
    AState.PauseTiming();
    view.GotoOffset(0);
    view.InvokeCommand(sedIncrementalSearchStart);
    view.InvokeCommand(sedIncrementalSearchAddChar, prefix);
    view.viewport()->repaint();
    AState.ResumeTiming();
    // Nothing matches the text's start followed by a section sign: the whole text is read, then
    // a beep.
    view.InvokeCommand(sedIncrementalSearchAddChar, TKivString(u"\u00A7"));
    view.viewport()->repaint();
    AState.PauseTiming();
    view.InvokeCommand(sedIncrementalSearchCancel);
    AState.ResumeTiming();
  }
  AState.counters["beeped"] = view.SearchLastArgs().Search == prefix;
}

const TKivEditSearchOptions kReplaceOpts{soCaseSensitive, soWholeWords};

void BM_ReplaceAllView(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  for (auto _ : AState) {
    auto doc = LoadCorpus(AState.range(0) != 0);
    TShownView shown(*doc);
    TKivEditView& view = shown.View;
    const auto t0 = TClock::now();
    view.ReplaceAll({u"int", u"long", kReplaceOpts, sdForward, ssTextStartEnd}, rbAllText);
    view.viewport()->repaint();
    const auto t1 = TClock::now();
    TKivDocUndoInfoPtr old;
    doc->Internal().Undo(view.AuthorID(), nullptr, old);
    view.viewport()->repaint();
    const auto t2 = TClock::now();
    AState.SetIterationTime(Ms(t0, t1) / 1000);
    AState.counters["replaced"] = view.SearchLastNumReplacements();
    AState.counters["undo_ms"] = Ms(t1, t2);
  }
}

void BM_ReplaceAllEngine(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  for (auto _ : AState) {
    auto doc = LoadCorpus(AState.range(0) != 0);
    const auto t0 = TClock::now();
    auto st = doc->ReplacePatternAll(0, -1, u"int", u"long", kReplaceOpts, sdForward);
    const auto t1 = TClock::now();
    AState.SetIterationTime(Ms(t0, t1) / 1000);
  }
}

// The engine's replace-all with a shown view attached to the document (what the view adds to it).
void BM_ReplaceAllEngineViewAttached(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  for (auto _ : AState) {
    auto doc = LoadCorpus(AState.range(0) != 0);
    TShownView shown(*doc);
    const auto t0 = TClock::now();
    auto st = doc->ReplacePatternAll(0, -1, u"int", u"long", kReplaceOpts, sdForward);
    shown.View.viewport()->repaint();
    const auto t1 = TClock::now();
    doc->Undo();
    const auto t2 = TClock::now();
    AState.SetIterationTime(Ms(t0, t1) / 1000);
    AState.counters["undo_ms"] = Ms(t1, t2);
  }
}

}  // namespace

BENCHMARK(BM_IncSearchKeyNextScreen)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IncSearchKeyNoMatch)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllView)->Arg(0)->Arg(1)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllEngineViewAttached)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllEngine)->Arg(0)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
