// The key bindings editor on the offscreen platform:
//  - BM_KeyBindingsExecuteToFirstPaint: wall time from the component's Execute to the window's
//    first paint (counters first_paint_ms and first_paint_max_ms, the slowest run: the first, which
//    loads the window's fonts and style); each iteration one run of the window, closed with Esc.
//  - BM_ApplyBindings: one ApplyBindings of a tree in which every command changed (each has an
//    extra two-stroke binding), into the view's custom list; wall time per call.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "BenchQtMain.h"
#include "KivSedDialogs.h"
#include "KivSedKeyBindingsDialog.h"

namespace {

using TClock = std::chrono::steady_clock;

// Notes the first paint of the key bindings window, then closes it with Esc.
class TWindowDriver : public QObject {
 public:
  TWindowDriver() { qApp->installEventFilter(this); }
  ~TWindowDriver() override { qApp->removeEventFilter(this); }
  TClock::time_point FirstPaint;
  bool Painted = false;

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    if (!Painted && AEvent->type() == QEvent::Paint) {
      auto* widget = qobject_cast<QWidget*>(AObject);
      if (auto* dlg = widget ? dynamic_cast<TKivSedKeyBindingsDlg*>(widget->window()) : nullptr) {
        Painted = true;
        // The paint runs after the filter: the time is taken when the event loop comes back.
        QTimer::singleShot(0, dlg, [this, dlg] {
          FirstPaint = TClock::now();
          QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
          QApplication::sendEvent(dlg, &esc);
        });
      }
    }
    return QObject::eventFilter(AObject, AEvent);
  }
};

void BM_KeyBindingsExecuteToFirstPaint(benchmark::State& AState) {
  TKivEditDocument doc;
  doc.Insert(0, u"one\r\ntwo\r\nthree");
  TKivEditView view;
  view.resize(800, 600);
  view.show();
  view.SetDocument(&doc);
  TKivEditKeybindingsDialog component;
  component.SetView(&view);
  double sum = 0, max = 0;
  for (auto _ : AState) {
    TWindowDriver driver;
    const auto t0 = TClock::now();
    const bool ok = component.Execute();
    if (ok || !driver.Painted) return AState.SkipWithError("the window was not painted and cancelled");
    const double ms = std::chrono::duration<double, std::milli>(driver.FirstPaint - t0).count();
    sum += ms;
    max = std::max(max, ms);
    AState.SetIterationTime(ms / 1000.0);
  }
  AState.counters["first_paint_ms"] = sum / double(AState.iterations());
  AState.counters["first_paint_max_ms"] = max;
}
BENCHMARK(BM_KeyBindingsExecuteToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_ApplyBindings(benchmark::State& AState) {
  TKivEditView view;
  TKivKeyBindingsModel model;
  model.BuildCommandTree(view.GetDefaultKeyBindings(), view.CustomKeyBindings());
  // Ctrl+Alt+K, then a letter or digit of its own for every command.
  const TKivShortcut first = KivShortcut('K', ssCtrl | ssAlt);
  uint16_t key = '0';
  for (TNodeData* node : model.Nodes()) {
    model.AddBinding(*node, first, key);
    key = key == '9' ? 'A' : key == 'Z' ? uint16_t(vkF1) : uint16_t(key + 1);
  }
  const auto nodes = double(model.Nodes().size());
  for (auto _ : AState) {
    model.ApplyBindings(view.CustomKeyBindings());
    benchmark::DoNotOptimize(view.CustomKeyBindings().Count());
  }
  if (view.CustomKeyBindings().Count() != Integer(nodes)) AState.SkipWithError("not every command applied");
  AState.counters["commands"] = nodes;
}
BENCHMARK(BM_ApplyBindings)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
