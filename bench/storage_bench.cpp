// Text storage and line index on real C text (run bench/make_corpus first): loading beside the
// cost of merely allocating and filling the same memory, typing in the middle, offset <-> line
// lookups, and deleting and re-inserting a large block.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "BenchCorpus.h"
#include "internal/GapStorage.h"
#include "internal/LineManager.h"

namespace {

// The timed parts are measured in CPU time of this thread (page faults included, time spent
// waiting for the shared cores excluded), so that the figures of a busy machine still compare;
// KIV_BENCH_WALL=1 measures wall time instead.
struct TClock {
  using time_point = double;
  static double now() {
    static const bool wall = std::getenv("KIV_BENCH_WALL") != nullptr;
    if (wall)
      return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
};

double Seconds(double AFrom) {
  return TClock::now() - AFrom;
}

// bench/corpus beside this source, or $KIV_CORPUS_DIR.
std::string CorpusDir() {
  return BenchCorpusDir();
}

// The corpus of AMegabytes MB as UTF-16, read once; empty when the file is missing.
const TKivString& Corpus(int AMegabytes) {
  static std::map<int, TKivString> cache;
  auto it = cache.find(AMegabytes);
  if (it != cache.end()) return it->second;
  std::ifstream in(CorpusDir() + "/c_" + std::to_string(AMegabytes) + "mb.txt", std::ios::binary);
  std::ostringstream bytes;
  if (in) bytes << in.rdbuf();
  return cache[AMegabytes] = KivFromUtf8(bytes.str());
}

bool NeedCorpus(benchmark::State& AState, const TKivString& AText) {
  if (!AText.empty()) return true;
  AState.SkipWithError("corpus missing: run bench/make_corpus");
  return false;
}

// SetText from a string sequence (what the document does) and the rebuild of the line index.
void BM_LoadSetTextRefresh(benchmark::State& AState) {
  const TKivString& text = Corpus(static_cast<int>(AState.range(0)));
  if (!NeedCorpus(AState, text)) return;
  TKivSeqFromString src(text);
  Integer lines = 0;
  double setText = 0, refresh = 0;
  for (auto _ : AState) {
    auto storage = std::make_unique<TGapStorage>(1024);
    auto index = std::make_unique<TLineManager>(storage.get());
    const auto t0 = TClock::now();
    storage->SetText(src.WholeSegment());
    const auto t1 = TClock::now();
    index->Refresh();
    AState.SetIterationTime(Seconds(t0));
    setText += (t1 - t0);
    refresh += Seconds(t1);
    lines = index->Count();
  }
  AState.counters["lines"] = lines;
  AState.counters["settext_ms"] = setText * 1000 / static_cast<double>(AState.iterations());
  AState.counters["refresh_ms"] = refresh * 1000 / static_cast<double>(AState.iterations());
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations()) * static_cast<int64_t>(text.size()) * 2);
}
BENCHMARK(BM_LoadSetTextRefresh)->Arg(1)->Arg(16)->Arg(100)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same from characters in memory (the document's stream loader).
void BM_LoadInsertCharsRefresh(benchmark::State& AState) {
  const TKivString& text = Corpus(static_cast<int>(AState.range(0)));
  if (!NeedCorpus(AState, text)) return;
  for (auto _ : AState) {
    auto storage = std::make_unique<TGapStorage>(1024);
    auto index = std::make_unique<TLineManager>(storage.get());
    const auto t0 = TClock::now();
    storage->InsertChars(0, text);
    index->Refresh();
    AState.SetIterationTime(Seconds(t0));
  }
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations()) * static_cast<int64_t>(text.size()) * 2);
}
BENCHMARK(BM_LoadInsertCharsRefresh)->Arg(100)->UseManualTime()->Unit(benchmark::kMillisecond);

