// Loading and saving a large UTF-8 file, each against its floor measured in the same run:
// - LoadFromFile of the 100 MB corpus against reading the file plus first-touching a fresh
//   buffer twice its size (the UTF-16 text cannot cost less), and the memory it keeps;
// - SaveToFile against writing the same bytes with one plain write (and, for reference, one
//   plain write followed by fsync, since the save flushes its file to disk before the rename).
// The corpus is built by bench/make_corpus.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "BenchCorpus.h"
#include "KivSedDocument.h"

namespace {

using TClock = std::chrono::steady_clock;

std::string CorpusPath() {
  return BenchCorpusFile();
}

std::string OutPath(const char* AName) {
  return BenchCorpusPath(AName);
}

double Seconds(TClock::time_point AStart) {
  return std::chrono::duration<double>(TClock::now() - AStart).count();
}

// Resident memory, after handing free heap memory back so that only what is held counts.
long ResidentBytes() {
  malloc_trim(0);
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * sysconf(_SC_PAGESIZE);
}

// Reads the whole file into memory with large reads.
std::string ReadAll(const std::string& APath) {
  int fd = open(APath.c_str(), O_RDONLY);
  if (fd < 0) return {};
  struct stat st {};
  fstat(fd, &st);
  std::string data(static_cast<size_t>(st.st_size), '\0');
  size_t got = 0;
  while (got < data.size()) {
    ssize_t n = read(fd, data.data() + got, data.size() - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  data.resize(got);
  return data;
}

// The floor of a load: the file's bytes read, and a fresh buffer of twice its size touched page
// by page.
double LoadFloor(const std::string& APath, size_t& ASize) {
  auto start = TClock::now();
  std::string bytes = ReadAll(APath);
  ASize = bytes.size();
  std::unique_ptr<char[]> fresh(new char[2 * bytes.size()]);
  const long page = sysconf(_SC_PAGESIZE);
  for (size_t i = 0; i < 2 * bytes.size(); i += static_cast<size_t>(page)) fresh[i] = 1;
  benchmark::DoNotOptimize(fresh.get());
  return Seconds(start);
}

void BM_LoadFromFile(benchmark::State& AState) {
  const std::string path = CorpusPath();
  if (!std::filesystem::exists(path)) {
    AState.SkipWithError("bench/corpus/c_100mb.txt missing: run bench/make_corpus");
    return;
  }
  double floorSum = 0, loadSum = 0, memRatio = 0;
  size_t size = 0;
  for (auto _ : AState) {
    const double floor = LoadFloor(path, size);
    auto doc = std::make_unique<TKivEditDocument>();
    const long before = ResidentBytes();
    auto start = TClock::now();
    doc->LoadFromFile(KivFromUtf8(path), 65001);
    const double load = Seconds(start);
    memRatio = static_cast<double>(ResidentBytes() - before) / static_cast<double>(size);
    benchmark::DoNotOptimize(doc->LinesCount());
    AState.SetIterationTime(load);
    floorSum += floor;
    loadSum += load;
  }
  const double n = static_cast<double>(AState.iterations());
  AState.counters["floor_ms"] = 1000 * floorSum / n;
  AState.counters["load_ms"] = 1000 * loadSum / n;
  AState.counters["load_over_floor"] = loadSum / floorSum;
  AState.counters["mem_over_file"] = memRatio;
  AState.SetBytesProcessed(static_cast<int64_t>(size) * AState.iterations());
}
BENCHMARK(BM_LoadFromFile)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

double PlainWrite(const std::string& APath, const std::string& ABytes, bool ASync) {
  auto start = TClock::now();
  int fd = open(APath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 0;
  ssize_t n = write(fd, ABytes.data(), ABytes.size());
  benchmark::DoNotOptimize(n);
  if (ASync) fsync(fd);
  close(fd);
  return Seconds(start);
}

void BM_SaveToFile(benchmark::State& AState) {
  const std::string path = CorpusPath();
  if (!std::filesystem::exists(path)) {
    AState.SkipWithError("bench/corpus/c_100mb.txt missing: run bench/make_corpus");
    return;
  }
  TKivEditDocument doc;
  doc.LoadFromFile(KivFromUtf8(path), 65001);
  // The bytes the document writes (the corpus holds a few bytes that are not UTF-8, which load
  // as U+FFFD).
  std::ostringstream encoded;
  doc.SaveToStream(encoded);
  const std::string bytes = encoded.str();
  const std::string plainOut = OutPath(".files_bench_plain.out");
  const std::string saveOut = OutPath(".files_bench_save.out");
  double plainSum = 0, syncSum = 0, saveSum = 0;
  for (auto _ : AState) {
    std::remove(plainOut.c_str());
    std::remove(saveOut.c_str());
    plainSum += PlainWrite(plainOut, bytes, false);
    std::remove(plainOut.c_str());
    syncSum += PlainWrite(plainOut, bytes, true);
    auto start = TClock::now();
    doc.SaveToFile(KivFromUtf8(saveOut));
    const double save = Seconds(start);
    AState.SetIterationTime(save);
    saveSum += save;
  }
  if (ReadAll(saveOut) != bytes) AState.SkipWithError("the saved file differs from the document's bytes");
  std::remove(plainOut.c_str());
  std::remove(saveOut.c_str());
  const double n = static_cast<double>(AState.iterations());
  AState.counters["write_ms"] = 1000 * plainSum / n;
  AState.counters["write_fsync_ms"] = 1000 * syncSum / n;
  AState.counters["save_ms"] = 1000 * saveSum / n;
  AState.counters["save_over_write"] = saveSum / plainSum;
  AState.counters["save_over_write_fsync"] = saveSum / syncSum;
  AState.SetBytesProcessed(static_cast<int64_t>(bytes.size()) * AState.iterations());
}
BENCHMARK(BM_SaveToFile)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
