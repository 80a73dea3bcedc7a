// Bounded printf-style formatting. Texts are UTF-8; a limit counts
// characters (code points), as the user sees them, not bytes.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
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

// Keeps the start and the end of text and puts "..." in the middle so that
// at most max_chars characters remain: a long path stays recognisable by its
// medium and its file name.
std::string ShortenMiddle(const std::string& text, size_t max_chars);

// Line ends as a terminal and a JSON reader expect them: "\r\n" and a lone
// "\r" both become "\n".
std::string ToLf(const std::string& text);

// The printf argument types of the texts' %llu and %lld.
inline unsigned long long Ull(uint64_t value) { return value; }
inline long long Sll(uint64_t value) { return static_cast<long long>(value); }

}  // namespace kalvex
