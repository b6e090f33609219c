// The default key binding table and the command lists with their uniqueness rules.
#include "KivSedCommands.h"

namespace {

constexpr TKivEditCommandModes V = KivModes(cmForView);
constexpr TKivEditCommandModes C = KivModes(cmForCompletion);
constexpr TKivEditCommandModes I = KivModes(cmForIncSearch);
constexpr TKivEditCommandModes VI = V | I;
constexpr TKivShiftState S = ssShift;
constexpr TKivShiftState Ct = ssCtrl;
constexpr TKivShiftState CS = ssCtrl | ssShift;
constexpr TKivShiftState CA = ssCtrl | ssAlt;
constexpr TKivShiftState AS = ssAlt | ssShift;
constexpr TKivShiftState CAS = ssCtrl | ssAlt | ssShift;
constexpr TKivShiftState N = ssEmpty;

constexpr TKivStringView kMov = u"Movement";
constexpr TKivStringView kSel = u"Selection";
constexpr TKivStringView kClip = u"Clipboard";
constexpr TKivStringView kDel = u"Deletion";
constexpr TKivStringView kInd = u"Indentation";
constexpr TKivStringView kOther = u"Other";
constexpr TKivStringView kInc = u"Incremental search";
constexpr TKivStringView kBlock = u"Selection (block mode)";

}  // namespace

