// Bits the medium turns over on every read, as a failing cell would. Two
// kinds, both at fixed addresses of the advertised capacity, so every read
// of a byte shows it changed the same way:
//   fixed: given one by one as byte offset and bit.
//   rate:  about one in N 512-byte sectors gets one flipped bit. With
//          h = SplitMix64(seed ^ i), sector i is hit when h % N == 0, at bit
//          b = SplitMix64(h) % 4096 of the sector: byte i * 512 + b / 8,
//          bit b % 8.
// Bit k means the value 1 << k in its byte. Flips are XORed onto the data
// read, so two flips of the same bit cancel.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kalvex::fakemedium {

constexpr uint64_t kSectorSize = 512;

// The SplitMix64 output function:
//   z = x + 0x9E3779B97F4A7C15
//   z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9
//   z = (z ^ (z >> 27)) * 0x94D049BB133111EB
//   return z ^ (z >> 31)        (all mod 2^64)
constexpr uint64_t SplitMix64(uint64_t x) {
  uint64_t z = x + 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

struct BitFlip {
  uint64_t offset = 0;  // byte, in the advertised capacity
  unsigned bit = 0;     // 0..7

  bool operator==(const BitFlip&) const = default;
};

// The flip that sector i gets at the given rate and seed, if any.
std::optional<BitFlip> RateFlipOfSector(uint64_t sector, uint64_t seed, uint64_t rate);

class FlipPlan {
 public:
  // rate 0: no rate flips.
  FlipPlan(std::vector<BitFlip> fixed, uint64_t rate, uint64_t seed);

  bool empty() const { return m_fixed.empty() && m_rate == 0; }

  // Every flip whose byte lies in [offset, offset + length), sorted by
  // offset and bit.
  std::vector<BitFlip> InRange(uint64_t offset, uint64_t length) const;

 private:
  std::vector<BitFlip> m_fixed;  // sorted by offset and bit
  uint64_t m_rate;
  uint64_t m_seed;
};

// Applies flips to data that holds the bytes from offset on; every flip
// must lie inside it.
void ApplyFlips(const std::vector<BitFlip>& flips, uint64_t offset, unsigned char* data);

}  // namespace kalvex::fakemedium
