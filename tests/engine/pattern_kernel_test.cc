// The versions of the pattern loops (portable, AVX2, AVX-512), each one the
// CPU runs: FillBlock lays down byte for byte the blocks of the plain
// per-sector fill, and CheckBlock gives exactly the counts, the first error
// and the aliased set of the plain per-sector rules, over intact, damaged,
// aliased, blank and random blocks and mixtures of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/pattern_kernels.h"
#include "engine/pattern_reference.h"
#include "tests/engine/engine_test.h"

namespace kalvex {
// Test names and messages show the path by name.
[[maybe_unused]] static void PrintTo(KernelPath path, std::ostream* os) {
  *os << KernelPathName(path);
}
}  // namespace kalvex

namespace kalvex::testing {
namespace {

constexpr uint64_t kWordsPerBlock = kBlockSize / 8;
constexpr uint64_t kTop = ~uint64_t{0};
// The last block that ends within the 64-bit space.
constexpr uint64_t kTopBlock = kTop - kMiB + 1;
// The aliased set keeps sector numbers in bitmaps of 2^32 each.
constexpr uint64_t kSectorNumberEdge = uint64_t{1} << 41;

std::vector<KernelPath> RunnablePaths() {
  std::vector<KernelPath> paths;
  for (KernelPath path : {KernelPath::kPortable, KernelPath::kAvx2, KernelPath::kAvx512})
    if (KernelPathAvailable(path)) paths.push_back(path);
  return paths;
}

uint64_t SplitMix(uint64_t& state) {
  uint64_t x = (state += 0x9E3779B97F4A7C15ULL);
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

using Block = std::vector<uint64_t>;  // kWordsPerBlock words

Block PlainBlock(uint64_t offset) {
  Block b(kWordsPerBlock);
  PlainFillBlock(reinterpret_cast<uint8_t*>(b.data()), offset);
  return b;
}

uint64_t* SectorOf(Block& b, uint64_t index) { return b.data() + index * kWordsPerSector; }

// Puts the intact sector of offset `source` at sector `index`.
void Place(Block& b, uint64_t index, uint64_t source) {
  uint64_t* w = SectorOf(b, index);
  w[0] = source;
  for (unsigned k = 1; k < kWordsPerSector; ++k) w[k] = w[k - 1] * 0x10000000FULL + 17;
}

void Flip(Block& b, uint64_t index, unsigned word, unsigned bit) {
  SectorOf(b, index)[word] ^= uint64_t{1} << bit;
}

// A verify pass checked by the engine on the path under test and by the
// plain rules, block for block over the same data, compared after each.
class PassComparison {
 public:
  void Check(const Block& block, uint64_t offset, const std::string& what) {
    SCOPED_TRACE(what);
    std::memcpy(engine_.Buffer(), block.data(), kBlockSize);
    engine_.CheckBlock(offset);
    plain_.CheckBlock(reinterpret_cast<const uint8_t*>(block.data()), offset);
    const RunStatus status = engine_.CopyStatus();
    RunStatus plain;
    plain.m_okSectors = plain_.ok;
    plain.m_overwrittenSectors = plain_.overwritten;
    plain.m_changedSectors = plain_.changed;
    plain.m_corruptedSectors = plain_.corrupted;
    plain.m_aliasedCount = plain_.aliased.Count();
    plain.m_firstError = plain_.first;
    EXPECT_EQ(Sectors(status), Sectors(plain));
    EXPECT_EQ(First(status), First(plain));
    EXPECT_EQ(engine_.AliasedOffsets().Count(), plain_.aliased.Count());
    // Only the claims of checked sectors can be in either set: agreeing on
    // every one of them makes the sets equal.
    for (uint64_t i = 0; i < kSectorsPerBlock; ++i) claims_.push_back(block[i * kWordsPerSector]);
    for (uint64_t claim : claims_) {
      if (engine_.AliasedOffsets().ContainsOffset(claim) != plain_.aliased.ContainsOffset(claim)) {
        ADD_FAILURE() << "aliased sets differ at " << std::hex << claim << ": plain has it "
                      << plain_.aliased.ContainsOffset(claim);
        break;
      }
    }
  }
  RunStatus Status() const { return engine_.CopyStatus(); }

 private:
  FaultPlatform platform_;
  CTestEngine engine_{platform_};
  PlainBlockChecker plain_;
  std::vector<uint64_t> claims_;
};

// Each test runs on one path, chosen for the whole process, and leaves the
// choice to the CPU again.
class PatternKernelTest : public ::testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetKernelPath(GetParam()));
    ASSERT_EQ(ActiveKernelPath(), GetParam());
  }
  void TearDown() override { SetKernelPath(KernelPath::kAuto); }
  const PatternKernels& Kernels() const { return ActivePatternKernels(); }

