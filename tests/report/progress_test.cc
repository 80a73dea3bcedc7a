#include "report/progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/report/language_guard.h"

namespace kalvex {
namespace {

constexpr int64_t kFreq = 10000000;
constexpr int64_t kStart = 987654321;

int64_t At(double seconds) { return kStart + static_cast<int64_t>(seconds * kFreq); }

// --- FormatPassTime ----------------------------------------------------------

// A 1000 MByte run has written 100 MByte; the last block finished 100 s after
// the start and the timer fires at 101 s: 899 s remain.
std::string WorkedExample() {
  return FormatPassTime(kStart, At(100), kFreq, true, 100, 1000, At(101));
}

TEST(FormatPassTimeTest, WorkedExampleEnglish) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(WorkedExample(), "1:40 min (14:59 min remaining)");
}

TEST(FormatPassTimeTest, WorkedExampleGerman) {
  LanguageGuard lang(kGerman);
  EXPECT_EQ(WorkedExample(), "1:40 min (noch 14:59 min)");
}

TEST(FormatPassTimeTest, MinutesInBothLanguages) {
  // 62 s for 62 of 250 MByte projects an end at 250 s; at 65 s 185 s remain.
  const std::string english = [] {
    LanguageGuard lang(kEnglish);
    return FormatPassTime(kStart, At(62), kFreq, true, 62, 250, At(65));
  }();
  const std::string german = [] {
    LanguageGuard lang(kGerman);
    return FormatPassTime(kStart, At(62), kFreq, true, 62, 250, At(65));
  }();
  EXPECT_EQ(english, "1:02 min (3:05 min remaining)");
  EXPECT_EQ(german, "1:02 min (noch 3:05 min)");
}

TEST(FormatPassTimeTest, NothingDoneCountsAsOneMByte) {
  LanguageGuard lang(kEnglish);
  // 10 s for "1" of 100 MByte projects 1000 s; at 10 s 990 s remain.
  EXPECT_EQ(FormatPassTime(kStart, At(10), kFreq, true, 0, 100, At(10)),
            "10 s (16:30 min remaining)");
  EXPECT_EQ(FormatPassTime(kStart, At(10), kFreq, true, 0, 100, At(10)),
            FormatPassTime(kStart, At(10), kFreq, true, 1, 100, At(10)));
}

TEST(FormatPassTimeTest, RightAfterTheStartEverythingIsZero) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(FormatPassTime(kStart, kStart, kFreq, true, 0, 100, kStart), "0 s (0 s remaining)");
}

TEST(FormatPassTimeTest, EndedPassShowsElapsedTimeOnly) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(FormatPassTime(kStart, At(754), kFreq, false, 1000, 1000, At(5000)), "12:34 min");
  LanguageGuard german(kGerman);
  EXPECT_EQ(FormatPassTime(kStart, At(754), kFreq, false, 1000, 1000, At(5000)), "12:34 min");
}

TEST(FormatPassTimeTest, ProjectedEndInThePastShowsZeroSeconds) {
  LanguageGuard lang(kEnglish);
  // 100 of 100 MByte after 100 s, but the timer fires at 150 s.
  EXPECT_EQ(FormatPassTime(kStart, At(100), kFreq, true, 100, 100, At(150)),
            "1:40 min (0 s remaining)");
  LanguageGuard german(kGerman);
  EXPECT_EQ(FormatPassTime(kStart, At(100), kFreq, true, 100, 100, At(150)),
            "1:40 min (noch 0 s)");
}

TEST(FormatPassTimeTest, RemainingSecondsAreTruncatedTowardZero) {
  LanguageGuard lang(kEnglish);
  // 1 of 2 MByte after 10 counts at 10 counts/s: end at 20; at 1, 1.9 s remain.
  EXPECT_EQ(FormatPassTime(0, 10, 10, true, 1, 2, 1), "1 s (1 s remaining)");
  // Half a second in the past truncates to 0 as well.
  EXPECT_EQ(FormatPassTime(0, 10, 10, true, 1, 1, 15), "1 s (0 s remaining)");
}

