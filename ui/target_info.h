// What a target folder allows, as the main window shows it: the target
// label, the all-space caption with its MByte figure, the test-data line and
// which actions are possible. Shared by every front end.
#pragma once

#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "engine/messages.h"

namespace kalvex {

// The test-data line's texts that also say why a run cannot start.
namespace target_texts {
constexpr TextPair kAccessError = {"Error accessing the target.",
                                   "Fehler beim Zugriff auf das Ziel."};
constexpr TextPair kNoData = {"No existing test data.", "Keine Testdaten vorhanden."};
constexpr TextPair kDeleteFiles = {"Please delete files *.kvx.", "Dateien *.kvx bitte löschen."};
}  // namespace target_texts

enum class TargetState {
  kNoTarget,     // nothing chosen
  kAccessError,  // the volume cannot be queried
  kClean,        // no test file at all: writing possible
  kTestData,     // regular numbered test data: verifying possible
  kDeleteFiles,  // irregular or stray "*.kvx" files: neither
};

struct TargetInfo {
  TargetState state = TargetState::kNoTarget;
  std::string target_label;       // the path, or "(none selected)"
  // Caption of the all-space radio button; empty when it stays untouched
  // (no target).
  std::string all_space_caption;
  std::string test_data_line;     // empty when no target
  bool refresh_enabled = false;
  // Write + Verify, both volume radio buttons, the edit field, "MByte" label.
  bool write_controls_enabled = false;
  bool verify_enabled = false;
  uint64_t free_mb = kAllOnes;    // kAllOnes when unknown
  uint64_t test_data_mb = 0;      // ScanTestData's result (0 when not asked)
};

// Re-reads the target of engine (free space, test-file scan) in the current
// language.
TargetInfo ReadTargetInfo(CTestEngine& engine);

}  // namespace kalvex
