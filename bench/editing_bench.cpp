// Editing keys on the editor view widget over the 100 MB C corpus (run bench/make_corpus first),
// highlighted with the demo's C scheme, on the offscreen platform in a shown 1000 x 800 window.
// Every key goes through QTest::keyClick and is followed by a repaint of the window; wall time.
//  - BM_TypeChar/<place>: a letter typed at the start, the middle or the end of the text. The
//    first key at a new place (which moves the document's gap there once) is timed apart and
//    reported as the counter first_key_ms.
//  - BM_EnterAutoIndent: Enter in the middle of an indented line.
//  - BM_Backspace: Backspace in the middle of the text.
//  - BM_UndoTypedWord: Ctrl+Z of a word just typed in the middle (the typing is not timed).
//  - BM_Indent10000Lines / BM_UndoIndent10000Lines: Ctrl+Shift+I over 10,000 selected lines in
//    the middle, and Ctrl+Z of it (the other part is not timed).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <memory>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
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
  }
  ~TBenchView() {
    if (View) View->SetDocument(nullptr);
  }
  // The cursor at a line's first non-blank character, the window repainted once.
  void GoToLine(Integer ALine) {
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

void BM_TypeChar(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  const Integer lines = b.Doc->LinesCount();
  const Integer line = AState.range(0) == 0 ? 0 : AState.range(0) == 1 ? lines / 2 : lines - 1;
  b.GoToLine(line);
  if (AState.range(0) == 2) b.View->SetCursorOffset(b.Doc->CharsCount());
  const auto first = TClock::now();
  QTest::keyClick(b.View.get(), Qt::Key_X);
  b.View->viewport()->repaint();
  AState.counters["first_key_ms"] = MsSince(first);
  for (auto _ : AState) {
    QTest::keyClick(b.View.get(), Qt::Key_X);
    b.View->viewport()->repaint();
  }
  while (b.View->CanUndo()) b.View->Undo();
}

void BM_EnterAutoIndent(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  // An indented line in the middle.
  Integer line = b.Doc->LinesCount() / 2;
  while (b.View->IndentColumn(line, false) == 0) ++line;
  b.GoToLine(line);
  b.View->SetCursorOffset(b.View->FirstNonBlank(line, false) + 1);
  QTest::keyClick(b.View.get(), Qt::Key_Return);
  b.View->viewport()->repaint();
  for (auto _ : AState) {
    QTest::keyClick(b.View.get(), Qt::Key_Return);
    b.View->viewport()->repaint();
  }
  AState.counters["indent"] = b.View->CursorPos().X;
  while (b.View->CanUndo()) b.View->Undo();
}

void BM_Backspace(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  b.GoToLine(b.Doc->LinesCount() / 2);
  b.View->SetCursorOffset(b.Doc->GetLineStart(b.Doc->LinesCount() / 2 + 5000));
  QTest::keyClick(b.View.get(), Qt::Key_Backspace);
  b.View->viewport()->repaint();
  for (auto _ : AState) {
    QTest::keyClick(b.View.get(), Qt::Key_Backspace);
    b.View->viewport()->repaint();
  }
  while (b.View->CanUndo()) b.View->Undo();
}

void BM_UndoTypedWord(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  b.GoToLine(b.Doc->LinesCount() / 2);
  for (auto _ : AState) {
    AState.PauseTiming();
    QTest::keyClicks(b.View.get(), QStringLiteral("word"));
    b.View->viewport()->repaint();
    AState.ResumeTiming();
    QTest::keyClick(b.View.get(), Qt::Key_Z, Qt::ControlModifier);
    b.View->viewport()->repaint();
  }
}

void SelectLines(TBenchView& b, Integer AFirst, Integer ACount) {
  b.GoToLine(AFirst);
  b.View->SetSelectionOffsets(b.Doc->GetLineStart(AFirst), b.Doc->GetLineStart(AFirst + ACount));
}

void BM_Indent10000Lines(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  const Integer first = b.Doc->LinesCount() / 2;
  for (auto _ : AState) {
    SelectLines(b, first, 10000);
    const auto start = TClock::now();
    QTest::keyClick(b.View.get(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
    b.View->viewport()->repaint();
    AState.SetIterationTime(MsSince(start) / 1000.0);
    b.View->Undo();
  }
}

void BM_UndoIndent10000Lines(benchmark::State& AState) {
  TBenchView& b = Bench();
  if (!b.Ok) return AState.SkipWithError("corpus missing or window not active");
  const Integer first = b.Doc->LinesCount() / 2;
  for (auto _ : AState) {
    SelectLines(b, first, 10000);
    b.View->IndentSelection(false);
    b.View->viewport()->repaint();
    const auto start = TClock::now();
    QTest::keyClick(b.View.get(), Qt::Key_Z, Qt::ControlModifier);
    b.View->viewport()->repaint();
    AState.SetIterationTime(MsSince(start) / 1000.0);
  }
}

}  // namespace

BENCHMARK(BM_TypeChar)->Arg(0)->Arg(1)->Arg(2)->Iterations(300)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EnterAutoIndent)->Iterations(200)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Backspace)->Iterations(300)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoTypedWord)->Iterations(200)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Indent10000Lines)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoIndent10000Lines)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
