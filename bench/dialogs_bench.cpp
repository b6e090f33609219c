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
//  - BM_FindDialogToFirstPaint: wall time from the replace component's Execute to the first
//    paint of its window, with 1,000-entry search and replacement histories (counter
//    first_paint_max_ms: the slowest run); the window is then cancelled.
//  - BM_ReplaceAllViewOwn / BM_ReplaceAllThroughDialog: "int" replaced by "long" in the 16 MB C
//    corpus (bench/make_corpus), wall time, by the view's ReplaceAll and by "Replace All" in the
//    window (from Execute to its return, the window's own run included); the text is loaded
//    again between iterations, outside the time.
//  - The demo's main window (Vornish), wall time:
//    - BM_DemoButtonToFirstPaint/N: a click on the window's button N (0 "Find" ... 9 "Print") to
//      the first paint of the window it opens, which is then closed (counter first_paint_max_ms:
//      the slowest run, the first); "Print preview" includes preparing the sample's pages;
//    - BM_DemoPrintSampleToPdf: preparing the sample's pages, printing them to a PDF file and
//      releasing them;
//    - BM_DemoLinkCheck/0 and /1: the link check of a press on the sample's e-mail address (a box
//      would follow) and on an ordinary word;
//    - BM_DemoStartUpToFirstPaint: making the window with every component (its printer included,
//      counter printer_ms: making a printer alone) to the first paint of its view.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fstream>

#include <QAbstractButton>
#include <QDialog>
#include <QTemporaryDir>
#include <QToolButton>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
#include "KivDemoData.h"
#include "KivPrinter.h"
#include "KivSedDialogs.h"
#include "KivSedFindDialog.h"
#include "KivSedGotoLineDialog.h"
#include "KivSedViewPrintTask.h"
#include "VornishLinks.h"
#include "VornishMain.h"

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

// Watches the application's events for the find window: notes its first paint, then runs
// AOnPaint on it.
class TFindWindowDriver : public QObject {
 public:
  explicit TFindWindowDriver(std::function<void(TKivSedFindDlg&)> AOnPaint) : FOnPaint(std::move(AOnPaint)) {
    qApp->installEventFilter(this);
  }
  ~TFindWindowDriver() override { qApp->removeEventFilter(this); }
  TClock::time_point FirstPaint;
  bool Painted = false;

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    if (!Painted && AEvent->type() == QEvent::Paint) {
      auto* widget = qobject_cast<QWidget*>(AObject);
      if (auto* dlg = widget ? dynamic_cast<TKivSedFindDlg*>(widget->window()) : nullptr) {
        Painted = true;
        QTimer::singleShot(0, dlg, [this, dlg] {
          FirstPaint = TClock::now();
          FOnPaint(*dlg);
        });
      }
    }
    return QObject::eventFilter(AObject, AEvent);
  }

 private:
  std::function<void(TKivSedFindDlg&)> FOnPaint;
};