const std::array<TDefaultKeyBinding, kivDefaultKeyBindingCount> DefaultKeyBindings = {{
    {vkUp, N, u"Move up", kMov, true, VI, sedUp},
    {vkUp, S, u"Widen selection up by line", kSel, true, VI, sedSelectUp},
    {vkUp, Ct, u"Scroll screen up by line", kMov, true, VI, sedScrollUp},
    {vkDown, N, u"Move down", kMov, true, VI, sedDown},
    {vkDown, S, u"Widen selection down by line", kSel, true, VI, sedSelectDown},
    {vkDown, Ct, u"Scroll screen down by line", kMov, true, VI, sedScrollDown},
    {vkLeft, N, u"Move left", kMov, true, VI, sedLeft},
    {vkLeft, S, u"Widen selection left by char", kSel, true, VI, sedSelectLeft},
    {vkLeft, Ct, u"Move to prev word", kMov, true, VI, sedPrevWord},
    {vkLeft, CS, u"Widen selection left by word", kSel, true, VI, sedSelectPrevWord},
    {vkRight, N, u"Move right", kMov, true, VI, sedRight},
    {vkRight, S, u"Widen selection right by char", kSel, true, VI, sedSelectRight},
    {vkRight, CS, u"Widen selection right by word", kSel, true, VI, sedSelectNextWord},
    {vkRight, Ct, u"Move to next word", kMov, true, VI, sedNextWord},
    {vkInsert, N, u"Toggle overwrite mode", kOther, true, V, sedToggleOverwrite},
    {vkInsert, Ct, u"Copy selection", kClip, true, V, sedCopy},
    {vkInsert, S, u"Paste selection", kClip, true, V, sedPaste},
    {vkPrior, N, u"Move to prev page", kMov, true, VI, sedPageUp},
    {vkPrior, S, u"Widen selection up by page", kSel, true, VI, sedSelectPageUp},
    {vkPrior, Ct, u"Move to page start", kMov, true, VI, sedPageHome},
    {vkPrior, CS, u"Widen selection up to page start", kSel, true, VI, sedSelectPageHome},
    {vkNext, N, u"Move to next page", kMov, true, VI, sedPageDown},
    {vkNext, S, u"Widen selection down by page", kSel, true, VI, sedSelectPageDown},
    {vkNext, Ct, u"Move to page end", kMov, true, VI, sedPageEnd},
    {vkNext, CS, u"Widen selection up to page end", kSel, true, VI, sedSelectPageEnd},
    {vkHome, N, u"Move to line start", kMov, true, VI, sedLineHome},
    {vkHome, Ct, u"Move to text start", kMov, true, VI, sedTextHome},
    {vkHome, S, u"Widen selection up to line start", kSel, true, VI, sedSelectLineHome},
    {vkHome, CS, u"Widen selection up to text start", kSel, true, VI, sedSelectTextHome},
    {vkEnd, N, u"Move to line end", kMov, true, VI, sedLineEnd},
    {vkEnd, Ct, u"Move to text end", kMov, true, VI, sedTextEnd},
    {vkEnd, S, u"Widen selection up to line end", kSel, true, VI, sedSelectLineEnd},
    {vkEnd, CS, u"Widen selection up to text end", kSel, true, VI, sedSelectTextEnd},
    {vkBack, CA, u"Delete char left", kDel, true, VI, sedDeletePrevChar},
    {vkBack, S, u"Delete char left", kDel, true, VI, sedDeletePrevChar},
    {vkBack, Ct, u"Delete word left", kDel, true, VI, sedDeletePrevWord},
    {vkDelete, N, u"Delete char right", kDel, true, VI, sedDeleteChar},
    {vkDelete, S, u"Delete char right", kDel, true, VI, sedDeleteChar},
    {vkDelete, Ct, u"Delete word right", kDel, true, VI, sedDeleteWord},
    {'K', Ct, u"Delete to line end", kDel, true, V, sedDeleteToLineEnd},
    {'K', CS, u"Delete to line wrap", kDel, true, V, sedDeleteToLineWrap},
    {'Y', Ct, u"Delete line", kDel, true, V, sedDeleteLine},
    {'Z', Ct, u"Undo", kOther, true, V, sedUndo},
    {'Z', CS, u"Redo", kOther, true, V, sedRedo},
    {'C', Ct, u"Copy selection", kClip, true, V, sedCopy},
    {'X', Ct, u"Cut selection", kClip, true, V, sedCut},
    {'A', Ct, u"Select all", kSel, true, V, sedSelectAll},
    {'V', Ct, u"Paste selection", kClip, true, V, sedPaste},
    {'I', CS, u"Indent selection", kInd, true, V, sedIndent},
    {'U', CS, u"Unindent selection", kInd, true, V, sedUnIndent},
    {'I', Ct, u"Indent selection to prev indent", kInd, true, V, sedIndentToPrevIndent},
    {'U', Ct, u"Unindent selection to prev indent", kInd, true, V, sedUnIndentToPrevIndent},
    {vkTab, Ct, u"Insert tab", kOther, true, V, sedTab},
    {vkReturn, N, u"Insert new line", kOther, true, VI, sedNewLine},
    {vkBack, N, u"Delete char backward or unindent", kOther, true, V, sedBackspaceOrUnindent},
    {vkTab, N, u"Move to prev line indent or insert tab", kOther, true, V, sedTabOrIndent},
    {vkSpace, Ct, u"Show completion list for current word", kOther, true, V, sedCompletionShow},
    {vkUp, N, u"", u"", false, C, sedCompletionUp},
    {vkDown, N, u"", u"", false, C, sedCompletionDown},
    {vkReturn, N, u"", u"", false, C, sedCompletionCommit},
    {vkEscape, N, u"", u"", false, C, sedCompletionCancel},
    {vkBack, N, u"", u"", false, C, sedCompletionBack},
    {vkLeft, N, u"", u"", false, C, sedCompletionLeft},
    {vkRight, N, u"", u"", false, C, sedCompletionRight},
    {vkPrior, N, u"", u"", false, C, sedCompletionPgUp},
    {vkNext, N, u"", u"", false, C, sedCompletionPgDown},
    {vkHome, N, u"", u"", false, C, sedCompletionHome},
    {vkEnd, N, u"", u"", false, C, sedCompletionEnd},
    {'E', Ct, u"Start incremental search", kInc, true, V, sedIncrementalSearchStart},
    {vkBack, N, u"Move to previous result", kInc, true, I, sedIncrementalSearchBack},
    {vkF3, N, u"Move to next result", kInc, true, I, sedIncrementalSearchForward},
    {vkEscape, N, u"", u"", false, I, sedIncrementalSearchCancel},
    {vkUp, AS, u"Widen sel up by line (block mode)", kBlock, true, V, sedSelectUpBlock},
    {vkDown, AS, u"Widen sel down by line (block mode)", kBlock, true, V, sedSelectDownBlock},
    {vkLeft, AS, u"Widen sel left by char (block mode)", kBlock, true, V, sedSelectLeftBlock},
    {vkLeft, CAS, u"Widen sel left by word (block mode)", kBlock, true, V, sedSelectPrevWordBlock},
    {vkRight, AS, u"Widen sel right by char (block mode)", kBlock, true, V, sedSelectRightBlock},
    {vkRight, CAS, u"Widen sel right by word (block mode)", kBlock, true, V, sedSelectNextWordBlock},
    {vkPrior, AS, u"Widen sel up by page (block mode)", kBlock, true, V, sedSelectPageUpBlock},
    {vkPrior, CAS, u"Widen sel up to page start (block mode)", kBlock, true, V, sedSelectPageHomeBlock},
    {vkNext, AS, u"Widen sel down by page (block mode)", kBlock, true, V, sedSelectPageDownBlock},
    {vkNext, CAS, u"Widen sel up to page end (block mode)", kBlock, true, V, sedSelectPageEndBlock},
    {vkHome, AS, u"Widen sel up to line start (block mode)", kBlock, true, V, sedSelectLineHomeBlock},
    {vkHome, CAS, u"Widen sel up to text start (block mode)", kBlock, true, V, sedSelectTextHomeBlock},
    {vkEnd, AS, u"Widen sel up to line end (block mode)", kBlock, true, V, sedSelectLineEndBlock},
    {vkEnd, CAS, u"Widen sel up to text end (block mode)", kBlock, true, V, sedSelectTextEndBlock},
    // Beyond the listed rows: Ctrl+E, which starts an incremental search, goes on to the next
    // match while one runs.
    {'E', Ct, u"Move to next result", kInc, true, I, sedIncrementalSearchForward},
}};

