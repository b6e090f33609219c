// The view's mouse: presses, double and triple clicks, drag selection by characters, words and
// lines, the wait for a drag, fold-bar and gutter clicks, auto-scrolling and the cursor shape.
#include <algorithm>

#include "KivSedGutter.h"
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"

struct TKivEditViewCore::TMouseState {
  std::unique_ptr<IKivTimer> ScrollTimer;
};

void TKivEditViewCore::TMouseStateDeleter::operator()(TMouseState* AState) const {
  delete AState;
}

TKivEditViewCore::TMouseState& TKivEditViewCore::Mouse() {
  if (!FMouse) FMouse.reset(new TMouseState);
  return *FMouse;
}

void TKivEditViewCore::StopAutoScroll() {
  if (FMouse && FMouse->ScrollTimer) FMouse->ScrollTimer->Stop();
}
