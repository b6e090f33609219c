// The default key binding table, the default list built from it, the custom list's uniqueness
// rules, Assign and the four FindBinding forms.
#include <gtest/gtest.h>

#include <set>

#include "KivSedViewCore.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"

namespace {

// A host without a window: the command lists need no layout.
struct QuietHost : RecordingHost {
  QuietHost() { Window = false; }
};

constexpr TKivEditCommandModes kV = KivModes(cmForView);
constexpr TKivEditCommandModes kC = KivModes(cmForCompletion);
constexpr TKivEditCommandModes kI = KivModes(cmForIncSearch);
constexpr TKivShortcut kCtrlC = kivShortcutCtrl | 'C';
constexpr TKivShortcut kCtrlK = kivShortcutCtrl | 'K';
constexpr TKivShortcut kCtrlX = kivShortcutCtrl | 'X';

struct ListFixture : ::testing::Test {
  QuietHost Host;
  TKivEditViewCore View{Host};
  const TKivEditCommandList& Defaults = View.GetDefaultKeyBindings();
  TKivEditCommandList& Custom = View.CustomKeyBindings();

  TKivEditCommandItem& AddItem(TKivEditCommandList& AList, TKivEditCommand ACmd, TKivEditCommandModes AModes,
                               TKivShortcut AShortcut, TKivShortcut AShortcut2 = 0) {
    TKivEditCommandItem& item = AList.Add();
    item.SetCommand(ACmd);
    item.SetModes(AModes);
    TKivEditCommandBinding& b = item.Bindings().Add();
    b.SetShortcut(AShortcut);
    b.SetShortcut2(AShortcut2);
    return item;
  }
};

std::vector<TKivShortcut> ShortcutsOf(const TKivEditCommandItem& AItem) {
  std::vector<TKivShortcut> r;
  for (Integer i = 0; i < AItem.Bindings().Count(); ++i) r.push_back(AItem.Bindings().Items(i).Shortcut());
  return r;
}

}  // namespace

TEST(DefaultKeyBindings, TableCoversEveryCommandButTheFourTypedOrUnbound) {
  std::set<int> seen;
  for (const TDefaultKeyBinding& row : DefaultKeyBindings) seen.insert(row.Command);
  EXPECT_EQ(seen.size(), size_t(kivEditCommandCount - 4));
  for (TKivEditCommand c : {sedChar, sedStr, sedSelectNone, sedIncrementalSearchAddChar})
    EXPECT_FALSE(seen.count(c)) << int(c);
  // A few rows exactly as listed.
  EXPECT_EQ(DefaultKeyBindings[0].Key, 38);
  EXPECT_EQ(DefaultKeyBindings[33].Shift, ssCtrl | ssAlt);
  EXPECT_EQ(DefaultKeyBindings[33].Command, sedDeletePrevChar);
  EXPECT_EQ(DefaultKeyBindings[70].Key, 114);
  EXPECT_EQ(DefaultKeyBindings[85].Descr, u"Widen sel up to text end (block mode)");
  EXPECT_EQ(DefaultKeyBindings[85].Shift, ssCtrl | ssAlt | ssShift);
}

TEST(DefaultKeyBindings, ShortcutsAndShiftStates) {
  EXPECT_EQ(KivShortcut(vkInsert, ssCtrl), 0x402D);
  EXPECT_EQ(KivShortcut('Z', ssCtrl | ssShift), 0x605A);
  EXPECT_EQ(KivShortcut(vkBack, ssCtrl | ssAlt), 0xC008);
  EXPECT_EQ(KivShortcutKey(0xE025), 0x25);
  EXPECT_EQ(KivShortcutShift(0xE025), ssShift | ssCtrl | ssAlt);
  EXPECT_EQ(static_cast<uint16_t>(ssShift | ssAlt | ssCtrl), 7);
}