// The floor: a fresh buffer of the same byte size, allocated and filled (by a copy of the text,
// and by a constant). First-touching fresh memory dominates on virtual machines.
void BM_LoadFloor(benchmark::State& AState) {
  const TKivString& text = Corpus(static_cast<int>(AState.range(0)));
  if (!NeedCorpus(AState, text)) return;
  const bool copy = AState.range(1) != 0;
  for (auto _ : AState) {
    const auto t0 = TClock::now();
    auto buf = std::make_unique_for_overwrite<Char[]>(text.size());
    if (copy)
      std::memcpy(buf.get(), text.data(), text.size() * sizeof(Char));
    else
      std::fill_n(buf.get(), text.size(), u' ');
    benchmark::DoNotOptimize(buf.get());
    benchmark::ClobberMemory();
    AState.SetIterationTime(Seconds(t0));
  }
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations()) * static_cast<int64_t>(text.size()) * 2);
}
BENCHMARK(BM_LoadFloor)
    ->ArgsProduct({{100}, {1, 0}})
    ->ArgNames({"mb", "copy"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The 100 MB text loaded once for the editing and lookup benchmarks.
struct TLoaded {
  TGapStorage Storage{1024};
  TLineManager Lines{&Storage};
};

TLoaded* Loaded(benchmark::State& AState) {
  static std::unique_ptr<TLoaded> doc;
  const TKivString& text = Corpus(100);
  if (!NeedCorpus(AState, text)) return nullptr;
  if (!doc) {
    doc = std::make_unique<TLoaded>();
    doc->Storage.InsertChars(0, text);
    doc->Lines.Refresh();
  }
  return doc.get();
}

// Typing 1,000 characters one by one at the middle of the 100 MB text (storage + index per
// character); AState.range(0) != 0 types a line break every 40 characters.
void BM_TypeMiddle(benchmark::State& AState) {
  TLoaded* doc = Loaded(AState);
  if (doc == nullptr) return;
  const bool breaks = AState.range(0) != 0;
  const TKivString typed = u"x = foo(bar, 42); /* typing some C */ ;";
  TKivSeqFromString chars(breaks ? typed + u"\n" : typed + u"y");
  const Integer at = doc->Storage.Count() / 2;
  constexpr Integer kTyped = 1000;
  for (auto _ : AState) {
    const auto t0 = TClock::now();
    for (Integer i = 0; i < kTyped; ++i) {
      doc->Storage.Insert(at + i, MakeSegment(i % chars.Count(), 1, &chars));
      doc->Lines.ContentInserted(at + i, 1);
    }
    AState.SetIterationTime(Seconds(t0));
    doc->Lines.ContentDeleting(at, kTyped);
    doc->Storage.Delete(at, kTyped);
  }
  AState.counters["us_per_char"] = benchmark::Counter(
      static_cast<double>(AState.iterations()) * kTyped,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_TypeMiddle)->Arg(0)->Arg(1)->ArgName("breaks")->UseManualTime()->Unit(benchmark::kMillisecond);

// 1,000,000 lookups at pseudo-random places (the worst case for the caches), with the shift of
// an edit at the middle pending.
void BM_Lookups(benchmark::State& AState) {
  TLoaded* doc = Loaded(AState);
  if (doc == nullptr) return;
  const bool byOffset = AState.range(0) != 0;
  const Integer mid = doc->Storage.Count() / 2;
  doc->Storage.InsertChars(mid, u"z");
  doc->Lines.ContentInserted(mid, 1);
  constexpr int kCalls = 1000000;
  std::vector<Integer> args(kCalls);
  std::mt19937 rnd(42);
  const Integer limit = byOffset ? doc->Storage.Count() + 1 : doc->Lines.Count();
  for (auto& a : args) a = static_cast<Integer>(rnd() % static_cast<uint32_t>(limit));
  for (auto _ : AState) {
    const auto t0 = TClock::now();
    Integer sum = 0;
    if (byOffset)
      for (Integer a : args) sum += doc->Lines.GetLineByOffset(a);
    else
      for (Integer a : args) sum += doc->Lines.GetLineStart(a);
    benchmark::DoNotOptimize(sum);
    AState.SetIterationTime(Seconds(t0));
  }
  doc->Lines.ContentDeleting(mid, 1);
  doc->Storage.Delete(mid, 1);
  AState.counters["us_per_call"] = benchmark::Counter(
      static_cast<double>(AState.iterations()) * kCalls,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_Lookups)->Arg(1)->Arg(0)->ArgName("by_offset")->UseManualTime()->Unit(benchmark::kMillisecond);

// Deleting a block of 1,000,000 characters at the middle and inserting it again.
void BM_DeleteReinsertBlock(benchmark::State& AState) {
  TLoaded* doc = Loaded(AState);
  if (doc == nullptr) return;
  constexpr Integer kBlock = 1000000;
  const Integer at = doc->Storage.Count() / 2;
  TKivSeqFromString block(SegmentToString(MakeSegment(at, kBlock, &doc->Storage)));
  double deleting = 0, inserting = 0;
  for (auto _ : AState) {
    // Typing elsewhere first puts the gap and the pending shift far from the block.
    doc->Storage.InsertChars(10, u"q");
    doc->Lines.ContentInserted(10, 1);
    const auto t0 = TClock::now();
    doc->Lines.ContentDeleting(at, kBlock);
    doc->Storage.Delete(at, kBlock);
    const auto t1 = TClock::now();
    doc->Storage.Insert(at, block.WholeSegment());
    doc->Lines.ContentInserted(at, kBlock);
    deleting += (t1 - t0);
    inserting += Seconds(t1);
    AState.SetIterationTime(Seconds(t0));
    doc->Lines.ContentDeleting(10, 1);
    doc->Storage.Delete(10, 1);
  }
  AState.counters["delete_ms"] = deleting * 1000 / static_cast<double>(AState.iterations());
  AState.counters["insert_ms"] = inserting * 1000 / static_cast<double>(AState.iterations());
}
BENCHMARK(BM_DeleteReinsertBlock)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
