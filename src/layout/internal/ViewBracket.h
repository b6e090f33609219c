// The view core's plain bracket around an operation, for the files that implement its
// operations.
#pragma once

#include "KivSedViewCore.h"

template <class F>
void TKivEditViewCore::InBracket(TKivEditInternalStates AStates, F&& AFn, bool AFullRepaint) {
  BeginUpdate();
  try {
    ExitStatesUnlessLocked(AStates);
    AFn();
  } catch (...) {
    EndUpdate(AFullRepaint);
    throw;
  }
  EndUpdate(AFullRepaint);
}