TEST_F(ListFixture, DefaultListHoldsItemsInOrderOfTheirFirstRows) {
  ASSERT_EQ(Defaults.Count(), 82);
  std::vector<TKivEditCommand> expected;
  for (const TDefaultKeyBinding& row : DefaultKeyBindings)
    if (std::find(expected.begin(), expected.end(), row.Command) == expected.end())
      expected.push_back(row.Command);
  for (Integer i = 0; i < Defaults.Count(); ++i)
    EXPECT_EQ(Defaults.Items(i).Command(), expected[size_t(i)]) << i;
  EXPECT_EQ(Defaults.Items(0).Command(), sedUp);
  EXPECT_EQ(Defaults.Items(15).Command(), sedCopy);
  EXPECT_EQ(ShortcutsOf(Defaults.Items(15)), (std::vector<TKivShortcut>{0x402D, 0x4043}));
  // The doubled bindings in table order, and the two extra ones (Shift+Enter, Shift+Tab).
  EXPECT_EQ(ShortcutsOf(*Defaults.FindCommand(sedDeletePrevChar)),
            (std::vector<TKivShortcut>{0xC008, 0x2008}));
  EXPECT_EQ(ShortcutsOf(*Defaults.FindCommand(sedDeleteChar)), (std::vector<TKivShortcut>{0x002E, 0x202E}));
  EXPECT_EQ(ShortcutsOf(*Defaults.FindCommand(sedPaste)), (std::vector<TKivShortcut>{0x202D, 0x4056}));
  EXPECT_EQ(ShortcutsOf(*Defaults.FindCommand(sedNewLine)), (std::vector<TKivShortcut>{0x000D, 0x200D}));
  EXPECT_EQ(ShortcutsOf(*Defaults.FindCommand(sedUnIndent)), (std::vector<TKivShortcut>{0x6055, 0x2009}));
  for (Integer i = 0; i < Defaults.Count(); ++i)
    for (Integer j = 0; j < Defaults.Items(i).Bindings().Count(); ++j)
      EXPECT_EQ(Defaults.Items(i).Bindings().Items(j).Shortcut2(), 0);

  const TKivEditCommandItem& up = *Defaults.FindCommand(sedUp);
  EXPECT_EQ(up.Modes(), kV | kI);
  EXPECT_TRUE(up.Editable());
  const TKivEditCommandItem& complUp = *Defaults.FindCommand(sedCompletionUp);
  EXPECT_EQ(complUp.Modes(), kC);
  EXPECT_FALSE(complUp.Editable());
  EXPECT_EQ(complUp.Description(), u"");
  EXPECT_EQ(Defaults.Items(15).Description(), u"Copy selection");
  EXPECT_EQ(Defaults.Items(15).Category(), u"Clipboard");
  EXPECT_EQ(Defaults.FindCommand(sedSelectNone), nullptr);
  EXPECT_EQ(Defaults.FindCommand(sedChar), nullptr);
  EXPECT_EQ(&Defaults.Parent(), &View);
  EXPECT_EQ(Custom.Count(), 0);
}

TEST_F(ListFixture, DescriptionComesFromTheFirstRowOrIsEmpty) {
  TKivEditCommandItem& item = Custom.Add();
  EXPECT_EQ(item.Command(), sedChar);
  EXPECT_EQ(item.Description(), u"");
  item.SetCommand(sedSelectNone);
  EXPECT_EQ(item.Description(), u"");
  EXPECT_EQ(item.Category(), u"");
  item.SetCommand(sedDeletePrevChar);
  EXPECT_EQ(item.Description(), u"Delete char left");
  EXPECT_EQ(item.Category(), u"Deletion");
  EXPECT_FALSE(item.Editable());
  EXPECT_EQ(item.Modes(), 0);
}

TEST_F(ListFixture, FindBindingScansItemsInOrderSkippingOtherModes) {
  EXPECT_EQ(Defaults.FindBinding(KivShortcut(vkUp, ssEmpty), kV)->ParentItem().Command(), sedUp);
  EXPECT_EQ(Defaults.FindBinding(KivShortcut(vkUp, ssEmpty), kC)->ParentItem().Command(), sedCompletionUp);
  EXPECT_EQ(Defaults.FindBinding(vkUp, ssEmpty, kC)->ParentItem().Command(), sedCompletionUp);
  EXPECT_EQ(Defaults.FindBinding(vkEscape, ssEmpty, kI)->ParentItem().Command(), sedIncrementalSearchCancel);
  EXPECT_EQ(Defaults.FindBinding(vkEscape, ssEmpty, kV), nullptr);
  EXPECT_EQ(Defaults.FindBinding(vkBack, ssEmpty, kI)->ParentItem().Command(), sedIncrementalSearchBack);
  EXPECT_EQ(Defaults.FindBinding(vkBack, ssEmpty, kV)->ParentItem().Command(), sedBackspaceOrUnindent);
  EXPECT_EQ(Defaults.FindBinding(kCtrlC, kV | kC)->ParentItem().Command(), sedCopy);
  EXPECT_EQ(Defaults.FindBinding(kCtrlC, 0), nullptr);

  // The one-stroke form matches whatever the second stroke; the two-stroke form needs both.
  AddItem(Custom, sedSelectAll, kV, kCtrlK, kCtrlX);
  AddItem(Custom, sedCut, kV, kCtrlX);
  EXPECT_EQ(Custom.FindBinding(kCtrlK, kV)->ParentItem().Command(), sedSelectAll);
  EXPECT_EQ(Custom.FindBinding(kCtrlK, kCtrlX, kV)->ParentItem().Command(), sedSelectAll);
  EXPECT_EQ(Custom.FindBinding('K', ssCtrl, 'X', ssCtrl, kV)->ParentItem().Command(), sedSelectAll);
  EXPECT_EQ(Custom.FindBinding(kCtrlK, 0, kV), nullptr);
  EXPECT_EQ(Custom.FindBinding(kCtrlX, 0, kV)->ParentItem().Command(), sedCut);
  EXPECT_EQ(Custom.FindCommand(sedCut), &Custom.Items(1));
  EXPECT_EQ(Custom.FindCommand(sedCopy), nullptr);
}

