// The per-block hot path: generating a block, checking an intact block,
// checking a block that holds another block's data (aliasing), and growing
// the aliased-offset set. Figures are bytes per second of test data.

#include <benchmark/benchmark.h>

#include "engine/engine.h"

namespace kalvex {
namespace {

void BM_FillBlock(benchmark::State& state) {
  CTestEngine engine;
  uint64_t offset = 0;
  for (auto _ : state) {
    engine.FillBlock(offset);
    benchmark::DoNotOptimize(engine.Buffer());
    offset += kBlockSize;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
}
BENCHMARK(BM_FillBlock);

void BM_CheckIntactBlock(benchmark::State& state) {
  CTestEngine engine;
  engine.FillBlock(0);
  for (auto _ : state) engine.CheckBlock(0);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
}
BENCHMARK(BM_CheckIntactBlock);

// A medium that maps every block to the one 1 GiB further on: each sector
// fails its own comparison, passes the second and joins the aliased set.
void BM_CheckAliasedBlock(benchmark::State& state) {
  CTestEngine engine;
  uint64_t offset = 0;
  for (auto _ : state) {
    state.PauseTiming();
    engine.FillBlock(offset + kFileSize);
    state.ResumeTiming();
    engine.CheckBlock(offset);
    offset += kBlockSize;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
  state.counters["set_bytes"] = static_cast<double>(engine.AliasedOffsets().MemoryBytes());
}
BENCHMARK(BM_CheckAliasedBlock);

// Scattered aliasing: every other sector, so no runs form.
void BM_OffsetSetScattered(benchmark::State& state) {
  OffsetSet set;
  uint64_t sector = 0;
  for (auto _ : state) {
    set.AddSectorRun(sector, 1);
    sector += 2;
  }
  state.counters["set_bytes"] = static_cast<double>(set.MemoryBytes());
  state.counters["bytes_per_entry"] =
      static_cast<double>(set.MemoryBytes()) / static_cast<double>(set.Count());
}
BENCHMARK(BM_OffsetSetScattered);

}  // namespace
}  // namespace kalvex

BENCHMARK_MAIN();
