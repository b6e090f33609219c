// The find and replace window on the offscreen platform, driven with QTest through the
// modal-window helper, with the view's questions answered by the scripted UI services: the
// first text, the histories, the options, the layout of the two modes, the remembered geometry,
// the view operations run after the window closed and the errors they raise.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "DialogTestSupport.h"
#include "KivSedDialogs.h"
#include "KivSedFindDialog.h"

namespace {

std::vector<std::string> Items(const TKivStrings& AList) {
  std::vector<std::string> items;
  for (Integer i = 0; i < AList.Count(); ++i) items.push_back(KivToUtf8(AList.Get(i)));
  return items;
}

// Replaces the field's text with AText as the user would.
void Type(QComboBox* ABox, const char* AText) {
  QLineEdit* edit = ABox->lineEdit();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, QString::fromUtf8(AText));
  // The history's suggestion after the typed text is declined.
  if (edit->hasSelectedText()) QTest::keyClick(edit, Qt::Key_Delete);
}

// Clicks a button; check boxes and radio buttons on their indicator (a click right of their
// text does nothing).
void Click(QAbstractButton* AButton) {
  const bool indicator = qobject_cast<QCheckBox*>(AButton) || qobject_cast<QRadioButton*>(AButton);
  QTest::mouseClick(AButton, Qt::LeftButton, {},
                    indicator ? QPoint(6, AButton->height() / 2) : AButton->rect().center());
}

// A view on a document of AText, and the scripted services; the remembered geometry starts
// empty.
class FindDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { KivSetSearchDialogGeometry({}); }
  void TearDown() override { KivSetSearchDialogGeometry({}); }
  void Load(const char16_t* AText) {
    doc.Lines().SetText(AText);
    view.SetDocument(&doc);
  }
  std::string Text() { return KivToUtf8(doc.Text()); }

  // Runs the component's Execute with AScript driving its window; the script must close it.
  template <class C>
  bool Execute(C& AComponent, std::function<void(TKivSedFindDlg&)> AScript) {
    auto driver = WhenModal<TKivSedFindDlg>(std::move(AScript));
    const bool result = AComponent.Execute();
    EXPECT_TRUE(driver->Done());
    return result;
  }

  TScriptedUiServices ui;
  TKivEditDocument doc;
  TKivEditView view;
};

}  // namespace

TEST_F(FindDialogTest, TheWindowsControlsAndTexts) {
  TKivSedFindDlg dlg;
  const std::vector<std::pair<QAbstractButton*, const char*>> buttons = {
      {dlg.cbCaseSensitive, "&Case sensitive"},
      {dlg.cbWholeWords, "&Whole words only"},
      {dlg.cbRegexps, "Regular e&xpressions"},
      {dlg.cbConfirmReplace, "&Prompt on replace"},
      {dlg.cbForward, "Forwar&d"},
      {dlg.cbBackward, "&Backward"},
      {dlg.cbAllText, "&Global"},
      {dlg.cbSelection, "&Selection"},
      {dlg.cbFromCursor, "&From cursor"},
      {dlg.cbFromTextStart, "From text &start/end"},
      {dlg.btnFind, "OK"},
      {dlg.btnFindCancel, "Cancel"},
      {dlg.btnReplace, "OK"},
      {dlg.btnReplaceAll, "Replace &All"},
      {dlg.btnReplaceCancel, "Cancel"}};
  for (const auto& [button, text] : buttons) EXPECT_EQ(button->text(), text);
  EXPECT_EQ(dlg.grOptions->title(), "Options");
  EXPECT_EQ(dlg.grDirection->title(), "Direction");
  EXPECT_EQ(dlg.grBounds->title(), "Bounds for replace all");
  EXPECT_EQ(dlg.grStartFrom->title(), "Start from");
  EXPECT_TRUE(dlg.cbForward->isChecked());
  EXPECT_TRUE(dlg.cbAllText->isChecked());
  EXPECT_TRUE(dlg.cbFromCursor->isChecked());
  EXPECT_EQ(dlg.edTextToSearch->insertPolicy(), QComboBox::NoInsert);
}

