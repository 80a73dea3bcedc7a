// Classification of the sectors of a block read back: intact, overwritten,
// slightly changed, corrupted; the aliased offsets and the first error.
// Blocks are made with FillBlock, damaged in the buffer and checked with
// CheckBlock, as the verify pass does after each read.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "tests/engine/fault_platform.h"
#include "tests/engine/test_support.h"

namespace kalvex::testing {
namespace {

class SectorCheckTest : public ::testing::Test {
 protected:
  RunStatus Status() const { return engine_.CopyStatus(); }
  uint64_t* Sector(uint64_t index) { return SectorWords(engine_, index); }
  void Flip(uint64_t sector, unsigned word, unsigned bit) {
    Sector(sector)[word] ^= uint64_t{1} << bit;
  }
  // Puts the intact sector of offset `source` at sector `index` of the buffer.
  void PlaceSectorOf(uint64_t index, uint64_t source) {
    const std::vector<uint8_t> bytes = RefSectorBytes(source);
    std::memcpy(Sector(index), bytes.data(), 512);
  }
  void ExpectCounts(uint64_t ok, uint64_t overwritten, uint64_t changed, uint64_t corrupted,
                    uint64_t aliased) {
    const RunStatus s = Status();
    EXPECT_EQ(s.m_okSectors, ok);
    EXPECT_EQ(s.m_overwrittenSectors, overwritten);
    EXPECT_EQ(s.m_changedSectors, changed);
    EXPECT_EQ(s.m_corruptedSectors, corrupted);
    EXPECT_EQ(s.m_aliasedCount, aliased);
  }
  void ExpectFirstError(uint64_t offset, uint64_t expected, uint64_t found) {
    const FirstError e = Status().m_firstError;
    EXPECT_TRUE(e.taken);
    EXPECT_EQ(e.offset, offset);
    EXPECT_EQ(e.expected, expected);
    EXPECT_EQ(e.found, found);
  }

