// The view core's side of painting: the painter's inputs filled from the view's properties.
#include <algorithm>

#include "KivSedPainter.h"
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"

TKivScreenLayout& TKivEditViewCore::ScreenLayout() {
  return *FScreenCache;
}

void TKivEditViewCore::PreparePainter(TKivEditPainter& APainter) {
  TKivViewPaintColors& c = APainter.Colors;
  c = FPaintColors;
  c.Color = KivRGB(255, 255, 255);
  c.FontColor = Font().Color;
  TKivViewPaintSettings& s = APainter.Settings;
  s.LineHeight = std::max<Integer>(LineHeight(), 1);
  s.FontStyle = Font().Style;
  s.HighlightSelectedLine = (ViewSettings() & vsHighlightSelectedLine) != 0;
  s.ShowWrapRuler = (ViewSettings() & vsShowWrapRuler) != 0;
  s.ReadOnly = ReadOnly();
  APainter.Gutter = FGutter->PaintSettings();
  APainter.SpecialChars = &SpecialChars();
  APainter.ChangesLock = ChangesLockCounter();
}
