// The key bindings editor's data, without any widget: the text form of a binding, the command
// nodes with their bindings grouped by category, the conflicts between them, and the rebuilding of
// a view's custom key binding list from them. The window (KivSedKeyBindingsDialog.h) shows this
// model and only translates keys and clicks into its operations.
//
// A binding's text form writes one stroke as its modifiers in the order "Shift+", "Ctrl+", "Alt+"
// and the key's name: letters and digits (the keypad's digits too) as themselves, F1 to F24,
// "BkSp", "Tab", "Esc", "Enter", "Space", "PgUp", "PgDn", "End", "Home", "Left", "Up", "Right",
// "Down", "Ins", "Del", "Comma" for the comma key (a plain "," would read as the separator), the
// other punctuation keys as their unshifted character, keypad operators as "Num *" and the like,
// and any other code as "Key 123". Two strokes are joined by ", ".
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "KivSedCommands.h"

// One binding of a command node: one stroke, or two when Shortcut2 is not 0.
class TNodeBinding {
 public:
  TNodeBinding(TKivShortcut ASc, TKivShortcut ASc2) : FShortcut(ASc), FShortcut2(ASc2) {}
  static std::unique_ptr<TNodeBinding> Create(TKivShortcut ASc, TKivShortcut ASc2) {
    return std::make_unique<TNodeBinding>(ASc, ASc2);
  }
  TKivShortcut Shortcut() const { return FShortcut; }
  TKivShortcut Shortcut2() const { return FShortcut2; }
  bool Equals(const TNodeBinding& AOther) const {
    return FShortcut == AOther.FShortcut && FShortcut2 == AOther.FShortcut2;
  }

 private:
  TKivShortcut FShortcut;
  TKivShortcut FShortcut2;
};

using TNodeBindingArray = std::vector<std::unique_ptr<TNodeBinding>>;

// A command of the tree with its bindings (which it owns).
class TNodeData {
 public:
  TNodeData(TKivEditCommand ACommand, TKivString ADescr, TKivEditCommandModes AModes)
      : FCommand(ACommand), FDescr(std::move(ADescr)), FModes(AModes) {}

  const TNodeBindingArray& Bindings() const { return FBindings; }
  TKivEditCommand Command() const { return FCommand; }
  const TKivString& Descr() const { return FDescr; }
  TKivEditCommandModes Modes() const { return FModes; }
  void SetModes(TKivEditCommandModes AValue) { FModes = AValue; }

  // Appends the binding; the node owns it. A null binding raises EInvalidArgument.
  TNodeBinding& AddBinding(std::unique_ptr<TNodeBinding> ABinding);
  // Removes (and frees) that binding object; false when the node does not hold it.
  bool RemoveBinding(const TNodeBinding* ABinding);
  // Removes the first binding with exactly that pair; false when there is none.
  bool RemoveBinding(TKivShortcut ASc, TKivShortcut ASc2);
  // Removes every binding a new binding (ASc, ASc2) overrides: the same first stroke and the same
  // second one, or a one-stroke binding, or any second one when ASc2 is 0. The others keep their
  // order. True when something was removed.
  bool RemoveOvrBindings(TKivShortcut ASc, TKivShortcut ASc2);
  // Whether a new binding (ASc, ASc2) overrides one of the node's (what RemoveOvrBindings removes).
  bool Overrides(TKivShortcut ASc, TKivShortcut ASc2) const;
  TNodeBinding* FindBinding(TKivShortcut ASc, TKivShortcut ASc2) const;
  bool HasBinding(TKivShortcut ASc, TKivShortcut ASc2) const { return FindBinding(ASc, ASc2) != nullptr; }
  // A binding with that first stroke, whatever its second.
  bool HasBinding(TKivShortcut ASc) const;
  void ClearBindings() { FBindings.clear(); }
  // Sorts the bindings by their text form (code-unit order; equal texts keep their order).
  void SortBindings();

 private:
  TNodeBindingArray FBindings;
  TKivEditCommand FCommand;
  TKivString FDescr;
  TKivEditCommandModes FModes;
};

