// Bounded printf-style formatting. Texts are UTF-8; a limit counts
// characters (code points), as the user sees them, not bytes.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace kalvex {

// Formats like vsnprintf and keeps at most max_chars characters, never
// cutting a character in half.
std::string FormatTextV(size_t max_chars, const char* format, va_list args);
std::string FormatText(size_t max_chars, const char* format, ...);

// Cuts text to at most max_chars characters on a character boundary.
void TruncateToChars(std::string* text, size_t max_chars);

// Number of characters (code points) in a UTF-8 text.
size_t CountChars(const std::string& text);

}  // namespace kalvex
