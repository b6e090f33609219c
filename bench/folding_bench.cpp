// Folding over the 16 MB C corpus with the demo's C scheme (CPU time; run bench/make_corpus or
// link /work/main/bench/corpus first):
// - GetFoldEnd of the first line of every top-level function, from a refreshed parser (the
//   queries drive the whole parse) and on a parsed document (the queries alone);
// - IsFoldStart and GetParentLine of every line of a parsed document;
// - the whole parse with the scheme's syntax blocks and without them: the cost of folding.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "BenchCorpus.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedParser.h"
#include "KivTestAccess.h"
#include "internal/ParserImpl.h"

namespace {

std::string CorpusText() {
  const std::string path = BenchCorpusPath("c_16mb.txt");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("missing corpus " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The demo's C scheme, optionally without its SyntaxBlock elements.
TKivString CScheme(bool ABlocks) {
  TKivString text = KivDemoFindSyntaxScheme(u"C")->Text;
  if (ABlocks) return text;
  for (size_t p; (p = text.find(u"<SyntaxBlock")) != TKivString::npos;) {
    const size_t e = text.find(u"</SyntaxBlock>", p);
    text.erase(p, e + 14 - p);
  }
  return text;
}

struct TCorpus {
  TKivEditDocument Doc;
  TKivEditParser* Parser = nullptr;
  std::vector<Integer> Functions;  // first lines of the top-level functions

  explicit TCorpus(bool ABlocks) {
    Doc.SetLines(TKivStringList(KivSplitLines(KivFromUtf8(CorpusText()))));
    Parser = dynamic_cast<TKivEditParser*>(Doc.GetParser());
    const TKivString scheme = CScheme(ABlocks);
    Parser->SetSchemeLoaders(
        [scheme](const TKivString& AName) {
          if (AName == u"C") return scheme;
          const TKivDemoScheme* other = KivDemoFindSyntaxScheme(AName);
          return other ? other->Text : TKivString();
        },
                             [](const TKivString&) { return KivDemoColorScheme().Text; });
    Parser->LoadSchemeDoc(u"C", u"default");
    TKivTestAccess::ParserImpl(*Parser).ParseTo(Doc.LinesCount() - 1);
    // Folds directly under the root whose first line has a parameter list.
    for (const auto& node : TKivTestAccess::ParserImpl(*Parser).ParseTree().Root()->Childs)
      if (SegmentToString(Doc.GetLine(node->StartLine)).find(u'(') != TKivString::npos)
        Functions.push_back(node->StartLine);
  }
};

TCorpus& Corpus(bool ABlocks = true) {
  static TCorpus with(true);
  if (ABlocks) return with;
  static TCorpus without(false);
  return without;
}

void Counters(benchmark::State& AState, TCorpus& c, int64_t AQueries) {
  AState.counters["functions"] = double(c.Functions.size());
  AState.counters["folds"] = double(TKivTestAccess::ParserImpl(*c.Parser).ParseTree().NodeCount());
  AState.counters["lines"] = double(c.Doc.LinesCount());
  AState.counters["per_query"] =
      benchmark::Counter(double(AQueries) * double(AState.iterations()), benchmark::Counter::kIsRate |
                                                                              benchmark::Counter::kInvert);
}

// From a refreshed parser: the first query parses up to the first function's end, each later
// one on to its function's end, so the loop parses the whole document once.
void BM_FoldEndOfTopLevelFunctionsCold(benchmark::State& AState) {
  TCorpus& c = Corpus();
  int64_t sum = 0;
  for (auto _ : AState) {
    c.Parser->Refresh();
    for (Integer line : c.Functions) sum += c.Parser->GetFoldEnd(line);
  }
  benchmark::DoNotOptimize(sum);
  Counters(AState, c, int64_t(c.Functions.size()));
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(c.Doc.CharsCount()));
}
BENCHMARK(BM_FoldEndOfTopLevelFunctionsCold)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FoldEndOfTopLevelFunctionsParsed(benchmark::State& AState) {
  TCorpus& c = Corpus();
  TKivTestAccess::ParserImpl(*c.Parser).ParseTo(c.Doc.LinesCount() - 1);
  int64_t sum = 0;
  for (auto _ : AState)
    for (Integer line : c.Functions) sum += c.Parser->GetFoldEnd(line);
  benchmark::DoNotOptimize(sum);
  Counters(AState, c, int64_t(c.Functions.size()));
}
BENCHMARK(BM_FoldEndOfTopLevelFunctionsParsed)->Unit(benchmark::kMicrosecond);

void BM_FoldStartAndParentOfEveryLineParsed(benchmark::State& AState) {
  TCorpus& c = Corpus();
  TKivTestAccess::ParserImpl(*c.Parser).ParseTo(c.Doc.LinesCount() - 1);
  const Integer lines = c.Doc.LinesCount();
  int64_t sum = 0;
  for (auto _ : AState)
    for (Integer l = 0; l < lines; ++l) sum += c.Parser->IsFoldStart(l) + c.Parser->GetParentLine(l);
  benchmark::DoNotOptimize(sum);
  Counters(AState, c, 2 * int64_t(lines));
}
BENCHMARK(BM_FoldStartAndParentOfEveryLineParsed)->Unit(benchmark::kMillisecond);

void ParseAll(benchmark::State& AState, bool ABlocks) {
  TCorpus& c = Corpus(ABlocks);
  for (auto _ : AState) {
    c.Parser->Refresh();
    TKivTestAccess::ParserImpl(*c.Parser).ParseTo(c.Doc.LinesCount() - 1);
  }
  AState.counters["folds"] = double(TKivTestAccess::ParserImpl(*c.Parser).ParseTree().NodeCount());
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(c.Doc.CharsCount()));
}

void BM_ParseWithSyntaxBlocks(benchmark::State& AState) {
  ParseAll(AState, true);
}
BENCHMARK(BM_ParseWithSyntaxBlocks)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ParseWithoutSyntaxBlocks(benchmark::State& AState) {
  ParseAll(AState, false);
}
BENCHMARK(BM_ParseWithoutSyntaxBlocks)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
