// Kalvex.exe's windows in-process, driven with window messages and read back
// with Win32 calls only: what a user clicks and sees, from the first start to
// a finished run, clean and faulty.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "engine/language.h"
#include "tests/ui/test_support.h"
#include "tests/ui/win32/gui_driver.h"
#include "ui/layout/dialog_layout.h"
#include "ui/main_dialog_model.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/progress_dialog.h"
#include "ui/win32/speed_chart_window.h"
#include "platform/win32/wide_path.h"
#include "ui/win32/window_text.h"

namespace kalvex::win32 {
namespace {

using testing::Click;
using testing::IsItemEnabled;
using testing::RunToEnd;
using testing::ScriptedServices;
using testing::TempFolder;
using testing::Type;

// The controls whose enabled state follows the target.
constexpr int kWriteControls[] = {IDC_WRITE_VERIFY, IDC_ALL_SPACE, IDC_ONLY, IDC_SIZE_EDIT,
                                  IDC_MBYTE_LABEL};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_language = 0;
    theEngine.SetTargetPath(nullptr);
    window_ = dialog_.CreateModeless();
    ASSERT_NE(window_, nullptr);
    testing::PumpMessages();
  }
  // The window goes with dialog_.
  void TearDown() override { g_language = 0; }

  // The target reaches the window the way the folder picker's answer does.
  void ChooseTarget(const std::filesystem::path& folder) {
    services_.next_folder = folder.wstring();
    Click(window_, IDC_SELECT_TARGET);
  }
  std::string Text(int id) const { return ItemText(window_, id); }
  bool Checked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }

  ScriptedServices services_;
  MainDialog dialog_{theEngine, services_};
  HWND window_ = nullptr;
};

TEST_F(MainWindowTest, StartsInGermanWithNoTargetAndOnlyTheTargetChoiceUsable) {
  EXPECT_EQ(WindowText(window_), "Kalvex");
  for (const auto& caption : kalvex::testing::kMainCaptions)
    EXPECT_EQ(Text(caption.id), caption.german) << caption.id;
  EXPECT_EQ(Text(IDC_TARGET_LABEL), "(keines gewählt)");
  EXPECT_EQ(Text(IDC_TEST_DATA_LINE), "");
  EXPECT_TRUE(Checked(IDC_GERMAN));
  EXPECT_TRUE(Checked(IDC_ALL_SPACE));
  EXPECT_FALSE(Checked(IDC_ENDLESS));
  for (int id : kWriteControls) EXPECT_FALSE(IsItemEnabled(window_, id)) << id;
  EXPECT_FALSE(IsItemEnabled(window_, IDC_VERIFY));
  EXPECT_FALSE(IsItemEnabled(window_, IDC_REFRESH));
  EXPECT_TRUE(IsItemEnabled(window_, IDC_SELECT_TARGET));
  EXPECT_TRUE(IsItemEnabled(window_, IDC_ENDLESS));
}

TEST_F(MainWindowTest, PickedFolderIsShownAndACancelledPickerChangesNothing) {
  TempFolder folder;
  ChooseTarget(folder.Path());
  ASSERT_EQ(services_.picker_titles.size(), 1u);
  EXPECT_EQ(WideToUtf8(services_.picker_titles[0]), main_texts::kFolderPickerGerman);
  EXPECT_EQ(Text(IDC_TARGET_LABEL), folder.Path().string());
  EXPECT_EQ(Text(IDC_TEST_DATA_LINE), "Keine Testdaten vorhanden.");
  EXPECT_EQ(Text(IDC_ALL_SPACE).rfind("gesamter freier Platz (", 0), 0u) << Text(IDC_ALL_SPACE);
  for (int id : kWriteControls) EXPECT_TRUE(IsItemEnabled(window_, id)) << id;
  EXPECT_FALSE(IsItemEnabled(window_, IDC_VERIFY));
  EXPECT_TRUE(IsItemEnabled(window_, IDC_REFRESH));

  services_.next_folder.reset();
  Click(window_, IDC_SELECT_TARGET);
  EXPECT_EQ(Text(IDC_TARGET_LABEL), folder.Path().string());
  EXPECT_TRUE(IsItemEnabled(window_, IDC_WRITE_VERIFY));
}