TEST(FormatPassTimeTest, ElapsedSecondsAreTruncated) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(FormatPassTime(0, 1999, 1000, false, 1, 1, 1999), "1 s");
}

TEST(FormatPassTimeTest, ElapsedTimeEndsAtTheLastBlockNotAtNow) {
  LanguageGuard lang(kEnglish);
  // A stalled pass: the last block finished at 30 s, it is now 40 s.
  const std::string text = FormatPassTime(kStart, At(30), kFreq, true, 30, 100, At(40));
  EXPECT_EQ(text, "30 s (1:00 min remaining)");
}

TEST(FormatPassTimeTest, LongRunsUseHours) {
  LanguageGuard lang(kEnglish);
  // 1 of 10000 MByte after 10 s: 100000 s projected, 99990 s remain.
  EXPECT_EQ(FormatPassTime(kStart, At(10), kFreq, true, 1, 10000, At(10)),
            "10 s (27:46:30 h remaining)");
}

TEST(FormatPassTimeTest, ZeroFrequencyDoesNotDivideByZero) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(FormatPassTime(0, 100, 0, true, 1, 100, 100), "0 s (0 s remaining)");
  EXPECT_EQ(FormatPassTime(0, 100, 0, false, 1, 100, 100), "0 s");
}

// --- ProgressBarPosition -------------------------------------------------------

RunStatus Counts(uint64_t written, uint64_t verified, uint64_t total) {
  RunStatus s;
  s.m_mbWritten = written;
  s.m_mbVerified = verified;
  s.m_mbTotal = total;
  return s;
}

TEST(ProgressBarTest, WriteAndVerifyRun) {
  EXPECT_EQ(ProgressBarPosition(Counts(0, 0, 2000)), 0);
  EXPECT_EQ(ProgressBarPosition(Counts(500, 0, 2000)), 25);
  EXPECT_EQ(ProgressBarPosition(Counts(1000, 500, 2000)), 75);
  EXPECT_EQ(ProgressBarPosition(Counts(1000, 1000, 2000)), 100);
}

TEST(ProgressBarTest, VerifyOnlyRun) {
  EXPECT_EQ(ProgressBarPosition(Counts(0, 500, 1000)), 50);
}

TEST(ProgressBarTest, ProductBeforeQuotientAndTruncated) {
  EXPECT_EQ(ProgressBarPosition(Counts(1, 0, 3)), 33);
  EXPECT_EQ(ProgressBarPosition(Counts(2, 0, 3)), 66);
  EXPECT_EQ(ProgressBarPosition(Counts(1999, 0, 2000)), 99);
}

TEST(ProgressBarTest, NeverBeyondOneHundred) {
  EXPECT_EQ(ProgressBarPosition(Counts(1500, 1000, 2000)), 100);
  EXPECT_EQ(ProgressBarPosition(Counts(0, 5000, 1000)), 100);
}

TEST(ProgressBarTest, ZeroTotalGivesZero) {
  EXPECT_EQ(ProgressBarPosition(Counts(0, 0, 0)), 0);
  EXPECT_EQ(ProgressBarPosition(Counts(700, 300, 0)), 0);
}

// --- ComputeProgress -----------------------------------------------------------

TEST(ComputeProgressTest, NothingStartedLeavesBothGroupsEmpty) {
  LanguageGuard lang(kEnglish);
  RunStatus s = Counts(0, 0, 2000);
  s.m_frequency = kFreq;
  const ProgressFigures f = ComputeProgress(s, 1000, At(1));
  EXPECT_FALSE(f.write.started);
  EXPECT_FALSE(f.verify.started);
  EXPECT_EQ(f.write.mbytes, "");
  EXPECT_EQ(f.write.time, "");
  EXPECT_EQ(f.write.rate, "");
  EXPECT_EQ(f.verify.mbytes, "");
  EXPECT_EQ(f.verify.time, "");
  EXPECT_EQ(f.verify.rate, "");
  EXPECT_EQ(f.bar, 0);
}

