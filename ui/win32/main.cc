// Kalvex.exe: the main window, run modally for the whole life of the
// process. Nothing is read from the command line, the registry or a file;
// every start looks the same.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "ui/win32/main_dialog.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder picker's new-style dialog needs COM in a single-threaded
  // apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  {
    kalvex::win32::MainDialog dialog;
    dialog.RunModal();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