TEST_F(MainWindowTest, LanguageSwitchRecaptionsControlsAndTheTargetLines) {
  TempFolder folder;
  ChooseTarget(folder.Path());
  Click(window_, IDC_ENGLISH);
  EXPECT_TRUE(Checked(IDC_ENGLISH));
  EXPECT_FALSE(Checked(IDC_GERMAN));
  for (const auto& caption : kalvex::testing::kMainCaptions) {
    if (caption.id == IDC_ALL_SPACE) continue;  // carries the free MByte
    EXPECT_EQ(Text(caption.id), caption.english) << caption.id;
  }
  EXPECT_EQ(Text(IDC_ALL_SPACE).rfind("all available space (", 0), 0u) << Text(IDC_ALL_SPACE);
  EXPECT_EQ(Text(IDC_TEST_DATA_LINE), "No existing test data.");
  EXPECT_EQ(WindowText(window_), "Kalvex");

  services_.next_folder.reset();
  Click(window_, IDC_SELECT_TARGET);
  EXPECT_EQ(WideToUtf8(services_.picker_titles.back()), main_texts::kFolderPickerEnglish);

  Click(window_, IDC_GERMAN);
  EXPECT_EQ(Text(IDC_WRITE_VERIFY), "Schreiben + Prüfen");
  EXPECT_EQ(Text(IDC_TEST_DATA_LINE), "Keine Testdaten vorhanden.");
}

TEST_F(MainWindowTest, TypingASizeSelectsOnlyAndZeroIsRefused) {
  TempFolder folder;
  ChooseTarget(folder.Path());
  Type(window_, IDC_SIZE_EDIT, L"0");
  EXPECT_TRUE(Checked(IDC_ONLY));
  EXPECT_FALSE(Checked(IDC_ALL_SPACE));
  Click(window_, IDC_WRITE_VERIFY);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "Datenmenge darf nicht 0 sein!");
  EXPECT_EQ(services_.messages[0].icon, MessageIcon::kError);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "1.kvx"));
}

TEST_F(MainWindowTest, SystemMenuEndsWithTheAboutEntryThatOpensTheAboutBox) {
  HMENU menu = GetSystemMenu(window_, FALSE);
  ASSERT_NE(menu, nullptr);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUT));
  wchar_t text[100] = {};
  GetMenuStringW(menu, count - 1, text, 100, MF_BYPOSITION);
  EXPECT_EQ(WideToUtf8(text), about_texts::kMenuEntry);
  MENUITEMINFOW separator = {};
  separator.cbSize = sizeof(separator);
  separator.fMask = MIIM_FTYPE;
  GetMenuItemInfoW(menu, count - 2, TRUE, &separator);
  EXPECT_TRUE(separator.fType & MFT_SEPARATOR);

  // German only, also while the window is English.
  Click(window_, IDC_ENGLISH);
  std::string title, product;
  const bool opened = testing::WithModalDialog(
      window_, [&] { SendMessageW(window_, WM_SYSCOMMAND, IDM_ABOUT, 0); },
      [](HWND about) { return GetDlgItem(about, IDC_ABOUT_PRODUCT) != nullptr; },
      [&](HWND about) {
        title = WindowText(about);
        product = ItemText(about, IDC_ABOUT_PRODUCT);
        Click(about, IDOK);
      },
      20000);
  ASSERT_TRUE(opened);
  EXPECT_EQ(title, about_texts::kTitle);
  EXPECT_EQ(product, about_texts::kProductLine);
  EXPECT_TRUE(IsWindow(window_));
}

TEST_F(MainWindowTest, WriteRunToItsReportThenDamagedDataTurnsTheVerifyRed) {
  TempFolder folder;
  ChooseTarget(folder.Path());
  Type(window_, IDC_SIZE_EDIT, L"2");

  const testing::FinishedRun clean = RunToEnd(window_, IDC_WRITE_VERIFY);
  ASSERT_TRUE(clean.seen);
  // 2 MByte never equal the volume's capacity: the warning came first.
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].icon, MessageIcon::kWarning);
  EXPECT_NE(services_.messages[0].text.find("nur 2 MByte"), std::string::npos);
  EXPECT_EQ(clean.title, "Kalvex | Fortschritt");
  EXPECT_EQ(clean.button, "OK");
  EXPECT_EQ(clean.bar_state, PBST_NORMAL);
  EXPECT_EQ(clean.bar_colour, CLR_DEFAULT);
  EXPECT_EQ(clean.bar_position, 100);
  EXPECT_NE(clean.report.find("Fertig, kein Fehler aufgetreten."), std::string::npos)
      << clean.report;
  EXPECT_NE(clean.report.find("Schreibrate: "), std::string::npos);
  EXPECT_NE(clean.report.find("Leserate: "), std::string::npos);
  EXPECT_EQ(clean.clipboard, clean.report);
  EXPECT_EQ(std::filesystem::file_size(folder.Path() / "1.kvx"), 2u * 1048576u);

  // The main window now offers the verify run only.
  EXPECT_EQ(Text(IDC_TEST_DATA_LINE), "2 MByte Testdaten vorhanden.");
  EXPECT_TRUE(IsItemEnabled(window_, IDC_VERIFY));
  for (int id : kWriteControls) EXPECT_FALSE(IsItemEnabled(window_, id)) << id;

  testing::Damage(folder.Path() / "1.kvx", 0x1000, 512);
  Click(window_, IDC_ENGLISH);
  const testing::FinishedRun faulty = RunToEnd(window_, IDC_VERIFY);
  ASSERT_TRUE(faulty.seen);
  EXPECT_EQ(services_.messages.size(), 1u) << "a verify run asks nothing";
  EXPECT_EQ(faulty.bar_colour, kErrorBarColour);
  if (testing::ProgressBarKeepsState()) {
    EXPECT_EQ(faulty.bar_state, PBST_ERROR);
  }
  EXPECT_NE(faulty.report.find("DATA LOST (1 sector)"), std::string::npos) << faulty.report;
  EXPECT_NE(faulty.report.find("First error at offset: 0x0000000000001000"), std::string::npos);
  EXPECT_EQ(faulty.report.find("Writing speed"), std::string::npos);
  EXPECT_EQ(faulty.clipboard, faulty.report);
  EXPECT_EQ(Text(IDC_TEST_DATA_LINE), "Existing test data: 2 MByte.");
}

