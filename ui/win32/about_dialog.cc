#include "ui/win32/about_dialog.h"

#include "ui/layout/dialog_layout.h"
#include "ui/main_dialog_model.h"
#include "ui/win32/window_text.h"

namespace kalvex::win32 {

namespace {

INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wparam, LPARAM /*lparam*/) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextUtf8(window, about_texts::kTitle);
      SetItemText(window, IDC_ABOUT_PRODUCT, about_texts::kProductLine);
      SetItemText(window, IDC_ABOUT_RIGHTS, about_texts::kRightsLine);
      SetItemText(window, IDC_ABOUT_ICON_CREDIT, about_texts::kIconLine);
      SetItemText(window, IDOK, about_texts::kOk);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(window, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunAboutDialog(HWND owner) {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc, 0);
}

}  // namespace kalvex::win32
