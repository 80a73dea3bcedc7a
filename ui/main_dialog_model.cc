#include "ui/main_dialog_model.h"

#include <cstdio>

#include "engine/language.h"

namespace kalvex {

namespace {

// The captions the window is created with. They are German because the
// program always starts in German; the two labels that the target decides
// are filled by the first refresh.
void SetResourceCaptions(std::map<int, std::string>* captions) {
  for (const CaptionPair& pair : kLanguageCaptions) (*captions)[pair.id] = pair.german;
  (*captions)[main_ids::kMByteLabel] = main_texts::kMByte;
  (*captions)[main_ids::kGerman] = main_texts::kGerman;
  (*captions)[main_ids::kEnglish] = main_texts::kEnglish;
  (*captions)[main_ids::kTargetLabel] = std::string();
  (*captions)[main_ids::kTestDataLine] = std::string();
}

}  // namespace

MainDialogModel::MainDialogModel(CTestEngine& engine) : engine_(engine) {
  SetResourceCaptions(&captions_);
}

void MainDialogModel::Init() {
  // Nothing is remembered from an earlier use: every start looks the same.
  g_language = 0;
  SetResourceCaptions(&captions_);
  english_checked_ = false;
  all_space_checked_ = true;
  endless_checked_ = false;
  size_text_.clear();
  engine_.SetTargetPath(nullptr);
  UpdateTargetInfo();
}

void MainDialogModel::OnSelectTarget(MainDialogHost& host) {
  const std::optional<std::string> folder = host.PickFolder(FolderPickerTitle());
  if (!folder) return;
  // An empty answer would mean "no target"; keep the previous one instead.
  if (folder->empty()) return;
  engine_.SetTargetPath(folder->c_str());
  UpdateTargetInfo();
}

void MainDialogModel::SelectTarget(const std::string& folder) {
  if (folder.empty()) return;
  engine_.SetTargetPath(folder.c_str());
  UpdateTargetInfo();
}

void MainDialogModel::OnAllSpaceClicked() { all_space_checked_ = true; }

void MainDialogModel::OnOnlyClicked() { all_space_checked_ = false; }

void MainDialogModel::OnSizeTextChanged(const std::string& text) {
  size_text_ = text;
  // Typing a number means the user wants that number, not all the space.
  all_space_checked_ = false;
}

bool MainDialogModel::IsAcceptableSizeText(const std::string& text) {
  // Empty while the user is still typing.
  return text.empty() || IsDigitsOnly(text);
}

void MainDialogModel::UpdateTargetInfo() {
  target_ = ReadTargetInfo(engine_);
  SetCaption(main_ids::kTargetLabel, target_.target_label);
  SetCaption(main_ids::kTestDataLine, target_.test_data_line);
  if (!target_.all_space_caption.empty())
    SetCaption(main_ids::kAllSpace, target_.all_space_caption);
}

void MainDialogModel::StartTest(bool write, MainDialogHost& host) {
  StartRequest request;
  request.write = write;
  request.all_space = all_space_checked_;
  request.size_text = size_text_;
  request.endless = endless_checked_;
  const StartDecision decision = DecideStart(engine_, request);

  if (decision.message) host.ShowMessage(*decision.message);
  if (decision.set_size_field) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu",
                  static_cast<unsigned long long>(*decision.set_size_field));
    OnSizeTextChanged(text);
  }
  if (decision.refresh_target) UpdateTargetInfo();
  if (!decision.start) return;

  host.RunProgress();
  // The run has changed what the target holds.
  UpdateTargetInfo();
}

void MainDialogModel::SetLanguage(int language) {
  g_language = language;
  english_checked_ = language == 1;
  for (const CaptionPair& pair : kLanguageCaptions)
    SetCaption(pair.id, LangText(pair.english, pair.german));
  UpdateTargetInfo();
}

std::string MainDialogModel::Caption(int id) const {
  const auto it = captions_.find(id);
  return it == captions_.end() ? std::string() : it->second;
}

bool MainDialogModel::IsEnabled(int id) const {
  switch (id) {
    case main_ids::kRefresh:
      return target_.refresh_enabled;
    case main_ids::kWriteVerify:
    case main_ids::kAllSpace:
    case main_ids::kOnly:
    case main_ids::kSize:
    case main_ids::kMByteLabel:
      return target_.write_controls_enabled;
    case main_ids::kVerify:
      return target_.verify_enabled;
    default:
      return true;
  }
}

std::string MainDialogModel::FolderPickerTitle() {
  return LangText(main_texts::kFolderPickerEnglish, main_texts::kFolderPickerGerman);
}

}  // namespace kalvex
