// The view's command machinery: key strokes to commands, typed characters, InvokeCommand with its
// completion classes, and the dispatch of each command to the view's operations.
#include "internal/ViewCommands.h"

#include <algorithm>

#include "internal/CursorUndoInfo.h"
#include "KivSedCompletion.h"
#include "internal/ScreenCache.h"
#include "internal/EditViewSearch.h"

namespace {

constexpr bool IsHighSurrogate(Char C) {
  return C >= 0xD800 && C <= 0xDBFF;
}
constexpr bool IsLowSurrogate(Char C) {
  return C >= 0xDC00 && C <= 0xDFFF;
}

bool IsVerticalMove(TKivEditCommand C) {
  switch (C) {
    case sedUp:
    case sedDown:
    case sedPageUp:
    case sedPageDown:
    case sedPageHome:
    case sedPageEnd:
    case sedScrollUp:
    case sedScrollDown:
    case sedSelectUp:
    case sedSelectDown:
    case sedSelectPageUp:
    case sedSelectPageDown:
    case sedSelectPageHome:
    case sedSelectPageEnd:
    case sedSelectUpBlock:
    case sedSelectDownBlock:
    case sedSelectPageUpBlock:
    case sedSelectPageDownBlock:
    case sedSelectPageHomeBlock:
    case sedSelectPageEndBlock:
      return true;
    default:
      return false;
  }
}

void CheckCommand(TKivEditCommand ACommand) {
  if (ACommand >= kivEditCommandCount) throw EInvalidArgument(u"Invalid command: %d", {int(ACommand)});
}

}  // namespace

TColumnRule CommandColumnRule(TKivEditCommand ACommand) {
  if (IsVerticalMove(ACommand)) return crApply;
  if (ACommand == sedStr || (ACommand >= sedSelectAll && ACommand <= sedIncrementalSearchStart) ||
      ACommand == sedIncrementalSearchCancel)
    return crKeep;
  return crRemember;
}

TViewCommands::TViewCommands(TKivEditViewCore& AView) : FView(AView), FDefault(AView), FCustom(AView) {
  FDefault.FillDefaults();
}

TKivEditCommandMode TViewCommands::Mode() const {
  if (FView.InState(siIncrementalSearch)) return cmForIncSearch;
  if (FView.InState(siComplListShown)) return cmForCompletion;
  return cmForView;
}

TKivString TViewCommands::CompletionSeparators() const {
  return KivCompletionSeparators(ComplWordSeparators, FView.WorkingDocument().FullWordSeparators());
}

// ---- key down ----

bool TViewCommands::KeyDown(TKivEditViewCore& AView, uint16_t AShortcut) {
  if (AView.InState(siDestroing)) return true;
  AView.BeginUpdate();
  bool consumed;
  try {
    consumed = DoKeyDown(KivShortcutKey(AShortcut), KivShortcutShift(AShortcut));
  } catch (...) {
    AView.EndUpdate();
    throw;
  }
  AView.EndUpdate();
  return consumed;
}

bool TViewCommands::DoKeyDown(uint16_t AKey, TKivShiftState AShift) {
  if (FView.OnKeyDown) FView.OnKeyDown(FView, AKey, AShift);
  FIgnoreKeyPress = true;
  // A modifier pressed alone neither matches nor drops a pending first stroke.
  if (KivIsModifierKey(AKey)) return true;
  const bool ctrl = KivHasShift(AShift, ssCtrl);
  const bool alt = KivHasShift(AShift, ssAlt);
  // Ctrl+Alt is AltGr on some platforms: its characters reach the text.
  if (ctrl && alt && !(AKey >= 1 && AKey <= 27) && !(AKey >= 33 && AKey <= 47)) {
    FIgnoreKeyPress = false;
    return false;
  }
  const TKivEditCommandModes modes = KivModes(Mode());
  const TKivShortcut shortcut = KivShortcut(AKey, AShift);
  if (FPressedShortcut != 0) {
    // The second stroke: whatever it is, the pending one goes and the key is consumed.
    const TKivShortcut first = FPressedShortcut;
    const bool fromDefault = FPressedShortcutDefault;
    FPressedShortcut = 0;
    if (AKey != vkEscape && AKey != 0) SecondStroke(first, fromDefault, shortcut, modes);
    return true;
  }
  const bool handled = AKey != 0 && FirstStroke(shortcut, modes);
  // A first stroke now pending is not typed either.
  FIgnoreKeyPress = handled || FPressedShortcut != 0 || ctrl || alt;
  return FIgnoreKeyPress;
}

