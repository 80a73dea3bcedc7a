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