// SetSearchOptions and GetSearchOptions carry every field; soRegexpSubstitute follows soRegexp.
TEST_F(FindDialogTest, OptionsRoundTrip) {
  TKivSedFindDlg dlg;
  TKivEditSearchDlgOptions in;
  in.Searches = {u"s1", u"s2"};
  in.Replaces = {u"r1"};
  in.ReplaceAllBounds = rbSelection;
  in.Options = {soCaseSensitive, soWholeWords, soRegexp, soConfirmReplace};
  in.Direction = sdBackward;
  in.Start = ssTextStartEnd;
  dlg.SetSearchOptions(in);
  EXPECT_EQ(dlg.edTextToSearch->currentText(), "s1");
  EXPECT_EQ(dlg.edReplaceText->currentText(), "r1");
  const TKivEditSearchDlgOptions saved = dlg.GetSearchOptions(true);
  EXPECT_EQ(saved.Searches, in.Searches);
  EXPECT_EQ(saved.Replaces, in.Replaces);
  EXPECT_EQ(saved.ReplaceAllBounds, rbSelection);
  EXPECT_EQ(saved.Direction, sdBackward);
  EXPECT_EQ(saved.Start, ssTextStartEnd);
  EXPECT_TRUE(saved.Options == (TKivEditSearchOptions{soCaseSensitive, soWholeWords, soRegexp,
                                                      soRegexpSubstitute, soConfirmReplace}));
  const TKivEditSearchDlgOptions now = dlg.GetSearchOptions(false);
  EXPECT_EQ(now.Searches, std::vector<TKivString>{u"s1"});
  EXPECT_EQ(now.Replaces, std::vector<TKivString>{u"r1"});

  // Loading the defaults again resets everything.
  dlg.SetSearchOptions({});
  const TKivEditSearchDlgOptions empty = dlg.GetSearchOptions(true);
  EXPECT_TRUE(empty.Searches.empty());
  EXPECT_TRUE(empty.Replaces.empty());
  EXPECT_TRUE(empty.Options.Empty());
  EXPECT_EQ(empty.Direction, sdForward);
  EXPECT_EQ(empty.Start, ssCursor);
  EXPECT_EQ(empty.ReplaceAllBounds, rbAllText);
  EXPECT_EQ(dlg.edTextToSearch->currentText(), "");
}

// The first text: the selection (line breaks included), else the word at the cursor, else the
// history's first entry.
TEST_F(FindDialogTest, TheFirstText) {
  Load(u"foo bar baz\r\n    \r\nalpha\r\nx");
  struct TCase {
    const char* Name;
    std::function<void()> Prepare;
    const char* Expected;
  };
  const std::vector<TCase> cases = {
      {"selection", [&] { view.SetSelectionOffsets(0, 7); }, "foo bar"},
      {"selection over two lines", [&] { view.SetSelectionOffsets(8, 15); }, "baz\r\n  "},
      {"word at the cursor",
       [&] {
         view.SetCursorOffset(21);
         view.CancelSelection();
       },
       "alpha"},
      {"cursor on a blank",
       [&] {
         view.SetCursorOffset(15);
         view.CancelSelection();
       },
       "h1"},
  };
  for (const TCase& c : cases) {
    TKivEditFindDialog find;
    find.SetView(&view);
    TKivStringList history;
    history.Add(u"h1");
    history.Add(u"h2");
    find.SetSearches(history);
    c.Prepare();
    QString shown;
    EXPECT_TRUE(Execute(find, [&](TKivSedFindDlg& ADlg) {
      shown = ADlg.edTextToSearch->currentText();
      Click(ADlg.btnFindCancel);
    })) << c.Name;
    EXPECT_EQ(shown, c.Expected) << c.Name;
    EXPECT_EQ(find.LastResult(), srCancel) << c.Name;
    EXPECT_EQ(Items(find.Searches()), (std::vector<std::string>{"h1", "h2"})) << c.Name;
  }
}

