#include "tools/fakemedium/bit_flips.h"

#include <algorithm>
#include <tuple>

namespace kalvex::fakemedium {

namespace {

bool Before(const BitFlip& a, const BitFlip& b) {
  return std::tie(a.offset, a.bit) < std::tie(b.offset, b.bit);
}

}  // namespace

std::optional<BitFlip> RateFlipOfSector(uint64_t sector, uint64_t seed, uint64_t rate) {
  if (rate == 0) return std::nullopt;
  const uint64_t h = SplitMix64(seed ^ sector);
  if (h % rate != 0) return std::nullopt;
  const uint64_t b = SplitMix64(h) % (kSectorSize * 8);
  return BitFlip{sector * kSectorSize + b / 8, static_cast<unsigned>(b % 8)};
}

FlipPlan::FlipPlan(std::vector<BitFlip> fixed, uint64_t rate, uint64_t seed)
    : m_fixed(std::move(fixed)), m_rate(rate), m_seed(seed) {
  std::sort(m_fixed.begin(), m_fixed.end(), Before);
}

std::vector<BitFlip> FlipPlan::InRange(uint64_t offset, uint64_t length) const {
  std::vector<BitFlip> flips;
  if (length == 0) return flips;
  const uint64_t end = offset + length;
  const auto first = std::lower_bound(m_fixed.begin(), m_fixed.end(), BitFlip{offset, 0}, Before);
  for (auto it = first; it != m_fixed.end() && it->offset < end; ++it) flips.push_back(*it);
  if (m_rate != 0) {
    for (uint64_t sector = offset / kSectorSize; sector * kSectorSize < end; ++sector) {
      const auto flip = RateFlipOfSector(sector, m_seed, m_rate);
      // A request that starts or ends inside a sector sees only its part.
      if (flip && flip->offset >= offset && flip->offset < end) flips.push_back(*flip);
    }
    std::sort(flips.begin(), flips.end(), Before);
  }
  return flips;
}

void ApplyFlips(const std::vector<BitFlip>& flips, uint64_t offset, unsigned char* data) {
  for (const BitFlip& flip : flips)
    data[flip.offset - offset] ^= static_cast<unsigned char>(1u << flip.bit);
}

}  // namespace kalvex::fakemedium
