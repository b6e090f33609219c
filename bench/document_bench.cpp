// The document's edit pipeline on real C text (run bench/make_corpus first; without it the text
// is built in memory from the /usr/include headers the same way): typing in the middle of the
// 100 MB corpus through the public API, undoing 10,000 separate steps, and the memory the undo
// history takes for replace-all-sized edits.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "KivSedDocument.h"
#include "KivUnicode.h"

namespace {

using TClock = std::chrono::steady_clock;

std::string CorpusDir() {
  if (const char* dir = std::getenv("KIV_CORPUS_DIR")) return dir;
  const std::string src = __FILE__;
  return src.substr(0, src.find_last_of('/') + 1) + "corpus";
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

class TViewListener : public TKivDocumentListener {
 public:
  void AfterInsert(Integer, Integer ALength) override { Inserted += ALength; }
  long long Inserted = 0;
};

// 10,000 characters typed one by one in the middle of the document, by a view (author id,
// undo merging, a view listener, OnDocChanged and OnLinesChanged assigned).
void BM_TypeMidDocument(benchmark::State& AState) {
  TKivEditDocument& doc = CorpusDocument(int(AState.range(0)));
  TViewListener view;
  doc.Internal().AddListener(&view);
  long long docChanged = 0;
  doc.OnDocChanged = [&](TKivEditDocument&, TKivDocStatusChanges) { ++docChanged; };
  doc.OnLinesChanged = [](TKivEditDocument&, Integer, Integer) {};
  const Integer author = doc.Internal().GetNextAuthorID();
  const Integer mid = doc.GetLineStart(doc.LinesCount() / 2);
  std::vector<double> perChar;
  const TKivString typed = u"int main(void) { return 0; }\r\n";
  for (auto _ : AState) {
    const auto start = TClock::now();
    for (Integer i = 0; i < 10000; ++i) {
      const auto t0 = TClock::now();
      doc.Internal().InsertStr(mid + i, TKivStringView(&typed[size_t(i) % typed.size()], 1), author, nullptr);
      perChar.push_back(std::chrono::duration<double, std::micro>(TClock::now() - t0).count());
    }
    AState.SetIterationTime(std::chrono::duration<double>(TClock::now() - start).count());
  }
  doc.Internal().RemoveListener(&view);
  if (view.Inserted != 10000 * AState.iterations() || docChanged != view.Inserted || doc.CanUndo() != true)
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
  AState.counters["chars_MB"] = AState.range(0);
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
BENCHMARK(BM_Undo10000Steps)->Arg(16)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoMemoryOfReplaceAll)
    ->Args({1, 1})
    ->Args({10, 1})
    ->Args({1, 2})
    ->Args({10, 2})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
