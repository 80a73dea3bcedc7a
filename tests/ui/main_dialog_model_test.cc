// The main window's model against real folders: labels, enabled states,
// refusals, the capacity warning and the language switch.

#include "ui/main_dialog_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/ui/test_support.h"

namespace kalvex {
namespace {

using testing::kGiB;
using testing::kMiB;
using testing::MakeSparseFile;
using testing::ScopedLanguage;
using testing::TempDir;
using testing::TestPlatform;

// Answers the model's modal steps and remembers what was asked.
class RecordingHost : public MainDialogHost {
 public:
  void ShowMessage(const UserMessage& message) override { messages.push_back(message); }
  std::optional<std::string> PickFolder(const std::string& title) override {
    picker_titles.push_back(title);
    return folder;
  }
  void RunProgress() override {
    ++progress_runs;
    if (during_progress) during_progress();
  }

  std::vector<UserMessage> messages;
  std::vector<std::string> picker_titles;
  std::optional<std::string> folder;
  int progress_runs = 0;
  std::function<void()> during_progress;
};

class MainDialogModelTest : public ::testing::Test {
 protected:
  MainDialogModelTest() : engine_(platform_), model_(engine_) {
    platform_.SetVolume(1000, 1000);
    model_.Init();
  }

  void SelectTarget(const std::string& path) {
    host_.folder = path;
    model_.OnSelectTarget(host_);
  }

  // The seven controls a target decides, in a fixed order: refresh, the five
  // write controls, verify.
  std::vector<bool> Enabled() const {
    using namespace main_ids;
    std::vector<bool> states;
    for (const int id : {kRefresh, kWriteVerify, kAllSpace, kOnly, kSize, kMByteLabel, kVerify})
      states.push_back(model_.IsEnabled(id));
    return states;
  }

  ScopedLanguage language_{0};
  TestPlatform platform_;
  CTestEngine engine_;
  MainDialogModel model_;
  RecordingHost host_;
  TempDir dir_;
};

const std::vector<bool> kAllOff = {false, false, false, false, false, false, false};
const std::vector<bool> kRefreshOnly = {true, false, false, false, false, false, false};
const std::vector<bool> kWriteOnly = {true, true, true, true, true, true, false};
const std::vector<bool> kVerifyOnly = {true, false, false, false, false, false, true};

TEST_F(MainDialogModelTest, StartsInGermanWithoutTarget) {
  EXPECT_EQ(g_language, 0);
  EXPECT_FALSE(engine_.HasTarget());
  EXPECT_EQ(Enabled(), kAllOff);
  EXPECT_EQ(model_.Caption(main_ids::kTargetLabel), "(keines gewählt)");
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "");
  EXPECT_EQ(model_.Caption(main_ids::kAllSpace), "gesamter freier Platz");
  EXPECT_EQ(model_.Caption(main_ids::kSelectTarget), "Ziel wählen");
  EXPECT_EQ(model_.Caption(main_ids::kEndless), "Prüfen als Dauertest");
  EXPECT_EQ(model_.Caption(main_ids::kMByteLabel), "MByte");
  EXPECT_TRUE(model_.AllSpaceChecked());
  EXPECT_TRUE(model_.GermanChecked());
  EXPECT_FALSE(model_.EndlessChecked());
  EXPECT_EQ(model_.SizeText(), "");
  // Never disabled, whatever the target.
  EXPECT_TRUE(model_.IsEnabled(main_ids::kSelectTarget));
  EXPECT_TRUE(model_.IsEnabled(main_ids::kEndless));
  EXPECT_TRUE(model_.IsEnabled(main_ids::kGerman));
  EXPECT_TRUE(model_.IsEnabled(main_ids::kEnglish));
}

TEST_F(MainDialogModelTest, EveryStartIsGermanAndForgetsTheTarget) {
  SelectTarget(dir_.String());
  model_.SetLanguage(1);
  model_.OnSizeTextChanged("12");
  model_.OnEndlessClicked(true);
  model_.Init();
  EXPECT_EQ(g_language, 0);
  EXPECT_FALSE(engine_.HasTarget());
  EXPECT_EQ(model_.Caption(main_ids::kRefresh), "Aktualisieren");
  EXPECT_TRUE(model_.AllSpaceChecked());
  EXPECT_FALSE(model_.EndlessChecked());
  EXPECT_EQ(model_.SizeText(), "");
  EXPECT_EQ(Enabled(), kAllOff);
}

TEST_F(MainDialogModelTest, CleanTarget) {
  SelectTarget(dir_.String());
  EXPECT_EQ(model_.Target().state, TargetState::kClean);
  EXPECT_EQ(model_.Caption(main_ids::kTargetLabel), dir_.String());
  EXPECT_EQ(model_.Caption(main_ids::kAllSpace), "gesamter freier Platz (1000 MByte)");
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Keine Testdaten vorhanden.");
  EXPECT_EQ(Enabled(), kWriteOnly);
}

TEST_F(MainDialogModelTest, TargetThatCannotBeRead) {
  SelectTarget((dir_ / "does-not-exist").string());
  EXPECT_EQ(model_.Target().state, TargetState::kAccessError);
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Fehler beim Zugriff auf das Ziel.");
  EXPECT_EQ(model_.Caption(main_ids::kAllSpace), "gesamter freier Platz");
  EXPECT_EQ(Enabled(), kRefreshOnly);
}

TEST_F(MainDialogModelTest, RegularTestData) {
  MakeSparseFile(dir_ / "1.kvx", kGiB);
  MakeSparseFile(dir_ / "2.kvx", 300 * kMiB);
  SelectTarget(dir_.String());
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "1324 MByte Testdaten vorhanden.");
  EXPECT_EQ(Enabled(), kVerifyOnly);
}