void BM_FindDialogToFirstPaint(benchmark::State& AState) {
  TKivEditDocument doc;
  doc.Insert(0, u"int a;\r\nint b;\r\n");
  TKivEditView view;
  view.show();
  view.SetDocument(&doc);
  TKivEditReplaceDialog component;
  component.SetView(&view);
  TKivStringList history;
  for (int i = 0; i < 1000; ++i) history.Add(u"history entry " + KivFromUtf8(std::to_string(i)));
  component.SetSearches(history);
  component.SetReplaces(history);
  double paintMax = 0;
  for (auto _ : AState) {
    TFindWindowDriver driver([](TKivSedFindDlg& ADlg) { ADlg.reject(); });
    const auto t0 = TClock::now();
    component.Execute();
    if (!driver.Painted) return AState.SkipWithError("the window was not painted");
    const double paint = std::chrono::duration<double, std::milli>(driver.FirstPaint - t0).count();
    paintMax = std::max(paintMax, paint);
    AState.SetIterationTime(paint / 1000.0);
  }
  AState.counters["first_paint_max_ms"] = paintMax;
}
BENCHMARK(BM_FindDialogToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The 16 MB corpus, read once.
const TKivString& Corpus16() {
  static const TKivString text = [] {
    TKivEditDocument doc;
    doc.LoadFromFile(KivFromUtf8(BenchCorpusPath("c_16mb.txt")));
    return doc.Text();
  }();
  return text;
}

const TKivEditSearchArguments kIntToLong{
    u"int", u"long", {soCaseSensitive, soWholeWords}, sdForward, ssTextStartEnd};

template <class F>
void ReplaceAllBench(benchmark::State& AState, F&& ARun) {
  if (Corpus16().empty()) return AState.SkipWithError("no corpus: run bench/make_corpus");
  TKivEditDocument doc;
  TKivEditView view;
  view.show();
  view.SetDocument(&doc);
  Integer count = 0;
  for (auto _ : AState) {
    AState.PauseTiming();
    doc.Lines().SetText(Corpus16());
    view.SetCursorOffset(0);
    // The view's repaint after the new text belongs to neither run.
    view.viewport()->repaint();
    QApplication::processEvents();
    AState.ResumeTiming();
    if (!ARun(view)) return AState.SkipWithError("nothing replaced");
    count = view.SearchLastNumReplacements();
  }
  AState.counters["replacements"] = double(count);
}

void BM_ReplaceAllViewOwn(benchmark::State& AState) {
  ReplaceAllBench(AState, [](TKivEditView& AView) { return AView.ReplaceAll(kIntToLong, rbAllText); });
}
BENCHMARK(BM_ReplaceAllViewOwn)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_ReplaceAllThroughDialog(benchmark::State& AState) {
  ReplaceAllBench(AState, [](TKivEditView& AView) {
    TKivEditReplaceDialog component;
    component.SetView(&AView);
    component.SetOptions(kIntToLong.Options);
    component.SetStart(ssTextStartEnd);
    TFindWindowDriver driver([](TKivSedFindDlg& ADlg) {
      ADlg.edTextToSearch->setEditText(QStringLiteral("int"));
      ADlg.edReplaceText->setEditText(QStringLiteral("long"));
      ADlg.btnReplaceAll->click();
    });
    return component.Execute() && component.LastResult() == srFound;
  });
}
BENCHMARK(BM_ReplaceAllThroughDialog)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// ---- the demo's main window ----

// Notes the first paint of the modal window that opens next, then closes it (rejects it).
class TModalFirstPaint : public QObject {
 public:
  TModalFirstPaint() { qApp->installEventFilter(this); }
  ~TModalFirstPaint() override { qApp->removeEventFilter(this); }
  TClock::time_point FirstPaint;
  bool Painted = false;

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    if (!Painted && AEvent->type() == QEvent::Paint) {
      auto* widget = qobject_cast<QWidget*>(AObject);
      QWidget* modal = QApplication::activeModalWidget();
      if (widget && modal && widget->window() == modal) {
        Painted = true;
        const bool result = QObject::eventFilter(AObject, AEvent);
        // The paint runs after the filter: the time is taken when the event loop comes back.
        QTimer::singleShot(0, modal, [this, modal] {
          FirstPaint = TClock::now();
          if (auto* dlg = qobject_cast<QDialog*>(modal))
            dlg->reject();
          else
            modal->close();
        });
        return result;
      }
    }
    return QObject::eventFilter(AObject, AEvent);
  }
};

// Errors reach no box while the benchmarks run; they fail the run instead.
QString gDemoError;

TDialogsForm& DemoForm() {
  static TDialogsForm* form = [] {
    TKivCustomEditView::SetErrorHandler([](QWidget*, const QString& AMessage) { gDemoError = AMessage; });
    auto* f = new TDialogsForm;
    f->show();
    QApplication::processEvents();
    return f;
  }();
  return *form;
}