  FaultPlatform platform_;
  CTestEngine engine_{platform_};
};

const uint64_t kOffsets[] = {
    0,
    kMiB,
    5 * kGiB + 3 * kMiB,
    kGiB * 4 - kMiB,                 // the block below 2^32
    (uint64_t{1} << 32) - 3 * 512,   // the lower half wraps within the block
    kSectorNumberEdge - kMiB,
    kSectorNumberEdge,
    (uint64_t{1} << 63) - 512 * 5,
    uint64_t{1} << 63,
    0x123456789AB00000,
    kTopBlock - kMiB,
    kTopBlock,
    kTop - 100 * 512 + 1,            // the offsets wrap within the block
    kTop,
    12345,                           // not sector-aligned
    0xFEDCBA9876543217,
};

TEST_P(PatternKernelTest, FillIsByteForByteThePlainFill) {
  std::vector<uint64_t> offsets(std::begin(kOffsets), std::end(kOffsets));
  uint64_t seed = 1;
  for (int i = 0; i < 24; ++i) offsets.push_back(SplitMix(seed));
  for (uint64_t offset : offsets) {
    std::memset(engine_.Buffer(), 0xA5, kBlockSize);
    engine_.FillBlock(offset);
    const Block plain = PlainBlock(offset);
    const uint64_t* filled = reinterpret_cast<const uint64_t*>(engine_.Buffer());
    uint64_t i = 0;
    while (i < kWordsPerBlock && filled[i] == plain[i]) ++i;
    EXPECT_EQ(i, kWordsPerBlock) << "block " << std::hex << offset << ": word " << std::dec << i
                                 << " differs";
  }
}

TEST_P(PatternKernelTest, SectorPatternAndItsStepAreTheRecurrence) {
  uint64_t seed = 2;
  for (int i = 0; i < 200; ++i) {
    const uint64_t p = i < 16 ? kOffsets[i] : SplitMix(seed);
    uint64_t words[64];
    SectorPattern(p, words);
    for (unsigned k = 0; k < 64; ++k) ASSERT_EQ(words[k], RefWord(p, k)) << p << " word " << k;
    StepSectorPattern(words);
    for (unsigned k = 0; k < 64; ++k)
      ASSERT_EQ(words[k], RefWord(p + 512, k)) << p << " + 512, word " << k;
  }
}

TEST_P(PatternKernelTest, FillWritesRunsOfAnyLengthAtAnyWordAndNothingBeyond) {
  // Word shifts make the output miss every vector alignment; guard words
  // on both sides catch a write past either end.
  constexpr uint64_t kGuard = 0x5A5A5A5A5A5A5A5A;
  for (size_t sectors : {0, 1, 2, 3, 7, 64}) {
    for (unsigned shift : {0u, 1u, 3u, 7u}) {
      std::vector<uint64_t> buffer(8 + shift + sectors * 64 + 8, kGuard);
      const uint64_t offset = kTop - 2 * 512 + 1;  // wraps after two sectors
      FillPatternRun(Kernels(), buffer.data() + 8 + shift, offset, sectors);
      for (size_t i = 0; i < buffer.size(); ++i) {
        const bool inside = i >= 8 + shift && i < 8 + shift + sectors * 64;
        const uint64_t word = inside ? i - 8 - shift : 0;
        const uint64_t expected =
            inside ? RefWord(offset + 512 * (word / 64), static_cast<unsigned>(word % 64)) : kGuard;
        ASSERT_EQ(buffer[i], expected) << sectors << " sectors, shift " << shift << ", word " << i;
      }
    }
  }
}

