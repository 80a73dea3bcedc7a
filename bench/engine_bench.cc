// The per-block hot path: generating a block and checking blocks read back
// (intact, with scattered bit errors, aliased, all zero), on every version of
// the pattern loops the CPU runs (BM_x/portable, /avx2, /avx512) and with
// the plain per-sector loops (BM_xPlain) they replace; memset and memcpy of
// the same buffer as the ceiling; and the growth of the aliased-offset set.
// Figures are bytes per second of test data. scripts/bench-kernels runs the
// block benchmarks and prints their ratios.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/engine.h"
#include "engine/pattern_kernels.h"
#include "engine/pattern_reference.h"

namespace kalvex {
namespace {

// Above 2^32, so that both halves of the words are busy.
constexpr uint64_t kBlock = 5 * kFileSize + 3 * kBlockSize;

void CountBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
}

// Fails the benchmark instead of measuring a path this CPU cannot run.
bool UsePath(benchmark::State& state, KernelPath path) {
  if (SetKernelPath(path)) return true;
  state.SkipWithError("path not available");
  return false;
}

void BM_Memset(benchmark::State& state) {
  CTestEngine engine;
  int value = 0;
  for (auto _ : state) {
    std::memset(engine.Buffer(), ++value & 0xFF, kBlockSize);
    benchmark::ClobberMemory();
  }
  CountBytes(state);
}
BENCHMARK(BM_Memset);

void BM_Memcpy(benchmark::State& state) {
  CTestEngine engine;
  CTestEngine source;
  source.FillBlock(kBlock);
  for (auto _ : state) {
    std::memcpy(engine.Buffer(), source.Buffer(), kBlockSize);
    benchmark::ClobberMemory();
  }
  CountBytes(state);
}
BENCHMARK(BM_Memcpy);

void BM_FillBlock(benchmark::State& state, KernelPath path) {
  if (!UsePath(state, path)) return;
  CTestEngine engine;
  uint64_t offset = kBlock;
  for (auto _ : state) {
    engine.FillBlock(offset);
    benchmark::ClobberMemory();
    offset += kBlockSize;
  }
  CountBytes(state);
}

void BM_FillBlockPlain(benchmark::State& state) {
  CTestEngine engine;
  uint64_t offset = kBlock;
  for (auto _ : state) {
    PlainFillBlock(engine.Buffer(), offset);
    benchmark::ClobberMemory();
    offset += kBlockSize;
  }
  CountBytes(state);
}
BENCHMARK(BM_FillBlockPlain);

// What the buffer holds when a block is checked, and the offset it is
// checked at.
enum class Content { kIntact, kDamaged, kAliased, kZero };

uint64_t PrepareBlock(uint8_t* buffer, Content content) {
  switch (content) {
    case Content::kIntact:
      PlainFillBlock(buffer, kBlock);
      return kBlock;
    case Content::kDamaged: {
      // 64 single wrong bits at scattered words of scattered sectors, the
      // kind of damage a worn medium shows; about 3% of the sectors.
      PlainFillBlock(buffer, kBlock);
      uint64_t* words = reinterpret_cast<uint64_t*>(buffer);
      uint64_t x = 12345;
      for (int i = 0; i < 64; ++i) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        words[(x >> 20) % (kBlockSize / 8)] ^= uint64_t{1} << (x >> 58);
      }
      return kBlock;
    }
    case Content::kAliased:
      // A medium that maps the block to the one 1 GiB further on: every
      // sector is overwritten, and every one joins the aliased set.
      PlainFillBlock(buffer, kBlock + kFileSize);
      return kBlock;
    case Content::kZero:
      std::memset(buffer, 0, kBlockSize);
      return kBlock;
  }
  return kBlock;
}

void BM_CheckBlock(benchmark::State& state, Content content, KernelPath path) {
  if (!UsePath(state, path)) return;
  CTestEngine engine;
  const uint64_t offset = PrepareBlock(engine.Buffer(), content);
  for (auto _ : state) engine.CheckBlock(offset);
  CountBytes(state);
  state.counters["set_bytes"] = static_cast<double>(engine.AliasedOffsets().MemoryBytes());
}

void BM_CheckBlockPlain(benchmark::State& state, Content content) {
  CTestEngine engine;
  const uint64_t offset = PrepareBlock(engine.Buffer(), content);
  PlainBlockChecker checker;
  for (auto _ : state) {
    checker.CheckBlock(engine.Buffer(), offset);
    benchmark::DoNotOptimize(checker.ok);
  }
  CountBytes(state);
}

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

// Contiguous aliasing of 2^31 sectors (1 TiB), handed over block by block as
// the sector check does; the memory must stay far below 1 MiB.
void BM_OffsetSetContiguous2To31(benchmark::State& state) {
  const uint64_t total = uint64_t{1} << 31;
  size_t bytes = 0;
  for (auto _ : state) {
    OffsetSet set;
    for (uint64_t s = 0; s < total; s += 2048) set.AddSectorRun(12345 + s, 2048);
    bytes = set.MemoryBytes();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["set_bytes"] = static_cast<double>(bytes);
  state.counters["sectors_per_s"] = benchmark::Counter(
      static_cast<double>(total) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OffsetSetContiguous2To31)->Unit(benchmark::kMillisecond);

void RegisterBlockBenchmarks() {
  const struct {
    const char* name;
    const char* plain;
    Content content;
  } checks[] = {
      {"BM_CheckBlockIntact", "BM_CheckBlockPlain", Content::kIntact},
      {"BM_CheckBlockDamaged", "BM_CheckBlockDamagedPlain", Content::kDamaged},
      {"BM_CheckBlockAliased", "BM_CheckBlockAliasedPlain", Content::kAliased},
      {"BM_CheckBlockZero", "BM_CheckBlockZeroPlain", Content::kZero},
  };
  for (KernelPath path : {KernelPath::kPortable, KernelPath::kAvx2, KernelPath::kAvx512}) {
    if (!KernelPathAvailable(path)) continue;
    const std::string suffix = std::string("/") + KernelPathName(path);
    benchmark::RegisterBenchmark(("BM_FillBlock" + suffix).c_str(), BM_FillBlock, path);
    for (const auto& c : checks)
      benchmark::RegisterBenchmark((c.name + suffix).c_str(), BM_CheckBlock, c.content, path);
  }
  for (const auto& c : checks)
    benchmark::RegisterBenchmark(c.plain, BM_CheckBlockPlain, c.content);
}

}  // namespace
}  // namespace kalvex

int main(int argc, char** argv) {
  kalvex::RegisterBlockBenchmarks();
  benchmark::AddCustomContext("kernel_path_auto",
                              kalvex::KernelPathName(kalvex::ActiveKernelPath()));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
