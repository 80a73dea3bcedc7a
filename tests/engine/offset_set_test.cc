// The set of aliased offsets: exact counts, runs that overlap or cross the
// 2^32-sector boundary, and bounded memory for contiguous aliasing.

#include <gtest/gtest.h>

#include <cstdint>

#include "engine/offset_set.h"

namespace kalvex {
namespace {

constexpr uint64_t k2To32 = uint64_t{1} << 32;

TEST(OffsetSetTest, StartsEmpty) {
  OffsetSet set;
  EXPECT_EQ(set.Count(), 0u);
  EXPECT_FALSE(set.ContainsOffset(0));
  EXPECT_FALSE(set.ContainsOffset(512));
}

TEST(OffsetSetTest, SingleOffsetsAreCountedOnce) {
  OffsetSet set;
  EXPECT_TRUE(set.AddOffset(1024));
  EXPECT_TRUE(set.AddOffset(1024));
  EXPECT_TRUE(set.AddOffset(0));
  EXPECT_EQ(set.Count(), 2u);
  EXPECT_TRUE(set.ContainsOffset(0));
  EXPECT_TRUE(set.ContainsOffset(1024));
  EXPECT_FALSE(set.ContainsOffset(512));
  EXPECT_FALSE(set.ContainsOffset(1536));
}

TEST(OffsetSetTest, OffsetsAbove4GiBAndNear2To64AreKeptApart) {
  OffsetSet set;
  set.AddOffset(0x100000000);
  set.AddOffset(0);  // same lower 32 bits as 4 GiB
  set.AddOffset(0xFFFFFFFFFFFFFE00);
  set.AddOffset(0x7FFFFFFFFFFFFE00);
  EXPECT_EQ(set.Count(), 4u);
  EXPECT_TRUE(set.ContainsOffset(0x100000000));
  EXPECT_TRUE(set.ContainsOffset(0xFFFFFFFFFFFFFE00));
  EXPECT_FALSE(set.ContainsOffset(0xFFFFFFFFFFFFFC00));
  EXPECT_FALSE(set.ContainsOffset(0x200000000));
}

TEST(OffsetSetTest, SixteenMillionContiguousSectorsTakeAFewKiB) {
  // 2^24 sectors (8 GiB of aliased data) added block by block, 2048 sectors
  // at a time, as the sector check hands them over.
  OffsetSet set;
  const uint64_t first = 3 * k2To32 / 2;  // crosses no boundary, but is high
  const uint64_t total = uint64_t{1} << 24;
  for (uint64_t s = 0; s < total; s += 2048) ASSERT_TRUE(set.AddSectorRun(first + s, 2048));
  EXPECT_EQ(set.Count(), total);
  EXPECT_LT(set.MemoryBytes(), 64u * 1024u);
  EXPECT_TRUE(set.ContainsOffset(first * 512));
  EXPECT_TRUE(set.ContainsOffset((first + total - 1) * 512));
  EXPECT_FALSE(set.ContainsOffset((first + total) * 512));
  EXPECT_FALSE(set.ContainsOffset((first - 1) * 512));

  // The same runs once more change nothing.
  for (uint64_t s = 0; s < total; s += 2048 * 64) set.AddSectorRun(first + s, 2048);
  EXPECT_EQ(set.Count(), total);
}

TEST(OffsetSetTest, OverlappingRunsAreCountedOnce) {
  OffsetSet set;
  set.AddSectorRun(100, 50);  // 100..149
  EXPECT_EQ(set.Count(), 50u);
  set.AddSectorRun(120, 50);  // 120..169: 20 new
  EXPECT_EQ(set.Count(), 70u);
  set.AddSectorRun(130, 10);  // inside
  EXPECT_EQ(set.Count(), 70u);
  set.AddSectorRun(90, 100);  // 90..189: covers all, 10 + 20 new
  EXPECT_EQ(set.Count(), 100u);
  set.AddOffset(95 * 512);
  EXPECT_EQ(set.Count(), 100u);
  EXPECT_TRUE(set.ContainsOffset(189 * 512));
  EXPECT_FALSE(set.ContainsOffset(190 * 512));
  EXPECT_FALSE(set.ContainsOffset(89 * 512));
}

TEST(OffsetSetTest, ScatteredSectorsAndARunOverThem) {
  OffsetSet set;
  for (uint64_t s = 1000; s < 3000; s += 2) set.AddSectorRun(s, 1);
  EXPECT_EQ(set.Count(), 1000u);
  set.AddSectorRun(1000, 2000);
  EXPECT_EQ(set.Count(), 2000u);
}

TEST(OffsetSetTest, RunCrossingThe2To32SectorBoundary) {
  OffsetSet set;
  set.AddSectorRun(k2To32 - 10, 20);  // ten sectors on each side
  EXPECT_EQ(set.Count(), 20u);
  EXPECT_TRUE(set.ContainsOffset((k2To32 - 10) * 512));
  EXPECT_TRUE(set.ContainsOffset((k2To32 - 1) * 512));
  EXPECT_TRUE(set.ContainsOffset(k2To32 * 512));
  EXPECT_TRUE(set.ContainsOffset((k2To32 + 9) * 512));
  EXPECT_FALSE(set.ContainsOffset((k2To32 + 10) * 512));
  EXPECT_FALSE(set.ContainsOffset((k2To32 - 11) * 512));
  // Sector 0 and sector 2^32 share their lower half; neither was added.
  EXPECT_FALSE(set.ContainsOffset(0));
  EXPECT_FALSE(set.ContainsOffset(9 * 512));

  // An overlapping run across the same boundary adds only the new part.
  set.AddSectorRun(k2To32 - 15, 10);  // 5 new below, 0 new above
  EXPECT_EQ(set.Count(), 25u);
  set.AddSectorRun(k2To32 + 5, 10);  // 5 new above
  EXPECT_EQ(set.Count(), 30u);
}

TEST(OffsetSetTest, RunEndingExactlyAtTheBoundary) {
  OffsetSet set;
  set.AddSectorRun(k2To32 - 2048, 2048);
  EXPECT_EQ(set.Count(), 2048u);
  EXPECT_TRUE(set.ContainsOffset((k2To32 - 1) * 512));
  EXPECT_FALSE(set.ContainsOffset(k2To32 * 512));
  set.AddSectorRun(k2To32, 2048);
  EXPECT_EQ(set.Count(), 4096u);
  set.AddSectorRun(k2To32 - 1024, 2048);
  EXPECT_EQ(set.Count(), 4096u);
}

TEST(OffsetSetTest, ClearEmptiesTheSetAndItCanBeFilledAgain) {
  OffsetSet set;
  set.AddSectorRun(k2To32 - 5, 10);
  set.AddOffset(512);
  ASSERT_EQ(set.Count(), 11u);
  set.Clear();
  EXPECT_EQ(set.Count(), 0u);
  EXPECT_EQ(set.MemoryBytes(), 0u);
  EXPECT_FALSE(set.ContainsOffset(512));
  EXPECT_FALSE(set.ContainsOffset(k2To32 * 512));
  set.AddOffset(512);
  EXPECT_EQ(set.Count(), 1u);
  EXPECT_TRUE(set.ContainsOffset(512));
}

}  // namespace
}  // namespace kalvex