TEST_P(PatternKernelTest, MatchingStopsAtTheSectorOfTheFirstWrongBit) {
  constexpr size_t kSectors = 40;
  const uint64_t offset = 7 * kGiB + 512 * 3;
  for (unsigned shift : {0u, 1u, 5u}) {
    std::vector<uint64_t> buffer(shift + kSectors * 64);
    uint64_t* run = buffer.data() + shift;
    FillPatternRun(Kernels(), run, offset, kSectors);
    EXPECT_EQ(MatchingPatternRun(Kernels(), run, offset, kSectors), kSectors);
    EXPECT_EQ(MatchingPatternRun(Kernels(), run, offset, 0), 0u);
    EXPECT_EQ(MatchingPatternRun(Kernels(), run, offset, 9), 9u);
    EXPECT_EQ(MatchingPatternRun(Kernels(), run, offset + 512, kSectors), 0u);
    EXPECT_EQ(MatchingPatternRun(Kernels(), run + 64, offset + 512, kSectors - 1), kSectors - 1);
    // Every word position, each at a bit of its own and at the top and
    // bottom bits, in sectors from the first to the last.
    for (unsigned k = 0; k < 64; ++k) {
      for (unsigned bit : {0u, (k * 7 + 3) % 64, 63u}) {
        const size_t sector = (k * 13 + bit) % kSectors;
        run[sector * 64 + k] ^= uint64_t{1} << bit;
        ASSERT_EQ(MatchingPatternRun(Kernels(), run, offset, kSectors), sector)
            << "word " << k << " bit " << bit << " shift " << shift;
        ASSERT_EQ(MatchingPatternRun(Kernels(), run, offset, sector), sector);
        run[sector * 64 + k] ^= uint64_t{1} << bit;
      }
    }
  }
}

TEST_P(PatternKernelTest, WrongBitsCountsEveryBit) {
  uint64_t seed = 3;
  alignas(64) uint64_t expected[64], words[64];
  for (int round = 0; round < 300; ++round) {
    SectorPattern(SplitMix(seed), expected);
    int32_t model = 0;
    for (unsigned k = 0; k < 64; ++k) {
      const unsigned kind = static_cast<unsigned>(SplitMix(seed) % 4);
      const uint64_t noise = kind == 0 ? 0 : kind == 1 ? uint64_t{1} << (SplitMix(seed) % 64)
                                     : kind == 2 ? ~uint64_t{0} : SplitMix(seed);
      words[k] = expected[k] ^ noise;
      model += std::popcount(noise);
    }
    ASSERT_EQ(Kernels().wrong_bits(words, expected), model) << round;
  }
  std::memcpy(words, expected, sizeof words);
  EXPECT_EQ(Kernels().wrong_bits(words, expected), 0);
}

TEST_P(PatternKernelTest, IntactBlocksAtManyOffsets) {
  for (uint64_t offset : kOffsets) {
    PassComparison pass;
    pass.Check(PlainBlock(offset), offset, "intact " + std::to_string(offset));
    EXPECT_EQ(Sectors(pass.Status()), "2048 0 0 0 0");
  }
}

TEST_P(PatternKernelTest, OneWrongBitInEveryWordPosition) {
  const uint64_t offset = 5 * kGiB + 3 * kMiB;
  for (unsigned k = 0; k < 64; ++k) {
    for (unsigned bit : {0u, 9u, 63u, (k * 11) % 64}) {
      for (uint64_t sector : {uint64_t{0}, uint64_t{777}, uint64_t{2047}}) {
        PassComparison pass;
        Block b = PlainBlock(offset);
        Flip(b, sector, k, bit);
        pass.Check(b, offset, "word " + std::to_string(k) + " bit " + std::to_string(bit));
        EXPECT_EQ(Sectors(pass.Status()), "2047 0 1 0 0");
      }
    }
  }
  // All 64 positions in one block, one per sector, in descending sectors:
  // the first error is the lowest word, not the first one damaged.
  PassComparison pass;
  Block b = PlainBlock(offset);
  for (unsigned k = 0; k < 64; ++k) Flip(b, 2000 - 30 * k, k, (k * 5) % 64);
  pass.Check(b, offset, "every position in one block");
  EXPECT_EQ(Sectors(pass.Status()), "1984 0 64 0 0");
}

