#include "tools/fakemedium/bit_flips.h"

#include <gtest/gtest.h>

#include <set>

namespace kalvex::fakemedium {
namespace {

// The documented choice, written out again on its own, so a change to the
// simulator that moves the flips shows up here.
std::optional<BitFlip> ModelFlip(uint64_t sector, uint64_t seed, uint64_t rate) {
  const uint64_t h = SplitMix64(seed ^ sector);
  if (h % rate != 0) return std::nullopt;
  const uint64_t b = SplitMix64(h) % 4096;
  return BitFlip{sector * 512 + b / 8, static_cast<unsigned>(b % 8)};
}

TEST(BitFlipsTest, SplitMix64GivesTheKnownSequenceFromSeedZero) {
  EXPECT_EQ(SplitMix64(0), 0xE220A8397B1DCDAFULL);
  EXPECT_EQ(SplitMix64(0x9E3779B97F4A7C15ULL), 0x6E789E6AA1B965F4ULL);
}

// Worked out by hand from the formula for seed 42, rate 8, sectors 0..63.
TEST(BitFlipsTest, RateFlipsOfAKnownSeed) {
  std::vector<BitFlip> hits;
  for (uint64_t sector = 0; sector < 64; ++sector) {
    if (auto flip = RateFlipOfSector(sector, 42, 8)) hits.push_back(*flip);
  }
  EXPECT_EQ(hits,
            (std::vector<BitFlip>{
                {552, 6}, {5775, 4}, {6345, 4}, {13009, 3}, {13867, 2}, {22774, 1}, {28284, 1}}));
}

TEST(BitFlipsTest, RateFlipsFollowTheFormula) {
  for (uint64_t seed : {0ULL, 1ULL, 0xDEADBEEFULL}) {
    for (uint64_t sector = 0; sector < 5000; ++sector) {
      ASSERT_EQ(RateFlipOfSector(sector, seed, 16), ModelFlip(sector, seed, 16)) << sector;
    }
  }
}

TEST(BitFlipsTest, AboutOneInNSectorsIsHit) {
  int hits = 0;
  for (uint64_t sector = 0; sector < 100000; ++sector)
    hits += RateFlipOfSector(sector, 7, 100) ? 1 : 0;
  EXPECT_GT(hits, 800);
  EXPECT_LT(hits, 1200);
}

TEST(BitFlipsTest, RateOneHitsEverySectorInsideIt) {
  for (uint64_t sector = 0; sector < 1000; ++sector) {
    const auto flip = RateFlipOfSector(sector, 3, 1);
    ASSERT_TRUE(flip);
    ASSERT_GE(flip->offset, sector * 512);
    ASSERT_LT(flip->offset, sector * 512 + 512);
    ASSERT_LT(flip->bit, 8u);
  }
}

TEST(BitFlipsTest, RateZeroFlipsNothing) {
  EXPECT_FALSE(RateFlipOfSector(0, 0, 0));
  EXPECT_TRUE(FlipPlan({}, 0, 5).InRange(0, 1 << 20).empty());
}

TEST(BitFlipsTest, AnotherSeedHitsOtherSectors) {
  std::set<uint64_t> first;
  std::set<uint64_t> second;
  for (uint64_t sector = 0; sector < 10000; ++sector) {
    if (RateFlipOfSector(sector, 1, 10)) first.insert(sector);
    if (RateFlipOfSector(sector, 2, 10)) second.insert(sector);
  }
  EXPECT_NE(first, second);
}

TEST(BitFlipsTest, InRangeKeepsOnlyFlipsWhoseByteIsInside) {
  const FlipPlan plan({{1000, 3}, {10, 0}, {4095, 7}, {4096, 1}}, 0, 0);
  EXPECT_EQ(plan.InRange(0, 4096), (std::vector<BitFlip>{{10, 0}, {1000, 3}, {4095, 7}}));
  EXPECT_EQ(plan.InRange(1000, 1), (std::vector<BitFlip>{{1000, 3}}));
  EXPECT_TRUE(plan.InRange(1001, 3094).empty());
}

TEST(BitFlipsTest, InRangeMergesFixedAndRateFlipsInOrder) {
  const FlipPlan plan({{600, 2}, {13009, 0}}, 8, 42);
  EXPECT_EQ(
      plan.InRange(0, 26 * 512),
      (std::vector<BitFlip>{{552, 6}, {600, 2}, {5775, 4}, {6345, 4}, {13009, 0}, {13009, 3}}));
  // A request that ends inside sector 25 before its flipped byte misses it.
  EXPECT_EQ(plan.InRange(25 * 512, 13009 - 25 * 512), (std::vector<BitFlip>{}));
}

TEST(BitFlipsTest, ApplyTurnsOverTheBitAndTwiceCancels) {
  std::vector<unsigned char> data(16, 0xF0);
  ApplyFlips({{105, 0}, {110, 7}}, 100, data.data());
  EXPECT_EQ(data[5], 0xF1);
  EXPECT_EQ(data[10], 0x70);
  ApplyFlips({{105, 0}, {105, 0}}, 100, data.data());
  EXPECT_EQ(data[5], 0xF1);
}

}  // namespace
}  // namespace kalvex::fakemedium
