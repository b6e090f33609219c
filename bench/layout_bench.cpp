// The wrapping engine on the 100 MB C corpus wrapped to 80 columns with a fixed-width surface
// (run bench/make_corpus first): the first row count (the scroll bar's range), a jump to the
// middle with a screen of queries, and a one-character edit in the middle followed by the same.
// The screen cache as a view uses it: cursor down through the text at its start, middle and end,
// unwrapped and wrapped; a character typed in the middle followed by the screen's rebuild.
// Folding: a line break typed with many collapsed folds, collapsing many and opening them all.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>

#include "BenchCorpus.h"
#include "BenchSurface.h"
#include "KivSedDocument.h"
#include "KivSedParserBase.h"
#include "internal/ScreenCache.h"

namespace {

using TClock = std::chrono::steady_clock;

TKivEditDocument& Corpus() {
  static std::unique_ptr<TKivEditDocument> doc;
  if (!doc) {
    doc = std::make_unique<TKivEditDocument>();
    if (std::filesystem::exists(BenchCorpusFile())) doc->LoadFromFile(KivFromUtf8(BenchCorpusFile()));
  }
  return *doc;
}

// A screen cache over the corpus that follows its edits.
struct Wrapped : IKivScreenCacheHost, TKivDocumentListener {
  explicit Wrapped(TKivViewWrapMode AMode = wmWrapToRuler)
      : Cache(this, AMode, 8, 800, 50, 80, &Surface, nullptr) {
    Corpus().AddListener(this);
  }
  ~Wrapped() override { Corpus().RemoveListener(this); }
  TKivEditDocument& Document() override { return Corpus(); }
  bool CursorBoundToChars() const override { return false; }
  void InvalidateConversionCache(Integer) override {}
  void BeforeInsert(Integer AStart, Integer ALength) override { Cache.BeforeInsert(AStart, ALength); }
  void AfterInsert(Integer AStart, Integer ALength) override { Cache.AfterInsert(AStart, ALength); }
  void BeforeDelete(Integer AStart, Integer ALength) override { Cache.BeforeDelete(AStart, ALength); }
  void AfterDelete(Integer AStart, Integer ALength) override { Cache.AfterDelete(AStart, ALength); }

  // A screen of 50 rows from AFirstRow: each row's chunks and the state of its third column.
  void Screen(Integer AFirstRow) {
    TScreenLineInfo info;
    Cache.Measure().TextDataCache().BeginScreen();
    for (Integer y = AFirstRow; y < AFirstRow + 50; ++y) {
      Cache.BuildLineChunks(Cache.WP_GetStateByXY(0, y, true), info);
      benchmark::DoNotOptimize(Cache.WP_GetStateByXY(3, y, true).Offset);
    }
    Cache.Measure().TextDataCache().EndScreen();
  }

  BenchSurface Surface;
  TScreenCache Cache;
};

bool HaveCorpus(benchmark::State& AState) {
  if (Corpus().CharsCount() > 0) return true;
  AState.SkipWithError("corpus missing: run bench/make_corpus");
  return false;
}

void BM_FirstRowCount(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  for (auto _ : AState) {
    Wrapped w;
    const auto t0 = TClock::now();
    const Integer rows = w.Cache.CalkVisibleCountScroll();
    AState.SetIterationTime(std::chrono::duration<double>(TClock::now() - t0).count());
    AState.counters["rows"] = rows;
    AState.counters["checkpoints"] = w.Cache.WPCache().SeqItemsCount();
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * Corpus().CharsCount());
}

void BM_JumpToMiddleScreen(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  Wrapped w;
  const Integer rows = w.Cache.CalkVisibleCountScroll();
  Integer i = 0;
  for (auto _ : AState) w.Screen(rows / 2 + (i++ * 7919) % 100000);
}

// Types a character at AAt, or takes back the one typed there.
void ToggleChar(Integer AAt, bool& AInserted) {
  if (AInserted)
    Corpus().Delete(AAt, 1);
  else
    Corpus().Insert(AAt, u"x");
  AInserted = !AInserted;
}

void BM_EditMiddleThenScreen(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  Wrapped w;
  TKivEditDocument& doc = Corpus();
  w.Cache.CalkVisibleCountScroll();
  const Integer mid = doc.CharsCount() / 2;
  bool inserted = false;
  for (auto _ : AState) {
    ToggleChar(mid, inserted);
    w.Screen(std::max<Integer>(w.Cache.WP_GetState(mid).Y - 10, 0));
  }
  if (inserted) doc.Delete(mid, 1);
}

// A view's screen cache over the corpus: attached (cursor markers in the document), a window of
// 50 rows, following the document's edits as the view's listener makes it.
struct View : Wrapped {
  explicit View(TKivViewWrapMode AMode) : Wrapped(AMode) { Cache.AttachToDocument(); }
  ~View() override { Cache.DetachFromDocument(); }