TEST_P(PatternKernelTest, SevenAndEightWrongBits) {
  const uint64_t offset = 2 * kGiB;
  PassComparison pass;
  for (unsigned word : {0u, 1u, 17u, 63u}) {
    for (unsigned bits : {7u, 8u}) {
      Block b = PlainBlock(offset);
      // In one word; spread over the following words; in adjacent sectors.
      for (unsigned i = 0; i < bits; ++i) Flip(b, 100, word, (i * 9 + 1) % 64);
      for (unsigned i = 0; i < bits; ++i) Flip(b, 200, (word + i * 5) % 64, i);
      for (unsigned i = 0; i < bits; ++i) Flip(b, 300 + i % 2, (word + i) % 64, 60 - i);
      pass.Check(b, offset, "word " + std::to_string(word) + ", " + std::to_string(bits) + " bits");
    }
  }
  // Per word: with 7 bits all four sectors are slightly changed; with 8 the
  // two with all of them are corrupted, the two sharing them changed.
  const RunStatus s = pass.Status();
  EXPECT_EQ(s.m_changedSectors, 4 * 6u);
  EXPECT_EQ(s.m_corruptedSectors, 4 * 2u);
}

TEST_P(PatternKernelTest, AliasedBlocks) {
  const uint64_t b = 3 * kMiB;
  struct Case {
    std::string name;
    uint64_t offset;
    Block block;
  };
  std::vector<Case> cases;
  cases.push_back({"the block 1 GiB further on", b, PlainBlock(b + kGiB)});
  cases.push_back({"the block before", b, PlainBlock(b - kMiB)});
  cases.push_back({"shifted by a sector up", b, PlainBlock(b + 512)});
  cases.push_back({"shifted by a sector down", b, PlainBlock(b - 512)});
  cases.push_back({"the top block at 0", 0, PlainBlock(kTopBlock)});
  cases.push_back({"block 0 at the top", kTopBlock, PlainBlock(0)});
  cases.push_back({"claims wrap past 2^64", b, PlainBlock(kTop - 100 * 512 + 1)});
  cases.push_back({"across the bitmap edge", b, PlainBlock(kSectorNumberEdge - 1000 * 512)});
  {
    Block x = PlainBlock(b);
    for (uint64_t i = 0; i < 2048; ++i) Place(x, i, 4 * kGiB + (2047 - i) * 512);
    cases.push_back({"descending", b, x});
  }
  {
    Block x = PlainBlock(b);
    for (uint64_t i = 0; i < 2048; ++i) Place(x, i, 4 * kGiB + 512);
    cases.push_back({"all the same", b, x});
  }
  {
    Block x = PlainBlock(b);
    for (uint64_t i = 0; i < 2048; ++i) Place(x, i, 4 * kGiB + (i % 2) * 512);
    cases.push_back({"alternating", b, x});
  }
  {
    // Runs broken by a wrong bit, by an intact sector and by a sector of
    // another run; a run that reaches the block's end; single sectors.
    Block x = PlainBlock(b);
    for (uint64_t i = 10; i < 500; ++i) Place(x, i, 9 * kGiB + i * 512);
    Flip(x, 100, 63, 5);
    Flip(x, 101, 0, 9);
    Place(x, 200, b + 200 * 512);
    Place(x, 300, 11 * kGiB);
    for (uint64_t i = 1900; i < 2048; ++i) Place(x, i, kGiB + i * 512);
    Place(x, 1000, b + 999 * 512);  // a sector of its own block
    Place(x, 1002, b + 1001 * 512);
    Place(x, 1500, kTop - 511);     // the highest sector
    Place(x, 1501, 0);              // and the lowest, as if next
    cases.push_back({"runs and breaks", b, x});
  }
  {
    // Claims the consecutive sectors of the top, then 0 and on.
    Block x = PlainBlock(b);
    for (uint64_t i = 0; i < 8; ++i) Place(x, 40 + i, kTop - 4 * 512 + 1 + i * 512);
    cases.push_back({"a run over the top", b, x});
  }
  PassComparison pass;
  for (const Case& c : cases) {
    PassComparison single;
    single.Check(c.block, c.offset, c.name);
    pass.Check(c.block, c.offset, c.name + ", in one pass");
  }
  // Whole aliased blocks read again, and the blocks after them.
  pass.Check(PlainBlock(b + kGiB), b, "again");
  pass.Check(PlainBlock(b + kGiB + kMiB), b + kMiB, "the next block");
}