// Abort only asks the worker to stop; the dialog closes by itself once it
// has, without a report and without an OK from the user. (A dialog that took
// the wrong message for the run's end would hang here, waiting for the held
// worker: the test's time limit catches that.)
TEST(ProgressWindowTest, AbortKeepsTheDialogUntilTheWorkerStopsThenItClosesByItself) {
  g_language = 0;
  kalvex::testing::TestPlatform platform;
  platform.SetVolume(1000, 1000);
  platform.HoldAtWrite(1);
  CTestEngine engine(platform);
  ScriptedServices services;
  TempFolder folder;
  MainDialog dialog(engine, services);
  HWND window = dialog.CreateModeless();
  ASSERT_NE(window, nullptr);
  services.next_folder = folder.Path().wstring();
  Click(window, IDC_SELECT_TARGET);
  Type(window, IDC_SIZE_EDIT, L"2");

  bool held = false, running_after_focus = false, open_after_abort = false;
  std::string button_after_abort;
  const bool opened = testing::WithModalDialog(
      window, [&] { Click(window, IDC_WRITE_VERIFY); },
      [](HWND progress) { return GetDlgItem(progress, IDC_BAR) != nullptr; },
      [&](HWND progress) {
        held = platform.WaitUntilHeld(60);
        // The dialog manager's own messages are no end of the run: moving
        // the focus asks DM_GETDEFID, a neighbour of WM_USER.
        SendMessageW(progress, WM_NEXTDLGCTL, 0, FALSE);
        SendMessageW(progress, DM_GETDEFID, 0, 0);
        running_after_focus = ItemText(progress, IDC_ABORT) == "Abbrechen";
        Click(progress, IDC_ABORT);
        Click(progress, IDC_ABORT);  // twice is once
        testing::PumpMessages();
        open_after_abort = IsWindow(progress) && IsWindowVisible(progress);
        button_after_abort = ItemText(progress, IDC_ABORT);
        platform.Release();
      },
      60000);
  // Click returned: the modal loop is over, the dialog closed by itself.
  ASSERT_TRUE(opened);
  EXPECT_TRUE(held);
  EXPECT_TRUE(running_after_focus);
  EXPECT_TRUE(open_after_abort);
  EXPECT_EQ(button_after_abort, "Abbrechen");
  EXPECT_TRUE(IsWindowEnabled(window));
  // The main window looked at the target again: the aborted run left a file.
  EXPECT_NE(ItemText(window, IDC_TEST_DATA_LINE), "Keine Testdaten vorhanden.");
  SendMessageW(window, WM_CLOSE, 0, 0);
}

TEST_F(MainWindowTest, SpeedChartOpensFromTheMenuCommandAndGoesWithTheWindow) {
  SendMessageW(window_, WM_COMMAND, IDM_SPEED_CHART, 0);
  HWND chart = testing::FindOwnedWindow(window_, L"KalvexSpeedChart");
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(WindowText(chart), "Kalvex | Geschwindigkeitsverlauf");
  testing::PumpMessages();  // it paints an empty chart
  // The close box: the dialog manager posts itself the cancel command.
  SendMessageW(window_, WM_CLOSE, 0, 0);
  testing::PumpMessages();
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_FALSE(IsWindow(chart));
}

TEST_F(MainWindowTest, EscapeClosesTheMainWindow) {
  SendMessageW(window_, WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(IsWindow(window_));
}

}  // namespace
}  // namespace kalvex::win32

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