// The search history: the text on top in its spelling, its equal but for case removed; an empty
// text is not stored; an empty replacement is stored once.
TEST_F(FindDialogTest, Histories) {
  Load(u"foo x y Foo");
  TKivEditReplaceDialog replace;
  replace.SetView(&view);
  TKivStringList start;
  start.Add(u"foo");
  start.Add(u"x");
  replace.SetSearches(start);
  struct TStep {
    const char* Search;
    std::vector<std::string> Expected;
  };
  const std::vector<TStep> steps = {
      {"Foo", {"Foo", "x"}},
      {"y", {"y", "Foo", "x"}},
      {"", {"y", "Foo", "x"}},
  };
  for (const TStep& s : steps) {
    view.SetCursorOffset(0);
    Execute(replace, [&](TKivSedFindDlg& ADlg) {
      Type(ADlg.edTextToSearch, s.Search);
      Type(ADlg.edReplaceText, "");
      Click(ADlg.cbSelection);
      Click(ADlg.btnReplaceCancel);
    });
    // A cancelled run keeps the histories.
    EXPECT_EQ(Items(replace.Searches()), (std::vector<std::string>{"foo", "x"})) << s.Search;
  }
  // Stored are the boxes as the user left them.
  EXPECT_EQ(replace.ReplaceAllBounds(), rbSelection);

  TKivEditFindDialog find;
  find.SetView(&view);
  find.SetSearches(start);
  for (const TStep& s : steps) {
    view.SetCursorOffset(0);
    Execute(find, [&](TKivSedFindDlg& ADlg) {
      Type(ADlg.edTextToSearch, s.Search);
      Click(ADlg.btnFind);
    });
    EXPECT_EQ(Items(find.Searches()), s.Expected) << s.Search;
    // The field kept the typed spelling: the search ran with it.
    if (*s.Search) {
      EXPECT_EQ(KivToUtf8(view.SearchLastArgs().Search), s.Search);
    }
  }

  // An empty replacement is stored, once after two runs.
  for (int run = 0; run < 2; ++run) {
    view.SetCursorOffset(0);
    Execute(replace, [&](TKivSedFindDlg& ADlg) {
      Type(ADlg.edTextToSearch, "zz");
      Type(ADlg.edReplaceText, "");
      Click(ADlg.btnReplace);
    });
    EXPECT_EQ(replace.LastResult(), srNotFound);
  }
  EXPECT_EQ(Items(replace.Replaces()), std::vector<std::string>{""});
  EXPECT_EQ(Items(replace.Searches()).front(), "zz");
  EXPECT_EQ(Text(), "foo x y Foo");
}

// "Regular expressions" gives soRegexp and soRegexpSubstitute in the arguments and in the
// stored options; unchecking it removes both.
TEST_F(FindDialogTest, RegularExpressionsCheckBox) {
  Load(u"abc b.");
  TKivEditFindDialog find;
  find.SetView(&view);
  for (const bool on : {true, false}) {
    view.SetCursorOffset(0);
    EXPECT_TRUE(Execute(find, [&](TKivSedFindDlg& ADlg) {
      Type(ADlg.edTextToSearch, "b.");
      Click(ADlg.cbRegexps);
      EXPECT_EQ(ADlg.cbRegexps->isChecked(), on);
      Click(ADlg.btnFind);
    }));
    for (const TKivEditSearchOptions ops : {view.SearchLastArgs().Options, find.Options()}) {
      EXPECT_EQ(ops.Contains(soRegexp), on);
      EXPECT_EQ(ops.Contains(soRegexpSubstitute), on);
    }
    EXPECT_EQ(find.LastResult(), srFound);
    // The pattern, or the text "b." itself.
    EXPECT_EQ(view.SelectionOffsetStart(), on ? 1 : 4);
  }
}

// A bad pattern: one error box, srCancel (Execute true), the pattern stored in the history.
TEST_F(FindDialogTest, BadRegularExpression) {
  Load(u"a(b");
  for (const bool replaceMode : {false, true}) {
    TScriptedUiServices boxes;
    TKivEditReplaceDialog replace;
    TKivEditFindDialog find;
    TKivEditFindDialog& component = replaceMode ? replace : find;
    component.SetView(&view);
    component.SetOptions({soRegexp});
    EXPECT_TRUE(Execute(component, [&](TKivSedFindDlg& ADlg) {
      Type(ADlg.edTextToSearch, "(");
      Click(replaceMode ? ADlg.btnReplaceAll : ADlg.btnFind);
    }));
    EXPECT_EQ(component.LastResult(), srCancel);
    const std::vector<QString> errors = boxes.Texts(TUiCall::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].startsWith("Error in search expression or substitution string: "))
        << errors[0].toStdString();
    EXPECT_GT(errors[0].size(), QString("Error in search expression or substitution string: ").size());
    EXPECT_EQ(Items(component.Searches()), std::vector<std::string>{"("});
    EXPECT_EQ(Text(), "a(b");
  }
}

