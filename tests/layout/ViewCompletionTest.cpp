// Word completion in the view core: the settings, filling the list from the document's words and
// from the application's event, the list's keys, committing, placement and the timer, on the
// fixed-width fake with a recording list window.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "KivRegExpr.h"
#include "KivSedSearch.h"
#include "KivSedViewCore.h"
#include "KivTestSeed.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"
#include "internal/ViewCommands.h"

namespace {

// The list window, every call recorded. The view's client area lies at (100, 200)
// on a 1920 x 1080 screen.
struct RecordingList : IKivCompletionListHost {
  void ShowList(bool AVisible, Integer AX, Integer AY) override {
    Visible = AVisible;
    if (AVisible) {
      At = {AX, AY};
      ++Shows;
    } else {
      ++Hides;
    }
  }
  bool ListVisible() const override { return Visible; }
  Integer ListWidth() const override { return Width; }
  Integer ListHeight() const override { return Height; }
  void SetListCorner(TComplResizeCorner ACorner) override { Corner = ACorner; }
  void ListItemsChanged() override { ++ItemsChanges; }
  void ListSettingsChanged() override { ++SettingsChanges; }
  Integer ListPageCount() const override { return 5; }
  TKivPoint ClientToScreen(const TKivPoint& AClient) const override {
    return {AClient.X + Origin.X, AClient.Y + Origin.Y};
  }
  TKivRect ScreenArea() const override { return Screen; }

  bool Visible = false;
  TKivPoint At;
  TComplResizeCorner Corner = rcTopLeft;
  Integer Width = 121, Height = 97;
  TKivPoint Origin{100, 200};
  TKivRect Screen{0, 0, 1920, 1080};
  int Shows = 0, Hides = 0, ItemsChanges = 0, SettingsChanges = 0;
};

using Items = std::vector<TKivString>;

struct ComplFixture : ::testing::Test {
  void SetUp() override {
    View.SetDocument(&Doc);
    View.HostResized();
    View.Completion().SetListHost(&List);
    View.OnStatusChanged = [this](TKivEditViewCore&, TKivViewStatusChanges AChanges) { Reports.push_back(AChanges); };
  }
  void TearDown() override { View.Completion().SetListHost(nullptr); }
  // The text, with the cursor at its end.
  void Text(const TKivString& AText) {
    Doc.Lines().SetText(AText);
    View.SetCursorOffset(Doc.CharsCount());
  }
  bool Key(TKivShortcut AShortcut) { return View.CommandHooks().KeyDown(View, AShortcut); }
  // A typed character: a key-down that binds nothing, then the character.
  void Type(Char AChar) {
    View.CommandHooks().KeyDown(View, 0);
    View.CommandHooks().KeyPressW(View, AChar);
  }
  TKivEditCommandMode Mode() { return static_cast<TViewCommands&>(View.CommandHooks()).Mode(); }
  Items Listed() { return View.Completion().Items(); }
  Items Fresh(TKivEditFillCompletionCause ACause = fcForced) {
    Items items;
    TKivPoint pos{-1, -1};
    View.CompletionFillListDef(items, View.CursorPos(), ACause, pos);
    return items;
  }

  TKivEditDocument Doc;
  RecordingHost Host;
  TKivEditViewCore View{Host};
  RecordingList List;
  std::vector<TKivViewStatusChanges> Reports;
};

constexpr TKivShortcut kCtrlSpace = kivShortcutCtrl | vkSpace;

}  // namespace

TEST_F(ComplFixture, CtrlSpaceListsTheDocumentsWordsWithThePrefixInDocumentOrder) {
  Text(u"alpha alphabet alpine beta\r\nal");
  EXPECT_TRUE(Key(kCtrlSpace));
  EXPECT_EQ(Listed(), (Items{u"alpha", u"alphabet", u"alpine"}));
  EXPECT_EQ(View.Completion().ItemIndex(), 0);
  EXPECT_TRUE(View.InState(siComplListShown));
  EXPECT_EQ(Mode(), cmForCompletion);
  EXPECT_TRUE(List.Visible);
  // Under the word's first cell ("al" starts line 1: row 16..32, column 0 after no gutter).
  EXPECT_EQ(List.At, (TKivPoint{100, 200 + 32}));
  EXPECT_EQ(List.Corner, rcBottomRight);
  // Esc hides it and leaves the text.
  EXPECT_TRUE(Key(vkEscape));
  EXPECT_FALSE(List.Visible);
  EXPECT_FALSE(View.InState(siComplListShown));
  EXPECT_EQ(Doc.Text(), u"alpha alphabet alpine beta\r\nal");
}

