// The key-down algorithm, the character path, InvokeCommand's classes and the dispatch of the
// commands, driven through the view's command hooks with a host that counts beeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KivSedViewCore.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"
#include "internal/ViewCommands.h"

namespace {

struct CountingEdits : IKivViewEditHooks {
  void CopySelection(TKivEditViewCore&) override { ++Copies; }
  void CutSelection(TKivEditViewCore&) override { ++Cuts; }
  void SelectAll(TKivEditViewCore&) override { ++SelectAlls; }
  int Copies = 0, Cuts = 0, SelectAlls = 0;
};

struct SearchLog : IKivViewSearchHooks {
  void StartIncrementalSearch(TKivEditViewCore&) override { Log += "start "; }
  void EndIncrementalSearch(TKivEditViewCore&) override { Log += "end "; }
  std::string Log;
};

constexpr TKivShortcut Ctrl(uint16_t AKey) {
  return kivShortcutCtrl | AKey;
}

TKivString Lines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) text += u"line\r\n";
  return text;
}

struct CommandFixture : ::testing::Test {
  void SetUp() override {
    Doc.Lines().SetText(u"alpha beta\r\ngamma");
    View.SetDocument(&Doc);
    View.SetEditHooks(&Edits);
    View.SetSearchHooks(&Search);
    View.HostResized();
    View.OnBeforeCommand = [this](TKivEditViewCore&, TKivEditCommand& ACmd, TKivCommandArg& AArg,
                                  bool& AAllow) {
      Log.push_back("before " + Name(ACmd, AArg));
      if (BeforeHook) BeforeHook(ACmd, AArg, AAllow);
    };
    View.OnAfterCommand = [this](TKivEditViewCore&, TKivEditCommand ACmd, const TKivCommandArg& AArg) {
      Log.push_back("after " + Name(ACmd, AArg));
    };
  }
  static std::string Name(TKivEditCommand ACmd, const TKivCommandArg& AArg) {
    std::string s = std::to_string(int(ACmd));
    if (AArg) s += " '" + KivToUtf8(*AArg) + "'";
    return s;
  }
  // One key as the widget hands it over: key-down, then its characters unless consumed.
  bool Key(TKivShortcut AShortcut, TKivStringView AText = u"") {
    const bool consumed = View.CommandHooks().KeyDown(View, AShortcut);
    if (!consumed)
      for (const Char c : AText) View.CommandHooks().KeyPressW(View, c);
    return consumed;
  }
  std::vector<std::string> Take() { return std::exchange(Log, {}); }
  TViewCommands& Commands() { return static_cast<TViewCommands&>(View.CommandHooks()); }

  TKivEditDocument Doc;
  RecordingHost Host;
  TKivEditViewCore View{Host};
  CountingEdits Edits;
  SearchLog Search;
  std::vector<std::string> Log;
  std::function<void(TKivEditCommand&, TKivCommandArg&, bool&)> BeforeHook;
};

const std::string kCopy = std::to_string(int(sedCopy));
const std::string kChar = std::to_string(int(sedChar));
const std::string kAll = std::to_string(int(sedSelectAll));
const std::string kCut = std::to_string(int(sedCut));

}  // namespace

TEST_F(CommandFixture, DefaultBindingsRunTheirCommandsWithEvents) {
  EXPECT_TRUE(Key(Ctrl('C'), u"c"));
  EXPECT_TRUE(Key(Ctrl(vkInsert)));
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kCopy, "after " + kCopy, "before " + kCopy,
                                              "after " + kCopy}));
  EXPECT_EQ(Edits.Copies, 2);
  EXPECT_TRUE(Key(Ctrl('A')));
  EXPECT_EQ(Edits.SelectAlls, 1);
  // A plain letter has no binding: its character is typed.
  EXPECT_FALSE(Key('A', u"a"));
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kAll, "after " + kAll, "before " + kChar + " 'a'",
                                              "after " + kChar + " 'a'"}));
  // An unbound key with Ctrl is consumed, its character dropped.
  EXPECT_TRUE(Key(Ctrl('Q'), u"q"));
  EXPECT_TRUE(Take().empty());
}

