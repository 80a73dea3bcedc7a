// The report box: the full report of a faulty medium, the error form, the
// no-error texts, the speed lines and the final text, in both languages.

#include "report/report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kalvex_version.h"
#include "tests/support/support.h"

namespace kalvex::testing {
namespace {

constexpr int64_t kFreq = 10000000;
constexpr int64_t kWriteStart = 55555;

// A run of 1024 MByte on a medium that keeps only 512 MByte: the second half
// of the data overwrote the first. Written in 102.4 s, verified in 51.2 s.
RunStatus HalfCapacityMedium() {
  RunStatus s;
  s.m_frequency = kFreq;
  s.m_writeStarted = s.m_verifyStarted = true;
  s.m_mbWritten = s.m_mbVerified = 1024;
  s.m_writeStart = kWriteStart;
  s.m_writeLast = kWriteStart + 1024000000;
  s.m_verifyStart = s.m_writeLast + 3 * kFreq;
  s.m_verifyLast = s.m_verifyStart + 512000000;
  s.m_mbTotal = 2048;
  s.m_okSectors = s.m_overwrittenSectors = s.m_aliasedCount = 1048576;
  s.m_firstError = {true, 0, 0, 0x20000000};
  return s;
}

// A clean run of 1000 MByte, written at 10.0 and read at 25.0 MByte/s.
RunStatus CleanRun(bool wrote) {
  RunStatus s;
  s.m_frequency = kFreq;
  s.m_writeStarted = wrote;
  s.m_mbWritten = wrote ? 1000 : 0;
  s.m_writeStart = kWriteStart;
  s.m_writeLast = kWriteStart + 100 * kFreq;
  s.m_verifyStarted = true;
  s.m_mbVerified = 1000;
  s.m_verifyStart = s.m_writeLast + kFreq;
  s.m_verifyLast = s.m_verifyStart + 40 * kFreq;
  s.m_mbTotal = wrote ? 2000 : 1000;
  s.m_okSectors = 1000 * 2048;
  return s;
}

// A write pass that ended on an error after 300 MByte in 10 s.
RunStatus WriteFailed() {
  RunStatus s;
  s.m_frequency = kFreq;
  s.m_writeStarted = true;
  s.m_mbWritten = 300;
  s.m_writeStart = kWriteStart;
  s.m_writeLast = kWriteStart + 10 * kFreq;
  s.m_mbTotal = 2000;
  return s;
}

RunStatus Faulty(uint64_t ok, uint64_t overwritten, uint64_t changed, uint64_t corrupted,
                 uint64_t aliased) {
  RunStatus s;
  s.m_frequency = kFreq;
  s.m_verifyStarted = true;
  s.m_okSectors = ok;
  s.m_overwrittenSectors = overwritten;
  s.m_changedSectors = changed;
  s.m_corruptedSectors = corrupted;
  s.m_aliasedCount = aliased;
  s.m_firstError.taken = true;
  return s;
}

const std::string kWorkedEnglish =
    "The media is likely to be defective.\r\n"
    "512 MByte OK (1048576 sectors)\r\n"
    "512 MByte DATA LOST (1048576 sectors)\r\n"
    "Details:512 MByte overwritten (1048576 sectors)\r\n"
    "0 KByte slightly changed (< 8 bit/sector, 0 sectors)\r\n"
    "0 KByte corrupted (0 sectors)\r\n"
    "512 MByte aliased memory (1048576 sectors)\r\n"
    "First error at offset: 0x0000000000000000\r\n"
    "Expected: 0x0000000000000000\r\n"
    "Found: 0x0000000020000000\r\n"
    "Kalvex version 1.3\r\n";
const std::string kWorkedGerman =
    "Der Datenträger ist wahrscheinlich defekt.\r\n"
    "512 MByte OK (1048576 Sektoren)\r\n"
    "512 MByte DATEN VERLOREN (1048576 Sektoren)\r\n"
    "Details:\r\n"
    "512 MByte überschrieben (1048576 Sektoren)\r\n"
    "0 KByte leicht verfälscht (< 8 Bit/Sektor, 0 Sektoren)\r\n"
    "0 KByte mit Datenmüll (0 Sektoren)\r\n"
    "512 MByte mehrfach genutzt (1048576 Sektoren)\r\n"
    "Erster Fehler bei Offset: 0x0000000000000000\r\n"
    "Soll: 0x0000000000000000\r\n"
    "Ist: 0x0000000020000000\r\n"
    "Kalvex Version 1.3\r\n";
const std::string kLongEnglish =
    "Finished, no error occurred.\r\n"
    "You can now delete the test files *.kvx or verify them again\r\n"
    "as often as you like.\r\n";
const std::string kLongGerman =
    "Fertig, kein Fehler aufgetreten.\r\n"
    "Sie können die Testdateien *.kvx jetzt löschen oder nach Belieben\r\n"
    "nochmals überprüfen.\r\n";
const std::string kShortEnglish = "Finished, no error occurred.\r\n";
const std::string kShortGerman = "Fertig, kein Fehler aufgetreten.\r\n";
const std::string kWarning = "Warning: Only 1024 of 2048 MByte tested.\r\n";
const std::string kWarningGerman = "Achtung: Nur 1024 von 2048 MByte getestet.\r\n";
const std::string kError =
    "Error writing file /media/stick/2.kvx\r\n(No space left on device Code 28)\r\n";
// The line after the speeds names the build, so it follows the project
// version instead of being written out here.
const std::string kVersionLine = std::string("Kalvex v") + kVersionShort + "\r\n";
const std::string kWorkedSpeeds =
    "Writing speed: 10.0 MByte/s\r\nReading speed: 20.0 MByte/s\r\n" + kVersionLine;
const std::string kCleanSpeeds =
    "Writing speed: 10.0 MByte/s\r\nReading speed: 25.0 MByte/s\r\n" + kVersionLine;

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

struct ReportCase {
  const char* name;
  RunStatus status;
  std::string error, warning;
  int language;
  std::string text;
  bool error_shown;
};

TEST(FinalReportTest, TextAndColourOfTheBoxAtTheEnd) {
  const ReportCase cases[] = {
      {"worked example", HalfCapacityMedium(), "", "", kEnglish, kWorkedEnglish + kWorkedSpeeds,
       true},
      {"worked example", HalfCapacityMedium(), "", "", kGerman,
       kWorkedGerman + "Schreibrate: 10,0 MByte/s\r\nLeserate: 20,0 MByte/s\r\n" + kVersionLine,
       true},
      {"write and verify", CleanRun(true), "", "", kEnglish, kLongEnglish + kCleanSpeeds, false},
      {"write and verify", CleanRun(true), "", kWarningGerman, kGerman,
       kWarningGerman + kLongGerman +
           "Schreibrate: 10,0 MByte/s\r\nLeserate: 25,0 MByte/s\r\n" + kVersionLine,
       false},
      {"verify only", CleanRun(false), "", "", kEnglish,
       kShortEnglish + "Reading speed: 25.0 MByte/s\r\n" + kVersionLine, false},
      {"write error before verify", WriteFailed(), kError, kWarning, kEnglish,
       kError + kWarning + "Writing speed: 30.0 MByte/s\r\n" + kVersionLine, true},
      {"error during verify after faults", HalfCapacityMedium(), kError, "", kEnglish,
       kError + kWorkedEnglish + kWorkedSpeeds, true},
      // The report itself is bounded, the speed lines follow it.
      {"bounded", HalfCapacityMedium(), std::string(1500, 'e'), "", kEnglish,
       std::string(999, 'e') + kWorkedSpeeds, true},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.name);
    LanguageGuard lang(c.language);
    const FinalReport report = BuildFinalReport(c.status, c.error, c.warning);
    EXPECT_EQ(report.text, c.text);
    EXPECT_EQ(report.error_shown, c.error_shown);
  }
}

TEST(UpdateReportTest, FullReportErrorFormOrNothing) {
  RunStatus verifying = HalfCapacityMedium();
  verifying.m_verifying = true;
  RunStatus unfaulty = HalfCapacityMedium();
  unfaulty.m_firstError.taken = false;
  const std::string umlauts = Repeat("ä", 700);
  const ReportCase cases[] = {
      // While the run goes on: no speed lines, no version line.
      {"interim full report", verifying, "", "", kEnglish, kWorkedEnglish, true},
      {"full report after error and warning", HalfCapacityMedium(), kError, kWarning, kEnglish,
       kError + kWarning + kWorkedEnglish, true},
      {"full report after the warning", HalfCapacityMedium(), "", kWarningGerman, kGerman,
       kWarningGerman + kWorkedGerman, true},
      {"error form", RunStatus{}, kError, kWarning, kEnglish, kError + kWarning, true},
      {"error form", RunStatus{}, kError, "", kEnglish, kError, true},
      {"error form", RunStatus{}, kError, kWarningGerman, kGerman, kError + kWarningGerman, true},
      // Cut to 999 characters, not bytes, and never within one.
      {"overlong error form", RunStatus{}, umlauts, std::string(700, 'w'), kEnglish,
       umlauts + std::string(299, 'w'), true},
      {"overlong full report", HalfCapacityMedium(), Repeat("ü", 1200), kWarning, kEnglish,
       Repeat("ü", 999), true},
      {"nothing to show", unfaulty, "", "", kEnglish, "", false},
      {"nothing to show", unfaulty, "", kWarning, kEnglish, "", false},
      {"nothing to show", RunStatus{}, "", "", kEnglish, "", false},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.name);
    LanguageGuard lang(c.language);
    const std::optional<std::string> text = UpdateReport(c.status, c.error, c.warning);
    EXPECT_EQ(text.has_value(), c.error_shown);
    EXPECT_EQ(text.value_or(""), c.text);
  }
}