TEST_F(ComplFixture, TheListsKeysMoveTheSelectionAndEnterCommits) {
  Text(u"alpha alphabet alpine beta\r\nal");
  Key(kCtrlSpace);
  struct Step {
    uint16_t Key;
    Integer Index;
  };
  // Up from the first wraps to the last, Down from the last to the first; Delete does nothing.
  for (const Step& s : {Step{vkUp, 2}, Step{vkDown, 0}, Step{vkEnd, 2}, Step{vkHome, 0}, Step{vkDown, 1},
                        Step{vkDelete, 1}, Step{vkNext, 2}, Step{vkPrior, 0}, Step{vkEnd, 2}}) {
    Key(s.Key);
    EXPECT_EQ(View.Completion().ItemIndex(), s.Index) << s.Key;
    EXPECT_TRUE(View.InState(siComplListShown));
  }
  EXPECT_EQ(Doc.Text(), u"alpha alphabet alpine beta\r\nal");
  EXPECT_TRUE(Key(vkReturn));
  EXPECT_EQ(Doc.Text(), u"alpha alphabet alpine beta\r\nalpine");
  EXPECT_EQ(View.CursorOffset(), Doc.CharsCount());
  EXPECT_FALSE(View.InState(siComplListShown));
  EXPECT_FALSE(List.Visible);
}

TEST_F(ComplFixture, OneMatchCommitsAtOnceUnlessTheListIsWanted) {
  Text(u"alpine\r\nalp");
  Key(kCtrlSpace);
  EXPECT_EQ(Doc.Text(), u"alpine\r\nalpine");
  EXPECT_FALSE(View.InState(siComplListShown));
  EXPECT_EQ(List.Shows, 0);

  View.CompletionSettings().SetDontShowComboForOnlyMatch(false);
  Text(u"alpine\r\nalp");
  Key(kCtrlSpace);
  EXPECT_EQ(Listed(), (Items{u"alpine"}));
  EXPECT_TRUE(View.InState(siComplListShown));
  EXPECT_EQ(Doc.Text(), u"alpine\r\nalp");

  // The whole word is replaced, also its part after the cursor.
  View.CompletionSettings().SetDontShowComboForOnlyMatch(true);
  Text(u"alpha alxyz");
  View.SetCursorOffset(8);
  Key(kCtrlSpace);
  EXPECT_EQ(Doc.Text(), u"alpha alpha");
}

TEST_F(ComplFixture, NothingWithoutAWordReachingTheCursor) {
  struct Case {
    const char16_t* Text;
    Integer Cursor;
  };
  for (const Case& c : {Case{u"alpha ", 6}, Case{u"alpha", 0}, Case{u"", 0}, Case{u"alpha al", 5},
                        Case{u"alpha  \r\n", 7}}) {
    Doc.Lines().SetText(c.Text);
    View.SetCursorOffset(c.Cursor);
    const TKivString before = Doc.Text();
    Host.Beeps = 0;
    EXPECT_TRUE(Key(kCtrlSpace));
    EXPECT_FALSE(View.InState(siComplListShown)) << KivToUtf8(c.Text);
    EXPECT_TRUE(Listed().empty() || Doc.Text() != before) << KivToUtf8(c.Text);
    EXPECT_EQ(Host.Beeps, 0);
  }
  // "alpha al" with the cursor after "alpha": the occurrence at the cursor is never listed,
  // and no other word begins with "alpha".
  EXPECT_TRUE(Fresh().empty());
}

TEST_F(ComplFixture, CaseRules) {
  // Without case sensitivity both case variants are listed.
  Text(u"Alpha alpha beta ALPS al");
  EXPECT_EQ(Fresh(), (Items{u"Alpha", u"alpha", u"ALPS"}));
  // With it, only words with the exact prefix; variants differing after it are both kept.
  View.CompletionSettings().SetCaseSensitive(true);
  Text(u"AlphaBeta Alphabeta alpha AlphaBeta Al");
  EXPECT_EQ(Fresh(), (Items{u"AlphaBeta", u"Alphabeta"}));
  // Metacharacters of the prefix are taken literally.
  View.CompletionSettings().SetWordSeparators(u" ");
  Text(u"a.b a+b a.bc a.");
  EXPECT_EQ(Fresh(), (Items{u"a.b", u"a.bc"}));
}

TEST_F(ComplFixture, CompletionSeparators) {
  const TKivString punct = u"{}()[],./?'\":;\\|*&%^$#@!";
  ASSERT_EQ(punct.size(), 24u);
  EXPECT_EQ(View.CompletionSeparators(), Doc.FullWordSeparators() + punct + u" \t");
  View.CompletionSettings().SetWordSeparators(u"-");
  EXPECT_EQ(View.CompletionSeparators(), u"- \t\r\n");
  // "-" now ends words, "." no longer does.
  Text(u"x-alpha a.b-al");
  EXPECT_EQ(Fresh(), (Items{u"alpha"}));
  Text(u"a.b x-a.");
  EXPECT_EQ(Fresh(), (Items{u"a.b"}));
  // The command classification follows: the list hides when "-" is typed.
  EXPECT_EQ(static_cast<TViewCommands&>(View.CommandHooks()).CompletionSeparators(), u"- \t\r\n");
}