// The text form of one stroke and of a binding (empty for 0).
TKivString ShortcutToText(TKivShortcut AShortcut);
TKivString ShortcutPairToText(TKivShortcut ASc, TKivShortcut ASc2);
// The reverse, case-insensitive, blanks around each stroke ignored: with a comma the part before
// the first comma is the first stroke and the rest the second. A stroke that names no key gives 0;
// a text with such a stroke gives (0, 0).
TKivShortcut TextToShortcut(const TKivString& AText);
std::pair<TKivShortcut, TKivShortcut> TextToShortcutPair(const TKivString& AText);

// A category of the tree and its command nodes, in tree order.
struct TKeyBindingsCategory {
  TKivString Name;
  std::vector<std::unique_ptr<TNodeData>> Nodes;
};

// The tree of editable commands and every operation of the editor on it.
class TKivKeyBindingsModel {
 public:
  // Rebuilds the tree from a view's default list and custom list: the editable commands of the
  // view or of incremental search, each from its custom item when there is one, sorted by
  // category and description; a default binding is left out when a custom item of another
  // command in a mode that meets the default's took it over. Each node's bindings are sorted.
  void BuildCommandTree(const TKivEditCommandList& ADefaults, const TKivEditCommandList& ACustom);

  const std::vector<TKeyBindingsCategory>& Categories() const { return FCategories; }
  // Every command node in tree order.
  std::vector<TNodeData*> Nodes() const;
  // The node of a command, or none.
  TNodeData* FindNode(TKivEditCommand ACommand) const;
  TNodeData* FindNode(const TKivString& ADescr) const;

  // The nodes (in tree order, the asking one included) whose modes meet AModes and from which
  // RemoveOvrBindings(ASc, ASc2) would remove something.
  std::vector<TNodeData*> FindConflicts(TKivEditCommandModes AModes, TKivShortcut ASc,
                                        TKivShortcut ASc2) const;

  // Adding (ASc, ASc2) to ANode: the question to ask first ("Keybinding '...' will override
  // actions: ..."), empty when nothing conflicts. ABindingText is the text the user sees.
  TKivString AddQuestion(const TNodeData& ANode, TKivShortcut ASc, TKivShortcut ASc2,
                         const TKivString& ABindingText) const;
  // Removes what (ASc, ASc2) overrides in the conflicting nodes and appends it to ANode (last).
  // ASc = 0 raises EInvalidArgument.
  void AddBinding(TNodeData& ANode, TKivShortcut ASc, TKivShortcut ASc2);

  // Resetting ANode: the question ("After reset those actions will be overriden: ..."), empty when
  // the defaults take nothing from another command.
  TKivString ResetQuestion(const TNodeData& ANode) const;
  // Removes what the defaults override in every node, then gives ANode its default bindings and
  // modes.
  void ResetToDefaults(TNodeData& ANode);
  // The default bindings and modes for one node, or for all, without removing anything else.
  void ResetNodeToDefaults(TNodeData& ANode) const;
  void ResetAll();

  // Whether the node's bindings (as a set sorted by text) or modes differ from its defaults.
  bool NodeChanged(const TNodeData& ANode) const;
  // Rebuilds ACustom: its items for commands the tree does not show stay first, then one item for
  // every changed node in tree order, with the node's bindings sorted by text. A node whose
  // bindings were all deleted gets an item without bindings. The new list is checked whole
  // before it is written: on an error (the list's uniqueness rule) ACustom stays as it was.
  void ApplyBindings(TKivEditCommandList& ACustom);

 private:
  struct TDefaults {
    TKivEditCommandModes Modes = 0;
    std::vector<std::pair<TKivShortcut, TKivShortcut>> Bindings;  // sorted by text
  };
  const TDefaults& DefaultsOf(TKivEditCommand ACommand) const;
  TNodeData* CheckNode(const TNodeData& ANode) const;

  std::vector<TKeyBindingsCategory> FCategories;
  std::vector<TDefaults> FDefaults;  // by command
};

// "Keybinding '%s' will override actions:\r\n%s\r\nContinue?" and "After reset those actions will
// be overriden:\r\n%s\r\nContinue?" with the descriptions, each followed by a line break.
TKivString KivOverrideQuestion(const TKivString& ABindingText, const std::vector<TKivString>& ADescrs);
TKivString KivResetQuestion(const std::vector<TKivString>& ADescrs);