  FaultPlatform platform_;
  CTestEngine engine_{platform_};
};

constexpr uint64_t kHighBlock = 5 * kGiB + 3 * kMiB;  // above 2^32

TEST_F(SectorCheckTest, IntactBlockIsAllOkAndTakesNoFirstError) {
  engine_.FillBlock(kHighBlock);
  engine_.CheckBlock(kHighBlock);
  ExpectCounts(2048, 0, 0, 0, 0);
  EXPECT_FALSE(Status().m_firstError.taken);
}

TEST_F(SectorCheckTest, CountsAddUpOverBlocks) {
  for (uint64_t b = 0; b < 3; ++b) {
    engine_.FillBlock(b * kMiB);
    engine_.CheckBlock(b * kMiB);
  }
  engine_.FillBlock(3 * kMiB);
  Flip(0, 1, 0);
  engine_.CheckBlock(3 * kMiB);
  ExpectCounts(4 * 2048 - 1, 0, 1, 0, 0);
}

TEST_F(SectorCheckTest, OneBitInWord5IsSlightlyChanged) {
  engine_.FillBlock(kHighBlock);
  const uint64_t index = 300;
  const uint64_t p = kHighBlock + 512 * index;
  const uint64_t original = Sector(index)[5];
  Flip(index, 5, 17);
  engine_.CheckBlock(kHighBlock);
  ExpectCounts(2047, 0, 1, 0, 0);
  ExpectFirstError(p + 40, original, original ^ (uint64_t{1} << 17));
  EXPECT_EQ(original, RefWord(p, 5));
}

TEST_F(SectorCheckTest, SevenWrongBitsAreSlightlyChangedEightAreCorrupted) {
  engine_.FillBlock(0);
  for (unsigned bit = 0; bit < 7; ++bit) Flip(10, 9, bit * 3);
  for (unsigned bit = 0; bit < 8; ++bit) Flip(20, 9, bit * 3);
  engine_.CheckBlock(0);
  ExpectCounts(2046, 0, 1, 1, 0);
}

TEST_F(SectorCheckTest, WrongBitsSpreadOverWordsAddUp) {
  engine_.FillBlock(kHighBlock);
  // Sector 3: 3 + 2 + 2 = 7 bits in three words.
  Flip(3, 1, 0);
  Flip(3, 1, 33);
  Flip(3, 1, 63);
  Flip(3, 30, 5);
  Flip(3, 30, 6);
  Flip(3, 63, 1);
  Flip(3, 63, 62);
  // Sector 4: 2 + 3 + 3 = 8 bits; no word alone has more than 3.
  Flip(4, 1, 0);
  Flip(4, 1, 1);
  Flip(4, 30, 10);
  Flip(4, 30, 20);
  Flip(4, 30, 30);
  Flip(4, 63, 40);
  Flip(4, 63, 50);
  Flip(4, 63, 60);

  EXPECT_EQ(engine_.CompareSector(Sector(3), kHighBlock + 3 * 512, kHighBlock + 3 * 512), 7);
  EXPECT_EQ(engine_.CompareSector(Sector(4), kHighBlock + 4 * 512, kHighBlock + 4 * 512), 8);

  engine_.CheckBlock(kHighBlock);
  ExpectCounts(2046, 0, 1, 1, 0);
  // The lowest differing word of the pass: word 1 of sector 3.
  const uint64_t p3 = kHighBlock + 3 * 512;
  const uint64_t expected = RefWord(p3, 1);
  ExpectFirstError(p3 + 8, expected,
                   expected ^ (uint64_t{1} | uint64_t{1} << 33 | uint64_t{1} << 63));
}

TEST_F(SectorCheckTest, LowBitsOfWord0GiveAnUnalignedClaimAndASlightChange) {
  // Each of the low 9 bits of word 0, one per sector.
  const uint64_t block = 2 * kMiB;
  engine_.FillBlock(block);
  for (unsigned bit = 0; bit < 9; ++bit) Flip(100 + bit, 0, bit);
  for (unsigned bit = 0; bit < 9; ++bit) {
    const uint64_t p = block + 512 * (100 + bit);
    EXPECT_EQ(engine_.CompareSector(Sector(100 + bit), p, p), 1) << "bit " << bit;
  }
  engine_.CheckBlock(block);
  ExpectCounts(2048 - 9, 0, 9, 0, 0);
  const uint64_t p = block + 512 * 100;
  ExpectFirstError(p, p, p ^ 1);
}

TEST_F(SectorCheckTest, HigherBitOfWord0ClaimsAnotherOffsetButIsStillSlightlyChanged) {
  // Bit 9 makes the claim the neighbouring sector, bit 40 one far away; both
  // are 512-aligned, but words 1..63 are not their pattern.
  engine_.FillBlock(kHighBlock);
  Flip(50, 0, 9);
  Flip(60, 0, 40);
  const uint64_t p50 = kHighBlock + 512 * 50;
  EXPECT_EQ(engine_.CompareSector(Sector(50), p50, p50), 1);
  engine_.CheckBlock(kHighBlock);
  ExpectCounts(2046, 0, 2, 0, 0);
  ExpectFirstError(p50, p50, p50 ^ (uint64_t{1} << 9));
  EXPECT_FALSE(engine_.AliasedOffsets().ContainsOffset(p50 ^ (uint64_t{1} << 9)));
}

TEST_F(SectorCheckTest, ZeroSectorAwayFromOffset0IsCorrupted) {
  engine_.FillBlock(kMiB);
  std::memset(Sector(5), 0, 512);
  engine_.CheckBlock(kMiB);
  ExpectCounts(2047, 0, 0, 1, 0);
  const uint64_t p = kMiB + 5 * 512;
  ExpectFirstError(p, p, 0);
}

TEST_F(SectorCheckTest, ZeroSectorAtOffset0IsCorruptedWith1802WrongBits) {
  const uint64_t zeros[64] = {};
  // The bits set in words 1..63 of the pattern of offset 0.
  int32_t model = 0;
  for (unsigned k = 1; k < 64; ++k) model += std::popcount(RefWord(0, k));
  EXPECT_EQ(model, 1802);
  EXPECT_EQ(engine_.CompareSector(zeros, 0, 0), 1802);

  engine_.FillBlock(0);
  std::memset(Sector(0), 0, 512);
  engine_.CheckBlock(0);
  ExpectCounts(2047, 0, 0, 1, 0);
  // Word 0 matches (0 = 0); the first difference is word 1.
  ExpectFirstError(8, 0x11, 0);
}

TEST_F(SectorCheckTest, CompareAgainstAnotherSeedCountsAgainstThatPattern) {
  const std::vector<uint8_t> bytes = RefSectorBytes(3 * kGiB + 512);
  uint64_t words[64];
  std::memcpy(words, bytes.data(), 512);
  EXPECT_EQ(engine_.CompareSector(words, 1024, 3 * kGiB + 512), 0);
  EXPECT_GT(engine_.CompareSector(words, 1024, 1024), 8);
}

TEST_F(SectorCheckTest, SectorHoldingAnotherOffsetIsOverwrittenAndThatOffsetAliased) {
  const uint64_t source = kHighBlock + 7 * kGiB + 3 * 512;
  engine_.FillBlock(kHighBlock);
  PlaceSectorOf(100, source);
  engine_.CheckBlock(kHighBlock);
  ExpectCounts(2047, 1, 0, 0, 1);
  const uint64_t p = kHighBlock + 100 * 512;
  ExpectFirstError(p, p, source);
  EXPECT_TRUE(engine_.AliasedOffsets().ContainsOffset(source));
  EXPECT_FALSE(engine_.AliasedOffsets().ContainsOffset(p));

  // The same foreign sector once more, in a later block: two overwritten
  // sectors, still one aliased offset.
  engine_.FillBlock(kHighBlock + kMiB);
  PlaceSectorOf(7, source);
  engine_.CheckBlock(kHighBlock + kMiB);
  ExpectCounts(2 * 2047, 2, 0, 0, 1);
  ExpectFirstError(p, p, source);  // still the first one
}

TEST_F(SectorCheckTest, TwoCopiesOfOneSectorInOneBlockAliasOneOffset) {
  const uint64_t source = 9 * kMiB + 512;
  engine_.FillBlock(0);
  PlaceSectorOf(3, source);
  PlaceSectorOf(1000, source);
  engine_.CheckBlock(0);
  ExpectCounts(2046, 2, 0, 0, 1);
}

TEST_F(SectorCheckTest, IntactDataOfAnOffsetFarBeyondTheRunCountsAsOverwritten) {
  const uint64_t source = uint64_t{1} << 50;
  engine_.FillBlock(0);
  PlaceSectorOf(1, source);
  engine_.CheckBlock(0);
  ExpectCounts(2047, 1, 0, 0, 1);
  EXPECT_TRUE(engine_.AliasedOffsets().ContainsOffset(source));
}

TEST_F(SectorCheckTest, ForeignSectorWithOneWrongBitIsCorruptedNotOverwritten) {
  // Word 0 claims an aligned offset, but the rest is not quite its pattern:
  // damaged in place, classed by its difference from its own position.
  const uint64_t source = 3 * kGiB;
  engine_.FillBlock(kMiB);
  PlaceSectorOf(9, source);
  Flip(9, 40, 3);
  engine_.CheckBlock(kMiB);
  ExpectCounts(2047, 0, 0, 1, 0);
  EXPECT_FALSE(engine_.AliasedOffsets().ContainsOffset(source));
}

TEST_F(SectorCheckTest, IntactPatternOfAnUnalignedOffsetIsNotOverwritten) {
  // The generator run from an offset that no sector can have: the sector is
  // damaged in place even though it matches that pattern perfectly.
  const uint64_t unaligned = 5 * kMiB + 1000;
  engine_.FillBlock(0);
  PlaceSectorOf(2, unaligned);
  engine_.CheckBlock(0);
  ExpectCounts(2047, 0, 0, 1, 0);
}

TEST_F(SectorCheckTest, OwnOffsetInWord0WithForeignRestIsCorrupted) {
  engine_.FillBlock(kMiB);
  PlaceSectorOf(4, 2 * kGiB);
  const uint64_t p = kMiB + 4 * 512;
  Sector(4)[0] = p;
  engine_.CheckBlock(kMiB);
  ExpectCounts(2047, 0, 0, 1, 0);
  ExpectFirstError(p + 8, RefWord(p, 1), RefWord(2 * kGiB, 1));
}

TEST_F(SectorCheckTest, WholeBlockHoldingTheBlockOneGiBFurtherOn) {
  // A medium that maps two addresses to the same memory.
  const uint64_t b = 2 * kMiB;
  engine_.FillBlock(b + kGiB);
  engine_.CheckBlock(b);
  ExpectCounts(0, 2048, 0, 0, 2048);
  ExpectFirstError(b, b, b + 0x40000000);
  EXPECT_TRUE(engine_.AliasedOffsets().ContainsOffset(b + kGiB));
  EXPECT_TRUE(engine_.AliasedOffsets().ContainsOffset(b + kGiB + 2047 * 512));
  EXPECT_FALSE(engine_.AliasedOffsets().ContainsOffset(b + kGiB + 2048 * 512));

  // The same block read again adds overwritten sectors but no new offsets.
  engine_.FillBlock(b + kGiB);
  engine_.CheckBlock(b);
  ExpectCounts(0, 4096, 0, 0, 2048);

  // The next block, aliased the same way, adds 2048 new offsets.
  engine_.FillBlock(b + kMiB + kGiB);
  engine_.CheckBlock(b + kMiB);
  ExpectCounts(0, 6144, 0, 0, 4096);
  ExpectFirstError(b, b, b + 0x40000000);
}

TEST_F(SectorCheckTest, AliasedSectorsInDescendingOrderAreAllCounted) {
  const uint64_t source = 4 * kGiB;
  engine_.FillBlock(0);
  for (uint64_t i = 0; i < 2048; ++i) PlaceSectorOf(i, source + (2047 - i) * 512);
  engine_.CheckBlock(0);
  ExpectCounts(0, 2048, 0, 0, 2048);
}

TEST_F(SectorCheckTest, EverySectorHoldingTheSameForeignSectorAliasesOneOffset) {
  const uint64_t source = 4 * kGiB + 512;
  engine_.FillBlock(0);
  for (uint64_t i = 0; i < 2048; ++i) PlaceSectorOf(i, source);
  engine_.CheckBlock(0);
  ExpectCounts(0, 2048, 0, 0, 1);
}

TEST_F(SectorCheckTest, AlternatingForeignSectorsAliasTwoOffsets) {
  const uint64_t source = 4 * kGiB;
  engine_.FillBlock(0);
  for (uint64_t i = 0; i < 2048; ++i) PlaceSectorOf(i, source + (i % 2) * 512);
  engine_.CheckBlock(0);
  ExpectCounts(0, 2048, 0, 0, 2);
}

TEST_F(SectorCheckTest, OverlappingAliasedRunsAreCountedOnce) {
  const uint64_t source = kGiB;
  // Block 0: sectors 0..99 hold the sectors source .. source + 99 * 512.
  engine_.FillBlock(0);
  for (uint64_t i = 0; i < 100; ++i) PlaceSectorOf(i, source + i * 512);
  engine_.CheckBlock(0);
  ExpectCounts(1948, 100, 0, 0, 100);
  // Block 1: sectors 0..199 hold source + 50 * 512 .. source + 249 * 512.
  engine_.FillBlock(kMiB);
  for (uint64_t i = 0; i < 200; ++i) PlaceSectorOf(i, source + (50 + i) * 512);
  engine_.CheckBlock(kMiB);
  ExpectCounts(1948 + 1848, 300, 0, 0, 250);
}

TEST_F(SectorCheckTest, FirstErrorOfTheSecondBlockIsNotDisplacedByLaterOnes) {
  engine_.FillBlock(0);
  engine_.CheckBlock(0);
  EXPECT_FALSE(Status().m_firstError.taken);

  engine_.FillBlock(kMiB);
  const uint64_t p = kMiB + 100 * 512;
  const uint64_t expected = Sector(100)[3];
  Flip(100, 3, 0);
  engine_.CheckBlock(kMiB);
  ExpectFirstError(p + 24, expected, expected ^ 1);

  // Later blocks with errors at lower positions within their block, and a
  // block checked again at a lower offset, change nothing.
  engine_.FillBlock(2 * kMiB);
  Flip(0, 0, 20);
  engine_.CheckBlock(2 * kMiB);
  engine_.FillBlock(0);
  std::memset(Sector(0), 0, 512);
  engine_.CheckBlock(0);
  ExpectFirstError(p + 24, expected, expected ^ 1);
  ExpectCounts(2048 + 2047 + 2047 + 2047, 0, 2, 1, 0);
}

TEST_F(SectorCheckTest, FirstErrorIsTheLowestDifferingWordOfTheBlock) {
  engine_.FillBlock(kHighBlock);
  Flip(11, 1, 0);   // later sector, early word
  Flip(10, 60, 0);  // earlier sector, late word
  Flip(10, 61, 0);
  const uint64_t p10 = kHighBlock + 10 * 512;
  const uint64_t expected = Sector(10)[60] ^ 1;
  engine_.CheckBlock(kHighBlock);
  ExpectFirstError(p10 + 60 * 8, expected, expected ^ 1);
}

TEST_F(SectorCheckTest, FirstErrorInWord63PointsAtTheLastWord) {
  engine_.FillBlock(0);
  const uint64_t expected = Sector(2047)[63];
  Flip(2047, 63, 63);
  engine_.CheckBlock(0);
  ExpectFirstError(2047 * 512 + 504, expected, expected ^ (uint64_t{1} << 63));
}

TEST_F(SectorCheckTest, IntactBlocksLeaveTheFirstErrorAsItWas) {
  engine_.FillBlock(kMiB);
  std::memset(Sector(7), 0xFF, 512);
  engine_.CheckBlock(kMiB);
  const FirstError before = Status().m_firstError;
  ASSERT_TRUE(before.taken);
  for (uint64_t b = 2; b < 5; ++b) {
    engine_.FillBlock(b * kMiB);
    engine_.CheckBlock(b * kMiB);
  }
  const FirstError after = Status().m_firstError;
  EXPECT_TRUE(after.taken);
  EXPECT_EQ(after.offset, before.offset);
  EXPECT_EQ(after.expected, before.expected);
  EXPECT_EQ(after.found, before.found);
  EXPECT_EQ(after.offset, kMiB + 7 * 512);
}

}  // namespace
}  // namespace kalvex::testing
