#include "tests/ui/win32/gui_driver.h"

#include <commctrl.h>

#include <chrono>
#include <fstream>

#include "ui/layout/dialog_layout.h"
#include "platform/win32/wide_path.h"
#include "ui/win32/window_text.h"

namespace kalvex::win32::testing {

void ScriptedServices::ShowMessage(HWND /*owner*/, const UserMessage& message) {
  messages.push_back(message);
}

std::optional<std::wstring> ScriptedServices::PickFolder(HWND /*owner*/,
                                                         const std::wstring& title) {
  picker_titles.push_back(title);
  return next_folder;
}

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void Type(HWND dialog, int id, const std::wstring& text) {
  SetWindowTextW(GetDlgItem(dialog, id), text.c_str());
}

bool IsItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

namespace {

// The state of one WithModalDialog; a thread timer has no context of its
// own, and only one modal dialog is driven at a time.
struct ModalDriver {
  HWND owner = nullptr;
  std::function<bool(HWND)> ready;
  std::function<void(HWND)> on_open;
  std::chrono::steady_clock::time_point limit;
  UINT_PTR timer = 0;
  bool found = false;
  bool busy = false;
};
ModalDriver* g_driver = nullptr;

BOOL CALLBACK FindOwned(HWND window, LPARAM result) {
  if (GetWindow(window, GW_OWNER) == g_driver->owner && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK DriveModal(HWND, UINT, UINT_PTR, DWORD) {
  ModalDriver& driver = *g_driver;
  // on_open may pump messages (a Copy, a screenshot); no second entry.
  if (driver.busy || driver.found) return;
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindOwned, reinterpret_cast<LPARAM>(&dialog));
  const bool late = std::chrono::steady_clock::now() > driver.limit;
  if (dialog == nullptr && !late) return;
  if (dialog != nullptr && !driver.ready(dialog) && !late) return;
  driver.busy = true;
  driver.found = dialog != nullptr && !late;
  KillTimer(nullptr, driver.timer);
  if (dialog != nullptr) {
    driver.on_open(late ? nullptr : dialog);
    // A dialog left open after the limit is asked to close (Abort/Esc).
    if (late) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  driver.busy = false;
}

}  // namespace

bool WithModalDialog(HWND owner, const std::function<void()>& action,
                     const std::function<bool(HWND)>& ready,
                     const std::function<void(HWND)>& on_open, int limit_ms) {
  ModalDriver driver;
  driver.owner = owner;
  driver.ready = ready;
  driver.on_open = on_open;
  driver.limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  g_driver = &driver;
  driver.timer = SetTimer(nullptr, 0, 50, DriveModal);
  action();
  KillTimer(nullptr, driver.timer);
  g_driver = nullptr;
  return driver.found;
}

FinishedRun RunToEnd(HWND main_window, int start_id,
                     const std::function<void(HWND)>& before_close) {
  FinishedRun run;
  const auto finished = [](HWND dialog) {
    // "OK" on button 2 is the one sign of the end that the user sees.
    return GetDlgItem(dialog, IDC_BAR) != nullptr && ItemText(dialog, IDC_ABORT) == "OK";
  };
  WithModalDialog(
      main_window, [&] { Click(main_window, start_id); }, finished,
      [&](HWND dialog) {
        if (dialog == nullptr) return;
        run.seen = true;
        if (before_close) before_close(dialog);
        run.title = WindowText(dialog);
        run.button = ItemText(dialog, IDC_ABORT);
        run.report = ItemText(dialog, IDC_REPORT);
        HWND bar = GetDlgItem(dialog, IDC_BAR);
        run.bar_state = SendMessageW(bar, PBM_GETSTATE, 0, 0);
        run.bar_colour = static_cast<COLORREF>(SendMessageW(bar, PBM_GETBARCOLOR, 0, 0));
        run.bar_position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
        Click(dialog, IDC_COPY);
        run.clipboard = ClipboardText();
        Click(dialog, IDC_ABORT);
      });
  return run;
}

bool ProgressBarKeepsState() {
  HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
  SendMessageW(bar, PBM_SETSTATE, PBST_ERROR, 0);
  const bool kept = SendMessageW(bar, PBM_GETSTATE, 0, 0) == PBST_ERROR;
  DestroyWindow(bar);
  return kept;
}

namespace {

struct OwnedSearch {
  HWND owner;
  const wchar_t* class_name;
  HWND found;
};

BOOL CALLBACK FindOwnedOfClass(HWND window, LPARAM search_address) {
  auto& search = *reinterpret_cast<OwnedSearch*>(search_address);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (GetWindow(window, GW_OWNER) == search.owner && IsWindowVisible(window) &&
      std::wstring(name) == search.class_name) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindOwnedWindow(HWND owner, const wchar_t* class_name) {
  OwnedSearch search = {owner, class_name, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindOwnedOfClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ClipboardText() {
  if (!OpenClipboard(nullptr)) return std::string();
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return WideToUtf8(text);
}

TempFolder::TempFolder()
    : TempFolder("kalvex-win32-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(GetTickCount64())) {}

TempFolder::TempFolder(const std::string& name)
    : path_(std::filesystem::temp_directory_path() / name) {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void Damage(const std::filesystem::path& file, uint64_t offset, size_t count) {
  std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
  stream.seekp(static_cast<std::streamoff>(offset));
  const std::string junk(count, '\xA5');
  stream.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

bool CaptureWindow(HWND window, const std::filesystem::path& bmp) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN |
                                             RDW_UPDATENOW);
  PumpMessages();
  GdiFlush();
  RECT frame;
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as BMP files store it
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::string pixels(static_cast<size_t>(stride) * height, '\0');
  const int rows = GetDIBits(memory, bitmap, 0, height, pixels.data(),
                             reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != height) return false;

  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(bmp, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&info), sizeof(info));
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

}  // namespace kalvex::win32::testing
