// The editor's commands and their key bindings: the command enumeration, the modes a binding
// belongs to, shortcuts, the fixed table of default bindings and the command lists (items with
// their bindings) that map key strokes to commands.
//
// A shortcut is a 16-bit value: the virtual key code in the low byte plus 0x2000 for Shift, 0x4000
// for Ctrl and 0x8000 for Alt; 0 is no shortcut. A shift state is a set whose bits 0, 1, 2 are
// Shift, Alt and Ctrl.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "KivLayoutTypes.h"

class TKivEditViewCore;

enum TKivEditCommand : uint8_t {
  sedLeft,
  sedRight,
  sedUp,
  sedDown,
  sedLineHome,
  sedLineEnd,
  sedNextWord,
  sedPrevWord,
  sedPageUp,
  sedPageDown,
  sedPageHome,  // 10
  sedPageEnd,
  sedTextHome,
  sedTextEnd,
  sedUndo,
  sedRedo,
  sedCut,
  sedCopy,
  sedPaste,
  sedDeletePrevChar,
  sedDeleteChar,  // 20
  sedDeletePrevWord,
  sedDeleteWord,
  sedDeleteLine,
  sedDeleteToLineEnd,
  sedDeleteToLineWrap,
  sedChar,
  sedStr,
  sedNewLine,
  sedTab,
  sedIndent,  // 30
  sedUnIndent,
  sedIndentToPrevIndent,
  sedUnIndentToPrevIndent,
  sedBackspaceOrUnindent,
  sedTabOrIndent,
  sedScrollUp,
  sedScrollDown,
  sedSelectLeft,
  sedSelectRight,
  sedSelectPrevWord,  // 40
  sedSelectNextWord,
  sedSelectUp,
  sedSelectDown,
  sedSelectPageUp,
  sedSelectPageDown,
  sedSelectPageHome,
  sedSelectPageEnd,
  sedSelectLineHome,
  sedSelectLineEnd,
  sedSelectTextHome,  // 50
  sedSelectTextEnd,
  sedSelectLeftBlock,
  sedSelectRightBlock,
  sedSelectPrevWordBlock,
  sedSelectNextWordBlock,
  sedSelectUpBlock,
  sedSelectDownBlock,
  sedSelectPageUpBlock,
  sedSelectPageDownBlock,
  sedSelectPageHomeBlock,  // 60
  sedSelectPageEndBlock,
  sedSelectLineHomeBlock,
  sedSelectLineEndBlock,
  sedSelectTextHomeBlock,
  sedSelectTextEndBlock,
  sedSelectAll,
  sedSelectNone,
  sedToggleOverwrite,
  sedCompletionShow,
  sedCompletionUp,  // 70
  sedCompletionDown,
  sedCompletionCommit,
  sedCompletionCancel,
  sedCompletionBack,
  sedCompletionLeft,
  sedCompletionRight,
  sedCompletionPgUp,
  sedCompletionPgDown,
  sedCompletionHome,
  sedCompletionEnd,  // 80
  sedIncrementalSearchStart,
  sedIncrementalSearchAddChar,
  sedIncrementalSearchBack,
  sedIncrementalSearchForward,
  sedIncrementalSearchCancel  // 85
};
inline constexpr int kivEditCommandCount = sedIncrementalSearchCancel + 1;

// The mode a key binding applies in; the view is in exactly one at a time.
enum TKivEditCommandMode : uint8_t { cmForView, cmForCompletion, cmForIncSearch };
// A set of modes (bit 0 = cmForView).
using TKivEditCommandModes = uint8_t;
constexpr TKivEditCommandModes KivModes(TKivEditCommandMode AMode) {
  return static_cast<TKivEditCommandModes>(1u << AMode);
}

using TKivShortcut = uint16_t;
inline constexpr TKivShortcut kivShortcutShift = 0x2000;
inline constexpr TKivShortcut kivShortcutCtrl = 0x4000;
inline constexpr TKivShortcut kivShortcutAlt = 0x8000;

// A shift state: bits ssShift, ssAlt, ssCtrl.
enum class TKivShiftState : uint16_t {};
inline constexpr TKivShiftState ssEmpty{0};
inline constexpr TKivShiftState ssShift{1};
inline constexpr TKivShiftState ssAlt{2};
inline constexpr TKivShiftState ssCtrl{4};
constexpr TKivShiftState operator|(TKivShiftState A, TKivShiftState B) {
  return TKivShiftState(static_cast<uint16_t>(A) | static_cast<uint16_t>(B));
}
constexpr bool KivHasShift(TKivShiftState AState, TKivShiftState ABit) {
  return (static_cast<uint16_t>(AState) & static_cast<uint16_t>(ABit)) != 0;
}

