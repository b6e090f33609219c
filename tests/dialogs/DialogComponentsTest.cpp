// The dialog components with scripted runners: the checks before any window, the results and
// what persists between runs, the links that follow their targets' destruction, and the scheme
// name checks. The view's search is reached through a recording access (the components' one way
// to the view's search state and its next step).
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <memory>
#include <string>

#include "DialogTestSupport.h"
#include "KivSedDialogs.h"
#include "internal/ViewSearch.h"

namespace {

std::string Utf8(const TKivString& AText) {
  return KivToUtf8(AText);
}

// The message of what AFn raises as EKivEditViewError ("" when nothing, "other" for anything
// else).
template <class F>
std::string ViewError(F&& AFn) {
  try {
    AFn();
  } catch (const EKivEditViewError& e) {
    return Utf8(e.Message());
  } catch (...) {
    return "other";
  }
  return "";
}

std::vector<std::string> Items(const TKivStrings& AList) {
  std::vector<std::string> items;
  for (Integer i = 0; i < AList.Count(); ++i) items.push_back(Utf8(AList.Get(i)));
  return items;
}

// The view's search as a test sets it: a state per view, and the next steps it was asked for.
class TFakeViewSearch : public IKivViewSearchAccess {
 public:
  TFakeViewSearch() : FPrevious(SetKivViewSearch(this)) {}
  ~TFakeViewSearch() override { SetKivViewSearch(FPrevious); }
  TKivEditViewSearchState SearchState(TKivCustomEditView&) override { return State; }
  bool SearchNext(TKivCustomEditView& AView) override {
    Steps.push_back("search");
    if (AView.IsReadOnly() && RaiseWhenReadOnly) AView.CheckWritable();
    return NextResult;
  }
  bool ReplaceNext(TKivCustomEditView& AView) override {
    Steps.push_back("replace");
    AView.CheckWritable();  // a replacement needs a writable view
    return NextResult;
  }
  TKivEditViewSearchState State = stNothing;
  bool NextResult = true;
  bool RaiseWhenReadOnly = false;
  std::vector<std::string> Steps;

 private:
  IKivViewSearchAccess* FPrevious;
};

// A find/replace runner that records its calls and answers from a script: it may also change
// the view's search state, as the real window's OK does by starting a search.
struct TScriptedSearchRunner {
  struct TCall {
    std::string Title;
    bool ReplaceMode;
    Integer ReplacesAtStart;
  };
  TKivEditSearchResult Result = srFound;
  TKivEditViewSearchState StateAfter = stNothing;
  TFakeViewSearch* Search = nullptr;
  Integer Replacements = 0;
  std::vector<TCall> Calls;

  TKivShowSearchDialogFn Fn() {
    return [this](const TKivString& ATitle, TKivCustomEditView&, bool AReplaceMode,
                  TKivEditSearchDlgOptions& AOptions) {
      Calls.push_back({Utf8(ATitle), AReplaceMode, AOptions.LastNumberOfReplacements});
      if (Search && StateAfter != stNothing) Search->State = StateAfter;
      if (AReplaceMode) AOptions.LastNumberOfReplacements = Replacements;
      AOptions.Searches.insert(AOptions.Searches.begin(), u"typed");
      return Result;
    };
  }
};

const char* const kNoView = "View property should be assigned for this method";
const char* const kNoDoc = "Document property should be assigned for this method";
const char* const kNotInSearch = "You must call Execute method first. View SearchState should be stInSearch";
const char* const kNotInReplace =
    "You must call Execute method first. View SearchState should be stInReplace";

}  // namespace

