// The test data pattern as FillBlock lays it into the block buffer.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/engine/engine_test.h"

namespace kalvex::testing {
namespace {

class PatternTest : public ::testing::Test {
 protected:
  const uint64_t* Words(uint64_t sector) const {
    return reinterpret_cast<const uint64_t*>(engine_.Buffer() + sector * 512);
  }
  std::vector<uint8_t> Bytes(size_t at, size_t count) const {
    return std::vector<uint8_t>(engine_.Buffer() + at, engine_.Buffer() + at + count);
  }

  FaultPlatform platform_;
  mutable CTestEngine engine_{platform_};
};

struct PatternWords {
  uint64_t block;
  uint64_t sector;  // within the block
  std::vector<std::pair<unsigned, uint64_t>> words;  // word index, value
};

TEST_F(PatternTest, WordsOfTheWorkedExampleAndOfHighOffsets) {
  const PatternWords cases[] = {
      // The worked example: the first two sectors of 1.kvx and the first of 2.kvx.
      {0, 0, {{0, 0x0}, {1, 0x11}, {2, 0x0000001100000110}, {3, 0x0000020F00001001},
              {63, 0x38DEE6792986C021}}},
      {0, 1, {{0, 0x200}, {1, 0x0000020000001E11}, {2, 0x00003C110001C310},
              {3, 0x0005480F001A6E01}, {63, 0xE507B1EABC2C9E21}}},
      {kGiB, 0, {{0, 0x40000000}, {1, 0x40000003C0000011}, {2, 0x8000004940000110},
                 {3, 0xC000055AC0001001}, {63, 0xA7113B34E986C021}}},
      // 5.kvx begins at 4 GiB: the generator starts from the whole 64-bit
      // offset (seeded with its lower half only, word 1 would be 0x11).
      {0x100000000, 0, {{0, 0x0000000100000000}, {1, 0x0000000F00000011},
                        {2, 0x000000F200000110}, {3, 0x00000F3E00001001},
                        {63, 0xF1A839682986C021}}},
      {5 * kGiB + 3 * kMiB, 7, {{0, 0x0000000140300E00}, {1, 0x40300E12C2D0D211},
                                {2, 0x85A1A52A6A3C4F10}, {3, 0x3EB4FC8C3988A201},
                                {63, 0xE80AC3FE78DFD221}}},
      // The last block of the 64-bit space.
      {0xFFFFFFFFFFF00000, 2047, {{0, 0xFFFFFFFFFFFFFE00}, {1, 0xFFFFFDFFFFFFE211},
                                  {63, 0x8CB61B0796E0E221}}},
  };
  for (const PatternWords& c : cases) {
    engine_.FillBlock(c.block);
    for (auto [k, value] : c.words) {
      EXPECT_EQ(Words(c.sector)[k], value) << c.block << " sector " << c.sector << " word " << k;
      // The model the other tests compare with agrees.
      EXPECT_EQ(RefWord(c.block + 512 * c.sector, k), value);
    }
  }
}

TEST_F(PatternTest, BytesOfTheWorkedExampleAsTheyLieOnTheMedium) {
  engine_.FillBlock(0);
  EXPECT_EQ(Bytes(0, 32), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                0x10, 0x01, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00,
                                                0x01, 0x10, 0x00, 0x00, 0x0F, 0x02, 0x00, 0x00}));
  EXPECT_EQ(Bytes(512, 32), (std::vector<uint8_t>{0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                  0x11, 0x1E, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
                                                  0x10, 0xC3, 0x01, 0x00, 0x11, 0x3C, 0x00, 0x00,
                                                  0x01, 0x6E, 0x1A, 0x00, 0x0F, 0x48, 0x05, 0x00}));
  engine_.FillBlock(kGiB);
  EXPECT_EQ(Bytes(0, 32), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00,
                                                0x11, 0x00, 0x00, 0xC0, 0x03, 0x00, 0x00, 0x40,
                                                0x10, 0x01, 0x00, 0x40, 0x49, 0x00, 0x00, 0x80,
                                                0x01, 0x10, 0x00, 0xC0, 0x5A, 0x05, 0x00, 0xC0}));
  engine_.FillBlock(0x100000000);
  EXPECT_EQ(Bytes(0, 8), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}));
}

TEST_F(PatternTest, EveryWordOfWholeBlocksMatchesTheModel) {
  // Every sector starts with its own offset, up to B + 1,048,064.
  for (uint64_t block : {7 * kGiB + 5 * kMiB, uint64_t{0x123456700000}}) {
    engine_.FillBlock(block);
    for (uint64_t i = 0; i < 2048; ++i) {
      uint64_t x = block + 512 * i;
      for (unsigned k = 0; k < 64; ++k) {
        ASSERT_EQ(Words(i)[k], x) << block << " sector " << i << " word " << k;
        x = x * 0x10000000FULL + 17;
      }
    }
    EXPECT_EQ(Words(2047)[0], block + kMiB - 512);
  }
}

TEST_F(PatternTest, ContentDependsOnTheOffsetAlone) {
  // Whatever the buffer held before, and whichever block was made before,
  // the same offset gives the same bytes; and so does another engine.
  std::memset(engine_.Buffer(), 0xA5, kMiB);
  engine_.FillBlock(3 * kMiB);
  const std::vector<uint8_t> first = Bytes(0, kMiB);
  engine_.FillBlock(kGiB + 9 * kMiB);
  std::memset(engine_.Buffer(), 0x5A, kMiB / 2);
  engine_.FillBlock(3 * kMiB);
  EXPECT_EQ(Bytes(0, kMiB), first);
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