// Key and shift state as a shortcut, and back.
constexpr TKivShortcut KivShortcut(uint16_t AKey, TKivShiftState AShift) {
  TKivShortcut r = static_cast<TKivShortcut>(AKey & 0xFF);
  if (KivHasShift(AShift, ssShift)) r |= kivShortcutShift;
  if (KivHasShift(AShift, ssCtrl)) r |= kivShortcutCtrl;
  if (KivHasShift(AShift, ssAlt)) r |= kivShortcutAlt;
  return r;
}
constexpr uint16_t KivShortcutKey(TKivShortcut AShortcut) {
  return AShortcut & 0xFF;
}
constexpr TKivShiftState KivShortcutShift(TKivShortcut AShortcut) {
  TKivShiftState r = ssEmpty;
  if (AShortcut & kivShortcutShift) r = r | ssShift;
  if (AShortcut & kivShortcutCtrl) r = r | ssCtrl;
  if (AShortcut & kivShortcutAlt) r = r | ssAlt;
  return r;
}

// The virtual key codes the editor itself names.
enum : uint16_t {
  vkBack = 8,
  vkTab = 9,
  vkReturn = 13,
  vkShift = 16,
  vkControl = 17,
  vkMenu = 18,
  vkPause = 19,
  vkCapital = 20,
  vkEscape = 27,
  vkSpace = 32,
  vkPrior = 33,
  vkNext = 34,
  vkEnd = 35,
  vkHome = 36,
  vkLeft = 37,
  vkUp = 38,
  vkRight = 39,
  vkDown = 40,
  vkInsert = 45,
  vkDelete = 46,
  vkLWin = 91,
  vkRWin = 92,
  vkApps = 93,
  vkNumpad0 = 96,
  vkMultiply = 106,
  vkAdd = 107,
  vkSeparator = 108,
  vkSubtract = 109,
  vkDecimal = 110,
  vkDivide = 111,
  vkF1 = 112,
  vkF3 = 114,
  vkF24 = 135,
  vkNumLock = 144,
  vkScroll = 145,
  vkLShift = 160,
  vkRMenu = 165,
  vkOem1 = 186,       // ; :
  vkOemPlus = 187,    // = +
  vkOemComma = 188,   // , <
  vkOemMinus = 189,   // - _
  vkOemPeriod = 190,  // . >
  vkOem2 = 191,       // / ?
  vkOem3 = 192,       // ` ~
  vkOem4 = 219,       // [ {
  vkOem5 = 220,       // \ |
  vkOem6 = 221,       // ] }
  vkOem7 = 222        // ' "
};
// Shift, Ctrl, Alt, AltGr, the logo keys, Caps Lock and Num Lock: keys that only modify others.
constexpr bool KivIsModifierKey(uint16_t AKey) {
  return AKey == vkShift || AKey == vkControl || AKey == vkMenu || AKey == vkCapital || AKey == vkLWin ||
         AKey == vkRWin || AKey == vkNumLock || (AKey >= vkLShift && AKey <= vkRMenu);
}

// One row of the default table.
struct TDefaultKeyBinding {
  uint16_t Key;
  TKivShiftState Shift;
  TKivStringView Descr;
  TKivStringView Cat;
  bool Editable;
  TKivEditCommandModes Modes;
  TKivEditCommand Command;
};
inline constexpr int kivDefaultKeyBindingCount = 87;
extern const std::array<TDefaultKeyBinding, kivDefaultKeyBindingCount> DefaultKeyBindings;

// The argument of a command: a character or a string, or none.
using TKivCommandArg = std::optional<TKivString>;

class TKivEditCommandItem;
class TKivEditCommandList;

// One key binding of a command item: a shortcut, or two strokes when Shortcut2 is not 0.
class TKivEditCommandBinding {
 public:
  TKivShortcut Shortcut() const { return FShortcut; }
  TKivShortcut Shortcut2() const { return FShortcut2; }
  // Both raise "Keybindings should be unique in Command items" when another binding of the list
  // in an overlapping mode has the same pair; the binding then stays as it was.
  void SetShortcut(TKivShortcut AValue);
  void SetShortcut2(TKivShortcut AValue);
  // Copies both shortcuts after the same check.
  void Assign(const TKivEditCommandBinding& ASource);
  TKivEditCommandItem& ParentItem() const { return FParentItem; }

 private:
  friend class TKivEditCommandBindings;
  friend class TKivEditCommandItem;
  friend class TKivEditCommandList;
  explicit TKivEditCommandBinding(TKivEditCommandItem& AParent) : FParentItem(AParent) {}
  void CheckUnique(TKivShortcut AShortcut, TKivShortcut AShortcut2) const;

  TKivEditCommandItem& FParentItem;
  TKivShortcut FShortcut = 0;
  TKivShortcut FShortcut2 = 0;
};

// The bindings of one command item.
class TKivEditCommandBindings {
 public:
  TKivEditCommandBinding& Add();
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  // Raises EInvalidArgument outside [0, Count).
  TKivEditCommandBinding& Items(Integer AIndex) const;
  TKivEditCommandItem& ParentItem() const { return FParentItem; }

