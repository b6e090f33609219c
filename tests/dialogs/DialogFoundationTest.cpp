// The dialogs' foundation: the one error display (the view's handler, else the UI services'
// error box), guarded dialog handlers, the scripted UI services and the modal-window helper,
// including its failure paths (a window that never comes, a window left open).
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "DialogTestSupport.h"
#include "KivSedDialogForm.h"
#include "KivSedGotoLineDialog.h"
#include "KivSedView.h"

namespace {

// The view's error handler while it lives.
struct TErrorHandlerScope {
  TErrorHandlerScope() {
    TKivCustomEditView::SetErrorHandler([this](QWidget* AWhere, const QString& AMessage) {
      Shown.push_back({AWhere, AMessage.toStdString()});
    });
  }
  ~TErrorHandlerScope() { TKivCustomEditView::SetErrorHandler(nullptr); }
  std::vector<std::pair<QWidget*, std::string>> Shown;
};

// A go-to-line window with one more button whose handler fails.
class TFailingGotoLineDlg : public TKivSedGotoLineDlg {
 public:
  explicit TFailingGotoLineDlg(Integer ACount) : TKivSedGotoLineDlg(ACount) {
    Fail = new QPushButton(QStringLiteral("Fail"), this);
    Fail->setAutoDefault(false);
    layout()->addWidget(Fail);
    OnClick(Fail, [this] {
      ++Clicks;
      if (Clicks == 1) throw EKivEditViewError(u"handler failed");
      throw std::runtime_error("plain failure");
    });
  }
  QPushButton* Fail;
  int Clicks = 0;
};

}  // namespace

// With no handler set, the view's errors go to the UI services' error box; a handler takes
// them over, and none restores the box.
TEST(DialogFoundation, TheOneErrorDisplay) {
  TScriptedUiServices ui;
  struct TRaising : IKivViewCommandHooks {
    bool KeyDown(TKivEditViewCore&, uint16_t) override { throw EKivEditViewError(u"command failed"); }
  } raising;
  TKivEditView view;
  view.SetCommandHooks(&raising);
  QTest::keyClick(&view, Qt::Key_A);
  EXPECT_EQ(ui.Texts(TUiCall::Error), std::vector<QString>{"command failed"});
  {
    TErrorHandlerScope handler;
    QTest::keyClick(&view, Qt::Key_B);
    TKivCustomEditView::ShowError(nullptr, QStringLiteral("from a dialog"));
    ASSERT_EQ(handler.Shown.size(), 2u);
    EXPECT_EQ(handler.Shown[0].first, &view);
    EXPECT_EQ(handler.Shown[0].second, "command failed");
    EXPECT_EQ(handler.Shown[1].second, "from a dialog");
  }
  EXPECT_EQ(ui.Count(TUiCall::Error), 1);
  TKivCustomEditView::ShowError(&view, QStringLiteral("after"));
  EXPECT_EQ(ui.Texts(TUiCall::Error), (std::vector<QString>{"command failed", "after"}));
  view.SetCommandHooks(nullptr);
}

// RunGuarded turns every kind of exception into one shown message; an error raised while one is
// shown is dropped instead of stacking boxes.
TEST(DialogFoundation, RunGuardedShowsOneMessageAtATime) {
  TScriptedUiServices ui;
  EXPECT_TRUE(TKivCustomEditView::RunGuarded(nullptr, [] {}));
  EXPECT_FALSE(TKivCustomEditView::RunGuarded(nullptr, [] { throw EKivEditViewError(u"kiv"); }));
  EXPECT_FALSE(TKivCustomEditView::RunGuarded(nullptr, [] { throw std::runtime_error("std"); }));
  EXPECT_FALSE(TKivCustomEditView::RunGuarded(nullptr, [] { throw 42; }));
  EXPECT_EQ(ui.Texts(TUiCall::Error), (std::vector<QString>{"kiv", "std", "Unknown error"}));
  int nested = 0;
  TKivCustomEditView::SetErrorHandler([&](QWidget*, const QString&) {
    ++nested;
    TKivCustomEditView::ShowError(nullptr, QStringLiteral("inner"));
  });
  TKivCustomEditView::ShowError(nullptr, QStringLiteral("outer"));
  TKivCustomEditView::SetErrorHandler(nullptr);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(ui.Count(TUiCall::Error), 3);
}

// An exception in a dialog's button handler reaches the error handler, and the dialog stays
// usable: it is still open, takes input and closes with OK.
TEST(DialogFoundation, AnErrorInAButtonHandlerLeavesTheDialogUsable) {
  TErrorHandlerScope handler;
  TFailingGotoLineDlg dlg(250);
  bool stillOpen = false;
  auto driver = WhenModal<TFailingGotoLineDlg>([&](TFailingGotoLineDlg& d) {
    QTest::mouseClick(d.Fail, Qt::LeftButton);
    QTest::mouseClick(d.Fail, Qt::LeftButton);
    stillOpen = d.isVisible();
    QTest::keyClicks(d.edtLine, "42");
    QTest::keyClick(d.edtLine, Qt::Key_Return);
  });
  EXPECT_EQ(dlg.exec(), QDialog::Accepted);
  EXPECT_TRUE(driver->Done());
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(dlg.Clicks, 2);
  EXPECT_EQ(dlg.ChosenLine(), 41);
  ASSERT_EQ(handler.Shown.size(), 2u);
  EXPECT_EQ(handler.Shown[0].first, &dlg);
  EXPECT_EQ(handler.Shown[0].second, "handler failed");
  EXPECT_EQ(handler.Shown[1].second, "plain failure");
}

