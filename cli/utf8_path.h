// Paths from the command line are UTF-8 on every system; the standard
// library would read a plain string in the ANSI code page on Windows.
#pragma once

#include <filesystem>
#include <string>

namespace kalvex::cli {

inline std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Name(const std::filesystem::path& path) {
  const std::u8string text = path.filename().u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace kalvex::cli
