// kalvex-cli probe: the quick capacity probe of a whole block device, and
// probe --restore, which finishes one that could not put the data back.
#pragma once

#include "cli/options.h"
#include "cli/run.h"

namespace kalvex::cli {

int RunProbe(const Options& options, Console& console);

}  // namespace kalvex::cli
