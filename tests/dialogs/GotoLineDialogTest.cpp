// The go-to-line window on the offscreen platform, driven with QTest keys and clicks through the
// modal-window helper: the line chosen for what was typed, the ways to close it, the digit
// limit, its place, and the component moving a view into a collapsed fold.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "DialogTestSupport.h"
#include "KivSedDialogs.h"
#include "KivSedGotoLineDialog.h"
#include "LayoutFakes.h"

namespace {

struct TRun {
  bool Ok = false;
  Integer Line = -2;
  bool Driven = false;
};

// Opens the window for ACount lines and runs AScript on it.
TRun RunGotoLine(Integer ACount, std::function<void(TKivSedGotoLineDlg&)> AScript,
                 QWidget* AParent = nullptr) {
  TRun run;
  auto driver = WhenModal<TKivSedGotoLineDlg>(std::move(AScript));
  run.Ok = ShowGotoLineDialog(ACount, run.Line, AParent);
  run.Driven = driver->Done();
  return run;
}

// Types AText into the field and confirms with Enter (the default button).
std::function<void(TKivSedGotoLineDlg&)> TypeAndEnter(const char* AText) {
  return [AText](TKivSedGotoLineDlg& ADlg) {
    QTest::keyClicks(ADlg.edtLine, AText);
    QTest::keyClick(ADlg.edtLine, Qt::Key_Return);
  };
}

TKivString Lines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\r\n";
    text += u"line " + KivFromUtf8(std::to_string(i));
  }
  return text;
}

}  // namespace

TEST(GotoLineDialog, TheWindowsControls) {
  TKivSedGotoLineDlg dlg(250);
  EXPECT_EQ(dlg.windowTitle(), "Go to line");
  EXPECT_EQ(dlg.lblCaption->text(), "Go to line: ");
  EXPECT_EQ(dlg.btnOk->text(), "OK");
  EXPECT_EQ(dlg.Button1->text(), "Cancel");
  EXPECT_TRUE(dlg.btnOk->isDefault());
  EXPECT_FALSE(dlg.Button1->isDefault());
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  // The field has the focus; the label sits left of it, the buttons below, OK left of Cancel.
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), dlg.edtLine);
  EXPECT_LT(dlg.lblCaption->geometry().right(), dlg.edtLine->geometry().left());
  EXPECT_LT(dlg.edtLine->geometry().bottom(), dlg.btnOk->geometry().top());
  EXPECT_LT(dlg.btnOk->geometry().right(), dlg.Button1->geometry().left());
  EXPECT_GE(dlg.btnOk->width(), 75);
  EXPECT_GE(dlg.width(), 326);
  // The buttons stay at the lower right corner.
  EXPECT_GT(dlg.Button1->geometry().right(), dlg.width() - 40);
  EXPECT_GT(dlg.Button1->geometry().bottom(), dlg.height() - 40);
  dlg.reject();
}

// A count of 250: the number is clamped to the count, at least 1, and made 0-based.
TEST(GotoLineDialog, TheChosenLineForWhatWasTyped) {
  struct TCase {
    Integer Count;
    const char* Typed;
    Integer Line;
  };
  const TCase cases[] = {
      {250, "999", 249},
      {250, "0", 0},
      {250, "7", 6},
      {250, "1", 0},
      {250, "250", 249},
      {250, "007", 6},
      {250, "249", 248},
      {9, "9", 8},
      {0, "5", 0},
      {1000, "1000", 999},
      // Ten nines are read as 64-bit before clamping.
      {2000000000, "9999999999", 1999999999},
  };
  for (const TCase& c : cases) {
    const TRun run = RunGotoLine(c.Count, TypeAndEnter(c.Typed));
    EXPECT_TRUE(run.Driven) << c.Typed;
    EXPECT_TRUE(run.Ok) << c.Typed;
    EXPECT_EQ(run.Line, c.Line) << c.Count << " " << c.Typed;
  }
}

// OK with an empty field: true and -1. Cancel, Esc and closing the window: false and -1.
TEST(GotoLineDialog, EmptyFieldAndTheWaysToCancel) {
  struct TCase {
    const char* Name;
    std::function<void(TKivSedGotoLineDlg&)> Script;
    bool Ok;
  };
  const TCase cases[] = {
      {"OK clicked, empty", [](TKivSedGotoLineDlg& d) { QTest::mouseClick(d.btnOk, Qt::LeftButton); }, true},
      {"Enter, blanks only are impossible", TypeAndEnter(" "), true},
      {"Cancel clicked",
       [](TKivSedGotoLineDlg& d) {
         QTest::keyClicks(d.edtLine, "12");
         QTest::mouseClick(d.Button1, Qt::LeftButton);
       },
       false},
      {"Esc",
       [](TKivSedGotoLineDlg& d) {
         QTest::keyClicks(d.edtLine, "12");
         QTest::keyClick(d.edtLine, Qt::Key_Escape);
       },
       false},
      {"window closed",
       [](TKivSedGotoLineDlg& d) {
         QTest::keyClicks(d.edtLine, "12");
         d.close();
       },
       false},
  };
  for (const TCase& c : cases) {
    const TRun run = RunGotoLine(250, c.Script);
    EXPECT_TRUE(run.Driven) << c.Name;
    EXPECT_EQ(run.Ok, c.Ok) << c.Name;
    EXPECT_EQ(run.Line, -1) << c.Name;
  }
}

