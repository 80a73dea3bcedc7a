// How a run ended, its exit status, and its machine-readable result.

#include "cli/json_result.h"
#include "engine/text_format.h"
#include "kalvex_version.h"

#include <gtest/gtest.h>

namespace kalvex::cli {
namespace {

TEST(ClassifyOutcomeTest, FaultsWinOverErrorsAndErrorsOverAborts) {
  RunStatus status;
  EXPECT_EQ(ClassifyOutcome(status, "", false), Outcome::kOk);
  EXPECT_EQ(ClassifyOutcome(status, "", true), Outcome::kAborted);
  status.m_abort = true;
  EXPECT_EQ(ClassifyOutcome(status, "", false), Outcome::kAborted);
  EXPECT_EQ(ClassifyOutcome(status, "Read error\r\n", true), Outcome::kError);
  status.m_firstError.taken = true;
  EXPECT_EQ(ClassifyOutcome(status, "Read error\r\n", true), Outcome::kFaulty);
  status.m_abort = false;
  EXPECT_EQ(ClassifyOutcome(status, "", false), Outcome::kFaulty);
}

TEST(ClassifyOutcomeTest, ExitCodesAndNames) {
  const std::tuple<Outcome, int, const char*> cases[] = {{Outcome::kOk, 0, "ok"},
                                                         {Outcome::kFaulty, 1, "faulty"},
                                                         {Outcome::kError, 2, "error"},
                                                         {Outcome::kAborted, 130, "aborted"}};
  for (const auto& [outcome, code, name] : cases) {
    EXPECT_EQ(ExitCodeFor(outcome), code);
    EXPECT_STREQ(OutcomeName(outcome), name);
  }
}

TEST(ToLfTest, LeavesNoCarriageReturn) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\r\nb\r\n", "a\nb\n"}, {"a\rb", "a\nb"}, {"a\r", "a\n"},
      {"\r\r\n", "\n\n"},       {"plain\n", "plain\n"}, {"", ""}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(ToLf(text), expected) << text;
}

TEST(BuildResultJsonTest, FaultyRunWithAllFieldsInTheirOrder) {
  constexpr int64_t kFrequency = 1000000;
  RunResult result;
  result.context = {"verify", "/media/stick", "2026-12-07T23:25:22Z", "2026-12-07T23:30:00Z"};
  result.outcome = Outcome::kFaulty;
  result.size_mb = 100;
  result.verify_passes = 3;
  RunStatus& s = result.status;
  s.m_frequency = kFrequency;
  s.m_writeStarted = s.m_verifyStarted = true;
  s.m_mbWritten = s.m_mbVerified = 100;
  s.m_writeStart = 5000;
  s.m_writeLast = 5000 + 4 * kFrequency;  // 4 s: 25 MByte/s
  s.m_verifyStart = 9 * kFrequency;
  s.m_verifyLast = 11 * kFrequency + kFrequency / 2;  // 2.5 s: 40 MByte/s
  s.m_okSectors = 204000;
  s.m_overwrittenSectors = 300;
  s.m_changedSectors = 2;
  s.m_corruptedSectors = 498;
  s.m_aliasedCount = 250;
  s.m_firstError = {true, 0x123458, 0x12345, 0xfedcba9876543210};
  s.m_cacheBypass = CacheBypass::kFlushed;
  result.verdict = {VerdictKind::kFailing, 0x123458 / 512 * 512};
  // Two steps of 2 MByte: 2 s, then 1 s.
  result.profile.step_mb = 2;
  result.profile.frequency = kFrequency;
  result.profile.write_start = 0;
  result.profile.write_done = {2 * kFrequency, 3 * kFrequency};
  // An earlier pass of the endless run that found nothing.
  RunStatus earlier;
  earlier.m_frequency = kFrequency;
  earlier.m_verifyPasses = 2;
  earlier.m_mbVerified = 100;
  earlier.m_verifyLast = 2 * kFrequency;
  earlier.m_okSectors = 204800;
  result.passes = {earlier, s};
  result.error_text = "Error reading file x.\r\n(Input/output error Code 5)\r\n";
  result.error.kind = ErrorKind::kRead;
  result.error.path = "/m/x";
  result.error.offset = 0x200000;
  result.error.has_code = true;
  result.error.code = 5;
  result.error.system_text = "Input/output error";
  result.warning_text = "Warning: Only 100 of 7600 MByte tested.\r\n";
  EXPECT_EQ(BuildResultJson(result).dump(),
            R"({"schema_version":2,"program_version":")" KALVEX_VERSION R"(","command":"verify",)"
            R"("target":"/media/stick","started_at":"2026-12-07T23:25:22Z",)"
            R"("finished_at":"2026-12-07T23:30:00Z","outcome":"faulty","verdict":"failing",)"
            R"("intact_mbyte":1,"size_mbyte":100,)"
            R"("verify_passes":3,)"
            R"("sectors":{"ok":204000,"overwritten":300,"slightly_changed":2,"corrupted":498,)"
            R"("aliased":250},"first_error":{"offset":1193048,"expected":"0x0000000000012345",)"
            R"("found":"0xfedcba9876543210"},)"
            R"x("error":"Error reading file x.\n(Input/output error Code 5)",)x"
            R"("error_detail":{"kind":"read","path":"/m/x","offset":2097152,"system_code":5,)"
            R"("system_text":"Input/output error"},)"
            R"("warning":"Warning: Only 100 of 7600 MByte tested.","cache_bypass":"flushed",)"
            R"("write":{"mbyte":100,"seconds":4.0,"mbyte_per_s":25.0},)"
            R"("verify":{"mbyte":100,"seconds":2.5,"mbyte_per_s":40.0},)"
            R"("passes":[{"pass":2,"verify":{"mbyte":100,"seconds":2.0,"mbyte_per_s":50.0},)"
            R"("sectors":{"ok":204800,"overwritten":0,"slightly_changed":0,"corrupted":0,)"
            R"("aliased":0},"first_error":null,"cache_bypass":"direct"},)"
            R"({"pass":0,"verify":{"mbyte":100,"seconds":2.5,"mbyte_per_s":40.0},)"
            R"("sectors":{"ok":204000,"overwritten":300,"slightly_changed":2,"corrupted":498,)"
            R"("aliased":250},"first_error":{"offset":1193048,"expected":"0x0000000000012345",)"
            R"("found":"0xfedcba9876543210"},"cache_bypass":"flushed"}],)"
            R"("profile":{"step_mbyte":2,"write_mbyte_per_s":[1.0,2.0],)"
            R"("verify_mbyte_per_s":[]}})");
}

TEST(BuildResultJsonTest, NothingStartedGivesNulls) {
  RunResult result;
  result.outcome = Outcome::kAborted;
  result.size_mb = 5;
  EXPECT_EQ(BuildResultJson(result).dump(),
            R"({"schema_version":2,"program_version":")" KALVEX_VERSION R"(","command":"",)"
            R"("target":"","started_at":"","finished_at":"","outcome":"aborted",)"
            R"("verdict":"inconclusive","intact_mbyte":0,"size_mbyte":5,)"
            R"("verify_passes":0,)"
            R"("sectors":{"ok":0,"overwritten":0,"slightly_changed":0,"corrupted":0,"aliased":0},)"
            R"("first_error":null,"error":null,"error_detail":null,"warning":null,)"
            R"("cache_bypass":null,"write":null,"verify":null,"passes":[],)"
            R"("profile":{"step_mbyte":0,"write_mbyte_per_s":[],"verify_mbyte_per_s":[]}})");
}

TEST(BuildResultJsonTest, OffsetsBeyond32BitsAndNoElapsedTime) {
  RunResult result;
  result.status.m_frequency = 1000000;
  result.status.m_verifyStarted = true;
  result.status.m_verifyStart = result.status.m_verifyLast = 777;
  result.status.m_firstError = {true, 0x100000208, 0x100000200, 0};
  const nlohmann::ordered_json j = BuildResultJson(result);
  EXPECT_EQ(j["first_error"].dump(),
            R"({"offset":4294967816,"expected":"0x0000000100000200","found":"0x0000000000000000"})");
  // Like the report's zero rate: no division by a zero time.
  EXPECT_EQ(j["verify"].dump(), R"({"mbyte":0,"seconds":0.0,"mbyte_per_s":0.0})");
}

}  // namespace
}  // namespace kalvex::cli
