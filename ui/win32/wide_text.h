// The one place where the program's UTF-8 texts meet the system's UTF-16.
// Every window text goes through these two calls.
#pragma once

#include <string>

namespace kalvex::win32 {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

}  // namespace kalvex::win32

#include <windows.h>

namespace kalvex::win32 {

// A window's or a dialog control's text as UTF-8.
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
// Sets the text only when it differs, so that an unchanged control neither
// flickers nor reports a change.
void SetWindowTextUtf8(HWND window, const std::string& text);
void SetItemText(HWND dialog, int id, const std::string& text);

}  // namespace kalvex::win32