namespace {

const TDefaultKeyBinding* FirstRowOf(TKivEditCommand ACmd) {
  for (const TDefaultKeyBinding& row : DefaultKeyBindings)
    if (row.Command == ACmd) return &row;
  return nullptr;
}

}  // namespace

// ---- bindings ----

void TKivEditCommandBinding::CheckUnique(TKivShortcut AShortcut, TKivShortcut AShortcut2) const {
  const TKivEditCommandModes modes = FParentItem.Modes();
  const TKivEditCommandList& list = FParentItem.List();
  for (Integer i = 0; i < list.Count(); ++i) {
    const TKivEditCommandItem& item = list.Items(i);
    if ((item.Modes() & modes) == 0) continue;
    const TKivEditCommandBindings& bindings = item.Bindings();
    for (Integer j = 0; j < bindings.Count(); ++j) {
      const TKivEditCommandBinding& other = bindings.Items(j);
      if (&other != this && other.FShortcut == AShortcut && other.FShortcut2 == AShortcut2)
        throw EKivEditViewError(u"Keybindings should be unique in Command items");
    }
  }
}

void TKivEditCommandBinding::SetShortcut(TKivShortcut AValue) {
  if (AValue == FShortcut) return;
  CheckUnique(AValue, FShortcut2);
  FShortcut = AValue;
}

void TKivEditCommandBinding::SetShortcut2(TKivShortcut AValue) {
  if (AValue == FShortcut2) return;
  CheckUnique(FShortcut, AValue);
  FShortcut2 = AValue;
}

void TKivEditCommandBinding::Assign(const TKivEditCommandBinding& ASource) {
  if (&ASource == this) return;
  CheckUnique(ASource.FShortcut, ASource.FShortcut2);
  FShortcut = ASource.FShortcut;
  FShortcut2 = ASource.FShortcut2;
}