TEST_P(PatternKernelTest, DamagedClaimsAndForeignData) {
  const uint64_t b = 6 * kMiB;
  Block x = PlainBlock(b);
  // Own data under another aligned claim; another offset's data under the
  // own claim; a claim's data one bit off; a claim of an unaligned offset.
  for (uint64_t i = 0; i < 20; ++i) SectorOf(x, i)[0] = 5 * kGiB + i * 512;
  for (uint64_t i = 20; i < 40; ++i) {
    Place(x, i, 5 * kGiB + i * 512);
    SectorOf(x, i)[0] = b + i * 512;
  }
  for (uint64_t i = 40; i < 60; ++i) {
    Place(x, i, 5 * kGiB + i * 512);
    Flip(x, i, static_cast<unsigned>(i), 3);
  }
  for (uint64_t i = 60; i < 80; ++i) Place(x, i, 5 * kGiB + i * 512 + 8);
  PassComparison pass;
  pass.Check(x, b, "claims");
  EXPECT_EQ(Sectors(pass.Status()), "1968 0 20 60 0");
}

TEST_P(PatternKernelTest, BlankAndRandomBlocks) {
  struct Case {
    std::string name;
    uint64_t offset;
    Block block;
  };
  std::vector<Case> cases;
  for (uint64_t offset : {uint64_t{0}, kMiB, kTopBlock}) {
    cases.push_back({"zero at " + std::to_string(offset), offset, Block(kWordsPerBlock, 0)});
    cases.push_back({"ones at " + std::to_string(offset), offset, Block(kWordsPerBlock, kTop)});
  }
  uint64_t seed = 4;
  for (int i = 0; i < 4; ++i) {
    Block x(kWordsPerBlock);
    for (uint64_t& w : x) w = SplitMix(seed);
    cases.push_back({"random " + std::to_string(i), uint64_t(i) * kGiB, x});
  }
  {
    // Random bytes whose word 0 is an aligned claim and word 1 fits it: the
    // claim is looked at in full and turned down.
    Block x(kWordsPerBlock);
    for (uint64_t& w : x) w = SplitMix(seed);
    for (uint64_t i = 0; i < 2048; ++i) {
      uint64_t* w = SectorOf(x, i);
      w[0] &= ~uint64_t{511};
      w[1] = w[0] * 0x10000000FULL + 17;
    }
    cases.push_back({"random with claims", 0, x});
  }
  for (const Case& c : cases) {
    PassComparison pass;
    pass.Check(c.block, c.offset, c.name);
  }
  PassComparison zero;
  zero.Check(Block(kWordsPerBlock, 0), 0, "zero at 0");
  // Word 0 of the sector at 0 is 0 and holds: the first error is word 1.
  EXPECT_EQ(First(zero.Status()), Hex3(8, 0x11, 0));
}

// Blocks painted with the kinds of data a failing medium returns, in
// segments, and then bit runs flipped at random, over several passes.
TEST_P(PatternKernelTest, MixedBlocksOverSeveralPasses) {
  uint64_t seed = 5;
  for (int pass_number = 0; pass_number < 12; ++pass_number) {
    PassComparison pass;
    const uint64_t starts[] = {0, 3 * kGiB, kSectorNumberEdge - 4 * kMiB, kTopBlock - 5 * kMiB,
                               (SplitMix(seed) >> 1) & ~(kMiB - 1)};
    const uint64_t start = starts[pass_number % 5];
    for (uint64_t n = 0; n < 6; ++n) {
      const uint64_t offset = start + n * kMiB;
      Block x = PlainBlock(offset);
      const int segments = static_cast<int>(SplitMix(seed) % 12);
      for (int s = 0; s < segments; ++s) {
        const uint64_t first = SplitMix(seed) % 2048;
        const uint64_t length = 1 + SplitMix(seed) % (SplitMix(seed) % 2 ? 8 : 2048);
        const uint64_t end = std::min<uint64_t>(2048, first + length);
        const unsigned kind = static_cast<unsigned>(SplitMix(seed) % 8);
        const uint64_t far = SplitMix(seed) & ~uint64_t{511};
        const uint64_t near = offset + (SplitMix(seed) % 64) * 512 - 32 * 512;
        for (uint64_t i = first; i < end; ++i) {
          const uint64_t p = offset + i * 512;
          uint64_t* w = SectorOf(x, i);
          switch (kind) {
            case 0: Place(x, i, far + i * 512); break;          // a run from far away
            case 1: Place(x, i, near + i * 512); break;         // a run from nearby
            case 2: Place(x, i, far); break;                    // one claim again and again
            case 3: Place(x, i, p + 1 + i % 511); break;        // unaligned offsets
            case 4: std::memset(w, 0, 512); break;
            case 5: std::memset(w, 0xFF, 512); break;
            case 6:
              for (unsigned k = 0; k < 64; ++k) w[k] = SplitMix(seed);
              break;
            default: w[0] = far; break;                         // own data, foreign claim
          }
        }
      }
      const int flips = static_cast<int>(SplitMix(seed) % 24);
      for (int f = 0; f < flips; ++f) {
        uint64_t* w = SectorOf(x, SplitMix(seed) % 2048);
        const unsigned start_bit = static_cast<unsigned>(SplitMix(seed) % 4096);
        const unsigned length = 1 + static_cast<unsigned>(SplitMix(seed) % 9);
        for (unsigned i = 0; i < length; ++i) {
          const unsigned bit = (start_bit + i) % 4096;
          w[bit / 64] ^= uint64_t{1} << (bit % 64);
        }
      }
      pass.Check(x, offset,
                 "pass " + std::to_string(pass_number) + " block " + std::to_string(n));
      if (::testing::Test::HasFailure()) return;
    }
  }
}

