// The one place where the engine's UTF-8 text meets Windows' UTF-16: paths,
// file names, system messages and command-line arguments all pass here.
#pragma once

#include <string>

namespace kalvex::win32 {

// Empty on text that is not valid UTF-8 (or UTF-16): such a name cannot be
// named in the other encoding, and a silent replacement would lead elsewhere.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::string WideToUtf8(const wchar_t* text);

}  // namespace kalvex::win32