bool TViewCommands::FirstStroke(TKivShortcut AShortcut, TKivEditCommandModes AModes) {
  if (const TKivEditCommandBinding* b = FCustom.FindBinding(AShortcut, AModes)) {
    if (b->Shortcut2() != 0) {
      FPressedShortcut = AShortcut;
      FPressedShortcutDefault = false;
      return false;
    }
    Invoke(b->ParentItem().Command(), std::nullopt, true);
    return true;
  }
  if (const TKivEditCommandBinding* b = FDefault.FindBinding(AShortcut, AModes)) {
    if (b->Shortcut2() != 0) {
      FPressedShortcut = AShortcut;
      FPressedShortcutDefault = true;
      return false;
    }
    return RunDefault(b->ParentItem().Command());
  }
  return false;
}

void TViewCommands::SecondStroke(TKivShortcut AFirst, bool AFromDefault, TKivShortcut AShortcut,
                                 TKivEditCommandModes AModes) {
  if (!AFromDefault) {
    if (const TKivEditCommandBinding* b = FCustom.FindBinding(AFirst, AShortcut, AModes)) {
      Invoke(b->ParentItem().Command(), std::nullopt, true);
      return;
    }
  }
  if (const TKivEditCommandBinding* b = FDefault.FindBinding(AFirst, AShortcut, AModes))
    RunDefault(b->ParentItem().Command());
}

bool TViewCommands::RunDefault(TKivEditCommand ACommand) {
  // A custom item for the command disables all its default bindings.
  if (FCustom.FindCommand(ACommand)) return false;
  Invoke(ACommand, std::nullopt, true);
  return true;
}

bool TViewCommands::WantsKey(TKivEditViewCore& AView, uint16_t AShortcut) {
  if (AView.InState(siDestroing)) return false;
  const uint16_t key = KivShortcutKey(AShortcut);
  if (KivIsModifierKey(key)) return false;
  if (FPressedShortcut != 0) return true;
  if (key == 0) return false;
  const TKivEditCommandModes modes = KivModes(Mode());
  if (FCustom.FindBinding(AShortcut, modes)) return true;
  const TKivEditCommandBinding* b = FDefault.FindBinding(AShortcut, modes);
  return b && (b->Shortcut2() != 0 || !FCustom.FindCommand(b->ParentItem().Command()));
}

// ---- typed characters ----

void TViewCommands::KeyPressW(TKivEditViewCore& AView, Char AKey) {
  if (AView.InState(siDestroing)) return;
  if (FIgnoreKeyPress) {
    // The key-down consumed the key.
    FIgnoreKeyPress = false;
    FPendingLead = 0;
    return;
  }
  TypeUnit(AKey);
}

void TViewCommands::CommitText(TKivEditViewCore& AView, TKivStringView AText) {
  if (AView.InState(siDestroing) || AText.empty()) return;
  AView.BeginUpdate();
  try {
    for (const Char c : AText) TypeUnit(c);
  } catch (...) {
    FPendingLead = 0;
    AView.EndUpdate();
    throw;
  }
  AView.EndUpdate();
}

void TViewCommands::TypeUnit(Char AUnit) {
  // A character outside the basic plane is one character of two units: never typed by halves.
  if (IsHighSurrogate(AUnit)) {
    FPendingLead = AUnit;
    return;
  }
  if (IsLowSurrogate(AUnit)) {
    if (FPendingLead == 0) return;
    const Char lead = FPendingLead;
    FPendingLead = 0;
    TypeChar(TKivString{lead, AUnit});
    return;
  }
  FPendingLead = 0;
  TypeChar(TKivString(1, AUnit));
}

