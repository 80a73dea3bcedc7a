// The progress dialog of Kalvex.exe (dialog template IDD_PROGRESS): runs one
// test through ProgressDialogModel. A one-second timer refreshes the figures;
// the worker's end arrives as a posted WM_TEST_DONE.
#pragma once

#include <windows.h>

#include <string>

#include "ui/win32/dialog_proc.h"
#include "engine/engine.h"
#include "ui/progress_dialog_model.h"

namespace kalvex::win32 {

// Posted by the worker, through the model's done notifier, exactly once per
// run; both parameters 0. Not WM_USER itself: a dialog receives WM_USER and
// the next few as the dialog manager's DM_GETDEFID, DM_SETDEFID and
// DM_REPOSITION, and DM_GETDEFID comes whenever the focus moves.
constexpr UINT WM_TEST_DONE = WM_USER + 0x100;
static_assert(WM_TEST_DONE == 0x0500);

// The bar's colour once a run ended on a fault. A visual style draws the
// error state of the bar in its own red and ignores this colour; without one
// (the classic look) the state alone changes nothing, the colour does.
// Wine 8 draws neither: its bar keeps its one colour.
constexpr COLORREF kErrorBarColour = RGB(204, 32, 32);

class ProgressDialog {
 public:
  explicit ProgressDialog(CTestEngine& engine = theEngine);
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  // Runs the dialog modally over owner: it starts the run at once and
  // returns when the dialog has closed, with 1 after an abort, 0 after OK.
  int RunModal(HWND owner);

  const ProgressDialogModel& Model() const { return model_; }

 private:
  template <class Dialog>
  friend INT_PTR CALLBACK RouteDialogMessage(HWND, UINT, WPARAM, LPARAM);
  void Attach(HWND window);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  void OnTimer();
  void OnTestDone();
  void OnCommand(int id);
  // The dialog's context menu: the speed chart.
  void OnContextMenu(LPARAM where);
  void Copy();
  INT_PTR OnCtlColor(HDC dc, HWND control);
  void Render();
  void RenderNote();

  ProgressDialogModel model_;
  CTestEngine& engine_;
  HWND window_ = nullptr;
  // Light red, behind the report's characters once it shows a fault.
  COLORREF error_background_;
  std::string shown_note_;
  bool shown_error_ = false;
  bool note_shown_ = false;
};

}  // namespace kalvex::win32