TEST_F(MainDialogModelTest, IrregularTestData) {
  MakeSparseFile(dir_ / "1.kvx", 300 * kMiB);
  MakeSparseFile(dir_ / "2.kvx", kGiB);
  SelectTarget(dir_.String());
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Dateien *.kvx bitte löschen.");
  EXPECT_EQ(Enabled(), kRefreshOnly);
}

TEST_F(MainDialogModelTest, StrayFiles) {
  MakeSparseFile(dir_ / "notes.kvx", 10);
  SelectTarget(dir_.String());
  EXPECT_EQ(model_.Target().state, TargetState::kDeleteFiles);
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Dateien *.kvx bitte löschen.");
  EXPECT_EQ(Enabled(), kRefreshOnly);
}

TEST_F(MainDialogModelTest, NumberedFileWithoutTheFirst) {
  MakeSparseFile(dir_ / "7.kvx", kGiB);
  SelectTarget(dir_.String());
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Dateien *.kvx bitte löschen.");
  EXPECT_EQ(Enabled(), kRefreshOnly);
}

TEST_F(MainDialogModelTest, RefreshSeesNewFilesAndTheirRemoval) {
  SelectTarget(dir_.String());
  MakeSparseFile(dir_ / "1.kvx", 5 * kMiB);
  EXPECT_EQ(Enabled(), kWriteOnly);  // not looked at yet
  model_.OnRefresh();
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "5 MByte Testdaten vorhanden.");
  EXPECT_EQ(Enabled(), kVerifyOnly);
  std::filesystem::remove(dir_ / "1.kvx");
  model_.OnRefresh();
  EXPECT_EQ(Enabled(), kWriteOnly);
}

TEST_F(MainDialogModelTest, StatesInEnglish) {
  model_.SetLanguage(1);
  EXPECT_EQ(model_.Caption(main_ids::kTargetLabel), "(none selected)");
  SelectTarget((dir_ / "missing").string());
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Error accessing the target.");
  SelectTarget(dir_.String());
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "No existing test data.");
  EXPECT_EQ(model_.Caption(main_ids::kAllSpace), "all available space (1000 MByte)");
  MakeSparseFile(dir_ / "1.kvx", 3 * kMiB);
  model_.OnRefresh();
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Existing test data: 3 MByte.");
  MakeSparseFile(dir_ / "1.kvx", 3 * kMiB + 512);
  model_.OnRefresh();
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Please delete files *.kvx.");
}

TEST_F(MainDialogModelTest, FolderPickerTitleAndCancel) {
  SelectTarget(dir_.String());
  host_.folder.reset();
  model_.OnSelectTarget(host_);
  ASSERT_EQ(host_.picker_titles.size(), 2u);
  EXPECT_EQ(host_.picker_titles[1], "Bitte wählen Sie einen Ordner");
  EXPECT_EQ(engine_.TargetPath(), dir_.String());
  EXPECT_EQ(Enabled(), kWriteOnly);

  model_.SetLanguage(1);
  model_.OnSelectTarget(host_);
  EXPECT_EQ(host_.picker_titles.back(), "Please select a folder");
}

TEST_F(MainDialogModelTest, SelectingKeepsVolumeChoices) {
  model_.OnSizeTextChanged("42");
  model_.OnEndlessClicked(true);
  SelectTarget(dir_.String());
  EXPECT_EQ(model_.SizeText(), "42");
  EXPECT_TRUE(model_.OnlyChecked());
  EXPECT_TRUE(model_.EndlessChecked());
}

