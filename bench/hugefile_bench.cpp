// The view core on 1 GB texts (10^9 bytes, generated on the first run into a temporary folder:
// $KIV_HUGE_DIR, else $TMPDIR/kiv_hugefile): the system's C headers repeated (the demo's C
// scheme) and a log of short lines (the demo's Text scheme), with the demo's schemes and colours
// as the application sets them, a fixed-width surface and a focused window of 1000 x 800 pixels
// that records nothing. Each row starts from a fresh view and a parser that has parsed nothing
// (not timed) and times one action on this thread, as wall time ("real") and as the thread's CPU
// time ("cpu_ms"; the wall time suffers from other processes on the machine, this one less):
//  - Load: the file read into the document;
//  - JumpEnd / JumpMiddle: the caret to the text's end (or its middle line) and one paint of
//    the window;
//  - FirstKeyMid: with the whole text parsed (a jump to the end), the caret to the middle
//    line (not timed), then one character typed there and one paint; GapMoveMid is the same
//    insertion on the document alone with nothing parsed, on a freshly read document whose gap
//    was put at the text's end (not timed), so the move runs cold (the document's gap move);
//  - WrapOn: wrap to the window switched on at the text's start;
//  - FoldAll: every fold collapsed.
// Work the view leaves for its host's event loop (its posted steps) runs after the timed call
// until none is left: "steps", "max_step_ms" (the longest, wall), "all_steps_ms" (their sum),
// "steps_cpu_ms" (their CPU time), "max_step_cpu_ms" (the longest, CPU), "step_cpu_p50" and
// "step_cpu_p99" (the median and 99th percentile of their CPU times) and "steps_over_50ms" (the
// steps above 50 ms of CPU time).
// "hwm_ratio" is the peak resident memory of the process during the row and its steps (VmHWM of
// /proc/self/status, reset before the row) over the file's size in bytes; "rss_ratio" the
// resident memory after it; "heap_used_ratio" and "heap_free_ratio" the allocator's bytes in
// use and held free (mallinfo2) after it, over the file's size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "BenchSurface.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedPainter.h"
#include "KivSedViewCore.h"

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr int64_t kFileBytes = 1000000000;

fs::path HugeDir() {
  if (const char* dir = std::getenv("KIV_HUGE_DIR")) return dir;
  return fs::temp_directory_path() / "kiv_hugefile";
}

