#include "report/units.h"

#include "engine/language.h"
#include "engine/text_format.h"

namespace kalvex {

namespace {

// A rate text has room for 999 characters, a size text for 19; neither comes
// close, the limits only keep the texts bounded like every other figure.
constexpr size_t kRateChars = 999;
constexpr size_t kSizeChars = 19;
constexpr size_t kDurationChars = 999;


}  // namespace

std::string FormatDuration(uint64_t seconds) {
  if (seconds < 60) return FormatText(kDurationChars, "%llu s", Ull(seconds));
  if (seconds < 3600) {
    return FormatText(kDurationChars, "%llu:%02llu min", Ull(seconds / 60), Ull(seconds % 60));
  }
  // Hours have no upper unit: a week-long run still reads in hours.
  return FormatText(kDurationChars, "%llu:%02llu:%02llu h", Ull(seconds / 3600),
                    Ull((seconds % 3600) / 60), Ull(seconds % 60));
}

std::string FormatRate(uint64_t mbytes, uint64_t start, uint64_t end, uint64_t frequency) {
  double value = 0.0;
  if (start != end) {
    // Converting before subtracting keeps a counter that ran backwards from
    // wrapping around to an absurd positive span.
    const double span = static_cast<double>(end) - static_cast<double>(start);
    value = static_cast<double>(mbytes) / span * static_cast<double>(frequency) * 1024.0;
  }
  // The unit switches at 1000 although the divisor is 1024, so a unit never
  // shows four digits before the point except by rounding (999.7 -> 1000).
  const char* unit = "KByte/s";
  if (value >= 1000.0) {
    value /= 1024.0;
    unit = "MByte/s";
    if (value >= 1000.0) {
      value /= 1024.0;
      unit = "GByte/s";
    }
  }
  // The number of decimals is chosen on the unrounded value, so 9.999 gives
  // "10.00" rather than "10.0".
  const char* format = "%.2f %s";
  if (value >= 100.0) {
    format = "%.0f %s";
  } else if (value >= 10.0) {
    format = "%.1f %s";
  }
  std::string text = FormatText(kRateChars, format, value, unit);
  if (!IsEnglish()) {
    for (char& c : text) {
      if (c == '.') c = ',';
    }
  }
  return text;
}

std::string FormatSize(uint64_t bytes) {
  char letter;
  uint64_t v;
  if (bytes < (uint64_t{1} << 20)) {
    letter = 'K';
    v = bytes;
  } else if (bytes < (uint64_t{1} << 30)) {
    letter = 'M';
    v = bytes >> 10;
  } else if (bytes < (uint64_t{1} << 40)) {
    letter = 'G';
    v = bytes >> 20;
  } else {
    letter = 'T';
    v = bytes >> 30;
  }
  const uint64_t whole = v >> 10;
  const uint64_t fraction = v % 1024;
  if (fraction == 0) return FormatText(kSizeChars, "%llu %cByte", Ull(whole), letter);
  // The digit is truncated, never rounded up: a size must not look larger
  // than it is, and 1023 bytes must not read as a whole KByte. A nonzero
  // remainder always shows its digit, even 0, so "1.0 MByte" tells that
  // there is a little more than 1 MByte.
  const uint64_t digit = (fraction * 10) >> 10;
  return FormatText(kSizeChars, LangText("%llu.%llu %cByte", "%llu,%llu %cByte"), Ull(whole),
                    Ull(digit), letter);
}

}  // namespace kalvex