TEST_F(ComplFixture, TimeoutNeedsMinCharsAndAWordEnd) {
  Text(u"alpha alphabet alpine beta\r\nal");
  View.Completion().TimerTick();
  EXPECT_FALSE(View.InState(siComplListShown));
  EXPECT_TRUE(Fresh(fcTimeout).empty());
  Doc.Insert(Doc.CharsCount(), u"p");
  View.SetCursorOffset(Doc.CharsCount());
  EXPECT_EQ(Fresh(fcTimeout).size(), 3u);
  View.Completion().TimerTick();
  EXPECT_TRUE(View.InState(siComplListShown));
  EXPECT_EQ(Listed().size(), 3u);
  // Inside a word the timer shows nothing; Ctrl+Space does.
  View.ExitState(siComplListShown);
  View.SetCursorOffset(Doc.CharsCount() - 1);
  EXPECT_TRUE(Fresh(fcTimeout).empty());
  EXPECT_EQ(Fresh(fcForced), (Items{u"alpha", u"alphabet", u"alpine"}));
  // MinChars 0 lets one character do.
  View.CompletionSettings().SetMinChars(1);
  Text(u"beta b");
  EXPECT_EQ(Fresh(fcTimeout), (Items{u"beta"}));
}

TEST_F(ComplFixture, TheTimerIsStartedAtAWordEndAndStoppedByOtherCommands) {
  Text(u"alpha alphabet alp");
  EXPECT_EQ(View.Completion().Timer(), nullptr);
  // A word character typed at a word end arms the host's timer, single-shot, with ShowTimeout.
  const auto typeAtEnd = [&] {
    Text(u"alpha alphabet al");
    View.SetCursorOffset(Doc.CharsCount());
    View.InvokeCommand(sedChar, TKivString(u"p"));
    View.SetCursorOffset(Doc.CharsCount());
  };
  typeAtEnd();
  auto* timer = static_cast<TKivManualTimer*>(View.Completion().Timer());
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(View.InState(siComplTimer));
  EXPECT_TRUE(timer->Active());
  EXPECT_EQ(timer->Interval(), 500);
  View.InvokeCommand(sedScrollDown);
  EXPECT_FALSE(View.InState(siComplTimer));
  EXPECT_FALSE(timer->Active());
  EXPECT_FALSE(timer->Tick());
  View.CompletionSettings().SetShowTimeout(1000);
  typeAtEnd();
  EXPECT_EQ(timer->Interval(), 1000);
  // Losing the focus stops it.
  View.FocusChanged(false);
  EXPECT_FALSE(View.InState(siComplTimer));
  EXPECT_FALSE(timer->Active());
  // Its tick shows the list and leaves the state.
  typeAtEnd();
  EXPECT_TRUE(timer->Tick());
  EXPECT_FALSE(View.InState(siComplTimer));
  EXPECT_TRUE(View.InState(siComplListShown));
  EXPECT_TRUE(List.Visible);
  EXPECT_FALSE(timer->Active());
  // Ctrl+Space stops it as well.
  View.ExitStates(siComplListShown);
  typeAtEnd();
  Key(kCtrlSpace);
  EXPECT_FALSE(timer->Active());
  // Switched off: no timer.
  View.ExitStates(siComplListShown | siComplTimer);
  View.CompletionSettings().SetShowCompletionOnTimeout(false);
  const int starts = timer->Starts();
  typeAtEnd();
  EXPECT_EQ(timer->Starts(), starts);
  EXPECT_FALSE(View.InState(siComplTimer));
}

TEST_F(ComplFixture, ErrorsOfTheCommandsAndOfShowCompletion) {
  Text(u"alpha al");
  for (TKivEditCommand c : {sedCompletionUp, sedCompletionCommit, sedCompletionCancel, sedCompletionEnd})
    EXPECT_EQ(ViewErrorOf([&] { View.InvokeCommand(c); }),
              "Completion list should be shown for this command (or method)");
  View.EnterState(siIncrementalSearch);
  EXPECT_EQ(ViewErrorOf([&] { View.ShowCompletion(fcForced, true); }),
            "View should NOT be in incremental search mode for this command (or method)");
  EXPECT_EQ(Doc.Text(), u"alpha al");
  EXPECT_EQ(View.UpdatingCount(), 0);
  // The command ends the search first, then completes.
  View.InvokeCommand(sedCompletionShow);
  EXPECT_FALSE(View.InState(siIncrementalSearch));
  EXPECT_EQ(Doc.Text(), u"alpha alpha");
  // ctDisabled: nothing at all.
  View.CompletionSettings().SetCompletionType(ctDisabled);
  Text(u"alpha al");
  Key(kCtrlSpace);
  EXPECT_EQ(Doc.Text(), u"alpha al");
  // A read-only view lists but refuses the replacement.
  View.CompletionSettings().SetCompletionType(ctDocumentText);
  View.SetReadOnly(true);
  Host.Beeps = 0;
  Key(kCtrlSpace);
  EXPECT_EQ(Doc.Text(), u"alpha al");
  EXPECT_EQ(Host.Beeps, 1);
}

