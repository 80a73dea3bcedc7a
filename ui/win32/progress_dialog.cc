#include "ui/win32/progress_dialog.h"

#include <commctrl.h>

#include "platform/win32/wide_path.h"
#include "report/speed_chart.h"
#include "ui/layout/dialog_layout.h"
#include "ui/win32/popup_menu.h"
#include "ui/win32/speed_chart_window.h"
#include "ui/win32/window_text.h"

namespace kalvex::win32 {

namespace {

using namespace progress_ids;

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMs = 1000;

constexpr int kCaptioned[] = {kAbort,     kCopy,       kWriteGroup, kVerifyGroup,
                              kWriteMB,   kWriteTime,  kWriteRate,  kVerifyMB,
                              kVerifyTime, kVerifyRate, kReport};

// The note's text: the verdict, then the note's lines joined into one
// paragraph that the control wraps itself.
std::string NoteText(const ProgressDialogModel& model) {
  std::string note = model.NoteText();
  std::string joined;
  for (char c : note) {
    if (c == '\r') continue;
    joined += c == '\n' ? ' ' : c;
  }
  while (!joined.empty() && joined.back() == ' ') joined.pop_back();
  const std::string& verdict = model.VerdictText();
  if (verdict.empty()) return joined;
  return joined.empty() ? verdict : verdict + "\r\n" + joined;
}

}  // namespace

ProgressDialog::ProgressDialog(CTestEngine& engine)
    : model_(engine),
      engine_(engine),
      error_background_(RGB(kErrorReportBackground.red, kErrorReportBackground.green,
                            kErrorReportBackground.blue)) {}

int ProgressDialog::RunModal(HWND owner) {
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS),
                                         owner, RouteDialogMessage<ProgressDialog>,
                                         reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
  return static_cast<int>(result);
}

void ProgressDialog::Attach(HWND window) {
  window_ = window;
  OnInitDialog();
}

INT_PTR ProgressDialog::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      OnTimer();
      return TRUE;
    case WM_TEST_DONE:
      OnTestDone();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam));
      return TRUE;
    case WM_CONTEXTMENU:
      OnContextMenu(lparam);
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      return OnCtlColor(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    default:
      return FALSE;
  }
}

void ProgressDialog::OnInitDialog() {
  HWND bar = GetDlgItem(window_, kBar);
  SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(bar, PBM_SETSTATE, PBST_NORMAL, 0);
  SetTimer(window_, kTimerId, kTimerMs, nullptr);
  // The notifier runs on the worker thread as its last act: it only posts.
  // The dialog cannot close before the run is over, so the window is still
  // there to receive it.
  HWND window = window_;
  model_.Start([window] { PostMessageW(window, WM_TEST_DONE, 0, 0); });
  if (!model_.TimerActive()) KillTimer(window_, kTimerId);
  Render();
}

void ProgressDialog::OnTimer() {
  model_.OnTimer();
  Render();
}

void ProgressDialog::OnTestDone() {
  KillTimer(window_, kTimerId);
  model_.OnTestDone();
  Render();
  if (model_.CloseRequested()) EndDialog(window_, model_.Result());
}

void ProgressDialog::OnCommand(int id) {
  switch (id) {
    case IDCANCEL:  // Abort or OK, Escape, the close box
      if (model_.OnCancel()) EndDialog(window_, model_.Result());
      break;
    case IDOK:  // Enter: never ends the dialog while the worker runs
      if (model_.Finished()) EndDialog(window_, model_.Result());
      break;
    case kCopy:
      Copy();
      break;
    case IDM_SPEED_CHART:
      // Live while the run goes on.
      OpenSpeedChartWindow(engine_, window_);
      break;
    default:
      break;
  }
}

void ProgressDialog::OnContextMenu(LPARAM where) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, IDM_SPEED_CHART, Utf8ToWide(SpeedChartMenuText()).c_str());
  const int command = TrackContextMenu(window_, menu, where);
  if (command != 0) OnCommand(command);
}

void ProgressDialog::Copy() {
  // The whole box is selected, so the user sees what was copied.
  HWND report = GetDlgItem(window_, kReport);
  SendMessageW(report, EM_SETSEL, 0, 0xFFFF);
  SendMessageW(report, EM_SCROLLCARET, 0, 0);
  const std::wstring text = Utf8ToWide(model_.ClipboardText());
  if (!OpenClipboard(window_)) return;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory != nullptr) {
    void* target = GlobalLock(memory);
    memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
    // The clipboard owns the memory once it took it.
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
  }
  CloseClipboard();
}

INT_PTR ProgressDialog::OnCtlColor(HDC dc, HWND control) {
  // The report box is read-only, so it asks with WM_CTLCOLORSTATIC; its
  // area keeps the dialog's brush, only the characters get the light red.
  if (control != GetDlgItem(window_, kReport) || !model_.ErrorShown()) return FALSE;
  SetBkColor(dc, error_background_);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
}

void ProgressDialog::Render() {
  SetWindowTextUtf8(window_, model_.Title());
  for (int id : kCaptioned) SetItemText(window_, id, model_.Caption(id));
  HWND bar = GetDlgItem(window_, kBar);
  SendMessageW(bar, PBM_SETPOS, model_.BarPosition(), 0);
  if (model_.Bar() == BarState::kError) {
    SendMessageW(bar, PBM_SETSTATE, PBST_ERROR, 0);
    SendMessageW(bar, PBM_SETBARCOLOR, 0, kErrorBarColour);
  }
  // The colour of the report follows ErrorShown, read at every repaint.
  if (model_.ErrorShown() != shown_error_) {
    shown_error_ = model_.ErrorShown();
    InvalidateRect(GetDlgItem(window_, kReport), nullptr, TRUE);
  }
  RenderNote();
}

void ProgressDialog::RenderNote() {
  const std::string note = NoteText(model_);
  if (note == shown_note_) return;
  shown_note_ = note;
  SetItemText(window_, kNote, note);
  const bool show = !note.empty();
  ShowWindow(GetDlgItem(window_, kNote), show ? SW_SHOW : SW_HIDE);
  if (show == note_shown_) return;
  note_shown_ = show;
  // The window grows below the fixed controls to make room for the note.
  RECT grow = {0, 0, 0, GROW_PROGRESS_NOTE};
  MapDialogRect(window_, &grow);
  RECT frame;
  GetWindowRect(window_, &frame);
  const int height = frame.bottom - frame.top + (show ? grow.bottom : -grow.bottom);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kalvex::win32