void TViewCommands::TypeChar(TKivString AText) {
  Char key = AText[0];
  if (FView.OnKeyPressW) {
    FView.OnKeyPressW(FView, key);
    if (key != AText[0]) AText.assign(1, key);
  }
  if (key < 32 || key == 127) return;
  Invoke(FView.InState(siIncrementalSearch) ? sedIncrementalSearchAddChar : sedChar, std::move(AText), true);
}

// ---- InvokeCommand ----

Char TViewCommands::CharAt(Integer AOffset) const {
  const TKivEditDocument& doc = FView.WorkingDocument();
  if (AOffset < 0 || AOffset >= doc.CharsCount()) return u' ';
  Char c = u' ';
  doc.CopyChars(AOffset, 1, &c);
  return c;
}

bool TViewCommands::IsSeparator(Char AChar, const TKivString& ASeps) const {
  return ASeps.find(AChar) != TKivString::npos;
}

void TViewCommands::Invoke(TKivEditCommand ACommand, TKivCommandArg AArg, bool AllowCommandEvents) {
  CheckCommand(ACommand);
  if (FView.InState(siDestroing)) return;
  bool allow = true;
  if (AllowCommandEvents && FView.OnBeforeCommand) {
    FView.OnBeforeCommand(FView, ACommand, AArg, allow);
    if (!allow) return;
    CheckCommand(ACommand);
  }
  const bool canModify = FView.Document() != nullptr && !FView.IsReadOnly();
  const bool overwrite = (FView.ViewSettings() & vsOverwrite) != 0;
  FView.BeginUpdate();
  try {
    Classified(ACommand, AArg, canModify, overwrite);
  } catch (...) {
    FView.EndUpdate();
    throw;
  }
  FView.EndUpdate();
  if (AllowCommandEvents && FView.OnAfterCommand) FView.OnAfterCommand(FView, ACommand, AArg);
}

