// The live figures of a run: the elapsed and remaining time of a pass, the
// progress bar, and the texts of both pass groups.

#include "report/progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/support.h"

namespace kalvex::testing {
namespace {

constexpr int64_t kFreq = 10000000;
constexpr int64_t kStart = 987654321;

int64_t At(double seconds) { return kStart + static_cast<int64_t>(seconds * kFreq); }

TEST(FormatPassTimeTest, WorkedExamplesAndEdges) {
  struct Case {
    const char* name;
    int64_t start, last, frequency;
    bool running;
    uint64_t done_mb, size_mb;
    int64_t now;
    const char* english;
    const char* german;
  };
  const Case cases[] = {
      // 100 of 1000 MByte at 100 s, the timer fires at 101 s: 899 s remain.
      {"worked example", kStart, At(100), kFreq, true, 100, 1000, At(101),
       "1:40 min (14:59 min remaining)", "1:40 min (noch 14:59 min)"},
      // 62 of 250 MByte in 62 s project an end at 250 s; at 65 s 185 s remain.
      {"minutes", kStart, At(62), kFreq, true, 62, 250, At(65), "1:02 min (3:05 min remaining)",
       "1:02 min (noch 3:05 min)"},
      // 10 s for "1" of 100 MByte projects 1000 s.
      {"nothing done counts as one MByte", kStart, At(10), kFreq, true, 0, 100, At(10),
       "10 s (16:30 min remaining)", "10 s (noch 16:30 min)"},
      {"right after the start", kStart, kStart, kFreq, true, 0, 100, kStart,
       "0 s (0 s remaining)", "0 s (noch 0 s)"},
      {"ended pass: elapsed time only", kStart, At(754), kFreq, false, 1000, 1000, At(5000),
       "12:34 min", "12:34 min"},
      // 100 of 100 MByte after 100 s, but the timer fires at 150 s.
      {"projected end in the past", kStart, At(100), kFreq, true, 100, 100, At(150),
       "1:40 min (0 s remaining)", "1:40 min (noch 0 s)"},
      // End at 20 counts of 10/s; at 1, 1.9 s remain; then half a second late.
      {"remaining truncated", 0, 10, 10, true, 1, 2, 1, "1 s (1 s remaining)",
       "1 s (noch 1 s)"},
      {"late truncated", 0, 10, 10, true, 1, 1, 15, "1 s (0 s remaining)", "1 s (noch 0 s)"},
      {"elapsed truncated", 0, 1999, 1000, false, 1, 1, 1999, "1 s", "1 s"},
      // A stalled pass: the last block finished at 30 s, it is now 40 s.
      {"elapsed ends at the last block", kStart, At(30), kFreq, true, 30, 100, At(40),
       "30 s (1:00 min remaining)", "30 s (noch 1:00 min)"},
      {"hours", kStart, At(10), kFreq, true, 1, 10000, At(10), "10 s (27:46:30 h remaining)",
       "10 s (noch 27:46:30 h)"},
      {"zero frequency", 0, 100, 0, true, 1, 100, 100, "0 s (0 s remaining)", "0 s (noch 0 s)"},
      {"zero frequency ended", 0, 100, 0, false, 1, 100, 100, "0 s", "0 s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int language : {kEnglish, kGerman}) {
      LanguageGuard lang(language);
      EXPECT_EQ(FormatPassTime(c.start, c.last, c.frequency, c.running, c.done_mb, c.size_mb,
                               c.now),
                language == kEnglish ? c.english : c.german);
    }
  }
}

RunStatus Counts(uint64_t written, uint64_t verified, uint64_t total) {
  RunStatus s;
  s.m_frequency = kFreq;
  s.m_mbWritten = written;
  s.m_mbVerified = verified;
  s.m_mbTotal = total;
  return s;
}

TEST(ProgressBarTest, PositionOfTheWholeRun) {
  const std::tuple<uint64_t, uint64_t, uint64_t, int> cases[] = {
      {0, 0, 2000, 0}, {500, 0, 2000, 25}, {1000, 500, 2000, 75}, {1000, 1000, 2000, 100},
      {0, 500, 1000, 50},  // verify only
      // The product comes before the quotient, truncated.
      {1, 0, 3, 33}, {2, 0, 3, 66}, {1999, 0, 2000, 99},
      // Never beyond 100; a zero total gives 0.
      {1500, 1000, 2000, 100}, {0, 5000, 1000, 100}, {0, 0, 0, 0}, {700, 300, 0, 0}};
  for (const auto& [written, verified, total, position] : cases)
    EXPECT_EQ(ProgressBarPosition(Counts(written, verified, total)), position)
        << written << " + " << verified << " of " << total;
}

// "started | MByte | time | rate" of a pass group.
std::string Group(const PassFigures& f) {
  return std::string(f.started ? "started" : "-") + " | " + f.mbytes + " | " + f.time + " | " +
         f.rate;
}

TEST(ComputeProgressTest, FiguresOfBothGroups) {
  LanguageGuard lang(kEnglish);
  ProgressFigures f = ComputeProgress(Counts(0, 0, 2000), 1000, At(1));
  EXPECT_EQ(Group(f.write), "- |  |  | ");
  EXPECT_EQ(Group(f.verify), "- |  |  | ");
  EXPECT_EQ(f.bar, 0);

  // The estimate covers the run's data volume (1000 MByte), not the bar's
  // total of both passes: 50 s for half of it, 50 s to go.
  RunStatus s = Counts(500, 0, 2000);
  s.m_writeStarted = s.m_writing = true;
  s.m_writeStart = kStart;
  s.m_writeLast = At(50);
  f = ComputeProgress(s, 1000, At(50));
  EXPECT_EQ(Group(f.write), "started | 500 MByte | 50 s (50 s remaining) | 10.0 MByte/s");
  EXPECT_EQ(Group(f.verify), "- |  |  | ");
  EXPECT_EQ(f.bar, 25);

  // A pass that just began.
  s.m_mbWritten = 0;
  s.m_writeLast = kStart;
  f = ComputeProgress(s, 1000, kStart);
  EXPECT_EQ(Group(f.write), "started | 0 MByte | 0 s (0 s remaining) | 0.00 KByte/s");

  // A verify-only run keeps the write group empty.
  s = Counts(0, 500, 1000);
  s.m_verifyStarted = s.m_verifying = true;
  s.m_verifyStart = kStart;
  s.m_verifyLast = At(5);
  f = ComputeProgress(s, 1000, At(6));
  EXPECT_EQ(Group(f.write), "- |  |  | ");
  EXPECT_EQ(Group(f.verify), "started | 500 MByte | 5 s (4 s remaining) | 100 MByte/s");
  EXPECT_EQ(f.bar, 50);
}

TEST(ComputeProgressTest, VerifyAfterWriteInGerman) {
  LanguageGuard lang(kGerman);
  RunStatus s = Counts(1000, 500, 2000);
  s.m_writeStarted = true;
  s.m_writeStart = kStart;
  s.m_writeLast = At(100);
  s.m_verifyStarted = s.m_verifying = true;
  s.m_verifyStart = At(101);
  s.m_verifyLast = At(121);
  const ProgressFigures f = ComputeProgress(s, 1000, At(121));
  EXPECT_EQ(Group(f.write), "started | 1000 MByte | 1:40 min | 10,0 MByte/s");
  EXPECT_EQ(Group(f.verify), "started | 500 MByte | 20 s (noch 20 s) | 25,0 MByte/s");
  EXPECT_EQ(f.bar, 75);
}

}  // namespace
}  // namespace kalvex::testing

