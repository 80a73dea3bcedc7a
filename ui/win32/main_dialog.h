// The main window of Kalvex.exe (dialog template IDD_MAIN): renders
// MainDialogModel and passes the user's actions in.
#pragma once

#include <windows.h>

#include "ui/win32/dialog_proc.h"
#include "engine/engine.h"
#include "ui/main_dialog_model.h"
#include "ui/win32/ui_services.h"

namespace kalvex::win32 {

class MainDialog : private MainDialogHost {
 public:
  explicit MainDialog(CTestEngine& engine = theEngine, UiServices& services = DefaultUiServices());
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // The program's life: runs the dialog modally until Escape or the close
  // box ends it.
  void RunModal();
  // The same window without a loop of its own, for a caller that has one
  // (a test). It is destroyed by Escape, the close box or the destructor.
  HWND CreateModeless();
  ~MainDialog() override;

  HWND Window() const { return window_; }
  MainDialogModel& Model() { return model_; }

 private:
  template <class Dialog>
  friend INT_PTR CALLBACK RouteDialogMessage(HWND, UINT, WPARAM, LPARAM);
  void Attach(HWND window);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  void OnCommand(int id, int code);
  bool OnSysCommand(WPARAM command);
  // The window's context menu: the About entry and the speed chart.
  void OnContextMenu(LPARAM where);
  bool OnPaint();
  void AddAboutToSystemMenu();
  void Close();
  // Shows the model's current state.
  void Render();

  // MainDialogHost
  void ShowMessage(const UserMessage& message) override;
  std::optional<std::string> PickFolder(const std::string& title) override;
  void RunProgress() override;

  MainDialogModel model_;
  UiServices& services_;
  CTestEngine& engine_;
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  bool modal_ = false;
  // Set while Render writes the edit field: that change is the model's own,
  // not the user's.
  bool rendering_ = false;
};

}  // namespace kalvex::win32