// Writes APath with AFill until it has kFileBytes bytes, unless it has them already.
template <class F>
void MakeFile(const fs::path& APath, F AFill) {
  std::error_code ec;
  if (fs::exists(APath, ec) && static_cast<int64_t>(fs::file_size(APath, ec)) == kFileBytes) return;
  fs::create_directories(APath.parent_path(), ec);
  std::ofstream out(APath, std::ios::binary | std::ios::trunc);
  int64_t left = kFileBytes;
  std::string chunk;
  for (int64_t round = 0; left > 0; ++round) {
    chunk.clear();
    AFill(round, chunk);
    if (chunk.empty()) break;
    const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(chunk.size()));
    out.write(chunk.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}

fs::path CFile() {
  const fs::path path = HugeDir() / "c_1gb.txt";
  std::vector<fs::path> headers;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator("/usr/include", ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    if (it->is_regular_file(ec) && it->path().extension() == ".h") headers.push_back(it->path());
  std::sort(headers.begin(), headers.end());
  std::string all;
  for (const fs::path& h : headers) {
    std::ifstream in(h, std::ios::binary);
    all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  MakeFile(path, [&](int64_t, std::string& AChunk) { AChunk = all; });
  return path;
}

fs::path LogFile() {
  const fs::path path = HugeDir() / "log_1gb.txt";
  static const char* const kLevels[] = {"INFO ", "DEBUG", "WARN ", "ERROR"};
  MakeFile(path, [](int64_t ARound, std::string& AChunk) {
    char line[160];
    for (int64_t i = 0; i < 100000; ++i) {
      const int64_t n = ARound * 100000 + i;
      const int len = std::snprintf(line, sizeof line, "2026-12-11 %02d:%02d:%02d.%03d %s [worker-%d] request %lld done in %d ms\n",
                                    int(n / 3600000 % 24), int(n / 60000 % 60), int(n / 1000 % 60), int(n % 1000),
                                    kLevels[n % 7 == 0 ? 3 : n % 3], int(n % 17), static_cast<long long>(n),
                                    int(n * 7919 % 500));
      AChunk.append(line, static_cast<size_t>(len));
    }
  });
  return path;
}

int64_t StatusKb(const char* AField) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::char_traits<char>::length(AField);
  while (std::getline(in, line))
    if (line.compare(0, n, AField) == 0) return std::atoll(line.c_str() + n + 1);
  return 0;
}

// Resets VmHWM to the current resident size.
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

enum TCorpus { cC, cLog };

// One corpus loaded at a time (two would not fit beside each other's peaks).
struct TCorpusState {
  std::unique_ptr<TKivEditDocument> Doc;
  TCorpus Kind = cC;
  double LoadMs = 0;
  double LoadCpuMs = 0;
};

TCorpusState& State() {
  static TCorpusState state;
  return state;
}

TKivEditDocument& Corpus(TCorpus AKind) {
  TCorpusState& s = State();
  if (s.Doc && s.Kind == AKind) return *s.Doc;
  s.Doc.reset();
  const fs::path path = AKind == cC ? CFile() : LogFile();
  s.Doc = std::make_unique<TKivEditDocument>();
  KivDemoFillDocument(*s.Doc);
  const double cpu0 = BenchThreadCpuMs();
  const auto t0 = TClock::now();
  s.Doc->LoadFromFile(KivFromUtf8(path.string()));
  s.LoadMs = std::chrono::duration<double, std::milli>(TClock::now() - t0).count();
  s.LoadCpuMs = BenchThreadCpuMs() - cpu0;
  s.Doc->SetActiveSyntaxScheme(AKind == cC ? u"C" : u"Text");
  s.Doc->ClearUndo();
  s.Kind = AKind;
  return *s.Doc;
}

enum TAction { aLoad, aJumpEnd, aJumpMiddle, aFirstKeyMid, aGapMoveMid, aWrapOn, aFoldAll };

void Paint(TKivEditViewCore& AView, BenchHost& AHost) {
  TKivEditPainter painter;
  AView.PreparePainter(painter);
  NullPainter p;
  painter.Paint(AView.ScreenLayout(), p, AHost.Area, AHost.Area);
}

void BM_HugeFile(benchmark::State& AState) {
  const auto corpus = TCorpus(AState.range(0));
  const auto action = TAction(AState.range(1));
  for (auto _ : AState) {
    // A gap move is timed cold: on a document of its own, whose middle nothing has touched
    // since it was read.
    if (action == aLoad || action == aGapMoveMid) State().Doc.reset();
    ResetPeak();
    TKivEditDocument& doc = Corpus(corpus);
    if (action == aLoad) {
      AState.SetIterationTime(State().LoadMs / 1e3);
      AState.counters["cpu_ms"] = State().LoadCpuMs;
      AState.counters["hwm_ratio"] = double(StatusKb("VmHWM:")) * 1024 / kFileBytes;
      AState.counters["rss_ratio"] = double(StatusKb("VmRSS:")) * 1024 / kFileBytes;
      AState.counters["lines"] = doc.LinesCount();
      continue;
    }
    doc.GetParser()->Refresh();
    doc.ClearUndo();
    BenchHost host;
    host.Area = {0, 0, 1000, 800};
    auto view = std::make_unique<TKivEditViewCore>(host);
    view->SetDocument(&doc);
    view->HostResized();
    Paint(*view, host);
    const Integer midLine = doc.LinesCount() / 2;
    if (action == aFirstKeyMid) {
      view->GotoOffset(doc.CharsCount());
      Paint(*view, host);
      while (!host.Steps.empty()) {
        auto step = std::move(host.Steps.front());
        host.Steps.erase(host.Steps.begin());
        step();
      }
      view->GotoPhysLine(midLine);
      Paint(*view, host);
    }
    if (action == aGapMoveMid) {
      doc.Internal().InsertStr(doc.CharsCount(), u"x", 0, nullptr);
      doc.GetParser()->Refresh();
    }
    host.Steps.clear();
    ResetPeak();
    const double cpu0 = BenchThreadCpuMs();
    const auto t0 = TClock::now();
    switch (action) {
      case aJumpEnd:
        view->GotoOffset(doc.CharsCount());
        Paint(*view, host);
        break;
      case aJumpMiddle:
        view->GotoPhysLine(midLine);
        Paint(*view, host);
        break;
      case aFirstKeyMid:
        view->CommandHooks().KeyPressW(*view, u'x');
        Paint(*view, host);
        break;
      case aGapMoveMid:
        doc.Internal().InsertStr(doc.GetLineStart(midLine), u"x", 0, nullptr);
        break;
      case aWrapOn:
        view->SetWrapMode(wmWrapToWindow);
        Paint(*view, host);
        break;
      case aFoldAll:
        view->FoldAllIn(-1);
        Paint(*view, host);
        break;
      case aLoad:
        break;
    }
    AState.SetIterationTime(std::chrono::duration<double>(TClock::now() - t0).count());
    AState.counters["cpu_ms"] = BenchThreadCpuMs() - cpu0;
    BenchStepTimes times = RunBenchSteps(host);
    if (!times.Wall.empty()) {
      Paint(*view, host);
      std::vector<double>& stepCpus = times.Cpu;
      AState.counters["steps"] = double(stepCpus.size());
      AState.counters["max_step_ms"] = *std::max_element(times.Wall.begin(), times.Wall.end());
      AState.counters["all_steps_ms"] = std::accumulate(times.Wall.begin(), times.Wall.end(), 0.0);
      AState.counters["steps_cpu_ms"] = std::accumulate(stepCpus.begin(), stepCpus.end(), 0.0);
      std::sort(stepCpus.begin(), stepCpus.end());
      const auto at = [&](double AFraction) {
        return stepCpus[std::min(stepCpus.size() - 1, static_cast<size_t>(AFraction * double(stepCpus.size())))];
      };
      AState.counters["step_cpu_p50"] = at(0.5);
      AState.counters["step_cpu_p99"] = at(0.99);
      AState.counters["max_step_cpu_ms"] = stepCpus.back();
      AState.counters["steps_over_50ms"] = double(std::count_if(stepCpus.begin(), stepCpus.end(), [](double ms) { return ms > 50; }));
    }
    AState.counters["hwm_ratio"] = double(StatusKb("VmHWM:")) * 1024 / kFileBytes;
    AState.counters["rss_ratio"] = double(StatusKb("VmRSS:")) * 1024 / kFileBytes;
    AState.counters["bar_max"] = host.Vert.Max;
    {
      const struct mallinfo2 mi = mallinfo2();
      AState.counters["heap_used_ratio"] = double(mi.uordblks + mi.hblkhd) / kFileBytes;
      AState.counters["heap_free_ratio"] = double(mi.fordblks) / kFileBytes;
    }
    view->SetDocument(nullptr);
    view.reset();
    if (action == aFirstKeyMid || action == aGapMoveMid) {
      doc.GetParser()->Refresh();
      while (doc.CanUndo()) doc.Undo();
      doc.ClearUndo();
    }
  }
}

}  // namespace

BENCHMARK(BM_HugeFile)
    ->ArgNames({"log", "action"})
    ->Args({cC, aLoad})
    ->Args({cC, aJumpEnd})
    ->Args({cC, aJumpMiddle})
    ->Args({cC, aFirstKeyMid})
    ->Args({cC, aGapMoveMid})
    ->Args({cC, aWrapOn})
    ->Args({cC, aFoldAll})
    ->Args({cLog, aLoad})
    ->Args({cLog, aJumpEnd})
    ->Args({cLog, aWrapOn})
    ->Args({cLog, aFoldAll})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