TEST_F(ComplFixture, TheListHidesOnChangesFocusAndScrolling) {
  Text(u"alpha alphabet\r\nal");
  const auto show = [&] {
    View.SetCursorOffset(Doc.CharsCount());
    Key(kCtrlSpace);
    ASSERT_TRUE(List.Visible);
  };
  show();
  Doc.Insert(0, u" ");
  EXPECT_FALSE(List.Visible);
  show();
  View.FocusChanged(false);
  EXPECT_FALSE(List.Visible);
  show();
  View.ScrollVertBy(1);
  EXPECT_FALSE(List.Visible);
  // A refill keeps a visible list where it is.
  show();
  const int shows = List.Shows;
  View.ShowCompletion(fcForced, false);
  EXPECT_EQ(List.Shows, shows);
  EXPECT_TRUE(List.Visible);
}

TEST_F(ComplFixture, CustomTypesFillFromTheEventAndReplaceAFinishedWordInOneUndoStep) {
  View.CompletionSettings().SetCompletionType(ctCustom);
  std::vector<std::string> calls;
  View.OnFillCompletionList = [&](TKivEditViewCore&, Items& AItems, const TKivPoint&, TKivEditFillCompletionCause ACause,
                                  const TKivString& ALeft, TKivPoint&, bool& AHandled) {
    calls.push_back(std::to_string(int(ACause)) + ":" + KivToUtf8(ALeft));
    AItems.push_back(u"XYZ");
    AItems.push_back(u"XYW");
    AHandled = true;
  };
  Text(u"ab");
  Doc.ClearUndo();
  View.EnterState(siComplWordTyping);
  View.InvokeCommand(sedNewLine);
  EXPECT_EQ(calls, (std::vector<std::string>{std::to_string(int(fcWordEnd)) + ":ab"}));
  EXPECT_EQ(Doc.Text().substr(0, 3), u"XYZ");
  Doc.Undo();
  EXPECT_EQ(Doc.Text(), u"ab");
  EXPECT_FALSE(Doc.CanUndo());

  // Not handled: the document's words follow the application's.
  View.OnFillCompletionList = [&](TKivEditViewCore&, Items& AItems, const TKivPoint&, TKivEditFillCompletionCause,
                                  const TKivString&, TKivPoint&, bool&) { AItems.push_back(u"first"); };
  Text(u"abc ab");
  Key(kCtrlSpace);
  EXPECT_EQ(Listed(), (Items{u"first", u"abc"}));
  // The replace event may take over.
  std::vector<std::string> replaced;
  View.OnCompletionReplace = [&](TKivEditViewCore&, const Items& AItems, Integer AIndex, const TKivPoint&,
                                 TKivEditReplaceCompletionCause ACause, bool& AHandled) {
    replaced.push_back(KivToUtf8(AItems[AIndex]) + ":" + std::to_string(int(ACause)));
    AHandled = true;
  };
  Key(vkDown);
  Key(vkReturn);
  EXPECT_EQ(replaced, (std::vector<std::string>{"abc:" + std::to_string(int(rcCompletionList))}));
  EXPECT_EQ(Doc.Text(), u"abc ab");
  EXPECT_FALSE(View.InState(siComplListShown));

  // ctDocumentText never replaces a finished word.
  View.OnCompletionReplace = nullptr;
  View.CompletionSettings().SetCompletionType(ctDocumentText);
  Text(u"abc ab");
  View.EnterState(siComplWordTyping);
  View.InvokeCommand(sedNewLine);
  EXPECT_EQ(Doc.Text(), u"abc ab\r\n");
  // A custom type without the event lists nothing.
  View.CompletionSettings().SetCompletionType(ctCustomOwnerDrawFixed);
  View.OnFillCompletionList = nullptr;
  Key(kCtrlSpace);
  EXPECT_FALSE(View.InState(siComplListShown));
}

