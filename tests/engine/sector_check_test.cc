// Classification of the sectors of a block read back: intact, overwritten,
// slightly changed, corrupted; the aliased offsets and the first error.
// Blocks are made with FillBlock, damaged in the buffer and checked with
// CheckBlock, as the verify pass does after each read.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/engine/engine_test.h"

namespace kalvex::testing {
namespace {

constexpr uint64_t kHighBlock = 5 * kGiB + 3 * kMiB;  // above 2^32

class SectorCheckTest : public ::testing::Test {
 protected:
  uint64_t* Sector(uint64_t index) {
    return reinterpret_cast<uint64_t*>(engine_.Buffer() + index * 512);
  }
  void Flip(uint64_t sector, unsigned word, unsigned bit) {
    Sector(sector)[word] ^= uint64_t{1} << bit;
  }
  // Puts the intact sector of offset `source` at sector `index` of the buffer.
  void PlaceSectorOf(uint64_t index, uint64_t source) {
    std::memcpy(Sector(index), RefSectorBytes(source).data(), 512);
  }
  // Bits wrong in sector `index` of the block at `block`, measured against
  // its own pattern.
  int32_t WrongBits(uint64_t block, uint64_t index) {
    return engine_.CompareSector(Sector(index), block + 512 * index, block + 512 * index);
  }
  std::string Counts() const { return Sectors(engine_.CopyStatus()); }
  std::string FirstError() const { return First(engine_.CopyStatus()); }
  bool Aliased(uint64_t offset) const { return engine_.AliasedOffsets().ContainsOffset(offset); }

