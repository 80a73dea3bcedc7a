// The one-line live display on a terminal: the progress window's figures of
// the pass under way, squeezed into a line that is redrawn in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/types.h"
#include "report/progress.h"

namespace kalvex::cli {

// "[#####.....]  50% Verifying (pass 2): 12 MByte, 12 s (12 s remaining),
// 1.00 MByte/s". The pass shown is the verify pass once it has begun, else
// the write pass; before either, only the bar and "Starting". The pass number
// is shown when verify_pass is not 0.
std::string BuildProgressLine(const RunStatus& status, const ProgressFigures& figures,
                              uint64_t verify_pass);

// Cuts a line to at most columns characters (not bytes), so that a redraw
// with a carriage return never wraps onto a second terminal line.
std::string FitToWidth(const std::string& line, size_t columns);

}  // namespace kalvex::cli
