// Regex search throughput on the 16 MB C corpus (bench/corpus/c_16mb.txt, built by
// bench/make_corpus; KIV_CORPUS_DIR names another folder), counting every match of a pattern,
// next to the plain SeqFind of a literal; and the work budget: how long patterns that run away
// take to end in error 1006, and what linear searches spend of it on the 100 MB corpus; a
// complex star that backtracks over lines of a and b. Where PCRE2's development package is
// installed, BM_Pcre2... rows run its interpreter on the same inputs.
// Throughput is reported as bytes_per_second over the corpus (one code unit per byte).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "BenchCorpus.h"
#include "KivRegExpr.h"
#include "KivSedUtils.h"

#ifdef KIV_BENCH_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>
#endif

namespace {

std::string CorpusPath(const char* AName) {
  return BenchCorpusPath(AName);
}

// The corpus file's bytes as code units, or empty when it is missing.
TKivString LoadCorpus(const char* AName) {
  std::ifstream in(CorpusPath(AName), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return TKivString(bytes.begin(), bytes.end());
}

const TKivString& Corpus16() {
  static const TKivString text = LoadCorpus("c_16mb.txt");
  return text;
}

// Counts every match of the pattern over the whole corpus.
void SearchAll(benchmark::State& AState, const char16_t* APattern) {
  const TKivString& text = Corpus16();
  if (text.empty()) {
    AState.SkipWithError("bench/corpus/c_16mb.txt missing: run bench/make_corpus");
    return;
  }
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
void BM_CaseInsensitiveLiteral(benchmark::State& AState) {
  SearchAll(AState, u"(?i)volatile");
}
void BM_WordBounded(benchmark::State& AState) {
  SearchAll(AState, u"\\bstruct\\b");
}
void BM_StructDecl(benchmark::State& AState) {
  SearchAll(AState, u"\\bstruct\\s+\\w+");
}
void BM_Identifier(benchmark::State& AState) {
  SearchAll(AState, u"[A-Za-z_][A-Za-z0-9_]*");
}
void BM_BlockComment(benchmark::State& AState) {
  SearchAll(AState, u"(?-s)/\\*.*?\\*/");
}
void BM_UpperCaseCall(benchmark::State& AState) {
  SearchAll(AState, u"[A-Z_]{8,}\\(");
}
// The comment pattern with '.' matching line breaks (the default modifiers).
void BM_BlockCommentDotAll(benchmark::State& AState) {
  SearchAll(AState, u"/\\*.*?\\*/");
}

// Lines of 200 random a and b, every tenth ending in c: a complex star from every start
// position of the lines without c walks to the end of the line before it fails.
const TKivString& AbLines() {
  static const TKivString text = [] {
    TKivString t;
    uint32_t x = 12345;
    for (int line = 0; line < 2000; ++line) {
      for (int i = 0; i < 200; ++i) {
        x = x * 1103515245u + 12345u;
        t.push_back((x >> 16) & 1 ? u'a' : u'b');
      }
      if (line % 10 == 9) t.push_back(u'c');
      t.push_back(u'\n');
    }
    return t;
  }();
  return text;
}
void BM_AltStarAbLines(benchmark::State& AState) {
  const TKivString& text = AbLines();
  TKivRegExp re;
  re.SetExpression(u"(a|b)*c");
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

// The document's plain search of the same literal, every occurrence, for comparison.
void SeqFindAll(benchmark::State& AState, bool ANoCase) {
  const TKivString& text = Corpus16();
  if (text.empty()) {
    AState.SkipWithError("bench/corpus/c_16mb.txt missing: run bench/make_corpus");
    return;
  }
  TKivSeqFromString seq(text);
  int64_t matches = 0;
  for (auto _ : AState) {
    matches = 0;
    for (Integer p = 0;; ++p) {
      p = ANoCase ? SeqFindNoCase(u"volatile", seq, p) : SeqFind(u"volatile", seq, p);
      if (p < 0) break;
      ++matches;
    }
    benchmark::DoNotOptimize(matches);
  }
  AState.counters["matches"] = static_cast<double>(matches);
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations()) * static_cast<int64_t>(text.size()));
}
void BM_SeqFindLiteral(benchmark::State& AState) {
  SeqFindAll(AState, false);
}
void BM_SeqFindNoCaseLiteral(benchmark::State& AState) {
  SeqFindAll(AState, true);
}

// Runs the pattern once with the default budget; reports whether it ended in 1006 and the work
// units spent.
void RunToBudget(benchmark::State& AState, const char16_t* APattern, const TKivString& ASubject) {
  TKivRegExp re;
  re.SetExpression(APattern);
  re.SetInputText(ASubject);
  int64_t limitErrors = 0;
  for (auto _ : AState) {
    try {
      re.Exec();
    } catch (const EKivRegExprError& e) {
      if (e.ErrorCode == reeStepLimit) ++limitErrors;
    }
  }
  AState.counters["limit_errors"] = static_cast<double>(limitErrors);
  AState.counters["units"] = static_cast<double>(re.StepsUsed());
}

// The next-literal skip from every start position.
void BM_BudgetRepeatSkip(benchmark::State& AState) {
  RunToBudget(AState, u"a{0,65535}b", std::u16string(100000, u'a') + u"cb");
}
// Quadratic: a repeat that gives back one code at a time from every start position.
void BM_BudgetQuadratic(benchmark::State& AState) {
  RunToBudget(AState, u"\\w+$", std::u16string(100000, u'w') + u"!");
}
// Exponential backtracking.
void BM_BudgetExponential(benchmark::State& AState) {
  RunToBudget(AState, u"(x+x+)+y", std::u16string(64, u'x'));
}
// Back-references compared over and over.
void BM_BudgetBackReference(benchmark::State& AState) {
  RunToBudget(AState, u"(\\w+)\\s*\\1x", std::u16string(100000, u'w'));
}

// A greedy complex star over the whole text: the first attempt recurses once per code and must
// end with the recursion-limit error, quickly.
void BM_PathologicalRecursion(benchmark::State& AState) {
  const TKivString& text = Corpus16();
  TKivRegExp re;
  re.SetExpression(u"(.|\\s)*;");
  re.SetInputText(text.empty() ? std::u16string(20000, u'a') : text);
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

// Linear searches over the 100 MB corpus with the default budget: every match counted; "units"
// is the most one Exec spent, "no_match_units" what one Exec spends on the whole corpus when
// the pattern is made to match nowhere. Neither may reach the budget.
void LinearOver100MB(benchmark::State& AState, const char16_t* APattern, const char16_t* ANoMatch) {
  static const TKivString text = LoadCorpus("c_100mb.txt");
  if (text.empty()) {
    AState.SkipWithError("bench/corpus/c_100mb.txt missing: run bench/make_corpus");
    return;
  }
  TKivRegExp re, none;
  re.SetExpression(APattern);
  re.SetInputText(text);
  none.SetExpression(ANoMatch);
  none.SetInputText(text);
  int64_t most = 0, matches = 0, noMatchUnits = 0, errors = 0;
  for (auto _ : AState) {
    try {
      matches = 0;
      for (bool ok = re.Exec(); ok; ok = re.ExecNext()) {
        ++matches;
        most = std::max(most, re.StepsUsed());
      }
      most = std::max(most, re.StepsUsed());
      benchmark::DoNotOptimize(none.Exec());
      noMatchUnits = none.StepsUsed();
    } catch (const EKivRegExprError&) {
      ++errors;
    }
  }
  AState.counters["matches"] = static_cast<double>(matches);
  AState.counters["units"] = static_cast<double>(most);
  AState.counters["no_match_units"] = static_cast<double>(noMatchUnits);
  AState.counters["budget_fraction"] = static_cast<double>(std::max(most, noMatchUnits)) / KivRegDefaultStepLimit;
  AState.counters["limit_errors"] = static_cast<double>(errors);
}
void BM_Budget100MBLiteral(benchmark::State& AState) {
  LinearOver100MB(AState, u"volatile", u"volatileq");
}
void BM_Budget100MBClass(benchmark::State& AState) {
  LinearOver100MB(AState, u"[0-9]+", u"[0-9]+q{3}");
}
void BM_Budget100MBStructDecl(benchmark::State& AState) {
  LinearOver100MB(AState, u"\\bstruct\\s+\\w+", u"\\bstruct\\s+\\w+q{3}");
}
void BM_Budget100MBUpperCaseCall(benchmark::State& AState) {
  LinearOver100MB(AState, u"[A-Z_]{8,}\\(", u"[A-Z_]{8,}\\(q{3}");
}

#ifdef KIV_BENCH_PCRE2
// PCRE2's interpreter over the same text: every match counted (an empty match moves on one
// unit); a match ending in an error (the match limit) stops the count and is reported.
void Pcre2All(benchmark::State& AState, const char16_t* APattern, uint32_t AOptions, const TKivString& AText) {
  int err = 0;
  PCRE2_SIZE errOff = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(APattern), PCRE2_ZERO_TERMINATED, AOptions, &err,
                                   &errOff, nullptr);
  if (!code) {
    AState.SkipWithError("pcre2_compile failed");
    return;
  }
  pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(AText.data());
  const PCRE2_SIZE len = AText.size();
  int64_t matches = 0, errors = 0;
  for (auto _ : AState) {
    matches = 0;
    for (PCRE2_SIZE at = 0; at <= len;) {
      const int rc = pcre2_match(code, subject, len, at, 0, md, nullptr);
      if (rc < 0) {
        if (rc != PCRE2_ERROR_NOMATCH) ++errors;
        break;
      }
      ++matches;
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
      at = ov[1] > ov[0] ? ov[1] : ov[0] + 1;
    }
    benchmark::DoNotOptimize(matches);
  }
  pcre2_match_data_free(md);
  pcre2_code_free(code);
  AState.counters["matches"] = static_cast<double>(matches);
  AState.counters["errors"] = static_cast<double>(errors);
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations()) * static_cast<int64_t>(AText.size()));
}
void BM_Pcre2BlockCommentDotAll(benchmark::State& AState) {
  Pcre2All(AState, u"/\\*.*?\\*/", PCRE2_DOTALL, Corpus16());
}
void BM_Pcre2BlockComment(benchmark::State& AState) {
  Pcre2All(AState, u"/\\*.*?\\*/", 0, Corpus16());
}
void BM_Pcre2AltStarAbLines(benchmark::State& AState) {
  Pcre2All(AState, u"(a|b)*c", 0, AbLines());
}
// PCRE2 ends the exponential search at its default match limit (ten million calls), not at a
// work budget like ours: the time to that error, for comparison. Its start optimisations are off
// (they find that no y occurs and never try), as ours do not look for a required literal after
// a start node.
void BM_Pcre2Exponential(benchmark::State& AState) {
  Pcre2All(AState, u"(x+x+)+y", PCRE2_NO_START_OPTIMIZE, std::u16string(64, u'x'));
}
#endif

}  // namespace

#ifdef KIV_BENCH_PCRE2
BENCHMARK(BM_Pcre2BlockCommentDotAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcre2BlockComment)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcre2AltStarAbLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcre2Exponential)->Unit(benchmark::kMillisecond)->Iterations(1);
#endif
BENCHMARK(BM_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeqFindLiteral)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaseInsensitiveLiteral)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeqFindNoCaseLiteral)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordBounded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StructDecl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Identifier)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockComment)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpperCaseCall)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockCommentDotAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AltStarAbLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BudgetRepeatSkip)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BudgetQuadratic)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BudgetExponential)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BudgetBackReference)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PathologicalRecursion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Budget100MBLiteral)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Budget100MBClass)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Budget100MBStructDecl)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Budget100MBUpperCaseCall)->Unit(benchmark::kMillisecond)->Iterations(1);