TEST_F(ComplFixture, SettingsDefaultsBracketAndErrors) {
  TKivEditCompletionSettings& s = View.CompletionSettings();
  EXPECT_EQ(s.ShowTimeout(), 500);
  EXPECT_TRUE(s.ShowCompletionOnTimeout());
  EXPECT_EQ(s.MinChars(), 3);
  EXPECT_TRUE(s.DontShowComboForOnlyMatch());
  EXPECT_FALSE(s.CaseSensitive());
  EXPECT_EQ(s.CompletionType(), ctDocumentText);
  EXPECT_EQ(s.ItemHeight(), 16);
  EXPECT_EQ(s.WordSeparators(), u"");

  EXPECT_EQ(ViewErrorOf([&] { TKivEditCompletionSettings x(nullptr); }),
            "This internal View class should not be created manually.");
  EXPECT_EQ(ViewErrorOf([&] { TKivEditCompletionSettings x(&View); }),
            "This internal View class should not be created manually.");

  // One report per change; none when the value stays.
  Reports.clear();
  s.SetItemHeight(20);
  s.SetItemHeight(20);
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_TRUE(Reports[0] & scViewSettings);
  const int settingsChanges = List.SettingsChanges;
  s.SetCompletionType(ctCustomOwnerDrawVariable);
  EXPECT_EQ(List.SettingsChanges, settingsChanges + 1);
  // Bad values raise and keep the old one, without a report.
  Reports.clear();
  for (auto bad : std::vector<std::function<void()>>{[&] { s.SetShowTimeout(0); }, [&] { s.SetMinChars(-1); },
                                                    [&] { s.SetItemHeight(0); }})
    EXPECT_FALSE(ViewErrorOf(bad).empty());
  EXPECT_EQ(s.ShowTimeout(), 500);
  EXPECT_EQ(s.MinChars(), 3);
  EXPECT_EQ(s.ItemHeight(), 20);
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(View.UpdatingCount(), 0);
  // A settings change leaves the list.
  Text(u"alpha alphabet al");
  s.SetCompletionType(ctDocumentText);
  Key(kCtrlSpace);
  ASSERT_TRUE(View.InState(siComplListShown));
  s.SetMinChars(2);
  EXPECT_FALSE(View.InState(siComplListShown));

  // Assign copies all eight in one report.
  RecordingHost host2;
  TKivEditViewCore other{host2};
  TKivEditCompletionSettings& o = other.CompletionSettings();
  o.SetShowTimeout(70);
  o.SetShowCompletionOnTimeout(false);
  o.SetMinChars(5);
  o.SetDontShowComboForOnlyMatch(false);
  o.SetCaseSensitive(true);
  o.SetCompletionType(ctCustom);
  o.SetItemHeight(30);
  o.SetWordSeparators(u"-+");
  Reports.clear();
  View.SetCompletionSettings(o);
  EXPECT_EQ(Reports.size(), 1u);
  EXPECT_EQ(s.ShowTimeout(), 70);
  EXPECT_FALSE(s.ShowCompletionOnTimeout());
  EXPECT_EQ(s.MinChars(), 5);
  EXPECT_FALSE(s.DontShowComboForOnlyMatch());
  EXPECT_TRUE(s.CaseSensitive());
  EXPECT_EQ(s.CompletionType(), ctCustom);
  EXPECT_EQ(s.ItemHeight(), 30);
  EXPECT_EQ(s.WordSeparators(), u"-+");
  Reports.clear();
  View.SetCompletionSettings(o);
  EXPECT_TRUE(Reports.empty());
}

