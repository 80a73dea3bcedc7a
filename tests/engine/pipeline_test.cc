// The passes overlap the pattern work of one block with the I/O of the
// other: the write pass fills the next block while it writes one, the verify
// pass checks the block read last while it reads the next. These cases pin
// what the overlap must not change: which bytes reach which file, which
// blocks are counted when a call fails or an abort comes while a block is
// in flight, and the counts and first error of damaged data, also at file
// boundaries and in the very last block of a pass.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/block_helper.h"
#include "tests/engine/engine_test.h"
#include "tools/reference/sector_model.h"

namespace kalvex::testing {
namespace {

using PipelineTest = EngineTest;

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

// Word 0 of every block of a pass, 0, 1 MiB, 2 MiB, ...: what the blocks
// written must begin with, in order.
std::vector<uint64_t> BlockOffsets(uint64_t blocks) {
  std::vector<uint64_t> offsets;
  for (uint64_t b = 0; b < blocks; ++b) offsets.push_back(b * kMiB);
  return offsets;
}

TEST_F(PipelineTest, WriteErrorAtBlockKLeavesExactlyKBlocksOfTheRightPattern) {
  // The block after the failing one is already made when the write fails;
  // it must neither be counted nor reach the file.
  for (uint64_t k : {0, 1, 2, 5}) {
    SCOPED_TRACE("failing block " + std::to_string(k));
    Reset();
    platform_.fail["write 1:" + std::to_string(k)] = kEio;
    Prepare(6, true, true);
    const RunError error = engine_.WritePass();
    EXPECT_EQ(error.kind, ErrorKind::kWrite);
    EXPECT_EQ(error.offset, k * kMiB);
    EXPECT_EQ(Status().m_mbWritten, k);
    EXPECT_FALSE(Status().m_writing);
    EXPECT_EQ(platform_.first_words, BlockOffsets(k));
    EXPECT_EQ(Files(), "1.kvx=" + std::to_string(k));
    EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
    EXPECT_EQ(platform_.OpenHandles(), 0u);
  }
}

TEST_F(PipelineTest, WriteErrorAfterAFileBoundaryCountsTheBlocksBeforeIt) {
  // The first block of 2.kvx is made while the last one of 1.kvx is written
  // and the file is flushed, closed and the next one created.
  platform_.discard_writes = true;
  for (uint64_t k : {0, 1}) {
    SCOPED_TRACE("failing block " + std::to_string(k) + " of 2.kvx");
    Reset();
    platform_.fail["write 2:" + std::to_string(k)] = kEio;
    LanguageGuard lang(kEnglish);
    Prepare(1030, true, true);
    engine_.RaiseError(engine_.WritePass());
    EXPECT_EQ(Status().m_mbWritten, kBlocksPerFile + k);
    EXPECT_EQ(platform_.first_words, BlockOffsets(kBlocksPerFile + k));
    EXPECT_EQ(engine_.ErrorText(), "Error writing file '" + File(2) + "', offset " +
                                       Hex(k * kMiB) +
                                       ".\r\nIt is still possible to verify the test data "
                                       "written up to this point." +
                                       Sys(kEio));
  }
}

TEST_F(PipelineTest, FullMediumCutsAtTheLastBlockWrittenAndTheRestVerifies) {
  platform_.volume = {{4 * kMiB, 3000 * kMiB}};
  platform_.fail["write 1:3"] = kEnospc;
  Prepare(0, true, true);
  ASSERT_EQ(engine_.SizeMB(), 4u);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(engine_.SizeMB(), 3u);
  EXPECT_EQ(Files(), "1.kvx=3");
  EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  EXPECT_EQ(platform_.Calls(), "create 1, write-fail 1:3, flush 1, close 1");
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(Sectors(Status()), "6144 0 0 0 0");
  EXPECT_EQ(Passes(Status()), "write 3 ended, verify 3 ended, total 6, passes 1");
}

TEST_F(PipelineTest, AbortDuringAWriteEndsTheWritingAfterThatBlock) {
  for (uint64_t n : {1, 3}) {
    SCOPED_TRACE("abort during write " + std::to_string(n));
    Reset();
    uint64_t seen = 0;
    platform_.on_write = [this, n, &seen](const IoInfo&) {
      if (++seen == n) engine_.RequestAbort();
    };
    Prepare(6, true, true);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(seen, n);
    EXPECT_EQ(Status().m_mbWritten, n);
    EXPECT_EQ(Files(), "1.kvx=" + std::to_string(n));
    EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  }
  platform_.on_write = nullptr;
}

TEST_F(PipelineTest, ReadErrorCountsAndChecksEveryBlockReadBeforeIt) {
  // The block before the failing read is still with the checker when the
  // read fails; its damage must be in the counts the pass leaves.
  WritePatternFile(File(1), 0, 3);
  WritePatternFile(File(2), 3 * kMiB, 3);
  for (uint64_t k : {0, 1, 2}) {
    SCOPED_TRACE("failing read 2:" + std::to_string(k));
    platform_.fail.clear();
    platform_.fail["read 2:" + std::to_string(k)] = kEio;
    // One wrong bit in word 5 of the last sector of the block read last.
    const uint64_t damaged_block = 3 + k - 1;
    platform_.on_read = [damaged_block](const IoInfo& info, uint8_t* data) {
      const uint64_t block = (info.file == 1 ? 0 : 3) + info.block;
      if (block == damaged_block) data[kMiB - 512 + 5 * 8] ^= 1;
    };
    Prepare(6, false, true);
    const RunError error = engine_.VerifyPass();
    EXPECT_EQ(error.kind, ErrorKind::kRead);
    EXPECT_EQ(error.path, File(2));
    EXPECT_EQ(error.offset, k * kMiB);
    const RunStatus s = Status();
    EXPECT_EQ(Passes(s), "write 0 none, verify " + std::to_string(3 + k) + " ended, total 6, passes 1");
    EXPECT_EQ(Sectors(s), std::to_string((3 + k) * 2048 - 1) + " 0 1 0 0");
    const uint64_t at = damaged_block * kMiB + kMiB - 512 + 5 * 8;
    EXPECT_EQ(First(s), Hex3(at, RefWord(at - 5 * 8, 5), RefWord(at - 5 * 8, 5) ^ 1));
  }
  platform_.on_read = nullptr;
}

TEST_F(PipelineTest, AbortDuringAReadStillChecksTheBlockInFlight) {
  WritePatternFile(File(1), 0, 2);
  WritePatternFile(File(2), 2 * kMiB, 3);
  for (uint64_t n : {1, 2, 3}) {
    SCOPED_TRACE("abort during the read of block " + std::to_string(n));
    // The block being read when the abort comes is damaged in its first
    // sector: it is the last block read and counted.
    uint64_t seen = 0;
    platform_.on_read = [this, n, &seen](const IoInfo&, uint8_t* data) {
      if (++seen != n) return;
      engine_.RequestAbort();
      std::memset(data, 0, 512);
    };
    Prepare(5, false, true);
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_EQ(seen, n);
    const RunStatus s = Status();
    EXPECT_EQ(s.m_mbVerified, n);
    EXPECT_EQ(Sectors(s), std::to_string(n * 2048 - 1) + " 0 0 1 0");
    // Word 0 of the sector at 0 is 0 itself.
    EXPECT_EQ(s.m_firstError.offset, (n - 1) * kMiB + (n == 1 ? 8 : 0));
    EXPECT_EQ(platform_.OpenHandles(), 0u);
  }
  platform_.on_read = nullptr;
}

TEST_F(PipelineTest, LastBlockOfEachFileDamagedFirstErrorIsTheLowest) {
  // 1.kvx ends at 3 MiB, 2.kvx at 5 MiB, the pass at 5 MiB. Damage at the
  // very end of each file: the one in 1.kvx is checked while 2.kvx is
  // opened, the one in 2.kvx after the last read, before the pass returns.
  WritePatternFile(File(1), 0, 3);
  WritePatternFile(File(2), 3 * kMiB, 2);
  WriteWord(File(1), 3 * kMiB - 8, 0);
  WriteWord(File(2), 2 * kMiB - 8, 0);
  WriteWord(File(2), 2 * kMiB - 16, 0);
  Prepare(5, false, true);
  EXPECT_FALSE(engine_.VerifyPass());
  const RunStatus s = Status();
  EXPECT_EQ(Passes(s), "write 0 none, verify 5 ended, total 5, passes 1");
  EXPECT_EQ(s.m_lostBlocks, 0u);
  const uint64_t last_sector = 3 * kMiB - 512;
  EXPECT_EQ(s.m_firstError.offset, 3 * kMiB - 8);
  EXPECT_EQ(s.m_firstError.expected, RefWord(last_sector, 63));
  EXPECT_EQ(s.m_firstError.found, 0u);
  // Each damaged sector holds 8 or more wrong bits in almost every case;
  // whichever class, the two sectors are the only ones not intact.
  EXPECT_EQ(s.m_okSectors, 5 * 2048 - 2u);
  EXPECT_EQ(s.m_overwrittenSectors + s.m_changedSectors + s.m_corruptedSectors, 2u);
}

// Random damage of every kind the check tells apart, over blocks that run
// across three files; the counts, the first error and the aliased set must be
// those of the plain per-sector model fed with the same bytes.
TEST_F(PipelineTest, RandomDamageCountsAsThePerSectorModelSays) {
  const std::vector<uint64_t> files = {3, 1, 4};  // blocks per file
  uint64_t offset = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    WritePatternFile(File(i + 1), offset, files[i]);
    offset += files[i] * kMiB;
  }
  const uint64_t blocks = offset / kMiB;
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(seed);
    reference::PassTally model;
    uint64_t block = 0;
    platform_.on_read = [&](const IoInfo&, uint8_t* data) {
      for (int n = 0; n < 6; ++n) {
        const size_t sector = random() % kSectorsPerBlock;
        uint8_t* at = data + sector * 512;
        switch (random() % 4) {
          case 0:  // a few flipped bits
            for (uint64_t b = 1 + random() % 9; b > 0; --b) at[random() % 512] ^= 1 << (random() % 8);
            break;
          case 1:  // zeros
            std::memset(at, 0, 512);
            break;
          case 2: {  // intact data of another place, a run of sectors
            const uint64_t from = (random() % 64) * 512;
            const size_t run = std::min<size_t>(1 + random() % 40, kSectorsPerBlock - sector);
            for (size_t i = 0; i < run; ++i) {
              const std::vector<uint8_t> bytes = RefSectorBytes(from + i * 512);
              std::memcpy(at + i * 512, bytes.data(), 512);
            }
            break;
          }
          default:  // unchanged
            break;
        }
      }
      for (size_t i = 0; i < kSectorsPerBlock; ++i)
        model.SectorBytes(data + i * 512, block * kMiB + i * 512);
      ++block;
    };
    Prepare(blocks, false, true);
    EXPECT_FALSE(engine_.VerifyPass());
    ASSERT_EQ(block, blocks);
    const RunStatus s = Status();
    EXPECT_EQ(Sectors(s), std::to_string(model.ok) + " " + std::to_string(model.overwritten) +
                              " " + std::to_string(model.slightly_changed) + " " +
                              std::to_string(model.corrupted) + " " +
                              std::to_string(model.aliased.size()));
    ASSERT_TRUE(model.first.taken);
    EXPECT_EQ(First(s), Hex3(model.first.offset, model.first.expected, model.first.found));
    for (uint64_t aliased : model.aliased)
      EXPECT_TRUE(engine_.AliasedOffsets().ContainsOffset(aliased)) << aliased;
  }
  platform_.on_read = nullptr;
}