// Every view-bound component without a view: the view message, and no window was created.
TEST(DialogComponents, WithoutAViewNothingOpens) {
  TKivEditFindDialog find;
  TKivEditReplaceDialog replace;
  TKivEditKeybindingsDialog keys;
  TKivEditGotoLineDialog gotoLine;
  int runs = 0;
  find.SetRunner([&](auto&&...) {
    ++runs;
    return srFound;
  });
  replace.SetRunner([&](auto&&...) {
    ++runs;
    return srFound;
  });
  keys.SetRunner([&](auto&&...) {
    ++runs;
    return true;
  });
  // The go-to-line component keeps its default runner: the real window would be created.
  const int before = TopLevelWidgetCount();
  struct TCase {
    const char* Name;
    std::function<void()> Call;
  };
  const TCase cases[] = {
      {"find Execute", [&] { find.Execute(); }},
      {"find ExecuteNext", [&] { find.ExecuteNext(); }},
      {"replace Execute", [&] { replace.Execute(); }},
      {"replace ExecuteNext", [&] { replace.ExecuteNext(); }},
      {"key bindings Execute", [&] { keys.Execute(); }},
      {"go to line Execute", [&] { gotoLine.Execute(); }},
  };
  for (const TCase& c : cases) EXPECT_EQ(ViewError(c.Call), kNoView) << c.Name;
  QApplication::processEvents();
  EXPECT_EQ(TopLevelWidgetCount(), before);
  EXPECT_EQ(runs, 0);
}

// ExecuteNext follows the view's search state: which component may continue after which run.
TEST(DialogComponents, ExecuteNextFollowsTheViewsSearchState) {
  TKivEditDocument doc;
  doc.Insert(0, u"a b a b a");
  TKivEditView view;
  view.SetDocument(&doc);
  TFakeViewSearch search;
  TScriptedSearchRunner runner;
  runner.Search = &search;
  TKivEditFindDialog find;
  TKivEditReplaceDialog replace;
  find.SetView(&view);
  replace.SetView(&view);
  find.SetRunner(runner.Fn());
  replace.SetRunner(runner.Fn());

  struct TStep {
    const char* Name;
    std::function<void()> Before;  // what happened in the view before
    bool Replace;                  // ExecuteNext of the replace component, else find
    const char* Error;             // "" when it runs the view's next step
  };
  const TStep steps[] = {
      {"before any search", [] {}, false, kNotInSearch},
      {"replace before any search", [] {}, true, kNotInReplace},
      {"after the view's SearchFirst", [&] { search.State = stInSearch; }, false, ""},
      {"replace after a search", [] {}, true, kNotInReplace},
      // An incremental search ("a" typed) leaves the view in a search as SearchFirst does.
      {"after an incremental search", [&] { search.State = stInSearch; }, false, ""},
      {"find after replace ran",
       [&] {
         runner.StateAfter = stInReplace;
         EXPECT_TRUE(replace.Execute());
       },
       false, kNotInSearch},
      {"replace after replace ran", [] {}, true, ""},
      {"replace after find ran",
       [&] {
         runner.StateAfter = stInSearch;
         EXPECT_TRUE(find.Execute());
       },
       true, kNotInReplace},
      {"find after find ran", [] {}, false, ""},
  };
  for (const TStep& s : steps) {
    s.Before();
    search.Steps.clear();
    const TKivEditSearchResult lastResult = find.LastResult();
    bool result = false;
    const std::string error =
        ViewError([&] { result = s.Replace ? replace.ExecuteNext() : find.ExecuteNext(); });
    EXPECT_EQ(error, s.Error) << s.Name;
    if (*s.Error) {
      EXPECT_TRUE(search.Steps.empty()) << s.Name;
    } else {
      EXPECT_EQ(search.Steps, std::vector<std::string>{s.Replace ? "replace" : "search"}) << s.Name;
      EXPECT_TRUE(result) << s.Name;
    }
    EXPECT_EQ(find.LastResult(), lastResult) << s.Name << ": ExecuteNext leaves LastResult";
  }
  // The view's answer passes through, and so does its error (a read-only view refuses to
  // replace).
  search.NextResult = false;
  EXPECT_FALSE(find.ExecuteNext());
  search.State = stInReplace;
  view.SetReadOnly(true);
  EXPECT_EQ(ViewError([&] { replace.ExecuteNext(); }), "This View or its Document is read-only.");
}

