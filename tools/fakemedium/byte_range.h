// A stretch of the advertised capacity where requests fail, as on a medium
// with unreadable or unwritable cells.
#pragma once

#include <cstdint>
#include <vector>

namespace kalvex::fakemedium {

struct ByteRange {
  uint64_t start = 0;
  uint64_t length = 0;

  bool operator==(const ByteRange&) const = default;
};

// True when [offset, offset + length) shares at least one byte with one of
// the ranges. An empty request touches nothing.
inline bool TouchesAny(const std::vector<ByteRange>& ranges, uint64_t offset, uint64_t length) {
  for (const ByteRange& range : ranges) {
    if (offset < range.start + range.length && range.start < offset + length) return true;
  }
  return false;
}

}  // namespace kalvex::fakemedium