  FaultPlatform platform_;
  CTestEngine engine_{platform_};
};

TEST_F(SectorCheckTest, IntactBlocksAreAllOkAndCountsAddUpOverBlocks) {
  engine_.FillBlock(kHighBlock);
  engine_.CheckBlock(kHighBlock);
  EXPECT_EQ(Counts(), "2048 0 0 0 0");
  EXPECT_EQ(FirstError(), "none");
  for (uint64_t b = 0; b < 2; ++b) {
    engine_.FillBlock(b * kMiB);
    engine_.CheckBlock(b * kMiB);
  }
  engine_.FillBlock(3 * kMiB);
  Flip(0, 1, 0);
  engine_.CheckBlock(3 * kMiB);
  EXPECT_EQ(Counts(), "8191 0 1 0 0");
}

TEST_F(SectorCheckTest, OneBitInWord5IsSlightlyChanged) {
  engine_.FillBlock(kHighBlock);
  const uint64_t p = kHighBlock + 512 * 300;
  Flip(300, 5, 17);
  engine_.CheckBlock(kHighBlock);
  EXPECT_EQ(Counts(), "2047 0 1 0 0");
  EXPECT_EQ(FirstError(), Hex3(p + 40, RefWord(p, 5), RefWord(p, 5) ^ (uint64_t{1} << 17)));
}

TEST_F(SectorCheckTest, SevenWrongBitsAreSlightlyChangedEightAreCorrupted) {
  engine_.FillBlock(0);
  for (unsigned bit = 0; bit < 7; ++bit) Flip(10, 9, bit * 3);
  for (unsigned bit = 0; bit < 8; ++bit) Flip(20, 9, bit * 3);
  engine_.CheckBlock(0);
  EXPECT_EQ(Counts(), "2046 0 1 1 0");
}

TEST_F(SectorCheckTest, WrongBitsSpreadOverWordsAddUp) {
  engine_.FillBlock(kHighBlock);
  // Sector 3: 3 + 2 + 2 = 7 bits in three words; sector 4: 2 + 3 + 3 = 8
  // bits, no word alone with more than 3.
  for (auto [word, bit] : {std::pair{1, 0}, {1, 33}, {1, 63}, {30, 5}, {30, 6}, {63, 1}, {63, 62}})
    Flip(3, word, bit);
  for (auto [word, bit] : {std::pair{1, 0}, {1, 1}, {30, 10}, {30, 20}, {30, 30}, {63, 40},
                           {63, 50}, {63, 60}})
    Flip(4, word, bit);
  EXPECT_EQ(WrongBits(kHighBlock, 3), 7);
  EXPECT_EQ(WrongBits(kHighBlock, 4), 8);
  engine_.CheckBlock(kHighBlock);
  EXPECT_EQ(Counts(), "2046 0 1 1 0");
  // The lowest differing word of the pass: word 1 of sector 3.
  const uint64_t p3 = kHighBlock + 3 * 512;
  EXPECT_EQ(FirstError(), Hex3(p3 + 8, RefWord(p3, 1),
                               RefWord(p3, 1) ^ (1 | uint64_t{1} << 33 | uint64_t{1} << 63)));
}

TEST_F(SectorCheckTest, LowBitsOfWord0GiveAnUnalignedClaimAndASlightChange) {
  // Each of the low 9 bits of word 0, one per sector.
  const uint64_t block = 2 * kMiB;
  engine_.FillBlock(block);
  for (unsigned bit = 0; bit < 9; ++bit) {
    Flip(100 + bit, 0, bit);
    EXPECT_EQ(WrongBits(block, 100 + bit), 1) << "bit " << bit;
  }
  engine_.CheckBlock(block);
  EXPECT_EQ(Counts(), "2039 0 9 0 0");
  const uint64_t p = block + 512 * 100;
  EXPECT_EQ(FirstError(), Hex3(p, p, p ^ 1));
}

TEST_F(SectorCheckTest, HigherBitOfWord0ClaimsAnotherOffsetButIsStillSlightlyChanged) {
  // Bit 9 makes the claim the neighbouring sector, bit 40 one far away; both
  // are 512-aligned, but words 1..63 are not their pattern.
  engine_.FillBlock(kHighBlock);
  Flip(50, 0, 9);
  Flip(60, 0, 40);
  const uint64_t p50 = kHighBlock + 512 * 50;
  EXPECT_EQ(WrongBits(kHighBlock, 50), 1);
  engine_.CheckBlock(kHighBlock);
  EXPECT_EQ(Counts(), "2046 0 2 0 0");
  EXPECT_EQ(FirstError(), Hex3(p50, p50, p50 ^ (uint64_t{1} << 9)));
  EXPECT_FALSE(Aliased(p50 ^ (uint64_t{1} << 9)));
}

TEST_F(SectorCheckTest, ZeroSectorsAreCorrupted) {
  engine_.FillBlock(kMiB);
  std::memset(Sector(5), 0, 512);
  engine_.CheckBlock(kMiB);
  EXPECT_EQ(Counts(), "2047 0 0 1 0");
  EXPECT_EQ(FirstError(), Hex3(kMiB + 5 * 512, kMiB + 5 * 512, 0));
}

TEST_F(SectorCheckTest, ZeroSectorAtOffset0IsCorruptedWith1802WrongBits) {
  // The bits set in words 1..63 of the pattern of offset 0.
  int32_t model = 0;
  for (unsigned k = 1; k < 64; ++k) model += std::popcount(RefWord(0, k));
  EXPECT_EQ(model, 1802);
  const uint64_t zeros[64] = {};
  EXPECT_EQ(engine_.CompareSector(zeros, 0, 0), 1802);
  engine_.FillBlock(0);
  std::memset(Sector(0), 0, 512);
  engine_.CheckBlock(0);
  EXPECT_EQ(Counts(), "2047 0 0 1 0");
  // Word 0 matches (0 = 0); the first difference is word 1.
  EXPECT_EQ(FirstError(), Hex3(8, 0x11, 0));
}

TEST_F(SectorCheckTest, CompareAgainstAnotherSeedCountsAgainstThatPattern) {
  uint64_t words[64];
  std::memcpy(words, RefSectorBytes(3 * kGiB + 512).data(), 512);
  EXPECT_EQ(engine_.CompareSector(words, 1024, 3 * kGiB + 512), 0);
  EXPECT_GT(engine_.CompareSector(words, 1024, 1024), 8);
}

TEST_F(SectorCheckTest, SectorHoldingAnotherOffsetIsOverwrittenAndThatOffsetAliased) {
  const uint64_t source = kHighBlock + 7 * kGiB + 3 * 512;
  const uint64_t p = kHighBlock + 100 * 512;
  engine_.FillBlock(kHighBlock);
  PlaceSectorOf(100, source);
  engine_.CheckBlock(kHighBlock);
  EXPECT_EQ(Counts(), "2047 1 0 0 1");
  EXPECT_EQ(FirstError(), Hex3(p, p, source));
  EXPECT_TRUE(Aliased(source));
  EXPECT_FALSE(Aliased(p));
  // The same foreign sector once more, in a later block: two overwritten
  // sectors, still one aliased offset, and still the first error.
  engine_.FillBlock(kHighBlock + kMiB);
  PlaceSectorOf(7, source);
  engine_.CheckBlock(kHighBlock + kMiB);
  EXPECT_EQ(Counts(), "4094 2 0 0 1");
  EXPECT_EQ(FirstError(), Hex3(p, p, source));
}

TEST_F(SectorCheckTest, ForeignSectorsInOneBlockAliasTheirDistinctOffsets) {
  struct Case {
    const char* name;
    std::vector<std::pair<uint64_t, uint64_t>> placed;  // sector index, source offset
    const char* counts;
  };
  std::vector<std::pair<uint64_t, uint64_t>> descending, same, alternating;
  for (uint64_t i = 0; i < 2048; ++i) {
    descending.push_back({i, 4 * kGiB + (2047 - i) * 512});
    same.push_back({i, 4 * kGiB + 512});
    alternating.push_back({i, 4 * kGiB + (i % 2) * 512});
  }
  const Case cases[] = {
      {"two copies of one sector", {{3, 9 * kMiB + 512}, {1000, 9 * kMiB + 512}}, "2046 2 0 0 1"},
      // Intact data of any aligned offset, even far beyond the run.
      {"far beyond the run", {{1, uint64_t{1} << 50}}, "2047 1 0 0 1"},
      {"descending", descending, "0 2048 0 0 2048"},
      {"all the same", same, "0 2048 0 0 1"},
      {"alternating", alternating, "0 2048 0 0 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTestEngine engine(platform_);
    engine.FillBlock(0);
    for (auto [index, source] : c.placed)
      std::memcpy(engine.Buffer() + index * 512, RefSectorBytes(source).data(), 512);
    engine.CheckBlock(0);
    EXPECT_EQ(Sectors(engine.CopyStatus()), c.counts);
    for (auto [index, source] : c.placed)
      EXPECT_TRUE(engine.AliasedOffsets().ContainsOffset(source));
  }
}

TEST_F(SectorCheckTest, SectorsDamagedInPlaceAreCorruptedNotOverwritten) {
  // Word 0 claims an aligned offset but the rest is not quite its pattern;
  // the generator ran from an offset no sector can have; word 0 holds the
  // sector's own offset and the rest is another sector's.
  const uint64_t p2 = kMiB + 2 * 512, p4 = kMiB + 4 * 512, p9 = kMiB + 9 * 512;
  struct Case {
    uint64_t index, source;
    bool flip, own_offset;
    std::string first;
  };
  const Case cases[] = {
      {9, 3 * kGiB, true, false, Hex3(p9, p9, 3 * kGiB)},
      {2, 5 * kMiB + 1000, false, false, Hex3(p2, p2, 5 * kMiB + 1000)},
      {4, 2 * kGiB, false, true, Hex3(p4 + 8, RefWord(p4, 1), RefWord(2 * kGiB, 1))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    CTestEngine engine(platform_);
    engine.FillBlock(kMiB);
    uint64_t* words = reinterpret_cast<uint64_t*>(engine.Buffer() + c.index * 512);
    std::memcpy(words, RefSectorBytes(c.source).data(), 512);
    if (c.flip) words[40] ^= 8;
    if (c.own_offset) words[0] = kMiB + c.index * 512;
    engine.CheckBlock(kMiB);
    EXPECT_EQ(Sectors(engine.CopyStatus()), "2047 0 0 1 0");
    EXPECT_EQ(First(engine.CopyStatus()), c.first);
    EXPECT_FALSE(engine.AliasedOffsets().ContainsOffset(c.source));
  }
}

TEST_F(SectorCheckTest, WholeBlockHoldingTheBlockOneGiBFurtherOn) {
  // A medium that maps two addresses to the same memory.
  const uint64_t b = 2 * kMiB;
  engine_.FillBlock(b + kGiB);
  engine_.CheckBlock(b);
  EXPECT_EQ(Counts(), "0 2048 0 0 2048");
  EXPECT_EQ(FirstError(), Hex3(b, b, b + 0x40000000));
  EXPECT_TRUE(Aliased(b + kGiB));
  EXPECT_TRUE(Aliased(b + kGiB + 2047 * 512));
  EXPECT_FALSE(Aliased(b + kGiB + 2048 * 512));
  // The same block read again adds overwritten sectors but no new offsets.
  engine_.FillBlock(b + kGiB);
  engine_.CheckBlock(b);
  EXPECT_EQ(Counts(), "0 4096 0 0 2048");
  // The next block, aliased the same way, adds 2048 new offsets.
  engine_.FillBlock(b + kMiB + kGiB);
  engine_.CheckBlock(b + kMiB);
  EXPECT_EQ(Counts(), "0 6144 0 0 4096");
  EXPECT_EQ(FirstError(), Hex3(b, b, b + 0x40000000));
}

TEST_F(SectorCheckTest, OverlappingAliasedRunsAreCountedOnce) {
  // Block 0: sectors 0..99 hold the sectors 1 GiB + 0..99 * 512; block 1:
  // sectors 0..199 hold 1 GiB + 50..249 * 512.
  engine_.FillBlock(0);
  for (uint64_t i = 0; i < 100; ++i) PlaceSectorOf(i, kGiB + i * 512);
  engine_.CheckBlock(0);
  EXPECT_EQ(Counts(), "1948 100 0 0 100");
  engine_.FillBlock(kMiB);
  for (uint64_t i = 0; i < 200; ++i) PlaceSectorOf(i, kGiB + (50 + i) * 512);
  engine_.CheckBlock(kMiB);
  EXPECT_EQ(Counts(), "3796 300 0 0 250");
}

TEST_F(SectorCheckTest, FirstErrorIsTheLowestOfThePassAndIsNeverDisplaced) {
  engine_.FillBlock(0);
  engine_.CheckBlock(0);
  EXPECT_EQ(FirstError(), "none");
  // Within a block: a later sector's early word, an earlier sector's late
  // words.
  engine_.FillBlock(kMiB);
  Flip(101, 1, 0);
  Flip(100, 60, 0);
  Flip(100, 61, 0);
  const uint64_t p = kMiB + 100 * 512;
  engine_.CheckBlock(kMiB);
  const std::string first = Hex3(p + 60 * 8, RefWord(p, 60), RefWord(p, 60) ^ 1);
  EXPECT_EQ(FirstError(), first);
  // Later blocks with errors at lower positions within their block, intact
  // blocks, and a block checked again at a lower offset change nothing.
  engine_.FillBlock(2 * kMiB);
  Flip(0, 0, 20);
  engine_.CheckBlock(2 * kMiB);
  for (uint64_t b = 3; b < 5; ++b) {
    engine_.FillBlock(b * kMiB);
    engine_.CheckBlock(b * kMiB);
  }
  engine_.FillBlock(0);
  std::memset(Sector(0), 0, 512);
  engine_.CheckBlock(0);
  EXPECT_EQ(FirstError(), first);
  EXPECT_EQ(Counts(), "12284 0 3 1 0");
}

TEST_F(SectorCheckTest, FirstErrorInWord63PointsAtTheLastWord) {
  engine_.FillBlock(0);
  Flip(2047, 63, 63);
  engine_.CheckBlock(0);
  const uint64_t p = 2047 * 512;
  EXPECT_EQ(FirstError(), Hex3(p + 504, RefWord(p, 63), RefWord(p, 63) ^ (uint64_t{1} << 63)));
}

}  // namespace
}  // namespace kalvex::testing