// Without a test's access the components reach the view's own search: nothing before its first
// search, then the next occurrence (the wrap-around question goes through the UI services).
TEST(DialogComponents, ExecuteNextRunsTheViewsOwnSearch) {
  TScriptedUiServices ui;
  TKivEditDocument doc;
  doc.Lines().SetText(u"ab ab");
  TKivEditView view;
  view.SetDocument(&doc);
  TKivEditFindDialog find;
  TKivEditReplaceDialog replace;
  find.SetView(&view);
  replace.SetView(&view);
  EXPECT_EQ(ViewError([&] { find.ExecuteNext(); }), kNotInSearch);
  EXPECT_EQ(ViewError([&] { replace.ExecuteNext(); }), kNotInReplace);

  ASSERT_TRUE(view.SearchFirst({u"ab", u"", {}, sdForward, ssCursor}));
  EXPECT_EQ(view.CursorOffset(), 2);
  EXPECT_TRUE(find.ExecuteNext());
  EXPECT_EQ(view.CursorOffset(), 5);
  ui.AnswerQuestion(TKivUiButton::No);
  EXPECT_FALSE(find.ExecuteNext());
  EXPECT_EQ(ui.Texts(TUiCall::Question),
            std::vector<QString>{QStringLiteral("End of document reached. Continue search/replace from start?")});
  EXPECT_EQ(ViewError([&] { replace.ExecuteNext(); }), kNotInReplace);

  view.AssignSearchReplaceArgs({u"ab", u"x", {}, sdForward, ssTextStartEnd}, stInReplace);
  EXPECT_TRUE(replace.ExecuteNext());
  EXPECT_EQ(KivToUtf8(doc.Text()), "x ab");
  EXPECT_TRUE(replace.ExecuteNext());
  EXPECT_EQ(KivToUtf8(doc.Text()), "x x");
  EXPECT_EQ(view.SearchLastNumReplacements(), 2);
  EXPECT_TRUE(ui.AllAnswersUsed());
}

// Execute: the runner's result, true also for a cancelled run; what the window wrote persists.
TEST(DialogComponents, ExecuteResultsAndWhatPersists) {
  TKivEditView view;
  TScriptedSearchRunner runner;
  TKivEditFindDialog find;
  TKivEditReplaceDialog replace;
  EXPECT_EQ(find.LastResult(), srNotFound);
  EXPECT_EQ(replace.LastResult(), srNotFound);
  EXPECT_EQ(replace.LastReplacesNumber(), 0);
  EXPECT_EQ(find.Direction(), sdForward);
  EXPECT_EQ(find.Start(), ssCursor);
  EXPECT_EQ(replace.ReplaceAllBounds(), rbAllText);
  EXPECT_EQ(find.Position(), 0);
  EXPECT_TRUE(find.Options().Empty());
  find.SetView(&view);
  replace.SetView(&view);
  find.SetRunner(runner.Fn());
  replace.SetRunner(runner.Fn());

  struct TCase {
    TKivEditSearchResult Result;
    bool Expected;
  };
  for (const TCase c : {TCase{srFound, true}, TCase{srCancel, true}, TCase{srNotFound, false}}) {
    runner.Result = c.Result;
    EXPECT_EQ(find.Execute(), c.Expected) << int(c.Result);
    EXPECT_EQ(find.LastResult(), c.Result);
    EXPECT_EQ(replace.Execute(), c.Expected) << int(c.Result);
    EXPECT_EQ(replace.LastResult(), c.Result);
  }
  ASSERT_EQ(runner.Calls.size(), 6u);
  for (size_t i = 0; i < runner.Calls.size(); ++i) {
    EXPECT_EQ(runner.Calls[i].Title, "Find text");
    EXPECT_EQ(runner.Calls[i].ReplaceMode, i % 2 == 1);
  }
  // The histories the window wrote persist in the component.
  EXPECT_EQ(Items(find.Searches()), (std::vector<std::string>{"typed", "typed", "typed"}));

  // Replace sets the count to 0 before its run; the run's count is read afterwards.
  runner.Calls.clear();
  runner.Result = srFound;
  runner.Replacements = 5;
  replace.Execute();
  EXPECT_EQ(replace.LastReplacesNumber(), 5);
  runner.Replacements = 2;
  replace.Execute();
  ASSERT_EQ(runner.Calls.size(), 2u);
  EXPECT_EQ(runner.Calls[0].ReplacesAtStart, 0);
  EXPECT_EQ(runner.Calls[1].ReplacesAtStart, 0);
  EXPECT_EQ(replace.LastReplacesNumber(), 2);

  // The settings reach the window through the record.
  find.SetDirection(sdBackward);
  find.SetStart(ssTextStartEnd);
  find.SetOptions({soRegexp, soWholeWords});
  find.SetPosition(spRememberPos | spRememberWidth);
  TKivEditSearchDlgOptions seen;
  find.SetRunner([&](const TKivString&, TKivCustomEditView&, bool, TKivEditSearchDlgOptions& AOptions) {
    seen = AOptions;
    return srCancel;
  });
  EXPECT_TRUE(find.Execute());
  EXPECT_EQ(seen.Direction, sdBackward);
  EXPECT_EQ(seen.Start, ssTextStartEnd);
  EXPECT_TRUE(seen.Options == (TKivEditSearchOptions{soRegexp, soWholeWords}));
  EXPECT_EQ(seen.Position, spRememberPos | spRememberWidth);

  // A runner that raises passes its error on and leaves LastResult.
  find.SetRunner([](auto&&...) -> TKivEditSearchResult { throw EKivEditViewError(u"window failed"); });
  EXPECT_EQ(ViewError([&] { find.Execute(); }), "window failed");
  EXPECT_EQ(find.LastResult(), srCancel);
  // The find and replace window is the default runner; an empty runner restores it.
  TKivEditFindDialog bare;
  EXPECT_EQ(ViewError([&] { bare.Execute(); }), kNoView);
  EXPECT_TRUE(bool(bare.Runner()));
  find.SetRunner({});
  EXPECT_TRUE(bool(find.Runner()));
}

