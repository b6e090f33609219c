// Syntax scheme loading: the C scheme, and a generated 19-scheme set with 200 token rules and
// 2,000 keywords (wall time per load).
#include <benchmark/benchmark.h>

#include <string>

#include "../tests/syntax/SyntaxSamples.h"
#include "KivSedParser.h"

namespace {

// 19 schemes in one document: Main inherits the C-like base and embeds the others; 200 token
// rules and 2,000 keywords in all.
TKivString LargeSchemeSet() {
  std::string s = "<SchemeList root='Main'>\n";
  int rules = 0;
  for (int i = 0; i < 18; ++i) {
    s += " <Scheme name='S" + std::to_string(i) + "'>\n";
    for (int r = 0; r < 11; ++r, ++rules) {
      switch (r % 4) {
        case 0:
          s += "  <Regex regex='k" + std::to_string(r) + "_\\w+' token0='keyword'/>\n";
          break;
        case 1:
          s += "  <Regex regex='\\d+(\\.\\d+)?[eE]?\\d*' token0='number' priority='" + std::to_string(r) +
               "'/>\n";
          break;
        case 2:
          s += "  <RegexBlock start='/\\*" + std::to_string(r) +
               "' end='\\*/' innerScheme='S0' start_token0='comment' "
               "end_token0='comment'/>\n";
          break;
        default:
          s += "  <Regex regex='[{}()\\[\\];,.:?~!%^&amp;*+=|&lt;&gt;/-]' token0='symbol'/>\n";
      }
    }
    s += "  <KeywordRegex>\\b[a-zA-Z_]\\w*\\b</KeywordRegex>\n  <Keywords>";
    for (int k = 0; k < 111; ++k) s += " w" + std::to_string(i) + "_" + std::to_string(k);
    s += "</Keywords>\n";
    s +=
        "  <SyntaxBlock capture='true' start='[ kw:while kw:if ] [^ sym:; sym:} ]*? sym:\\{' end='sym:}'/>\n";
    s += " </Scheme>\n";
  }
  s += " <Scheme name='Main' inherit='S1' inherit1='S2'>\n";
  for (; rules < 200; ++rules) s += "  <Regex regex='m" + std::to_string(rules) + "\\w*' token0='string'/>\n";
  for (int i = 3; i < 18; ++i)
    s += "  <RegexBlock start='&lt;" + std::to_string(i) + "&gt;' end='&lt;/" + std::to_string(i) +
         "&gt;' innerScheme='S" + std::to_string(i) + "'/>\n";
  s += "  <Keywords>";
  for (int k = 0; k < 2000 - 18 * 111; ++k) s += " main" + std::to_string(k);
  s += "</Keywords>\n </Scheme>\n</SchemeList>\n";
  return KivFromUtf8(s);
}

void LoadBench(benchmark::State& AState, const TKivString& AText) {
  TKivEditParser parser;
  parser.SetSchemeLoaders([&](const TKivString&) { return AText; },
                          [](const TKivString&) { return kDefaultColors; });
  for (auto _ : AState) parser.LoadSchemeDoc(u"X", u"default");
}

void BM_LoadCScheme(benchmark::State& AState) {
  LoadBench(AState, kCScheme);
}
BENCHMARK(BM_LoadCScheme)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadLargeSchemeSet(benchmark::State& AState) {
  LoadBench(AState, LargeSchemeSet());
}
BENCHMARK(BM_LoadLargeSchemeSet)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