// Cancel keeps the histories (the typed text is not stored) but stores the boxes.
TEST_F(FindDialogTest, CancelStoresTheOptionsNotTheText) {
  Load(u"abc");
  TKivEditFindDialog find;
  find.SetView(&view);
  TKivStringList start;
  start.Add(u"h");
  find.SetSearches(start);
  EXPECT_TRUE(Execute(find, [&](TKivSedFindDlg& ADlg) {
    Type(ADlg.edTextToSearch, "zzz");
    Click(ADlg.cbCaseSensitive);
    Click(ADlg.cbBackward);
    Click(ADlg.cbFromTextStart);
    QTest::keyClick(ADlg.edTextToSearch->lineEdit(), Qt::Key_Escape);
  }));
  EXPECT_EQ(find.LastResult(), srCancel);
  EXPECT_EQ(Items(find.Searches()), std::vector<std::string>{"h"});
  EXPECT_TRUE(find.Options().Contains(soCaseSensitive));
  EXPECT_EQ(find.Direction(), sdBackward);
  EXPECT_EQ(find.Start(), ssTextStartEnd);
  EXPECT_EQ(view.SearchState(), stNothing);
}

// Find mode hides the bounds, "Prompt on replace" and the replacement row; "Start from" then
// spans the row from where the bounds began to its own right edge. The height is fixed, lower in
// find mode; the width can change.
TEST_F(FindDialogTest, TheModesLayouts) {
  Load(u"abc");
  struct TSeen {
    QRect Bounds, StartFrom;
    bool BoundsShown = false, PromptShown = false, ReplaceShown = false, FindButtons = false;
    int MinHeight = 0, MaxHeight = 0, MinWidth = 0, MaxWidth = 0;
  };
  auto run = [&](bool AReplace) {
    TSeen seen;
    TKivEditReplaceDialog replace;
    TKivEditFindDialog find;
    TKivEditFindDialog& component = AReplace ? replace : find;
    component.SetView(&view);
    Execute(component, [&](TKivSedFindDlg& ADlg) {
      ADlg.resize(520, ADlg.height());
      QApplication::processEvents();
      seen.Bounds = ADlg.grBounds->geometry();
      seen.StartFrom = ADlg.grStartFrom->geometry();
      seen.BoundsShown = ADlg.grBounds->isVisible();
      seen.PromptShown = ADlg.cbConfirmReplace->isVisible();
      seen.ReplaceShown = ADlg.edReplaceText->isVisible() && ADlg.lblTextToReplace->isVisible();
      seen.FindButtons = ADlg.btnFind->isVisible() && !ADlg.btnReplaceAll->isVisible();
      seen.MinHeight = ADlg.minimumHeight();
      seen.MaxHeight = ADlg.maximumHeight();
      seen.MinWidth = ADlg.minimumWidth();
      seen.MaxWidth = ADlg.maximumWidth();
      Click(AReplace ? ADlg.btnReplaceCancel : ADlg.btnFindCancel);
    });
    return seen;
  };
  const TSeen f = run(false);
  const TSeen r = run(true);
  EXPECT_FALSE(f.BoundsShown);
  EXPECT_FALSE(f.PromptShown);
  EXPECT_FALSE(f.ReplaceShown);
  EXPECT_TRUE(f.FindButtons);
  EXPECT_TRUE(r.BoundsShown);
  EXPECT_TRUE(r.PromptShown);
  EXPECT_TRUE(r.ReplaceShown);
  EXPECT_FALSE(r.FindButtons);
  EXPECT_EQ(f.StartFrom.left(), r.Bounds.left());
  EXPECT_EQ(f.StartFrom.right(), r.StartFrom.right());
  EXPECT_GT(r.StartFrom.left(), r.Bounds.right());
  for (const TSeen& s : {f, r}) {
    EXPECT_EQ(s.MinHeight, s.MaxHeight);
    EXPECT_LT(s.MinWidth, s.MaxWidth);
  }
  EXPECT_LT(f.MaxHeight, r.MaxHeight);
}

