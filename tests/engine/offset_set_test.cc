// The set of aliased offsets: exact counts, runs that overlap or cross the
// 2^32-sector boundary, and bounded memory for contiguous aliasing.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <set>
#include <string>

#include "engine/offset_set.h"

namespace kalvex {
namespace {

constexpr uint64_t k2To32 = uint64_t{1} << 32;

// Which of the sector numbers are in the set, as a string of 0 and 1.
std::string Holds(const OffsetSet& set, std::initializer_list<uint64_t> sectors) {
  std::string held;
  for (uint64_t sector : sectors) held += set.ContainsOffset(sector * 512) ? '1' : '0';
  return held;
}

TEST(OffsetSetTest, SingleOffsetsAreCountedOnce) {
  OffsetSet set;
  EXPECT_EQ(set.Count(), 0u);
  EXPECT_EQ(Holds(set, {0, 1}), "00");
  EXPECT_TRUE(set.AddOffset(1024));
  EXPECT_TRUE(set.AddOffset(1024));
  EXPECT_TRUE(set.AddOffset(0));
  EXPECT_EQ(set.Count(), 2u);
  EXPECT_EQ(Holds(set, {0, 1, 2, 3}), "1010");
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
  EXPECT_EQ(Holds(set, {first - 1, first, first + total - 1, first + total}), "0110");
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
  EXPECT_EQ(Holds(set, {89, 90, 189, 190}), "0110");
  // Scattered sectors and a run over them.
  for (uint64_t s = 1000; s < 3000; s += 2) set.AddSectorRun(s, 1);
  EXPECT_EQ(set.Count(), 1100u);
  set.AddSectorRun(1000, 2000);
  EXPECT_EQ(set.Count(), 2100u);
}

TEST(OffsetSetTest, RunsCrossingOrEndingAtThe2To32SectorBoundary) {
  OffsetSet set;
  set.AddSectorRun(k2To32 - 10, 20);  // ten sectors on each side
  EXPECT_EQ(set.Count(), 20u);
  EXPECT_EQ(Holds(set, {k2To32 - 11, k2To32 - 10, k2To32 - 1, k2To32, k2To32 + 9, k2To32 + 10}),
            "011110");
  // Sector 0 and sector 2^32 share their lower half; neither was added there.
  EXPECT_EQ(Holds(set, {0, 9}), "00");
  // An overlapping run across the same boundary adds only the new part.
  set.AddSectorRun(k2To32 - 15, 10);  // 5 new below, 0 new above
  EXPECT_EQ(set.Count(), 25u);
  set.AddSectorRun(k2To32 + 5, 10);  // 5 new above
  EXPECT_EQ(set.Count(), 30u);

  OffsetSet ending;
  ending.AddSectorRun(k2To32 - 2048, 2048);
  EXPECT_EQ(ending.Count(), 2048u);
  EXPECT_EQ(Holds(ending, {k2To32 - 1, k2To32}), "10");
  ending.AddSectorRun(k2To32, 2048);
  EXPECT_EQ(ending.Count(), 4096u);
  ending.AddSectorRun(k2To32 - 1024, 2048);
  EXPECT_EQ(ending.Count(), 4096u);
}

TEST(OffsetSetTest, ClearEmptiesTheSetAndItCanBeFilledAgain) {
  OffsetSet set;
  set.AddSectorRun(k2To32 - 5, 10);
  set.AddOffset(512);
  ASSERT_EQ(set.Count(), 11u);
  set.Clear();
  EXPECT_EQ(set.Count(), 0u);
  EXPECT_EQ(set.MemoryBytes(), 0u);
  EXPECT_EQ(Holds(set, {1, k2To32}), "00");
  set.AddOffset(512);
  EXPECT_EQ(set.Count(), 1u);
  EXPECT_EQ(Holds(set, {1}), "1");
}


TEST(OffsetSetTest, TwoTo31ContiguousSectorsStayUnderOneMiB) {
  // 1 TiB of aliased data, handed over block by block as the sector check
  // does, starting off a chunk boundary so both ends are partial chunks.
  OffsetSet set;
  const uint64_t first = 12345;
  const uint64_t total = uint64_t{1} << 31;
  for (uint64_t s = 0; s < total; s += 2048) ASSERT_TRUE(set.AddSectorRun(first + s, 2048));
  EXPECT_EQ(set.Count(), total);
  EXPECT_LT(set.MemoryBytes(), 1024u * 1024u);
  EXPECT_EQ(Holds(set, {first - 1, first, first + total / 2, first + total - 1, first + total}),
            "01110");
}

TEST(OffsetSetTest, ScatteredSectorsTakeAboutAQuarterByteEach) {
  // Every other sector: no two of them form a run.
  OffsetSet set;
  const uint64_t entries = uint64_t{1} << 21;
  for (uint64_t i = 0; i < entries; ++i) ASSERT_TRUE(set.AddSectorRun(7 * k2To32 + 2 * i, 1));
  EXPECT_EQ(set.Count(), entries);
  const double per_entry = static_cast<double>(set.MemoryBytes()) / static_cast<double>(entries);
  EXPECT_GT(per_entry, 0.2);
  EXPECT_LT(per_entry, 0.3);
  EXPECT_EQ(Holds(set, {7 * k2To32 - 2, 7 * k2To32, 7 * k2To32 + 1, 7 * k2To32 + 2 * entries - 2,
                        7 * k2To32 + 2 * entries}),
            "01010");
}

TEST(OffsetSetTest, RandomRunsAgreeWithAPlainSet) {
  // Runs of every length up to a few chunks, in random order over a small
  // range, so that runs merge, chunks turn into bitmaps and fill up.
  std::mt19937_64 random(20261208);
  OffsetSet set;
  std::set<uint64_t> plain;
  const uint64_t base = k2To32 - 3 * 65536;
  const uint64_t span = 3 * 65536;
  for (int i = 0; i < 12000; ++i) {
    const uint64_t first = base + random() % span;
    const uint64_t length = i % 1000 == 999 ? random() % 100000 : 1 + random() % (i % 3 == 0 ? 40 : 3);
    ASSERT_TRUE(set.AddSectorRun(first, length));
    for (uint64_t s = first; s < first + length; ++s) plain.insert(s);
    ASSERT_EQ(set.Count(), plain.size()) << "after run " << i;
  }
  for (uint64_t s = base - 10; s < base + span + 200000; s += 1 + random() % 7) {
    ASSERT_EQ(set.ContainsOffset(s * 512), plain.count(s) == 1) << "sector " << s;
  }
}

}  // namespace
}  // namespace kalvex