TEST_F(CommandFixture, ACustomItemSilencesItsCommandsDefaultBindings) {
  TKivEditCommandItem& item = View.CustomKeyBindings().Add();
  item.SetCommand(sedCopy);
  item.SetModes(KivModes(cmForView));
  item.Bindings().Add().SetShortcut(kivShortcutCtrl | kivShortcutShift | 'C');
  EXPECT_TRUE(Key(Ctrl('C'), u"c"));
  EXPECT_TRUE(Key(Ctrl(vkInsert)));
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(Edits.Copies, 0);
  EXPECT_TRUE(Key(kivShortcutCtrl | kivShortcutShift | 'C'));
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kCopy, "after " + kCopy}));
  // The window's shortcuts get what the view does not want.
  EXPECT_TRUE(View.CommandHooks().WantsKey(View, kivShortcutCtrl | kivShortcutShift | 'C'));
  EXPECT_FALSE(View.CommandHooks().WantsKey(View, Ctrl('C')));
  EXPECT_TRUE(View.CommandHooks().WantsKey(View, Ctrl('X')));
  EXPECT_FALSE(View.CommandHooks().WantsKey(View, Ctrl('Q')));
  EXPECT_FALSE(View.CommandHooks().WantsKey(View, kivShortcutCtrl | vkControl));
}

TEST_F(CommandFixture, TwoStrokeBindings) {
  TKivEditCommandItem& item = View.CustomKeyBindings().Add();
  item.SetCommand(sedSelectAll);
  item.SetModes(KivModes(cmForView));
  TKivEditCommandBinding& b = item.Bindings().Add();
  b.SetShortcut(Ctrl('K'));
  b.SetShortcut2(Ctrl('X'));

  // Ctrl+K, Ctrl+X.
  EXPECT_TRUE(Key(Ctrl('K'), u"k"));
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(Commands().PressedShortcut(), Ctrl('K'));
  EXPECT_TRUE(View.CommandHooks().WantsKey(View, 'Q'));
  EXPECT_TRUE(Key(Ctrl('X')));
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kAll, "after " + kAll}));
  EXPECT_EQ(Commands().PressedShortcut(), 0);

  // Esc cancels: Ctrl+X alone is then the default cut.
  Key(Ctrl('K'));
  EXPECT_TRUE(Key(vkEscape));
  EXPECT_TRUE(Take().empty());
  EXPECT_TRUE(Key(Ctrl('X')));
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kCut, "after " + kCut}));

  // Modifiers pressed alone in between neither match nor drop the stroke.
  Key(Ctrl('K'));
  EXPECT_TRUE(Key(vkControl));
  EXPECT_TRUE(Key(kivShortcutCtrl | vkControl));
  EXPECT_TRUE(Key(kivShortcutCtrl | kivShortcutShift | vkShift));
  EXPECT_TRUE(Key(Ctrl('X')));
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kAll, "after " + kAll}));

  // A second stroke that matches nothing is consumed: the letter is not typed.
  Key(Ctrl('K'));
  EXPECT_TRUE(Key('Q', u"q"));
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(Commands().PressedShortcut(), 0);
  EXPECT_FALSE(Key('Q', u"q"));
  EXPECT_EQ(Take().size(), 2u);

  // The custom item disables Ctrl+A.
  EXPECT_TRUE(Key(Ctrl('A')));
  EXPECT_TRUE(Take().empty());
}

TEST_F(CommandFixture, AltGrTypesAltDropsAndOnKeyDownMayEatTheKey) {
  // Ctrl+Alt+Q gives "@" on some layouts: no command, the character typed.
  EXPECT_FALSE(Key(kivShortcutCtrl | kivShortcutAlt | 'Q', u"@"));
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kChar + " '@'", "after " + kChar + " '@'"}));
  // Ctrl+Alt+Backspace is bound (keys 1-27 are never AltGr characters).
  EXPECT_TRUE(Key(kivShortcutCtrl | kivShortcutAlt | vkBack));
  EXPECT_EQ(Take().size(), 2u);
  // Alt with a letter and no binding: nothing typed.
  EXPECT_TRUE(Key(kivShortcutAlt | 'F', u"f"));
  EXPECT_TRUE(Take().empty());
  // OnKeyDown zeroing the key: no binding matches.
  View.OnKeyDown = [](TKivEditViewCore&, uint16_t& AKey, TKivShiftState) { AKey = 0; };
  EXPECT_TRUE(Key(Ctrl('C'), u"c"));
  EXPECT_TRUE(Take().empty());
}

