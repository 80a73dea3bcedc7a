// The machine-readable result of kalvex-cli: every outcome, a refusal
// included, is one JSON object.
#pragma once

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/run_error.h"
#include "engine/types.h"
#include "report/verdict.h"
#include "ui/run_session.h"

namespace kalvex::cli {

int ExitCodeFor(Outcome outcome);
const char* OutcomeName(Outcome outcome);

// Which run a result belongs to. Times are ISO 8601 in UTC:
// "2026-12-07T23:25:22Z".
struct RunContext {
  std::string command;  // "test" or "verify"
  std::string target;
  std::string started_at;
  std::string finished_at;
};

// The version of the result's layout; it grows when a field changes its
// meaning or goes away, not when one is added.
constexpr int kSchemaVersion = 2;

// A moment as ISO 8601 in UTC, to the second.
std::string IsoUtc(std::chrono::system_clock::time_point moment);

struct RunResult {
  RunContext context;
  Outcome outcome = Outcome::kOk;
  uint64_t size_mb = 0;        // the run's data volume after the run
  uint64_t verify_passes = 0;  // verify passes that began
  RunStatus status;            // the last status copy, taken after the end
  std::string error_text;      // empty: none
  RunError error;              // the error's kind and fields
  std::string warning_text;    // empty: none
  std::vector<RunStatus> passes;  // each verify pass as it ended
  Verdict verdict;
  SpeedProfile profile;
};

// The run's result as the session gives it.
RunResult ResultOf(const RunSession& session, const RunContext& context);

nlohmann::ordered_json BuildResultJson(const RunResult& result);

// The context, "outcome": "refused" and "error": message: nothing was started.
nlohmann::ordered_json BuildRefusalJson(const RunContext& context, const std::string& message);

// Serialises without ever failing: paths are bytes, and bytes that are not
// UTF-8 are written as U+FFFD.
std::string DumpJson(const nlohmann::ordered_json& json);

// A text as a JSON reader wants it: "\n" line ends and no line break at its
// end; null when empty.
nlohmann::ordered_json PlainText(const std::string& text);

}  // namespace kalvex::cli
