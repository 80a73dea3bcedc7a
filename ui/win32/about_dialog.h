// The About box (dialog template IDD_ABOUT), reached from the main window's
// system menu. German only, as its menu entry.
#pragma once

#include <windows.h>

namespace kalvex::win32 {

// Runs the About box modally over owner.
void RunAboutDialog(HWND owner);

}  // namespace kalvex::win32
