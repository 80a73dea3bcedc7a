#include "report/report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/text_format.h"
#include "tests/report/language_guard.h"

namespace kalvex {
namespace {

constexpr int64_t kFreq = 10000000;
constexpr int64_t kWriteStart = 55555;

// A run of 1024 MByte on a medium that keeps only 512 MByte: the second half
// of the data overwrote the first. Written in 102.4 s, verified in 51.2 s.
RunStatus HalfCapacityMedium() {
  RunStatus s;
  s.m_frequency = kFreq;
  s.m_writeStarted = true;
  s.m_mbWritten = 1024;
  s.m_writeStart = kWriteStart;
  s.m_writeLast = kWriteStart + 1024000000;
  s.m_verifyStarted = true;
  s.m_mbVerified = 1024;
  s.m_verifyStart = s.m_writeLast + 3 * kFreq;
  s.m_verifyLast = s.m_verifyStart + 512000000;
  s.m_mbTotal = 2048;
  s.m_okSectors = 1048576;
  s.m_overwrittenSectors = 1048576;
  s.m_aliasedCount = 1048576;
  s.m_firstError.taken = true;
  s.m_firstError.offset = 0;
  s.m_firstError.expected = 0;
  s.m_firstError.found = 0x20000000;
  return s;
}

const char* const kWorkedFullEnglish =
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

const char* const kWorkedFullGerman =
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

const char* const kLongEnglish =
    "Finished, no error occurred.\r\n"
    "You can now delete the test files *.kvx or verify them again\r\n"
    "as often as you like.\r\n";
const char* const kLongGerman =
    "Fertig, kein Fehler aufgetreten.\r\n"
    "Sie können die Testdateien *.kvx jetzt löschen oder nach Belieben\r\n"
    "nochmals überprüfen.\r\n";
const char* const kShortEnglish = "Finished, no error occurred.\r\n";
const char* const kShortGerman = "Fertig, kein Fehler aufgetreten.\r\n";

const char* const kWarning = "Warning: Only 1024 of 2048 MByte tested.\r\n";
const char* const kWarningGerman = "Achtung: Nur 1024 von 2048 MByte getestet.\r\n";
const char* const kError =
    "Error writing file /media/stick/2.kvx\r\n(No space left on device Code 28)\r\n";

// --- worked example ----------------------------------------------------------

TEST(FinalReportTest, WorkedExampleEnglish) {
  LanguageGuard lang(kEnglish);
  const FinalReport r = BuildFinalReport(HalfCapacityMedium(), "", "");
  EXPECT_EQ(r.text, std::string(kWorkedFullEnglish) +
                        "Writing speed: 10.0 MByte/s\r\n"
                        "Reading speed: 20.0 MByte/s\r\n"
                        "Kalvex v1.4\r\n");
  EXPECT_TRUE(r.error_shown);
}

TEST(FinalReportTest, WorkedExampleGerman) {
  LanguageGuard lang(kGerman);
  const FinalReport r = BuildFinalReport(HalfCapacityMedium(), "", "");
  EXPECT_EQ(r.text, std::string(kWorkedFullGerman) +
                        "Schreibrate: 10,0 MByte/s\r\n"
                        "Leserate: 20,0 MByte/s\r\n"
                        "Kalvex v1.4\r\n");
  EXPECT_TRUE(r.error_shown);
}

// --- UpdateReport --------------------------------------------------------------

TEST(UpdateReportTest, InterimReportWhileTheRunGoesOn) {
  LanguageGuard lang(kEnglish);
  RunStatus s = HalfCapacityMedium();
  s.m_verifying = true;
  const std::optional<std::string> text = UpdateReport(s, "", "");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, kWorkedFullEnglish);
  EXPECT_EQ(text->find("Kalvex v1.4"), std::string::npos);
  EXPECT_EQ(text->find("speed"), std::string::npos);
}

TEST(UpdateReportTest, InterimReportShowsTheCountsReachedSoFar) {
  LanguageGuard lang(kEnglish);
  RunStatus s = HalfCapacityMedium();
  s.m_okSectors = 2048;
  s.m_overwrittenSectors = 1;
  s.m_aliasedCount = 1;
  const std::optional<std::string> text = UpdateReport(s, "", "");
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find("\r\n1 MByte OK (2048 sectors)\r\n"), std::string::npos);
  EXPECT_NE(text->find("\r\n0.5 KByte DATA LOST (1 sector)\r\n"), std::string::npos);
  EXPECT_NE(text->find("\r\nDetails:0.5 KByte overwritten (1 sector)\r\n"), std::string::npos);
  EXPECT_NE(text->find("\r\n0.5 KByte aliased memory (1 sector)\r\n"), std::string::npos);
}

