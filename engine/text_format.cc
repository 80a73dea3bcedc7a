#include "engine/text_format.h"

#include <cstdio>

namespace kalvex {

namespace {
bool IsContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }
}  // namespace

size_t CountChars(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += IsContinuationByte(c) ? 0 : 1;
  return n;
}

void TruncateToChars(std::string* text, size_t max_chars) {
  size_t chars = 0;
  for (size_t i = 0; i < text->size(); ++i) {
    if (IsContinuationByte(static_cast<unsigned char>((*text)[i]))) continue;
    if (chars == max_chars) {
      text->resize(i);
      return;
    }
    ++chars;
  }
}

std::string ShortenMiddle(const std::string& text, size_t max_chars) {
  const size_t chars = CountChars(text);
  if (chars <= max_chars) return text;
  static constexpr char kEllipsis[] = "...";
  if (max_chars <= 3) return std::string(kEllipsis, max_chars);
  const size_t keep = max_chars - 3;
  std::string head = text;
  TruncateToChars(&head, keep / 2 + keep % 2);
  // The tail: skip characters until only keep / 2 are left.
  size_t skip = chars - keep / 2, seen = 0, i = 0;
  for (; i < text.size(); ++i) {
    if (IsContinuationByte(static_cast<unsigned char>(text[i]))) continue;
    if (seen++ == skip) break;
  }
  return head + kEllipsis + text.substr(i);
}

std::string ToLf(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      result += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      result += '\n';
    }
  }
  return result;
}

std::string FormatTextV(size_t max_chars, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) return std::string();
  std::string out;
  if (static_cast<size_t>(needed) < sizeof small) {
    out.assign(small, static_cast<size_t>(needed));
  } else {
    out.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
  }
  TruncateToChars(&out, max_chars);
  return out;
}

std::string FormatText(size_t max_chars, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatTextV(max_chars, format, args);
  va_end(args);
  return out;
}

}  // namespace kalvex
