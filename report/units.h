// Renderers of durations, average rates and byte counts. Pure functions; the
// only outside input is the user-interface language (decimal point or comma).
#pragma once

#include <cstdint>
#include <string>

namespace kalvex {

// "59 s", "1:01 min", "25:01:01 h". Same in both languages.
std::string FormatDuration(uint64_t seconds);
// Average rate of mbytes transferred between two counter values:
// "0.00 KByte/s", "341 KByte/s", "2.93 GByte/s" (comma in German).
std::string FormatRate(uint64_t mbytes, uint64_t start, uint64_t end, uint64_t frequency);
// "0.5 KByte", "1 MByte", "16777215.9 TByte" (comma in German).
std::string FormatSize(uint64_t bytes);

}  // namespace kalvex
