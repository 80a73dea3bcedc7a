// The context menus of the windows.
#pragma once

#include <windows.h>

namespace kalvex::win32 {

// Shows menu for owner at the place a WM_CONTEXTMENU gave (its lparam); from
// the keyboard (Shift+F10, no place) at the owner's top left corner. Takes
// the menu over and destroys it. Returns the chosen command, 0 for none.
int TrackContextMenu(HWND owner, HMENU menu, LPARAM where);

}  // namespace kalvex::win32
