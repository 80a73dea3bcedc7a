// The test data pattern. Every 512-byte sector holds its own byte offset P in
// word 0 and x(1..63) in words 1..63, where x(0) = P and
// x(k) = x(k-1) * kPatternMultiplier + kPatternIncrement (mod 2^64).
// Words are little-endian on the medium. The content of a sector follows from
// its offset alone: no seed, no per-run state.
#pragma once

#include <bit>
#include <cstdint>

namespace kalvex {

constexpr uint64_t kPatternMultiplier = 0x10000000F;  // 2^32 + 15
constexpr uint64_t kPatternIncrement = 17;

constexpr uint64_t NextPatternWord(uint64_t x) {
  return x * kPatternMultiplier + kPatternIncrement;
}

// The expected value of word k (0..63) of the sector at offset P.
constexpr uint64_t PatternWord(uint64_t sector_offset, unsigned k) {
  uint64_t x = sector_offset;
  for (unsigned i = 0; i < k; ++i) x = NextPatternWord(x);
  return x;
}

// Words are handled in memory as read from or written to the medium.
static_assert(std::endian::native == std::endian::little,
              "the pattern is stored little-endian; add byte swaps for this target");

}  // namespace kalvex
