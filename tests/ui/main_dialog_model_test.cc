// The main window's model against real folders: a fresh start, refreshing,
// the folder picker and the volume choices. The captions, the target states
// and the start decisions are checked through the window
// (tests/ui/qt/main_dialog_test.cc).

#include "ui/main_dialog_model.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/ui/test_support.h"

namespace kalvex {
namespace {

using namespace testing;

// Answers the folder picker and remembers its titles; nothing here starts a
// run or expects a message.
class PickerHost : public MainDialogHost {
 public:
  void ShowMessage(const UserMessage& message) override { ADD_FAILURE() << message.text; }
  std::optional<std::string> PickFolder(const std::string& title) override {
    titles.push_back(title);
    return folder;
  }
  void RunProgress() override { ADD_FAILURE() << "a run was started"; }

  std::vector<std::string> titles;
  std::optional<std::string> folder;
};

class MainDialogModelTest : public ::testing::Test {
 protected:
  MainDialogModelTest() : engine_(platform_), model_(engine_) {
    platform_.SetVolume(1000, 1000);
    model_.Init();
  }

  // An empty path cancels the picker.
  void SelectTarget(const std::string& path) {
    host_.folder = path.empty() ? std::nullopt : std::optional<std::string>(path);
    model_.OnSelectTarget(host_);
  }

  // Refresh, the five write controls, verify, as "1"/"0".
  std::string Enabled() const {
    std::string states;
    for (const int id : {1019, 1006, 1000, 1001, 1004, 1020, 1007})
      states += model_.IsEnabled(id) ? '1' : '0';
    return states;
  }

  void ExpectFreshStart() {
    EXPECT_EQ(g_language, 0);
    EXPECT_TRUE(model_.GermanChecked());
    EXPECT_FALSE(model_.EnglishChecked());
    EXPECT_FALSE(engine_.HasTarget());
    EXPECT_EQ(Enabled(), "0000000");
    for (const int id : {1002, 1008, 1022, 1023}) EXPECT_TRUE(model_.IsEnabled(id)) << id;
    for (const CaptionCase& caption : kMainCaptions)
      EXPECT_EQ(model_.Caption(caption.id), caption.german) << caption.id;
    EXPECT_EQ(model_.Caption(1009), "(keines gewählt)");
    EXPECT_EQ(model_.Caption(1018), "");
    EXPECT_TRUE(model_.AllSpaceChecked());
    EXPECT_FALSE(model_.EndlessChecked());
    EXPECT_EQ(model_.SizeText(), "");
  }

  ScopedLanguage language_{0};
  TestPlatform platform_;
  CTestEngine engine_;
  MainDialogModel model_;
  PickerHost host_;
  TempDir dir_;
};

TEST_F(MainDialogModelTest, EveryStartIsGermanWithoutTargetAndForgetsTheLastUse) {
  // A language switch sets the captions in the order of the table.
  ASSERT_EQ(std::size(kLanguageCaptions), 9u);
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(kLanguageCaptions[i].id, kMainCaptions[i].id) << i;
  ExpectFreshStart();
  SelectTarget(dir_.String());
  model_.SetLanguage(1);
  model_.OnSizeTextChanged("12");
  model_.OnEndlessClicked(true);
  model_.Init();
  ExpectFreshStart();
}

TEST_F(MainDialogModelTest, RefreshSeesNewFilesAndTheirRemoval) {
  SelectTarget(dir_.String());
  MakeSparseFile(dir_ / "1.kvx", 5 * kMiB);
  EXPECT_EQ(Enabled(), "1111110");  // not looked at yet
  model_.OnRefresh();
  EXPECT_EQ(model_.Caption(1018), "5 MByte Testdaten vorhanden.");
  EXPECT_EQ(Enabled(), "1000001");
  std::filesystem::remove(dir_ / "1.kvx");
  model_.OnRefresh();
  EXPECT_EQ(Enabled(), "1111110");
}

TEST_F(MainDialogModelTest, FolderPickerTitleAndCancel) {
  SelectTarget(dir_.String());
  SelectTarget("");
  model_.SetLanguage(1);
  SelectTarget("");
  EXPECT_EQ(host_.titles, std::vector<std::string>({"Bitte wählen Sie einen Ordner",
                                                     "Bitte wählen Sie einen Ordner",
                                                     "Please select a folder"}));
  EXPECT_EQ(engine_.TargetPath(), dir_.String());
  EXPECT_EQ(Enabled(), "1111110");
}

// "kalvex FOLDER": the folder is chosen as if picked, no picker shown.
TEST_F(MainDialogModelTest, TargetNamedAtTheStart) {
  model_.SelectTarget("");
  EXPECT_FALSE(engine_.HasTarget());
  model_.SelectTarget(dir_.String());
  EXPECT_EQ(model_.Caption(main_ids::kTargetLabel), dir_.String());
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Keine Testdaten vorhanden.");
  EXPECT_EQ(Enabled(), "1111110");
  EXPECT_TRUE(host_.titles.empty());
}

TEST_F(MainDialogModelTest, VolumeChoices) {
  for (const char* text : {"", "0123456789"}) EXPECT_TRUE(MainDialogModel::IsAcceptableSizeText(text));
  for (const char* text : {"12a", " 1", "-1", "1.5"})
    EXPECT_FALSE(MainDialogModel::IsAcceptableSizeText(text)) << text;
  model_.OnOnlyClicked();
  EXPECT_TRUE(model_.OnlyChecked());
  model_.OnAllSpaceClicked();
  EXPECT_TRUE(model_.AllSpaceChecked());
  // Editing the size chooses "only"; clearing the field is an edit as well.
  for (const char* text : {"42", ""}) {
    model_.OnAllSpaceClicked();
    model_.OnSizeTextChanged(text);
    EXPECT_TRUE(model_.OnlyChecked()) << text;
    EXPECT_FALSE(model_.AllSpaceChecked());
  }
  // Choosing a target keeps the choices.
  model_.OnSizeTextChanged("42");
  model_.OnEndlessClicked(true);
  SelectTarget(dir_.String());
  EXPECT_EQ(model_.SizeText(), "42");
  EXPECT_TRUE(model_.OnlyChecked());
  EXPECT_TRUE(model_.EndlessChecked());
}

}  // namespace
}  // namespace kalvex
