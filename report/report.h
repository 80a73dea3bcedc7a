// The result report: the exact text of the report box, built from a status
// copy and the engine's error and warning texts, shared by every front end.
// Lines end in "\r\n" as the report box holds them.
#pragma once

#include <optional>
#include <string>

#include "engine/types.h"

namespace kalvex {

// The text the box holds when a run has found a faulty sector (the full
// report) or has ended on an error (the error form); nullopt while neither
// applies, meaning: leave the box as it is. error is empty while the run goes
// on. Whenever a text is returned, the box is in its error state (red).
std::optional<std::string> UpdateReport(const RunStatus& status, const std::string& error,
                                        const std::string& warning);

// The no-error text: long after a write pass, short otherwise; the warning
// stands first.
std::string NoErrorText(const RunStatus& status, const std::string& warning);

// What the user must know about where the data read back came from: empty
// when the reads went to the medium by themselves (or nothing was read); a
// note when caches had to be emptied first; a warning, with what to do,
// when a cache may still have answered. Lines end in "\r\n".
std::string ReadBackNote(const RunStatus& status);

// Speed lines for the passes that began, then the version line.
std::string SpeedLines(const RunStatus& status);

struct FinalReport {
  std::string text;
  bool error_shown = false;  // full report or error form: red background
};

// The box's text when the run has ended: the no-error text, the full report
// or the error form, followed by the speed lines and the version line.
FinalReport BuildFinalReport(const RunStatus& status, const std::string& error,
                             const std::string& warning);

}  // namespace kalvex
