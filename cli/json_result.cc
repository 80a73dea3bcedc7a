#include "cli/json_result.h"

#include <cstdio>

#include "cli/exit_codes.h"

namespace kalvex::cli {

namespace {

std::string Hex64(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

nlohmann::ordered_json TextOrNull(const std::string& text) {
  if (text.empty()) return nullptr;
  return ToLf(text);
}

// One pass's figures. The seconds run from the pass's start to its last
// block, as the report's speed lines measure them.
nlohmann::ordered_json PassJson(bool started, uint64_t mbytes, int64_t start, int64_t last,
                                int64_t frequency) {
  if (!started) return nullptr;
  const uint64_t span = static_cast<uint64_t>(last) - static_cast<uint64_t>(start);
  const double seconds =
      frequency > 0 ? static_cast<double>(span) / static_cast<double>(frequency) : 0.0;
  // No measurable time: the report shows the zero rate, and so does this.
  const double rate = seconds > 0.0 ? static_cast<double>(mbytes) / seconds : 0.0;
  return nlohmann::ordered_json{{"mbyte", mbytes}, {"seconds", seconds}, {"mbyte_per_s", rate}};
}

}  // namespace

Outcome ClassifyOutcome(const RunStatus& status, const std::string& error_text,
                        bool abort_requested) {
  if (status.m_firstError.taken) return Outcome::kFaulty;
  if (!error_text.empty()) return Outcome::kError;
  if (abort_requested || status.m_abort) return Outcome::kAborted;
  return Outcome::kOk;
}

int ExitCodeFor(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk:
      return kExitOk;
    case Outcome::kFaulty:
      return kExitFaulty;
    case Outcome::kError:
      return kExitError;
    case Outcome::kAborted:
      return kExitAborted;
  }
  return kExitError;
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk:
      return "ok";
    case Outcome::kFaulty:
      return "faulty";
    case Outcome::kError:
      return "error";
    case Outcome::kAborted:
      return "aborted";
  }
  return "error";
}

std::string ToLf(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      result += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      result += '\n';
    }
  }
  return result;
}

nlohmann::ordered_json BuildResultJson(const RunResult& result) {
  const RunStatus& s = result.status;
  nlohmann::ordered_json first_error = nullptr;
  if (s.m_firstError.taken) {
    first_error = nlohmann::ordered_json{{"offset", s.m_firstError.offset},
                                         {"expected", Hex64(s.m_firstError.expected)},
                                         {"found", Hex64(s.m_firstError.found)}};
  }
  return nlohmann::ordered_json{
      {"outcome", OutcomeName(result.outcome)},
      {"size_mbyte", result.size_mb},
      {"verify_passes", result.verify_passes},
      {"sectors",
       {{"ok", s.m_okSectors},
        {"overwritten", s.m_overwrittenSectors},
        {"slightly_changed", s.m_changedSectors},
        {"corrupted", s.m_corruptedSectors},
        {"aliased", s.m_aliasedCount}}},
      {"first_error", first_error},
      {"error", TextOrNull(result.error_text)},
      {"warning", TextOrNull(result.warning_text)},
      {"write",
       PassJson(s.m_writeStarted, s.m_mbWritten, s.m_writeStart, s.m_writeLast, s.m_frequency)},
      {"verify",
       PassJson(s.m_verifyStarted, s.m_mbVerified, s.m_verifyStart, s.m_verifyLast, s.m_frequency)},
  };
}

}  // namespace kalvex::cli
