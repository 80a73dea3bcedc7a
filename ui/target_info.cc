#include "ui/target_info.h"

#include "engine/messages.h"
#include "engine/text_format.h"

namespace kalvex {

namespace {

constexpr size_t kLineChars = 63;  // the dialog formats these into 64 characters

constexpr TextPair kNoneSelected = {"(none selected)", "(keines gewählt)"};
constexpr TextPair kAllSpace = {"all available space", "gesamter freier Platz"};
constexpr TextPair kAllSpaceWithFigure = {"all available space (%llu MByte)",
                                          "gesamter freier Platz (%llu MByte)"};
constexpr TextPair kExistingData = {"Existing test data: %llu MByte.",
                                    "%llu MByte Testdaten vorhanden."};

}  // namespace

TargetInfo ReadTargetInfo(CTestEngine& engine) {
  TargetInfo info;
  if (!engine.HasTarget()) {
    info.target_label = kNoneSelected.Get();
    return info;
  }
  info.target_label = engine.TargetPath();
  info.refresh_enabled = true;

  info.free_mb = engine.GetFreeSpaceMB();
  if (info.free_mb == kAllOnes) {
    info.state = TargetState::kAccessError;
    info.all_space_caption = kAllSpace.Get();
    info.test_data_line = target_texts::kAccessError.Get();
    return info;
  }
  info.all_space_caption = FormatText(kLineChars, kAllSpaceWithFigure.Get(),
                                      static_cast<unsigned long long>(info.free_mb));

  const uint64_t found = engine.ScanTestData();
  info.test_data_mb = found;
  if (found != 0 && found != kIrregularTestFiles) {
    info.state = TargetState::kTestData;
    info.test_data_line =
        FormatText(kLineChars, kExistingData.Get(), static_cast<unsigned long long>(found));
    info.verify_enabled = true;
  } else if (found == 0 && !engine.TestFilesPresent()) {
    info.state = TargetState::kClean;
    info.test_data_line = target_texts::kNoData.Get();
    info.write_controls_enabled = true;
  } else {
    // Test files a write pass cannot have left, or stray "*.kvx" entries:
    // the user has to clear them away before any run.
    info.state = TargetState::kDeleteFiles;
    info.test_data_line = target_texts::kDeleteFiles.Get();
  }
  return info;
}

}  // namespace kalvex
