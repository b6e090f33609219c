// Cursor moves, selection and the clipboard on the editor view widget over the 100 MB C corpus
// (run bench/make_corpus first), highlighted with the demo's C scheme, on the offscreen platform
// in a shown 1000 x 800 window. Wall time unless said otherwise; the counter thread_cpu_ms is the
// timed part's CPU time of the main thread (user and system, so page faults count).
//  - BM_CoreMove/<command>/<place>: one cursor move through the view core's command (Right,
//    Down or Ctrl+Right; no key event, no painting) at the start, the middle or the end of the
//    text. The iterations alternate the move and its opposite (Left, Up, Ctrl+Left), so the
//    cursor stays at its place; each iteration is one move.
//  - BM_PageDownKeyAndRepaint: PageDown by QTest::keyClick from the middle of the text, then the
//    window repainted (the tokenizer reaches each new page as it is shown).
//  - BM_SelectAllAndCopy: Ctrl+A then Ctrl+C by keys from the middle of the text, the whole text
//    put on QClipboard; the counters select_all_ms (Ctrl+A alone), core_text_ms (SelectedText
//    alone, not timed) and first_select_all_ms (the view's first Ctrl+A, before the iterations).
//  - BM_Paste16MB / BM_UndoPaste16MB: Ctrl+V of the 16 MB corpus (on QClipboard beforehand) at
//    the start of a line in the middle, then the window repainted; and Ctrl+Z of that paste with
//    its repaint (the other half is not timed).
//  - BM_CopyBlock10000x40: Ctrl+C of a block selection of 10,000 rows by 40 columns in the
//    middle into QClipboard; the counter core_ms is the block's text alone (SelectedText).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
#include "BenchSurface.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedView.h"

namespace {

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point AStart) {
  return std::chrono::duration<double, std::milli>(TClock::now() - AStart).count();
}

// The corpus loaded once, in a shown window.
struct TBenchView {
  std::unique_ptr<TKivEditDocument> Doc;
  std::unique_ptr<TKivEditView> View;
  bool Ok = false;
  TBenchView() {
    if (!std::filesystem::exists(BenchCorpusFile())) return;
    Doc = std::make_unique<TKivEditDocument>();
    KivDemoFillDocument(*Doc);
    Doc->LoadFromFile(KivFromUtf8(BenchCorpusFile()));
    View = std::make_unique<TKivEditView>();
    View->resize(1000, 800);
    View->show();
    View->activateWindow();
    Ok = QTest::qWaitForWindowActive(View.get());
    View->SetDocument(Doc.get());
    View->setFocus();
  }
  ~TBenchView() {
    if (View) View->SetDocument(nullptr);
  }
  // The cursor at a line's start, shown, the window repainted once.
  void GoToLine(Integer ALine) {
    View->CancelSelection();
    View->GotoPhysLine(ALine);
    View->SetCursorOffset(Doc->GetLineStart(ALine));
    View->viewport()->repaint();
  }
};

// Made once and never destroyed: the window must not outlive the application object.
TBenchView& Bench() {
  static TBenchView* bench = new TBenchView;
  return *bench;
}

Integer PlaceLine(TBenchView& b, int64_t APlace) {
  const Integer lines = b.Doc->LinesCount();
  return APlace == 0 ? 0 : APlace == 1 ? lines / 2 : lines - 2;
}

void BM_CoreMove(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  static const TKivEditCommand forward[] = {sedRight, sedDown, sedNextWord};
  static const TKivEditCommand back[] = {sedLeft, sedUp, sedPrevWord};
  const int64_t command = AState.range(0);
  b.GoToLine(PlaceLine(b, AState.range(1)));
  const TKivPoint start = b.View->CursorPos();
  bool there = false;
  for (auto _ : AState) {
    b.View->InvokeCommand(there ? back[command] : forward[command]);
    there = !there;
  }
  // The moves went and came back: the cursor is where it started (or one move away).
  const TKivPoint end = b.View->CursorPos();
  AState.counters["moved_rows"] = double(end.Y - start.Y);
  AState.counters["line"] = double(start.Y);
  b.View->viewport()->repaint();
}

void BM_PageDownKeyAndRepaint(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  b.GoToLine(b.Doc->LinesCount() / 2);
  const Integer top = b.View->TopLineScroll();
  for (auto _ : AState) {
    QTest::keyClick(b.View.get(), Qt::Key_PageDown);
    b.View->viewport()->repaint();
  }
  AState.counters["lines_per_page"] =
      benchmark::Counter(double(b.View->TopLineScroll() - top), benchmark::Counter::kAvgIterations);
}

