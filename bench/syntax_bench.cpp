// Syntax scheme loading: the C scheme, and a generated 19-scheme set with 200 token rules and
// 2,000 keywords (wall time per load).
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

#include "../tests/syntax/SyntaxSamples.h"
#include "KivDemoData.h"
#include "KivSedParser.h"
#include "KivTestAccess.h"
#include "internal/ParserImpl.h"

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
                          [](const TKivString&) { return KivDemoColorScheme().Text; });
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

namespace {

// A document with the C scheme attached through its own parser.
struct TCDocument {
  TKivEditDocument Doc;
  TKivEditParser* Parser;

  explicit TCDocument(const char* AFile) {
    Doc.LoadFromFile(KivFromUtf8(AFile));
    Parser = dynamic_cast<TKivEditParser*>(Doc.GetParser());
    Parser->SetSchemeLoaders([](const TKivString&) { return kCScheme; },
                             [](const TKivString&) { return KivDemoColorScheme().Text; });
    Parser->LoadSchemeDoc(u"C", u"default");
  }
};

// Full tokenizing of the 16 MB C corpus from scratch: bytes_per_second is the figure.
void BM_TokenizeC16MB(benchmark::State& AState) {
  TCDocument c("bench/corpus/c_16mb.txt");
  const Integer last = c.Doc.LinesCount() - 1;
  for (auto _ : AState) {
    c.Parser->Refresh();
    TKivTestAccess::ParserImpl(*c.Parser).ParseTo(last);
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(c.Doc.CharsCount()));
}
BENCHMARK(BM_TokenizeC16MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// A one-character edit in the middle, then the edited line is asked for: lines re-parsed.
void BM_EditMidFile(benchmark::State& AState) {
  TCDocument c("bench/corpus/c_16mb.txt");
  const Integer mid = c.Doc.LinesCount() / 2;
  TKivTestAccess::ParserImpl(*c.Parser).ParseTo(c.Doc.LinesCount() - 1);
  int64_t lines = 0;
  for (auto _ : AState) {
    c.Doc.Insert(c.Doc.GetLineStart(mid), u" ");
    const int64_t before = TKivTestAccess::ParserImpl(*c.Parser).FStatLinesParsed;
    c.Parser->GetParsedLine(mid);
    lines = TKivTestAccess::ParserImpl(*c.Parser).FStatLinesParsed - before;
  }
  AState.counters["lines_reparsed"] = double(lines);
}
BENCHMARK(BM_EditMidFile)->Unit(benchmark::kMicrosecond);

// Where a character is typed: the middle of a line, the middle of a word, a line's start.
enum TTypeAt { taMidLine, taInWord, taLineStart };

// A character typed in a line in the middle of the file (and deleted again, untimed), then the
// edited line asked for: the CPU time of the request ("Time" is the manual time), and the
// lines it re-parsed.
void TypeMidFile(benchmark::State& AState, const TKivString& AText, TTypeAt AWhere) {
  TCDocument c("bench/corpus/c_16mb.txt");
  Integer mid = c.Doc.LinesCount() / 2;
  auto isLetter = [&](Integer APos) {
    const TKivString ch = c.Doc.GetText(APos, 1);
    return !ch.empty() && ((ch[0] >= u'a' && ch[0] <= u'z') || (ch[0] >= u'A' && ch[0] <= u'Z'));
  };
  Integer at = -1;
  for (; at < 0; ++mid) {
    const Integer s = c.Doc.GetLineStart(mid), e = c.Doc.GetLineEnd(mid);
    if (AWhere == taLineStart) {
      at = s;
    } else if (AWhere == taMidLine) {
      if (e - s >= 8) at = (s + e) / 2;
    } else {
      for (Integer p = (s + e) / 2; p + 1 < e && at < 0; ++p)
        if (isLetter(p) && isLetter(p + 1)) at = p + 1;
    }
  }
  --mid;
  TKivTestAccess::ParserImpl(*c.Parser).ParseTo(c.Doc.LinesCount() - 1);
  const Integer len = static_cast<Integer>(AText.size());
  int64_t lines = 0;
  // The request alone is timed, in the thread's CPU time (the machine may be busy).
  auto cpuNow = [] {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
  };
  for (auto _ : AState) {
    c.Doc.Insert(at, AText);
    const int64_t before = TKivTestAccess::ParserImpl(*c.Parser).FStatLinesParsed;
    const double t0 = cpuNow();
    benchmark::DoNotOptimize(c.Parser->GetParsedLine(mid));
    AState.SetIterationTime(cpuNow() - t0);
    lines = TKivTestAccess::ParserImpl(*c.Parser).FStatLinesParsed - before;
    c.Doc.Delete(at, len);
    c.Parser->GetParsedLine(mid);
  }
  AState.counters["lines_reparsed"] = double(lines);
}
void BM_TypeInLineMidFile(benchmark::State& AState) {
  TypeMidFile(AState, u"x", taMidLine);
}
BENCHMARK(BM_TypeInLineMidFile)->Unit(benchmark::kMicrosecond)->UseManualTime();
void BM_TypeInWordMidFile(benchmark::State& AState) {
  TypeMidFile(AState, u"x", taInWord);
}
BENCHMARK(BM_TypeInWordMidFile)->Unit(benchmark::kMicrosecond)->UseManualTime();
void BM_TypeCommentStartMidFile(benchmark::State& AState) {
  TypeMidFile(AState, u"/*", taLineStart);
}
BENCHMARK(BM_TypeCommentStartMidFile)->Unit(benchmark::kMicrosecond)->UseManualTime();

// A 1 MB single line: its cost is bounded by the first MaxLineLengthToParse characters.
void BM_OneMegabyteLine(benchmark::State& AState) {
  TKivEditDocument doc;
  TKivString line;
  while (line.size() < 1024 * 1024) line += u"int x = f(a, \"s\"); /* c */ ";
  doc.Lines().SetText(line);
  auto* parser = dynamic_cast<TKivEditParser*>(doc.GetParser());
  parser->SetSchemeLoaders([](const TKivString&) { return kCScheme; },
                           [](const TKivString&) { return KivDemoColorScheme().Text; });
  parser->LoadSchemeDoc(u"C", u"default");
  for (auto _ : AState) {
    parser->Refresh();
    benchmark::DoNotOptimize(parser->GetParsedLine(0)->TokenCount());
  }
}
BENCHMARK(BM_OneMegabyteLine)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// Four lines of 1 MB each with MaxLineLengthToParse above their length.
constexpr const char16_t* kPiece = u"int x = f(a, \"s\"); /* c */ ";
constexpr Integer kPieceLength = 27;
struct TFourMegabyteLines {
  TKivEditDocument Doc;
  TKivEditParser* Parser;
  TFourMegabyteLines() {
    TKivString line;
    while (line.size() < 1024 * 1024) line += kPiece;
    Doc.Lines().SetText(line + u"\r\n" + line + u"\r\n" + line + u"\r\n" + line);
    Parser = dynamic_cast<TKivEditParser*>(Doc.GetParser());
    Parser->SetSchemeLoaders([](const TKivString&) { return kCScheme; },
                             [](const TKivString&) { return KivDemoColorScheme().Text; });
    Parser->LoadSchemeDoc(u"C", u"default");
    Parser->SetMaxLineLengthToParse(2 * 1024 * 1024);
  }
  // The bytes of the token cache per character of the text.
  double TokenCacheBytesPerChar() {
    const TTokenCache& cache = TKivTestAccess::ParserImpl(*Parser).TokenCache();
    size_t bytes = 0;
    for (Integer l = 0; l < Doc.LinesCount(); ++l)
      if (const TTokenLine* t = cache.PeekLine(l)) bytes += t->MemoryBytes();
    return double(bytes) / double(Doc.CharsCount());
  }
};

// A character typed in the middle of the third line (deleted again, untimed), then the edited
// line asked for (AAll: all four lines, as a window showing them would): the thread's CPU time
// of the requests ("Time" is the manual time), the characters they tokenized and the token
// cache's bytes per character. AOffset: where in the repeated piece the character goes (22: in
// the comment, the codes the syntax blocks see stay as they were; 0: before "int", the keyword
// becomes another word).
void EditFourMegabyteLines(benchmark::State& AState, Integer AOffset, bool AAll) {
  TFourMegabyteLines f;
  for (Integer l = 0; l < f.Doc.LinesCount(); ++l) f.Parser->GetParsedLine(l);
  const Integer s = f.Doc.GetLineStart(2);
  const Integer at = s + (f.Doc.GetLineEnd(2) - s) / 2 / kPieceLength * kPieceLength + AOffset;
  auto cpuNow = [] {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
  };
  auto ask = [&] {
    if (AAll) {
      for (Integer l = 0; l < f.Doc.LinesCount(); ++l) benchmark::DoNotOptimize(f.Parser->GetParsedLine(l));
    } else {
      benchmark::DoNotOptimize(f.Parser->GetParsedLine(2));
    }
  };
  const TParserImpl& impl = TKivTestAccess::ParserImpl(*f.Parser);
  int64_t chars = 0;
  for (auto _ : AState) {
    f.Doc.Insert(at, u"x");
    const int64_t before = impl.FStatCharsParsed;
    const double t0 = cpuNow();
    ask();
    AState.SetIterationTime(cpuNow() - t0);
    chars = impl.FStatCharsParsed - before;
    f.Doc.Delete(at, 1);
    ask();
  }
  AState.counters["cache_bytes_per_char"] = f.TokenCacheBytesPerChar();
  AState.counters["chars_reparsed"] = double(chars);
}
void BM_EditFourMegabyteLinesInComment(benchmark::State& AState) {
  EditFourMegabyteLines(AState, 22, false);
}
BENCHMARK(BM_EditFourMegabyteLinesInComment)->Unit(benchmark::kMillisecond)->UseManualTime();
void BM_EditFourMegabyteLinesKeyword(benchmark::State& AState) {
  EditFourMegabyteLines(AState, 0, false);
}
BENCHMARK(BM_EditFourMegabyteLinesKeyword)->Unit(benchmark::kMillisecond)->UseManualTime();
// The keyword in the middle of the third line changed for another ("int" to "if", a keyword the
// syntax blocks know by name; put back untimed): the codes the syntax blocks see change, the
// blocks and folds do not.
void BM_EditFourMegabyteLinesKeywordChanged(benchmark::State& AState) {
  TFourMegabyteLines f;
  for (Integer l = 0; l < f.Doc.LinesCount(); ++l) f.Parser->GetParsedLine(l);
  const Integer s = f.Doc.GetLineStart(2);
  const Integer at = s + (f.Doc.GetLineEnd(2) - s) / 2 / kPieceLength * kPieceLength;
  auto cpuNow = [] {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
  };
  const TParserImpl& impl = TKivTestAccess::ParserImpl(*f.Parser);
  int64_t chars = 0;
  for (auto _ : AState) {
    f.Doc.Delete(at, 3);
    f.Doc.Insert(at, u"if");
    const int64_t before = impl.FStatCharsParsed;
    const double t0 = cpuNow();
    benchmark::DoNotOptimize(f.Parser->GetParsedLine(2));
    AState.SetIterationTime(cpuNow() - t0);
    chars = impl.FStatCharsParsed - before;
    f.Doc.Delete(at, 2);
    f.Doc.Insert(at, u"int");
    benchmark::DoNotOptimize(f.Parser->GetParsedLine(2));
  }
  AState.counters["cache_bytes_per_char"] = f.TokenCacheBytesPerChar();
  AState.counters["chars_reparsed"] = double(chars);
}
BENCHMARK(BM_EditFourMegabyteLinesKeywordChanged)->Unit(benchmark::kMillisecond)->UseManualTime();
void BM_EditFourMegabyteLinesInCommentAskAll(benchmark::State& AState) {
  EditFourMegabyteLines(AState, 22, true);
}
BENCHMARK(BM_EditFourMegabyteLinesInCommentAskAll)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