// The helper thread on its own.
struct Worked {
  std::vector<uint64_t> offsets;
  std::vector<int64_t> stamps;
};

void Record(void* context, uint8_t* block, uint64_t offset, int64_t stamp) {
  block[0] = static_cast<uint8_t>(offset);
  static_cast<Worked*>(context)->offsets.push_back(offset);
  static_cast<Worked*>(context)->stamps.push_back(stamp);
}

TEST(BlockHelperTest, WorksInOrderAndFinishesTheBlockInHand) {
  FaultPlatform platform;
  Worked worked;
  uint8_t blocks[2][8] = {};
  {
    BlockHelper helper(&Record, &worked, platform);
    for (uint64_t i = 0; i < 100; ++i) {
      helper.Wait();
      helper.Hand(blocks[i % 2], i, static_cast<int64_t>(1000 + i));
    }
    // The last block is still in hand: the destructor waits for it.
  }
  ASSERT_EQ(worked.offsets.size(), 100u);
  for (uint64_t i = 0; i < 100; ++i) {
    EXPECT_EQ(worked.offsets[i], i);
    EXPECT_EQ(worked.stamps[i], static_cast<int64_t>(1000 + i));
  }
  EXPECT_EQ(blocks[0][0], 98);
  EXPECT_EQ(blocks[1][0], 99);
}