TEST(UpdateReportTest, NoFirstErrorAndNoErrorTextLeavesTheBoxAlone) {
  LanguageGuard lang(kEnglish);
  RunStatus s = HalfCapacityMedium();
  s.m_firstError.taken = false;
  EXPECT_FALSE(UpdateReport(s, "", "").has_value());
  EXPECT_FALSE(UpdateReport(s, "", kWarning).has_value());
  EXPECT_FALSE(UpdateReport(RunStatus{}, "", "").has_value());
}

TEST(UpdateReportTest, ErrorFormIsErrorThenWarning) {
  LanguageGuard lang(kEnglish);
  const RunStatus s;
  EXPECT_EQ(UpdateReport(s, kError, kWarning), std::string(kError) + kWarning);
  EXPECT_EQ(UpdateReport(s, kError, ""), std::string(kError));
}

TEST(UpdateReportTest, ErrorFormIsTheSameInGerman) {
  LanguageGuard lang(kGerman);
  const RunStatus s;
  EXPECT_EQ(UpdateReport(s, kError, kWarningGerman), std::string(kError) + kWarningGerman);
}

TEST(UpdateReportTest, FullReportStartsWithErrorThenWarning) {
  LanguageGuard lang(kEnglish);
  const std::optional<std::string> text = UpdateReport(HalfCapacityMedium(), kError, kWarning);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, std::string(kError) + kWarning + kWorkedFullEnglish);
}

TEST(UpdateReportTest, FullReportWithWarningOnly) {
  LanguageGuard lang(kGerman);
  const std::optional<std::string> text = UpdateReport(HalfCapacityMedium(), "", kWarningGerman);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, std::string(kWarningGerman) + kWorkedFullGerman);
}