namespace kalvex {
namespace {

// The whole run's time left: the work the bar still misses, at the average
// speed of both passes so far.
TEST(RunRemainingTest, CoversTheWholeRunAtTheAverageSpeed) {
  RunStatus s;
  s.m_frequency = 1000;
  s.m_mbTotal = 400;  // write and verify 200 MByte
  EXPECT_EQ(RunRemainingSeconds(s), -1);  // nothing done yet
  s.m_writeStarted = true;
  s.m_writeStart = 0;
  s.m_writeLast = 50000;  // 100 MByte in 50 s
  s.m_mbWritten = 100;
  EXPECT_EQ(RunRemainingSeconds(s), 150);  // 300 MByte more at 2 MByte/s
  s.m_mbWritten = 200;
  s.m_writeLast = 100000;
  s.m_verifyStarted = true;
  s.m_verifyStart = 200000;  // a pause between the passes is not counted
  s.m_verifyLast = 225000;   // 100 MByte in 25 s
  s.m_mbVerified = 100;
  EXPECT_EQ(RunRemainingSeconds(s), 41);  // 100 MByte at 300 MByte / 125 s
  s.m_mbVerified = 200;
  EXPECT_EQ(RunRemainingSeconds(s), 0);
  s.m_frequency = 0;  // a zeroed record never divides by zero
  EXPECT_EQ(RunRemainingSeconds(s), -1);
}

}  // namespace
}  // namespace kalvex
