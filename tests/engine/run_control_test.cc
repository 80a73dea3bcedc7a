// Preparing a run, the worker, the one done notification of every run, and
// endless verification. Ends with the one full-size run on real files.

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "tests/engine/fault_platform.h"
#include "tests/engine/test_support.h"

namespace kalvex::testing {
namespace {

constexpr auto kGenerous = std::chrono::seconds(300);

// Endless verification that never ends would hang the suite; this stops it
// after far more passes than any test expects, so that it fails instead.
constexpr uint64_t kSafetyPasses = 20;

class RunControlTest : public ::testing::Test {
 protected:
  void StopRunawayPasses(const ReadInfo& info) {
    if (info.pass > kSafetyPasses) engine_.RequestAbort();
  }
  void SetUp() override {
    platform_.SetErrorText(kFakeSystemText);
    engine_.SetTargetPath(dir_.path().c_str());
    done_.Watch(&engine_);
  }
  void Plan(uint64_t size_mb, bool write, bool verify, bool endless = false) {
    engine_.SetSize(size_mb);
    engine_.m_doWrite = write;
    engine_.m_doVerify = verify;
    engine_.m_endlessVerify = endless;
  }
  // Prepares and runs the worker's body on this thread.
  void RunHere() {
    engine_.PrepareRun();
    engine_.RunTest(done_.Notifier());
  }
  std::string File(uint64_t n) const { return dir_.File(std::to_string(n) + ".kvx"); }
  RunStatus Status() const { return engine_.CopyStatus(); }

