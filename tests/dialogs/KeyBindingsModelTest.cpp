// The key bindings editor's model without its window: text forms, node operations, the command
// tree built from a view's lists, conflicts, reset, and applying to the view's custom list.
#include <gtest/gtest.h>

#include "KivLayoutTypes.h"
#include "KivSedKeyBindingsModel.h"
#include "KivSedView.h"

namespace {

using TPair = std::pair<TKivShortcut, TKivShortcut>;
using TTexts = std::vector<std::string>;

constexpr TKivShortcut kCtrlC = 0x4043, kCtrlK = 0x404B, kCtrlY = 0x4059, kCtrlIns = 0x402D;
constexpr TKivShortcut kX = 0x0058, kBkSp = 0x0008, kShiftSpace = 0x2020;

std::string U8(const TKivString& AText) {
  return KivToUtf8(AText);
}

// The bindings of a node as their texts, in the node's order.
TTexts Texts(const TNodeData& ANode) {
  TTexts texts;
  for (const auto& b : ANode.Bindings())
    texts.push_back(U8(ShortcutPairToText(b->Shortcut(), b->Shortcut2())));
  return texts;
}

// A custom list as "command:binding,binding" lines.
std::vector<std::string> Dump(const TKivEditCommandList& AList) {
  std::vector<std::string> lines;
  for (Integer i = 0; i < AList.Count(); ++i) {
    const TKivEditCommandItem& item = AList.Items(i);
    std::string line = std::to_string(int(item.Command())) + ":";
    for (Integer j = 0; j < item.Bindings().Count(); ++j) {
      const TKivEditCommandBinding& b = item.Bindings().Items(j);
      line += (j ? "," : "") + U8(ShortcutPairToText(b.Shortcut(), b.Shortcut2()));
    }
    lines.push_back(line);
  }
  return lines;
}

std::string Line(TKivEditCommand ACmd, const char* ABindings) {
  return std::to_string(int(ACmd)) + ":" + ABindings;
}

class KeyBindingsModel : public ::testing::Test {
 protected:
  void Build() { Model.BuildCommandTree(View.GetDefaultKeyBindings(), View.CustomKeyBindings()); }
  TNodeData& Node(const char16_t* ADescr) {
    TNodeData* n = Model.FindNode(TKivString(ADescr));
    if (!n) throw std::runtime_error("no node " + U8(ADescr));
    return *n;
  }

  TKivEditView View;
  TKivKeyBindingsModel Model;
};

}  // namespace