TKivEditCommandBinding& TKivEditCommandBindings::Add() {
  FItems.push_back(std::unique_ptr<TKivEditCommandBinding>(new TKivEditCommandBinding(FParentItem)));
  return *FItems.back();
}

TKivEditCommandBinding& TKivEditCommandBindings::Items(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= Count()) throw EInvalidArgument(u"List index out of bounds (%d)", {AIndex});
  return *FItems[static_cast<size_t>(AIndex)];
}

// ---- items ----

void TKivEditCommandItem::SetCommand(TKivEditCommand AValue) {
  if (AValue == FCommand) return;
  if (AValue >= kivEditCommandCount) throw EInvalidArgument(u"Invalid command: %d", {int(AValue)});
  for (Integer i = 0; i < FList.Count(); ++i) {
    const TKivEditCommandItem& other = FList.Items(i);
    if (&other != this && other.FCommand == AValue)
      throw EKivEditViewError(u"Command items in collection should have unique Command property.");
  }
  FCommand = AValue;
}

TKivString TKivEditCommandItem::Description() const {
  const TDefaultKeyBinding* row = FirstRowOf(FCommand);
  return row ? TKivString(row->Descr) : TKivString();
}

TKivString TKivEditCommandItem::Category() const {
  const TDefaultKeyBinding* row = FirstRowOf(FCommand);
  return row ? TKivString(row->Cat) : TKivString();
}

void TKivEditCommandItem::Assign(const TKivEditCommandItem& ASource) {
  if (&ASource == this) return;
  // Everything is checked before anything changes: the source's bindings in its modes against the
  // other items' bindings, and against each other.
  const TKivEditCommand oldCommand = FCommand;
  SetCommand(ASource.FCommand);
  FCommand = oldCommand;
  const auto& src = ASource.FBindings.FItems;
  for (size_t j = 0; j < src.size(); ++j) {
    const TKivShortcut s1 = src[j]->FShortcut, s2 = src[j]->FShortcut2;
    bool clash = false;
    for (size_t k = 0; k < j && !clash; ++k) clash = src[k]->FShortcut == s1 && src[k]->FShortcut2 == s2;
    for (Integer i = 0; i < FList.Count() && !clash; ++i) {
      const TKivEditCommandItem& other = FList.Items(i);
      if (&other == this || (other.FModes & ASource.FModes) == 0) continue;
      for (const auto& b : other.FBindings.FItems)
        clash = clash || (b->FShortcut == s1 && b->FShortcut2 == s2);
    }
    if (clash) throw EKivEditViewError(u"Keybindings should be unique in Command items");
  }
  FCommand = ASource.FCommand;
  FEditable = ASource.FEditable;
  FModes = ASource.FModes;
  FBindings.Clear();
  for (const auto& b : src) {
    TKivEditCommandBinding& copy = FBindings.Add();
    copy.FShortcut = b->FShortcut;
    copy.FShortcut2 = b->FShortcut2;
  }
}

// ---- lists ----

TKivEditCommandItem& TKivEditCommandList::Add() {
  FItems.push_back(std::unique_ptr<TKivEditCommandItem>(new TKivEditCommandItem(*this)));
  return *FItems.back();
}

TKivEditCommandItem& TKivEditCommandList::Items(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= Count()) throw EInvalidArgument(u"List index out of bounds (%d)", {AIndex});
  return *FItems[static_cast<size_t>(AIndex)];
}

