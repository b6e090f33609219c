// The key-down path of a view without a window, with a custom list of 50 items (commands 0..49,
// so sedCopy, 17, is among them and Ctrl+C is not bound) in front of the default list:
//  - BM_KeyDownLookup: the look-ups of one key that no binding has (every item of both lists
//    scanned, then the custom list searched for the command).
//  - BM_KeyDownUnbound / BM_KeyDownBound: the whole key-down through the view's command hooks,
//    change bracket included, for that key and for Ctrl+C (a default binding its custom item
//    silences: found in the default list, then the custom item found).
#include <benchmark/benchmark.h>

#include "KivSedViewCore.h"

namespace {

class NoWindow : public IKivViewHost {
 public:
  bool HasWindow() const override { return false; }
  TKivRect TextAreaRect() const override { return {0, 0, 800, 600}; }
  IKivMeasureSurface* MeasureSurface() override { return nullptr; }
  void FontChanged(const TKivViewFont&) override {}
  void InvalidateRect(const TKivRect&) override {}
  void InvalidateAll() override {}
  void Flush() override {}
  bool Focused() const override { return false; }
  void HideCaret() override {}
  void ShowCaret(Integer, Integer, Integer, Integer) override {}
  void SetScrollBars(const TKivScrollBarInfo&, const TKivScrollBarInfo&) override {}
  void Beep() override {}
};

struct Bench {
  Bench() {
    doc.Lines().SetText(u"int main() { return 0; }");
    view.SetDocument(&doc);
    // 50 items, commands 0..49, on Ctrl+Alt+Shift or Alt+Shift with a letter: none of them
    // matches the measured keys, so every look-up scans the whole list.
    TKivEditCommandList& custom = view.CustomKeyBindings();
    for (int i = 0; i < 50; ++i) {
      TKivEditCommandItem& item = custom.Add();
      item.SetCommand(TKivEditCommand(i));
      item.SetModes(KivModes(cmForView));
      const TKivShiftState shift = i < 26 ? ssCtrl | ssAlt | ssShift : ssAlt | ssShift;
      item.Bindings().Add().SetShortcut(KivShortcut(static_cast<uint16_t>('A' + i % 26), shift));
    }
  }
  NoWindow host;
  TKivEditDocument doc;
  TKivEditViewCore view{host};
};

Bench& Shared() {
  static Bench b;
  return b;
}

constexpr TKivShortcut kUnbound = kivShortcutCtrl | 'Q';

void BM_KeyDownLookup(benchmark::State& AState) {
  Bench& b = Shared();
  const TKivEditCommandList& custom = b.view.CustomKeyBindings();
  const TKivEditCommandList& defaults = b.view.GetDefaultKeyBindings();
  const TKivEditCommandModes modes = KivModes(cmForView);
  for (auto _ : AState) {
    const TKivEditCommandBinding* found = custom.FindBinding(kUnbound, modes);
    if (!found) found = defaults.FindBinding(kUnbound, modes);
    benchmark::DoNotOptimize(found);
    benchmark::DoNotOptimize(custom.FindCommand(sedCopy));
  }
}

void BM_KeyDownUnbound(benchmark::State& AState) {
  Bench& b = Shared();
  for (auto _ : AState) benchmark::DoNotOptimize(b.view.CommandHooks().KeyDown(b.view, kUnbound));
}

void BM_KeyDownBound(benchmark::State& AState) {
  Bench& b = Shared();
  for (auto _ : AState)
    benchmark::DoNotOptimize(b.view.CommandHooks().KeyDown(b.view, kivShortcutCtrl | 'C'));
}

}  // namespace

BENCHMARK(BM_KeyDownLookup)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_KeyDownUnbound)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_KeyDownBound)->Unit(benchmark::kNanosecond);