TEST_F(MainDialogModelTest, EditingTheSizeChoosesOnly) {
  ASSERT_TRUE(model_.AllSpaceChecked());
  model_.OnSizeTextChanged("7");
  EXPECT_TRUE(model_.OnlyChecked());
  EXPECT_FALSE(model_.AllSpaceChecked());
  model_.OnAllSpaceClicked();
  EXPECT_TRUE(model_.AllSpaceChecked());
  // Clearing the field is a change as well.
  model_.OnSizeTextChanged("");
  EXPECT_TRUE(model_.OnlyChecked());
}

TEST(MainDialogModelInput, DigitsOnly) {
  EXPECT_TRUE(MainDialogModel::IsAcceptableSizeText(""));
  EXPECT_TRUE(MainDialogModel::IsAcceptableSizeText("0123456789"));
  EXPECT_FALSE(MainDialogModel::IsAcceptableSizeText("12a"));
  EXPECT_FALSE(MainDialogModel::IsAcceptableSizeText(" 1"));
  EXPECT_FALSE(MainDialogModel::IsAcceptableSizeText("-1"));
  EXPECT_FALSE(MainDialogModel::IsAcceptableSizeText("1.5"));
}

TEST_F(MainDialogModelTest, LanguageSwitchRenewsCaptionsAndLabels) {
  SelectTarget(dir_.String());
  model_.OnEnglish();
  EXPECT_EQ(g_language, 1);
  EXPECT_TRUE(model_.EnglishChecked());
  EXPECT_EQ(model_.Caption(main_ids::kSelectTarget), "Select target");
  EXPECT_EQ(model_.Caption(main_ids::kRefresh), "Refresh");
  EXPECT_EQ(model_.Caption(main_ids::kWriteVerify), "Write + Verify");
  EXPECT_EQ(model_.Caption(main_ids::kVerify), "Verify");
  EXPECT_EQ(model_.Caption(main_ids::kTargetGroup), "Target");
  EXPECT_EQ(model_.Caption(main_ids::kSizeGroup), "Data volume");
  EXPECT_EQ(model_.Caption(main_ids::kAllSpace), "all available space (1000 MByte)");
  EXPECT_EQ(model_.Caption(main_ids::kOnly), "only");
  EXPECT_EQ(model_.Caption(main_ids::kEndless), "endless verify");
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "No existing test data.");
  // Resource texts that stay.
  EXPECT_EQ(model_.Caption(main_ids::kMByteLabel), "MByte");
  EXPECT_EQ(model_.Caption(main_ids::kGerman), "Deutsch");
  EXPECT_EQ(model_.Caption(main_ids::kEnglish), "English");

  model_.OnGerman();
  EXPECT_EQ(g_language, 0);
  EXPECT_EQ(model_.Caption(main_ids::kSelectTarget), "Ziel wählen");
  EXPECT_EQ(model_.Caption(main_ids::kAllSpace), "gesamter freier Platz (1000 MByte)");
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Keine Testdaten vorhanden.");
}

TEST_F(MainDialogModelTest, LanguageSwitchWithoutTargetKeepsThePlainAllSpaceCaption) {
  model_.SetLanguage(1);
  EXPECT_EQ(model_.Caption(main_ids::kAllSpace), "all available space");
  EXPECT_EQ(model_.Caption(main_ids::kTargetLabel), "(none selected)");
  EXPECT_EQ(Enabled(), kAllOff);
}

TEST(MainDialogModelCaptions, TableOrder) {
  const int expected[] = {1002, 1019, 1006, 1007, 1024, 1025, 1000, 1001, 1008};
  ASSERT_EQ(std::size(kLanguageCaptions), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(kLanguageCaptions[i].id, expected[i]);
}

TEST_F(MainDialogModelTest, WriteRefusedWhenTestDataAppeared) {
  SelectTarget(dir_.String());
  MakeSparseFile(dir_ / "1.kvx", 2 * kMiB);
  model_.OnWriteVerify(host_);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "Schreiben nicht möglich, weil Dateien existieren.");
  EXPECT_EQ(host_.messages[0].icon, MessageIcon::kError);
  EXPECT_EQ(host_.progress_runs, 0);
  // Refreshed after the message.
  EXPECT_EQ(Enabled(), kVerifyOnly);
}

TEST_F(MainDialogModelTest, VerifyRefusedWhenFilesBecameIrregular) {
  MakeSparseFile(dir_ / "1.kvx", 2 * kMiB);
  SelectTarget(dir_.String());
  ASSERT_EQ(Enabled(), kVerifyOnly);
  MakeSparseFile(dir_ / "1.kvx", 2 * kMiB + 100);
  model_.OnVerify(host_);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text,
            "Prüfen nicht möglich, weil Testdatei(en) falsche Länge(n) hat/haben.");
  EXPECT_EQ(host_.messages[0].icon, MessageIcon::kError);
  EXPECT_EQ(host_.progress_runs, 0);
  EXPECT_EQ(Enabled(), kRefreshOnly);
}

