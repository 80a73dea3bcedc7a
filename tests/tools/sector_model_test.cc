// The reference model of the sector rules on sectors made by hand: each
// case is one the rules name, with its figures worked out here.
#include "tools/reference/sector_model.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <utility>

namespace kalvex::reference {
namespace {

constexpr uint64_t kP = 5 * 1048576;  // any aligned offset but 0

PassTally TallyOf(const SectorWords& words, uint64_t p) {
  PassTally tally;
  tally.Sector(words.data(), p);
  return tally;
}

SectorWords WithBits(SectorWords words, std::initializer_list<std::pair<unsigned, unsigned>> bits) {
  for (const auto& [word, bit] : bits) words[word] ^= uint64_t{1} << bit;
  return words;
}

TEST(SectorModelTest, PatternFollowsTheRecurrence) {
  EXPECT_EQ(PatternWord(0, 0), 0u);
  EXPECT_EQ(PatternWord(0, 1), 17u);
  EXPECT_EQ(PatternWord(0, 2), 17u * 0x10000000FULL + 17);
  EXPECT_EQ(PatternWord(512, 1), 512u * 0x10000000FULL + 17);
  const SectorWords words = Pattern(kP);
  EXPECT_EQ(words[0], kP);
  for (unsigned k = 1; k < kSectorWords; ++k) EXPECT_EQ(words[k], words[k - 1] * 0x10000000FULL + 17);
}

TEST(SectorModelTest, WordsAreLittleEndian) {
  unsigned char bytes[kSectorBytes] = {};
  bytes[0] = 0x01;
  bytes[7] = 0x80;
  bytes[8] = 0xFF;
  const SectorWords words = WordsOfBytes(bytes);
  EXPECT_EQ(words[0], 0x8000000000000001ULL);
  EXPECT_EQ(words[1], 0xFFu);
  EXPECT_EQ(words[63], 0u);
}

TEST(SectorModelTest, IntactSectorIsOk) {
  const PassTally tally = TallyOf(Pattern(kP), kP);
  EXPECT_EQ(tally.ok, 1u);
  EXPECT_EQ(tally.overwritten + tally.slightly_changed + tally.corrupted, 0u);
  EXPECT_FALSE(tally.first.taken);
  EXPECT_TRUE(tally.aliased.empty());
}

TEST(SectorModelTest, OneBitInWord5IsSlightlyChanged) {
  const SectorWords read = WithBits(Pattern(kP), {{5, 13}});
  const Verdict verdict = Classify(read.data(), kP);
  EXPECT_EQ(verdict.kind, SectorClass::kSlightlyChanged);
  EXPECT_EQ(verdict.wrong_bits, 1);
  const PassTally tally = TallyOf(read, kP);
  EXPECT_EQ(tally.slightly_changed, 1u);
  ASSERT_TRUE(tally.first.taken);
  EXPECT_EQ(tally.first.offset, kP + 40);
  EXPECT_EQ(tally.first.expected, PatternWord(kP, 5));
  EXPECT_EQ(tally.first.found, PatternWord(kP, 5) ^ (uint64_t{1} << 13));
}

TEST(SectorModelTest, SevenWrongBitsAreSlightEightAreCorruption) {
  const SectorWords seven =
      WithBits(Pattern(kP), {{1, 0}, {2, 63}, {9, 5}, {9, 6}, {30, 1}, {40, 2}, {63, 63}});
  const SectorWords eight = WithBits(seven, {{17, 17}});
  EXPECT_EQ(Classify(seven.data(), kP).wrong_bits, 7);
  EXPECT_EQ(Classify(seven.data(), kP).kind, SectorClass::kSlightlyChanged);
  EXPECT_EQ(Classify(eight.data(), kP).wrong_bits, 8);
  EXPECT_EQ(Classify(eight.data(), kP).kind, SectorClass::kCorrupted);
  EXPECT_EQ(TallyOf(eight, kP).corrupted, 1u);
  EXPECT_EQ(TallyOf(eight, kP).first.offset, kP + 8);
}

// A flip in the low nine bits of word 0 names no sector start; one above
// them names another sector whose pattern the rest does not follow. Both
// are damage in place, not another sector's data.
TEST(SectorModelTest, FlipsInWord0AreDamageInPlace) {
  for (unsigned bit : {0u, 4u, 8u, 9u, 40u}) {
    const SectorWords read = WithBits(Pattern(kP), {{0, bit}});
    const Verdict verdict = Classify(read.data(), kP);
    EXPECT_EQ(verdict.kind, SectorClass::kSlightlyChanged) << bit;
    EXPECT_EQ(verdict.claimed, kP ^ (uint64_t{1} << bit)) << bit;
    const PassTally tally = TallyOf(read, kP);
    EXPECT_TRUE(tally.aliased.empty()) << bit;
    EXPECT_EQ(tally.first.offset, kP) << bit;
    EXPECT_EQ(tally.first.expected, kP) << bit;
  }
}

// Zeros claim offset 0: at offset 0 that is the sector itself, so the
// zeros are damage, every set bit of the pattern of 0 a wrong one.
TEST(SectorModelTest, ZeroSectorAtOffset0IsCorrupted) {
  const SectorWords zeros = {};
  EXPECT_EQ(WrongBits(zeros.data(), 0), 1802);
  const Verdict verdict = Classify(zeros.data(), 0);
  EXPECT_EQ(verdict.kind, SectorClass::kCorrupted);
  EXPECT_EQ(verdict.wrong_bits, 1802);
  const PassTally tally = TallyOf(zeros, 0);
  EXPECT_EQ(tally.corrupted, 1u);
  // Word 0 of the pattern of 0 is 0 too: the first wrong word is word 1.
  ASSERT_TRUE(tally.first.taken);
  EXPECT_EQ(tally.first.offset, 8u);
  EXPECT_EQ(tally.first.expected, 17u);
  EXPECT_EQ(tally.first.found, 0u);
}

TEST(SectorModelTest, AnotherOffsetsSectorIsOverwrittenAndAliasedOnce) {
  const uint64_t q = 77 * 512;
  PassTally tally;
  const SectorWords other = Pattern(q);
  tally.Sector(other.data(), kP + 512);
  tally.Sector(other.data(), kP);
  EXPECT_EQ(Classify(other.data(), kP).kind, SectorClass::kOverwritten);
  EXPECT_EQ(tally.overwritten, 2u);
  EXPECT_EQ(tally.aliased, (std::set<uint64_t>{q}));
  // Lowest offset, though met second.
  EXPECT_EQ(tally.first.offset, kP);
  EXPECT_EQ(tally.first.expected, kP);
  EXPECT_EQ(tally.first.found, q);
}

TEST(SectorModelTest, AnotherOffsetsSectorWithAFlipIsDamage) {
  const SectorWords read = WithBits(Pattern(1024), {{3, 3}});
  EXPECT_EQ(Classify(read.data(), kP).kind, SectorClass::kCorrupted);
}

}  // namespace
}  // namespace kalvex::reference
