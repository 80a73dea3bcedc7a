// The outcome of a run and its machine-readable form.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/types.h"

namespace kalvex::cli {

enum class Outcome { kOk, kFaulty, kError, kAborted };

// How a finished run ended. Faulty sectors decide first: once the verify pass
// has seen one, the medium is known to be bad, whether the run then went on
// to an error or was stopped. An error text comes next, then the abort
// (asked for through the engine, or seen in the status copy).
Outcome ClassifyOutcome(const RunStatus& status, const std::string& error_text,
                        bool abort_requested);

int ExitCodeFor(Outcome outcome);
const char* OutcomeName(Outcome outcome);

// Line breaks as a terminal and a JSON reader expect them: "\r\n" and a lone
// "\r" both become "\n".
std::string ToLf(const std::string& text);

struct RunResult {
  Outcome outcome = Outcome::kOk;
  uint64_t size_mb = 0;        // the run's data volume after the run
  uint64_t verify_passes = 0;  // verify passes that began
  RunStatus status;            // the last status copy, taken after the end
  std::string error_text;      // empty: none
  std::string warning_text;    // empty: none
};

nlohmann::ordered_json BuildResultJson(const RunResult& result);

}  // namespace kalvex::cli