// Replace All, "a" by "b" in "a a a": one undo step, three replacements.
TEST_F(FindDialogTest, ReplaceAll) {
  Load(u"a a a");
  TKivEditReplaceDialog replace;
  replace.SetView(&view);
  bool hiddenDuringRun = false;
  EXPECT_TRUE(Execute(replace, [&](TKivSedFindDlg& ADlg) {
    Type(ADlg.edTextToSearch, "a");
    Type(ADlg.edReplaceText, "b");
    Click(ADlg.btnReplaceAll);
    hiddenDuringRun = !ADlg.isVisible();
  }));
  EXPECT_TRUE(hiddenDuringRun);
  EXPECT_EQ(Text(), "b b b");
  EXPECT_EQ(replace.LastResult(), srFound);
  EXPECT_EQ(replace.LastReplacesNumber(), 3);
  EXPECT_TRUE(replace.DialogOptions().WasReplaceAllChosen);
  EXPECT_EQ(Items(replace.Searches()), std::vector<std::string>{"a"});
  EXPECT_EQ(Items(replace.Replaces()), std::vector<std::string>{"b"});
  view.Undo();
  EXPECT_EQ(Text(), "a a a");

  // OK (Enter in the search field) replaces the first occurrence only.
  view.SetCursorOffset(0);
  EXPECT_TRUE(Execute(replace, [&](TKivSedFindDlg& ADlg) {
    EXPECT_EQ(ADlg.edReplaceText->currentText(), "b");
    QTest::keyClick(ADlg.edTextToSearch->lineEdit(), Qt::Key_Return);
  }));
  EXPECT_EQ(Text(), "b a a");
  EXPECT_EQ(replace.LastReplacesNumber(), 1);
  EXPECT_FALSE(replace.DialogOptions().WasReplaceAllChosen);
  EXPECT_EQ(view.SearchState(), stInReplace);
  EXPECT_TRUE(replace.ExecuteNext());
  EXPECT_EQ(Text(), "b b a");
}

// With spRememberPos the next run opens where the last one closed; a left edge of 0 centres it.
// With spRememberWidth the width is kept; without flags nothing is remembered.
TEST_F(FindDialogTest, RememberedGeometry) {
  Load(u"abc");
  TKivEditFindDialog find;
  find.SetView(&view);
  QPoint centred, opened;
  int width = 0;
  auto cancelAt = [&](QPoint APos, int AWidth) {
    return [&, APos, AWidth](TKivSedFindDlg& ADlg) {
      opened = ADlg.pos();
      width = ADlg.width();
      if (AWidth > 0) ADlg.resize(AWidth, ADlg.height());
      if (APos.x() >= 0) ADlg.move(APos);
      Click(ADlg.btnFindCancel);
    };
  };
  // No flags: nothing is remembered.
  Execute(find, cancelAt({300, 200}, 600));
  centred = opened;
  const int designWidth = width;
  EXPECT_EQ(KivSearchDialogGeometry().Left, 0);
  EXPECT_EQ(KivSearchDialogGeometry().Width, 0);
  Execute(find, cancelAt({-1, -1}, 0));
  EXPECT_EQ(opened, centred);
  EXPECT_EQ(width, designWidth);

  find.SetPosition(spRememberPos | spRememberWidth);
  Execute(find, cancelAt({300, 200}, 600));
  EXPECT_EQ(KivSearchDialogGeometry().Left, 300);
  EXPECT_EQ(KivSearchDialogGeometry().Top, 200);
  Execute(find, cancelAt({0, 200}, 0));
  EXPECT_EQ(opened, QPoint(300, 200));
  EXPECT_EQ(width, 600);
  Execute(find, cancelAt({-1, -1}, 0));
  EXPECT_EQ(opened, centred);

  // The position alone: the width is the design's again.
  find.SetPosition(spRememberPos);
  Execute(find, cancelAt({-1, -1}, 0));
  EXPECT_EQ(width, designWidth);
  EXPECT_EQ(KivSearchDialogGeometry().Width, 600);
}

// Not found: the view's question answered No gives srNotFound and false.
TEST_F(FindDialogTest, NotFound) {
  Load(u"abc abc");
  view.SetCursorOffset(2);
  TKivEditFindDialog find;
  find.SetView(&view);
  ui.AnswerQuestion(TKivUiButton::No);
  EXPECT_FALSE(Execute(find, [&](TKivSedFindDlg& ADlg) {
    Type(ADlg.edTextToSearch, "qqq");
    QTest::keyClick(ADlg.edTextToSearch->lineEdit(), Qt::Key_Enter);
  }));
  EXPECT_EQ(find.LastResult(), srNotFound);
  EXPECT_EQ(
      ui.Texts(TUiCall::Question),
      std::vector<QString>{QStringLiteral("End of document reached. Continue search/replace from start?")});
  EXPECT_EQ(view.CursorOffset(), 2);
  EXPECT_EQ(Items(find.Searches()), std::vector<std::string>{"qqq"});
}

