// What the layout benchmarks share: the measuring surface (every character 8 px wide, rows of
// 16 px, no complex scripts), the view core's host, a painting surface that draws nothing, and
// the thread's CPU clock.
#pragma once

#include <time.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "KivSedMeasure.h"
#include "KivSedViewHooks.h"

class BenchSurface : public IKivMeasureSurface {
 public:
  Integer CharWidth(Char, TKivFontStyles, TKivFontCharset) override { return 8; }
  Integer SpaceWidth() override { return 8; }
  TKivFontMetrics Metrics(TKivFontStyles) override { return {16, 13, 3, 0, 8}; }
  bool IsComplex(TKivStringView) override { return false; }
  std::unique_ptr<IKivShapedRun> Shape(TKivStringView, TKivFontStyles, TKivFontCharset) override {
    return nullptr;
  }
};

// CPU time of the calling thread in milliseconds.
inline double BenchThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The view core's host in the benchmarks: a window of Area on the fixed-width surface that counts
// the rows it is asked to repaint, keeps the vertical bar's last state and queues the steps the
// view posts (a benchmark runs them itself).
class BenchHost : public IKivViewHost {
 public:
  bool HasWindow() const override { return true; }
  TKivRect TextAreaRect() const override { return Area; }
  IKivMeasureSurface* MeasureSurface() override { return &Surface; }
  void FontChanged(const TKivViewFont&) override {}
  void InvalidateRect(const TKivRect& ARect) override { Rows += ARect.Height() / 16; }
  void InvalidateAll() override { Rows += Area.Height() / 16; }
  void Flush() override {}
  bool Focused() const override { return true; }
  void HideCaret() override {}
  void ShowCaret(Integer, Integer, Integer, Integer) override {}
  void SetScrollBars(const TKivScrollBarInfo& AVert, const TKivScrollBarInfo&) override { Vert = AVert; }
  void Beep() override {}
  bool PostStep(std::function<void()> AStep) override {
    Steps.push_back(std::move(AStep));
    return true;
  }

  TKivRect Area{0, 0, 800, 800};
  BenchSurface Surface;
  int64_t Rows = 0;
  TKivScrollBarInfo Vert;
  std::vector<std::function<void()>> Steps;
};

// Runs the steps a view posted to AHost (and those they post) in order, each timed: its wall and
// thread CPU milliseconds, one entry per step.
struct BenchStepTimes {
  std::vector<double> Wall, Cpu;
};
inline BenchStepTimes RunBenchSteps(BenchHost& AHost) {
  BenchStepTimes times;
  while (!AHost.Steps.empty()) {
    auto step = std::move(AHost.Steps.front());
    AHost.Steps.erase(AHost.Steps.begin());
    const double c0 = BenchThreadCpuMs();
    const auto s0 = std::chrono::steady_clock::now();
    step();
    times.Wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - s0).count());
    times.Cpu.push_back(BenchThreadCpuMs() - c0);
  }
  return times;
}

// Draws nothing; counts the calls so that they are not optimised away.
class NullPainter : public IKivPaintSurface {
 public:
  void FillRect(const TKivRect&, TKivColor) override { ++Calls; }
  void DrawText(const TKivPoint&, TKivStringView AText, const IKivShapedRun*, TKivColor, TKivFontStyles,
                TKivFontCharset, const TKivRect&) override {
    Calls += static_cast<int64_t>(AText.size());
  }
  void SetClipRects(const std::vector<TKivRect>&) override { ++Calls; }
  void ClearClip() override { ++Calls; }
  void VLine(Integer, Integer, Integer, TKivColor) override { ++Calls; }
  void HLine(Integer, Integer, Integer, TKivColor) override { ++Calls; }
  bool HasImage(TKivGutterImage) override { return true; }
  void DrawImage(TKivGutterImage, const TKivRect&) override { ++Calls; }
  void Save() override {}
  void Restore() override {}
  int64_t Calls = 0;
};
