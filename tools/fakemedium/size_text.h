// Sizes and offsets as written on the command line: a count of bytes, or a
// count of KiB, MiB or GiB with the suffix K, M or G (either case).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace kalvex::fakemedium {

// None for anything but digits with at most one suffix, or on overflow.
std::optional<uint64_t> ParseSize(std::string_view text);

// "A:B", with a size on either side of the colon.
std::optional<std::pair<uint64_t, uint64_t>> ParseSizePair(std::string_view text);

}  // namespace kalvex::fakemedium
