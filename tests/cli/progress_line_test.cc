// The one-line live display: the pass under way, the bar, the language, and
// the cut to the terminal's width.

#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include "tests/support/support.h"

namespace kalvex::cli {
namespace {

using kalvex::testing::kEnglish;
using kalvex::testing::kGerman;
using kalvex::testing::LanguageGuard;

// The figures of a write pass of 500 MByte and a verify pass of 250 done,
// with the time left for the whole run.
ProgressFigures Figures(bool write, bool verify, int bar, const char* run_remaining = "3:45 min") {
  ProgressFigures f;
  f.bar = bar;
  if (write)
    f.write = {true, "500 MByte", "1:40 min (1:40 min remaining)", "1:40 min", "5.00 MByte/s"};
  if (verify)
    f.verify = {true, "250 MByte", "25 s (1:15 min remaining)", "25 s", "10.0 MByte/s"};
  f.run_remaining = run_remaining;
  return f;
}

RunStatus Started(bool write, bool verify) {
  RunStatus status;
  status.m_writeStarted = write;
  status.m_verifyStarted = verify;
  return status;
}

TEST(ProgressLineTest, ShowsThePassUnderWay) {
  LanguageGuard lang(kEnglish);
  // The time left is the whole run's, never only the pass's.
  EXPECT_EQ(BuildProgressLine(Started(true, false), Figures(true, false, 25), 0),
            "[##........]  25% Writing: 500 MByte, 1:40 min, 5.00 MByte/s, 3:45 min left in all");
  // The verify pass once it began, with its number in an endless run.
  EXPECT_EQ(BuildProgressLine(Started(true, true), Figures(true, true, 62), 0),
            "[######....]  62% Verifying: 250 MByte, 25 s, 10.0 MByte/s, 3:45 min left in all");
  // Nothing to estimate from (or the run is over): no time left is shown.
  EXPECT_EQ(BuildProgressLine(Started(true, true), Figures(true, true, 100, ""), 0),
            "[##########] 100% Verifying: 250 MByte, 25 s, 10.0 MByte/s");
  EXPECT_EQ(BuildProgressLine(Started(true, true), Figures(true, true, 100), 7).substr(0, 37),
            "[##########] 100% Verifying (pass 7):");
  EXPECT_EQ(BuildProgressLine(RunStatus{}, ProgressFigures{}, 0), "[..........]   0% Starting ...");
}

TEST(ProgressLineTest, GermanWording) {
  LanguageGuard lang(kGerman);
  EXPECT_EQ(BuildProgressLine(Started(false, true), Figures(false, true, 0), 2),
            "[..........]   0% Prüfen (Durchgang 2): 250 MByte, 25 s, 10.0 MByte/s, "
            "noch 3:45 min insgesamt");
}

TEST(ProgressLineTest, FitToWidthCountsCharacters) {
  EXPECT_EQ(FitToWidth("abcdef", 4), "abcd");
  EXPECT_EQ(FitToWidth("abc", 10), "abc");
  // Umlauts are two bytes each but one column.
  EXPECT_EQ(FitToWidth("Prüfen läuft", 8), "Prüfen l");
  EXPECT_EQ(FitToWidth("üüüüüü", 3), "üüü");
}

}  // namespace
}  // namespace kalvex::cli