TEST_F(CommandFixture, TypedCharacters) {
  // Control characters are not typed; Tab, Enter and Backspace act only through bindings.
  Commands().KeyPressW(View, u'\t');
  Commands().KeyPressW(View, 127);
  EXPECT_TRUE(Take().empty());
  // A character outside the basic plane is one sedChar of two units.
  Commands().KeyPressW(View, 0xD83D);
  EXPECT_TRUE(Take().empty());
  Commands().KeyPressW(View, 0xDE00);
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kChar + " '\xF0\x9F\x98\x80'",
                                              "after " + kChar + " '\xF0\x9F\x98\x80'"}));
  // A lone trail unit, or a lead unit followed by a plain character, types no half.
  Commands().KeyPressW(View, 0xDE00);
  Commands().KeyPressW(View, 0xD83D);
  Commands().KeyPressW(View, u'x');
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kChar + " 'x'", "after " + kChar + " 'x'"}));
  // OnKeyPressW may change or drop the character.
  View.OnKeyPressW = [](TKivEditViewCore&, Char& AKey) { AKey = AKey == u'a' ? u'b' : Char(0); };
  Commands().KeyPressW(View, u'a');
  Commands().KeyPressW(View, u'z');
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kChar + " 'b'", "after " + kChar + " 'b'"}));
  View.OnKeyPressW = nullptr;
  // An input method's text goes through the same path, one character at a time.
  Commands().KeyDown(View, Ctrl('Q'));  // consumed: would drop a following character message
  Commands().CommitText(View, u"ab");
  EXPECT_EQ(Take().size(), 4u);
  // In incremental search characters add to the search.
  View.InvokeCommand(sedIncrementalSearchStart);
  Take();
  EXPECT_FALSE(Key('A', u"a"));
  const std::vector<std::string> log = Take();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "before " + std::to_string(int(sedIncrementalSearchAddChar)) + " 'a'");
}

TEST_F(CommandFixture, AllowExecFalseStopsTheCommandAndItsAfterEvent) {
  BeforeHook = [](TKivEditCommand&, TKivCommandArg&, bool& AAllow) { AAllow = false; };
  EXPECT_TRUE(Key(Ctrl('C')));
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kCopy}));
  EXPECT_EQ(Edits.Copies, 0);
  // Without events the command runs silently.
  View.InvokeCommand(sedCopy, false);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(Edits.Copies, 1);
  // OnBeforeCommand may change the command and its argument.
  BeforeHook = [](TKivEditCommand& ACmd, TKivCommandArg& AArg, bool&) {
    if (ACmd == sedChar) {
      ACmd = sedStr;
      AArg = u"longer";
    }
  };
  EXPECT_FALSE(Key('X', u"x"));
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + kChar + " 'x'",
                                              "after " + std::to_string(int(sedStr)) + " 'longer'"}));
}

TEST_F(CommandFixture, ReadOnlyViewsBeepForEditingCommands) {
  View.SetReadOnly(true);
  Host.Beeps = 0;
  Commands().KeyPressW(View, u'a');
  EXPECT_EQ(Host.Beeps, 1);
  EXPECT_TRUE(Key(Ctrl('Z')));
  EXPECT_EQ(Host.Beeps, 2);
  EXPECT_EQ(Doc.Text(), u"alpha beta\r\ngamma");
  for (TKivEditCommand c : {sedCut, sedPaste, sedRedo, sedDeleteChar, sedNewLine, sedTab, sedIndent})
    View.InvokeCommand(c);
  EXPECT_EQ(Host.Beeps, 9);
  // Copying and selecting still work.
  View.InvokeCommand(sedCopy);
  View.InvokeCommand(sedSelectAll);
  EXPECT_EQ(Host.Beeps, 9);
  EXPECT_EQ(ViewErrorOf([&] { View.Undo(); }), "This View or its Document is read-only.");
  // On a writable view Ctrl+Z undoes the typing.
  View.SetReadOnly(false);
  View.InvokeCommand(sedChar, TKivString(u"a"));
  EXPECT_EQ(Doc.Text(), u"aalpha beta\r\ngamma");
  Key(Ctrl('Z'));
  EXPECT_EQ(Doc.Text(), u"alpha beta\r\ngamma");
  // Without a document editing beeps too.
  View.SetDocument(nullptr);
  Host.Beeps = 0;
  View.InvokeCommand(sedUndo);
  View.InvokeCommand(sedChar, TKivString(u"a"));
  EXPECT_EQ(Host.Beeps, 2);
}

