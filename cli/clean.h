// kalvex-cli clean: removing the test files that runs left, after showing
// them and, unless told otherwise, asking.
#pragma once

#include "cli/options.h"
#include "cli/run.h"
#include "engine/engine.h"

namespace kalvex::cli {

int RunClean(CTestEngine& engine, const Options& options, Console& console);

}  // namespace kalvex::cli