void TViewCommands::Classified(TKivEditCommand ACommand, const TKivCommandArg& AArg, bool ACanModify,
                               bool AOverwrite) {
  const TKivString seps = CompletionSeparators();
  const auto around = [&](Char& ABefore, Char& AAt) {
    const Integer offset = FView.CursorOffset();
    ABefore = CharAt(offset - 1);
    AAt = CharAt(offset);
  };
  Char before, at;
  around(before, at);
  const Char typed = ACommand == sedChar && AArg && !AArg->empty() ? (*AArg)[0] : Char(0);
  const bool wordChar = typed != 0 && !IsSeparator(typed, seps);
  const bool endChar = (typed != 0 && IsSeparator(typed, seps)) || ACommand == sedNewLine ||
                       ACommand == sedTab || ACommand == sedTabOrIndent;
  const bool inIncSearch = FView.InState(siIncrementalSearch);
  const bool listShown = FView.InState(siComplListShown);

  TCommandClass cls;
  if (ComplDisabled) {
    cls = ccDisabled;
  } else if (IsSeparator(before, seps) && IsSeparator(at, seps) && wordChar) {
    FView.EnterState(siComplWordTyping);
    cls = listShown ? ccList : ccPlain;
  } else if (listShown) {
    cls = ccList;
  } else if (endChar && FView.InState(siComplWordTyping)) {
    cls = ccWordEnd;
  } else {
    cls = ccPlain;
  }
  FLastClass = cls;

  const bool modesLock = inIncSearch || wordChar || ACommand == sedUndo || ACommand == sedDeletePrevChar ||
                         ACommand == sedBackspaceOrUnindent;
  switch (cls) {
    case ccDisabled:
      Execute(ACommand, AArg, inIncSearch, ACanModify, AOverwrite);
      break;
    case ccPlain: {
      Execute(ACommand, AArg, modesLock, ACanModify, AOverwrite);
      around(before, at);
      if (!IsSeparator(before, seps) && IsSeparator(at, seps) && wordChar && ShowCompletionOnTimeout) {
        FView.EnterState(siComplTimer);
        StartCompletionTimer();
      } else {
        FView.ExitState(siComplTimer);
      }
      break;
    }
    case ccList: {
      // The list stays while the command's own changes happen: the lock is held.
      switch (ACommand) {
        case sedChar:
          if (typed != 0 && !wordChar) {
            CommitCompletion();
            Execute(ACommand, AArg, true, ACanModify, AOverwrite);
          } else if (wordChar) {
            Execute(ACommand, AArg, true, ACanModify, AOverwrite);
            RefillCompletion();
          }
          break;
        case sedCompletionUp:
        case sedCompletionPgUp:
        case sedCompletionDown:
        case sedCompletionPgDown:
        case sedCompletionHome:
        case sedCompletionEnd:
          MoveCompletionSelection(ACommand);
          break;
        case sedCompletionCommit:
          CommitCompletion();
          FView.ExitState(siComplWordTyping);
          break;
        case sedCompletionCancel:
          FView.ExitStates(siComplListShown | siComplTimer);
          break;
        case sedCompletionBack:
          Execute(sedDeletePrevChar, AArg, true, ACanModify, AOverwrite);
          RefillCompletion();
          break;
        case sedCompletionLeft:
        case sedCompletionRight:
          Execute(ACommand == sedCompletionLeft ? sedLeft : sedRight, AArg, true, ACanModify, AOverwrite);
          RefillCompletion();
          FView.ExitState(siComplWordTyping);
          break;
        default:  // nothing else runs while the list is shown
          break;
      }
      around(before, at);
      if (!(wordChar && !IsSeparator(before, seps) && IsSeparator(at, seps)))
        FView.ExitState(siComplWordTyping);
      break;
    }
    case ccWordEnd: {
      // The finished word, its completion and the end character are one undo step.
      TKivEditDocument* doc = ACanModify ? FView.Document() : nullptr;
      if (doc) {
        TKivDocUndoInfoPtr info;
        if (!doc->InsideCompoundEdit())
          info = std::make_unique<TCursorUndoInfo>(FView.FScreenCache->CursorOffset(),
                                                   FView.InState(siComplWordTyping));
        doc->Internal().BeginCompoundAction(FView.AuthorID(), std::move(info), false);
      }
      try {
        ShowCompletion(true, true);
        Execute(ACommand, AArg, false, ACanModify, AOverwrite);
      } catch (...) {
        if (doc) doc->EndCompoundEdit(false);
        FView.ExitStates(siComplListShown | siComplTimer | siComplWordTyping);
        throw;
      }
      if (doc) doc->EndCompoundEdit(false);
      FView.ExitStates(siComplListShown | siComplTimer | siComplWordTyping);
      break;
    }
  }
}

// ---- ExecuteCommand ----

void TViewCommands::Execute(TKivEditCommand ACommand, const TKivCommandArg& AArg, bool AModesLock,
                            bool ACanModify, bool AOverwrite) {
  if (AModesLock) FView.LockCmdModes();
  try {
    if (FView.InState(siIncrementalSearch) && ACommand != sedNewLine &&
        !(ACommand >= sedIncrementalSearchStart && ACommand <= sedIncrementalSearchCancel))
      FView.ExitState(siIncrementalSearch);
    Dispatch(ACommand, AArg, ACanModify, AOverwrite);
    switch (CommandColumnRule(ACommand)) {
      case crApply:
        ApplyRememberedColumn();
        break;
      case crRemember:
        RememberCursorColumn();
        break;
      case crKeep:
        break;
    }
  } catch (...) {
    if (AModesLock) FView.UnlockCmdModes();
    throw;
  }
  if (AModesLock) FView.UnlockCmdModes();
}