TEST(KeyBindingsText, StrokesAndPairs) {
  struct TCase {
    TKivShortcut Sc, Sc2;
    const char* Text;
  };
  const TCase cases[] = {
      {0x6027, 0, "Shift+Ctrl+Right"},
      {kCtrlC, 0, "Ctrl+C"},
      {kCtrlIns, 0, "Ctrl+Ins"},
      {kBkSp, 0, "BkSp"},
      {0xE023, 0, "Shift+Ctrl+Alt+End"},
      {0x8041, 0, "Alt+A"},
      {0x0072, 0, "F3"},
      {0x4087, 0, "Ctrl+F24"},
      {0x401B, 0, "Ctrl+Esc"},
      {0x000D, 0, "Enter"},
      {0x4020, 0, "Ctrl+Space"},
      {0x0021, 0, "PgUp"},
      {0x0022, 0, "PgDn"},
      {0x202E, 0, "Shift+Del"},
      {0x40BC, 0, "Ctrl+Comma"},
      {0x00BA, 0, ";"},
      {0x2031, 0, "Shift+1"},
      {0x006A, 0, "Num *"},
      {0x40FE, 0, "Ctrl+Key 254"},
      {kCtrlK, 0x0042, "Ctrl+K, B"},
      {kCtrlK, 0x40BC, "Ctrl+K, Ctrl+Comma"},
      {0, 0, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(U8(ShortcutPairToText(c.Sc, c.Sc2)), c.Text);
    EXPECT_EQ(TextToShortcutPair(KivFromUtf8(c.Text)), TPair(c.Sc, c.Sc2));
  }
  // Keypad digits are written as digits (and read back as the main row's).
  EXPECT_EQ(U8(ShortcutToText(0x4065)), "Ctrl+5");
  // Reading: blanks around the strokes, any case, modifiers in any order.
  EXPECT_EQ(TextToShortcutPair(u" ctrl+k ,  b "), TPair(0x404B, 0x0042));
  EXPECT_EQ(TextToShortcutPair(u"CTRL+SHIFT+right"), TPair(0x6027, 0));
  EXPECT_EQ(TextToShortcutPair(u"bksp"), TPair(kBkSp, 0));
  // Texts that name no key.
  for (const char16_t* bad :
       {u"Ctrl+Nope", u"Ctrl+", u"", u"  ", u"A, Nope", u"Nope, A", u"Hyper+A", u",", u"Ctrl+K,"})
    EXPECT_EQ(TextToShortcutPair(bad), TPair(0, 0)) << U8(bad);
}

TEST(KeyBindingsText, EveryDefaultBindingSurvivesItsText) {
  TKivEditView view;
  const TKivEditCommandList& defaults = view.GetDefaultKeyBindings();
  int count = 0;
  for (Integer i = 0; i < defaults.Count(); ++i)
    for (Integer j = 0; j < defaults.Items(i).Bindings().Count(); ++j) {
      const TKivEditCommandBinding& b = defaults.Items(i).Bindings().Items(j);
      const TKivString text = ShortcutPairToText(b.Shortcut(), b.Shortcut2());
      EXPECT_EQ(TextToShortcutPair(text), TPair(b.Shortcut(), b.Shortcut2())) << U8(text);
      ++count;
    }
  EXPECT_GT(count, 80);
}

TEST(KeyBindingsNode, BindingOperations) {
  TNodeData node(sedUndo, u"Undo", KivModes(cmForView));
  const TNodeBinding& kx = node.AddBinding(TNodeBinding::Create(kCtrlK, kX));
  node.AddBinding(TNodeBinding::Create(kCtrlY, 0));
  node.AddBinding(TNodeBinding::Create(kCtrlK, 0x0042));
  node.AddBinding(TNodeBinding::Create(kCtrlC, 0));
  EXPECT_THROW(node.AddBinding(nullptr), EInvalidArgument);
  EXPECT_EQ(Texts(node), (TTexts{"Ctrl+K, X", "Ctrl+Y", "Ctrl+K, B", "Ctrl+C"}));
  EXPECT_EQ(node.FindBinding(kCtrlK, kX), &kx);
  EXPECT_EQ(node.FindBinding(kCtrlK, 0), nullptr);
  EXPECT_TRUE(node.HasBinding(kCtrlK));
  EXPECT_FALSE(node.HasBinding(kCtrlK, 0));
  EXPECT_FALSE(node.HasBinding(kX));
  EXPECT_TRUE(kx.Equals(TNodeBinding(kCtrlK, kX)));
  EXPECT_FALSE(kx.Equals(TNodeBinding(kCtrlK, 0)));
  // What a new binding overrides, the others keeping their order.
  struct TCase {
    TKivShortcut Sc, Sc2;
    bool Removed;
    TTexts Left;
  };
  const TCase cases[] = {
      {kCtrlK, 0x0041, false, {"Ctrl+K, X", "Ctrl+Y", "Ctrl+K, B", "Ctrl+C"}},
      {kCtrlK, kX, true, {"Ctrl+Y", "Ctrl+K, B", "Ctrl+C"}},
      {kCtrlK, 0, true, {"Ctrl+Y", "Ctrl+C"}},
      {kCtrlY, kX, true, {"Ctrl+C"}},
  };
  for (const TCase& c : cases) {
    const bool overrides = node.Overrides(c.Sc, c.Sc2);
    EXPECT_EQ(node.RemoveOvrBindings(c.Sc, c.Sc2), c.Removed);
    EXPECT_EQ(overrides, c.Removed);
    EXPECT_EQ(Texts(node), c.Left);
  }
  node.AddBinding(TNodeBinding::Create(kCtrlIns, 0));
  node.AddBinding(TNodeBinding::Create(kCtrlY, 0));
  EXPECT_FALSE(node.RemoveBinding(kCtrlY, kX));
  EXPECT_TRUE(node.RemoveBinding(kCtrlIns, 0));
  EXPECT_EQ(Texts(node), (TTexts{"Ctrl+C", "Ctrl+Y"}));
  EXPECT_TRUE(node.RemoveBinding(node.Bindings().front().get()));
  EXPECT_FALSE(node.RemoveBinding(&kx));
  EXPECT_EQ(Texts(node), (TTexts{"Ctrl+Y"}));
  node.ClearBindings();
  EXPECT_TRUE(node.Bindings().empty());
}

TEST_F(KeyBindingsModel, TheTreeOfEditableCommands) {
  Build();
  std::vector<std::string> cats;
  for (const TKeyBindingsCategory& c : Model.Categories()) cats.push_back(U8(c.Name));
  EXPECT_EQ(cats, (std::vector<std::string>{"Clipboard", "Deletion", "Incremental search", "Indentation",
                                            "Movement", "Other", "Selection", "Selection (block mode)"}));
  std::vector<std::string> inc;
  for (const auto& n : Model.Categories()[2].Nodes) inc.push_back(U8(n->Descr()));
  EXPECT_EQ(inc, (std::vector<std::string>{"Move to next result", "Move to previous result",
                                           "Start incremental search"}));
  for (const TNodeData* n : Model.Nodes()) {
    const TKivEditCommandItem* d = View.GetDefaultKeyBindings().FindCommand(n->Command());
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->Editable());
    EXPECT_NE(d->Modes() & (KivModes(cmForView) | KivModes(cmForIncSearch)), 0);
  }
  for (TKivEditCommand cmd : {sedCompletionUp, sedCompletionCommit, sedIncrementalSearchCancel, sedChar})
    EXPECT_EQ(Model.FindNode(cmd), nullptr) << int(cmd);
  // Descriptions in code-unit order within a category, bindings sorted by text.
  for (const TKeyBindingsCategory& c : Model.Categories())
    for (size_t i = 1; i < c.Nodes.size(); ++i) EXPECT_LT(c.Nodes[i - 1]->Descr(), c.Nodes[i]->Descr());
  EXPECT_EQ(Texts(Node(u"Copy selection")), (TTexts{"Ctrl+C", "Ctrl+Ins"}));
  EXPECT_EQ(Texts(Node(u"Delete char left")), (TTexts{"Ctrl+Alt+BkSp", "Shift+BkSp"}));
  EXPECT_EQ(Texts(Node(u"Insert new line")), (TTexts{"Enter", "Shift+Enter"}));
  EXPECT_EQ(Node(u"Move to previous result").Modes(), KivModes(cmForIncSearch));
}

