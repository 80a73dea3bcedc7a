#include "ui/win32/popup_menu.h"

#include <windowsx.h>

namespace kalvex::win32 {

int TrackContextMenu(HWND owner, HMENU menu, LPARAM where) {
  POINT point = {GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (point.x == -1 && point.y == -1) {
    point = {0, 0};
    ClientToScreen(owner, &point);
  }
  const int command =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, owner, nullptr);
  DestroyMenu(menu);
  return command;
}

}  // namespace kalvex::win32