void TViewCommands::Dispatch(TKivEditCommand ACommand, const TKivCommandArg& AArg, bool ACanModify,
                             bool AOverwrite) {
  // Commands that change the text are refused (a beep) on a read-only view or without a document.
  const auto modifying = [&](auto&& AFn) {
    if (!ACanModify)
      FView.Beep();
    else
      AFn();
  };
  switch (ACommand) {
    case sedUndo:
      modifying([&] { FView.Undo(); });
      return;
    case sedRedo:
      modifying([&] { FView.Redo(); });
      return;
    case sedCut:
      modifying([&] { FView.CutSelection(); });
      return;
    case sedPaste:
      modifying([&] { FView.Paste(); });
      return;
    case sedCopy:
      if (!FView.Document())
        FView.Beep();
      else
        FView.CopySelection();
      return;
    case sedSelectAll:
      FView.SelectAll();
      return;
    case sedScrollUp:
      ScrollLines(-1);
      return;
    case sedScrollDown:
      ScrollLines(1);
      return;
    case sedToggleOverwrite: {
      const TKivViewSettings s = FView.ViewSettings();
      FView.SetViewSettings(AOverwrite ? TKivViewSettings(s & ~vsOverwrite)
                                       : TKivViewSettings(s | vsOverwrite));
      return;
    }
    case sedDeletePrevChar:
    case sedDeleteChar:
    case sedDeletePrevWord:
    case sedDeleteWord:
    case sedDeleteLine:
    case sedDeleteToLineEnd:
    case sedDeleteToLineWrap:
    case sedTab:
    case sedIndent:
    case sedUnIndent:
    case sedIndentToPrevIndent:
    case sedUnIndentToPrevIndent:
    case sedChar:
    case sedStr:
      modifying([&] { Edit(ACommand, AArg, AOverwrite); });
      return;
    case sedNewLine:
      if (FView.InState(siIncrementalSearch)) {
        FView.ExitState(siIncrementalSearch);
        return;
      }
      modifying([&] { Edit(ACommand, AArg, AOverwrite); });
      return;
    case sedBackspaceOrUnindent:
      modifying([&] {
        if (!(FView.ViewSettings() & vsBackspaceUnindents) || !FView.BackspaceUnindent())
          Invoke(sedDeletePrevChar, AArg, false);
      });
      return;
    case sedTabOrIndent:
      modifying([&] {
        if (!(FView.ViewSettings() & vsAutoIndent) || !FView.TabIndent(AOverwrite)) Invoke(sedTab, AArg, false);
      });
      return;
    case sedCompletionShow:
      FView.CheckState(siIncrementalSearch, false);
      ShowCompletion(false, true);
      return;
    case sedCompletionUp:
    case sedCompletionDown:
    case sedCompletionCommit:
    case sedCompletionCancel:
    case sedCompletionBack:
    case sedCompletionLeft:
    case sedCompletionRight:
    case sedCompletionPgUp:
    case sedCompletionPgDown:
    case sedCompletionHome:
    case sedCompletionEnd:
      FView.CheckState(siIncrementalSearch, false);
      FView.CheckState(siComplListShown, true);
      return;
    case sedIncrementalSearchStart:
      FView.CheckState(siComplListShown, false);
      FView.CheckState(siIncrementalSearch, false);
      FView.EnterState(siIncrementalSearch);
      return;
    case sedIncrementalSearchAddChar:
    case sedIncrementalSearchBack:
    case sedIncrementalSearchForward:
      FView.CheckState(siComplListShown, false);
      FView.CheckState(siIncrementalSearch, true);
      if (ACommand == sedIncrementalSearchAddChar) {
        if (AArg) FView.FSearch->IncAddChars(*AArg);
      } else if (ACommand == sedIncrementalSearchBack) {
        FView.FSearch->IncBack();
      } else {
        FView.FSearch->IncForward();
      }
      return;
    case sedIncrementalSearchCancel:
      FView.ExitState(siIncrementalSearch);
      return;
    case sedPageUp:
    case sedPageDown:
    case sedPageHome:
    case sedPageEnd:
    case sedSelectPageUp:
    case sedSelectPageDown:
    case sedSelectPageHome:
    case sedSelectPageEnd:
    case sedSelectPageUpBlock:
    case sedSelectPageDownBlock:
    case sedSelectPageHomeBlock:
    case sedSelectPageEndBlock:
      PageMove(ACommand);
      return;
    case sedSelectNone:
      FView.CancelSelection();
      return;
    default:
      // The other cursor movements and their selecting forms.
      MoveCursor(ACommand);
      return;
  }
}