// An error of the view other than a bad pattern goes to the error display; the text stays, the
// settings and the history are stored, the result is srCancel.
TEST_F(FindDialogTest, ReadOnlyDocument) {
  Load(u"a a a");
  doc.SetReadOnly(true);
  TKivEditReplaceDialog replace;
  replace.SetView(&view);
  for (const bool all : {false, true}) {
    TScriptedUiServices boxes;
    EXPECT_TRUE(Execute(replace, [&](TKivSedFindDlg& ADlg) {
      Type(ADlg.edTextToSearch, all ? "a" : "a ");
      Type(ADlg.edReplaceText, "b");
      Click(ADlg.cbCaseSensitive);
      Click(all ? ADlg.btnReplaceAll : ADlg.btnReplace);
    })) << all;
    EXPECT_EQ(boxes.Texts(TUiCall::Error),
              std::vector<QString>{QStringLiteral("This View or its Document is read-only.")});
    EXPECT_EQ(Text(), "a a a");
    EXPECT_EQ(replace.LastResult(), srCancel);
    EXPECT_EQ(Items(replace.Searches()).front(), all ? "a" : "a ");
    EXPECT_EQ(replace.Options().Contains(soCaseSensitive), !all);
  }
}

// "Prompt on replace": the view asks about each occurrence while no find window is shown.
TEST_F(FindDialogTest, PromptOnReplaceAsksWithoutTheWindow) {
  class TWatchingUi : public TScriptedUiServices {
   public:
    TKivUiButton Question(QWidget* AParent, const QString& AText, TKivUiButtons AButtons,
                          TKivUiButton ADefault, const QPoint* APlace) override {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (dynamic_cast<TKivSedFindDlg*>(w) && w->isVisible()) ++WindowsShown;
      return TScriptedUiServices::Question(AParent, AText, AButtons, ADefault, APlace);
    }
    int WindowsShown = 0;
  };
  TWatchingUi asked;
  Load(u"a a a");
  TKivEditReplaceDialog replace;
  replace.SetView(&view);
  asked.AnswerQuestion(TKivUiButton::No);
  asked.AnswerQuestion(TKivUiButton::Yes);
  asked.AnswerQuestion(TKivUiButton::No);
  EXPECT_TRUE(Execute(replace, [&](TKivSedFindDlg& ADlg) {
    Type(ADlg.edTextToSearch, "a");
    Type(ADlg.edReplaceText, "b");
    Click(ADlg.cbConfirmReplace);
    Click(ADlg.btnReplaceAll);
  }));
  EXPECT_EQ(asked.Count(TUiCall::Question), 3);
  EXPECT_EQ(asked.WindowsShown, 0);
  EXPECT_EQ(Text(), "a b a");
  EXPECT_EQ(replace.LastReplacesNumber(), 1);
  EXPECT_TRUE(replace.Options().Contains(soConfirmReplace));
}

// A view without a document: the window opens with the history; the view's refusal goes to the
// error display.
TEST_F(FindDialogTest, ViewWithoutDocument) {
  TKivEditFindDialog find;
  find.SetView(&view);
  TKivStringList start;
  start.Add(u"h");
  find.SetSearches(start);
  QString shown;
  EXPECT_TRUE(Execute(find, [&](TKivSedFindDlg& ADlg) {
    shown = ADlg.edTextToSearch->currentText();
    Click(ADlg.btnFind);
  }));
  EXPECT_EQ(shown, "h");
  EXPECT_EQ(find.LastResult(), srCancel);
  EXPECT_EQ(ui.Count(TUiCall::Error), 1);
}

// Without a view: a beep, srCancel, and the record untouched; no window opens.
TEST_F(FindDialogTest, NoView) {
  TKivEditSearchDlgOptions ops;
  ops.Searches = {u"keep"};
  ops.LastNumberOfReplacements = 7;
  const int windows = TopLevelWidgetCount();
  EXPECT_EQ(ShowSearchDialog(u"Find text", nullptr, true, ops), srCancel);
  EXPECT_EQ(ui.Count(TUiCall::Beep), 1);
  EXPECT_EQ(ops.Searches, std::vector<TKivString>{u"keep"});
  EXPECT_EQ(ops.LastNumberOfReplacements, 7);
  EXPECT_EQ(TopLevelWidgetCount(), windows);
}
