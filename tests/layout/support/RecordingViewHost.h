// A view host for the view-core tests: a window of a given client size measuring with the
// fixed-width fake, recording every call.
#pragma once

#include <functional>
#include <vector>

#include "KivSedViewHooks.h"
#include "LayoutFakes.h"

// A window of a given client size with a fixed-width font (10 px glyphs, 16 px rows), recording
// every call.
class RecordingHost : public IKivViewHost {
 public:
  bool HasWindow() const override { return Window; }
  TKivRect TextAreaRect() const override { return Area; }
  IKivMeasureSurface* MeasureSurface() override { return &Measure; }
  void FontChanged(const TKivViewFont& AFont) override { Fonts.push_back(AFont); }
  void InvalidateRect(const TKivRect& ARect) override { Rects.push_back(ARect); }
  void InvalidateAll() override { ++FullRepaints; }
  void Flush() override { ++Flushes; }
  bool Focused() const override { return Focus; }
  void HideCaret() override { ++CaretHides; }
  void ShowCaret(Integer AX, Integer AY, Integer AWidth, Integer AHeight) override {
    Caret = {AX, AY, AX + AWidth, AY + AHeight};
  }
  void SetScrollBars(const TKivScrollBarInfo& AVert, const TKivScrollBarInfo& AHorz) override {
    Vert = AVert;
    Horz = AHorz;
    ++ScrollBarUpdates;
    if (OnScrollBars) OnScrollBars(AVert, AHorz);
  }
  void Beep() override {
    ++Beeps;
    if (OnBeep) OnBeep();
  }
  bool PostStep(std::function<void()> AStep) override {
    if (!TakeSteps) return false;
    Steps.push_back(std::move(AStep));
    return true;
  }
  // Runs the posted steps (and those they post) in order; returns how many ran.
  int RunSteps() {
    int ran = 0;
    while (!Steps.empty()) {
      auto step = std::move(Steps.front());
      Steps.erase(Steps.begin());
      step();
      ++ran;
    }
    return ran;
  }

  void ResetCounts() {
    Rects.clear();
    FullRepaints = Flushes = CaretHides = ScrollBarUpdates = Beeps = 0;
  }
  Integer Repaints() const { return FullRepaints + static_cast<Integer>(Rects.size()); }

  bool Window = true;
  bool Focus = false;
  TKivRect Area{0, 0, 800, 160};
  FixedMeasure Measure;
  std::vector<TKivViewFont> Fonts;
  std::vector<TKivRect> Rects;
  Integer FullRepaints = 0, Flushes = 0, CaretHides = 0, ScrollBarUpdates = 0, Beeps = 0;
  TKivRect Caret;
  TKivScrollBarInfo Vert, Horz;
  // Whether PostStep keeps the steps (else the view does its work at once).
  bool TakeSteps = false;
  std::vector<std::function<void()>> Steps;
  // Runs after a beep is counted (it may raise, as a failing host would).
  std::function<void()> OnBeep;
  // Runs after the bars are recorded (a window whose client area shrinks under a bar).
  std::function<void(const TKivScrollBarInfo&, const TKivScrollBarInfo&)> OnScrollBars;
};