TEST(ComplPlacement, BelowAndRightUnlessTheScreenEdgeIsNear) {
  const TKivRect screen{0, 0, 1000, 800};
  struct Case {
    TKivRect Word, Cursor;
    TKivComplPlacement Want;
  };
  // The word's cell is 10 x 16; the list 121 x 97; the cursor's cell 3 cells to the right.
  const auto cell = [](Integer X, Integer Y) { return TKivRect{X, Y, X + 10, Y + 16}; };
  const Case cases[] = {
      {cell(100, 100), cell(130, 100), {{100, 116}, rcBottomRight, false}},
      // 121 px still fit on the right of a cell ending at 879; not at 880.
      {cell(869, 100), cell(899, 100), {{869, 116}, rcBottomRight, false}},
      {cell(870, 100), cell(900, 100), {{900 - 121, 116}, rcBottomLeft, true}},
      // 97 px fit under a cell ending at 703; not at 704.
      {cell(100, 687), cell(130, 687), {{100, 703}, rcBottomRight, false}},
      {cell(100, 688), cell(130, 688), {{100, 688 - 97}, rcTopRight, false}},
      {cell(950, 780), cell(980, 780), {{980 - 121, 780 - 97}, rcTopLeft, true}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KivPlaceCompletionList(c.Word, c.Cursor, 121, 97, screen), c.Want) << c.Word.Left << "," << c.Word.Top;
  // A screen that does not start at 0 (a second monitor).
  EXPECT_EQ(KivPlaceCompletionList(cell(2900, 100), cell(2930, 100), 121, 97, {1920, 0, 3000, 800}).Corner,
            rcBottomLeft);
  EXPECT_EQ(KivPlaceCompletionList(cell(2000, 100), cell(2030, 100), 121, 97, {1920, 0, 3000, 800}).Corner,
            rcBottomRight);
}

TEST_F(ComplFixture, TheViewPlacesTheListByTheScreenArea) {
  Text(u"alpha alphabet al");
  // The word "al" starts at column 15: client x 150, row 0; the cursor's cell at x 170.
  List.Screen = {0, 0, 100 + 150 + 10 + 100, 1080};
  Key(kCtrlSpace);
  EXPECT_EQ(List.Corner, rcBottomLeft);
  EXPECT_EQ(List.At, (TKivPoint{100 + 170 - 121, 200 + 16}));
  Key(vkEscape);
  List.Screen = {0, 0, 1920, 200 + 16 + 50};
  Key(kCtrlSpace);
  EXPECT_EQ(List.Corner, rcTopRight);
  EXPECT_EQ(List.At, (TKivPoint{100 + 150, 200 - 97}));
}

// Random documents and cursors: the fill equals a plain model of it, and a refill after typing,
// deleting and moving with the list shown equals a fresh fill.
TEST_F(ComplFixture, FillingMatchesAModelAndRefillsMatchFreshFills) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  const TKivString letters = u"abAB";
  const TKivString seps = u" .\r\n";
  const auto pick = [&](const TKivString& AFrom) { return AFrom[rng() % AFrom.size()]; };
  const auto model = [&](bool ACaseSens) {
    const TKivString text = Doc.Text();
    const Integer cursor = View.CursorOffset();
    const TKivString all = View.CompletionSeparators();
    const auto isSep = [&](Char c) { return all.find(c) != TKivString::npos; };
    Integer ws = cursor;
    while (ws > 0 && !isSep(text[ws - 1])) --ws;
    Items out;
    if (cursor == ws) return out;
    TKivString prefix = text.substr(ws, cursor - ws);
    const auto fold = [&](TKivString s) {
      if (!ACaseSens)
        for (Char& c : s)
          if (c >= u'A' && c <= u'Z') c = Char(c + 32);
      return s;
    };
    for (size_t i = 0; i < text.size();) {
      if (isSep(text[i])) {
        ++i;
        continue;
      }
      size_t j = i;
      while (j < text.size() && !isSep(text[j])) ++j;
      const TKivString word = text.substr(i, j - i);
      const bool atCursor = Integer(i) <= cursor && cursor <= Integer(j);
      if (!atCursor && word.size() >= prefix.size() && fold(word.substr(0, prefix.size())) == fold(prefix) &&
          std::find(out.begin(), out.end(), word) == out.end())
        out.push_back(word);
      i = j;
    }
    return out;
  };
  for (int round = 0; round < 60; ++round) {
    View.CompletionSettings().SetCaseSensitive(round % 3 == 0);
    TKivString text;
    const int n = 20 + int(rng() % 60);
    for (int i = 0; i < n; ++i) text += rng() % 4 == 0 ? pick(seps) : pick(letters);
    Doc.Lines().SetText(text);
    for (int k = 0; k < 6; ++k) {
      View.SetCursorOffset(Integer(rng() % (Doc.CharsCount() + 1)));
      EXPECT_EQ(Fresh(), model(round % 3 == 0)) << KivToUtf8(Doc.Text()) << " @" << View.CursorOffset();
    }
    // Edits with the list shown: every refill equals a fresh fill.
    for (int k = 0; k < 10; ++k) {
      const Integer at = View.CursorOffset();
      switch (rng() % 3) {
        case 0:
          Doc.Insert(at, TKivString(1, pick(letters)));
          View.SetCursorOffset(at + 1);
          break;
        case 1:
          if (at > 0 && Doc.Text()[at - 1] != u'\n') {
            Doc.Delete(at - 1, 1);
            View.SetCursorOffset(at - 1);
          }
          break;
        default:
          View.SetCursorOffset(std::clamp<Integer>(at + (rng() % 2 ? 1 : -1), 0, Doc.CharsCount()));
          break;
      }
      View.ShowCompletion(fcForced, false);
      const Items fresh = Fresh();
      EXPECT_EQ(Listed(), fresh) << KivToUtf8(Doc.Text()) << " @" << View.CursorOffset();
      EXPECT_EQ(View.InState(siComplListShown), !fresh.empty());
    }
  }
}