void BM_SelectAllAndCopy(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  b.GoToLine(b.Doc->LinesCount() / 2);
  // The first select all of the view, apart: the cursor goes to the end of the text once.
  auto start = TClock::now();
  QTest::keyClick(b.View.get(), Qt::Key_A, Qt::ControlModifier);
  AState.counters["first_select_all_ms"] = MsSince(start);
  double selectMs = 0, coreMs = 0, cpuMs = 0;
  for (auto _ : AState) {
    AState.PauseTiming();
    b.GoToLine(b.Doc->LinesCount() / 2);
    QApplication::clipboard()->clear();
    AState.ResumeTiming();
    const double cpu = BenchThreadCpuMs();
    start = TClock::now();
    QTest::keyClick(b.View.get(), Qt::Key_A, Qt::ControlModifier);
    selectMs += MsSince(start);
    QTest::keyClick(b.View.get(), Qt::Key_C, Qt::ControlModifier);
    AState.SetIterationTime(MsSince(start) / 1000.0);
    cpuMs += BenchThreadCpuMs() - cpu;
    AState.PauseTiming();
    AState.counters["copied_mchars"] = double(QApplication::clipboard()->text().size()) / 1e6;
    const auto text = TClock::now();
    benchmark::DoNotOptimize(b.View->SelectedText().size());
    coreMs += MsSince(text);
    AState.ResumeTiming();
  }
  const double n = double(AState.iterations());
  AState.counters["select_all_ms"] = selectMs / n;
  AState.counters["core_text_ms"] = coreMs / n;
  AState.counters["thread_cpu_ms"] = cpuMs / n;
  b.GoToLine(b.Doc->LinesCount() / 2);
}

// The 16 MB corpus on the clipboard (once).
bool Put16MBOnClipboard() {
  static bool done = false;
  if (done) return true;
  std::ifstream in(BenchCorpusPath("c_16mb.txt"), std::ios::binary);
  if (!in) return false;
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string text = bytes.str();
  QApplication::clipboard()->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
  done = true;
  return true;
}

// ATimePaste: the paste is timed, else its undo.
void PasteAndUndo(benchmark::State& AState, bool ATimePaste) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  if (!Put16MBOnClipboard()) return AState.SkipWithError("16 MB corpus missing");
  const Integer chars = b.Doc->CharsCount();
  double cpuMs = 0;
  for (auto _ : AState) {
    b.GoToLine(b.Doc->LinesCount() / 2);
    double cpu = BenchThreadCpuMs();
    auto start = TClock::now();
    QTest::keyClick(b.View.get(), Qt::Key_V, Qt::ControlModifier);
    b.View->viewport()->repaint();
    if (ATimePaste) {
      AState.SetIterationTime(MsSince(start) / 1000.0);
      cpuMs += BenchThreadCpuMs() - cpu;
    }
    AState.counters["pasted_mchars"] = double(b.Doc->CharsCount() - chars) / 1e6;
    cpu = BenchThreadCpuMs();
    start = TClock::now();
    QTest::keyClick(b.View.get(), Qt::Key_Z, Qt::ControlModifier);
    b.View->viewport()->repaint();
    if (!ATimePaste) {
      AState.SetIterationTime(MsSince(start) / 1000.0);
      cpuMs += BenchThreadCpuMs() - cpu;
    }
    if (b.Doc->CharsCount() != chars) return AState.SkipWithError("the undo did not restore the text");
  }
  AState.counters["thread_cpu_ms"] = cpuMs / double(AState.iterations());
}

void BM_Paste16MB(benchmark::State& AState) {
  PasteAndUndo(AState, true);
}

void BM_UndoPaste16MB(benchmark::State& AState) {
  PasteAndUndo(AState, false);
}

void BM_CopyBlock10000x40(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  const Integer first = b.Doc->LinesCount() / 2;
  b.GoToLine(first);
  const Integer row = b.View->CursorPos().Y;
  b.View->SetSelection(TKivPoint{10, row}, TKivPoint{50, row + 9999}, true);
  double coreMs = 0, cpuMs = 0;
  for (auto _ : AState) {
    AState.PauseTiming();
    QApplication::clipboard()->clear();
    auto start = TClock::now();
    const TKivString text = b.View->SelectedText();
    coreMs += MsSince(start);
    benchmark::DoNotOptimize(text.data());
    AState.ResumeTiming();
    const double cpu = BenchThreadCpuMs();
    start = TClock::now();
    QTest::keyClick(b.View.get(), Qt::Key_C, Qt::ControlModifier);
    AState.SetIterationTime(MsSince(start) / 1000.0);
    cpuMs += BenchThreadCpuMs() - cpu;
  }
  AState.counters["core_ms"] = coreMs / double(AState.iterations());
  AState.counters["thread_cpu_ms"] = cpuMs / double(AState.iterations());
  AState.counters["copied_kchars"] = double(QApplication::clipboard()->text().size()) / 1e3;
  b.GoToLine(first);
}

}  // namespace

BENCHMARK(BM_CoreMove)
    ->ArgNames({"cmd", "place"})
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}})
    ->Iterations(2000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageDownKeyAndRepaint)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectAllAndCopy)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paste16MB)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoPaste16MB)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyBlock10000x40)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
