#include "cli/json_result.h"

#include <gtest/gtest.h>

#include "cli/exit_codes.h"

namespace kalvex::cli {
namespace {

constexpr int64_t kFrequency = 1000000;

RunStatus FaultyRun() {
  RunStatus s;
  s.m_frequency = kFrequency;
  s.m_writeStarted = true;
  s.m_mbWritten = 100;
  s.m_writeStart = 5000;
  s.m_writeLast = 5000 + 4 * kFrequency;  // 4 s: 25 MByte/s
  s.m_verifyStarted = true;
  s.m_mbVerified = 100;
  s.m_verifyStart = 9 * kFrequency;
  s.m_verifyLast = 11 * kFrequency + kFrequency / 2;  // 2.5 s: 40 MByte/s
  s.m_okSectors = 204000;
  s.m_overwrittenSectors = 300;
  s.m_changedSectors = 2;
  s.m_corruptedSectors = 498;
  s.m_aliasedCount = 250;
  s.m_firstError = {true, 0x123458, 0x0000000000012345, 0xfedcba9876543210};
  return s;
}

TEST(ClassifyOutcomeTest, FaultsWinOverErrorsAndAborts) {
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
  EXPECT_EQ(ExitCodeFor(Outcome::kOk), 0);
  EXPECT_EQ(ExitCodeFor(Outcome::kFaulty), 1);
  EXPECT_EQ(ExitCodeFor(Outcome::kError), 2);
  EXPECT_EQ(ExitCodeFor(Outcome::kAborted), 130);
  EXPECT_STREQ(OutcomeName(Outcome::kOk), "ok");
  EXPECT_STREQ(OutcomeName(Outcome::kFaulty), "faulty");
  EXPECT_STREQ(OutcomeName(Outcome::kError), "error");
  EXPECT_STREQ(OutcomeName(Outcome::kAborted), "aborted");
}

TEST(ToLfTest, LeavesNoCarriageReturn) {
  EXPECT_EQ(ToLf("a\r\nb\r\n"), "a\nb\n");
  EXPECT_EQ(ToLf("a\rb"), "a\nb");
  EXPECT_EQ(ToLf("a\r"), "a\n");
  EXPECT_EQ(ToLf("\r\r\n"), "\n\n");
  EXPECT_EQ(ToLf("plain\n"), "plain\n");
  EXPECT_EQ(ToLf(""), "");
}

TEST(BuildResultJsonTest, FaultyRunWithAllFields) {
  RunResult result;
  result.outcome = Outcome::kFaulty;
  result.size_mb = 100;
  result.verify_passes = 3;
  result.status = FaultyRun();
  result.error_text = "Error reading file x.\r\n(Input/output error Code 5)\r\n";
  result.warning_text = "Warning: Only 100 of 7600 MByte tested.\r\n";
  const nlohmann::ordered_json j = BuildResultJson(result);

  EXPECT_EQ(j["outcome"], "faulty");
  EXPECT_EQ(j["size_mbyte"], 100);
  EXPECT_EQ(j["verify_passes"], 3);
  EXPECT_EQ(j["sectors"]["ok"], 204000);
  EXPECT_EQ(j["sectors"]["overwritten"], 300);
  EXPECT_EQ(j["sectors"]["slightly_changed"], 2);
  EXPECT_EQ(j["sectors"]["corrupted"], 498);
  EXPECT_EQ(j["sectors"]["aliased"], 250);
  EXPECT_EQ(j["first_error"]["offset"], 0x123458);
  EXPECT_EQ(j["first_error"]["expected"], "0x0000000000012345");
  EXPECT_EQ(j["first_error"]["found"], "0xfedcba9876543210");
  EXPECT_EQ(j["error"], "Error reading file x.\n(Input/output error Code 5)\n");
  EXPECT_EQ(j["warning"], "Warning: Only 100 of 7600 MByte tested.\n");
  EXPECT_EQ(j["write"]["mbyte"], 100);
  EXPECT_DOUBLE_EQ(j["write"]["seconds"].get<double>(), 4.0);
  EXPECT_DOUBLE_EQ(j["write"]["mbyte_per_s"].get<double>(), 25.0);
  EXPECT_EQ(j["verify"]["mbyte"], 100);
  EXPECT_DOUBLE_EQ(j["verify"]["seconds"].get<double>(), 2.5);
  EXPECT_DOUBLE_EQ(j["verify"]["mbyte_per_s"].get<double>(), 40.0);
  // The dump carries no carriage return anywhere.
  EXPECT_EQ(j.dump().find("\\r"), std::string::npos);
  // The keys keep their documented order.
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"outcome", "size_mbyte", "verify_passes", "sectors",
                                            "first_error", "error", "warning", "write", "verify"}));
}

TEST(BuildResultJsonTest, NothingStartedGivesNulls) {
  RunResult result;
  result.outcome = Outcome::kAborted;
  result.size_mb = 5;
  const nlohmann::ordered_json j = BuildResultJson(result);
  EXPECT_EQ(j["outcome"], "aborted");
  EXPECT_EQ(j["verify_passes"], 0);
  EXPECT_TRUE(j["first_error"].is_null());
  EXPECT_TRUE(j["error"].is_null());
  EXPECT_TRUE(j["warning"].is_null());
  EXPECT_TRUE(j["write"].is_null());
  EXPECT_TRUE(j["verify"].is_null());
  EXPECT_EQ(j["sectors"]["ok"], 0);
}

TEST(BuildResultJsonTest, OffsetsBeyond32BitsAndNoElapsedTime) {
  RunResult result;
  result.status.m_frequency = kFrequency;
  result.status.m_verifyStarted = true;
  result.status.m_mbVerified = 0;
  result.status.m_verifyStart = 777;
  result.status.m_verifyLast = 777;
  result.status.m_firstError = {true, 0x100000208ULL, 0x100000200ULL, 0};
  const nlohmann::ordered_json j = BuildResultJson(result);
  EXPECT_EQ(j["first_error"]["offset"].get<uint64_t>(), 0x100000208ULL);
  EXPECT_EQ(j["first_error"]["expected"], "0x0000000100000200");
  EXPECT_EQ(j["first_error"]["found"], "0x0000000000000000");
  EXPECT_TRUE(j["write"].is_null());
  EXPECT_DOUBLE_EQ(j["verify"]["seconds"].get<double>(), 0.0);
  // Like the report's zero rate: no division by a zero time.
  EXPECT_DOUBLE_EQ(j["verify"]["mbyte_per_s"].get<double>(), 0.0);
}

}  // namespace
}  // namespace kalvex::cli
