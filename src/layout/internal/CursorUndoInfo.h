// The cursor a view hands to an undoable change, so that undo and redo can put it back.
#pragma once

#include "KivSedUndo.h"
#include "internal/ScreenCache.h"

class TCursorUndoInfo : public TKivDocUndoInfo {
 public:
  TCursorUndoInfo(TOffsetPoint AOffPt, bool AWordTyping) : OffPt(AOffPt), WordTyping(AWordTyping) {}
  std::unique_ptr<TKivDocUndoInfo> Clone() const override {
    return std::make_unique<TCursorUndoInfo>(OffPt, WordTyping);
  }

  TOffsetPoint OffPt;
  // The user was typing a word (completion may follow).
  bool WordTyping;
};
