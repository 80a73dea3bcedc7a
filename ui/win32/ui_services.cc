#include "ui/win32/ui_services.h"

#include <shlobj.h>

#include "platform/win32/wide_path.h"

namespace kalvex::win32 {

namespace {

// Return only file-system folders, offer an edit box, use the resizable
// dialog with its "new folder" button.
constexpr UINT kPickerFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
static_assert(kPickerFlags == 0x51);

class SystemUiServices final : public UiServices {
 public:
  void ShowMessage(HWND owner, const UserMessage& message) override {
    const UINT icon = message.icon == MessageIcon::kWarning ? MB_ICONWARNING : MB_ICONERROR;
    MessageBoxW(owner, Utf8ToWide(message.text).c_str(), ProgramTitle().c_str(), MB_OK | icon);
  }

  std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& title) override {
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = kPickerFlags;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (item == nullptr) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    const BOOL has_path = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    if (!has_path) return std::nullopt;
    return std::wstring(path);
  }
};

}  // namespace

UiServices& DefaultUiServices() {
  static SystemUiServices services;
  return services;
}

std::wstring ProgramTitle() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  const size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name;
}

}  // namespace kalvex::win32
