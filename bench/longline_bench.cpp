// One very long line in the view core, without wrapping: a text of 200 short lines, the long line,
// and 200 short lines, shown in a window of 800 x 800 pixels (50 rows) with the fixed-width
// surface and a painter that draws nothing. The long line is either N characters of code-like
// text with tabs (range: N) or, with N = 0, a 5 MB minified script (one line of JavaScript-like
// text built here). The window is scrolled so that the middle of the long line is on screen.
//
//  BM_LongLineKeystroke: one character typed (inserted, then deleted the next time) in the middle
//    of the long line through the document, then the window painted: the view's bracket (layout,
//    dirty rows, caret, scroll bars) plus the paint of the text area.
//  BM_LongLineKeystrokeHighlighted: the same with the demo's C scheme tokenizing the text.
//  BM_LongLinePageStep: the top row moved a page down and back in turn, the long line entering
//    and leaving the window, then the window painted.
//  BM_LongLineWrapSwitch: wrapping to the window switched on and off in turn (each a layout of
//    the screen and a paint); the counters give the two directions apart.
//
// Times are wall-clock of one iteration, the CPU column the thread's CPU time; the wrap switch
// also gives both directions in wall and CPU milliseconds (on a shared machine, upper bounds).
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <string>

#include "BenchSurface.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedPainter.h"
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"

namespace {

using TClock = std::chrono::steady_clock;

TKivString LongLine(int64_t AChars) {
  TKivString s;
  if (AChars > 0) {
    static const TKivString piece = u"\tif (value[i] != other) { count += i * 2; }";
    s.reserve(static_cast<size_t>(AChars));
    while (static_cast<int64_t>(s.size()) < AChars) s += piece;
    s.resize(static_cast<size_t>(AChars));
    return s;
  }
  // 5 MB of minified script: no tabs, no line breaks.
  static const TKivString piece =
      u"function a(b,c){var d=b.length,e=0;for(;e<d;e++){if(b[e]===c)return e}return-1};"
      u"var f={g:1,h:\"text\",i:[1,2,3]};window.k=function(l){return a(l,f.g)+f.i.length};";
  s.reserve(5000000);
  while (s.size() < 5000000) s += piece;
  s.resize(5000000);
  return s;
}

struct LongLineView {
  // AHighlighted: the demo's schemes with "C" active (the long line is tokenized).
  explicit LongLineView(int64_t AChars, bool AHighlighted = false) : View(Host) {
    if (AHighlighted) {
      KivDemoFillDocument(Doc);
      Doc.Clear();
    }
    TKivString text;
    for (int i = 0; i < 200; ++i) text += u"short line before\r\n";
    text += LongLine(AChars);
    text += u"\r\n";
    for (int i = 0; i < 200; ++i) text += u"short line after\r\n";
    Doc.Insert(0, text);
    if (AHighlighted) Doc.SetActiveSyntaxScheme(u"C");
    View.SetDocument(&Doc);
    View.HostResized();
    LongLine_ = 200;
    Mid = (Doc.GetLineStart(LongLine_) + Doc.GetLineEnd(LongLine_)) / 2;
    View.GotoOffset(Mid);
  }
  ~LongLineView() { View.SetDocument(nullptr); }
  void Paint() {
    Painter.Paint(View.ScreenLayout(), Canvas, Host.TextAreaRect(), Host.TextAreaRect());
  }
  BenchHost Host;
  TKivEditViewCore View;
  TKivEditDocument Doc;
  TKivEditPainter Painter;
  NullPainter Canvas;
  Integer LongLine_ = 0;
  Integer Mid = 0;
};

void BM_LongLineKeystroke(benchmark::State& AState) {
  LongLineView v(AState.range(0));
  bool inserted = false;
  for (auto _ : AState) {
    const auto t0 = TClock::now();
    if (inserted)
      v.Doc.Delete(v.Mid, 1);
    else
      v.Doc.Insert(v.Mid, u"x");
    inserted = !inserted;
    v.Paint();
    AState.SetIterationTime(std::chrono::duration<double>(TClock::now() - t0).count());
  }
  benchmark::DoNotOptimize(v.Canvas.Calls);
}

// The keystroke with the C scheme tokenizing the text: the edited line is tokenized again.
void BM_LongLineKeystrokeHighlighted(benchmark::State& AState) {
  LongLineView v(AState.range(0), true);
  bool inserted = false;
  for (auto _ : AState) {
    const auto t0 = TClock::now();
    if (inserted)
      v.Doc.Delete(v.Mid, 1);
    else
      v.Doc.Insert(v.Mid, u"x");
    inserted = !inserted;
    v.Paint();
    AState.SetIterationTime(std::chrono::duration<double>(TClock::now() - t0).count());
  }
  benchmark::DoNotOptimize(v.Canvas.Calls);
}

void BM_LongLinePageStep(benchmark::State& AState) {
  LongLineView v(AState.range(0));
  const Integer page = v.View.FullyVisibleLines();
  const Integer top = v.View.TopLineScroll();
  bool down = false;
  for (auto _ : AState) {
    const auto t0 = TClock::now();
    v.View.SetTopLineScroll(down ? top : top + page);
    down = !down;
    v.Paint();
    AState.SetIterationTime(std::chrono::duration<double>(TClock::now() - t0).count());
  }
  benchmark::DoNotOptimize(v.Canvas.Calls);
}

void BM_LongLineWrapSwitch(benchmark::State& AState) {
  LongLineView v(AState.range(0));
  double onMs = 0, offMs = 0, onCpu = 0, offCpu = 0;
  int64_t n = 0;
  for (auto _ : AState) {
    const auto t0 = TClock::now();
    const double c0 = BenchThreadCpuMs();
    v.View.SetWrapMode(wmWrapToWindow);
    v.Paint();
    const auto t1 = TClock::now();
    const double c1 = BenchThreadCpuMs();
    v.View.SetWrapMode(wmNoWrap);
    v.View.GotoOffset(v.Mid);  // back to the middle of the long line, scrolled horizontally
    v.Paint();
    const auto t2 = TClock::now();
    const double c2 = BenchThreadCpuMs();
    onMs += std::chrono::duration<double, std::milli>(t1 - t0).count();
    offMs += std::chrono::duration<double, std::milli>(t2 - t1).count();
    onCpu += c1 - c0;
    offCpu += c2 - c1;
    ++n;
    AState.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
  }
  AState.counters["wrap_on_ms"] = onMs / double(n);
  AState.counters["wrap_off_ms"] = offMs / double(n);
  AState.counters["wrap_on_cpu_ms"] = onCpu / double(n);
  AState.counters["wrap_off_cpu_ms"] = offCpu / double(n);
  benchmark::DoNotOptimize(v.Canvas.Calls);
}

void LongLineArgs(benchmark::internal::Benchmark* B) {
  B->ArgNames({"chars"})->Arg(50000)->Arg(400000)->Arg(1600000)->Arg(0);
  B->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
}

}  // namespace

BENCHMARK(BM_LongLineKeystroke)->Apply(LongLineArgs);
BENCHMARK(BM_LongLineKeystrokeHighlighted)->Apply(LongLineArgs);
BENCHMARK(BM_LongLinePageStep)->Apply(LongLineArgs);
BENCHMARK(BM_LongLineWrapSwitch)->Apply(LongLineArgs);