std::string PathName(const ::testing::TestParamInfo<KernelPath>& info) {
  return KernelPathName(info.param);
}

INSTANTIATE_TEST_SUITE_P(RunnablePaths, PatternKernelTest, ::testing::ValuesIn(RunnablePaths()),
                         PathName);

// --- The choice of path ---

class KernelPathChoiceTest : public ::testing::Test {
 protected:
  void TearDown() override { SetKernelPath(KernelPath::kAuto); }
};

TEST_F(KernelPathChoiceTest, PortableAndAutoAlwaysRunAndAutoIsTheWidest) {
  EXPECT_TRUE(KernelPathAvailable(KernelPath::kPortable));
  EXPECT_TRUE(KernelPathAvailable(KernelPath::kAuto));
  ASSERT_TRUE(SetKernelPath(KernelPath::kAuto));
  const KernelPath widest = RunnablePaths().back();
  EXPECT_EQ(ActiveKernelPath(), widest) << KernelPathName(ActiveKernelPath());
  EXPECT_EQ(ActivePatternKernels().path, widest);
}

TEST_F(KernelPathChoiceTest, AChoiceHoldsUntilTheNextAndARefusalChangesNothing) {
  ASSERT_TRUE(SetKernelPath(KernelPath::kPortable));
  EXPECT_EQ(ActiveKernelPath(), KernelPath::kPortable);
  for (KernelPath path : {KernelPath::kAvx2, KernelPath::kAvx512}) {
    EXPECT_EQ(SetKernelPath(path), KernelPathAvailable(path)) << KernelPathName(path);
    EXPECT_EQ(ActiveKernelPath(), KernelPathAvailable(path) ? path : KernelPath::kPortable);
    SetKernelPath(KernelPath::kPortable);
  }
  EXPECT_FALSE(SetKernelPath(static_cast<KernelPath>(99)));
  EXPECT_EQ(ActiveKernelPath(), KernelPath::kPortable);
}

// The CPU's own word, where the system shows it: a path the build has and
// the CPU runs must be offered, or the tests above would quietly cover less.
TEST_F(KernelPathChoiceTest, PathsTheCpuRunsAreOffered) {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  std::string flags;
  while (std::getline(cpuinfo, line))
    if (line.rfind("flags", 0) == 0) {
      flags = line.substr(line.find(':') + 1) + " ";
      break;
    }
  if (flags.empty()) GTEST_SKIP() << "no /proc/cpuinfo flags here";
  auto has = [&](const char* flag) {
    std::string word(" ");
    word.append(flag).append(" ");
    return flags.find(word) != std::string::npos;
  };
  if (KernelPathBuilt(KernelPath::kAvx2)) {
    EXPECT_EQ(KernelPathAvailable(KernelPath::kAvx2), has("avx2") && has("popcnt"));
  }
  if (KernelPathBuilt(KernelPath::kAvx512)) {
    EXPECT_EQ(KernelPathAvailable(KernelPath::kAvx512), has("avx512f") && has("popcnt"));
  }
#if defined(__x86_64__) && defined(__linux__) && KALVEX_X86_KERNELS_OPTION
  EXPECT_TRUE(KernelPathBuilt(KernelPath::kAvx2));
  EXPECT_TRUE(KernelPathBuilt(KernelPath::kAvx512));
#endif
}

}  // namespace
}  // namespace kalvex::testing