// The scripted services answer in order, record every call, and fail the test on a question
// they were given no answer for (answering it as cancelled).
TEST(DialogFoundation, ScriptedServicesAnswerAndRecord) {
  IKivUiServices* const standard = &KivUiServices();
  {
    TScriptedUiServices ui;
    EXPECT_EQ(&KivUiServices(), &ui);
    ui.AnswerQuestion(TKivUiButton::Yes);
    ui.AnswerInput(true, QStringLiteral("typed"));
    ui.AnswerInput(false);
    ui.AnswerColor(true, QColor(1, 2, 3));
    ui.AnswerFile(true, QStringLiteral("/tmp/x.xml"));
    IKivUiServices& s = KivUiServices();
    EXPECT_EQ(s.Question(nullptr, "Continue?", TKivUiButton::Yes | TKivUiButton::No, TKivUiButton::No),
              TKivUiButton::Yes);
    QString value = "old";
    EXPECT_TRUE(s.InputBox(nullptr, "Name", "New name:", value));
    EXPECT_EQ(value, "typed");
    EXPECT_FALSE(s.InputBox(nullptr, "Name", "Again:", value));
    EXPECT_EQ(value, "typed");
    QColor color;
    EXPECT_TRUE(s.ChooseColor(nullptr, color));
    EXPECT_EQ(color, QColor(1, 2, 3));
    QString file;
    EXPECT_TRUE(s.ChooseOpenFile(nullptr, "Load", "Schemes (*.xml)", file));
    EXPECT_EQ(file, "/tmp/x.xml");
    s.Beep();
    s.InfoBox(nullptr, "done");
    EXPECT_TRUE(ui.AllAnswersUsed());
    TKivUiButton answer = TKivUiButton::Yes;
    EXPECT_NONFATAL_FAILURE(
        answer = s.Question(nullptr, "Unscripted?",
                            TKivUiButton::Yes | TKivUiButton::No | TKivUiButton::Cancel, TKivUiButton::Yes),
        "unscripted question: Unscripted?");
    EXPECT_EQ(answer, TKivUiButton::Cancel);
    std::vector<TUiCall::TKind> kinds;
    for (const TUiCall& c : ui.Calls()) kinds.push_back(c.Kind);
    EXPECT_EQ(kinds, (std::vector<TUiCall::TKind>{TUiCall::Question, TUiCall::Input, TUiCall::Input,
                                                  TUiCall::Color, TUiCall::OpenFile, TUiCall::Beep,
                                                  TUiCall::Info, TUiCall::Question}));
  }
  EXPECT_EQ(&KivUiServices(), standard);
}

// The modal helper never hangs: a window of another class is closed after the timeout, and a
// script that leaves its window open fails and has it closed.
TEST(DialogFoundation, TheModalHelperFailsInsteadOfHanging) {
  {
    TKivSedGotoLineDlg dlg(10);
    int result = -1;
    EXPECT_NONFATAL_FAILURE(
        {
          auto driver = WhenModal<QMessageBox>([](QMessageBox&) {}, 200);
          result = dlg.exec();
          EXPECT_TRUE(driver->TimedOut());
        },
        "no modal");
    EXPECT_EQ(result, QDialog::Rejected);
  }
  {
    TKivSedGotoLineDlg dlg(10);
    bool ran = false;
    int result = -1;
    EXPECT_NONFATAL_FAILURE(
        {
          auto driver = WhenModal<TKivSedGotoLineDlg>(
              [&](TKivSedGotoLineDlg& d) {
                ran = true;
                QTest::keyClicks(d.edtLine, "5");  // and leaves it open
              },
              200);
          result = dlg.exec();
          EXPECT_TRUE(driver->TimedOut());
        },
        "left its");
    EXPECT_TRUE(ran);
    EXPECT_EQ(result, QDialog::Rejected);
  }
  // A helper whose window never comes fails when it goes.
  EXPECT_NONFATAL_FAILURE({ auto driver = WhenModal<QDialog>([](QDialog&) {}); }, "no modal");
}

// A form opened by the script of another form's helper is driven by a second helper.
TEST(DialogFoundation, NestedModalWindows) {
  TKivSedDialogForm outer;
  auto* open = new QPushButton(QStringLiteral("Open"), &outer);
  (new QVBoxLayout(&outer))->addWidget(open);
  Integer innerLine = -2;
  bool innerOk = false;
  outer.OnClick(open, [&] { innerOk = ShowGotoLineDialog(50, innerLine, &outer); });
  std::unique_ptr<TModalScript> inner;
  auto driver = WhenModal<TKivSedDialogForm>([&](TKivSedDialogForm& d) {
    inner = WhenModal<TKivSedGotoLineDlg>([](TKivSedGotoLineDlg& g) {
      QTest::keyClicks(g.edtLine, "77");
      QTest::keyClick(g.edtLine, Qt::Key_Enter);
    });
    QTest::mouseClick(open, Qt::LeftButton);
    d.accept();
  });
  EXPECT_EQ(outer.exec(), QDialog::Accepted);
  EXPECT_TRUE(driver->Done());
  ASSERT_TRUE(inner);
  EXPECT_TRUE(inner->Done());
  EXPECT_TRUE(innerOk);
  EXPECT_EQ(innerLine, 49);
}
