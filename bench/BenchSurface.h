// The measuring surface of the layout benchmarks: every character 8 px wide, rows of 16 px, no
// complex scripts.
#pragma once

#include <memory>

#include "KivSedMeasure.h"

class BenchSurface : public IKivMeasureSurface {
 public:
  Integer CharWidth(Char, TKivFontStyles, TKivFontCharset) override { return 8; }
  Integer SpaceWidth() override { return 8; }
  TKivFontMetrics Metrics(TKivFontStyles) override { return {16, 13, 3, 0, 8}; }
  bool IsComplex(TKivStringView) override { return false; }
  std::unique_ptr<IKivShapedRun> Shape(TKivStringView, TKivFontStyles, TKivFontCharset) override {
    return nullptr;
  }
};