TEST_F(KeyBindingsModel, MovingABindingAsksAndApplies) {
  Build();
  TNodeData& line = Node(u"Delete line");
  EXPECT_EQ(U8(Model.AddQuestion(line, kCtrlC, 0, u"Ctrl+C")),
            "Keybinding 'Ctrl+C' will override actions:\r\nCopy selection\r\n\r\nContinue?");
  // Nothing in the way: no question.
  EXPECT_EQ(Model.AddQuestion(line, 0x4051, 0, u"Ctrl+Q"), u"");
  Model.AddBinding(line, kCtrlC, 0);
  EXPECT_EQ(Texts(Node(u"Copy selection")), (TTexts{"Ctrl+Ins"}));
  EXPECT_EQ(Texts(line), (TTexts{"Ctrl+Y", "Ctrl+C"}));
  // A binding the node has itself: asked with its own description, then it is there once, last.
  EXPECT_EQ(U8(Model.AddQuestion(line, kCtrlY, 0, u"Ctrl+Y")),
            "Keybinding 'Ctrl+Y' will override actions:\r\nDelete line\r\n\r\nContinue?");
  Model.AddBinding(line, kCtrlY, 0);
  EXPECT_EQ(Texts(line), (TTexts{"Ctrl+C", "Ctrl+Y"}));
  Model.ApplyBindings(View.CustomKeyBindings());
  EXPECT_EQ(Dump(View.CustomKeyBindings()),
            (std::vector<std::string>{Line(sedCopy, "Ctrl+Ins"), Line(sedDeleteLine, "Ctrl+C,Ctrl+Y")}));
  EXPECT_EQ(View.CustomKeyBindings().FindCommand(sedDeleteLine)->Modes(), KivModes(cmForView));
  // Applying again gives the same list; a rebuilt tree shows what was applied.
  Model.ApplyBindings(View.CustomKeyBindings());
  EXPECT_EQ(View.CustomKeyBindings().Count(), 2);
  Build();
  EXPECT_EQ(Texts(Node(u"Delete line")), (TTexts{"Ctrl+C", "Ctrl+Y"}));
  EXPECT_EQ(Texts(Node(u"Copy selection")), (TTexts{"Ctrl+Ins"}));
  EXPECT_THROW(Model.AddBinding(Node(u"Undo"), 0, 0), EInvalidArgument);
  TNodeData stray(sedUndo, u"Undo", 1);
  EXPECT_THROW(Model.AddBinding(stray, kCtrlC, 0), EInvalidArgument);
}

