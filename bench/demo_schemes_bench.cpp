// Tokenizing with the demo's schemes: every line of the 16 MB C corpus with "C", and of a 5 MB
// HTML page with embedded style sheets and scripts with "HTML", through MarkTokens as a view
// asks for them, from a freshly refreshed parser. Throughput in MB/s of CPU time.
// (Run bench/make_corpus first; without it the C text is built in memory from /usr/include.)
// KIV_HTML_BYTES sets the size of the HTML text (5000000 by default), e.g. for a profiler run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "BenchCorpus.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedParser.h"

namespace {

std::string CorpusFile() {
  return BenchCorpusPath("c_16mb.txt");
}

std::string ReadFile(const std::string& APath) {
  std::ifstream in(APath, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// C headers from /usr/include, repeated up to 16 MB (when the corpus is missing).
std::string BuildCText() {
  std::string all;
  for (const auto& e : std::filesystem::recursive_directory_iterator(
           "/usr/include", std::filesystem::directory_options::skip_permission_denied))
    if (e.is_regular_file() && e.path().extension() == ".h") all += ReadFile(e.path().string());
  std::string out;
  while (!all.empty() && out.size() < 16000000) out += all;
  out.resize(std::min<size_t>(out.size(), 16000000));
  return out;
}

// A page section with markup, entities, comments, a style sheet and a script; repeated to 5 MB.
std::string BuildHtmlText() {
  const std::string section = R"(<div class="order" id="o17">
  <!-- one order, with its own
       style and script -->
  <style type="text/css">
    .order { border: 1px solid #ccc; margin: 4px 0; }
    .order td.total { font-weight: bold; color: rgba(200, 0, 0, .8); }
  </style>
  <table>
    <tr><th>No.</th><th>Item &amp; size</th><th>Price</th></tr>
    <tr><td>1</td><td>Paper &lt;A4&gt;</td><td class="total">4.50</td></tr>
  </table>
  <p>Questions to <a href="mailto:orders@example.com">orders</a>.<br/></p>
  <script type="text/javascript">
    function total(rows) {
      var s = 0;
      for (var i = 0; i < rows.length; i++) {
        if (rows[i].price > 0) { s += rows[i].price * 1.19; }
      }
      return "total: " + s.toFixed(2) + "\n";
    }
  </script>
</div>
)";
  std::string out = "<!DOCTYPE html>\n<html>\n<body>\n";
  const char* lim = std::getenv("KIV_HTML_BYTES");
  const size_t size = lim ? std::stoul(lim) : 5000000;
  while (out.size() < size) out += section;
  return out + "</body>\n</html>\n";
}

TKivEditDocument& Document(const std::u16string& AScheme) {
  static std::map<std::u16string, std::unique_ptr<TKivEditDocument>> docs;
  auto& doc = docs[AScheme];
  if (!doc) {
    doc = std::make_unique<TKivEditDocument>();
    doc->SetParser(std::make_unique<TKivEditParser>());
    KivDemoFillDocument(*doc);
    std::string text;
    if (AScheme == u"C") {
      text = std::filesystem::exists(CorpusFile()) ? ReadFile(CorpusFile()) : BuildCText();
    } else {
      text = BuildHtmlText();
    }
    doc->SetLines(TKivStringList(KivSplitLines(KivFromUtf8(text))));
    doc->SetActiveSyntaxScheme(AScheme);
  }
  return *doc;
}

class TCountingHandler : public TKivTokenHandler {
 public:
  int64_t Count = 0;
  void HandleToken(const TKivSegment&, Integer, const TKivEditAttributes&) override { ++Count; }
};

void TokenizeAll(benchmark::State& AState, const std::u16string& AScheme) {
  TKivEditDocument& doc = Document(AScheme);
  TKivEditParserBase& parser = *doc.GetParser();
  const auto chars = static_cast<int64_t>(doc.CharsCount());
  int64_t tokens = 0;
  for (auto _ : AState) {
    parser.Refresh();
    TCountingHandler handler;
    for (Integer line = 0; line < doc.LinesCount(); ++line) parser.MarkTokens(line, handler);
    tokens = handler.Count;
    benchmark::DoNotOptimize(tokens);
  }
  // Characters of the text (one byte each in these ASCII texts).
  AState.SetBytesProcessed(chars * AState.iterations());
  AState.counters["lines"] = doc.LinesCount();
  AState.counters["tokens"] = static_cast<double>(tokens);
}

void BM_TokenizeC16MB(benchmark::State& AState) { TokenizeAll(AState, u"C"); }
void BM_TokenizeHtml5MB(benchmark::State& AState) { TokenizeAll(AState, u"HTML"); }

BENCHMARK(BM_TokenizeC16MB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TokenizeHtml5MB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
