// The main window without a toolkit: its captions in both languages, the
// state of every control, and the decisions behind its buttons. A front end
// renders what this model holds and passes the user's actions in; the model
// calls back into the front end only for the modal steps it cannot do itself
// (message box, folder picker, progress dialog).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "kalvex_version.h"
#include "ui/layout/dialog_layout.h"
#include "ui/start_decision.h"
#include "ui/target_info.h"

namespace kalvex {

// Control ids of the main window. They name the controls in every front end.
namespace main_ids {
constexpr int kAllSpace = IDC_ALL_SPACE;          // radio "all available space"
constexpr int kOnly = IDC_ONLY;                   // radio "only"
constexpr int kSelectTarget = IDC_SELECT_TARGET;  // push button
constexpr int kSize = IDC_SIZE_EDIT;               // edit field, MByte
constexpr int kWriteVerify = IDC_WRITE_VERIFY;    // default push button
constexpr int kVerify = IDC_VERIFY;               // push button
constexpr int kEndless = IDC_ENDLESS;             // check box
constexpr int kTargetLabel = IDC_TARGET_LABEL;
constexpr int kTestDataLine = IDC_TEST_DATA_LINE;
constexpr int kRefresh = IDC_REFRESH;
constexpr int kMByteLabel = IDC_MBYTE_LABEL;
constexpr int kGerman = IDC_GERMAN;    // language radio
constexpr int kEnglish = IDC_ENGLISH;  // language radio
constexpr int kTargetGroup = IDC_TARGET_GROUP;
constexpr int kSizeGroup = IDC_SIZE_GROUP;
}  // namespace main_ids

// One entry of the caption table that a language switch renews, in the
// order in which the captions are set.
struct CaptionPair {
  int id;
  const char* english;
  const char* german;
};
constexpr CaptionPair kLanguageCaptions[] = {
    {main_ids::kSelectTarget, "Select target", "Ziel wählen"},
    {main_ids::kRefresh, "Refresh", "Aktualisieren"},
    {main_ids::kWriteVerify, "Write + Verify", "Schreiben + Prüfen"},
    {main_ids::kVerify, "Verify", "Prüfen"},
    {main_ids::kTargetGroup, "Target", "Ziel"},
    {main_ids::kSizeGroup, "Data volume", "Datenmenge"},
    {main_ids::kAllSpace, "all available space", "gesamter freier Platz"},
    {main_ids::kOnly, "only", "nur"},
    {main_ids::kEndless, "endless verify", "Prüfen als Dauertest"},
};

// Texts of the main window that stay the same in both languages.
namespace main_texts {
constexpr const char* kTitle = "Kalvex";
constexpr const char* kMByte = "MByte";
constexpr const char* kGerman = "Deutsch";
constexpr const char* kEnglish = "English";
constexpr const char* kWebAddress = "kalvex.example.org";
constexpr const char* kFolderPickerEnglish = "Please select a folder";
constexpr const char* kFolderPickerGerman = "Bitte wählen Sie einen Ordner";
// Title of every message box.
constexpr const char* kMessageTitle = "Kalvex";
}  // namespace main_texts

// The About box and the entry that opens it exist in German only.
namespace about_texts {
constexpr const char* kTitle = "Info über Kalvex";
constexpr const char* kMenuEntry = "&Info über Kalvex...";
constexpr const char* kProductLine =
    "Kalvex Version " KALVEX_VERSION_SHORT ", Kalvex-Team <kalvex@example.org>";
constexpr const char* kRightsLine = "© 2026 Kalvex-Team. Alle Rechte vorbehalten.";
constexpr const char* kIconLine = "Icondesign: Kalvex-Team";
constexpr const char* kOk = "OK";
}  // namespace about_texts

// The modal steps of the main window, done by the front end.
class MainDialogHost {
 public:
  virtual ~MainDialogHost() = default;
  // A message box with an OK button only; returns when the user closed it.
  virtual void ShowMessage(const UserMessage& message) = 0;
  // The folder picker with the given title; nullopt when the user cancelled.
  virtual std::optional<std::string> PickFolder(const std::string& title) = 0;
  // Runs the progress dialog for the run the engine is configured for, and
  // returns when it has closed.
  virtual void RunProgress() = 0;
};

class MainDialogModel {
 public:
  explicit MainDialogModel(CTestEngine& engine = theEngine);

  // First display: German, "all available space", no target.
  void Init();

  // --- The user's actions ---
  void OnSelectTarget(MainDialogHost& host);
  // The target named when the program was started, as if picked.
  void SelectTarget(const std::string& folder);
  void OnWriteVerify(MainDialogHost& host) { StartTest(true, host); }
  void OnVerify(MainDialogHost& host) { StartTest(false, host); }
  void OnRefresh() { UpdateTargetInfo(); }
  void OnGerman() { SetLanguage(0); }
  void OnEnglish() { SetLanguage(1); }
  void OnAllSpaceClicked();
  void OnOnlyClicked();
  void OnEndlessClicked(bool checked) { endless_checked_ = checked; }
  // Every change of the edit field's text, typed or set by the program.
  void OnSizeTextChanged(const std::string& text);

  // The edit field takes digits only; a front end refuses any other input.
  static bool IsAcceptableSizeText(const std::string& text);

  void UpdateTargetInfo();
  void StartTest(bool write, MainDialogHost& host);
  void SetLanguage(int language);

  // --- What a front end shows ---
  // Caption of any control by id; the target label and the test-data line
  // included. Unknown ids give the empty text.
  std::string Caption(int id) const;
  // Whether a control can be used; every control not named by the target
  // state (select target, endless, the language buttons, labels) always can.
  bool IsEnabled(int id) const;
  bool AllSpaceChecked() const { return all_space_checked_; }
  bool OnlyChecked() const { return !all_space_checked_; }
  bool EndlessChecked() const { return endless_checked_; }
  bool GermanChecked() const { return !english_checked_; }
  bool EnglishChecked() const { return english_checked_; }
  const std::string& SizeText() const { return size_text_; }
  const TargetInfo& Target() const { return target_; }
  // Title of the folder picker in the current language.
  static std::string FolderPickerTitle();

  CTestEngine& Engine() { return engine_; }

 private:
  void SetCaption(int id, const std::string& text) { captions_[id] = text; }

  CTestEngine& engine_;
  std::map<int, std::string> captions_;
  TargetInfo target_;
  bool all_space_checked_ = true;
  bool endless_checked_ = false;
  bool english_checked_ = false;
  std::string size_text_;
};

}  // namespace kalvex
