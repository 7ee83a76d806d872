// Writer and reader costs, and reader throughput on a 40 MB file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "large_file.h"
#include "preferences_record.h"
#include "s19_reader.h"
#include "s19_writer.h"

namespace {

using namespace quillon;

std::string TempPath(const char* name) {
  const char* base = std::getenv("TMPDIR");
  return std::string(base && *base ? base : "/tmp") + "/quillon-bench-" + std::to_string(::getpid()) + "-" + name;
}

void BM_FormatS19(benchmark::State& state) {
  const PreferencesRecord r = DefaultPreferences();
  for (auto _ : state) benchmark::DoNotOptimize(FormatS19(r));
}
BENCHMARK(BM_FormatS19);

// Includes creating the temporary file, fsync and the rename.
void BM_WriteS19File(benchmark::State& state) {
  const std::string path = TempPath("w.S19");
  const PreferencesRecord r = DefaultPreferences();
  for (auto _ : state)
    if (WriteS19(path, r).status != S_OK) state.SkipWithError("write failed");
  ::unlink(path.c_str());
}
BENCHMARK(BM_WriteS19File)->Unit(benchmark::kMicrosecond);

void BM_ReadS19Text(benchmark::State& state) {
  const std::string text = FormatS19(DefaultPreferences());
  PreferencesRecord r;
  for (auto _ : state) benchmark::DoNotOptimize(ReadS19Text(text, r));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadS19Text);

void BM_ReadS19File(benchmark::State& state) {
  const std::string path = TempPath("r.S19");
  WriteS19(path, DefaultPreferences());
  PreferencesRecord r;
  for (auto _ : state)
    if (ReadS19(path, r) != S_OK) state.SkipWithError("read failed");
  ::unlink(path.c_str());
}
BENCHMARK(BM_ReadS19File)->Unit(benchmark::kMicrosecond);

// The whole 40 MB file from disk (page cache) through the reader.
void BM_ReadLargeFile(benchmark::State& state) {
  const std::string path = TempPath("large.S19");
  const std::string text = bench::LargeS19Text(DefaultPreferences());
  std::ofstream(path, std::ios::binary) << text;
  PreferencesRecord r;
  for (auto _ : state)
    if (ReadS19(path, r) != S_OK) state.SkipWithError("read failed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  ::unlink(path.c_str());
}
BENCHMARK(BM_ReadLargeFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
