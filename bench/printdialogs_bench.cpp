// The printing dialogs on the offscreen platform, each run on the virtual PDF printer: wall time
// from the component's Execute to the window's first paint (the time each iteration reports;
// counter first_paint_max_ms: the slowest run, the first, which loads fonts and style). Each
// iteration opens the window once and closes it with reject() right after its first paint.
//  - BM_PageSetupToFirstPaint: "Page settings" with its page sample;
//  - BM_PrintDialogToFirstPaint: Qt's print dialog with a page range of 1 to 5;
//  - BM_PrinterSetupToFirstPaint: "Print setup";
//  - BM_TemplateEditorToFirstPaint: the template editor on a two-line header.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QPrintDialog>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "BenchQtMain.h"
#include "KivQtPrint.h"
#include "KivSedPrintDialogs.h"

namespace {

using TClock = std::chrono::steady_clock;

// Notes the first paint of a window of class T and closes it as soon as the paint is done.
template <class T>
class TFirstPaint : public QObject {
 public:
  TFirstPaint() { qApp->installEventFilter(this); }
  ~TFirstPaint() override { qApp->removeEventFilter(this); }
  TClock::time_point FirstPaint;
  bool Painted = false;

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    if (!Painted && AEvent->type() == QEvent::Paint) {
      auto* widget = qobject_cast<QWidget*>(AObject);
      if (auto* dlg = widget ? dynamic_cast<T*>(widget->window()) : nullptr) {
        Painted = true;
        // The paint runs after the filter: the time is taken when the event loop comes back.
        QTimer::singleShot(0, dlg, [this, dlg] {
          FirstPaint = TClock::now();
          dlg->reject();
        });
      }
    }
    return QObject::eventFilter(AObject, AEvent);
  }
};

template <class T>
void Measure(benchmark::State& AState, const std::function<void()>& AExecute) {
  double maxMs = 0;
  for (auto _ : AState) {
    TFirstPaint<T> watch;
    const auto t0 = TClock::now();
    AExecute();
    if (!watch.Painted) return AState.SkipWithError("the window was not painted");
    const double ms = std::chrono::duration<double, std::milli>(watch.FirstPaint - t0).count();
    maxMs = std::max(maxMs, ms);
    AState.SetIterationTime(ms / 1000.0);
  }
  AState.counters["first_paint_max_ms"] = maxMs;
}

void BM_PageSetupToFirstPaint(benchmark::State& AState) {
  TKivPrinter printer(TKivQtPrintDevice::CreatePdf());
  TKivPrintPageSetupDialog dlg;
  dlg.SetPrinter(&printer);
  Measure<TKivSedPageSetupDlg>(AState, [&] { dlg.Execute(); });
}
BENCHMARK(BM_PageSetupToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_PrintDialogToFirstPaint(benchmark::State& AState) {
  TKivPrinter printer(TKivQtPrintDevice::CreatePdf());
  TKivPrintDialog dlg;
  dlg.SetPrinter(&printer);
  dlg.SetOptions(KivPdo(poPageNums));
  dlg.SetMinPage(1);
  dlg.SetMaxPage(5);
  Measure<QPrintDialog>(AState, [&] { dlg.Execute(); });
}
BENCHMARK(BM_PrintDialogToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_PrinterSetupToFirstPaint(benchmark::State& AState) {
  TKivPrinter printer(TKivQtPrintDevice::CreatePdf());
  TKivPrinterSetupDialog dlg;
  dlg.SetPrinter(&printer);
  Measure<TKivSedPrinterSetupDlg>(AState, [&] { dlg.Execute(); });
}
BENCHMARK(BM_PrinterSetupToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_TemplateEditorToFirstPaint(benchmark::State& AState) {
  TKivQtRichText text;
  text.SetLines({u"Page [Page] of [PagesCount]", u"[Title]"});
  Measure<TKivTemplateEditDialog>(AState, [&] { KivExecuteTemplateEditDlg("Edit page header", text); });
}
BENCHMARK(BM_TemplateEditorToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