void BM_DemoButtonToFirstPaint(benchmark::State& AState) {
  TDialogsForm& form = DemoForm();
  QAbstractButton* const buttons[] = {form.btnFind,       form.btnReplace,      form.btnGoto,
                                      form.btnKeybindings, form.btnColorSchemes, form.btnSyntax,
                                      form.btnPrintSetup,   form.btnPageSetup,    form.btnPrintPreview,
                                      form.btnPrint};
  QAbstractButton* button = buttons[AState.range(0)];
  AState.SetLabel(button->text().toStdString());
  double sum = 0, max = 0;
  for (auto _ : AState) {
    TModalFirstPaint watch;
    gDemoError.clear();
    const auto t0 = TClock::now();
    button->click();
    if (!gDemoError.isEmpty()) return AState.SkipWithError(gDemoError.toStdString().c_str());
    if (!watch.Painted) return AState.SkipWithError("no window was painted");
    const double ms = std::chrono::duration<double, std::milli>(watch.FirstPaint - t0).count();
    sum += ms;
    max = std::max(max, ms);
    AState.SetIterationTime(ms / 1000.0);
  }
  AState.counters["first_paint_max_ms"] = max;
  AState.counters["first_paint_ms"] = sum / double(AState.iterations());
}
BENCHMARK(BM_DemoButtonToFirstPaint)->DenseRange(0, 9)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_DemoPrintSampleToPdf(benchmark::State& AState) {
  TDialogsForm& form = DemoForm();
  QTemporaryDir dir;
  TKivPrinter printer;  // the default device: the PDF printer on a machine without printers
  TKivPrinterSettings settings = printer.GetPrinter();
  settings.OutputFile = dir.filePath(QStringLiteral("sample.pdf")).toStdU16String();
  printer.SetPrinter(settings);
  TKivEditViewPrintTask task;
  task.SetView(form.View);
  task.SetPrinter(&printer);
  Integer pages = 0;
  for (auto _ : AState) {
    task.PreparePages();
    pages = task.PagesCount();
    task.Print();
    task.FinalizePages();
  }
  AState.counters["pages"] = double(pages);
}
BENCHMARK(BM_DemoPrintSampleToPdf)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void BM_DemoLinkCheck(benchmark::State& AState) {
  TDialogsForm& form = DemoForm();
  const TKivString text = form.Doc->Text();
  const Integer offset = Integer(text.find(AState.range(0) == 0 ? u"support@" : u"misplaced")) + 3;
  TKivRect r;
  if (!form.View->ScrollPosToClient(form.View->OffsetToScrollPos(offset), r))
    return AState.SkipWithError("the word is not on screen");
  const Integer x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
  size_t found = 0;
  for (auto _ : AState) {
    const TKivString message = KivLinkMessageAt(*form.View, x, y);
    found += !message.empty();
    benchmark::DoNotOptimize(message.data());
  }
  if ((found > 0) != (AState.range(0) == 0)) AState.SkipWithError("unexpected result");
  AState.SetLabel(AState.range(0) == 0 ? "e-mail address" : "ordinary word");
}
BENCHMARK(BM_DemoLinkCheck)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Notes the first paint of one widget.
class TFirstPaint : public QObject {
 public:
  TFirstPaint() { qApp->installEventFilter(this); }
  ~TFirstPaint() override { qApp->removeEventFilter(this); }
  QWidget* Target = nullptr;
  bool Painted = false;

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    const bool result = QObject::eventFilter(AObject, AEvent);
    if (!Painted && AEvent->type() == QEvent::Paint && Target && AObject == Target) Painted = true;
    return result;
  }
};

void BM_DemoStartUpToFirstPaint(benchmark::State& AState) {
  double printerMs = 0;
  for (auto _ : AState) {
    TFirstPaint watch;
    const auto t0 = TClock::now();
    auto form = std::make_unique<TDialogsForm>();
    watch.Target = form->View->viewport();
    form->show();
    for (int i = 0; i < 1000 && !watch.Painted; ++i) QApplication::processEvents(QEventLoop::AllEvents, 5);
    const auto t1 = TClock::now();
    if (!watch.Painted) return AState.SkipWithError("the view was not painted");
    AState.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    AState.PauseTiming();
    form.reset();
    const auto p0 = TClock::now();
    { TKivPrinter printer; }
    printerMs += std::chrono::duration<double, std::milli>(TClock::now() - p0).count();
    AState.ResumeTiming();
  }
  AState.counters["printer_ms"] = printerMs / double(AState.iterations());
}
BENCHMARK(BM_DemoStartUpToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