// The block's work waits until the caller, back from Hand, lets it go on:
// it can only finish when it runs beside the caller.
struct Gate {
  std::promise<void> begun;
  std::shared_future<void> release;
  bool released = false;
  std::thread::id thread;
};

void WaitAtGate(void* context, uint8_t*, uint64_t, int64_t) {
  auto* gate = static_cast<Gate*>(context);
  gate->thread = std::this_thread::get_id();
  gate->begun.set_value();
  gate->released = gate->release.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
}

TEST(BlockHelperTest, TheWorkRunsBesideTheCaller) {
  FaultPlatform platform;
  std::promise<void> release;
  Gate gate;
  gate.release = release.get_future().share();
  uint8_t block[8] = {};
  {
    BlockHelper helper(&WaitAtGate, &gate, platform);
    helper.Hand(block, 0);
    ASSERT_EQ(gate.begun.get_future().wait_for(std::chrono::seconds(60)),
              std::future_status::ready);
    release.set_value();
    helper.Wait();
    EXPECT_TRUE(gate.released);
  }
  EXPECT_NE(gate.thread, std::this_thread::get_id());
}

TEST(BlockHelperTest, WaitWithNothingInHandReturnsAndAnIdleHelperEnds) {
  FaultPlatform platform;
  Worked worked;
  {
    BlockHelper helper(&Record, &worked, platform);
    helper.Wait();
  }
  EXPECT_TRUE(worked.offsets.empty());
}

}  // namespace
}  // namespace kalvex::testing
