// The wrapping engine on the 100 MB C corpus wrapped to 80 columns with a fixed-width surface
// (run bench/make_corpus first): the first row count (the scroll bar's range), a jump to the
// middle with a screen of queries, and a one-character edit in the middle followed by the same.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>

#include "KivSedDocument.h"
#include "internal/ScreenCache.h"

namespace {

using TClock = std::chrono::steady_clock;

std::string CorpusFile() {
  if (const char* dir = std::getenv("KIV_CORPUS_DIR")) return std::string(dir) + "/c_100mb.txt";
  const std::string src = __FILE__;
  return src.substr(0, src.find_last_of('/') + 1) + "corpus/c_100mb.txt";
}

TKivEditDocument& Corpus() {
  static std::unique_ptr<TKivEditDocument> doc;
  if (!doc) {
    doc = std::make_unique<TKivEditDocument>();
    if (std::filesystem::exists(CorpusFile())) doc->LoadFromFile(KivFromUtf8(CorpusFile()));
  }
  return *doc;
}

// Every character 8 px wide.
class BenchSurface : public IKivMeasureSurface {
 public:
  Integer CharWidth(Char, TKivFontStyles, TKivFontCharset) override { return 8; }
  Integer SpaceWidth() override { return 8; }
  TKivFontMetrics Metrics(TKivFontStyles) override { return {16, 13, 3, 0, 8}; }
  bool IsComplex(TKivStringView) override { return false; }
  std::unique_ptr<IKivShapedRun> Shape(TKivStringView, TKivFontStyles, TKivFontCharset) override {
    return nullptr;
  }
};

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

void BM_EditMiddleThenScreen(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  Wrapped w;
  TKivEditDocument& doc = Corpus();
  w.Cache.CalkVisibleCountScroll();
  const Integer mid = doc.CharsCount() / 2;
  bool inserted = false;
  for (auto _ : AState) {
    if (inserted)
      doc.Delete(mid, 1);
    else
      doc.Insert(mid, u"x");
    inserted = !inserted;
    w.Screen(std::max<Integer>(w.Cache.WP_GetState(mid).Y - 10, 0));
  }
  if (inserted) doc.Delete(mid, 1);
}

}  // namespace

BENCHMARK(BM_FirstRowCount)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JumpToMiddleScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditMiddleThenScreen)->Unit(benchmark::kMicrosecond);
