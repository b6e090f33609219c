// The scheme dialogs on the offscreen platform, wall-clock times (the demo's document and schemes):
//  - BM_ColorSchemeDialog: from ExecuteColorSchemeDlg on "default" (both example documents made
//    and highlighted) to the example view's first paint (counter first_paint_ms), then from the
//    user's choice of a new colour for "keyword" (a key typed into the colour box) until the
//    example view has repainted with it (change_ms).
//  - BM_SchemeEditDialog: from ExecuteSchemeEditDlg on the syntax scheme "C" to its view's first
//    paint (first_paint_ms), then from OK after a valid edit (a new keyword) until the shown main
//    view over the demo text has repainted (ok_to_repaint_ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <chrono>

#include "BenchQtMain.h"
#include "KivDemoData.h"
#include "KivSedColorSchemeDialog.h"
#include "KivSedSchemeEditDialog.h"
#include "KivSedView.h"

namespace {

using TClock = std::chrono::steady_clock;

double Ms(TClock::time_point A, TClock::time_point B) {
  return std::chrono::duration<double, std::milli>(B - A).count();
}

// Calls AOnPaint (from the event loop, after the paint ran) for each paint of a widget that
// AWatch names.
class TPaintWatch : public QObject {
 public:
  TPaintWatch(std::function<bool(QObject*)> AWatch, std::function<void()> AOnPaint)
      : FWatch(std::move(AWatch)), FOnPaint(std::move(AOnPaint)) {
    qApp->installEventFilter(this);
  }
  ~TPaintWatch() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override {
    if (AEvent->type() == QEvent::Paint && !FPending && FWatch(AObject)) {
      FPending = true;
      QTimer::singleShot(0, qApp, [this] {
        FPending = false;
        FOnPaint();
      });
    }
    return QObject::eventFilter(AObject, AEvent);
  }

 private:
  std::function<bool(QObject*)> FWatch;
  std::function<void()> FOnPaint;
  bool FPending = false;
};

void BM_ColorSchemeDialog(benchmark::State& AState) {
  TKivEditDocument doc;
  KivDemoFillDocument(doc);
  double paintSum = 0, changeSum = 0;
  int colour = 0;
  for (auto _ : AState) {
    TClock::time_point t0 = TClock::now(), painted{}, changed{}, changeStart{};
    int stage = 0;
    TKivSedColorSchemeDlg* dlg = nullptr;
    TPaintWatch watch(
        [&](QObject* AObject) {
          auto* widget = qobject_cast<QWidget*>(AObject);
          dlg = widget ? dynamic_cast<TKivSedColorSchemeDlg*>(widget->window()) : nullptr;
          return dlg && AObject == dlg->ViewExample->viewport();
        },
        [&] {
          if (stage == 0) {
            painted = TClock::now();
            stage = 1;
            const auto items = dlg->lsTokens->findItems(QStringLiteral("keyword"), Qt::MatchExactly);
            dlg->lsTokens->setCurrentItem(items.value(0));
            // "R"ed and "L"ime in turn: a keyboard search in the box, as the user types it.
            const QString key = (colour++ % 2) ? QStringLiteral("L") : QStringLiteral("R");
            QApplication::setKeyboardInputInterval(0);
            changeStart = TClock::now();
            QKeyEvent press(QEvent::KeyPress, key == "R" ? Qt::Key_R : Qt::Key_L, Qt::NoModifier, key);
            QApplication::sendEvent(dlg->cbColor, &press);
          } else if (stage == 1) {
            changed = TClock::now();
            stage = 2;
            dlg->reject();
          }
        });
    ExecuteColorSchemeDlg(doc, u"default", u"");
    if (stage != 2) return AState.SkipWithError("the example was not painted twice");
    paintSum += Ms(t0, painted);
    changeSum += Ms(changeStart, changed);
    AState.SetIterationTime(Ms(t0, painted) / 1000.0);
  }
  AState.counters["first_paint_ms"] = paintSum / double(AState.iterations());
  AState.counters["change_ms"] = changeSum / double(AState.iterations());
}
BENCHMARK(BM_ColorSchemeDialog)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SchemeEditDialog(benchmark::State& AState) {
  TKivEditDocument doc;
  KivDemoFillDocument(doc);
  TKivEditView view;
  view.resize(1000, 800);
  view.SetDocument(&doc);
  view.show();
  view.viewport()->repaint();
  TKivEditParserSchemeStrings& c = doc.SyntaxSchemes().FindItem(u"C")->Scheme();
  const Integer row = [&] {
    for (Integer i = 0; i < c.Count(); ++i)
      if (c.Get(i).find(u"<Keywords>") != TKivString::npos) return i + 1;
    return Integer(-1);
  }();
  if (row < 0) return AState.SkipWithError("no keyword list in C");
  double paintSum = 0, okSum = 0;
  int n = 0;
  for (auto _ : AState) {
    TClock::time_point t0 = TClock::now(), painted{}, okStart{}, repainted{};
    int stage = 0;
    bool scheduled = false;
    TPaintWatch watch(
        [&](QObject* AObject) {
          if (stage == 1) return AObject == view.viewport();
          auto* widget = qobject_cast<QWidget*>(AObject);
          auto* dlg = widget ? dynamic_cast<TKivSedSchemeEditDlg*>(widget->window()) : nullptr;
          if (!dlg || AObject != dlg->KivEditView1->viewport()) return false;
          if (stage == 0 && !scheduled) {
            scheduled = true;
            // The edit and OK follow the first paint.
            QTimer::singleShot(0, dlg, [&, dlg] {
              TKivStringList lines;
              lines.Assign(dlg->Doc->Lines());
              lines.Insert(row, u"      benchword" + KivFromUtf8(std::to_string(n++)));
              dlg->Doc->SetLines(lines);
              okStart = TClock::now();
              stage = 1;
              dlg->Button1->click();
            });
          }
          return false;
        },
        [&] {
          repainted = TClock::now();
          stage = 2;
        });
    // The first paint of the dialog's view is taken by a second watch.
    TPaintWatch first(
        [&](QObject* AObject) {
          auto* widget = qobject_cast<QWidget*>(AObject);
          auto* dlg = widget ? dynamic_cast<TKivSedSchemeEditDlg*>(widget->window()) : nullptr;
          return dlg && AObject == dlg->KivEditView1->viewport() && painted == TClock::time_point{};
        },
        [&] {
          if (painted == TClock::time_point{}) painted = TClock::now();
        });
    if (!ExecuteSchemeEditDlg(c, skSyntax, u"")) return AState.SkipWithError("not confirmed");
    for (int i = 0; i < 200 && stage != 2; ++i) QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (stage != 2 || painted == TClock::time_point{}) return AState.SkipWithError("no repaint seen");
    paintSum += Ms(t0, painted);
    okSum += Ms(okStart, repainted);
    AState.SetIterationTime(Ms(t0, painted) / 1000.0);
    // Back to the original keywords for the next run.
    c.Delete(row);
  }
  AState.counters["first_paint_ms"] = paintSum / double(AState.iterations());
  AState.counters["ok_to_repaint_ms"] = okSum / double(AState.iterations());
  view.SetDocument(nullptr);
}
BENCHMARK(BM_SchemeEditDialog)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QApplication>(argc, argv);
}