TEST_F(ListFixture, UniquenessOfBindingsAndCommands) {
  TKivEditCommandItem& copy = AddItem(Custom, sedCopy, kV, kCtrlC);
  TKivEditCommandItem& cut = AddItem(Custom, sedCut, kV | kI, 0);
  // 1. The same shortcut in an overlapping mode: refused, the binding unchanged.
  TKivEditCommandBinding& b = cut.Bindings().Items(0);
  EXPECT_EQ(ViewErrorOf([&] { b.SetShortcut(kCtrlC); }), "Keybindings should be unique in Command items");
  EXPECT_EQ(b.Shortcut(), 0);
  EXPECT_EQ(b.Shortcut2(), 0);
  // Also as a second binding of the same item, and through Assign.
  EXPECT_EQ(ViewErrorOf([&] { copy.Bindings().Add().SetShortcut(kCtrlC); }),
            "Keybindings should be unique in Command items");
  EXPECT_EQ(copy.Bindings().Items(1).Shortcut(), 0);
  EXPECT_EQ(ViewErrorOf([&] { b.Assign(copy.Bindings().Items(0)); }),
            "Keybindings should be unique in Command items");
  EXPECT_EQ(b.Shortcut(), 0);
  // 2. In modes that do not overlap the same shortcut is fine.
  TKivEditCommandItem& commit = AddItem(Custom, sedCompletionCommit, kC, kCtrlC);
  EXPECT_EQ(commit.Bindings().Items(0).Shortcut(), kCtrlC);
  // 3. A command twice in one list.
  EXPECT_EQ(ViewErrorOf([&] { cut.SetCommand(sedCopy); }),
            "Command items in collection should have unique Command property.");
  EXPECT_EQ(cut.Command(), sedCut);
  EXPECT_EQ(ViewErrorOf([&] { cut.SetCommand(sedCut); }), "<no error>");
}

TEST_F(ListFixture, TwoStrokeBindingSharingAFirstStrokeIsBuiltByAssign) {
  AddItem(Custom, sedDeleteToLineEnd, kV, kCtrlK);
  TKivEditCommandItem& all = AddItem(Custom, sedSelectAll, kV, 0);
  TKivEditCommandBinding& b = all.Bindings().Items(0);
  // Setting the strokes in turn fails at the first one.
  EXPECT_EQ(ViewErrorOf([&] { b.SetShortcut(kCtrlK); }), "Keybindings should be unique in Command items");
  // A finished binding from a list of another view, assigned whole.
  QuietHost host2;
  TKivEditViewCore other(host2);
  TKivEditCommandItem& src = other.CustomKeyBindings().Add();
  TKivEditCommandBinding& finished = src.Bindings().Add();
  finished.SetShortcut(kCtrlK);
  finished.SetShortcut2(kCtrlX);
  b.Assign(finished);
  EXPECT_EQ(b.Shortcut(), kCtrlK);
  EXPECT_EQ(b.Shortcut2(), kCtrlX);
  EXPECT_EQ(&b.ParentItem(), &all);
  // The pair is now taken.
  TKivEditCommandItem& cut = AddItem(Custom, sedCut, kV, 0);
  EXPECT_EQ(ViewErrorOf([&] { cut.Bindings().Items(0).Assign(b); }),
            "Keybindings should be unique in Command items");
}

