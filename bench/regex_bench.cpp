// Regex search throughput over a 16 MB C corpus: the system's C headers under /usr/include,
// concatenated in sorted order (bytes taken as code units), as the storage benchmark builds it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "KivRegExpr.h"

namespace {

constexpr size_t CCorpusSize = 16u << 20;

const TKivString& Corpus() {
  static const TKivString corpus = [] {
    std::vector<std::filesystem::path> headers;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             "/usr/include", std::filesystem::directory_options::skip_permission_denied, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (ec) break;
      if (it->is_regular_file(ec) && it->path().extension() == ".h") headers.push_back(it->path());
    }
    std::sort(headers.begin(), headers.end());
    TKivString text;
    text.reserve(CCorpusSize);
    while (text.size() < CCorpusSize && !headers.empty()) {
      for (const auto& h : headers) {
        std::ifstream in(h, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (unsigned char b : bytes) {
          if (text.size() >= CCorpusSize) break;
          text.push_back(b);
        }
        if (text.size() >= CCorpusSize) break;
      }
    }
    return text;
  }();
  return corpus;
}

// Counts every match of the pattern over the whole corpus.
void SearchAll(benchmark::State& AState, const char16_t* APattern) {
  const TKivString& text = Corpus();
  TKivRegExp re;
  re.SetExpression(APattern);
  re.SetInputText(text);
  int64_t matches = 0;
  for (auto _ : AState) {
    matches = 0;
    for (bool ok = re.Exec(); ok; ok = re.ExecNext()) ++matches;
    benchmark::DoNotOptimize(matches);
  }
  AState.counters["matches"] = static_cast<double>(matches);
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_Literal(benchmark::State& AState) {
  SearchAll(AState, u"volatile");
}
void BM_CaseInsensitiveWord(benchmark::State& AState) {
  SearchAll(AState, u"(?i)volatile");
}
void BM_StructDecl(benchmark::State& AState) {
  SearchAll(AState, u"\\bstruct\\s+\\w+");
}
void BM_UpperCaseCall(benchmark::State& AState) {
  SearchAll(AState, u"[A-Z_]{8,}\\(");
}

// A greedy complex star over the whole text: the first attempt recurses once per code and must
// end with the recursion-limit error, quickly.
void BM_PathologicalRecursion(benchmark::State& AState) {
  const TKivString& text = Corpus();
  TKivRegExp re;
  re.SetExpression(u"(.|\\s)*;");
  re.SetInputText(text);
  int64_t errors = 0;
  for (auto _ : AState) {
    try {
      re.Exec();
    } catch (const EKivRegExprError& e) {
      if (e.ErrorCode == reeRecursionLimit) ++errors;
    }
  }
  AState.counters["limit_errors"] = static_cast<double>(errors);
}

// Exponential backtracking on one line of x's, cut by the step limit.
void BM_PathologicalBacktracking(benchmark::State& AState) {
  TKivRegExp re;
  re.SetExpression(u"(x+x+)+y");
  re.SetInputText(std::u16string(64, u'x'));
  re.SetStepLimit(10000000);
  int64_t errors = 0;
  for (auto _ : AState) {
    try {
      re.Exec();
    } catch (const EKivRegExprError& e) {
      if (e.ErrorCode == reeStepLimit) ++errors;
    }
  }
  AState.counters["limit_errors"] = static_cast<double>(errors);
}

}  // namespace

BENCHMARK(BM_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaseInsensitiveWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StructDecl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpperCaseCall)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PathologicalRecursion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PathologicalBacktracking)->Unit(benchmark::kMillisecond);
