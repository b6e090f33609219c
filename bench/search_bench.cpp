// Search and replace over the 100 MB C corpus document (bench/corpus/c_100mb.txt, built by
// bench/make_corpus): find-all runs of a word (plain, without case, whole words, regex) and a
// replace-all of "int" by "long" with its undo. Throughput (bytes_per_second) is over CPU time and
// counts one character of the document as one byte of the corpus file; the replace counters give
// wall and CPU time (the machine may be shared).
//
// Over the 16 MB corpus (c_16mb.txt, 16 M characters): a regex find-all forwards and backwards
// (the backward run must find the same matches, in reverse order), and a replace-all of 1,000,000
// matches ("e" by "E") with its undo.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BenchCorpus.h"
#include "KivSedDocument.h"

namespace {

using TClock = std::chrono::steady_clock;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// bench/corpus beside this source, or $KIV_CORPUS_DIR.
std::string CorpusPath() {
  return BenchCorpusFile();
}

TKivEditDocument* LoadOnce(benchmark::State& AState, std::unique_ptr<TKivEditDocument>& ADoc,
                           const std::string& APath) {
  if (!ADoc) {
    if (!std::filesystem::exists(APath)) {
      AState.SkipWithError((APath + " missing: run bench/make_corpus").c_str());
      return nullptr;
    }
    ADoc = std::make_unique<TKivEditDocument>();
    ADoc->LoadFromFile(KivFromUtf8(APath));
  }
  return ADoc.get();
}

// Loaded once; every benchmark leaves it as it found it.
TKivEditDocument* CorpusDocument(benchmark::State& AState) {
  static std::unique_ptr<TKivEditDocument> doc;
  return LoadOnce(AState, doc, CorpusPath());
}

TKivEditDocument* Corpus16Document(benchmark::State& AState) {
  static std::unique_ptr<TKivEditDocument> doc;
  return LoadOnce(AState, doc, BenchCorpusPath("c_16mb.txt"));
}

struct TFindCase {
  const char16_t* Pattern;
  TKivEditSearchOptions Opts;
};

const TFindCase kFindCases[] = {
    {u"struct", {soCaseSensitive}},
    {u"struct", {}},
    {u"struct", {soCaseSensitive, soWholeWords}},
    {u"\\bstruct\\s+\\w+", {soRegexp, soCaseSensitive}},
    {u"\\bstruct\\s+\\w+", {soRegexp}},
};

// Every match of the word in the whole document, first to last.
void BM_FindAll(benchmark::State& AState) {
  TKivEditDocument* doc = CorpusDocument(AState);
  if (!doc) return;
  const TFindCase& c = kFindCases[AState.range(0)];
  long long matches = 0;
  for (auto _ : AState) {
    matches = 0;
    TKivEditFindReplaceStatePtr st = doc->FindPatternFirst(0, c.Pattern, c.Opts);
    if (st) {
      do ++matches;
      while (doc->FindPatternNext(st.get()));
    }
    doc->FindPatternClose(st);
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * doc->CharsCount());
  AState.counters["matches"] = double(matches);
}

// Wall and CPU seconds of the replace-all runs and of their undo.
struct TReplaceTimes {
  double ReplaceSeconds = 0, UndoSeconds = 0, ReplaceCpu = 0, UndoCpu = 0;