void TKivEditCommandList::Assign(const TKivEditCommandList& ASource) {
  if (&ASource == this) return;
  // Built aside and swapped in: a failure leaves the old items.
  TKivEditCommandList copy(FParent);
  for (Integer i = 0; i < ASource.Count(); ++i) {
    const TKivEditCommandItem& src = ASource.Items(i);
    TKivEditCommandItem& item = copy.Add();
    item.SetCommand(src.Command());
    item.SetEditable(src.Editable());
    item.SetModes(src.Modes());
    for (Integer j = 0; j < src.Bindings().Count(); ++j)
      item.Bindings().Add().Assign(src.Bindings().Items(j));
  }
  // The items know their list: move them over one by one into this list.
  FItems.clear();
  for (Integer i = 0; i < copy.Count(); ++i) {
    const TKivEditCommandItem& src = copy.Items(i);
    TKivEditCommandItem& item = Add();
    item.FCommand = src.FCommand;
    item.FEditable = src.FEditable;
    item.FModes = src.FModes;
    for (Integer j = 0; j < src.Bindings().Count(); ++j) {
      TKivEditCommandBinding& b = item.Bindings().Add();
      b.FShortcut = src.Bindings().Items(j).Shortcut();
      b.FShortcut2 = src.Bindings().Items(j).Shortcut2();
    }
  }
}

TKivEditCommandBinding* TKivEditCommandList::FindBinding(TKivShortcut AShortcut,
                                                         TKivEditCommandModes AModes) const {
  for (const auto& item : FItems) {
    if ((item->FModes & AModes) == 0) continue;
    for (const auto& b : item->FBindings.FItems)
      if (b->FShortcut == AShortcut) return b.get();
  }
  return nullptr;
}

TKivEditCommandBinding* TKivEditCommandList::FindBinding(TKivShortcut AShortcut, TKivShortcut AShortcut2,
                                                         TKivEditCommandModes AModes) const {
  for (const auto& item : FItems) {
    if ((item->FModes & AModes) == 0) continue;
    for (const auto& b : item->FBindings.FItems)
      if (b->FShortcut == AShortcut && b->FShortcut2 == AShortcut2) return b.get();
  }
  return nullptr;
}

TKivEditCommandBinding* TKivEditCommandList::FindBinding(uint16_t AKey, TKivShiftState AShift,
                                                         TKivEditCommandModes AModes) const {
  return FindBinding(KivShortcut(AKey, AShift), AModes);
}

TKivEditCommandBinding* TKivEditCommandList::FindBinding(uint16_t AKey, TKivShiftState AShift, uint16_t AKey2,
                                                         TKivShiftState AShift2,
                                                         TKivEditCommandModes AModes) const {
  return FindBinding(KivShortcut(AKey, AShift), KivShortcut(AKey2, AShift2), AModes);
}

TKivEditCommandItem* TKivEditCommandList::FindCommand(TKivEditCommand ACmd) const {
  for (const auto& item : FItems)
    if (item->FCommand == ACmd) return item.get();
  return nullptr;
}

void TKivEditCommandList::FillDefaults() {
  FItems.clear();
  for (const TDefaultKeyBinding& row : DefaultKeyBindings) {
    TKivEditCommandItem* item = FindCommand(row.Command);
    if (!item) {
      item = &Add();
      item->FCommand = row.Command;
    }
    item->FEditable = row.Editable;
    item->FModes |= row.Modes;
    item->FBindings.Add().FShortcut = KivShortcut(row.Key, row.Shift);
  }
  // Shift+Enter breaks the line and Shift+Tab unindents, as most editors do.
  FindCommand(sedNewLine)->FBindings.Add().FShortcut = KivShortcut(vkReturn, ssShift);
  FindCommand(sedUnIndent)->FBindings.Add().FShortcut = KivShortcut(vkTab, ssShift);
  // Tab takes the selected completion like Enter.
  FindCommand(sedCompletionCommit)->FBindings.Add().FShortcut = KivShortcut(vkTab, ssEmpty);
}

// ---- completion separators ----

TKivString KivCompletionSeparators(const TKivString& AWordSeps, const TKivString& ADocFullWordSeps) {
  if (!AWordSeps.empty()) return AWordSeps + u" \t\r\n";
  return ADocFullWordSeps + u"{}()[],./?'\":;\\|*&%^$#@! \t";
}
