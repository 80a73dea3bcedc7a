#include "report/units.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "tests/report/language_guard.h"

namespace kalvex {
namespace {

// A typical performance-counter frequency and an arbitrary, nonzero start
// value, so that no formula can get away with ignoring either.
constexpr uint64_t kFreq = 10000000;
constexpr uint64_t kStart = 123456789;

std::string RateOver(uint64_t mbytes, uint64_t seconds) {
  return FormatRate(mbytes, kStart, kStart + seconds * kFreq, kFreq);
}

std::string WithComma(std::string text) {
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  return text;
}

// --- FormatDuration -------------------------------------------------------

struct DurationCase {
  uint64_t seconds;
  const char* text;
};

class DurationTest : public ::testing::TestWithParam<DurationCase> {};

TEST_P(DurationTest, EnglishAndGermanAlike) {
  const DurationCase& c = GetParam();
  {
    LanguageGuard lang(kEnglish);
    EXPECT_EQ(FormatDuration(c.seconds), c.text);
  }
  {
    LanguageGuard lang(kGerman);
    EXPECT_EQ(FormatDuration(c.seconds), c.text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamplesAndEdges, DurationTest,
    ::testing::Values(DurationCase{0, "0 s"}, DurationCase{59, "59 s"},
                      DurationCase{60, "1:00 min"}, DurationCase{61, "1:01 min"},
                      DurationCase{754, "12:34 min"}, DurationCase{3599, "59:59 min"},
                      DurationCase{3600, "1:00:00 h"}, DurationCase{3661, "1:01:01 h"},
                      DurationCase{90061, "25:01:01 h"}, DurationCase{360000, "100:00:00 h"},
                      // Beyond 2^32 seconds the hours keep growing; no
                      // 32-bit truncation.
                      DurationCase{4294967296ULL, "1193046:28:16 h"},
                      DurationCase{4294967296ULL + 3600, "1193047:28:16 h"},
                      DurationCase{std::numeric_limits<uint64_t>::max(),
                                   "5124095576030431:00:15 h"}));

// --- FormatRate ------------------------------------------------------------

struct RateCase {
  uint64_t mbytes;
  uint64_t seconds;
  const char* english;
  const char* german;
};

class RateExampleTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(RateExampleTest, English) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(RateOver(GetParam().mbytes, GetParam().seconds), GetParam().english);
}

TEST_P(RateExampleTest, German) {
  LanguageGuard lang(kGerman);
  EXPECT_EQ(RateOver(GetParam().mbytes, GetParam().seconds), GetParam().german);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, RateExampleTest,
    ::testing::Values(RateCase{0, 5, "0.00 KByte/s", "0,00 KByte/s"},
                      RateCase{1, 3, "341 KByte/s", "341 KByte/s"},
                      RateCase{1, 1, "1.00 MByte/s", "1,00 MByte/s"},
                      RateCase{100, 10, "10.0 MByte/s", "10,0 MByte/s"},
                      RateCase{500, 2, "250 MByte/s", "250 MByte/s"},
                      RateCase{3000, 1, "2.93 GByte/s", "2,93 GByte/s"}));

TEST(FormatRateTest, EqualCounterValuesGiveZeroWhateverTheAmount) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(FormatRate(12345, kStart, kStart, kFreq), "0.00 KByte/s");
  EXPECT_EQ(FormatRate(std::numeric_limits<uint64_t>::max(), 0, 0, kFreq), "0.00 KByte/s");
  LanguageGuard german(kGerman);
  EXPECT_EQ(FormatRate(12345, kStart, kStart, kFreq), "0,00 KByte/s");
}

// With frequency 1 and a span of 1024 counts the KByte/s value equals the
// MByte count exactly, which makes the unit and decimal boundaries exact.
std::string KBytePerSecond(uint64_t mbytes) { return FormatRate(mbytes, 0, 1024, 1); }

TEST(FormatRateTest, ExactlyOneThousandKByteSwitchesToMByte) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(KBytePerSecond(1000), "0.98 MByte/s");
  EXPECT_EQ(KBytePerSecond(999), "999 KByte/s");
}

TEST(FormatRateTest, JustBelowOneThousandStaysInKByteAndRoundsUp) {
  LanguageGuard lang(kEnglish);
  // 9999 MByte over 10240 counts at 1 count/s: 999.9 KByte/s.
  EXPECT_EQ(FormatRate(9999, 0, 10240, 1), "1000 KByte/s");
}

TEST(FormatRateTest, ExactlyOneThousandMByteSwitchesToGByte) {
  LanguageGuard lang(kEnglish);
  // 1000 MByte in one second of 1024 counts: 1000 MByte/s = 1024000 KByte/s.
  EXPECT_EQ(FormatRate(1000, 0, 1, 1), "0.98 GByte/s");
  EXPECT_EQ(FormatRate(999, 0, 1, 1), "999 MByte/s");
}

TEST(FormatRateTest, NoUnitBeyondGByte) {
  LanguageGuard lang(kEnglish);
  // 5000000 MByte/s = 4882.8 GByte/s.
  EXPECT_EQ(RateOver(5000000, 1), "4883 GByte/s");
}

TEST(FormatRateTest, DecimalsFollowTheValueBeforeRounding) {
  LanguageGuard lang(kEnglish);
  // 9.999 KByte/s: still below 10, two decimals.
  EXPECT_EQ(FormatRate(9999, 0, 1024000000, 1000), "10.00 KByte/s");
  // 99.96 KByte/s: still below 100, one decimal.
  EXPECT_EQ(FormatRate(9996, 0, 102400000, 1000), "100.0 KByte/s");
  // 99.97 MByte/s.
  EXPECT_EQ(FormatRate(9997, 0, 100, 1), "100.0 MByte/s");
}

TEST(FormatRateTest, DecimalsAtTheExactBoundaries) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(KBytePerSecond(9), "9.00 KByte/s");
  EXPECT_EQ(KBytePerSecond(10), "10.0 KByte/s");
  EXPECT_EQ(KBytePerSecond(99), "99.0 KByte/s");
  EXPECT_EQ(KBytePerSecond(100), "100 KByte/s");
}