TEST_F(MainDialogModelTest, ZeroSizeIsRefusedWithoutRefresh) {
  SelectTarget(dir_.String());
  model_.OnOnlyClicked();
  MakeSparseFile(dir_ / "notes.kvx", 1);  // unseen until the next refresh
  model_.OnWriteVerify(host_);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "Datenmenge darf nicht 0 sein!");
  EXPECT_EQ(host_.messages[0].icon, MessageIcon::kError);
  EXPECT_EQ(host_.progress_runs, 0);
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "Keine Testdaten vorhanden.");

  ScopedLanguage english(1);
  model_.OnWriteVerify(host_);
  EXPECT_EQ(host_.messages.back().text, "Data volume must not be zero!");
}

TEST_F(MainDialogModelTest, TooLargeSizeIsRefusedAndReplacedByTheFreeSpace) {
  platform_.SetVolume(4000, 4100);
  SelectTarget(dir_.String());
  model_.OnSizeTextChanged("5000");
  model_.OnWriteVerify(host_);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text,
            "Nicht genügend Speicherplatz für die angeforderte Datenmenge!");
  EXPECT_EQ(host_.progress_runs, 0);
  EXPECT_EQ(model_.SizeText(), "4000");
  EXPECT_TRUE(model_.OnlyChecked());
}

TEST_F(MainDialogModelTest, CapacityWarningThenTheRunStarts) {
  platform_.SetVolume(7600, 7632);
  SelectTarget(dir_.String());
  model_.OnEndlessClicked(true);
  bool configured = false;
  host_.during_progress = [&] {
    configured = engine_.m_doWrite && engine_.m_doVerify && engine_.m_endlessVerify &&
                 engine_.SizeMB() == 0;
  };
  model_.OnWriteVerify(host_);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(host_.messages[0].text,
            "Achtung: Es werden nur 7600 MByte getestet, der Datenträger hat aber eine "
            "Gesamtkapazität von 7632 MByte. Dadurch werden unter Umständen nicht alle Fehler "
            "gefunden. Für zuverlässige Ergebnisse testen Sie bitte nur frisch formatierte "
            "Datenträger. (Auf NTFS-Laufwerken ist ein kleiner Teil der Kapazität reserviert "
            "und diese Meldung daher normal.)");
  EXPECT_EQ(host_.progress_runs, 1);
  EXPECT_TRUE(configured);
}

TEST_F(MainDialogModelTest, NoWarningWhenTheWholeMediumIsTested) {
  platform_.SetVolume(7632, 7632);
  SelectTarget(dir_.String());
  model_.OnWriteVerify(host_);
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(host_.progress_runs, 1);
}

TEST_F(MainDialogModelTest, OnlyRunWithWarningInEnglish) {
  SelectTarget(dir_.String());
  model_.SetLanguage(1);
  model_.OnSizeTextChanged("3");
  uint64_t size = 0;
  host_.during_progress = [&] { size = engine_.SizeMB(); };
  model_.OnWriteVerify(host_);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text.rfind("Attention: Testing only 3 MByte while the total "
                                         "capacity is 1000 MByte.",
                                         0),
            0u);
  EXPECT_EQ(size, 3u);
}

TEST_F(MainDialogModelTest, VerifyTakesTheScannedSizeWithoutWarning) {
  MakeSparseFile(dir_ / "1.kvx", kGiB);
  MakeSparseFile(dir_ / "2.kvx", kGiB);
  MakeSparseFile(dir_ / "3.kvx", 952 * kMiB);
  SelectTarget(dir_.String());
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "3000 MByte Testdaten vorhanden.");
  bool configured = false;
  host_.during_progress = [&] {
    configured = !engine_.m_doWrite && engine_.m_doVerify && !engine_.m_endlessVerify &&
                 engine_.SizeMB() == 3000;
  };
  model_.OnVerify(host_);
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(host_.progress_runs, 1);
  EXPECT_TRUE(configured);
}

TEST_F(MainDialogModelTest, TheEndOfARunRefreshesTheTarget) {
  SelectTarget(dir_.String());
  model_.OnSizeTextChanged("2");
  // What a run leaves behind.
  host_.during_progress = [&] { MakeSparseFile(dir_ / "1.kvx", 2 * kMiB); };
  model_.OnWriteVerify(host_);
  EXPECT_EQ(host_.progress_runs, 1);
  EXPECT_EQ(model_.Caption(main_ids::kTestDataLine), "2 MByte Testdaten vorhanden.");
  EXPECT_EQ(Enabled(), kVerifyOnly);
  // The user's entries survive the run.
  EXPECT_EQ(model_.SizeText(), "2");
  EXPECT_TRUE(model_.OnlyChecked());
}

}  // namespace
}  // namespace kalvex
