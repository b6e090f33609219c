// Word completion over the benchmark corpus (wall time, a view with a window of 800 x 600 that
// measures every character as one pixel, no list window):
//  - BM_CtrlSpace100MB: Ctrl+Space after a new "str" at the end of the 100 MB corpus (the list
//    filled from the whole document, then left again).
//  - BM_CtrlSpace16MB: the same after "s" in the 16 MB corpus.
//  - BM_Refill100MB: a refill with the list shown after "str" (the same prefix again).
//  - BM_TypeWithList100MB: a word character typed with the list shown after "str", through the
//    command layer (the edit and the refill); a Backspace, not timed, takes it back.
//  - BM_BackWithList100MB: the Backspace, the character typed before it not timed.
#include <benchmark/benchmark.h>

#include "BenchCorpus.h"
#include "KivSedViewCore.h"

namespace {

class Window : public IKivViewHost {
 public:
  bool HasWindow() const override { return true; }
  TKivRect TextAreaRect() const override { return {0, 0, 800, 600}; }
  IKivMeasureSurface* MeasureSurface() override { return nullptr; }
  void FontChanged(const TKivViewFont&) override {}
  void InvalidateRect(const TKivRect&) override {}
  void InvalidateAll() override {}
  void Flush() override {}
  bool Focused() const override { return true; }
  void HideCaret() override {}
  void ShowCaret(Integer, Integer, Integer, Integer) override {}
  void SetScrollBars(const TKivScrollBarInfo&, const TKivScrollBarInfo&) override {}
  void Beep() override {}
};

struct Bench {
  Bench(const std::string& AFile, const TKivString& APrefix) {
    doc.LoadFromFile(KivFromUtf8(BenchCorpusPath(AFile)));
    doc.Insert(doc.CharsCount(), u"\r\n" + APrefix);
    view.SetDocument(&doc);
    view.HostResized();
    view.SetCursorOffset(doc.CharsCount());
  }
  Window host;
  TKivEditDocument doc;
  TKivEditViewCore view{host};
};

void Show(benchmark::State& AState, Bench& B, bool AKeepShown) {
  size_t items = 0;
  if (AKeepShown) B.view.ShowCompletion(fcForced, false);
  for (auto _ : AState) {
    B.view.ShowCompletion(fcForced, false);
    items = B.view.Completion().Items().size();
    if (!AKeepShown) B.view.ExitStates(siComplListShown);
  }
  AState.counters["items"] = double(items);
  AState.counters["chars"] = double(B.doc.CharsCount());
}

// The 100 MB corpus with a new "str" at its end, loaded once for all its benchmarks.
Bench& Str100MB() {
  static Bench b("c_100mb.txt", u"str");
  return b;
}

void BM_CtrlSpace100MB(benchmark::State& AState) {
  Show(AState, Str100MB(), false);
}
void BM_CtrlSpace16MB(benchmark::State& AState) {
  static Bench b("c_16mb.txt", u"s");
  Show(AState, b, false);
}
void BM_Refill100MB(benchmark::State& AState) {
  Show(AState, Str100MB(), true);
}

// One keystroke with the list shown: a typed "u" (after "str": "stru", still several words) or
// the Backspace that takes it back; the other one runs outside the timing.
void Keystroke(benchmark::State& AState, bool ATimeTyping) {
  Bench& b = Str100MB();
  IKivViewCommandHooks& keys = b.view.CommandHooks();
  b.view.ShowCompletion(fcForced, false);
  const auto type = [&] {
    keys.KeyDown(b.view, 0);
    keys.KeyPressW(b.view, u'u');
  };
  const auto back = [&] { keys.KeyDown(b.view, vkBack); };
  size_t items = 0;
  for (auto _ : AState) {
    if (ATimeTyping) {
      type();
      items = b.view.Completion().Items().size();
      AState.PauseTiming();
      back();
      AState.ResumeTiming();
    } else {
      AState.PauseTiming();
      type();
      AState.ResumeTiming();
      back();
      items = b.view.Completion().Items().size();
    }
  }
  AState.counters["items"] = double(items);
  AState.counters["shown"] = b.view.InState(siComplListShown) ? 1 : 0;
}
void BM_TypeWithList100MB(benchmark::State& AState) {
  Keystroke(AState, true);
}
void BM_BackWithList100MB(benchmark::State& AState) {
  Keystroke(AState, false);
}

}  // namespace

BENCHMARK(BM_CtrlSpace100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_CtrlSpace16MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Refill100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_TypeWithList100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_BackWithList100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
