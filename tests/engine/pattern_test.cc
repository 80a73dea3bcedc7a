// The test data pattern as FillBlock lays it into the block buffer.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "tests/engine/fault_platform.h"
#include "tests/engine/test_support.h"

namespace kalvex::testing {
namespace {

using ::testing::ElementsAreArray;

std::vector<uint8_t> BufferBytes(CTestEngine& engine, size_t at, size_t count) {
  return std::vector<uint8_t>(engine.Buffer() + at, engine.Buffer() + at + count);
}

class PatternTest : public ::testing::Test {
 protected:
  FaultPlatform platform_;
  CTestEngine engine_{platform_};
};

struct WorkedSector {
  uint64_t offset;
  uint64_t word0, word1, word2, word3, word63;
};

// The worked example of the pattern, words in hexadecimal.
constexpr WorkedSector kWorked[] = {
    {0, 0x0000000000000000, 0x0000000000000011, 0x0000001100000110, 0x0000020F00001001,
     0x38DEE6792986C021},
    {512, 0x0000000000000200, 0x0000020000001E11, 0x00003C110001C310, 0x0005480F001A6E01,
     0xE507B1EABC2C9E21},
    {1073741824, 0x0000000040000000, 0x40000003C0000011, 0x8000004940000110,
     0xC000055AC0001001, 0xA7113B34E986C021},
};

TEST_F(PatternTest, WorkedExampleWordsOfTheFirstTwoSectorsOfFile1) {
  engine_.FillBlock(0);
  for (int i = 0; i < 2; ++i) {
    const WorkedSector& s = kWorked[i];
    const uint64_t* w = SectorWords(engine_, s.offset / 512);
    EXPECT_EQ(w[0], s.word0) << "sector " << s.offset;
    EXPECT_EQ(w[1], s.word1) << "sector " << s.offset;
    EXPECT_EQ(w[2], s.word2) << "sector " << s.offset;
    EXPECT_EQ(w[3], s.word3) << "sector " << s.offset;
    EXPECT_EQ(w[63], s.word63) << "sector " << s.offset;
  }
}

TEST_F(PatternTest, WorkedExampleWordsOfTheFirstSectorOfFile2) {
  engine_.FillBlock(kGiB);
  const WorkedSector& s = kWorked[2];
  const uint64_t* w = SectorWords(engine_, 0);
  EXPECT_EQ(w[0], s.word0);
  EXPECT_EQ(w[1], s.word1);
  EXPECT_EQ(w[2], s.word2);
  EXPECT_EQ(w[3], s.word3);
  EXPECT_EQ(w[63], s.word63);
}

TEST_F(PatternTest, FirstBytesOfFile1AsTheyLieOnTheMedium) {
  engine_.FillBlock(0);
  const uint8_t bytes0[] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x01, 0x00, 0x00, 0x11, 0x00,
                            0x00, 0x00, 0x01, 0x10, 0x00, 0x00, 0x0F, 0x02, 0x00, 0x00};
  const uint8_t bytes512[] = {0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x1E, 0x00,
                              0x00, 0x00, 0x02, 0x00, 0x00, 0x10, 0xC3, 0x01, 0x00, 0x11, 0x3C,
                              0x00, 0x00, 0x01, 0x6E, 0x1A, 0x00, 0x0F, 0x48, 0x05, 0x00};
  EXPECT_THAT(BufferBytes(engine_, 0, 32), ElementsAreArray(bytes0));
  EXPECT_THAT(BufferBytes(engine_, 512, 32), ElementsAreArray(bytes512));
}

TEST_F(PatternTest, FirstBytesOfFile2AsTheyLieOnTheMedium) {
  engine_.FillBlock(kGiB);
  const uint8_t bytes[] = {0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00,
                           0xC0, 0x03, 0x00, 0x00, 0x40, 0x10, 0x01, 0x00, 0x40, 0x49, 0x00,
                           0x00, 0x80, 0x01, 0x10, 0x00, 0xC0, 0x5A, 0x05, 0x00, 0xC0};
  EXPECT_THAT(BufferBytes(engine_, 0, 32), ElementsAreArray(bytes));
}

// The tests below compare with RefWord; it must itself agree with the worked
// example.
TEST(PatternModel, ReferenceAgreesWithWorkedExample) {
  for (const WorkedSector& s : kWorked) {
    EXPECT_EQ(RefWord(s.offset, 0), s.word0);
    EXPECT_EQ(RefWord(s.offset, 1), s.word1);
    EXPECT_EQ(RefWord(s.offset, 2), s.word2);
    EXPECT_EQ(RefWord(s.offset, 3), s.word3);
    EXPECT_EQ(RefWord(s.offset, 63), s.word63);
  }
}

TEST_F(PatternTest, OffsetsAbove4GiBAreWrittenAndUsedInFull) {
  // File 5 begins at 4 GiB: the upper half of the offset is in word 0, and the
  // generator starts from the whole 64-bit value (a generator seeded with the
  // lower 32 bits only would give 0x11 as word 1).
  engine_.FillBlock(0x100000000);
  const uint64_t* w = SectorWords(engine_, 0);
  EXPECT_EQ(w[0], 0x0000000100000000u);
  EXPECT_EQ(w[1], 0x0000000F00000011u);
  EXPECT_EQ(w[2], 0x000000F200000110u);
  EXPECT_EQ(w[3], 0x00000F3E00001001u);
  EXPECT_EQ(w[63], 0xF1A839682986C021u);
  const uint8_t first8[] = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
  EXPECT_THAT(BufferBytes(engine_, 0, 8), ElementsAreArray(first8));
}

TEST_F(PatternTest, SectorInsideAHighBlock) {
  // 5 GiB + 3 MiB, sector 7 of that block.
  engine_.FillBlock(5 * kGiB + 3 * kMiB);
  const uint64_t* w = SectorWords(engine_, 7);
  EXPECT_EQ(w[0], 0x0000000140300E00u);
  EXPECT_EQ(w[1], 0x40300E12C2D0D211u);
  EXPECT_EQ(w[2], 0x85A1A52A6A3C4F10u);
  EXPECT_EQ(w[3], 0x3EB4FC8C3988A201u);
  EXPECT_EQ(w[63], 0xE80AC3FE78DFD221u);
}

TEST_F(PatternTest, LastBlockOfThe64BitSpace) {
  engine_.FillBlock(0xFFFFFFFFFFF00000u);
  const uint64_t* w = SectorWords(engine_, 2047);
  EXPECT_EQ(w[0], 0xFFFFFFFFFFFFFE00u);
  EXPECT_EQ(w[1], 0xFFFFFDFFFFFFE211u);
  EXPECT_EQ(w[63], 0x8CB61B0796E0E221u);
}

TEST_F(PatternTest, EverySectorStartsWithItsOwnOffset) {
  const uint64_t block = 7 * kGiB + 5 * kMiB;
  engine_.FillBlock(block);
  for (uint64_t i = 0; i < 2048; ++i) {
    ASSERT_EQ(SectorWords(engine_, i)[0], block + 512 * i) << "sector " << i;
    if (i > 0) {
      ASSERT_EQ(SectorWords(engine_, i)[0] - SectorWords(engine_, i - 1)[0], 512u);
    }
  }
  EXPECT_EQ(SectorWords(engine_, 2047)[0], block + kMiB - 512);  // B + 1,048,064
}

TEST_F(PatternTest, WholeBlockMatchesTheModel) {
  const uint64_t block = 0x123456700000u;  // a multiple of 1 MiB above 2^32
  engine_.FillBlock(block);
  for (uint64_t i = 0; i < 2048; ++i) {
    const uint64_t* w = SectorWords(engine_, i);
    uint64_t x = block + 512 * i;
    for (unsigned k = 0; k < 64; ++k) {
      ASSERT_EQ(w[k], x) << "sector " << i << " word " << k;
      x = x * 0x10000000FULL + 17;
    }
  }
}

TEST_F(PatternTest, ContentDependsOnTheOffsetAlone) {
  // Whatever the buffer held before, and whichever block was made before,
  // the same offset gives the same bytes.
  std::memset(engine_.Buffer(), 0xA5, kMiB);
  engine_.FillBlock(3 * kMiB);
  const std::vector<uint8_t> first = BufferBytes(engine_, 0, kMiB);
  engine_.FillBlock(kGiB + 9 * kMiB);
  std::memset(engine_.Buffer(), 0x5A, kMiB / 2);
  engine_.FillBlock(3 * kMiB);
  EXPECT_EQ(BufferBytes(engine_, 0, kMiB), first);

  // And another engine (another run) makes the same bytes.
  FaultPlatform other_platform;
  CTestEngine other(other_platform);
  other.FillBlock(3 * kMiB);
  EXPECT_EQ(std::memcmp(other.Buffer(), first.data(), kMiB), 0);
}

TEST_F(PatternTest, BlockBufferIsPageAligned) {
  ASSERT_TRUE(engine_.BlockBufferAvailable());
  EXPECT_EQ(reinterpret_cast<uintptr_t>(engine_.Buffer()) % 4096, 0u);
}

}  // namespace
}  // namespace kalvex::testing