// Searches and Replaces hand out a copy: changing the returned list changes nothing.
TEST(DialogComponents, HistoriesAreReadAsCopies) {
  TKivEditReplaceDialog replace;
  TKivStringList set(std::vector<TKivString>{u"b", u"a"});
  replace.SetSearches(set);
  replace.SetReplaces(set);
  set.Add(u"later");  // the setter copied the lines
  replace.Searches().Add(u"c");
  replace.Replaces().Add(u"c");
  EXPECT_EQ(Items(replace.Searches()), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(Items(replace.Replaces()), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(replace.DialogOptions().Searches, (std::vector<TKivString>{u"b", u"a"}));
}

// View follows the widget's destruction: a destroyed view reads as none.
TEST(DialogComponents, ADestroyedViewReadsAsNone) {
  TKivEditFindDialog find;
  TKivEditGotoLineDialog gotoLine;
  TKivEditKeybindingsDialog keys;
  int runs = 0;
  find.SetRunner([&](auto&&...) {
    ++runs;
    return srFound;
  });
  keys.SetRunner([&](auto&&...) {
    ++runs;
    return true;
  });
  gotoLine.SetRunner([&](auto&&...) {
    ++runs;
    return true;
  });
  {
    TKivEditView view;
    find.SetView(&view);
    gotoLine.SetView(&view);
    keys.SetView(&view);
    EXPECT_EQ(find.View(), &view);
  }
  EXPECT_EQ(find.View(), nullptr);
  EXPECT_EQ(gotoLine.View(), nullptr);
  EXPECT_EQ(ViewError([&] { find.Execute(); }), kNoView);
  EXPECT_EQ(ViewError([&] { gotoLine.Execute(); }), kNoView);
  EXPECT_EQ(ViewError([&] { keys.Execute(); }), kNoView);
  EXPECT_EQ(runs, 0);
}

// The key bindings component: the runner's answer, for the component's view.
TEST(DialogComponents, KeyBindingsRunsForItsView) {
  TKivEditView view;
  TKivEditKeybindingsDialog keys;
  keys.SetView(&view);
  // By default the window opens for the view.
  {
    auto driver = WhenModal<TKivSedKeyBindingsDlg>([&](TKivSedKeyBindingsDlg& ADlg) {
      EXPECT_EQ(ADlg.View(), &view);
      ADlg.btnCancel->click();
    });
    EXPECT_FALSE(keys.Execute());
    EXPECT_TRUE(driver->Done());
  }
  std::vector<TKivCustomEditView*> seen;
  bool answer = false;
  keys.SetRunner([&](TKivCustomEditView& AView) {
    seen.push_back(&AView);
    return answer;
  });
  EXPECT_FALSE(keys.Execute());
  answer = true;
  EXPECT_TRUE(keys.Execute());
  EXPECT_EQ(seen, (std::vector<TKivCustomEditView*>{&view, &view}));
  // An empty runner restores the window.
  keys.SetRunner(nullptr);
  EXPECT_TRUE(bool(keys.Runner()));
}

// The go-to-line component through a scripted runner: the count it asks with and the move.
TEST(DialogComponents, GotoLineMovesOnlyWhenConfirmedWithANumber) {
  TKivEditDocument doc;
  TKivString text;
  for (int i = 0; i < 20; ++i) text += u"line\r\n";
  doc.Insert(0, text);  // 21 lines, the last one empty
  TKivEditView view;
  view.SetDocument(&doc);
  TKivEditGotoLineDialog gotoLine;
  gotoLine.SetView(&view);
  struct TCase {
    bool Ok;
    Integer Line;
    Integer CursorLine;  // where the cursor is afterwards
  };
  const TCase cases[] = {{true, 12, 12}, {true, -1, 12}, {false, 3, 12}, {true, 0, 0}, {true, 20, 20}};
  std::vector<Integer> counts;
  std::vector<QWidget*> parents;
  for (const TCase& c : cases) {
    gotoLine.SetRunner([&](Integer ACount, Integer& ALine, QWidget* AParent) {
      counts.push_back(ACount);
      parents.push_back(AParent);
      ALine = c.Line;
      return c.Ok;
    });
    EXPECT_EQ(gotoLine.Execute(), c.Ok);
    EXPECT_EQ(view.CursorPos().Y, c.CursorLine) << c.Line;
  }
  EXPECT_EQ(counts, std::vector<Integer>(5, 21));
  EXPECT_EQ(parents, std::vector<QWidget*>(5, view.window()));
  // A line the document does not hold: the view's error passes unchanged.
  gotoLine.SetRunner([](Integer, Integer& ALine, QWidget*) {
    ALine = 21;
    return true;
  });
  EXPECT_EQ(ViewError([&] { gotoLine.Execute(); }),
            "Invalid physical line on screen index: 21. Valid range: [0, 20]");
  // Without a document: the window still opens (count 0) and the move fails in the view.
  view.SetDocument(nullptr);
  Integer count = -5;
  gotoLine.SetRunner([&](Integer ACount, Integer& ALine, QWidget*) {
    count = ACount;
    ALine = 0;
    return true;
  });
  EXPECT_EQ(ViewError([&] { gotoLine.Execute(); }), "Document must be attached to View for this operation");
  EXPECT_EQ(count, 0);
  // An empty runner restores the window.
  gotoLine.SetRunner(nullptr);
  EXPECT_TRUE(static_cast<bool>(gotoLine.Runner()));
}

// The scheme components: document check, name checks in the setters and in Execute, the
// document's destruction, and what the runners get.
TEST(DialogComponents, SchemeNamesAndDocuments) {
  auto doc = std::make_unique<TKivEditDocument>();
  doc->SyntaxSchemes().Add().SetName(u"C");
  doc->SyntaxSchemes().Add().SetName(u"XML");
  doc->ColorSchemes().Add().SetName(u"default");
  TKivEditColorSchemeDialog color;
  TKivEditSyntaxSchemeDialog syntax;
  struct TRun {
    std::string Scheme, Caption;
    TKivEditSchemeKind Kind = skSyntax;
  };
  std::vector<TRun> runs;
  color.SetRunner([&](TKivEditDocument& ADoc, const TKivString& AScheme, const TKivString& ACaption) {
    EXPECT_EQ(&ADoc, doc.get());
    runs.push_back({Utf8(AScheme), Utf8(ACaption), skColor});
    return true;
  });
  syntax.SetRunner(
      [&](TKivEditParserSchemeStrings& AScheme, TKivEditSchemeKind AKind, const TKivString& ACaption) {
        runs.push_back({Utf8(AScheme.Item()->Name()), Utf8(ACaption), AKind});
        return false;
      });

  // No document: any name is accepted, Execute raises the document message.
  EXPECT_EQ(ViewError([&] { color.SetColorScheme(u"nothing"); }), "");
  EXPECT_EQ(color.ColorScheme(), u"nothing");
  EXPECT_EQ(ViewError([&] { color.Execute(); }), kNoDoc);
  EXPECT_EQ(ViewError([&] { syntax.Execute(); }), kNoDoc);

  color.SetDocument(doc.get());
  syntax.SetDocument(doc.get());
  struct TCase {
    const char* Name;
    std::function<void()> Call;
    const char* Error;
  };
  const TCase cases[] = {
      // Names are compared exactly: "c" is not "C".
      {"syntax c", [&] { syntax.SetSyntaxScheme(u"c"); },
       "Syntax scheme c not found in Document.SyntaxSchemes collection"},
      {"syntax C", [&] { syntax.SetSyntaxScheme(u"C"); }, ""},
      {"syntax Pascal", [&] { syntax.SetSyntaxScheme(u"Pascal"); },
       "Syntax scheme Pascal not found in Document.SyntaxSchemes collection"},
      {"colour C", [&] { color.SetColorScheme(u"C"); },
       "Color scheme C not found in Document.ColorSchemes collection"},
      // The name given without a document is checked in Execute.
      {"colour Execute with the old name", [&] { color.Execute(); },
       "Color scheme nothing not found in Document.ColorSchemes collection"},
      {"colour default", [&] { color.SetColorScheme(u"default"); }, ""},
      {"colour empty", [&] { color.SetColorScheme(u""); }, ""},
      {"colour Execute empty", [&] { color.Execute(); }, "Scheme property should be set for this method"},
      {"colour default again", [&] { color.SetColorScheme(u"default"); }, ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(ViewError(c.Call), c.Error) << c.Name;
  // A refused name keeps the old one.
  EXPECT_EQ(syntax.SyntaxScheme(), u"C");
  EXPECT_EQ(color.ColorScheme(), u"default");
  EXPECT_TRUE(runs.empty());

  color.SetTitle(u"Colours");
  EXPECT_TRUE(color.Execute());
  EXPECT_FALSE(syntax.Execute());
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].Scheme, "default");
  EXPECT_EQ(runs[0].Caption, "Colours");
  EXPECT_EQ(runs[1].Scheme, "C");
  EXPECT_EQ(runs[1].Caption, "");
  EXPECT_EQ(runs[1].Kind, skSyntax);

  // The scheme was deleted after it was chosen: Execute checks again.
  doc->SyntaxSchemes().Delete(0);
  EXPECT_EQ(ViewError([&] { syntax.Execute(); }),
            "Syntax scheme C not found in Document.SyntaxSchemes collection");

  // The document's destruction: Document reads as none, Execute raises the document message.
  doc.reset();
  EXPECT_EQ(color.Document(), nullptr);
  EXPECT_EQ(syntax.Document(), nullptr);
  EXPECT_EQ(ViewError([&] { color.Execute(); }), kNoDoc);
  EXPECT_EQ(ViewError([&] { syntax.SetSyntaxScheme(u"anything"); }), "");
}

// A component that goes before its document unregisters: the document's end notifies no one.
TEST(DialogComponents, AComponentGoneBeforeItsDocumentLeavesNoLink) {
  TKivEditDocument doc;
  doc.ColorSchemes().Add().SetName(u"default");
  {
    TKivEditColorSchemeDialog color;
    color.SetDocument(&doc);
    TKivEditSyntaxSchemeDialog syntax;
    syntax.SetDocument(&doc);
    syntax.SetDocument(nullptr);
    EXPECT_EQ(syntax.Document(), nullptr);
  }
  // Moving between documents follows the last one only.
  auto other = std::make_unique<TKivEditDocument>();
  TKivEditColorSchemeDialog color;
  color.SetDocument(other.get());
  color.SetDocument(&doc);
  other.reset();
  EXPECT_EQ(color.Document(), &doc);
}