  // What closing the view's change bracket costs: lay out, take the status, repaint.
  void CloseBracket() {
    Cache.UpdateLayout();
    benchmark::DoNotOptimize(Cache.StatusChanges());
    Cache.ResetStatusChanges();
    Cache.ClearDirtyLines();
  }
};

// The row where a run starts: 0 = the start, 1 = the middle, 2 = near the end.
Integer StartRow(TScreenCache& ACache, int64_t AWhere) {
  const Integer rows = ACache.CalkVisibleCountScroll();
  return AWhere == 0 ? 0 : AWhere == 1 ? rows / 2 : rows - 60000;
}

// One keystroke of "cursor down" as the view runs it: move the cursor a row down, scroll when
// it leaves the window, close the change bracket.
void BM_CursorDown(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  View v(AState.range(0) ? wmWrapToRuler : wmNoWrap);
  const Integer row = StartRow(v.Cache, AState.range(1));  // wrapped: lays the whole text out once
  v.Cache.SetFirstLineAsScroll(row);
  v.Cache.SetCursorPos({5, row});
  v.CloseBracket();
  for (auto _ : AState) {
    const TKivPoint p = v.Cache.CursorPos();
    v.Cache.SetCursorPos({5, p.Y + 1}, scForward);
    if (!v.Cache.IsCursorInScreenYBounds()) v.Cache.Scroll(1);
    v.CloseBracket();
  }
  AState.counters["row"] = v.Cache.CursorPos().Y;
}

// One character typed in the middle of the text with the screen around it rebuilt, and taken
// back the same way (each iteration is one edit).
void BM_InsertMiddleThenRebuild(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  View v(AState.range(0) ? wmWrapToRuler : wmNoWrap);
  TKivEditDocument& doc = Corpus();
  const Integer mid = doc.GetLineStart(doc.LinesCount() / 2) + 3;
  v.Cache.CalkVisibleCountScroll();
  v.Cache.SetFirstLineAsScroll(v.Cache.OffsetToScroll(mid).Y - 20);
  v.Cache.SetCursorOffset({mid, 0});
  doc.Insert(mid, u"x");  // the gap moves here once
  doc.Delete(mid, 1);
  v.CloseBracket();
  bool inserted = false;
  for (auto _ : AState) {
    ToggleChar(mid, inserted);
    v.CloseBracket();
  }
  if (inserted) doc.Delete(mid, 1);
}

// Folds of 11 lines on every AStep-th line.
class SpreadFolds : public TKivEditParserBase {
 public:
  explicit SpreadFolds(Integer AStep) : FStep(AStep) {}
  bool IsFoldStart(Integer ALine) override { return ALine % FStep == 0; }
  Integer GetFoldEnd(Integer ALine) override { return ALine + 10; }
  bool IsFoldEnd(Integer ALine) override { return ALine % FStep == 10; }

 private:
  Integer FStep;
};

// Gives the corpus AFolds folds spread evenly and collapses them all at once; the line after
// the middle one is visible.
Integer CollapseSpread(TScreenCache& ACache, Integer AFolds) {
  const Integer lines = Corpus().LinesCount();
  const Integer step = std::max<Integer>(lines / std::max<Integer>(AFolds, 1), 12);
  if (AFolds > 0) {
    Corpus().SetParser(std::make_unique<SpreadFolds>(step));
    ACache.FoldAllIn(-1, true);
  }
  return (AFolds / 2) * step + 11;
}

// A line break typed in the middle and taken back (each iteration is one edit, the bracket
// closed) with range(0) collapsed folds that follow every edit.
void BM_LineBreakWithFolds(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  View v(wmNoWrap);
  TKivEditDocument& doc = Corpus();
  const Integer line = CollapseSpread(v.Cache, static_cast<Integer>(AState.range(0)));
  const Integer at = doc.GetLineStart(line) + 1;
  v.Cache.SetFirstLineAsScroll(v.Cache.PhysicalToScroll(line) - 20);
  v.Cache.SetCursorOffset({at, 0});
  v.CloseBracket();
  bool inserted = false;
  for (auto _ : AState) {
    if (inserted)
      doc.Delete(at, 2);
    else
      doc.Insert(at, u"\r\n");
    inserted = !inserted;
    v.CloseBracket();
  }
  if (inserted) doc.Delete(at, 2);
  AState.counters["folds"] = static_cast<double>(v.Cache.CollapsedFolds().size());
  v.Cache.UnfoldAllIn(-1, false);
  doc.SetParser(nullptr);
}

// Collapsing range(0) folds with a fold-all, then opening all of them at once.
void BM_CollapseThenUnfoldAll(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  View v(wmNoWrap);
  for (auto _ : AState) {
    CollapseSpread(v.Cache, static_cast<Integer>(AState.range(0)));
    v.CloseBracket();
    v.Cache.UnfoldAllIn(-1, false);
    v.CloseBracket();
  }
  Corpus().SetParser(nullptr);
}

}  // namespace

BENCHMARK(BM_LineBreakWithFolds)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(100000)
    ->ArgNames({"folds"})
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CollapseThenUnfoldAll)
    ->Arg(1000)
    ->Arg(100000)
    ->ArgNames({"folds"})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CursorDown)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->ArgNames({"wrapped", "where"})
    ->Iterations(20000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InsertMiddleThenRebuild)
    ->ArgsProduct({{0, 1}})
    ->ArgNames({"wrapped"})
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstRowCount)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JumpToMiddleScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditMiddleThenScreen)->Unit(benchmark::kMicrosecond);
