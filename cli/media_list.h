// kalvex-cli list: where the media are mounted, so a user finds the folder
// of a stick without knowing the system's tools.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/run.h"
#include "platform/media.h"

namespace kalvex::cli {

// The table: a header and one line per medium, columns aligned.
std::string MediaTable(const std::vector<MountedMedium>& media);
nlohmann::ordered_json MediaJson(const std::vector<MountedMedium>& media);

int RunList(const Options& options, Console& console);

}  // namespace kalvex::cli