RunStatus Counts(uint64_t ok, uint64_t overwritten, uint64_t changed, uint64_t corrupted,
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

TEST(UpdateReportTest, PluralSuffixesEnglish) {
  LanguageGuard lang(kEnglish);
  const std::string text = *UpdateReport(Counts(1, 0, 1, 0, 2), "", "");
  EXPECT_NE(text.find("\r\n0.5 KByte OK (1 sector)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n0.5 KByte DATA LOST (1 sector)\r\n"), std::string::npos);
  EXPECT_NE(text.find("Details:0 KByte overwritten (0 sectors)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n0.5 KByte slightly changed (< 8 bit/sector, 1 sector)\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\r\n0 KByte corrupted (0 sectors)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n1 KByte aliased memory (2 sectors)\r\n"), std::string::npos);
}

TEST(UpdateReportTest, PluralSuffixesGerman) {
  LanguageGuard lang(kGerman);
  const std::string text = *UpdateReport(Counts(1, 0, 1, 0, 2), "", "");
  EXPECT_NE(text.find("\r\n0,5 KByte OK (1 Sektor)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n0,5 KByte DATEN VERLOREN (1 Sektor)\r\n"), std::string::npos);
  EXPECT_NE(text.find("Details:\r\n0 KByte überschrieben (0 Sektoren)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n0,5 KByte leicht verfälscht (< 8 Bit/Sektor, 1 Sektor)\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\r\n0 KByte mit Datenmüll (0 Sektoren)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n1 KByte mehrfach genutzt (2 Sektoren)\r\n"), std::string::npos);
}

TEST(UpdateReportTest, DataLostIsTheSumWithoutAliased) {
  LanguageGuard lang(kEnglish);
  // 3 + 4 + 5 = 12 sectors = 6 KByte; the 100 aliased sectors do not count.
  const std::string text = *UpdateReport(Counts(7, 3, 4, 5, 100), "", "");
  EXPECT_NE(text.find("\r\n6 KByte DATA LOST (12 sectors)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n50 KByte aliased memory (100 sectors)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n3.5 KByte OK (7 sectors)\r\n"), std::string::npos);
}

TEST(UpdateReportTest, FirstErrorPrintsAllSixteenLowerCaseHexDigits) {
  LanguageGuard lang(kEnglish);
  RunStatus s = Counts(0, 0, 0, 1, 0);
  s.m_firstError.offset = 0x1234ABCD00;
  s.m_firstError.expected = 0xFEDCBA9876543210;
  s.m_firstError.found = 0xAB;
  const std::string text = *UpdateReport(s, "", "");
  EXPECT_NE(text.find("First error at offset: 0x0000001234abcd00\r\n"
                      "Expected: 0xfedcba9876543210\r\n"
                      "Found: 0x00000000000000ab\r\n"),
            std::string::npos);
}

TEST(UpdateReportTest, LanguageIsTakenWhenTheTextIsBuilt) {
  const RunStatus s = HalfCapacityMedium();
  std::string english;
  std::string german;
  {
    LanguageGuard lang(kEnglish);
    english = *UpdateReport(s, "", "");
  }
  {
    LanguageGuard lang(kGerman);
    german = *UpdateReport(s, "", "");
  }
  EXPECT_EQ(english, kWorkedFullEnglish);
  EXPECT_EQ(german, kWorkedFullGerman);
}

TEST(UpdateReportTest, OverlongErrorFormIsCutTo999Characters) {
  LanguageGuard lang(kEnglish);
  // Two-byte characters: the limit counts characters, not bytes, and must
  // not split one.
  std::string error;
  for (int i = 0; i < 700; ++i) error += "ä";
  const std::string warning(700, 'w');
  const std::string text = *UpdateReport(RunStatus{}, error, warning);
  EXPECT_EQ(CountChars(text), 999u);
  EXPECT_EQ(text, error + std::string(299, 'w'));
}

TEST(UpdateReportTest, OverlongFullReportIsCutTo999Characters) {
  LanguageGuard lang(kEnglish);
  std::string error;
  for (int i = 0; i < 1200; ++i) error += "ü";
  const std::string text = *UpdateReport(HalfCapacityMedium(), error, kWarning);
  EXPECT_EQ(CountChars(text), 999u);
  EXPECT_EQ(text.size(), 999u * 2);
  EXPECT_EQ(text, error.substr(0, 999 * 2));
}

// --- NoErrorText -----------------------------------------------------------------

RunStatus CleanRun(bool wrote) {
  RunStatus s;
  s.m_frequency = kFreq;
  s.m_writeStarted = wrote;
  s.m_mbWritten = wrote ? 1000 : 0;
  s.m_writeStart = kWriteStart;
  s.m_writeLast = kWriteStart + 100 * kFreq;  // 10.0 MByte/s
  s.m_verifyStarted = true;
  s.m_mbVerified = 1000;
  s.m_verifyStart = s.m_writeLast + kFreq;
  s.m_verifyLast = s.m_verifyStart + 40 * kFreq;  // 25.0 MByte/s
  s.m_mbTotal = wrote ? 2000 : 1000;
  s.m_okSectors = 1000 * 2048;
  return s;
}

TEST(NoErrorTextTest, LongAfterWritePass) {
  {
    LanguageGuard lang(kEnglish);
    EXPECT_EQ(NoErrorText(CleanRun(true), ""), kLongEnglish);
  }
  LanguageGuard lang(kGerman);
  EXPECT_EQ(NoErrorText(CleanRun(true), ""), kLongGerman);
}

TEST(NoErrorTextTest, ShortWithoutWritePass) {
  {
    LanguageGuard lang(kEnglish);
    EXPECT_EQ(NoErrorText(CleanRun(false), ""), kShortEnglish);
  }
  LanguageGuard lang(kGerman);
  EXPECT_EQ(NoErrorText(CleanRun(false), ""), kShortGerman);
}

TEST(NoErrorTextTest, WarningStandsFirst) {
  {
    LanguageGuard lang(kEnglish);
    EXPECT_EQ(NoErrorText(CleanRun(true), kWarning), std::string(kWarning) + kLongEnglish);
  }
  LanguageGuard lang(kGerman);
  EXPECT_EQ(NoErrorText(CleanRun(false), kWarningGerman),
            std::string(kWarningGerman) + kShortGerman);
}

TEST(NoErrorTextTest, CutTo499Characters) {
  LanguageGuard lang(kEnglish);
  const std::string warning(600, 'x');
  const std::string text = NoErrorText(CleanRun(false), warning);
  EXPECT_EQ(text, std::string(499, 'x'));
}

// --- SpeedLines ------------------------------------------------------------------

TEST(SpeedLinesTest, BothPasses) {
  {
    LanguageGuard lang(kEnglish);
    EXPECT_EQ(SpeedLines(CleanRun(true)),
              "Writing speed: 10.0 MByte/s\r\nReading speed: 25.0 MByte/s\r\nKalvex v1.4\r\n");
  }
  LanguageGuard lang(kGerman);
  EXPECT_EQ(SpeedLines(CleanRun(true)),
            "Schreibrate: 10,0 MByte/s\r\nLeserate: 25,0 MByte/s\r\nKalvex v1.4\r\n");
}

TEST(SpeedLinesTest, OnlyPassesThatBegan) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(SpeedLines(CleanRun(false)), "Reading speed: 25.0 MByte/s\r\nKalvex v1.4\r\n");
  EXPECT_EQ(SpeedLines(RunStatus{}), "Kalvex v1.4\r\n");
}

