// The start decision alone decides whether a run starts: every refusal a
// front end could meet, with its text, and the engine's configuration on a
// start. Against real folders with a volume of the test's choosing.

#include "ui/start_decision.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/ui/test_support.h"
#include "ui/run_session.h"

namespace kalvex {
namespace {

using namespace testing;

class StartDecisionTest : public ::testing::Test {
 protected:
  StartDecisionTest() : engine_(platform_) {
    platform_.SetVolume(1000, 1000);
    engine_.SetTargetPath(dir_.String().c_str());
  }

  // "start", or "refuse[+refresh]: text"; an accompanying warning and the
  // size the engine holds afterwards are checked by the callers.
  std::string Decide(bool write, const char* size = nullptr) {
    StartRequest request;
    request.write = write;
    request.all_space = size == nullptr;
    request.size_text = size ? size : "";
    const StartDecision decision = DecideStart(engine_, request);
    if (decision.start) return "start";
    return std::string("refuse") + (decision.refresh_target ? "+refresh" : "") + ": " +
           (decision.message ? decision.message->text : "(none)");
  }

  TestPlatform platform_;
  CTestEngine engine_;
  TempDir dir_;
  ScopedLanguage english_{1};
};

TEST_F(StartDecisionTest, EveryReasonNotToRunIsARefusalWithItsText) {
  struct Case {
    const char* name;
    const char* file;  // put into the target before; nullptr: none
    uint64_t file_bytes;
    bool write;
    const char* size;
    uint64_t free_mb;
    const char* expected;
  } cases[] = {
      {"stray file blocks a write", "notes.kvx", 7, true, "5", 1000,
       "refuse+refresh: Can't write because of existing files."},
      {"stray uppercase file blocks a write", "OLD.KVX", 0, true, nullptr, 1000,
       "refuse+refresh: Can't write because of existing files."},
      {"test data blocks a write", "1.kvx", kMiB, true, "5", 1000,
       "refuse+refresh: Can't write because of existing files."},
      {"verify without test data", nullptr, 0, false, nullptr, 1000,
       "refuse+refresh: No existing test data."},
      {"verify beside stray files", "notes.kvx", 7, false, nullptr, 1000,
       "refuse+refresh: Please delete files *.kvx."},
      {"verify of irregular files", "1.kvx", kMiB + 512, false, nullptr, 1000,
       "refuse+refresh: Verify not possible because one or more test files have incorrect size"},
      {"all space with less than 1 MByte free", nullptr, 0, true, nullptr, 0,
       "refuse: Not enough space available!"},
      {"zero", nullptr, 0, true, "0", 1000, "refuse: Data volume must not be zero!"},
      {"more than free", nullptr, 0, true, "1001", 1000, "refuse: Not enough space available!"},
      // Leading zeros change nothing, however many there are.
      {"twenty digits", nullptr, 0, true, "00000000000000000500", 100,
       "refuse: Not enough space available!"},
      {"beyond 64 bits", nullptr, 0, true, "99999999999999999999999", 1000,
       "refuse: Not enough space available!"},
      {"twenty-one digits that fit", nullptr, 0, true, "000000000000000000010", 100, "start"},
      {"verify of regular data", "1.kvx", 3 * kMiB, false, nullptr, 1000, "start"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(dir_.Path());
    std::filesystem::create_directory(dir_.Path());
    if (c.file) MakeSparseFile(dir_ / c.file, c.file_bytes);
    platform_.SetVolume(c.free_mb, 1000);
    EXPECT_EQ(Decide(c.write, c.size), c.expected);
  }
}

TEST_F(StartDecisionTest, StartsConfigureTheRunAndRefusalsDoNot) {
  MakeSparseFile(dir_ / "1.kvx", 3 * kMiB);
  engine_.m_doWrite = true;
  ASSERT_EQ(Decide(false), "start");
  EXPECT_EQ(engine_.SizeMB(), 3u);  // the verify pass must find exactly this
  EXPECT_FALSE(engine_.m_doWrite);
  EXPECT_TRUE(engine_.m_doVerify);

  std::filesystem::remove(dir_ / "1.kvx");
  engine_.m_doWrite = false;
  ASSERT_EQ(Decide(true, "000000000000000000010"), "start");
  EXPECT_EQ(engine_.SizeMB(), 10u);
  EXPECT_TRUE(engine_.m_doWrite);
  ASSERT_EQ(Decide(true), "start");
  EXPECT_EQ(engine_.SizeMB(), 0u);  // resolved to the free space by the run

  engine_.m_doWrite = false;
  EXPECT_EQ(Decide(true, "0"), "refuse: Data volume must not be zero!");
  EXPECT_FALSE(engine_.m_doWrite);
}

TEST_F(StartDecisionTest, ATargetThatCannotBeUsedSaysWhy) {
  const std::string file = (dir_ / "file").string();
  std::ofstream(dir_ / "file") << "not a folder";
  std::vector<std::pair<std::string, std::string>> cases = {
      {(dir_ / "missing").string(),
       "refuse+refresh: Error: The target folder '" + (dir_ / "missing").string() +
           "' does not exist.\r\n"},
  };
#ifdef _WIN32
  // ERROR_DIRECTORY, in the system's own words.
  cases.push_back({file, "refuse+refresh: Error opening the target folder '" + file + "'.\r\n(" +
                             SystemPlatform().ErrorText(267) + " Code 267)\r\n"});
#else
  symlink("loop", (dir_ / "loop").c_str());
  cases.push_back({file, "refuse+refresh: Error opening the target folder '" + file +
                             "'.\r\n(Not a directory Code 20)\r\n"});
  cases.push_back({(dir_ / "loop").string(),
                   "refuse+refresh: Error opening the target folder '" + (dir_ / "loop").string() +
                       "'.\r\n(Too many levels of symbolic links Code 40)\r\n"});
#endif
  for (const auto& [target, expected] : cases) {
    engine_.SetTargetPath(target.c_str());
    EXPECT_EQ(Decide(true, "1"), expected);
    EXPECT_EQ(Decide(false), expected);
  }
  // A volume that cannot be queried refuses rather than letting any size pass.
  engine_.SetTargetPath(dir_.String().c_str());
  platform_.FailVolumeQuery(true);
  EXPECT_EQ(Decide(true, "1"), "refuse+refresh: Error accessing the target.");
}

TEST(ParseSizeFieldTest, ReadsEveryDigitAndSaturates) {
  const std::pair<const char*, uint64_t> cases[] = {
      {"", 0},
      {"  42", 42},
      {"12a", 12},
      {"a12", 0},
      {"00000000000000000500", 500},
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551616", UINT64_MAX},
      {"99999999999999999999999999", UINT64_MAX},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseSizeField(text), value) << text;
}

// The session's outcome follows from what the run left, faults first.
TEST(ClassifyOutcomeTest, FaultsBeforeErrorsBeforeAbort) {
  RunStatus status;
  EXPECT_EQ(ClassifyOutcome(status, "", false), Outcome::kOk);
  EXPECT_EQ(ClassifyOutcome(status, "", true), Outcome::kAborted);
  status.m_abort = true;
  EXPECT_EQ(ClassifyOutcome(status, "", false), Outcome::kAborted);
  EXPECT_EQ(ClassifyOutcome(status, "error", true), Outcome::kError);
  status.m_firstError.taken = true;
  EXPECT_EQ(ClassifyOutcome(status, "error", true), Outcome::kFaulty);
  // Reads that may have come from a cache confirm nothing, but a fault
  // found is a fault.
  RunStatus read;
  read.m_verifyStarted = true;
  read.m_cacheBypass = CacheBypass::kNotGuaranteed;
  EXPECT_EQ(ClassifyOutcome(read, "", false), Outcome::kUnconfirmed);
  read.m_cacheBypass = CacheBypass::kFlushed;
  EXPECT_EQ(ClassifyOutcome(read, "", false), Outcome::kOk);
  read.m_cacheBypass = CacheBypass::kNotGuaranteed;
  read.m_firstError.taken = true;
  EXPECT_EQ(ClassifyOutcome(read, "", false), Outcome::kFaulty);
}

}  // namespace
}  // namespace kalvex
