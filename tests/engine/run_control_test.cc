// Preparing a run, the worker, the one done notification of every run, and
// endless verification. Ends with the one full-size run on real files.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/engine/engine_test.h"
#ifndef _WIN32
#include "tests/support/mount.h"
#endif

namespace kalvex::testing {
namespace {

constexpr auto kGenerous = std::chrono::seconds(300);

using RunControlTest = EngineTest;

// --- PrepareRun ---

TEST_F(RunControlTest, PrepareRunResolvesTheSizeAndTheProgressTotal) {
  struct Case {
    uint64_t size_mb;
    bool write, verify, fail_query;
    uint64_t size, total;  // the total is twice the size only for both passes
    const char* warning;
  };
  const Case cases[] = {
      {100, true, true, false, 100, 200, "Warning: Only 100 of 8192 MByte tested.\r\n"},
      {100, false, true, false, 100, 100, "Warning: Only 100 of 8192 MByte tested.\r\n"},
      {100, true, false, false, 100, 100, "Warning: Only 100 of 8192 MByte tested.\r\n"},
      // All free space, resolved in whole MByte, and its capacity warning.
      {0, true, true, false, 4768, 9536, "Warning: Only 4768 of 8192 MByte tested.\r\n"},
      {0, false, true, false, 4768, 4768, "Warning: Only 4768 of 8192 MByte tested.\r\n"},
      // A failed query gives all ones, and no warning.
      {0, true, true, true, kAllOnes, 2 * kAllOnes, ""},
      {10, true, true, false, 10, 20, "Warning: Only 10 of 8192 MByte tested.\r\n"},
  };
  LanguageGuard lang(kEnglish);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.size_mb << c.write << c.verify << c.fail_query);
    platform_.volume = {{5000000000, 8 * kGiB}};
    platform_.fail_volume_query = c.fail_query;
    engine_.SetWarningText("old warning");
    Prepare(c.size_mb, c.write, c.verify);
    EXPECT_EQ(engine_.UseAllSpace(), c.size_mb == 0);
    EXPECT_EQ(engine_.SizeMB(), c.size);
    EXPECT_EQ(Status().m_mbTotal, c.total);
    EXPECT_EQ(engine_.WarningText(), c.warning);
  }
}

TEST_F(RunControlTest, PrepareRunClearsTheRunStateButNotTheSectorFigures) {
  // A finished run that found a fault, then failed, then was aborted.
  WritePatternFile(File(1), 0, 1);
  platform_.on_read = [](const IoInfo&, uint8_t* data) { data[700] ^= 4; };
  Prepare(1, false, true);
  Run();
  RunError old_error;
  old_error.kind = ErrorKind::kNoBuffer;
  engine_.RaiseError(old_error);
  ASSERT_FALSE(engine_.ErrorText().empty());
  engine_.RequestAbort();
  const RunStatus before = Status();
  ASSERT_EQ(Passes(before), "write 0 none, verify 1 ended, total 1, passes 1");
  ASSERT_EQ(Sectors(before), "2047 0 1 0 0");
  ASSERT_NE(First(before), "none");

  engine_.SetWarningText("an old warning");
  engine_.PrepareRun();
  const RunStatus s = Status();
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_FALSE(engine_.Error());
  EXPECT_FALSE(engine_.AbortRequested());
  EXPECT_FALSE(s.m_abort);
  EXPECT_EQ(Passes(s), "write 0 none, verify 0 none, total 1, passes 0");
  EXPECT_EQ(First(s), "none");
  // Left for the passes to reset.
  EXPECT_EQ(Sectors(s), Sectors(before));
  EXPECT_EQ(s.m_firstError.offset, before.m_firstError.offset);
  EXPECT_EQ(s.m_firstError.expected, before.m_firstError.expected);
  EXPECT_EQ(s.m_firstError.found, before.m_firstError.found);
  EXPECT_EQ(s.m_verifyStart, before.m_verifyStart);
  EXPECT_EQ(engine_.WarningText(), "an old warning");
}

// --- One done notification per run, whatever the outcome ---

struct RunCase {
  const char* name;
  uint64_t size_mb;  // 0: all free space, 100 MByte of it
  bool write, verify;
  const char* fault;
  ErrorCode code;
  uint64_t abort_at_write, abort_at_read;  // 0: none
  bool error;                              // the run ends on an error
  const char* passes;
  const char* sectors;
  uint64_t opens;  // of 1.kvx for reading
  uint64_t free_mb = 100;
  uint64_t gone_from_check = 0;  // the target's path leads elsewhere from this check on
};