TEST_F(ListFixture, AssigningAListCopiesItOrKeepsTheOldItems) {
  AddItem(Custom, sedUndo, kV, kCtrlK);
  QuietHost host2;
  TKivEditViewCore other(host2);
  TKivEditCommandList& src = other.CustomKeyBindings();
  AddItem(src, sedCopy, kV, kivShortcutCtrl | kivShortcutShift | 'C');
  TKivEditCommandItem& two = AddItem(src, sedSelectAll, kV | kI, kCtrlK, kCtrlX);
  two.SetEditable(true);
  View.SetCustomKeyBindings(src);
  ASSERT_EQ(Custom.Count(), 2);
  EXPECT_EQ(Custom.Items(0).Command(), sedCopy);
  EXPECT_EQ(Custom.Items(1).Modes(), kV | kI);
  EXPECT_TRUE(Custom.Items(1).Editable());
  EXPECT_EQ(Custom.Items(1).Bindings().Items(0).Shortcut2(), kCtrlX);
  EXPECT_EQ(&Custom.Items(1).List(), &Custom);
  EXPECT_EQ(&Custom.Items(1).Bindings().Items(0).ParentItem(), &Custom.Items(1));
  // Changing the copy leaves the source alone.
  Custom.Items(0).Bindings().Items(0).SetShortcut(kCtrlC);
  EXPECT_EQ(src.Items(0).Bindings().Items(0).Shortcut(), kivShortcutCtrl | kivShortcutShift | 'C');

  // A source whose items clash once their modes are set: nothing of it is taken.
  QuietHost host3;
  TKivEditViewCore third(host3);
  TKivEditCommandList& bad = third.CustomKeyBindings();
  TKivEditCommandItem& a = AddItem(bad, sedCut, 0, kCtrlX);
  TKivEditCommandItem& c = AddItem(bad, sedPaste, 0, kCtrlX);
  a.SetModes(kV);
  c.SetModes(kV);
  EXPECT_EQ(ViewErrorOf([&] { View.SetCustomKeyBindings(bad); }),
            "Keybindings should be unique in Command items");
  ASSERT_EQ(Custom.Count(), 2);
  EXPECT_EQ(Custom.Items(0).Command(), sedCopy);
  EXPECT_EQ(Custom.Items(0).Bindings().Items(0).Shortcut(), kCtrlC);
}

TEST_F(ListFixture, AssigningAnItemIsAllOrNothing) {
  AddItem(Custom, sedCopy, kV, kCtrlC);
  TKivEditCommandItem& item = AddItem(Custom, sedUndo, kV, kCtrlK);
  QuietHost host2;
  TKivEditViewCore other(host2);
  TKivEditCommandList& src = other.CustomKeyBindings();
  // Clashes with sedCopy's Ctrl+C in the view mode (its second binding).
  TKivEditCommandItem& clash = AddItem(src, sedRedo, kV | kI, kCtrlX);
  clash.Bindings().Add().SetShortcut(kCtrlC);
  EXPECT_EQ(ViewErrorOf([&] { item.Assign(clash); }), "Keybindings should be unique in Command items");
  EXPECT_EQ(item.Command(), sedUndo);
  EXPECT_EQ(item.Modes(), kV);
  EXPECT_EQ(ShortcutsOf(item), (std::vector<TKivShortcut>{kCtrlK}));
  // A command another item has.
  TKivEditCommandItem& dup = AddItem(src, sedCopy, kC, kCtrlX);
  EXPECT_EQ(ViewErrorOf([&] { item.Assign(dup); }),
            "Command items in collection should have unique Command property.");
  EXPECT_EQ(ShortcutsOf(item), (std::vector<TKivShortcut>{kCtrlK}));
  // In the completion mode the same keys are free; the item's own old bindings never clash.
  clash.SetModes(kC);
  item.Assign(clash);
  EXPECT_EQ(item.Command(), sedRedo);
  EXPECT_EQ(item.Modes(), kC);
  EXPECT_EQ(ShortcutsOf(item), (std::vector<TKivShortcut>{kCtrlX, kCtrlC}));
  EXPECT_EQ(&item.Bindings().Items(1).ParentItem(), &item);
}

TEST_F(ListFixture, IndexesOutsideTheListRaise) {
  EXPECT_THROW(Custom.Items(0), EInvalidArgument);
  EXPECT_THROW(Defaults.Items(82), EInvalidArgument);
  EXPECT_THROW(Defaults.Items(0).Bindings().Items(-1), EInvalidArgument);
  EXPECT_THROW(Custom.Add().SetCommand(TKivEditCommand(86)), EInvalidArgument);
}

TEST(CompletionSeparators, OwnSeparatorsOrTheDocumentsWithPunctuation) {
  EXPECT_EQ(KivCompletionSeparators(u"-+", u"xyz"), u"-+ \t\r\n");
  const TKivString def = KivCompletionSeparators(u"", u"ab");
  EXPECT_EQ(def, u"ab{}()[],./?'\":;\\|*&%^$#@! \t");
  EXPECT_EQ(def.size(), size_t(2 + 24 + 2));
}
