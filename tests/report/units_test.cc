// Durations, average rates and byte counts as the program shows them, in
// both languages.

#include "report/units.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "tests/support/support.h"

namespace kalvex::testing {
namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

// The same text in both languages, or the German one where it differs.
template <typename Format>
void ExpectInBothLanguages(Format format, const std::string& english, const std::string& german) {
  {
    LanguageGuard lang(kEnglish);
    EXPECT_EQ(format(), english);
  }
  LanguageGuard lang(kGerman);
  EXPECT_EQ(format(), german.empty() ? english : german);
}

TEST(FormatDurationTest, WorkedExamplesAndEdges) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 s"}, {59, "59 s"}, {60, "1:00 min"}, {61, "1:01 min"}, {754, "12:34 min"},
      {3599, "59:59 min"}, {3600, "1:00:00 h"}, {3661, "1:01:01 h"}, {90061, "25:01:01 h"},
      {360000, "100:00:00 h"},
      // Beyond 2^32 seconds the hours keep growing; no 32-bit truncation.
      {4294967296, "1193046:28:16 h"}, {4294967296 + 3600, "1193047:28:16 h"},
      {kMax, "5124095576030431:00:15 h"}};
  for (const auto& [seconds, text] : cases) {
    SCOPED_TRACE(seconds);
    ExpectInBothLanguages([seconds = seconds] { return FormatDuration(seconds); }, text, "");
  }
}

// A typical performance-counter frequency and an arbitrary, nonzero start
// value, so that no formula can get away with ignoring either.
constexpr uint64_t kFreq = 10000000;
constexpr uint64_t kStart = 123456789;

TEST(FormatRateTest, WorkedExamplesAndEdges) {
  struct Case {
    uint64_t mbytes, start, end, frequency;
    const char* english;
    const char* german;  // empty: as English
  };
  const Case cases[] = {
      // The worked examples: MByte over seconds.
      {0, kStart, kStart + 5 * kFreq, kFreq, "0.00 KByte/s", "0,00 KByte/s"},
      {1, kStart, kStart + 3 * kFreq, kFreq, "341 KByte/s", ""},
      {1, kStart, kStart + kFreq, kFreq, "1.00 MByte/s", "1,00 MByte/s"},
      {100, kStart, kStart + 10 * kFreq, kFreq, "10.0 MByte/s", "10,0 MByte/s"},
      {500, kStart, kStart + 2 * kFreq, kFreq, "250 MByte/s", ""},
      {3000, kStart, kStart + kFreq, kFreq, "2.93 GByte/s", "2,93 GByte/s"},
      // Equal counter values give zero whatever the amount.
      {12345, kStart, kStart, kFreq, "0.00 KByte/s", "0,00 KByte/s"},
      {kMax, 0, 0, kFreq, "0.00 KByte/s", "0,00 KByte/s"},
      // With frequency 1 and 1024 counts the KByte/s value is the MByte
      // count: the unit switches at exactly 1000, not 1024.
      {1000, 0, 1024, 1, "0.98 MByte/s", "0,98 MByte/s"},
      {999, 0, 1024, 1, "999 KByte/s", ""},
      {9999, 0, 10240, 1, "1000 KByte/s", ""},  // 999.9 stays in KByte/s
      {1000, 0, 1, 1, "0.98 GByte/s", "0,98 GByte/s"},
      {999, 0, 1, 1, "999 MByte/s", ""},
      {5000000, kStart, kStart + kFreq, kFreq, "4883 GByte/s", ""},  // no unit beyond
      // Decimals follow the value before rounding, and switch at 10 and 100.
      {9999, 0, 1024000000, 1000, "10.00 KByte/s", "10,00 KByte/s"},
      {9996, 0, 102400000, 1000, "100.0 KByte/s", "100,0 KByte/s"},
      {9997, 0, 100, 1, "100.0 MByte/s", "100,0 MByte/s"},
      {9, 0, 1024, 1, "9.00 KByte/s", "9,00 KByte/s"},
      {10, 0, 1024, 1, "10.0 KByte/s", "10,0 KByte/s"},
      {99, 0, 1024, 1, "99.0 KByte/s", "99,0 KByte/s"},
      {100, 0, 1024, 1, "100 KByte/s", ""},
      // The same 1024 counts are one second at 1024/s, half at 2048/s.
      {100, 0, 1024, 1024, "100 MByte/s", ""},
      {100, 0, 1024, 2048, "200 MByte/s", ""},
      // A counter that went backwards gives a negative span, not a wrapped one.
      {1, 10, 5, 1, "-204.80 KByte/s", "-204,80 KByte/s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.english);
    ExpectInBothLanguages([&c] { return FormatRate(c.mbytes, c.start, c.end, c.frequency); },
                          c.english, c.german);
  }
  LanguageGuard other(2);  // any value but 1 is German
  EXPECT_EQ(FormatRate(100, kStart, kStart + 10 * kFreq, kFreq), "10,0 MByte/s");
}

TEST(FormatSizeTest, WorkedExamplesAndEdges) {
  const std::tuple<uint64_t, const char*, const char*> cases[] = {
      {0, "0 KByte", ""}, {512, "0.5 KByte", "0,5 KByte"}, {1536, "1.5 KByte", "1,5 KByte"},
      {1048575, "1023.9 KByte", "1023,9 KByte"}, {1048576, "1 MByte", ""},
      {1099776, "1.0 MByte", "1,0 MByte"}, {1048576000, "1000 MByte", ""},
      {4831838208, "4.5 GByte", "4,5 GByte"}, {kMax, "16777215.9 TByte", "16777215,9 TByte"},
      // The digit is truncated, not rounded: 1.059 and 1.899 KByte.
      {1023, "0.9 KByte", "0,9 KByte"}, {1024, "1 KByte", ""}, {1, "0.0 KByte", "0,0 KByte"},
      {1084, "1.0 KByte", "1,0 KByte"}, {1945, "1.8 KByte", "1,8 KByte"},
      // Bytes below the unit's 1/1024 are dropped before the fraction is looked at.
      {1049599, "1 MByte", ""}, {1049600, "1.0 MByte", "1,0 MByte"},
      // The next letter comes at 1024 of a unit, not at 1000.
      {1073741823, "1023.9 MByte", "1023,9 MByte"}, {1073741824, "1 GByte", ""},
      {1099511627775, "1023.9 GByte", "1023,9 GByte"}, {1099511627776, "1 TByte", ""},
      {1099511627776 * 3 / 2, "1.5 TByte", "1,5 TByte"}};
  for (const auto& [bytes, english, german] : cases) {
    SCOPED_TRACE(bytes);
    ExpectInBothLanguages([bytes = bytes] { return FormatSize(bytes); }, english, german);
  }
}

}  // namespace
}  // namespace kalvex::testing
