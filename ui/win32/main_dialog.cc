#include "ui/win32/main_dialog.h"

#include "platform/win32/wide_path.h"
#include "report/speed_chart.h"
#include "ui/layout/dialog_layout.h"
#include "ui/win32/about_dialog.h"
#include "ui/win32/progress_dialog.h"
#include "ui/win32/popup_menu.h"
#include "ui/win32/speed_chart_window.h"
#include "ui/win32/window_text.h"

namespace kalvex::win32 {

namespace {

using namespace main_ids;

// Every control whose caption the model holds.
constexpr int kCaptioned[] = {kSelectTarget, kRefresh,   kWriteVerify, kVerify,
                              kTargetGroup,  kSizeGroup, kAllSpace,    kOnly,
                              kEndless,      kMByteLabel, kGerman,     kEnglish,
                              kTargetLabel,  kTestDataLine};
// Every control whose enabled state follows the target.
constexpr int kSwitched[] = {kRefresh, kWriteVerify, kAllSpace, kOnly,
                             kSize,    kMByteLabel,  kVerify};

void Check(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace

MainDialog::MainDialog(CTestEngine& engine, UiServices& services)
    : model_(engine), services_(services), engine_(engine) {
  icon_ = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KALVEX),
                                        IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

MainDialog::~MainDialog() {
  if (window_ != nullptr && !modal_) DestroyWindow(window_);
}

void MainDialog::RunModal() {
  modal_ = true;
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                  RouteDialogMessage<MainDialog>, reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
}

HWND MainDialog::CreateModeless() {
  modal_ = false;
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                            RouteDialogMessage<MainDialog>, reinterpret_cast<LPARAM>(this));
}

void MainDialog::Attach(HWND window) {
  window_ = window;
  OnInitDialog();
}

INT_PTR MainDialog::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCDESTROY:
      // The last message of the window: the destructor must not destroy it
      // a second time.
      window_ = nullptr;
      return FALSE;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_SYSCOMMAND:
      return OnSysCommand(wparam) ? TRUE : FALSE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_CONTEXTMENU:
      OnContextMenu(lparam);
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    default:
      return FALSE;
  }
}

void MainDialog::OnInitDialog() {
  AddAboutToSystemMenu();
  // Only the small icon is set; the large one comes from the program file.
  HICON small = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                              MAKEINTRESOURCEW(IDI_KALVEX), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  SetWindowTextUtf8(window_, main_texts::kTitle);
  SetItemText(window_, IDC_WEB_ADDRESS, main_texts::kWebAddress);
  model_.Init();
  Render();
}

void MainDialog::AddAboutToSystemMenu() {
  HMENU menu = GetSystemMenu(window_, FALSE);
  if (menu == nullptr) return;
  wchar_t text[100] = {};
  if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUT_MENU, text, 100) <= 0) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_ABOUT, text);
}

void MainDialog::OnCommand(int id, int code) {
  if (id == IDC_SIZE_EDIT) {
    if (code == EN_CHANGE && !rendering_) {
      model_.OnSizeTextChanged(ItemText(window_, IDC_SIZE_EDIT));
      Render();
    }
    return;
  }
  if (id == IDCANCEL) {
    Close();
    return;
  }
  if (id == IDM_ABOUT) {
    RunAboutDialog(window_);
    return;
  }
  if (id == static_cast<int>(IDM_SPEED_CHART)) {
    OpenSpeedChartWindow(engine_, window_);
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case kSelectTarget: model_.OnSelectTarget(*this); break;
    case kAllSpace: model_.OnAllSpaceClicked(); break;
    case kOnly: model_.OnOnlyClicked(); break;
    case kEndless: model_.OnEndlessClicked(IsDlgButtonChecked(window_, kEndless) == BST_CHECKED); break;
    case kWriteVerify: model_.OnWriteVerify(*this); break;
    case kVerify: model_.OnVerify(*this); break;
    case kRefresh: model_.OnRefresh(); break;
    case kGerman: model_.OnGerman(); break;
    case kEnglish: model_.OnEnglish(); break;
    default: return;  // IDOK: Enter with no default button to take it
  }
  Render();
}

bool MainDialog::OnSysCommand(WPARAM command) {
  if ((command & 0xFFF0) != IDM_ABOUT) return false;
  RunAboutDialog(window_);
  return true;
}

void MainDialog::OnContextMenu(LPARAM where) {
  HMENU menu = CreatePopupMenu();
  wchar_t about[100] = {};
  if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUT_MENU, about, 100) > 0)
    AppendMenuW(menu, MF_STRING, IDM_ABOUT, about);
  AppendMenuW(menu, MF_STRING, IDM_SPEED_CHART, Utf8ToWide(SpeedChartMenuText()).c_str());
  const int command = TrackContextMenu(window_, menu, where);
  if (command != 0) OnCommand(command, 0);
}

bool MainDialog::OnPaint() {
  if (!IsIconic(window_)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, icon_);
  EndPaint(window_, &paint);
  return true;
}

void MainDialog::Close() {
  if (modal_) {
    EndDialog(window_, 0);
  } else {
    DestroyWindow(window_);
  }
}

void MainDialog::Render() {
  for (int id : kCaptioned) SetItemText(window_, id, model_.Caption(id));
  for (int id : kSwitched) EnableWindow(GetDlgItem(window_, id), model_.IsEnabled(id));
  Check(window_, kAllSpace, model_.AllSpaceChecked());
  Check(window_, kOnly, model_.OnlyChecked());
  Check(window_, kEndless, model_.EndlessChecked());
  Check(window_, kGerman, model_.GermanChecked());
  Check(window_, kEnglish, model_.EnglishChecked());
  rendering_ = true;
  SetItemText(window_, kSize, model_.SizeText());
  rendering_ = false;
}

void MainDialog::ShowMessage(const UserMessage& message) {
  services_.ShowMessage(window_, message);
}

std::optional<std::string> MainDialog::PickFolder(const std::string& title) {
  const std::optional<std::wstring> folder = services_.PickFolder(window_, Utf8ToWide(title));
  if (!folder) return std::nullopt;
  return WideToUtf8(*folder);
}

void MainDialog::RunProgress() {
  ProgressDialog progress(engine_);
  progress.RunModal(window_);
}

}  // namespace kalvex::win32
