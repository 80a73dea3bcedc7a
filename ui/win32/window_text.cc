#include "ui/win32/window_text.h"

#include "platform/win32/wide_path.h"

namespace kalvex::win32 {

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return WideToUtf8(text);
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetWindowTextUtf8(HWND window, const std::string& text) {
  if (window == nullptr || WindowText(window) == text) return;
  SetWindowTextW(window, Utf8ToWide(text).c_str());
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  SetWindowTextUtf8(GetDlgItem(dialog, id), text);
}

}  // namespace kalvex::win32