  void Report(benchmark::State& AState, long long AReplaced) const {
    const double n = double(AState.iterations());
    AState.counters["replacements"] = double(AReplaced);
    AState.counters["replace_ms"] = ReplaceSeconds * 1e3 / n;
    AState.counters["undo_ms"] = UndoSeconds * 1e3 / n;
    AState.counters["replace_cpu_ms"] = ReplaceCpu * 1e3 / n;
    AState.counters["undo_cpu_ms"] = UndoCpu * 1e3 / n;
  }
};

// One replace-all (AReplace) and its undo, timed; the iteration's time is their wall time.
template <class TReplace>
void ReplaceAndUndo(benchmark::State& AState, TKivEditDocument& ADoc, TReplaceTimes& ATimes, TReplace AReplace) {
  const auto t0 = TClock::now();
  const double c0 = CpuSeconds();
  TKivEditFindReplaceStatePtr st = AReplace();
  const auto t1 = TClock::now();
  const double c1 = CpuSeconds();
  ADoc.Undo();
  const auto t2 = TClock::now();
  ATimes.ReplaceCpu += c1 - c0;
  ATimes.UndoCpu += CpuSeconds() - c1;
  const double r = std::chrono::duration<double>(t1 - t0).count();
  const double u = std::chrono::duration<double>(t2 - t1).count();
  ATimes.ReplaceSeconds += r;
  ATimes.UndoSeconds += u;
  AState.SetIterationTime(r + u);
  ADoc.ReplacePatternClose(st);
}

// Replace-all of "int" by "long" over the range holding the first AState.range(0) matches (0: the
// whole document), then one undo.
void BM_ReplaceAllIntByLong(benchmark::State& AState) {
  TKivEditDocument* doc = CorpusDocument(AState);
  if (!doc) return;
  const Integer wanted = Integer(AState.range(0));
  Integer count = -1;
  if (wanted > 0) {
    TKivEditFindReplaceStatePtr st = doc->FindPatternFirst(0, u"int", {soCaseSensitive});
    for (Integer i = 1; st && i < wanted; ++i) doc->FindPatternNext(st.get());
    count = st->FoundSegment.Start + st->FoundSegment.Count;
  }
  const Integer length = doc->CharsCount();
  TReplaceTimes times;
  long long replaced = 0;
  for (auto _ : AState) {
    replaced = 0;
    auto callback = [&](TKivEditDocument&, TKivEditFindReplaceState&, Integer&, TKivEditReplaceAction&) {
      ++replaced;
    };
    ReplaceAndUndo(AState, *doc, times, [&] {
      return doc->ReplacePatternAll(0, count, u"int", u"long", {soCaseSensitive}, sdForward, callback);
    });
    if (doc->CharsCount() != length || doc->CanUndo()) AState.SkipWithError("undo did not restore the text");
  }
  times.Report(AState, replaced);
  AState.counters["replace_ms_per_100k"] =
      times.ReplaceSeconds * 1e3 / double(AState.iterations()) / double(replaced) * 1e5;
}

// Every match of \bstruct\s+\w+ in the 16 M-character document: range(0) 0 forwards from the
// start, 1 backwards from the end. Each run is checked against the forward matches.
void BM_RegexFindAllBothWays(benchmark::State& AState) {
  TKivEditDocument* doc = Corpus16Document(AState);
  if (!doc) return;
  const TKivString pattern = u"\\bstruct\\s+\\w+";
  const TKivEditSearchOptions opts{soRegexp, soCaseSensitive};
  auto run = [&](TKivEditSearchDirection ADir) {
    std::vector<std::pair<Integer, Integer>> found;
    TKivEditFindReplaceStatePtr st =
        doc->FindPatternFirst(ADir == sdForward ? 0 : doc->CharsCount(), pattern, opts, ADir);
    if (st) {
      do found.emplace_back(st->FoundSegment.Start, st->FoundSegment.Count);
      while (doc->FindPatternNext(st.get()));
    }
    doc->FindPatternClose(st);
    return found;
  };
  static const auto forward = run(sdForward);
  const TKivEditSearchDirection dir = AState.range(0) == 0 ? sdForward : sdBackward;
  std::vector<std::pair<Integer, Integer>> found;
  for (auto _ : AState) found = run(dir);
  if (dir == sdBackward) std::reverse(found.begin(), found.end());
  if (found != forward) AState.SkipWithError("the matches differ from the forward run's");
  AState.SetBytesProcessed(int64_t(AState.iterations()) * doc->CharsCount());
  AState.counters["matches"] = double(found.size());
}

// Replace-all of "e" by "E" over the range holding the first 1,000,000 matches of the 16 M-character
// document, then one undo (checked to bring back the text).
void BM_ReplaceAllMillion(benchmark::State& AState) {
  TKivEditDocument* doc = Corpus16Document(AState);
  if (!doc) return;
  constexpr Integer kWanted = 1000000;
  Integer count = -1;
  {
    TKivEditFindReplaceStatePtr st = doc->FindPatternFirst(0, u"e", {soCaseSensitive});
    for (Integer i = 1; st && i < kWanted; ++i) doc->FindPatternNext(st.get());
    if (st) count = st->FoundSegment.Start + st->FoundSegment.Count;
  }
  const TKivString before = doc->Text();
  TReplaceTimes times;
  for (auto _ : AState) {
    ReplaceAndUndo(AState, *doc, times,
                   [&] { return doc->ReplacePatternAll(0, count, u"e", u"E", {soCaseSensitive}, sdForward); });
    AState.PauseTiming();
    if (doc->Text() != before || doc->CanUndo()) AState.SkipWithError("undo did not restore the text");
    AState.ResumeTiming();
  }
  // The number of replacements: the matches in the range.
  long long replaced = 0;
  TKivEditFindReplaceStatePtr st = doc->FindPatternFirst(0, count, u"e", {soCaseSensitive});
  if (st) {
    do ++replaced;
    while (doc->FindPatternNext(st.get()));
  }
  times.Report(AState, replaced);
}

}  // namespace

BENCHMARK(BM_RegexFindAllBothWays)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllMillion)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindAll)->DenseRange(0, 4)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllIntByLong)
    ->Arg(100000)
    ->Arg(0)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