namespace {

// The default fill as the quoted prefix searched by the project's regex engine over the document,
// the completion separators deciding word starts and ends (the fill's own scan must agree).
Items RegexFill(TKivEditViewCore& AView, bool ACaseSens) {
  TKivEditDocument& doc = *AView.Document();
  const Integer cursor = AView.CursorOffset();
  const TKivString seps = AView.CompletionSeparators();
  const auto isSep = [&](Char c) { return seps.find(c) != TKivString::npos; };
  const TKivSegment w = doc.FindNearWord(cursor, -1, seps, true);
  if (w.Start < 0 || w.Start + w.Count < cursor || cursor - w.Start <= 0) return {};
  const TKivString text = doc.Text();
  const auto wordEnd = [&](Integer AFrom) {
    while (AFrom < Integer(text.size()) && !isSep(text[AFrom])) ++AFrom;
    return AFrom;
  };
  TKivRegExp re;
  re.SetExpression(RegExprQuoteMetaChars(text.substr(w.Start, cursor - w.Start)));
  re.SetWordSeparators(seps);
  re.SetModifierI(!ACaseSens);
  TKivRegexCharSeqSource source(doc.Chars());
  re.SetInputSource(&source);
  Items out;
  for (bool found = re.Exec(0); found;) {
    const Integer start = re.GetMatchPos(0);
    Integer end = start + re.GetMatchLen(0);
    const bool wordStart = start == 0 || isSep(text[start - 1]);
    if (wordStart) {
      end = wordEnd(end);
      const TKivString word = text.substr(start, end - start);
      if (!(start <= cursor && cursor <= end) && std::find(out.begin(), out.end(), word) == out.end())
        out.push_back(word);
    }
    if (end >= Integer(text.size())) break;
    found = re.Exec(wordStart ? end : start + 1);
  }
  re.SetInputSource(nullptr);
  return out;
}

// An application that edits the document once, right after the next change (its user event).
struct EditAfterChange : TKivDocumentListener {
  void DoUserEventAfterDocChange() override {
    if (!Edit) return;
    const auto edit = std::move(Edit);
    Edit = nullptr;
    edit();
  }
  std::function<void()> Edit;
};

}  // namespace

TEST_F(ComplFixture, ARefillWithTheListShownFiltersTheLastListInsteadOfScanning) {
  Text(u"alpha alphabet alpine beta alpaca\r\nal");
  Key(kCtrlSpace);
  const Integer scans = View.Completion().FillScans();
  EXPECT_EQ(scans, 1);
  const Items al{u"alpha", u"alphabet", u"alpine", u"alpaca"};
  const auto type = [&](Char c) { Type(c); };
  struct Step {
    Char Typed;  // 0: Backspace
    Items Listed;
    Integer Scans;
  };
  for (const Step& s : {Step{u'p', al, 1}, Step{u'h', {u"alpha", u"alphabet"}, 1}, Step{0, al, 1},
                        Step{0, al, 1}, Step{u'P', al, 1}, Step{0, al, 1}, Step{0, al, 2}}) {
    if (s.Typed)
      type(s.Typed);
    else
      Key(vkBack);
    EXPECT_TRUE(View.InState(siComplListShown));
    EXPECT_EQ(Listed(), s.Listed) << KivToUtf8(Doc.Text());
    EXPECT_EQ(View.Completion().FillScans(), s.Scans) << KivToUtf8(Doc.Text());
  }
  // An edit outside the word during a keystroke: the next refill reads the document again.
  EditAfterChange app;
  Doc.AddListener(&app);
  app.Edit = [&] { Doc.Replace(0, 5, u"alpen"); };
  type(u'l');
  EXPECT_TRUE(View.InState(siComplListShown)) << KivToUtf8(Doc.Text());
  EXPECT_EQ(Listed(), (Items{u"alpen", u"alphabet", u"alpine", u"alpaca"}));
  EXPECT_EQ(View.Completion().FillScans(), 3);
  // Hidden and shown again: a new scan.
  Key(vkEscape);
  Key(kCtrlSpace);
  EXPECT_EQ(View.Completion().FillScans(), 4);
  // A separator put into the word behind the cursor splits it: its rest is a word of its own.
  View.CompletionSettings().SetDontShowComboForOnlyMatch(false);
  Text(u"alpine\r\nalzalpaca");
  View.SetCursorOffset(10);
  Key(kCtrlSpace);
  EXPECT_EQ(Listed(), (Items{u"alpine"}));
  app.Edit = [&] { Doc.Replace(11, 1, u"."); };
  type(u'p');
  EXPECT_EQ(Doc.Text(), u"alpine\r\nalp.alpaca");
  EXPECT_EQ(Listed(), (Items{u"alpine", u"alpaca"}));
  Doc.RemoveListener(&app);
}

