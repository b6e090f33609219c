// The editing commands' working parts: changes by cells (a tab split into spaces, the empty space
// past a line end filled), one undo step for several changes, and the targets of deletions.
#pragma once

#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"

bool KivIsBlank(Char C);
// The character at AOffset, 0 outside the text.
Char KivCharAt(const TKivEditDocument& ADoc, Integer AOffset);
// The first character in [AStart, AEnd) that is neither space nor tab, or -1.
Integer KivFirstNonBlankIn(const TKivEditDocument& ADoc, Integer AStart, Integer AEnd);

class TViewEditing {
 public:
  explicit TViewEditing(TKivEditViewCore& AView) : FView(AView) {}

  // Replaces the cells from AStart to AEnd (ordered) by AStr: cells of a character before the
  // start (or of the empty space past the line end) become spaces before AStr, those of a
  // character the end lies inside spaces after it. With ARemember the change carries the
  // cursor. Returns the offset after AStr; APaddedStart receives where AStr begins.
  Integer ReplaceCells(TOffsetPoint AStart, TOffsetPoint AEnd, TKivStringView AStr, bool ARemember,
                       Integer* APaddedStart = nullptr);
  // The cells of the character at AOffset on its line.
  Integer CharCells(Integer AOffset);
  // The cursor at APoint (made visible), the selection cancelled.
  void PlaceCursor(TOffsetPoint APoint);
  void CancelSelection();
  bool LastRowOfLine(Integer ARow);
  TOffsetPoint RowStart(Integer ARow);
  // An undo step that changes nothing but puts the cursor back.
  void PushCursorStep();
  // The target of a deletion by one character or word from the cursor; false when there is none.
  bool StepTarget(bool AForward, bool AWord, TOffsetPoint& ATarget);

 private:
  TKivEditViewCore& FView;
};