TEST_F(CommandFixture, CompletionAndIncrementalSearchStates) {
  // A completion command with no list shown.
  EXPECT_EQ(ViewErrorOf([&] { View.InvokeCommand(sedCompletionUp); }),
            "Completion list should be shown for this command (or method)");
  EXPECT_EQ(View.UpdatingCount(), 0);
  EXPECT_EQ(Take(), (std::vector<std::string>{"before " + std::to_string(int(sedCompletionUp))}));

  // Ctrl+E starts the search; keys now come in the incremental-search mode.
  Key(Ctrl('E'));
  EXPECT_TRUE(View.InState(siIncrementalSearch));
  EXPECT_EQ(Commands().Mode(), cmForIncSearch);
  EXPECT_EQ(ViewErrorOf([&] { View.InvokeCommand(sedIncrementalSearchStart); }),
            "View should NOT be in incremental search mode for this command (or method)");
  // Enter ends it even on a read-only view, without a beep.
  View.SetReadOnly(true);
  View.EnterState(siIncrementalSearch);
  Host.Beeps = 0;
  Search.Log.clear();
  EXPECT_TRUE(Key(vkReturn));
  EXPECT_FALSE(View.InState(siIncrementalSearch));
  EXPECT_EQ(Host.Beeps, 0);
  EXPECT_EQ(Search.Log, "end ");
  View.SetReadOnly(false);

  // Esc cancels; other commands leave the search first.
  View.EnterState(siIncrementalSearch);
  EXPECT_TRUE(Key(vkEscape));
  EXPECT_FALSE(View.InState(siIncrementalSearch));
  View.EnterState(siIncrementalSearch);
  View.InvokeCommand(sedCompletionShow);  // ends the search, then asks for the list
  EXPECT_FALSE(View.InState(siIncrementalSearch));
  EXPECT_EQ(ViewErrorOf([&] { View.InvokeCommand(sedIncrementalSearchForward); }),
            "View should be in incremental search mode for this command (or method)");

  // With the list shown keys come in the completion mode: Delete does nothing, Esc hides it.
  View.EnterState(siComplListShown);
  EXPECT_EQ(Commands().Mode(), cmForCompletion);
  Take();
  Host.Beeps = 0;
  EXPECT_FALSE(Key(vkDelete));
  EXPECT_TRUE(Take().empty());
  // Nothing but the completion commands and typing runs while the list is shown.
  View.InvokeCommand(sedIncrementalSearchStart);
  EXPECT_FALSE(View.InState(siIncrementalSearch));
  View.InvokeCommand(sedDeleteChar);
  EXPECT_EQ(Commands().LastClass(), ccList);
  EXPECT_EQ(Host.Beeps, 0);
  // The list for "al" finds "alpha"; a separator commits it.
  Doc.Lines().SetText(u"alpha al");
  View.SetCursorOffset(8);
  View.ShowCompletion(fcForced, false);
  ASSERT_TRUE(View.InState(siComplListShown));
  View.InvokeCommand(sedChar, TKivString(u" "));
  EXPECT_FALSE(View.InState(siComplListShown));
  EXPECT_EQ(Doc.Text().substr(0, 11), u"alpha alpha");
  // Outside the list, a plain command's changes leave the states.
  View.ExitState(siComplListShown);
  View.EnterState(siComplWordTyping);
  View.InvokeCommand(sedDeleteChar);
  EXPECT_FALSE(View.InState(siComplWordTyping));
  Host.OnBeep = nullptr;
  View.EnterState(siComplListShown);
  EXPECT_TRUE(Key(vkEscape));
  EXPECT_FALSE(View.InState(siComplListShown));
}

