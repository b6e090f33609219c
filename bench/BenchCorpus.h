// Where the benchmarks find the C corpus that bench/make_corpus writes: the folder named by
// $KIV_CORPUS_DIR, else bench/corpus in the source tree (the build passes its absolute path, so
// a benchmark finds it from any working directory).
#pragma once

#include <cstdlib>
#include <string>

inline std::string BenchCorpusDir() {
  if (const char* dir = std::getenv("KIV_CORPUS_DIR")) return dir;
  return KIV_BENCH_CORPUS_DIR;
}

inline std::string BenchCorpusPath(const std::string& AName) { return BenchCorpusDir() + "/" + AName; }

// The 100 MB corpus of the layout and view benchmarks.
inline std::string BenchCorpusFile() { return BenchCorpusPath("c_100mb.txt"); }