TEST_F(KeyBindingsModel, ConflictsFollowTheModes) {
  Build();
  // The view's Backspace is not the incremental search's.
  const auto conflicts = Model.FindConflicts(Node(u"Start incremental search").Modes(), kBkSp, 0);
  ASSERT_EQ(conflicts.size(), 1u);
  EXPECT_EQ(conflicts[0], &Node(u"Delete char backward or unindent"));
  EXPECT_EQ(U8(Model.AddQuestion(Node(u"Start incremental search"), kBkSp, 0, u"BkSp")),
            "Keybinding 'BkSp' will override actions:\r\nDelete char backward or unindent\r\n\r\nContinue?");
  // Commands of both modes meet either.
  EXPECT_EQ(Model.FindConflicts(KivModes(cmForIncSearch), 0x0026, 0),
            std::vector<TNodeData*>{&Node(u"Move up")});
  EXPECT_TRUE(Model.FindConflicts(KivModes(cmForCompletion), 0x0026, 0).empty());
}

TEST_F(KeyBindingsModel, OneStrokeAgainstTwo) {
  Build();
  EXPECT_EQ(U8(Model.AddQuestion(Node(u"Undo"), kCtrlK, kX, u"Ctrl+K, X")),
            "Keybinding 'Ctrl+K, X' will override actions:\r\nDelete to line end\r\n\r\nContinue?");
  Model.AddBinding(Node(u"Undo"), kCtrlK, kX);
  EXPECT_TRUE(Node(u"Delete to line end").Bindings().empty());
  EXPECT_EQ(Texts(Node(u"Undo")), (TTexts{"Ctrl+Z", "Ctrl+K, X"}));
  // The reverse: the one stroke takes every two-stroke binding that starts with it.
  Model.AddBinding(Node(u"Redo"), kCtrlK, 0x0042);
  EXPECT_EQ(Model.FindConflicts(KivModes(cmForView), kCtrlK, 0),
            (std::vector<TNodeData*>{&Node(u"Redo"), &Node(u"Undo")}));
  Model.AddBinding(Node(u"Delete to line end"), kCtrlK, 0);
  EXPECT_EQ(Texts(Node(u"Undo")), (TTexts{"Ctrl+Z"}));
  EXPECT_EQ(Texts(Node(u"Redo")), (TTexts{"Shift+Ctrl+Z"}));
  Model.ApplyBindings(View.CustomKeyBindings());
  EXPECT_EQ(View.CustomKeyBindings().Count(), 0);
  // Two strokes that share the first one live side by side and apply.
  Model.AddBinding(Node(u"Undo"), kCtrlK, kX);
  Model.AddBinding(Node(u"Redo"), kCtrlK, 0x0042);
  Model.ApplyBindings(View.CustomKeyBindings());
  EXPECT_EQ(Dump(View.CustomKeyBindings()),
            (std::vector<std::string>{Line(sedDeleteToLineEnd, ""), Line(sedRedo, "Ctrl+K, B,Shift+Ctrl+Z"),
                                      Line(sedUndo, "Ctrl+K, X,Ctrl+Z")}));
}

TEST_F(KeyBindingsModel, ResetOneAndAll) {
  Build();
  TNodeData& line = Node(u"Delete line");
  EXPECT_TRUE(line.RemoveBinding(kCtrlY, 0));
  EXPECT_EQ(Model.ResetQuestion(line), u"");
  Model.ResetToDefaults(line);
  EXPECT_EQ(Texts(line), (TTexts{"Ctrl+Y"}));
  // A default another command took: both descriptions, sorted, then the binding comes back.
  Model.AddBinding(line, kCtrlC, 0);
  TNodeData& copy = Node(u"Copy selection");
  EXPECT_EQ(U8(Model.ResetQuestion(copy)),
            "After reset those actions will be overriden:\r\nCopy selection\r\nDelete line\r\n\r\nContinue?");
  Model.ResetToDefaults(copy);
  EXPECT_EQ(Texts(copy), (TTexts{"Ctrl+C", "Ctrl+Ins"}));
  EXPECT_EQ(Texts(line), (TTexts{"Ctrl+Y"}));
  // The node's modes go back to the default's as well.
  copy.SetModes(KivModes(cmForView) | KivModes(cmForIncSearch));
  EXPECT_TRUE(Model.NodeChanged(copy));
  Model.ResetToDefaults(copy);
  EXPECT_EQ(copy.Modes(), KivModes(cmForView));
  EXPECT_FALSE(Model.NodeChanged(copy));
  // Every binding of a command deleted: an item without bindings switches its defaults off.
  Node(u"Select all").ClearBindings();
  Model.AddBinding(Node(u"Undo"), 0x4051, 0);
  Model.ApplyBindings(View.CustomKeyBindings());
  EXPECT_EQ(Dump(View.CustomKeyBindings()),
            (std::vector<std::string>{Line(sedUndo, "Ctrl+Q,Ctrl+Z"), Line(sedSelectAll, "")}));
  Build();
  EXPECT_TRUE(Node(u"Select all").Bindings().empty());
  Model.ResetAll();
  for (const TNodeData* n : Model.Nodes()) EXPECT_FALSE(Model.NodeChanged(*n)) << U8(n->Descr());
  Model.ApplyBindings(View.CustomKeyBindings());
  EXPECT_EQ(View.CustomKeyBindings().Count(), 0);
}

