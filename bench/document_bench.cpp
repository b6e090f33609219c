// The document's edit pipeline on real C text (run bench/make_corpus first; without it the text
// is built in memory from the /usr/include headers the same way): typing in the middle of the
// 100 MB corpus through the public API, the memory a loaded corpus file takes, undoing 10,000
// separate steps, and the memory the undo history takes for replace-all-sized edits.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BenchCorpus.h"
#include "KivSedDocument.h"
#include "KivUnicode.h"

namespace {

using TClock = std::chrono::steady_clock;

std::string CorpusDir() {
  return BenchCorpusDir();
}

std::string CorpusFile(int AMegabytes) {
  return CorpusDir() + "/c_" + std::to_string(AMegabytes) + "mb.txt";
}

// The headers under /usr/include in sorted order, repeated and cut to AMegabytes MB.
std::string BuildCorpusInMemory(int AMegabytes) {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(
           "/usr/include", std::filesystem::directory_options::skip_permission_denied))
    if (e.is_regular_file() && e.path().extension() == ".h") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  std::string all;
  for (const auto& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    all += s.str();
  }
  const size_t bytes = size_t(AMegabytes) * 1000000;
  std::string out;
  while (!all.empty() && out.size() < bytes) out += all;
  out.resize(std::min(out.size(), bytes));
  return out;
}

// A document holding the corpus, loaded once per size (no undo history, not modified).
TKivEditDocument& CorpusDocument(int AMegabytes) {
  static std::map<int, std::unique_ptr<TKivEditDocument>> docs;
  auto& doc = docs[AMegabytes];
  if (!doc) {
    doc = std::make_unique<TKivEditDocument>();
    const std::string file = CorpusFile(AMegabytes);
    if (std::filesystem::exists(file)) {
      doc->LoadFromFile(KivFromUtf8(file));
    } else {
      doc->Insert(0, KivFromUtf8(BuildCorpusInMemory(AMegabytes)));
      doc->ClearUndo();
      doc->SetModified(false);
    }
  }
  return *doc;
}

size_t HeapInUse() {
  malloc_trim(0);
  return mallinfo2().uordblks;
}

// Bytes allocated and not freed, including the blocks malloc maps on their own (large arrays):
// what was asked for, whether touched or not.
size_t HeapAllocated() {
  const struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
}

double ThreadCpuMicros() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

// Resident set size in bytes.
size_t Resident() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return size_t(resident) * size_t(sysconf(_SC_PAGESIZE));
}

class TViewListener : public TKivDocumentListener {
 public:
  void AfterInsert(Integer, Integer ALength) override { Inserted += ALength; }
  long long Inserted = 0;
};

// 10,000 characters typed one by one in the middle of the document, a line break every 40, by
// a view (author id, undo merging, a view listener, OnDocChanged and OnLinesChanged assigned).
// Wall time per keystroke. The first keystroke at the place moves the gaps of the text and of
// the line index there (a cost proportional to the distance, once per place): it is reported
// on its own as first_key_ms, and the statistics are over the 10,000 keystrokes after it.
void BM_TypeMidDocument(benchmark::State& AState) {
  TKivEditDocument& doc = CorpusDocument(int(AState.range(0)));
  TViewListener view;
  doc.Internal().AddListener(&view);
  long long docChanged = 0;
  doc.OnDocChanged = [&](TKivEditDocument&, TKivDocStatusChanges) { ++docChanged; };
  doc.OnLinesChanged = [](TKivEditDocument&, Integer, Integer) {};
  const Integer author = doc.Internal().GetNextAuthorID();
  const Integer linesBefore = doc.LinesCount();
  Integer at = doc.GetLineStart(doc.LinesCount() / 2);
  std::vector<double> perChar, perCharCpu;
  double firstKey = 0;
  // 39 characters and a line break.
  const TKivString typed = u"  if (x > 0) return compute(x, y + 10);\n";
  static_assert(sizeof(u"  if (x > 0) return compute(x, y + 10);\n") / sizeof(char16_t) == 41);
  long long keys = 0;
  for (auto _ : AState) {
    const auto t00 = TClock::now();
    doc.Internal().InsertStr(at++, u"/", author, nullptr);
    firstKey = std::chrono::duration<double, std::milli>(TClock::now() - t00).count();
    ++keys;
    const auto start = TClock::now();
    for (Integer i = 0; i < 10000; ++i) {
      const double c0 = ThreadCpuMicros();
      const auto t0 = TClock::now();
      doc.Internal().InsertStr(at++, TKivStringView(&typed[size_t(i) % typed.size()], 1), author, nullptr);
      perChar.push_back(std::chrono::duration<double, std::micro>(TClock::now() - t0).count());
      perCharCpu.push_back(ThreadCpuMicros() - c0);
    }
    keys += 10000;
    AState.SetIterationTime(std::chrono::duration<double>(TClock::now() - start).count());
  }
  doc.Internal().RemoveListener(&view);
  if (view.Inserted != keys || docChanged != view.Inserted || doc.CanUndo() != true ||
      doc.LinesCount() != linesBefore + 250 * AState.iterations())
    AState.SkipWithError("pipeline did not run as expected");
  std::sort(perChar.begin(), perChar.end());
  AState.counters["median_us"] = perChar[perChar.size() / 2];
  AState.counters["p99_us"] = perChar[perChar.size() * 99 / 100];
  AState.counters["max_us"] = perChar.back();
  double total = 0;
  for (double t : perChar) total += t;
  AState.counters["mean_us"] = total / double(perChar.size());
  AState.counters["over_1ms"] =
      double(perChar.end() - std::upper_bound(perChar.begin(), perChar.end(), 1000.0));
  AState.counters["first_key_ms"] = firstKey;
  // The same for the thread's CPU time: on a loaded machine the wall-time maximum is the
  // longest time the thread was not scheduled.
  std::sort(perCharCpu.begin(), perCharCpu.end());
  // What reading the CPU clock itself adds to each figure (a system call).
  std::vector<double> overhead;
  for (int i = 0; i < 1001; ++i) {
    const double c0 = ThreadCpuMicros();
    overhead.push_back(ThreadCpuMicros() - c0);
  }
  std::sort(overhead.begin(), overhead.end());
  AState.counters["cpu_clock_overhead_us"] = overhead[overhead.size() / 2];
  AState.counters["cpu_median_us"] = perCharCpu[perCharCpu.size() / 2];
  AState.counters["cpu_p99_us"] = perCharCpu[perCharCpu.size() * 99 / 100];
  AState.counters["cpu_max_us"] = perCharCpu.back();
  AState.counters["chars_MB"] = AState.range(0);
}

