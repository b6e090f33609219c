// Deep nesting with the demo's C scheme: '{\n' * n + '}\n' * n (second argument 0), or with
// "if (x) {" lines whose blocks make folds (1), tokenized from the first line to the last (the
// parse a jump to the document's end makes), from a refreshed parser. Reported:
// CPU time, and the heap the parser holds once it is done (bytes allocated and in use, from
// mallinfo2, after the parse less before it: the saved contexts, the fold tree and the token
// cache).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedParser.h"
#include "KivTestAccess.h"
#include "internal/ParserImpl.h"

namespace {

size_t HeapInUse() {
  const struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
}

void LoadC(TKivEditParser& AParser) {
  AParser.SetSchemeLoaders(
      [](const TKivString& AName) {
        const TKivDemoScheme* scheme = KivDemoFindSyntaxScheme(AName);
        return scheme ? scheme->Text : TKivString();
      },
      [](const TKivString&) { return KivDemoColorScheme().Text; });
  AParser.LoadSchemeDoc(u"C", u"default");
}

void BM_DeepNestingParseToEnd(benchmark::State& AState) {
  const Integer n = static_cast<Integer>(AState.range(0));
  TKivEditDocument doc;
  TKivStringList lines;
  // Plain braces open blocks that make no fold; "if (x) {" opens one that does.
  const TKivString open = AState.range(1) ? u"if (x) {" : u"{";
  for (Integer i = 0; i < n; ++i) lines.Add(open);
  for (Integer i = 0; i < n; ++i) lines.Add(TKivString(u"}"));
  doc.SetLines(lines);
  auto* parser = dynamic_cast<TKivEditParser*>(doc.GetParser());
  LoadC(*parser);
  const Integer last = doc.LinesCount() - 1;
  double held = 0;
  for (auto _ : AState) {
    AState.PauseTiming();
    TKivTestAccess::ParserImpl(*parser).Refresh();
    const size_t before = HeapInUse();
    AState.ResumeTiming();
    TKivTestAccess::ParserImpl(*parser).ParseTo(last);
    AState.PauseTiming();
    held = static_cast<double>(HeapInUse()) - static_cast<double>(before);
    AState.ResumeTiming();
  }
  if (AState.range(1) && parser->GetFoldEnd(0) != last) AState.SkipWithError("the outermost fold is not whole");
  AState.counters["heap_MB"] = held / (1024.0 * 1024.0);
}
BENCHMARK(BM_DeepNestingParseToEnd)
    ->ArgsProduct({{5000, 10000, 20000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
