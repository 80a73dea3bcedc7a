// The modal interactions of the Windows program in one place: message boxes
// and the folder picker. The dialogs reach them only through this interface,
// so a test can answer them instead of having them shown.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "ui/start_decision.h"

namespace kalvex::win32 {

class UiServices {
 public:
  virtual ~UiServices() = default;
  // A message box with an OK button only, titled with the program file's
  // name without its extension.
  virtual void ShowMessage(HWND owner, const UserMessage& message) = 0;
  // The shell's folder picker; nullopt when the user cancelled or the chosen
  // item has no file-system path.
  virtual std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& title) = 0;
};

// The real thing: MessageBoxW and SHBrowseForFolderW.
UiServices& DefaultUiServices();

// The program file's name without folder and extension ("Kalvex").
std::wstring ProgramTitle();

}  // namespace kalvex::win32
