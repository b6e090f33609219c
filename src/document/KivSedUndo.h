// State that an editing client attaches to undo steps (a view's cursor and selection).
//
// The undo history owns every info object it is given. When a step is undone or redone the
// history hands back a clone of the info recorded with it and stores the caller's new info
// with the inverse step, so that each view can restore its own cursor.
#pragma once

#include <memory>

class TKivDocUndoInfo {
 public:
  virtual ~TKivDocUndoInfo() = default;

  // Called when a custom step with ANewInfo is recorded on top of a step carrying this info;
  // returning true absorbs the new step into the old one (the new info is then dropped).
  virtual bool Merge(const TKivDocUndoInfo& ANewInfo) {
    (void)ANewInfo;
    return false;
  }
  virtual std::unique_ptr<TKivDocUndoInfo> Clone() const = 0;
};

using TKivDocUndoInfoPtr = std::unique_ptr<TKivDocUndoInfo>;
