// Test data as the program under test writes it, built from the reference
// model, for tests of the tools that look at it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/reference/sector_model.h"

namespace kalvex::fakemedium::test_data {

// The bytes of count test sectors from test offset p on, little-endian.
inline std::vector<unsigned char> TestSectors(uint64_t p, size_t count) {
  std::vector<unsigned char> bytes;
  bytes.reserve(count * reference::kSectorBytes);
  for (size_t i = 0; i < count; ++i) {
    for (uint64_t word : reference::Pattern(p + i * reference::kSectorBytes)) {
      for (unsigned b = 0; b < 8; ++b) bytes.push_back(static_cast<unsigned char>(word >> (8 * b)));
    }
  }
  return bytes;
}

}  // namespace kalvex::fakemedium::test_data