// ---- editing ----

void TViewCommands::Edit(TKivEditCommand ACommand, const TKivCommandArg& AArg, bool AOverwrite) {
  TKivEditViewCore& v = FView;
  switch (ACommand) {
    case sedDeletePrevChar:
    case sedDeleteChar:
    case sedDeletePrevWord:
    case sedDeleteWord:
      if (v.SelAvail()) {
        v.DeleteSelected();
        return;
      }
      if (ACommand == sedDeletePrevChar) v.DeleteCharLeft();
      if (ACommand == sedDeleteChar) v.DeleteCharRight();
      if (ACommand == sedDeletePrevWord) v.DeleteWordLeft();
      if (ACommand == sedDeleteWord) v.DeleteWordRight();
      return;
    case sedDeleteLine:
      v.DeleteLine();
      return;
    case sedDeleteToLineEnd:
      v.DeleteToLineEnd();
      return;
    case sedDeleteToLineWrap:
      v.DeleteToLineWrap();
      return;
    case sedTab: {
      // Tab over a selection of several lines indents them instead of replacing them.
      const TKivEditDocument& doc = v.WorkingDocument();
      if (v.SelAvail() && doc.GetLineByOffset(v.SelectionOffsetStart()) != doc.GetLineByOffset(v.SelectionOffsetEnd()))
        v.IndentSelection(false);
      else
        v.InsertTabAtCursor(AOverwrite);
      return;
    }
    case sedIndent:
    case sedIndentToPrevIndent:
      v.IndentSelection(ACommand == sedIndentToPrevIndent);
      return;
    case sedUnIndent:
    case sedUnIndentToPrevIndent:
      v.UnindentSelection(ACommand == sedUnIndentToPrevIndent);
      return;
    case sedChar:
      if (AArg && !AArg->empty()) {
        // A character outside the basic plane comes as its two units.
        if (AArg->size() == 2 && AArg->at(0) >= 0xD800 && AArg->at(0) <= 0xDBFF)
          v.InsertAtCursor(*AArg, AOverwrite);
        else
          v.InsertCharAtCursor((*AArg)[0], 1, AOverwrite);
      }
      return;
    case sedStr:
      if (AArg && !AArg->empty()) v.InsertAtCursor(*AArg, AOverwrite);
      return;
    case sedNewLine:
      if (v.SelAvail()) {
        // Replacing the selection by a line break is one undo step.
        TKivViewCompoundEdit compound(v);
        v.DeleteSelected();
        v.InsertReturnAtCursor(AOverwrite);
      } else {
        v.InsertReturnAtCursor(AOverwrite);
      }
      return;
    default:
      Unwired();
      return;
  }
}

// ---- operations of other parts of the view ----

void TViewCommands::Unwired() {
  // Not available in this view yet: refused like a command that cannot run.
  FView.Beep();
}