// The heap a document takes for the corpus file loaded into it: bytes allocated (asked of
// malloc, touched or not) and resident, each per byte of the file.
void BM_LoadMemory(benchmark::State& AState) {
  const std::string file = CorpusFile(int(AState.range(0)));
  if (!std::filesystem::exists(file)) {
    AState.SkipWithError("corpus missing: run bench/make_corpus");
    return;
  }
  const double bytes = double(std::filesystem::file_size(file));
  for (auto _ : AState) {
    malloc_trim(0);
    const size_t allocated0 = HeapAllocated(), resident0 = Resident();
    auto doc = std::make_unique<TKivEditDocument>();
    const auto t0 = TClock::now();
    doc->LoadFromFile(KivFromUtf8(file));
    AState.SetIterationTime(std::chrono::duration<double>(TClock::now() - t0).count());
    malloc_trim(0);
    AState.counters["allocated_per_byte"] = double(HeapAllocated() - allocated0) / bytes;
    AState.counters["resident_per_byte"] = double(Resident() - resident0) / bytes;
    AState.counters["lines"] = doc->LinesCount();
  }
}

// Undo of 10,000 separate steps (insertions that do not merge), after typing them.
void BM_Undo10000Steps(benchmark::State& AState) {
  TKivEditDocument doc;
  doc.Insert(0, KivFromUtf8(BuildCorpusInMemory(int(AState.range(0)))));
  doc.SetUndoLimit(20000);
  doc.ClearUndo();
  const Integer mid = doc.GetLineStart(doc.LinesCount() / 2);
  double undoSeconds = 0;
  for (auto _ : AState) {
    AState.PauseTiming();
    // Each insertion goes before the previous one: no merging, 10,000 steps.
    for (Integer i = 0; i < 10000; ++i) doc.Insert(mid, u"x");
    AState.ResumeTiming();
    const auto t0 = TClock::now();
    for (Integer i = 0; i < 10000; ++i) doc.Undo();
    const double s = std::chrono::duration<double>(TClock::now() - t0).count();
    undoSeconds += s;
    AState.SetIterationTime(s);
    if (doc.CanUndo()) AState.SkipWithError("steps merged");
  }
  AState.counters["per_step_us"] = undoSeconds * 1e6 / 10000 / double(AState.iterations());
}

// Undo history memory for one edit replacing AState.range(0) MB of text, measured as the heap
// the history gives back when it is cleared. Arg(1) = one Replace of the whole range, Arg(2) = a
// replace-all (every "int" of the range replaced by "long", one compound edit).
void BM_UndoMemoryOfReplaceAll(benchmark::State& AState) {
  const int mb = int(AState.range(0));
  const bool replaceAll = AState.range(1) == 2;
  const TKivString text = KivFromUtf8(BuildCorpusInMemory(mb));
  for (auto _ : AState) {
    TKivEditDocument doc;
    doc.SetUndoLimit(0);
    doc.Insert(0, text);
    doc.SetUndoLimit(1024);
    long long replaced = 0, changedChars = 0;
    const size_t before = HeapInUse();
    if (!replaceAll) {
      TKivString upper = text;
      for (auto& c : upper) c = KivUpCase(c);
      doc.Replace(0, Integer(text.size()), upper);
      replaced = 1;
      changedChars = Integer(text.size());
    } else {
      std::vector<Integer> hits;
      for (size_t p = text.find(u"int"); p != TKivString::npos; p = text.find(u"int", p + 3))
        hits.push_back(Integer(p));
      doc.BeginCompoundEdit();
      // From the end, so that earlier offsets stay valid.
      for (auto it = hits.rbegin(); it != hits.rend(); ++it) doc.Replace(*it, 3, u"long");
      doc.EndCompoundEdit();
      replaced = Integer(hits.size());
      changedChars = replaced * 3;
    }
    const size_t afterEdit = HeapInUse();
    doc.ClearUndo();
    const size_t afterClear = HeapInUse();
    const double history = double(afterEdit) - double(afterClear);
    AState.counters["history_MB"] = history / 1e6;
    AState.counters["replacements"] = double(replaced);
    AState.counters["bytes_per_deleted_char"] = history / double(changedChars);
    AState.counters["bytes_per_replacement"] = history / double(replaced);
    AState.counters["edit_heap_growth_MB"] = (double(afterEdit) - double(before)) / 1e6;
  }
}

}  // namespace

BENCHMARK(BM_TypeMidDocument)
    ->Arg(1)
    ->Arg(100)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMemory)->Arg(100)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo10000Steps)->Arg(16)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoMemoryOfReplaceAll)
    ->Args({1, 1})
    ->Args({10, 1})
    ->Args({1, 2})
    ->Args({10, 2})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
