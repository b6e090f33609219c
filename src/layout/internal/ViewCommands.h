// A view's command machinery: its default and custom command lists, the key-down algorithm with
// its pending first stroke, the typed-character path, InvokeCommand's completion classes and the
// dispatch of every command to the view's operations. Installed as the command hooks of every
// view.
#pragma once

#include "KivSedCommands.h"
#include "KivSedViewCore.h"

// What a command does to the remembered pixel column of the cursor afterwards.
enum TColumnRule : uint8_t { crApply, crKeep, crRemember };
TColumnRule CommandColumnRule(TKivEditCommand ACommand);

// How InvokeCommand runs a command with respect to completion: plain, list shown, word finished,
// completion disabled.
enum TCommandClass : uint8_t { ccPlain, ccList, ccWordEnd, ccDisabled };

class TViewCommands : public IKivViewCommandHooks {
 public:
  explicit TViewCommands(TKivEditViewCore& AView);

  TKivEditCommandList& DefaultList() { return FDefault; }
  TKivEditCommandList& CustomList() { return FCustom; }

  // IKivViewCommandHooks
  bool KeyDown(TKivEditViewCore& AView, uint16_t AShortcut) override;
  void KeyPressW(TKivEditViewCore& AView, Char AKey) override;
  void CommitText(TKivEditViewCore& AView, TKivStringView AText) override;
  bool WantsKey(TKivEditViewCore& AView, uint16_t AShortcut) override;

  void Invoke(TKivEditCommand ACommand, TKivCommandArg AArg, bool AllowCommandEvents);

  // The view's mode for the key bindings.
  TKivEditCommandMode Mode() const;
  TKivShortcut PressedShortcut() const { return FPressedShortcut; }
  bool IgnoreKeyPress() const { return FIgnoreKeyPress; }
  // The class the last InvokeCommand ran its command in.
  TCommandClass LastClass() const { return FLastClass; }

  // Completion settings as far as the command classification reads them.
  TKivString ComplWordSeparators;
  bool ComplDisabled = false;
  bool ShowCompletionOnTimeout = true;
  TKivString CompletionSeparators() const;

 private:
  bool DoKeyDown(uint16_t AKey, TKivShiftState AShift);
  // Returns whether a command ran.
  bool FirstStroke(TKivShortcut AShortcut, TKivEditCommandModes AModes);
  void SecondStroke(TKivShortcut AFirst, bool AFromDefault, TKivShortcut AShortcut,
                    TKivEditCommandModes AModes);
  bool RunDefault(TKivEditCommand ACommand);
  void TypeUnit(Char AUnit);
  void TypeChar(TKivString AText);

  void Classified(TKivEditCommand ACommand, const TKivCommandArg& AArg, bool ACanModify, bool AOverwrite);
  void Execute(TKivEditCommand ACommand, const TKivCommandArg& AArg, bool AModesLock, bool ACanModify,
               bool AOverwrite);
  void Dispatch(TKivEditCommand ACommand, const TKivCommandArg& AArg, bool ACanModify, bool AOverwrite);
  bool IsSeparator(Char AChar, const TKivString& ASeps) const;
  Char CharAt(Integer AOffset) const;

  // The editing commands (ViewEditing.cpp, ViewIndent.cpp).
  void Edit(TKivEditCommand ACommand, const TKivCommandArg& AArg, bool AOverwrite);
  // Operations that other parts of the view provide; each is one place to wire.
  void Unwired();
  // sedLeft ... sedTextEnd and the selecting forms, but for the page moves.
  void MoveCursor(TKivEditCommand ACommand);
  // sedPageUp, sedPageDown, sedPageHome, sedPageEnd and their selecting forms.
  void PageMove(TKivEditCommand ACommand);
  // sedScrollUp and sedScrollDown: the window by ADelta lines.
  void ScrollLines(Integer ADelta);
  void ShowCompletion(bool AWordEnd, bool AAllowSingleCommit);
  void CommitCompletion();
  void RefillCompletion();
  void MoveCompletionSelection(TKivEditCommand ACommand);
  void StartCompletionTimer();
  void ApplyRememberedColumn();
  void RememberCursorColumn();

  TKivEditViewCore& FView;
  TKivEditCommandList FDefault;
  TKivEditCommandList FCustom;
  TKivShortcut FPressedShortcut = 0;
  bool FPressedShortcutDefault = false;
  bool FIgnoreKeyPress = false;
  Char FPendingLead = 0;
  TCommandClass FLastClass = ccPlain;
};
