// Drives the Win32 windows of Kalvex.exe in-process, as a user would, with
// window messages only: clicks, typed text, and the modal dialogs answered
// from a thread timer that runs inside their modal loops. Shared by the GUI
// test and the screenshot tool.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/start_decision.h"
#include "ui/win32/ui_services.h"

namespace kalvex::win32::testing {

// Answers the folder picker with a folder of the test's choosing and keeps
// the message boxes instead of showing them.
class ScriptedServices final : public UiServices {
 public:
  void ShowMessage(HWND owner, const UserMessage& message) override;
  std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& title) override;

  // The next answer of the folder picker; nullopt: the user cancels.
  std::optional<std::wstring> next_folder;
  std::vector<UserMessage> messages;
  std::vector<std::wstring> picker_titles;
};

// A BM_CLICK on a dialog's control, as the mouse would do it.
void Click(HWND dialog, int id);
// Types text into an edit field (its EN_CHANGE included).
void Type(HWND dialog, int id, const std::wstring& text);
bool IsItemEnabled(HWND dialog, int id);
// Handles what is waiting in this thread's queue.
void PumpMessages();

// What a finished progress dialog showed.
struct FinishedRun {
  bool seen = false;  // the dialog showed "OK" before the limit
  std::string title;
  std::string button;
  std::string report;
  std::string clipboard;  // after its Copy button
  LRESULT bar_state = 0;
  COLORREF bar_colour = CLR_DEFAULT;
  int bar_position = 0;
};

// Runs action, which opens a modal dialog of owner, and calls on_open with
// that dialog's window once ready(dialog) is true (or the limit has passed,
// with nullptr); on_open must close it. Returns whether it was found.
bool WithModalDialog(HWND owner, const std::function<void()>& action,
                     const std::function<bool(HWND)>& ready,
                     const std::function<void(HWND)>& on_open, int limit_ms = 120000);

// Clicks start_id of the main window and waits for the progress dialog's
// end; then calls before_close (e.g. a screenshot), presses Copy, reads
// everything back and presses OK.
FinishedRun RunToEnd(HWND main_window, int start_id,
                     const std::function<void(HWND)>& before_close = nullptr);

// Whether this system's progress bars keep the state they are given; Wine's
// take PBM_SETSTATE but always answer PBST_NORMAL.
bool ProgressBarKeepsState();

// A visible top-level window of this thread with the given class, owned by
// owner; nullptr when there is none.
HWND FindOwnedWindow(HWND owner, const wchar_t* class_name);

// The text on the clipboard, empty when there is none.
std::string ClipboardText();

// A fresh folder under the temporary directory, removed with its content.
class TempFolder {
 public:
  TempFolder();
  // A folder of this name, for pictures that should not change between runs.
  explicit TempFolder(const std::string& name);
  ~TempFolder();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Overwrites count bytes at offset of file with a pattern no test data holds.
void Damage(const std::filesystem::path& file, uint64_t offset, size_t count);

// Writes what the window shows, frame included, as a 24-bit BMP file.
bool CaptureWindow(HWND window, const std::filesystem::path& bmp);

}  // namespace kalvex::win32::testing