// A custom binding of one mode does not hide a default of a command in another mode.
TEST_F(KeyBindingsModel, ACustomBindingHidesOnlyDefaultsInItsModes) {
  Build();
  Model.AddBinding(Node(u"Delete char backward or unindent"), kShiftSpace, 0);
  Model.ApplyBindings(View.CustomKeyBindings());
  EXPECT_EQ(Dump(View.CustomKeyBindings()),
            (std::vector<std::string>{Line(sedBackspaceOrUnindent, "BkSp,Shift+Space")}));
  Build();
  EXPECT_EQ(Texts(Node(u"Move to previous result")), (TTexts{"BkSp"}));
  Model.ApplyBindings(View.CustomKeyBindings());
  EXPECT_EQ(View.CustomKeyBindings().Count(), 1);
  // Taken over in a meeting mode: the default is not shown under its own command.
  Model.AddBinding(Node(u"Undo"), kCtrlY, 0);
  Model.ApplyBindings(View.CustomKeyBindings());
  Build();
  EXPECT_TRUE(Node(u"Delete line").Bindings().empty());
  EXPECT_EQ(Texts(Node(u"Undo")), (TTexts{"Ctrl+Y", "Ctrl+Z"}));
}

TEST_F(KeyBindingsModel, AFailedApplyKeepsTheOldList) {
  Build();
  Model.AddBinding(Node(u"Undo"), 0x4051, 0);
  Model.ApplyBindings(View.CustomKeyBindings());
  const auto before = Dump(View.CustomKeyBindings());
  // Two commands holding one binding in one mode, past the editor's own checks.
  Node(u"Delete line").AddBinding(TNodeBinding::Create(kCtrlC, 0));
  Node(u"Redo").AddBinding(TNodeBinding::Create(0x4051, 0));
  try {
    Model.ApplyBindings(View.CustomKeyBindings());
    ADD_FAILURE() << "no error";
  } catch (const EKivEditViewError& e) {
    EXPECT_EQ(U8(e.Message()), "Keybindings should be unique in Command items");
  }
  EXPECT_EQ(Dump(View.CustomKeyBindings()), before);
  // A one-stroke binding and a two-stroke one with the same first stroke cannot both be written.
  Build();
  Node(u"Delete line").AddBinding(TNodeBinding::Create(0x4057, 0));
  Node(u"Undo").AddBinding(TNodeBinding::Create(kCtrlY, kX));
  EXPECT_THROW(Model.ApplyBindings(View.CustomKeyBindings()), EKivEditViewError);
  EXPECT_EQ(Dump(View.CustomKeyBindings()), before);
}

TEST_F(KeyBindingsModel, CustomItemsTheTreeDoesNotShowStay) {
  TKivEditCommandItem& item = View.CustomKeyBindings().Add();
  item.SetCommand(sedCompletionCommit);
  item.SetModes(KivModes(cmForCompletion));
  item.Bindings().Add().SetShortcut(vkTab);
  Build();
  EXPECT_EQ(Model.FindNode(sedCompletionCommit), nullptr);
  Model.ResetAll();
  Model.ApplyBindings(View.CustomKeyBindings());
  EXPECT_EQ(Dump(View.CustomKeyBindings()), (std::vector<std::string>{Line(sedCompletionCommit, "Tab")}));
}
