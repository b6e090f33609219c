// The view's search on the 100 MB C corpus (run bench/make_corpus first), in a shown 1000 x 800
// offscreen widget (wall clock):
//  - BM_IncSearchKeyNextScreen: one incremental-search keystroke whose match lies about a screen
//    below the cursor, with the repaint.
//  - BM_IncSearchKeyNoMatch: one keystroke that finds nothing in the rest of the text (a beep),
//    with the repaint.
//  - BM_ReplaceAllView / BM_ReplaceAllEngine: every whole word "int" replaced by "long" through
//    the view (one undo step, views frozen; the cursor then goes to the last occurrence, near the
//    text's end) and through the document's engine alone; the view's undo of it (its Undo, with
//    the repaint) is the counter undo_ms. Argument 1: the corpus highlighted with the C scheme,
//    so that showing the last occurrence makes the parser run through the text; 0: plain text.
//  - BM_ReplaceAllEngineViewAttached: the engine's replace-all with a shown view on the document
//    (its window stays at the top).
// On a machine shared with other work the wall clock also holds the time spent waiting for a
// processor: the counters split it (*_cpu_ms: the process's CPU time, user and system;
// *_wait_ms / runqueue_wait_ms: the main thread ready but not running; minor_faults: pages
// touched for the first time; *thread_cpu_ms: the main thread's alone, the figure to compare
// the rows by), and call_ms / paint_ms split a replace-all into the view's call and the repaint
// that follows. The replace-alls allocate an undo record per occurrence: one that
// runs after the others reuses the memory they freed (fewer page faults), so compare them each in
// a process of its own (--benchmark_filter).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>

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

// The process's CPU time (all threads, user and system) in milliseconds, and its minor page
// faults so far: with the wall clock they tell waiting from working.
double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}
// The time this thread waited for a processor (ready to run, another task running), milliseconds.
double RunQueueMs() {
  std::ifstream in("/proc/thread-self/schedstat");
  double onCpu = 0, waiting = 0;
  in >> onCpu >> waiting;
  return waiting / 1e6;
}
// This thread's CPU time in milliseconds (the Qt platform's threads left out).
double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}
double MinorFaults() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return double(ru.ru_minflt);
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
  double keyMs = 0, keyCpuMs = 0, paintMs = 0, paintCpuMs = 0, faults = 0, waitMs = 0;
  for (auto _ : AState) {
    AState.PauseTiming();
    view.GotoOffset(0);
    view.InvokeCommand(sedIncrementalSearchStart);
    view.InvokeCommand(sedIncrementalSearchAddChar, prefix);
    view.viewport()->repaint();
    AState.ResumeTiming();
    // Nothing matches the text's start followed by a section sign: the whole text is read, then
    // a beep.
    const auto t0 = TClock::now();
    const double c0 = CpuMs(), f0 = MinorFaults(), w0 = RunQueueMs();
    view.InvokeCommand(sedIncrementalSearchAddChar, TKivString(u"\u00A7"));
    const auto t1 = TClock::now();
    const double c1 = CpuMs();
    view.viewport()->repaint();
    const auto t2 = TClock::now();
    const double c2 = CpuMs(), f2 = MinorFaults(), w2 = RunQueueMs();
    AState.PauseTiming();
    keyMs += Ms(t0, t1);
    keyCpuMs += c1 - c0;
    paintMs += Ms(t1, t2);
    paintCpuMs += c2 - c1;
    faults += f2 - f0;
    waitMs += w2 - w0;
    view.InvokeCommand(sedIncrementalSearchCancel);
    AState.ResumeTiming();
  }
  AState.counters["beeped"] = view.SearchLastArgs().Search == prefix;
  const double n = double(AState.iterations());
  AState.counters["key_ms"] = keyMs / n;
  AState.counters["key_cpu_ms"] = keyCpuMs / n;
  AState.counters["paint_ms"] = paintMs / n;
  AState.counters["paint_cpu_ms"] = paintCpuMs / n;
  AState.counters["minor_faults"] = faults / n;
  AState.counters["runqueue_wait_ms"] = waitMs / n;
}

const TKivEditSearchOptions kReplaceOpts{soCaseSensitive, soWholeWords};

void BM_ReplaceAllView(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  for (auto _ : AState) {
    auto doc = LoadCorpus(AState.range(0) != 0);
    TShownView shown(*doc);
    TKivEditView& view = shown.View;
    const auto t0 = TClock::now();
    const double c0 = CpuMs(), w0 = RunQueueMs(), tc0 = ThreadCpuMs();
    view.ReplaceAll({u"int", u"long", kReplaceOpts, sdForward, ssTextStartEnd}, rbAllText);
    const auto tc = TClock::now();
    const double cc = CpuMs(), wc = RunQueueMs(), tcc = ThreadCpuMs();
    view.viewport()->repaint();
    const auto t1 = TClock::now();
    // The view's own undo (the cursor goes back to where the replace-all began).
    view.Undo();
    view.viewport()->repaint();
    const auto t2 = TClock::now();
    AState.SetIterationTime(Ms(t0, t1) / 1000);
    AState.counters["replaced"] = view.SearchLastNumReplacements();
    AState.counters["call_ms"] = Ms(t0, tc);
    AState.counters["call_cpu_ms"] = cc - c0;
    AState.counters["call_thread_cpu_ms"] = tcc - tc0;
    AState.counters["call_wait_ms"] = wc - w0;
    AState.counters["paint_ms"] = Ms(tc, t1);
    AState.counters["undo_ms"] = Ms(t1, t2);
  }
}

void BM_ReplaceAllEngine(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  for (auto _ : AState) {
    auto doc = LoadCorpus(AState.range(0) != 0);
    const auto t0 = TClock::now();
    const double c0 = CpuMs(), tc0 = ThreadCpuMs();
    auto st = doc->ReplacePatternAll(0, -1, u"int", u"long", kReplaceOpts, sdForward);
    const auto t1 = TClock::now();
    AState.SetIterationTime(Ms(t0, t1) / 1000);
    AState.counters["cpu_ms"] = CpuMs() - c0;
    AState.counters["thread_cpu_ms"] = ThreadCpuMs() - tc0;
  }
}

// The engine's replace-all with a shown view attached to the document (what the view adds to it).
void BM_ReplaceAllEngineViewAttached(benchmark::State& AState) {
  if (!std::filesystem::exists(BenchCorpusFile())) return AState.SkipWithError("corpus missing");
  for (auto _ : AState) {
    auto doc = LoadCorpus(AState.range(0) != 0);
    TShownView shown(*doc);
    const auto t0 = TClock::now();
    const double c0 = CpuMs(), tc0 = ThreadCpuMs();
    auto st = doc->ReplacePatternAll(0, -1, u"int", u"long", kReplaceOpts, sdForward);
    AState.counters["call_cpu_ms"] = CpuMs() - c0;
    AState.counters["call_thread_cpu_ms"] = ThreadCpuMs() - tc0;
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