TEST(FormatRateTest, FrequencyScalesTheRate) {
  LanguageGuard lang(kEnglish);
  // The same 1024 counts are one second at 1024 counts/s and half a
  // second at 2048 counts/s.
  EXPECT_EQ(FormatRate(100, 0, 1024, 1024), "100 MByte/s");
  EXPECT_EQ(FormatRate(100, 0, 1024, 2048), "200 MByte/s");
}

TEST(FormatRateTest, CounterDifferenceIsTakenInFloatingPoint) {
  LanguageGuard lang(kEnglish);
  // A counter that went backwards gives a negative span, not a wrapped
  // unsigned one (which would show 0.00).
  EXPECT_EQ(FormatRate(1, 10, 5, 1), "-204.80 KByte/s");
}

TEST(FormatRateTest, GermanDiffersOnlyByTheDecimalComma) {
  const uint64_t amounts[] = {0, 1, 7, 99, 100, 512, 1000, 4095, 123456, 99999999};
  const uint64_t seconds[] = {1, 3, 7, 60, 3600};
  for (uint64_t mb : amounts) {
    for (uint64_t s : seconds) {
      std::string english;
      {
        LanguageGuard lang(kEnglish);
        english = RateOver(mb, s);
      }
      LanguageGuard lang(kGerman);
      EXPECT_EQ(RateOver(mb, s), WithComma(english)) << mb << " MByte in " << s << " s";
    }
  }
}

TEST(FormatRateTest, AnyLanguageOtherThanOneIsGerman) {
  LanguageGuard lang(2);
  EXPECT_EQ(RateOver(100, 10), "10,0 MByte/s");
}

// --- FormatSize ------------------------------------------------------------

struct SizeCase {
  uint64_t bytes;
  const char* english;
  const char* german;
};

class SizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeTest, English) {
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(FormatSize(GetParam().bytes), GetParam().english);
}

TEST_P(SizeTest, German) {
  LanguageGuard lang(kGerman);
  EXPECT_EQ(FormatSize(GetParam().bytes), GetParam().german);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, SizeTest,
    ::testing::Values(SizeCase{0, "0 KByte", "0 KByte"},
                      SizeCase{512, "0.5 KByte", "0,5 KByte"},
                      SizeCase{1536, "1.5 KByte", "1,5 KByte"},
                      SizeCase{1048575, "1023.9 KByte", "1023,9 KByte"},
                      SizeCase{1048576, "1 MByte", "1 MByte"},
                      SizeCase{1099776, "1.0 MByte", "1,0 MByte"},
                      SizeCase{1048576000, "1000 MByte", "1000 MByte"},
                      SizeCase{4831838208ULL, "4.5 GByte", "4,5 GByte"},
                      SizeCase{std::numeric_limits<uint64_t>::max(), "16777215.9 TByte",
                               "16777215,9 TByte"}));

INSTANTIATE_TEST_SUITE_P(
    Edges, SizeTest,
    ::testing::Values(
        // The digit is truncated, not rounded up.
        SizeCase{1023, "0.9 KByte", "0,9 KByte"}, SizeCase{1024, "1 KByte", "1 KByte"},
        SizeCase{1, "0.0 KByte", "0,0 KByte"},
        // 1.059 and 1.899 KByte: rounding would show 1.1 and 1.9.
        SizeCase{1084, "1.0 KByte", "1,0 KByte"}, SizeCase{1945, "1.8 KByte", "1,8 KByte"},
        // Bytes below the scaled unit's 1/1024 are dropped before the
        // fraction is looked at.
        SizeCase{1049599, "1 MByte", "1 MByte"},
        SizeCase{1049600, "1.0 MByte", "1,0 MByte"},
        // The switch to the next letter is at 1024 of a unit, not at 1000.
        SizeCase{1073741823, "1023.9 MByte", "1023,9 MByte"},
        SizeCase{1073741824, "1 GByte", "1 GByte"},
        SizeCase{1099511627775ULL, "1023.9 GByte", "1023,9 GByte"},
        SizeCase{1099511627776ULL, "1 TByte", "1 TByte"},
        SizeCase{1099511627776ULL * 1536 / 1024, "1.5 TByte", "1,5 TByte"}));

}  // namespace
}  // namespace kalvex