namespace {

// A movement command: the view's movement, and its selecting and block forms.
struct TMoveForm {
  void (TKivEditViewCore::*Move)(bool, bool);
  bool WithSelect;
  bool Block;
};

bool MoveFormOf(TKivEditCommand ACommand, TMoveForm& AForm) {
  struct TRow {
    TKivEditCommand Plain, Select, SelectBlock;
    void (TKivEditViewCore::*Move)(bool, bool);
  };
  static constexpr TRow kRows[] = {
      {sedLeft, sedSelectLeft, sedSelectLeftBlock, &TKivEditViewCore::MoveToPrevChar},
      {sedRight, sedSelectRight, sedSelectRightBlock, &TKivEditViewCore::MoveToNextChar},
      {sedUp, sedSelectUp, sedSelectUpBlock, &TKivEditViewCore::MoveToPrevLine},
      {sedDown, sedSelectDown, sedSelectDownBlock, &TKivEditViewCore::MoveToNextLine},
      {sedPrevWord, sedSelectPrevWord, sedSelectPrevWordBlock, &TKivEditViewCore::MoveToPrevWord},
      {sedNextWord, sedSelectNextWord, sedSelectNextWordBlock, &TKivEditViewCore::MoveToNextWord},
      {sedLineHome, sedSelectLineHome, sedSelectLineHomeBlock, &TKivEditViewCore::MoveToLineStart},
      {sedLineEnd, sedSelectLineEnd, sedSelectLineEndBlock, &TKivEditViewCore::MoveToLineEnd},
      {sedTextHome, sedSelectTextHome, sedSelectTextHomeBlock, &TKivEditViewCore::MoveToTextStart},
      {sedTextEnd, sedSelectTextEnd, sedSelectTextEndBlock, &TKivEditViewCore::MoveToTextEnd},
      {sedPageUp, sedSelectPageUp, sedSelectPageUpBlock, &TKivEditViewCore::MoveToPrevPage},
      {sedPageDown, sedSelectPageDown, sedSelectPageDownBlock, &TKivEditViewCore::MoveToNextPage},
      {sedPageHome, sedSelectPageHome, sedSelectPageHomeBlock, &TKivEditViewCore::MoveToFirstScreenLine},
      {sedPageEnd, sedSelectPageEnd, sedSelectPageEndBlock, &TKivEditViewCore::MoveToLastScreenLine},
  };
  for (const TRow& row : kRows) {
    if (ACommand == row.Plain || ACommand == row.Select || ACommand == row.SelectBlock) {
      AForm = {row.Move, ACommand != row.Plain, ACommand == row.SelectBlock};
      return true;
    }
  }
  return false;
}

}  // namespace

void TViewCommands::MoveCursor(TKivEditCommand ACommand) {
  TMoveForm form{};
  if (!MoveFormOf(ACommand, form)) {
    Unwired();
    return;
  }
  (FView.*form.Move)(form.WithSelect, form.Block);
}

void TViewCommands::PageMove(TKivEditCommand ACommand) {
  // A page up or down moves cursor and window together; to the first or last line on screen
  // keeps the column.
  MoveCursor(ACommand);
}

void TViewCommands::ScrollLines(Integer ADelta) {
  // The window by one row, the cursor kept on screen; the view beeps at either end.
  if (!FView.Document()) return;
  if (ADelta < 0)
    FView.ScrollUp();
  else
    FView.ScrollDown();
}

void TViewCommands::ShowCompletion(bool AWordEnd, bool AAllowSingleCommit) {
  FView.Completion().Show(AWordEnd ? fcWordEnd : fcForced, AAllowSingleCommit);
}

void TViewCommands::CommitCompletion() {
  FView.Completion().Commit(FView.CursorPos(), false);
}

void TViewCommands::RefillCompletion() {
  FView.Completion().Show(fcForced, false);
}

void TViewCommands::MoveCompletionSelection(TKivEditCommand ACommand) {
  FView.Completion().MoveSelection(ACommand);
}

void TViewCommands::StartCompletionTimer() {
  FView.Completion().StartTimer();
}

void TViewCommands::ApplyRememberedColumn() {
  FView.ApplyRememberedColumn();
}

void TViewCommands::RememberCursorColumn() {
  FView.RememberCursorColumn();
}

// ---- the view's side ----

void TKivEditViewCore::InvokeCommand(TKivEditCommand ACommand, const TKivCommandArg& AArg,
                                     bool AllowCommandEvents) {
  FCommands->Invoke(ACommand, AArg, AllowCommandEvents);
}

const TKivEditCommandList& TKivEditViewCore::GetDefaultKeyBindings() const {
  return FCommands->DefaultList();
}

TKivEditCommandList& TKivEditViewCore::CustomKeyBindings() const {
  return FCommands->CustomList();
}

void TKivEditViewCore::SetCustomKeyBindings(const TKivEditCommandList& AValue) {
  FCommands->CustomList().Assign(AValue);
}

void TKivEditViewCore::Beep() {
  if (!InState(siDestroing)) FHost.Beep();
}
