// Parsing and writing a 2 MB scheme-like XML document, in MB/s (bytes_per_second).
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "KivXML.h"

namespace {

// Rules with attributes, entities, a non-ASCII letter, comments and empty elements.
const std::string& SampleXml() {
  static const std::string xml = [] {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<scheme name=\"C\">\n";
    for (int i = 0; s.size() < 2 * 1024 * 1024; ++i) {
      s += "  <rule id=\"" + std::to_string(i) +
           "\" pattern=\"[a-z]+ &amp; \\d+\" color=\"#FF00A0\" bold=\"1\">\n"
           "    <text>Some keyword text &lt;here&gt; with \xD0\x96 unicode</text>\n"
           "    <!-- a comment -->\n    <empty/>\n  </rule>\n";
    }
    return s + "</scheme>\n";
  }();
  return xml;
}

IKivXmlDocument NewDocument() {
  return IKivXmlDocument(new TKivXmlDocument(new TKivXmlNameTable(4096)));
}

void BM_LoadXml(benchmark::State& AState) {
  const TKivString text = KivFromUtf8(SampleXml());
  IKivXmlDocument doc = NewDocument();
  for (auto _ : AState) doc->LoadXml(text);
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(SampleXml().size()));
}
BENCHMARK(BM_LoadXml)->Unit(benchmark::kMillisecond);

void BM_LoadFromStreamUtf8(benchmark::State& AState) {
  IKivXmlDocument doc = NewDocument();
  for (auto _ : AState) {
    std::istringstream in(SampleXml());
    doc->LoadFromStream(in);
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(SampleXml().size()));
}
BENCHMARK(BM_LoadFromStreamUtf8)->Unit(benchmark::kMillisecond);

void BM_ToXml(benchmark::State& AState) {
  IKivXmlDocument doc = NewDocument();
  doc->LoadXml(KivFromUtf8(SampleXml()));
  for (auto _ : AState) benchmark::DoNotOptimize(doc->ToXml());
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(SampleXml().size()));
}
BENCHMARK(BM_ToXml)->Unit(benchmark::kMillisecond);

void BM_SaveToStreamUtf8(benchmark::State& AState) {
  IKivXmlDocument doc = NewDocument();
  doc->LoadXml(KivFromUtf8(SampleXml()));
  for (auto _ : AState) {
    std::ostringstream out;
    doc->SaveToStream(out);
    benchmark::DoNotOptimize(out.str());
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(SampleXml().size()));
}
BENCHMARK(BM_SaveToStreamUtf8)->Unit(benchmark::kMillisecond);

void BM_BinaryRoundTrip(benchmark::State& AState) {
  IKivXmlDocument doc = NewDocument();
  doc->LoadXml(KivFromUtf8(SampleXml()));
  for (auto _ : AState) {
    const std::string bytes = doc->BinaryXml();
    doc->LoadBinaryXml(bytes);
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(SampleXml().size()));
}
BENCHMARK(BM_BinaryRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace
