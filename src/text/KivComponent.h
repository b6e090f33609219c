// "Loaded from its stored description": a component whose properties are being set in bulk
// defers the work those settings trigger until EndLoading, as when a form is read back.
#pragma once

#include "KivErrors.h"

class TKivLoadable {
 public:
  virtual ~TKivLoadable() = default;

  void BeginLoading() { ++FLoadingCount; }
  // Closing the outermost bracket calls Loaded() once.
  void EndLoading() {
    KIV_ASSERT(FLoadingCount > 0, "KivComponent");
    if (--FLoadingCount == 0) Loaded();
  }
  bool IsLoading() const { return FLoadingCount > 0; }

 protected:
  virtual void Loaded() {}

 private:
  int FLoadingCount = 0;
};
