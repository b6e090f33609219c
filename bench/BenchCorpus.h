// Shared by the layout and view benchmarks: where the 100 MB C corpus lies (KIV_CORPUS_DIR or
// bench/corpus, made by bench/make_corpus) and a measuring surface of 8 px glyphs and 16 px rows.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "KivSedMeasure.h"

inline std::string BenchCorpusFile() {
  if (const char* dir = std::getenv("KIV_CORPUS_DIR")) return std::string(dir) + "/c_100mb.txt";
  const std::string src = __FILE__;
  return src.substr(0, src.find_last_of('/') + 1) + "corpus/c_100mb.txt";
}

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
