#include "tools/fakemedium/size_text.h"

#include <charconv>

namespace kalvex::fakemedium {

namespace {

// The factor a suffix stands for; 0 for a character that is no suffix.
uint64_t SuffixFactor(char suffix) {
  switch (suffix) {
    case 'K':
    case 'k':
      return uint64_t{1} << 10;
    case 'M':
    case 'm':
      return uint64_t{1} << 20;
    case 'G':
    case 'g':
      return uint64_t{1} << 30;
    default:
      return 0;
  }
}

}  // namespace

std::optional<uint64_t> ParseSize(std::string_view text) {
  uint64_t factor = 1;
  if (!text.empty() && SuffixFactor(text.back()) != 0) {
    factor = SuffixFactor(text.back());
    text.remove_suffix(1);
  }
  if (text.empty()) return std::nullopt;
  uint64_t count = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, count);
  // from_chars would also stop quietly at a sign or a second suffix.
  if (error != std::errc() || stop != end) return std::nullopt;
  if (count > UINT64_MAX / factor) return std::nullopt;
  return count * factor;
}

std::optional<std::pair<uint64_t, uint64_t>> ParseSizePair(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto first = ParseSize(text.substr(0, colon));
  const auto second = ParseSize(text.substr(colon + 1));
  if (!first || !second) return std::nullopt;
  return std::pair{*first, *second};
}

}  // namespace kalvex::fakemedium