TEST(UpdateReportTest, CountsSizesPluralsAndTheFirstError) {
  RunStatus so_far = HalfCapacityMedium();
  so_far.m_okSectors = 2048;
  so_far.m_overwrittenSectors = so_far.m_aliasedCount = 1;
  RunStatus hex = Faulty(0, 0, 0, 1, 0);
  hex.m_firstError = {true, 0x1234ABCD00, 0xFEDCBA9876543210, 0xAB};
  const struct {
    RunStatus status;
    int language;
    std::vector<std::string> lines;
  } cases[] = {
      {so_far, kEnglish, {"\r\n1 MByte OK (2048 sectors)\r\n",
                          "\r\n0.5 KByte DATA LOST (1 sector)\r\n",
                          "\r\nDetails:0.5 KByte overwritten (1 sector)\r\n",
                          "\r\n0.5 KByte aliased memory (1 sector)\r\n"}},
      {Faulty(1, 0, 1, 0, 2), kEnglish, {"\r\n0.5 KByte OK (1 sector)\r\n",
                                         "\r\n0.5 KByte DATA LOST (1 sector)\r\n",
                                         "\r\nDetails:0 KByte overwritten (0 sectors)\r\n",
                                         "\r\n0.5 KByte slightly changed (< 8 bit/sector, 1 sector)\r\n",
                                         "\r\n0 KByte corrupted (0 sectors)\r\n",
                                         "\r\n1 KByte aliased memory (2 sectors)\r\n"}},
      {Faulty(1, 0, 1, 0, 2), kGerman, {"\r\n0,5 KByte OK (1 Sektor)\r\n",
                                        "\r\n0,5 KByte DATEN VERLOREN (1 Sektor)\r\n",
                                        "\r\nDetails:\r\n0 KByte überschrieben (0 Sektoren)\r\n",
                                        "\r\n0,5 KByte leicht verfälscht (< 8 Bit/Sektor, 1 Sektor)\r\n",
                                        "\r\n0 KByte mit Datenmüll (0 Sektoren)\r\n",
                                        "\r\n1 KByte mehrfach genutzt (2 Sektoren)\r\n"}},
      // Data lost: 3 + 4 + 5 = 12 sectors; the aliased ones count no more.
      {Faulty(7, 3, 4, 5, 100), kEnglish, {"\r\n6 KByte DATA LOST (12 sectors)\r\n",
                                           "\r\n50 KByte aliased memory (100 sectors)\r\n",
                                           "\r\n3.5 KByte OK (7 sectors)\r\n"}},
      // All sixteen digits, lower case.
      {hex, kEnglish, {"\r\nFirst error at offset: 0x0000001234abcd00\r\n"
                       "Expected: 0xfedcba9876543210\r\nFound: 0x00000000000000ab\r\n"}},
  };
  for (const auto& c : cases) {
    LanguageGuard lang(c.language);
    const std::string text = UpdateReport(c.status, "", "").value_or("");
    for (const std::string& line : c.lines) EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

TEST(NoErrorTextTest, WarningStandsFirstAndTheTextIsBounded) {
  {
    LanguageGuard lang(kEnglish);
    EXPECT_EQ(NoErrorText(CleanRun(true), kWarning), kWarning + kLongEnglish);
    EXPECT_EQ(NoErrorText(CleanRun(false), std::string(600, 'x')), std::string(499, 'x'));
  }
  LanguageGuard lang(kGerman);
  EXPECT_EQ(NoErrorText(CleanRun(false), kWarningGerman), kWarningGerman + kShortGerman);
}

TEST(SpeedLinesTest, OnlyTheVersionLineWithoutAPass) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(SpeedLines(RunStatus{}), kVersionLine);
}

// The short form people see and the full one the tools print must be the
// same release.
TEST(VersionTest, ShortFormIsMajorDotMinorOfTheFullOne) {
  const std::string major_minor =
      std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor);
  EXPECT_EQ(std::string(kVersionShort), major_minor);
  EXPECT_EQ(std::string(kVersion), major_minor + "." + std::to_string(kVersionPatch));
}

}  // namespace
}  // namespace kalvex::testing

namespace kalvex::testing {
namespace {

TEST(ReadBackNoteTest, SaysWhereTheDataReadBackCameFrom) {
  RunStatus status;
  status.m_cacheBypass = CacheBypass::kNotGuaranteed;
  EXPECT_EQ(ReadBackNote(status), "");  // nothing was read
  status.m_verifyStarted = true;
  status.m_cacheBypass = CacheBypass::kDirect;
  EXPECT_EQ(ReadBackNote(status), "");
  for (const int language : {kEnglish, kGerman}) {
    LanguageGuard lang(language);
    status.m_cacheBypass = CacheBypass::kFlushed;
    EXPECT_TRUE(ReadBackNote(status).starts_with(language == kEnglish ? "Note:" : "Hinweis:"));
    status.m_cacheBypass = CacheBypass::kNotGuaranteed;
    const std::string warning = ReadBackNote(status);
    // It says what to do, and ends as every report line does.
    EXPECT_NE(warning.find(language == kEnglish ? "Unplug the medium, reconnect it, then run Verify."
                                                : "abziehen, wieder anschließen"),
              std::string::npos);
    EXPECT_TRUE(warning.ends_with("\r\n"));
  }
}

}  // namespace
}  // namespace kalvex::testing