TEST_F(CommandFixture, WordTypingAndItsEndOpenOneCompoundEdit) {
  Doc.Lines().SetText(u"one  two");
  View.SetCursorOffset(3);  // after "one": a letter behind, a space ahead
  View.InvokeCommand(sedChar, TKivString(u"x"));
  EXPECT_EQ(Commands().LastClass(), ccPlain);
  EXPECT_FALSE(View.InState(siComplWordTyping));
  // Between two separators a word character starts word typing; an end character finishes it.
  EXPECT_EQ(Doc.Text(), u"onex  two");
  Doc.Lines().SetText(u"one  two");
  View.SetCursorOffset(4);
  View.InvokeCommand(sedChar, TKivString(u"w"));
  EXPECT_EQ(Commands().LastClass(), ccPlain);
  EXPECT_TRUE(View.InState(siComplWordTyping));
  View.InvokeCommand(sedNewLine);
  EXPECT_EQ(Commands().LastClass(), ccWordEnd);
  EXPECT_FALSE(View.InState(siComplWordTyping));
  EXPECT_FALSE(Doc.InsideCompoundEdit());
  EXPECT_EQ(View.UpdatingCount(), 0);
  // A failing command closes the compound edit and the bracket on its way out: here the tab in
  // overwrite mode, which beeps at the end of the last wrapped row.
  Doc.Lines().SetText(u"one  two");
  View.SetWrapMode(wmWrapToWindow);
  View.SetViewSettings(View.ViewSettings() | vsOverwrite);
  View.SetCursorOffset(4);
  View.InvokeCommand(sedChar, TKivString(u"w"));
  EXPECT_EQ(Doc.Text(), u"one wtwo");
  Host.OnBeep = [] { throw EKivEditViewError(u"beep failed"); };
  EXPECT_EQ(ViewErrorOf([&] { View.InvokeCommand(sedTab); }), "beep failed");
  Host.OnBeep = nullptr;
  View.SetViewSettings(View.ViewSettings() & ~vsOverwrite);
  EXPECT_EQ(Commands().LastClass(), ccWordEnd);
  EXPECT_FALSE(Doc.InsideCompoundEdit());
  EXPECT_EQ(View.UpdatingCount(), 0);
  EXPECT_FALSE(View.InState(siComplWordTyping));
  // A separator typed while no word is typed is plain.
  View.InvokeCommand(sedChar, TKivString(u" "));
  EXPECT_EQ(Commands().LastClass(), ccPlain);
  // Completion turned off: class D.
  Commands().ComplDisabled = true;
  View.InvokeCommand(sedChar, TKivString(u"w"));
  EXPECT_EQ(Commands().LastClass(), ccDisabled);
}

TEST_F(CommandFixture, ScrollingOverwriteAndTheColumnRule) {
  Doc.Lines().SetText(Lines(100));
  View.HostResized();
  EXPECT_EQ(View.TopLineScroll(), 0);
  EXPECT_TRUE(Key(Ctrl(vkDown)));
  EXPECT_TRUE(Key(Ctrl(vkDown)));
  EXPECT_EQ(View.TopLineScroll(), 2);
  EXPECT_TRUE(Key(Ctrl(vkUp)));
  EXPECT_EQ(View.TopLineScroll(), 1);
  EXPECT_TRUE(Key(vkInsert));
  EXPECT_TRUE(View.ViewSettings() & vsOverwrite);
  View.InvokeCommand(sedToggleOverwrite);
  EXPECT_FALSE(View.ViewSettings() & vsOverwrite);

  for (TKivEditCommand c : {sedUp, sedPageEnd, sedScrollDown, sedSelectDown, sedSelectPageHomeBlock})
    EXPECT_EQ(CommandColumnRule(c), crApply) << int(c);
  for (TKivEditCommand c : {sedStr, sedSelectAll, sedSelectNone, sedToggleOverwrite, sedCompletionEnd,
                            sedIncrementalSearchStart, sedIncrementalSearchCancel})
    EXPECT_EQ(CommandColumnRule(c), crKeep) << int(c);
  for (TKivEditCommand c : {sedLeft, sedChar, sedNewLine, sedTextEnd, sedIncrementalSearchAddChar})
    EXPECT_EQ(CommandColumnRule(c), crRemember) << int(c);
  EXPECT_THROW(View.InvokeCommand(TKivEditCommand(86)), EInvalidArgument);
}

// What every command does today on a writable view in no special state: runs ('.'), is refused or
// not available yet ('B', a beep) or raises ('E').
TEST_F(CommandFixture, EveryCommandRunsBeepsOrRaises) {
  std::string outcome;
  for (int c = 0; c < kivEditCommandCount; ++c) {
    View.ExitStates(kivStatesOnChange | siComplTimer);
    const int beeps = Host.Beeps;
    char r = '.';
    try {
      View.InvokeCommand(TKivEditCommand(c));
    } catch (const EKivEditViewError&) {
      r = 'E';
    }
    if (Host.Beeps != beeps) r = r == 'E' ? '!' : 'B';
    outcome += r;
  }
  // The moves run one after the other from offset 0: Left and Up beep at the start, NextWord at
  // the end of the text (after Down, LineHome, LineEnd). Undo takes back the text set up, redo
  // brings it with the cursor at its end; there Delete and Ctrl+Delete have nothing to join,
  // Ctrl+Y on the emptied last line takes the line above, and the line-end deletions in the then
  // empty text beep. Scrolling up and down beeps too: the text fits the window, which cannot move.
  const std::string expected = "B.B...B" + std::string(13, '.') + "B.B.BB" + std::string(10, '.') + "BB" +
                               std::string(28, '.') + "...." + std::string(11, 'E') + ".EEE.";
  EXPECT_EQ(outcome, expected);
  EXPECT_EQ(View.UpdatingCount(), 0);
}