 private:
  friend class TKivEditCommandItem;
  friend class TKivEditCommandList;
  explicit TKivEditCommandBindings(TKivEditCommandItem& AParent) : FParentItem(AParent) {}
  void Clear() { FItems.clear(); }

  TKivEditCommandItem& FParentItem;
  std::vector<std::unique_ptr<TKivEditCommandBinding>> FItems;
};

// A command with its bindings, the modes they apply in and whether the key bindings dialog lets
// the user change them.
class TKivEditCommandItem {
 public:
  TKivEditCommandBindings& Bindings() { return FBindings; }
  const TKivEditCommandBindings& Bindings() const { return FBindings; }
  TKivEditCommand Command() const { return FCommand; }
  // Raises "Command items in collection should have unique Command property." when another item
  // of the list has the command.
  void SetCommand(TKivEditCommand AValue);
  // From the first row of the default table with this command; empty when there is none.
  TKivString Description() const;
  TKivString Category() const;
  bool Editable() const { return FEditable; }
  void SetEditable(bool AValue) { FEditable = AValue; }
  TKivEditCommandModes Modes() const { return FModes; }
  void SetModes(TKivEditCommandModes AValue) { FModes = AValue; }
  // Copies command, editable flag, modes and bindings.
  void Assign(const TKivEditCommandItem& ASource);
  TKivEditCommandList& List() const { return FList; }

 private:
  friend class TKivEditCommandList;
  explicit TKivEditCommandItem(TKivEditCommandList& AList) : FBindings(*this), FList(AList) {}

  TKivEditCommandBindings FBindings;
  TKivEditCommandList& FList;
  bool FEditable = false;
  TKivEditCommandModes FModes = 0;
  TKivEditCommand FCommand = sedChar;
};

// The command items of a view: its default list or its custom list. Lists are made only by their
// view.
class TKivEditCommandList {
 public:
  TKivEditCommandList(const TKivEditCommandList&) = delete;
  TKivEditCommandList& operator=(const TKivEditCommandList&) = delete;

  TKivEditCommandItem& Add();
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  // Raises EInvalidArgument outside [0, Count).
  TKivEditCommandItem& Items(Integer AIndex) const;
  TKivEditViewCore& Parent() const { return FParent; }
  void Clear() { FItems.clear(); }
  // Replaces the items by copies of ASource's; on an error the list stays as it was.
  void Assign(const TKivEditCommandList& ASource);

  // The first binding (items in order, skipping items whose modes miss AModes; bindings in order)
  // whose first stroke is AShortcut, whatever its second; or whose strokes are both given.
  TKivEditCommandBinding* FindBinding(TKivShortcut AShortcut, TKivEditCommandModes AModes) const;
  TKivEditCommandBinding* FindBinding(TKivShortcut AShortcut, TKivShortcut AShortcut2,
                                      TKivEditCommandModes AModes) const;
  TKivEditCommandBinding* FindBinding(uint16_t AKey, TKivShiftState AShift,
                                      TKivEditCommandModes AModes) const;
  TKivEditCommandBinding* FindBinding(uint16_t AKey, TKivShiftState AShift, uint16_t AKey2,
                                      TKivShiftState AShift2, TKivEditCommandModes AModes) const;
  // The first item with the command, or none.
  TKivEditCommandItem* FindCommand(TKivEditCommand ACmd) const;

 private:
  friend class TViewCommands;
  explicit TKivEditCommandList(TKivEditViewCore& AParent) : FParent(AParent) {}
  // Fills the list from the default table (and the two extra bindings of Shift+Enter and
  // Shift+Tab).
  void FillDefaults();

  TKivEditViewCore& FParent;
  std::vector<std::unique_ptr<TKivEditCommandItem>> FItems;
};

// Events of the view's command path.
using TKivBeforeCommandEvent = std::function<void(TKivEditViewCore& Sender, TKivEditCommand& ACommand,
                                                  TKivCommandArg& AArg, bool& AllowExec)>;
using TKivAfterCommandEvent =
    std::function<void(TKivEditViewCore& Sender, TKivEditCommand ACommand, const TKivCommandArg& AArg)>;
using TKivKeyPressWEvent = std::function<void(TKivEditViewCore& Sender, Char& AKey)>;
// A key-down before the bindings are looked up: a key set to 0 matches no binding.
using TKivKeyDownEvent = std::function<void(TKivEditViewCore& Sender, uint16_t& AKey, TKivShiftState AShift)>;

// The characters that end a word for completion and for the command classification: AWordSeps
// (the completion settings' separators) with space, TAB, CR and LF; or, when empty, the
// document's full word separators with the standard punctuation, space and TAB.
TKivString KivCompletionSeparators(const TKivString& AWordSeps, const TKivString& ADocFullWordSeps);