// The field takes as many digits as the count has (one for 0); letters and extra digits are
// dropped, and a paste with anything but digits is refused.
TEST(GotoLineDialog, TheDigitLimit) {
  struct TCase {
    Integer Count;
    const char* Typed;
    const char* Field;
  };
  const TCase cases[] = {
      {9, "123", "1"},         {9, "a7b", "7"}, {250, "12345", "123"}, {250, "x-1 2", "12"},
      {1000, "98765", "9876"}, {0, "42", "4"},  {0, "z", ""},          {99, "+5", "5"},
  };
  for (const TCase& c : cases) {
    QString field;
    RunGotoLine(c.Count, [&](TKivSedGotoLineDlg& ADlg) {
      QTest::keyClicks(ADlg.edtLine, c.Typed);
      field = ADlg.edtLine->text();
      ADlg.reject();
    });
    EXPECT_EQ(field.toStdString(), c.Field) << c.Count << " " << c.Typed;
  }
  // Pasting.
  struct TPaste {
    const char* Clip;
    const char* Field;
  };
  for (const TPaste p : {TPaste{"12", "12"}, TPaste{"1a", ""}, TPaste{"4 5", ""}, TPaste{"98765", "987"}}) {
    QApplication::clipboard()->setText(QString::fromLatin1(p.Clip));
    QString field;
    RunGotoLine(250, [&](TKivSedGotoLineDlg& ADlg) {
      ADlg.edtLine->paste();
      field = ADlg.edtLine->text();
      ADlg.reject();
    });
    EXPECT_EQ(field.toStdString(), p.Field) << p.Clip;
  }
  EXPECT_THROW(TKivSedGotoLineDlg(-1), EInvalidArgument);
  EXPECT_EQ(KivDecimalDigits(0), 1);
  EXPECT_EQ(KivDecimalDigits(9), 1);
  EXPECT_EQ(KivDecimalDigits(10), 2);
  EXPECT_EQ(KivDecimalDigits(2147483647), 10);
}

// The window is centred on its parent's top-level window.
TEST(GotoLineDialog, CentredOnTheParentsWindow) {
  QWidget main;
  main.setGeometry(200, 150, 900, 700);
  auto* child = new QWidget(&main);
  child->setGeometry(10, 10, 100, 100);
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
  QPoint centre;
  QWidget* parent = nullptr;
  RunGotoLine(
      100,
      [&](TKivSedGotoLineDlg& ADlg) {
        centre = ADlg.frameGeometry().center();
        parent = ADlg.parentWidget();
        ADlg.reject();
      },
      child);
  EXPECT_EQ(parent, &main);
  EXPECT_LE((centre - main.frameGeometry().center()).manhattanLength(), 20);
}

// Through the component: line 6 sits inside a collapsed fold; going to line 7 (line 6, 0-based)
// puts the cursor on it and opens the fold.
TEST(GotoLineDialog, TheComponentOpensACollapsedFold) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(30));
  auto parser = std::make_unique<FakeParser>();
  parser->AddFold(3, 10);
  doc.SetParser(std::move(parser));
  TKivEditView view;
  view.SetDocument(&doc);
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.Fold(3);
  ASSERT_TRUE(view.IsCollapsedFold(3));
  ASSERT_FALSE(view.IsLineStartVisible(6));
  TKivEditGotoLineDialog component;
  component.SetView(&view);
  auto driver = WhenModal<TKivSedGotoLineDlg>(TypeAndEnter("7"));
  EXPECT_TRUE(component.Execute());
  EXPECT_TRUE(driver->Done());
  EXPECT_EQ(view.ScrollToPhysical(view.CursorPos().Y), 6);
  EXPECT_FALSE(view.IsCollapsedFold(3));
  EXPECT_TRUE(view.IsLineStartVisible(6));
  // An empty field: true, and the cursor stays.
  view.GotoPhysLine(20);
  const TKivPoint before = view.CursorPos();
  auto empty = WhenModal<TKivSedGotoLineDlg>(
      [](TKivSedGotoLineDlg& d) { QTest::keyClick(d.edtLine, Qt::Key_Return); });
  EXPECT_TRUE(component.Execute());
  EXPECT_TRUE(empty->Done());
  EXPECT_EQ(view.CursorPos().Y, before.Y);
  EXPECT_EQ(view.CursorPos().X, before.X);
  // Cancelled: false, nothing moves.
  auto cancel = WhenModal<TKivSedGotoLineDlg>([](TKivSedGotoLineDlg& d) {
    QTest::keyClicks(d.edtLine, "2");
    QTest::keyClick(d.edtLine, Qt::Key_Escape);
  });
  EXPECT_FALSE(component.Execute());
  EXPECT_EQ(view.CursorPos().Y, before.Y);
}

// A view without a document: the window opens with one digit, and the move raises the view's
// document message.
TEST(GotoLineDialog, TheComponentOnAViewWithoutADocument) {
  TKivEditView view;
  TKivEditGotoLineDialog component;
  component.SetView(&view);
  int maxLength = 0;
  auto driver = WhenModal<TKivSedGotoLineDlg>([&](TKivSedGotoLineDlg& d) {
    maxLength = d.edtLine->maxLength();
    QTest::keyClicks(d.edtLine, "3");
    QTest::keyClick(d.edtLine, Qt::Key_Return);
  });
  try {
    component.Execute();
    ADD_FAILURE() << "no error";
  } catch (const EKivEditViewError& e) {
    EXPECT_EQ(KivToUtf8(e.Message()), "Document must be attached to View for this operation");
  }
  EXPECT_TRUE(driver->Done());
  EXPECT_EQ(maxLength, 1);
}
