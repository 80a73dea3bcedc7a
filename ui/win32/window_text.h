// Window and control texts as UTF-8, the program's encoding; the conversion
// to and from the system's UTF-16 is the platform layer's one place for it
// (platform/win32/wide_path.h).
#pragma once

#include <windows.h>

#include <string>

namespace kalvex::win32 {

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
// Sets the text only when it differs, so that an unchanged control neither
// flickers nor reports a change.
void SetWindowTextUtf8(HWND window, const std::string& text);
void SetItemText(HWND dialog, int id, const std::string& text);

}  // namespace kalvex::win32