  TempDir dir_;
  FaultPlatform platform_;
  CTestEngine engine_{platform_};
  DoneRecorder done_;
};

// --- PrepareRun ---

TEST_F(RunControlTest, ProgressTotalIsTwiceTheSizeOnlyWhenWritingAndVerifying) {
  Plan(100, true, true);
  engine_.PrepareRun();
  EXPECT_EQ(Status().m_mbTotal, 200u);
  EXPECT_FALSE(engine_.UseAllSpace());
  Plan(100, false, true);
  engine_.PrepareRun();
  EXPECT_EQ(Status().m_mbTotal, 100u);
  Plan(100, true, false);
  engine_.PrepareRun();
  EXPECT_EQ(Status().m_mbTotal, 100u);
  EXPECT_EQ(engine_.SizeMB(), 100u);
}

TEST_F(RunControlTest, AllFreeSpaceIsResolvedInWholeMByte) {
  platform_.SetVolumeSpace(5000000000, 8 * kGiB);
  Plan(0, true, true);
  engine_.PrepareRun();
  EXPECT_TRUE(engine_.UseAllSpace());
  EXPECT_EQ(engine_.SizeMB(), 4768u);
  EXPECT_EQ(Status().m_mbTotal, 9536u);

  Plan(0, false, true);
  engine_.PrepareRun();
  EXPECT_EQ(engine_.SizeMB(), 4768u);
  EXPECT_EQ(Status().m_mbTotal, 4768u);

  // A fixed size afterwards is no longer a run over all free space.
  Plan(10, true, true);
  engine_.PrepareRun();
  EXPECT_FALSE(engine_.UseAllSpace());
}

TEST_F(RunControlTest, AllFreeSpaceSetsTheCapacityWarning) {
  LanguageGuard lang(kEnglish);
  platform_.SetVolumeSpace(5000000000, 8 * kGiB);
  Plan(0, true, true);
  engine_.PrepareRun();
  EXPECT_EQ(engine_.WarningText(), "Warning: Only 4768 of 8192 MByte tested.\r\n");
}

TEST_F(RunControlTest, FailedFreeSpaceQueryGivesAllOnes) {
  engine_.SetWarningText("old warning");
  platform_.FailVolumeQuery();
  Plan(0, true, true);
  engine_.PrepareRun();
  EXPECT_TRUE(engine_.UseAllSpace());
  EXPECT_EQ(engine_.SizeMB(), 0xFFFFFFFFFFFFFFFFu);
  EXPECT_TRUE(engine_.WarningText().empty());
}

TEST_F(RunControlTest, PrepareRunClearsTheRunStateButNotTheSectorFigures) {
  // A finished run that found a fault, then failed, then was aborted.
  WritePatternFile(File(1), 0, 1);
  platform_.OnRead([](const ReadInfo&, uint8_t* data, size_t) { data[700] ^= 4; });
  Plan(1, false, true);
  RunHere();
  engine_.SetErrorText("an old error");
  engine_.RequestAbort();
  engine_.SetWarningText("an old warning");
  const RunStatus before = Status();
  ASSERT_TRUE(before.m_firstError.taken);
  ASSERT_TRUE(before.m_verifyStarted);
  ASSERT_EQ(before.m_mbVerified, 1u);
  ASSERT_EQ(before.m_verifyPasses, 1u);

  Plan(1, false, true);
  engine_.SetWarningText("an old warning");
  engine_.PrepareRun();
  const RunStatus s = Status();
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_FALSE(engine_.AbortRequested());
  EXPECT_FALSE(s.m_abort);
  EXPECT_FALSE(s.m_firstError.taken);
  EXPECT_FALSE(s.m_writeStarted);
  EXPECT_FALSE(s.m_writing);
  EXPECT_FALSE(s.m_verifyStarted);
  EXPECT_FALSE(s.m_verifying);
  EXPECT_EQ(s.m_mbWritten, 0u);
  EXPECT_EQ(s.m_mbVerified, 0u);
  EXPECT_EQ(s.m_verifyPasses, 0u);
  // Left for the passes to reset.
  EXPECT_EQ(s.m_okSectors, before.m_okSectors);
  EXPECT_EQ(s.m_changedSectors, 1u);
  EXPECT_EQ(s.m_firstError.offset, before.m_firstError.offset);
  EXPECT_EQ(s.m_firstError.expected, before.m_firstError.expected);
  EXPECT_EQ(s.m_firstError.found, before.m_firstError.found);
  EXPECT_EQ(s.m_verifyStart, before.m_verifyStart);
  EXPECT_EQ(engine_.WarningText(), "an old warning");
}

// --- One done notification per run, whatever the outcome ---

TEST_F(RunControlTest, NormalRunWritesVerifiesAndNotifiesOnce) {
  Plan(3, true, true);
  RunHere();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_TRUE(engine_.ErrorText().empty());
  const RunStatus s = Status();
  EXPECT_EQ(s.m_mbWritten, 3u);
  EXPECT_EQ(s.m_mbVerified, 3u);
  EXPECT_EQ(s.m_mbTotal, 6u);
  EXPECT_EQ(s.m_okSectors, 3 * 2048u);
  EXPECT_FALSE(s.m_firstError.taken);
  EXPECT_TRUE(s.m_writeStarted);
  EXPECT_TRUE(s.m_verifyStarted);
  EXPECT_FALSE(s.m_writing);
  EXPECT_FALSE(s.m_verifying);
  EXPECT_EQ(s.m_verifyPasses, 1u);
  EXPECT_EQ(platform_.OpenCount(1), 1u);  // one verify pass
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

TEST_F(RunControlTest, ErrorInTheWritePassNotifiesOnceAndSkipsVerifying) {
  platform_.FailCreate(1, kEacces);
  Plan(3, true, true);
  RunHere();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_FALSE(engine_.ErrorText().empty());
  // The text is in place when the notification comes.
  EXPECT_EQ(done_.ErrorTextAtDone(), engine_.ErrorText());
  EXPECT_FALSE(Status().m_verifyStarted);
  EXPECT_EQ(platform_.OpenCount(1), 0u);
}

TEST_F(RunControlTest, ErrorInTheVerifyPassNotifiesOnce) {
  platform_.FailReadInFile(1, 1, kEio);
  Plan(3, true, true);
  LanguageGuard lang(kEnglish);
  RunHere();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_EQ(engine_.ErrorText(),
            "Error reading file '" + File(1) +
                "', offset 0x100000.\r\n(Fake system text Code 5)\r\n");
  EXPECT_EQ(done_.ErrorTextAtDone(), engine_.ErrorText());
  EXPECT_EQ(Status().m_mbWritten, 3u);
  EXPECT_EQ(Status().m_mbVerified, 1u);
}

TEST_F(RunControlTest, AmountMismatchNotifiesOnce) {
  Plan(2, false, true);
  RunHere();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_FALSE(done_.ErrorTextAtDone().empty());
}

TEST_F(RunControlTest, AbortWhileWritingSkipsVerifyingAndNotifiesOnce) {
  platform_.OnWrite([this](const WriteInfo& info) {
    if (info.write_number == 2) engine_.RequestAbort();
  });
  Plan(5, true, true);
  RunHere();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_TRUE(Status().m_abort);
  EXPECT_FALSE(Status().m_verifyStarted);
  EXPECT_EQ(Status().m_verifyPasses, 0u);
  EXPECT_EQ(platform_.OpenCount(1), 0u);
  EXPECT_EQ(FileSizeOf(File(1)), 2 * kMiB);
}

TEST_F(RunControlTest, AbortWhileVerifyingNotifiesOnce) {
  platform_.OnRead([this](const ReadInfo&, uint8_t*, size_t) { engine_.RequestAbort(); });
  Plan(3, true, true, /*endless=*/true);
  RunHere();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(Status().m_mbVerified, 1u);
  EXPECT_EQ(platform_.OpenCount(1), 1u);
}

TEST_F(RunControlTest, WriteOnlyRunHasNoVerifyPass) {
  Plan(2, true, false);
  RunHere();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_EQ(Status().m_mbTotal, 2u);
  EXPECT_EQ(Status().m_mbWritten, 2u);
  EXPECT_FALSE(Status().m_verifyStarted);
  EXPECT_EQ(Status().m_verifyPasses, 0u);
  EXPECT_EQ(platform_.OpenCount(1), 0u);
}

TEST_F(RunControlTest, FullMediumWithinTheAllowanceIsFollowedByAPassingVerify) {
  platform_.SetVolumeSpace(100 * kMiB, 100 * kMiB);
  platform_.FailWriteAt(100, kEnospc);
  Plan(0, true, true);
  RunHere();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(engine_.SizeMB(), 99u);
  const RunStatus s = Status();
  EXPECT_EQ(s.m_mbTotal, 198u);
  EXPECT_EQ(s.m_mbWritten, 99u);
  EXPECT_EQ(s.m_mbVerified, 99u);
  EXPECT_EQ(s.m_okSectors, 99 * 2048u);
  EXPECT_FALSE(s.m_firstError.taken);
}

TEST_F(RunControlTest, FullMediumBeyondTheAllowanceEndsTheRunWithoutVerifying) {
  platform_.SetVolumeSpace(100 * kMiB, 100 * kMiB);
  platform_.FailWriteAt(99, kEnospc);
  Plan(0, true, true);
  RunHere();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_FALSE(engine_.ErrorText().empty());
  EXPECT_FALSE(Status().m_verifyStarted);
}

// --- Endless verify ---

TEST_F(RunControlTest, WithoutEndlessVerifyThereIsExactlyOnePass) {
  WritePatternFile(File(1), 0, 2);
  platform_.OnRead([this](const ReadInfo& info, uint8_t*, size_t) { StopRunawayPasses(info); });
  Plan(2, false, true, /*endless=*/false);
  RunHere();
  EXPECT_EQ(platform_.OpenCount(1), 1u);
  EXPECT_EQ(done_.Count(), 1);
}

TEST_F(RunControlTest, EndlessVerifyRepeatsUntilAPassFindsAFault) {
  WritePatternFile(File(1), 0, 2);
  // The medium starts to fail in the third pass.
  platform_.OnRead([this](const ReadInfo& info, uint8_t* data, size_t) {
    StopRunawayPasses(info);
    if (info.pass == 3 && info.block_in_file == 1) data[2048 + 9] ^= 0x10;
  });
  Plan(2, false, true, /*endless=*/true);
  RunHere();
  EXPECT_EQ(platform_.OpenCount(1), 3u);
  EXPECT_EQ(Status().m_verifyPasses, 3u);
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_TRUE(engine_.ErrorText().empty());
  const RunStatus s = Status();
  // The result is that of the faulty pass alone.
  EXPECT_TRUE(s.m_firstError.taken);
  EXPECT_EQ(s.m_firstError.offset, kMiB + 2048 + 8);
  EXPECT_EQ(s.m_changedSectors, 1u);
  EXPECT_EQ(s.m_okSectors, 2 * 2048u - 1);
  EXPECT_EQ(s.m_mbVerified, 2u);
}

TEST_F(RunControlTest, EndlessVerifyEndsOnAbort) {
  WritePatternFile(File(1), 0, 2);
  platform_.OnRead([this](const ReadInfo& info, uint8_t*, size_t) {
    StopRunawayPasses(info);
    if (info.pass == 2 && info.block_in_file == 0) engine_.RequestAbort();
  });
  Plan(2, false, true, /*endless=*/true);
  RunHere();
  EXPECT_EQ(platform_.OpenCount(1), 2u);
  EXPECT_EQ(Status().m_verifyPasses, 2u);
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_FALSE(Status().m_firstError.taken);
  EXPECT_TRUE(engine_.ErrorText().empty());
}

TEST_F(RunControlTest, EndlessVerifyEndsOnAnError) {
  WritePatternFile(File(1), 0, 2);
  platform_.FailReadAt(5, kEio);  // the second block of the second pass
  platform_.OnRead([this](const ReadInfo& info, uint8_t*, size_t) { StopRunawayPasses(info); });
  Plan(2, false, true, /*endless=*/true);
  RunHere();
  EXPECT_EQ(platform_.OpenCount(1), 2u);
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_FALSE(engine_.ErrorText().empty());
}

TEST_F(RunControlTest, WriteThenEndlessVerifyWritesOnce) {
  platform_.OnRead([this](const ReadInfo& info, uint8_t* data, size_t) {
    StopRunawayPasses(info);
    if (info.pass == 2) std::memset(data + 512, 0, 512);
  });
  Plan(2, true, true, /*endless=*/true);
  RunHere();
  EXPECT_EQ(platform_.Creates(), 1u);
  EXPECT_EQ(platform_.Writes(), 2u);
  EXPECT_EQ(platform_.OpenCount(1), 2u);
  EXPECT_EQ(Status().m_corruptedSectors, 2u);  // sector 1 of both blocks
  EXPECT_EQ(done_.Count(), 1);
}

// --- The worker thread ---

TEST_F(RunControlTest, AbortInTheMiddleOfARealRun) {
  Plan(64, true, true);
  engine_.PrepareRun();
  platform_.HoldWrite(6);
  ASSERT_TRUE(engine_.StartWorker(done_.Notifier()));
  ASSERT_TRUE(platform_.WaitUntilWriteHeld(std::chrono::milliseconds(kGenerous)));
  // The user interface's view while the sixth block waits.
  const RunStatus during = Status();
  EXPECT_TRUE(during.m_writing);
  EXPECT_TRUE(during.m_writeStarted);
  EXPECT_EQ(during.m_mbWritten, 5u);
  EXPECT_EQ(during.m_mbTotal, 128u);
  EXPECT_EQ(done_.Count(), 0);
  engine_.RequestAbort();
  platform_.ReleaseHeldWrite();
  ASSERT_TRUE(done_.WaitForDone(kGenerous));
  engine_.JoinWorker();

  EXPECT_EQ(done_.Count(), 1);
  EXPECT_NE(done_.CallerThread(), std::this_thread::get_id());
  EXPECT_TRUE(engine_.ErrorText().empty());
  const RunStatus s = Status();
  EXPECT_TRUE(s.m_abort);
  EXPECT_FALSE(s.m_writing);
  EXPECT_FALSE(s.m_verifyStarted);
  EXPECT_EQ(s.m_mbWritten, 6u);
  EXPECT_EQ(FileSizeOf(File(1)), 6 * kMiB);
  EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  EXPECT_EQ(platform_.OpenCount(1), 0u);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

TEST_F(RunControlTest, StatusCopiesDuringARunAreConsistent) {
  Plan(12, true, true);
  engine_.PrepareRun();
  ASSERT_TRUE(engine_.StartWorker(done_.Notifier()));
  uint64_t last_written = 0, last_verified = 0;
  bool verify_seen = false;
  const auto deadline = std::chrono::steady_clock::now() + kGenerous;
  while (done_.Count() == 0 && std::chrono::steady_clock::now() < deadline) {
    const RunStatus s = Status();
    ASSERT_GE(s.m_mbWritten, last_written);
    ASSERT_LE(s.m_mbWritten, 12u);
    if (s.m_verifyStarted) {
      if (!verify_seen) last_verified = 0;
      verify_seen = true;
      ASSERT_EQ(s.m_mbWritten, 12u);
      ASSERT_GE(s.m_mbVerified, last_verified);
      // Sectors are published a whole block at a time.
      const uint64_t sectors = s.m_okSectors + s.m_overwrittenSectors + s.m_changedSectors +
                               s.m_corruptedSectors;
      ASSERT_EQ(sectors % 2048, 0u);
      ASSERT_GE(sectors, s.m_mbVerified * 2048);
      ASSERT_LE(sectors, (s.m_mbVerified + 1) * 2048);
      last_verified = s.m_mbVerified;
    }
    last_written = s.m_mbWritten;
    std::this_thread::yield();
  }
  ASSERT_TRUE(done_.WaitForDone(kGenerous));
  engine_.JoinWorker();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_EQ(Status().m_mbVerified, 12u);
  EXPECT_EQ(Status().m_okSectors, 12 * 2048u);
}

TEST_F(RunControlTest, TwoRunsOneAfterAnotherEachNotifyOnce) {
  Plan(2, true, true);
  engine_.PrepareRun();
  ASSERT_TRUE(engine_.StartWorker(done_.Notifier()));
  ASSERT_TRUE(done_.WaitForDone(kGenerous));

  // A verify-only run over the files the first one left.
  DoneRecorder second;
  second.Watch(&engine_);
  Plan(2, false, true);
  engine_.PrepareRun();
  ASSERT_TRUE(engine_.StartWorker(second.Notifier()));
  ASSERT_TRUE(second.WaitForDone(kGenerous));
  engine_.JoinWorker();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_EQ(second.Count(), 1);
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(Status().m_okSectors, 2 * 2048u);
  EXPECT_FALSE(Status().m_writeStarted);
  EXPECT_EQ(platform_.Creates(), 1u);
}

TEST_F(RunControlTest, WorkerErrorIsRecordedBeforeTheNotification) {
  platform_.FailFlush(1, kEio);
  Plan(1, true, true);
  engine_.PrepareRun();
  ASSERT_TRUE(engine_.StartWorker(done_.Notifier()));
  ASSERT_TRUE(done_.WaitForDone(kGenerous));
  engine_.JoinWorker();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_FALSE(done_.ErrorTextAtDone().empty());
  EXPECT_EQ(done_.ErrorTextAtDone(), engine_.ErrorText());
}

// --- The one full-size run: two test files on the real file system ---

TEST(RealMediumRun, WriteAndVerify1025MByte) {
  TempDir dir;
  struct statvfs vfs;
  ASSERT_EQ(statvfs(dir.path().c_str(), &vfs), 0);
  if (static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize < 3 * kGiB)
    GTEST_SKIP() << "less than 3 GiB free in " << dir.path();

  CTestEngine engine(SystemPlatform());
  engine.SetTargetPath(dir.path().c_str());
  engine.SetSize(1025);
  engine.m_doWrite = true;
  engine.m_doVerify = true;
  engine.m_endlessVerify = false;
  engine.PrepareRun();
  DoneRecorder done;
  done.Watch(&engine);
  ASSERT_TRUE(engine.StartWorker(done.Notifier()));
  ASSERT_TRUE(done.WaitForDone(std::chrono::seconds(1800)));
  engine.JoinWorker();

  EXPECT_EQ(done.Count(), 1);
  EXPECT_EQ(engine.ErrorText(), "");
  const RunStatus s = engine.CopyStatus();
  EXPECT_EQ(s.m_mbTotal, 2050u);
  EXPECT_EQ(s.m_mbWritten, 1025u);
  EXPECT_EQ(s.m_mbVerified, 1025u);
  EXPECT_EQ(s.m_okSectors, 2048u * 1025u);
  EXPECT_EQ(s.m_overwrittenSectors, 0u);
  EXPECT_EQ(s.m_changedSectors, 0u);
  EXPECT_EQ(s.m_corruptedSectors, 0u);
  EXPECT_EQ(s.m_aliasedCount, 0u);
  EXPECT_FALSE(s.m_firstError.taken);
  EXPECT_FALSE(s.m_writing);
  EXPECT_FALSE(s.m_verifying);

  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"1.kvx", "2.kvx"}));
  EXPECT_EQ(FileSizeOf(dir.File("1.kvx")), kGiB);
  EXPECT_EQ(FileSizeOf(dir.File("2.kvx")), kMiB);
  // The last sector of file 1 and the first bytes of file 2.
  EXPECT_EQ(ReadBytes(dir.File("1.kvx"), kGiB - 512, 512), RefSectorBytes(kGiB - 512));
  EXPECT_EQ(ReadBytes(dir.File("2.kvx"), 0, 32),
            (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00,
                                  0x11, 0x00, 0x00, 0xC0, 0x03, 0x00, 0x00, 0x40,
                                  0x10, 0x01, 0x00, 0x40, 0x49, 0x00, 0x00, 0x80,
                                  0x01, 0x10, 0x00, 0xC0, 0x5A, 0x05, 0x00, 0xC0}));
  EXPECT_EQ(CountForeignSectors(dir.File("2.kvx"), kGiB), 0u);
  // The scan finds what the run left.
  EXPECT_EQ(engine.ScanTestData(), 1025u);
  EXPECT_TRUE(engine.TestFilesPresent());
}

}  // namespace
}  // namespace kalvex::testing