TEST(ComputeProgressTest, RunningWritePass) {
  LanguageGuard lang(kEnglish);
  RunStatus s = Counts(500, 0, 2000);
  s.m_frequency = kFreq;
  s.m_writeStarted = true;
  s.m_writing = true;
  s.m_writeStart = kStart;
  s.m_writeLast = At(50);
  // The estimate covers the run's data volume (1000 MByte), not the bar's
  // total of both passes (2000 MByte): 50 s for half of it, 50 s to go.
  const ProgressFigures f = ComputeProgress(s, 1000, At(50));
  EXPECT_TRUE(f.write.started);
  EXPECT_EQ(f.write.mbytes, "500 MByte");
  EXPECT_EQ(f.write.time, "50 s (50 s remaining)");
  EXPECT_EQ(f.write.rate, "10.0 MByte/s");
  EXPECT_FALSE(f.verify.started);
  EXPECT_EQ(f.verify.mbytes, "");
  EXPECT_EQ(f.bar, 25);
}

TEST(ComputeProgressTest, VerifyAfterWriteInGerman) {
  LanguageGuard lang(kGerman);
  RunStatus s = Counts(1000, 500, 2000);
  s.m_frequency = kFreq;
  s.m_writeStarted = true;
  s.m_writing = false;
  s.m_writeStart = kStart;
  s.m_writeLast = At(100);
  s.m_verifyStarted = true;
  s.m_verifying = true;
  s.m_verifyStart = At(101);
  s.m_verifyLast = At(121);
  const ProgressFigures f = ComputeProgress(s, 1000, At(121));
  EXPECT_TRUE(f.write.started);
  EXPECT_EQ(f.write.mbytes, "1000 MByte");
  EXPECT_EQ(f.write.time, "1:40 min");
  EXPECT_EQ(f.write.rate, "10,0 MByte/s");
  EXPECT_TRUE(f.verify.started);
  EXPECT_EQ(f.verify.mbytes, "500 MByte");
  EXPECT_EQ(f.verify.time, "20 s (noch 20 s)");
  EXPECT_EQ(f.verify.rate, "25,0 MByte/s");
  EXPECT_EQ(f.bar, 75);
}

TEST(ComputeProgressTest, VerifyOnlyRunKeepsWriteGroupEmpty) {
  LanguageGuard lang(kEnglish);
  RunStatus s = Counts(0, 500, 1000);
  s.m_frequency = kFreq;
  s.m_verifyStarted = true;
  s.m_verifying = true;
  s.m_verifyStart = kStart;
  s.m_verifyLast = At(5);
  const ProgressFigures f = ComputeProgress(s, 1000, At(6));
  EXPECT_FALSE(f.write.started);
  EXPECT_EQ(f.write.mbytes, "");
  EXPECT_EQ(f.write.time, "");
  EXPECT_EQ(f.write.rate, "");
  EXPECT_EQ(f.verify.mbytes, "500 MByte");
  EXPECT_EQ(f.verify.time, "5 s (4 s remaining)");
  EXPECT_EQ(f.verify.rate, "100 MByte/s");
  EXPECT_EQ(f.bar, 50);
}

TEST(ComputeProgressTest, PassThatJustBeganShowsZeroRate) {
  LanguageGuard lang(kEnglish);
  RunStatus s = Counts(0, 0, 2000);
  s.m_frequency = kFreq;
  s.m_writeStarted = true;
  s.m_writing = true;
  s.m_writeStart = kStart;
  s.m_writeLast = kStart;
  const ProgressFigures f = ComputeProgress(s, 1000, kStart);
  EXPECT_EQ(f.write.mbytes, "0 MByte");
  EXPECT_EQ(f.write.time, "0 s (0 s remaining)");
  EXPECT_EQ(f.write.rate, "0.00 KByte/s");
}

}  // namespace
}  // namespace kalvex
