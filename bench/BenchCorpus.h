// Shared by the layout and view benchmarks: where the 100 MB C corpus lies (KIV_CORPUS_DIR or
// bench/corpus, made by bench/make_corpus), and the measuring surface of BenchSurface.h.
#pragma once

#include <cstdlib>
#include <string>

#include "BenchSurface.h"

inline std::string BenchCorpusFile() {
  if (const char* dir = std::getenv("KIV_CORPUS_DIR")) return std::string(dir) + "/c_100mb.txt";
  const std::string src = __FILE__;
  return src.substr(0, src.find_last_of('/') + 1) + "corpus/c_100mb.txt";
}
