// The plain verdict beside the report: fake when everything from some point
// on is lost or foreign, failing when data goes missing here and there or
// the medium fails a read or write, inconclusive when the run cannot tell.

#include "report/verdict.h"

#include <gtest/gtest.h>

#include "tests/support/support.h"

namespace kalvex::testing {
namespace {

// A verify pass over size_mb with the given sector counts; the first fault,
// if any, at first_error.
RunStatus Pass(uint64_t size_mb, uint64_t ok, uint64_t overwritten, uint64_t changed,
               uint64_t corrupted, int64_t first_error = -1) {
  RunStatus s;
  s.m_verifyStarted = true;
  s.m_mbVerified = size_mb;
  s.m_okSectors = ok;
  s.m_overwrittenSectors = overwritten;
  s.m_changedSectors = changed;
  s.m_corruptedSectors = corrupted;
  if (first_error >= 0) s.m_firstError = {true, static_cast<uint64_t>(first_error), 0, 0};
  return s;
}

RunError Error(ErrorKind kind) {
  RunError error;
  error.kind = kind;
  return error;
}

std::string Judge(const RunStatus& s, const RunError& error = RunError(), bool aborted = false,
                  bool confirmed = true) {
  const Verdict v = JudgeRun(s, error, aborted, confirmed);
  return std::string(VerdictName(v.kind)) + " " + std::to_string(v.intact_bytes / kMiB);
}

TEST(VerdictTest, KindAndIntactDataFromWhatTheRunFound) {
  constexpr uint64_t kPerMiB = kMiB / 512;
  // 100 MByte, all intact.
  EXPECT_EQ(Judge(Pass(100, 100 * kPerMiB, 0, 0, 0)), "genuine 100");
  // Addresses wrap at 40 MByte: the rest holds the first part's data.
  EXPECT_EQ(Judge(Pass(100, 40 * kPerMiB, 60 * kPerMiB, 0, 0, 40 * kMiB)), "fake_capacity 40");
  // Writes beyond 40 MByte are lost: zeros from there on, nothing intact.
  EXPECT_EQ(Judge(Pass(100, 40 * kPerMiB, 0, 0, 60 * kPerMiB, 40 * kMiB + 8)), "fake_capacity 40");
  // The file system put the test files in pieces: intact data after the
  // first fault, but whole blocks lost; a fake all the same.
  RunStatus scattered = Pass(100, 60 * kPerMiB, 0, 0, 40 * kPerMiB, 16 * kMiB);
  scattered.m_lostBlocks = 40;
  EXPECT_EQ(Judge(scattered), "fake_capacity 16");
  scattered.m_lostBlocks = 7;  // too few whole blocks to tell
  EXPECT_EQ(Judge(scattered), "failing 16");
  // One bad sector at 10 MByte, everything after it fine.
  EXPECT_EQ(Judge(Pass(100, 100 * kPerMiB - 1, 0, 1, 0, 10 * kMiB + 16)), "failing 10");
  // The medium fails a read or a write: failing, with what was verified.
  EXPECT_EQ(Judge(Pass(30, 30 * kPerMiB, 0, 0, 0), Error(ErrorKind::kRead)), "failing 30");
  EXPECT_EQ(Judge(RunStatus{}, Error(ErrorKind::kWrite)), "failing 0");
  // Runs that cannot tell.
  EXPECT_EQ(Judge(Pass(30, 30 * kPerMiB, 0, 0, 0), Error(ErrorKind::kMediumGone)),
            "inconclusive 30");
  EXPECT_EQ(Judge(Pass(30, 30 * kPerMiB, 0, 0, 0), RunError(), /*aborted=*/true),
            "inconclusive 30");
  EXPECT_EQ(Judge(Pass(30, 30 * kPerMiB, 0, 0, 0), RunError(), false, /*confirmed=*/false),
            "inconclusive 30");
  EXPECT_EQ(Judge(RunStatus{}), "inconclusive 0");
  // A fault found is a fault, even when the reads are not confirmed.
  EXPECT_EQ(Judge(Pass(100, 40 * kPerMiB, 60 * kPerMiB, 0, 0, 40 * kMiB), RunError(), false, false),
            "fake_capacity 40");
}

TEST(VerdictTest, SentencesInBothLanguages) {
  // What came back intact is what the medium holds.
  const RunStatus fake = Pass(65536, 15565 * 2048, 0, 0, (65536 - 15565) * 2048);
  Verdict verdict{VerdictKind::kFakeCapacity, 15565 * kMiB};
  {
    LanguageGuard lang(kEnglish);
    EXPECT_EQ(VerdictText(verdict, fake, 64 * kGiB),
              "Verdict: this medium is fake: only about 15.2 GByte of the claimed 64 GByte "
              "hold data.");
    EXPECT_EQ(VerdictText(verdict, fake, 0), "Verdict: this medium is fake: only about 15.2 GByte hold data.");
  }
  LanguageGuard lang(kGerman);
  EXPECT_EQ(VerdictText({VerdictKind::kGenuine, 0}, Pass(2048, 0, 0, 0, 0), 0),
            "Urteil: echt. Der Datenträger hat alle 2 GByte Testdaten behalten.");
}

}  // namespace
}  // namespace kalvex::testing
