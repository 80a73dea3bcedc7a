// The verify pass: reading the test files back in number order, the offsets
// it checks them at, abort, and the fresh start of every pass. Its errors
// are in pass_errors_test.cc.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/engine/engine_test.h"

namespace kalvex::testing {
namespace {

using VerifyPassTest = EngineTest;

TEST_F(VerifyPassTest, FilesAreReadInOrderAndOffsetsRunOnAcrossThem) {
  // The offsets are the bytes read so far: 2.kvx is checked from 3 MiB on.
  WritePatternFile(File(1), 0, 3);
  WritePatternFile(File(2), 3 * kMiB, 2);
  platform_.next_counter = 10;
  Prepare(5, false, true);
  EXPECT_FALSE(engine_.VerifyPass());
  const RunStatus s = Status();
  EXPECT_EQ(Sectors(s), "10240 0 0 0 0");
  EXPECT_EQ(First(s), "none");
  EXPECT_EQ(Passes(s), "write 0 none, verify 5 ended, total 5, passes 1");
  EXPECT_EQ(s.m_verifyStart, 10);
  EXPECT_EQ(s.m_verifyLast, 10 + 1 + 5);
  EXPECT_TRUE(engine_.ErrorText().empty());
  // Nothing but reading: the files stay as they were.
  EXPECT_EQ(platform_.events,
            (std::vector<std::string>{"open 1", "read 1:0", "read 1:1", "read 1:2", "read 1:3",
                                      "close 1", "open 2", "read 2:0", "read 2:1", "read 2:2",
                                      "close 2", "open-fail 3"}));
  EXPECT_EQ(platform_.OpenHandles(), 0u);
  EXPECT_EQ(Files(), "1.kvx=3 2.kvx=2");
  EXPECT_EQ(CountForeignSectors(File(1), 0) + CountForeignSectors(File(2), 3 * kMiB), 0u);
}

TEST_F(VerifyPassTest, MissingFileEndsTheTestDataAndLaterOnesAreNotOpened) {
  WritePatternFile(File(1), 0, 1);
  WritePatternFile(File(2), kMiB, 1);
  WritePatternFile(File(4), 2 * kMiB, 1);
  Prepare(2, false, true);
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(Passes(Status()), "write 0 none, verify 2 ended, total 2, passes 1");
  EXPECT_EQ(platform_.Calls(), "open 1, close 1, open 2, close 2, open-fail 3");
}

TEST_F(VerifyPassTest, FirstErrorInTheSecondFileHasItsOffsetInTheWholeTestData) {
  WritePatternFile(File(1), 0, 1);
  WritePatternFile(File(2), kMiB, 1);
  platform_.on_read = [](const IoInfo& info, uint8_t* data) {
    if (info.file == 2) data[3 * 512 + 16] ^= 0x80;  // sector 3, word 2, bit 7
  };
  Prepare(2, false, true);
  ASSERT_FALSE(engine_.VerifyPass());
  const uint64_t word = RefWord(kMiB + 3 * 512, 2);
  EXPECT_EQ(Sectors(Status()), "4095 0 1 0 0");
  EXPECT_EQ(First(Status()), Hex3(kMiB + 3 * 512 + 16, word, word ^ 0x80));
}

TEST_F(VerifyPassTest, EmptyFileIsSkippedAndLaterBlocksMeetOtherOffsets) {
  // 2.kvx holds the data written for 1 GiB on, but follows 0 bytes read.
  MakeSparseFile(File(1), 0);
  WritePatternFile(File(2), kGiB, 1);
  Prepare(1, false, true);
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(Passes(Status()), "write 0 none, verify 1 ended, total 1, passes 1");
  EXPECT_EQ(Sectors(Status()), "0 2048 0 0 2048");
  EXPECT_EQ(First(Status()), "0 0 40000000");
  EXPECT_TRUE(engine_.ErrorText().empty());
}

TEST_F(VerifyPassTest, AbortEndsThePassWithoutTheAmountCheck) {
  WritePatternFile(File(1), 0, 5);
  for (uint64_t abort_at_read : {0, 2}) {  // 0: before the pass
    SCOPED_TRACE(abort_at_read);
    const uint64_t before = platform_.reads;
    platform_.on_read = [this, abort_at_read, before](const IoInfo& info, uint8_t*) {
      if (info.nth - before == abort_at_read) engine_.RequestAbort();
    };
    Prepare(5, false, true);
    if (abort_at_read == 0) engine_.RequestAbort();
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_TRUE(engine_.ErrorText().empty());
    EXPECT_EQ(platform_.reads - before, abort_at_read);
    EXPECT_EQ(platform_.OpenHandles(), 0u);
    EXPECT_EQ(Passes(Status()), "write 0 none, verify " + std::to_string(abort_at_read) +
                                    " ended, total 5, passes 1");
    EXPECT_EQ(Status().m_okSectors, abort_at_read * 2048);
  }
}

TEST_F(VerifyPassTest, SecondPassStartsWithZeroCountsAndAnEmptyAliasedSet) {
  WritePatternFile(File(1), 0, 2);
  // In the first pass only: sector 0 holds sector 1, sector 5 one wrong bit.
  platform_.on_read = [](const IoInfo& info, uint8_t* data) {
    if (info.pass == 1 && info.block == 0) {
      std::memcpy(data, data + 512, 512);
      data[5 * 512 + 100] ^= 1;
    }
  };
  Prepare(2, false, true);
  ASSERT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(Sectors(Status()), "4094 1 1 0 1");
  EXPECT_EQ(First(Status()), "0 0 200");
  EXPECT_EQ(engine_.AliasedOffsets().Count(), 1u);

  ASSERT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(Sectors(Status()), "4096 0 0 0 0");
  EXPECT_EQ(First(Status()), "none");
  EXPECT_EQ(Passes(Status()), "write 0 none, verify 2 ended, total 2, passes 2");
  EXPECT_EQ(engine_.AliasedOffsets().Count(), 0u);
}

}  // namespace
}  // namespace kalvex::testing
