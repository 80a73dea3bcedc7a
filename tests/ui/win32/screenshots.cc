// Renders the windows of Kalvex.exe as a user sees them, to BMP files for the
// documentation (scripts/screenshots-windows.sh turns them into PNG): the
// main window with a target, the progress dialog after a clean and after a
// faulty run, the speed chart of the clean run, in German and English, and
// the About box.
//
// Usage: kalvex_win32_screenshots OUT_DIR

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "engine/language.h"
#include "tests/ui/win32/gui_driver.h"
#include "ui/layout/dialog_layout.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/speed_chart_window.h"

namespace {

using namespace kalvex;
using namespace kalvex::win32;
using namespace kalvex::win32::testing;

bool Shoot(HWND window, const std::filesystem::path& file) {
  const bool ok = CaptureWindow(window, file);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.string().c_str());
  return ok;
}

bool ShootLanguage(const std::filesystem::path& out, bool english) {
  const std::string suffix = english ? "-windows-en.bmp" : "-windows-de.bmp";
  TempFolder folder("Kalvex-Test");
  ScriptedServices services;
  MainDialog dialog(theEngine, services);
  HWND window = dialog.CreateModeless();
  SetWindowPos(window, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Click(window, english ? IDC_ENGLISH : IDC_GERMAN);
  services.next_folder = folder.Path().wstring();
  Click(window, IDC_SELECT_TARGET);
  bool ok = Shoot(window, out / ("main" + suffix));

  Type(window, IDC_SIZE_EDIT, L"2");
  const auto shoot = [&](const char* name) {
    return [&, name](HWND progress) { ok = Shoot(progress, out / (name + suffix)) && ok; };
  };
  ok = RunToEnd(window, IDC_WRITE_VERIFY, shoot("progress-done")).seen && ok;
  SendMessageW(window, WM_COMMAND, IDM_SPEED_CHART, 0);
  if (HWND chart = FindOwnedWindow(window, L"KalvexSpeedChart")) {
    ok = Shoot(chart, out / ("speed-chart" + suffix)) && ok;
    DestroyWindow(chart);
  }
  Damage(folder.Path() / "1.kvx", 0x1000, 512);
  ok = RunToEnd(window, IDC_VERIFY, shoot("progress-errors")).seen && ok;

  if (!english) {
    WithModalDialog(
        window, [&] { SendMessageW(window, WM_SYSCOMMAND, IDM_ABOUT, 0); },
        [](HWND about) { return GetDlgItem(about, IDC_ABOUT_PRODUCT) != nullptr; },
        [&](HWND about) {
          ok = Shoot(about, out / "about-windows.bmp") && ok;
          SendMessageW(about, WM_COMMAND, IDOK, 0);
        },
        20000);
  }
  // The message boxes, answered by the tool instead of shown.
  for (const UserMessage& message : services.messages)
    std::printf("message: %s\n", message.text.c_str());
  SendMessageW(window, WM_CLOSE, 0, 0);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kalvex_win32_screenshots OUT_DIR\n");
    return 2;
  }
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const std::filesystem::path out(argv[1]);
  std::filesystem::create_directories(out);
  const bool ok = ShootLanguage(out, false) && ShootLanguage(out, true);
  g_language = 0;
  return ok ? 0 : 1;
}
