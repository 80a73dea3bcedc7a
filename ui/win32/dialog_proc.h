// The one dialog procedure of the program's dialogs: it ties the window to
// the object given to DialogBoxParamW / CreateDialogParamW and hands every
// later message to that object's OnMessage.
#pragma once

#include <windows.h>

namespace kalvex::win32 {

// Dialog needs `void Attach(HWND)` (called once with WM_INITDIALOG, before
// any other message reaches the object) and
// `INT_PTR OnMessage(UINT, WPARAM, LPARAM)`. Messages that come before
// WM_INITDIALOG (WM_SETFONT) find no object yet and get the default.
template <class Dialog>
INT_PTR CALLBACK RouteDialogMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lparam);
    reinterpret_cast<Dialog*>(lparam)->Attach(window);
    return TRUE;  // the focus goes to the first control
  }
  auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  return self->OnMessage(message, wparam, lparam);
}

}  // namespace kalvex::win32