// --- BuildFinalReport --------------------------------------------------------------

TEST(FinalReportTest, WriteAndVerifyWithoutError) {
  {
    LanguageGuard lang(kEnglish);
    const FinalReport r = BuildFinalReport(CleanRun(true), "", "");
    EXPECT_EQ(r.text, std::string(kLongEnglish) +
                          "Writing speed: 10.0 MByte/s\r\n"
                          "Reading speed: 25.0 MByte/s\r\n"
                          "Kalvex v1.4\r\n");
    EXPECT_FALSE(r.error_shown);
  }
  LanguageGuard lang(kGerman);
  const FinalReport r = BuildFinalReport(CleanRun(true), "", kWarningGerman);
  EXPECT_EQ(r.text, std::string(kWarningGerman) + kLongGerman +
                        "Schreibrate: 10,0 MByte/s\r\n"
                        "Leserate: 25,0 MByte/s\r\n"
                        "Kalvex v1.4\r\n");
  EXPECT_FALSE(r.error_shown);
}

TEST(FinalReportTest, VerifyOnlyWithoutError) {
  LanguageGuard lang(kEnglish);
  const FinalReport r = BuildFinalReport(CleanRun(false), "", "");
  EXPECT_EQ(r.text, std::string(kShortEnglish) +
                        "Reading speed: 25.0 MByte/s\r\n"
                        "Kalvex v1.4\r\n");
  EXPECT_FALSE(r.error_shown);
}

TEST(FinalReportTest, WriteErrorBeforeVerify) {
  LanguageGuard lang(kEnglish);
  RunStatus s;
  s.m_frequency = kFreq;
  s.m_writeStarted = true;
  s.m_mbWritten = 300;
  s.m_writeStart = kWriteStart;
  s.m_writeLast = kWriteStart + 10 * kFreq;
  s.m_mbTotal = 2000;
  const FinalReport r = BuildFinalReport(s, kError, kWarning);
  EXPECT_EQ(r.text, std::string(kError) + kWarning +
                        "Writing speed: 30.0 MByte/s\r\n"
                        "Kalvex v1.4\r\n");
  EXPECT_TRUE(r.error_shown);
}

TEST(FinalReportTest, ErrorDuringVerifyAfterFaultsFound) {
  LanguageGuard lang(kEnglish);
  const FinalReport r = BuildFinalReport(HalfCapacityMedium(), kError, "");
  EXPECT_EQ(r.text, std::string(kError) + kWorkedFullEnglish +
                        "Writing speed: 10.0 MByte/s\r\n"
                        "Reading speed: 20.0 MByte/s\r\n"
                        "Kalvex v1.4\r\n");
  EXPECT_TRUE(r.error_shown);
}

TEST(FinalReportTest, ReportItselfIsBoundedButSpeedLinesFollow) {
  LanguageGuard lang(kEnglish);
  const std::string error(1500, 'e');
  const FinalReport r = BuildFinalReport(HalfCapacityMedium(), error, "");
  EXPECT_EQ(r.text, std::string(999, 'e') +
                        "Writing speed: 10.0 MByte/s\r\n"
                        "Reading speed: 20.0 MByte/s\r\n"
                        "Kalvex v1.4\r\n");
}

}  // namespace
}  // namespace kalvex