const RunCase kRuns[] = {
    {"Normal", 3, true, true, "", 0, 0, 0, false,
     "write 3 ended, verify 3 ended, total 6, passes 1", "6144 0 0 0 0", 1},
    {"WriteError", 3, true, true, "create 1", kEacces, 0, 0, true,
     "write 0 ended, verify 0 none, total 6, passes 0", "0 0 0 0 0", 0},
    {"VerifyError", 3, true, true, "read 1:1", kEio, 0, 0, true,
     "write 3 ended, verify 1 ended, total 6, passes 1", "2048 0 0 0 0", 1},
    {"AmountMismatch", 2, false, true, "", 0, 0, 0, true,
     "write 0 none, verify 0 ended, total 2, passes 1", "0 0 0 0 0", 0},
    {"AbortWhileWriting", 5, true, true, "", 0, 2, 0, false,
     "write 2 ended, verify 0 none, total 10, passes 0", "0 0 0 0 0", 0},
    {"AbortWhileVerifyingEndlessly", 3, true, true, "", 0, 0, 1, false,
     "write 3 ended, verify 1 ended, total 6, passes 1", "2048 0 0 0 0", 1},
    {"WriteOnly", 2, true, false, "", 0, 0, 0, false,
     "write 2 ended, verify 0 none, total 2, passes 0", "0 0 0 0 0", 0},
    // The size cut at a full medium within the allowance is verified.
    {"FullMediumWithinTheAllowance", 0, true, true, "write 1:99", kEnospc, 0, 0, false,
     "write 99 ended, verify 99 ended, total 198, passes 1", "202752 0 0 0 0", 1},
    {"FullMediumBeyondTheAllowance", 0, true, true, "write 1:98", kEnospc, 0, 0, true,
     "write 98 ended, verify 0 none, total 200, passes 0", "0 0 0 0 0", 0},
    // Nothing written and nothing read is no pass, however it came about.
    {"NothingToTest", 0, true, true, "", 0, 0, 0, true,
     "write 0 none, verify 0 none, total 0, passes 0", "0 0 0 0 0", 0, 0},
    {"MediumGoneBetweenThePasses", 3, true, true, "", 0, 0, 0, true,
     "write 3 ended, verify 0 ended, total 6, passes 1", "0 0 0 0 0", 0, 100, 2},
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class RunOutcomeTest : public EngineTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunOutcomeTest, NotifiesOnceWithItsTextInPlace) {
  const RunCase& c = GetParam();
  if (*c.fault) platform_.fail[c.fault] = c.code;
  platform_.volume = {{c.free_mb * kMiB, 100 * kMiB}};
  platform_.gone_from_check = c.gone_from_check;
  platform_.on_write = [this, c](const IoInfo& info) {
    if (info.nth == c.abort_at_write) engine_.RequestAbort();
  };
  platform_.on_read = [this, c](const IoInfo& info, uint8_t*) {
    if (info.nth == c.abort_at_read || info.pass > 20) engine_.RequestAbort();
  };
  Prepare(c.size_mb, c.write, c.verify, /*endless=*/c.abort_at_read != 0);
  Run();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_EQ(engine_.ErrorText().empty(), !c.error);
  EXPECT_EQ(done_.error_text, engine_.ErrorText());
  const RunStatus s = Status();
  EXPECT_EQ(s.m_abort, c.abort_at_write + c.abort_at_read != 0);
  EXPECT_EQ(Passes(s), c.passes);
  EXPECT_EQ(Sectors(s), c.sectors);
  EXPECT_EQ(First(s), "none");
  EXPECT_EQ(platform_.Count("open 1"), c.opens);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
  if (FileSizeOf(File(1)) != UINT64_MAX) {
    EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, RunOutcomeTest, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Endless verify ---

struct EndlessCase {
  const char* name;
  bool write, endless;
  uint64_t damage_pass, abort_pass, fail_pass;  // 0: none
  uint64_t passes;
  const char* sectors;
  bool error;
};

const EndlessCase kEndless[] = {
    {"WithoutEndlessThereIsOnePass", false, false, 0, 0, 0, 1, "4096 0 0 0 0", false},
    {"RepeatsUntilAPassFindsAFault", false, true, 3, 0, 0, 3, "4095 0 1 0 0", false},
    {"EndsOnAbort", false, true, 0, 2, 0, 2, "2048 0 0 0 0", false},
    {"EndsOnAnError", false, true, 0, 0, 2, 2, "2048 0 0 0 0", true},
    {"AfterAWritePassThatRunsOnce", true, true, 2, 0, 0, 2, "4095 0 1 0 0", false},
};

void PrintTo(const EndlessCase& c, std::ostream* os) { *os << c.name; }

class EndlessVerifyTest : public EngineTest, public ::testing::WithParamInterface<EndlessCase> {};

TEST_P(EndlessVerifyTest, RepeatsUntilAFaultAnAbortOrAnError) {
  const EndlessCase& c = GetParam();
  if (!c.write) WritePatternFile(File(1), 0, 2);
  platform_.on_read = [this, c](const IoInfo& info, uint8_t* data) {
    // A run that never ends would hang the suite; this one fails instead.
    if (info.pass > 20) engine_.RequestAbort();
    if (info.pass == c.damage_pass && info.block == 1) data[2048 + 9] ^= 0x10;
    if (info.pass == c.abort_pass && info.block == 0) engine_.RequestAbort();
    if (info.pass == c.fail_pass && info.block == 0) platform_.fail["read 1:1"] = kEio;
  };
  Prepare(2, c.write, true, c.endless);
  Run();
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_EQ(engine_.ErrorText().empty(), !c.error);
  EXPECT_EQ(platform_.Count("open 1"), c.passes);
  EXPECT_EQ(platform_.writes, c.write ? 2u : 0u);
  const RunStatus s = Status();
  EXPECT_EQ(s.m_verifyPasses, c.passes);
  // The result is that of the last pass alone.
  EXPECT_EQ(Sectors(s), c.sectors);
  const uint64_t word = RefWord(kMiB + 2048, 1);
  EXPECT_EQ(First(s), c.damage_pass ? Hex3(kMiB + 2048 + 8, word, word ^ 0x1000) : "none");
}

INSTANTIATE_TEST_SUITE_P(Runs, EndlessVerifyTest, ::testing::ValuesIn(kEndless),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The worker thread ---

TEST_F(RunControlTest, AbortInTheMiddleOfARealRun) {
  Prepare(64, true, true);
  // The sixth block waits until the test has looked and asked to stop.
  std::promise<void> held, released;
  std::shared_future<void> release = released.get_future().share();
  platform_.on_write = [&held, release](const IoInfo& info) {
    if (info.nth != 6) return;
    held.set_value();
    release.wait_for(kGenerous);
  };
  ASSERT_TRUE(engine_.StartWorker(done_.Notifier()));
  ASSERT_EQ(held.get_future().wait_for(kGenerous), std::future_status::ready);
  EXPECT_EQ(Passes(Status()), "write 5 running, verify 0 none, total 128, passes 0");
  EXPECT_EQ(done_.Count(), 0);
  engine_.RequestAbort();
  released.set_value();
  ASSERT_TRUE(done_.WaitForDone(kGenerous));
  engine_.JoinWorker();

  EXPECT_EQ(done_.Count(), 1);
  EXPECT_NE(done_.caller, std::this_thread::get_id());
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_TRUE(Status().m_abort);
  EXPECT_EQ(Passes(Status()), "write 6 ended, verify 0 none, total 128, passes 0");
  EXPECT_EQ(Files(), "1.kvx=6");
  EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  EXPECT_EQ(platform_.Calls(), "create 1, close 1");
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

TEST_F(RunControlTest, StatusCopiesDuringARunAreConsistent) {
  Prepare(12, true, true);
  ASSERT_TRUE(engine_.StartWorker(done_.Notifier()));
  uint64_t last_written = 0, last_verified = 0;
  const auto deadline = std::chrono::steady_clock::now() + kGenerous;
  while (done_.Count() == 0 && std::chrono::steady_clock::now() < deadline) {
    const RunStatus s = Status();
    ASSERT_GE(s.m_mbWritten, last_written);
    ASSERT_LE(s.m_mbWritten, 12u);
    if (s.m_verifyStarted) {
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
  EXPECT_EQ(Sectors(Status()), "24576 0 0 0 0");
}

TEST_F(RunControlTest, TwoWorkersOneAfterAnotherEachNotifyOnceTheFirstWithItsError) {
  platform_.fail["flush 1"] = kEio;
  Prepare(1, true, true);
  ASSERT_TRUE(engine_.StartWorker(done_.Notifier()));
  ASSERT_TRUE(done_.WaitForDone(kGenerous));
  // A verify-only run over the file the first one left; preparing it waits
  // for the first worker to be gone.
  const std::string first_error = engine_.ErrorText();
  DoneRecorder second(&engine_);
  Prepare(1, false, true);
  ASSERT_TRUE(engine_.StartWorker(second.Notifier()));
  ASSERT_TRUE(second.WaitForDone(kGenerous));
  engine_.JoinWorker();
  // The error text was in place when the first notification came.
  EXPECT_EQ(first_error, "Fehler beim Finalisieren der Datei '" + File(1) + "'." + Sys(kEio));
  EXPECT_EQ(done_.error_text, first_error);
  EXPECT_EQ(done_.Count(), 1);
  EXPECT_EQ(second.Count(), 1);
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(Sectors(Status()), "2048 0 0 0 0");
  EXPECT_EQ(Passes(Status()), "write 0 none, verify 1 ended, total 1, passes 1");
  EXPECT_EQ(platform_.Count("create 1"), 1u);
}

// --- The one full-size run: two test files on the real file system ---

TEST_F(RunControlTest, EveryVerifyPassFirstMakesTheReadsReachTheMedium) {
  platform_.cache_bypass = CacheBypass::kNotGuaranteed;
  platform_.on_read = [this](const IoInfo& info, uint8_t*) {
    if (info.pass == 3) engine_.RequestAbort();
  };
  Prepare(2, true, true, /*endless=*/true);
  Run();
  EXPECT_EQ(platform_.prepared_reads, 3u);  // one per pass, none for writing
  EXPECT_EQ(Status().m_cacheBypass, CacheBypass::kNotGuaranteed);
  // The next run starts from the best case again.
  Prepare(2, false, true);
  EXPECT_EQ(Status().m_cacheBypass, CacheBypass::kDirect);
}

// Needs a tmpfs of its own, which only Linux gives a test.
#ifndef _WIN32
TEST(RealMediumRun, WriteAndVerify1025MByte) {
  // A medium of its own: a run this large must never go to the machine's disk.
  TmpfsMount dir(1100 * kMiB);
  KALVEX_SKIP_UNLESS_MOUNTED(dir);

  CTestEngine engine(SystemPlatform());
  engine.SetTargetPath(dir.path().c_str());
  engine.SetSize(1025);
  engine.m_doWrite = true;
  engine.m_doVerify = true;
  engine.PrepareRun();
  DoneRecorder done(&engine);
  ASSERT_TRUE(engine.StartWorker(done.Notifier()));
  ASSERT_TRUE(done.WaitForDone(std::chrono::seconds(1800)));
  engine.JoinWorker();

  EXPECT_EQ(done.Count(), 1);
  EXPECT_EQ(engine.ErrorText(), "");
  const RunStatus s = engine.CopyStatus();
  EXPECT_EQ(Passes(s), "write 1025 ended, verify 1025 ended, total 2050, passes 1");
  EXPECT_EQ(Sectors(s), "2099200 0 0 0 0");
  EXPECT_EQ(First(s), "none");
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"1.kvx", "2.kvx"}));
  EXPECT_EQ(FileSizeOf(dir.File("1.kvx")), kGiB);
  EXPECT_EQ(FileSizeOf(dir.File("2.kvx")), kMiB);
  // Both files hold the pattern of their place in the whole test data.
  EXPECT_EQ(CountForeignSectors(dir.File("1.kvx"), 0), 0u);
  EXPECT_EQ(CountForeignSectors(dir.File("2.kvx"), kGiB), 0u);
  // The scan finds what the run left.
  EXPECT_EQ(engine.ScanTestData(), 1025u);
  EXPECT_TRUE(engine.TestFilesPresent());
}
#endif

}  // namespace
}  // namespace kalvex::testing

namespace kalvex::testing {
namespace {

// The speed over the position: one time per step of the test data, for the
// write pass and the verify pass, counted on a clock that moves one count
// per call.
TEST_F(RunControlTest, SpeedProfileHasATimePerStep) {
  EXPECT_EQ(ProfileStepMB(5), 1u);
  EXPECT_EQ(ProfileStepMB(1000), 10u);   // one per cent
  EXPECT_EQ(ProfileStepMB(1000000), 256u);  // never coarser than 256 MByte
  EXPECT_EQ(ProfileStepMB(kAllOnes) > 256, true);  // a bounded list for any size

  platform_.next_counter = 0;
  Prepare(5, true, true);
  Run();
  const SpeedProfile profile = engine_.CopyProfile();
  EXPECT_EQ(profile.step_mb, 1u);
  ASSERT_EQ(profile.write_done.size(), 5u);
  ASSERT_EQ(profile.verify_done.size(), 5u);
  // Each block reads the clock once, a pass's start twice: the first step
  // takes two counts, every later one one.
  const double f = static_cast<double>(profile.frequency);
  for (const auto& rates : {profile.WriteRates(), profile.VerifyRates()}) {
    ASSERT_EQ(rates.size(), 5u);
    EXPECT_DOUBLE_EQ(rates[0], f / 2);
    for (size_t i = 1; i < rates.size(); ++i) EXPECT_DOUBLE_EQ(rates[i], f);
  }
  // A new run starts with an empty profile.
  Reset();
  Prepare(3, true, false);
  EXPECT_TRUE(engine_.CopyProfile().write_done.empty());
}

}  // namespace
}  // namespace kalvex::testing
