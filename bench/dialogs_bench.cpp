// The editor's dialogs on the offscreen platform, with the go-to-line component on a shown view
// of a 200,000-line document (the demo's C scheme):
//  - BM_GotoLineExecuteToFirstPaint: wall time from Execute to the window's first paint
//    (counter first_paint_ms, the slowest run first_paint_max_ms: the first, which loads the
//    window's fonts and style), and on to the view moved to the typed line and repainted
//    (counter moved_ms); each iteration one run of the window.
//  - BM_GotoLineOpenCloseCycles: 1,000 runs of the window, each closed with Esc; counters: the
//    resident memory before and after (rss_start_mb, rss_end_mb), its growth over the cycles
//    (rss_growth_mb) and after a first warm-up run (rss_growth_after_warmup_mb), and the number
//    of windows that were shown and painted (windows_painted).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fstream>

#include "BenchQtMain.h"
#include "KivDemoData.h"
#include "KivSedDialogs.h"
#include "KivSedGotoLineDialog.h"

namespace {

using TClock = std::chrono::steady_clock;

double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

std::unique_ptr<TKivEditDocument> BigDocument() {
  auto doc = std::make_unique<TKivEditDocument>();
  KivDemoFillDocument(*doc);
  TKivString text;
  for (int i = 0; i < 200000; ++i) text += u"int value = compute(a, b) + 42; /* a comment */\r\n";
  doc->Insert(0, text);
  return doc;
}

// Watches the application's events: notes the first paint of the go-to-line window, then types
// AText into its field and presses Enter (or presses Esc when AText is empty).
class TWindowDriver : public QObject {
 public:
  explicit TWindowDriver(QString AText) : FText(std::move(AText)) { qApp->installEventFilter(this); }
  ~TWindowDriver() override { qApp->removeEventFilter(this); }
  TClock::time_point FirstPaint;
  bool Painted = false;

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    if (!Painted && AEvent->type() == QEvent::Paint) {
      auto* widget = qobject_cast<QWidget*>(AObject);
      if (auto* dlg = widget ? dynamic_cast<TKivSedGotoLineDlg*>(widget->window()) : nullptr) {
        Painted = true;
        const bool result = QObject::eventFilter(AObject, AEvent);
        // The paint runs after the filter: the time is taken when the event loop comes back.
        QTimer::singleShot(0, dlg, [this, dlg] {
          FirstPaint = TClock::now();
          Finish(*dlg);
        });
        return result;
      }
    }
    return QObject::eventFilter(AObject, AEvent);
  }

 private:
  void Finish(TKivSedGotoLineDlg& ADlg) {
    if (FText.isEmpty()) {
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(ADlg.edtLine, &esc);
      return;
    }
    ADlg.edtLine->setText(FText);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(ADlg.edtLine, &enter);
  }
  QString FText;
};

void BM_GotoLineExecuteToFirstPaint(benchmark::State& AState) {
  auto doc = BigDocument();
  TKivEditView view;
  view.resize(1000, 800);
  view.show();
  view.SetDocument(doc.get());
  view.viewport()->repaint();
  TKivEditGotoLineDialog component;
  component.SetView(&view);
  int line = 1000;
  double paintSum = 0, movedSum = 0, paintMax = 0;
  for (auto _ : AState) {
    line = line * 7 % 199000 + 1;
    TWindowDriver driver(QString::number(line));
    const auto t0 = TClock::now();
    component.Execute();
    view.viewport()->repaint();
    const auto t1 = TClock::now();
    if (!driver.Painted) return AState.SkipWithError("the window was not painted");
    const double paint = std::chrono::duration<double, std::milli>(driver.FirstPaint - t0).count();
    const double moved = std::chrono::duration<double, std::milli>(t1 - t0).count();
    paintSum += paint;
    paintMax = std::max(paintMax, paint);
    movedSum += moved;
    AState.SetIterationTime(paint / 1000.0);
    if (view.CursorPos().Y != view.PhysicalToScroll(line - 1))
      return AState.SkipWithError("the view did not move");
  }
  AState.counters["first_paint_ms"] = paintSum / double(AState.iterations());
  AState.counters["first_paint_max_ms"] = paintMax;
  AState.counters["moved_ms"] = movedSum / double(AState.iterations());
}
BENCHMARK(BM_GotoLineExecuteToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_GotoLineOpenCloseCycles(benchmark::State& AState) {
  TKivEditDocument doc;
  doc.Insert(0, u"one\r\ntwo\r\nthree");
  TKivEditView view;
  view.show();
  view.SetDocument(&doc);
  TKivEditGotoLineDialog component;
  component.SetView(&view);
  int painted = 0;
  const auto cycle = [&] {
    TWindowDriver driver({});
    component.Execute();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    painted += driver.Painted;
  };
  for (auto _ : AState) {
    const double start = ResidentMb();
    cycle();
    const double warm = ResidentMb();
    for (int i = 1; i < 1000; ++i) cycle();
    QApplication::processEvents();
    const double end = ResidentMb();
    AState.counters["rss_start_mb"] = start;
    AState.counters["rss_end_mb"] = end;
    AState.counters["rss_growth_mb"] = end - start;
    AState.counters["rss_growth_after_warmup_mb"] = end - warm;
    AState.counters["windows_painted"] = painted;
  }
}
BENCHMARK(BM_GotoLineOpenCloseCycles)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