// Random documents, separators (also a letter, whose other case then matches a separator) and
// case rules; keystrokes with the list shown (letters, Backspace, Left, Right), now and then an
// application edit during a keystroke (in the word at the cursor or elsewhere), the list shown
// again when it went. Every list equals a fill from scratch by a second view, which never shows
// a list and so always reads the whole document, and that equals the regex engine's search.
TEST_F(ComplFixture, IncrementalRefillsEqualFillsFromScratch) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  RecordingHost refHost;
  TKivEditViewCore ref{refHost};
  ref.SetDocument(&Doc);
  ref.HostResized();
  EditAfterChange app;
  Doc.AddListener(&app);
  const TKivString letters = u"aabbABé\u00c9\u03c3\u03a3\u03c2";
  const TKivString others = u"  ..-\r\n";
  const TKivString wordSeps[] = {u"", u"-", u"b"};
  const auto pick = [&](const TKivString& AFrom) { return AFrom[rng() % AFrom.size()]; };
  const auto fresh = [&] {
    ref.SetCursorOffset(View.CursorOffset());
    Items items;
    TKivPoint pos;
    ref.CompletionFillListDef(items, ref.CursorPos(), fcForced, pos);
    return items;
  };
  int compared = 0, filtered = 0;
  for (int round = 0; round < 80; ++round) {
    View.CompletionSettings().SetCaseSensitive(rng() % 2 == 0);
    View.CompletionSettings().SetWordSeparators(wordSeps[rng() % 3]);
    View.CompletionSettings().SetDontShowComboForOnlyMatch(false);
    ref.CompletionSettings().Assign(View.CompletionSettings());
    // Words from a small vocabulary, so that prefixes are shared.
    std::vector<TKivString> vocabulary(8);
    for (TKivString& w : vocabulary)
      for (int i = 1 + int(rng() % 5); i > 0; --i) w += pick(letters);
    TKivString text;
    for (int i = 12 + int(rng() % 30); i > 0; --i) text += vocabulary[rng() % 8] + TKivString(1, pick(others));
    Doc.Lines().SetText(text);
    // Mostly a character that continues some word.
    const auto typed = [&] {
      const TKivString& w = vocabulary[rng() % 8];
      const Integer at = View.CursorOffset();
      Integer k = 0;
      while (k < at && !View.CompletionSeparators().empty() &&
             View.CompletionSeparators().find(Doc.Text()[at - k - 1]) == TKivString::npos)
        ++k;
      return rng() % 3 && k < Integer(w.size()) ? w[k] : pick(letters);
    };
    View.SetCursorOffset(Integer(rng() % (Doc.CharsCount() + 1)));
    View.ShowCompletion(fcForced, false);
    for (int k = 0; k < 30; ++k) {
      if (!View.InState(siComplListShown) && rng() % 2) {
        View.SetCursorOffset(Integer(rng() % (Doc.CharsCount() + 1)));
        View.ShowCompletion(fcForced, false);
      }
      const Integer scans = View.Completion().FillScans();
      const bool wasShown = View.InState(siComplListShown);
      switch (rng() % 10) {
        case 0:
        case 1:
        case 2:
        case 3:
          Type(typed());
          break;
        case 4:
        case 5:
          Key(vkBack);
          break;
        case 6:
          Key(rng() % 2 ? vkLeft : vkRight);
          break;
        case 7:
        case 8: {
          // The application edits in or near the word at the cursor, or anywhere: one character
          // replaced by another, or one inserted or deleted after the typed one (the view puts
          // the cursor after the typed character whatever happened before it).
          const bool near = rng() % 2 == 0;
          const Integer typedAt = View.CursorOffset();
          app.Edit = [&, near, typedAt] {
            const Integer count = Doc.CharsCount();
            const Integer at = near ? std::clamp<Integer>(typedAt + Integer(rng() % 6) - 3, 0, count)
                                    : Integer(rng() % (count + 1));
            const TKivString t = Doc.Text();
            const Char c = rng() % 3 ? pick(letters) : u' ';
            const bool plain = at < count && t[at] != u'\r' && t[at] != u'\n';
            if (at > typedAt && !(t[at - 1] == u'\r')) {
              if (rng() % 2 && plain)
                Doc.Delete(at, 1);
              else
                Doc.Insert(at, TKivString(1, c));
            } else if (plain) {
              Doc.Replace(at, 1, TKivString(1, c));
            }
          };
          Type(typed());
          app.Edit = nullptr;
          break;
        }
        default:
          if (!View.InState(siComplListShown)) {
            View.SetCursorOffset(Integer(rng() % (Doc.CharsCount() + 1)));
            View.ShowCompletion(fcForced, false);
          }
          break;
      }
      const Items scratch = fresh();
      EXPECT_EQ(scratch, RegexFill(ref, View.CompletionSettings().CaseSensitive()))
          << KivToUtf8(Doc.Text()) << " @" << View.CursorOffset();
      if (View.InState(siComplListShown)) {
        ++compared;
        if (wasShown && View.Completion().FillScans() == scans) ++filtered;
        EXPECT_EQ(Listed(), scratch) << KivToUtf8(Doc.Text()) << " @" << View.CursorOffset();
      }
    }
  }
  Doc.RemoveListener(&app);
  ref.SetDocument(nullptr);
  // The random walk did reach the filtering path, and compared many lists.
  EXPECT_GT(filtered, 100);
  EXPECT_GT(compared, 300);
}
