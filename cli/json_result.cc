#include "cli/json_result.h"

#include <cstdio>
#include <ctime>

#include "cli/exit_codes.h"
#include "engine/text_format.h"
#include "kalvex_version.h"

namespace kalvex::cli {

namespace {

std::string Hex64(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", Ull(value));
  return text;
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

// The fields of the error that apply to its kind.
nlohmann::ordered_json ErrorDetail(const RunError& error) {
  if (!error) return nullptr;
  nlohmann::ordered_json detail{{"kind", ErrorKindName(error.kind)}};
  if (!error.path.empty()) detail["path"] = error.path;
  switch (error.kind) {
    case ErrorKind::kWrite:
    case ErrorKind::kRead:
      detail["offset"] = error.offset;
      break;
    case ErrorKind::kMediumFull:
    case ErrorKind::kAmountMismatch:
      detail["expected_mbyte"] = error.expected_mb;
      detail["found_mbyte"] = error.found_mb;
      break;
    default:
      break;
  }
  if (error.has_code) {
    detail["system_code"] = error.code;
    detail["system_text"] = PlainText(error.system_text);
  }
  return detail;
}

// How the reads reached the medium; null when nothing was read.
nlohmann::ordered_json CacheBypassName(bool verified, CacheBypass bypass) {
  if (!verified) return nullptr;
  switch (bypass) {
    case CacheBypass::kDirect:
      return "direct";
    case CacheBypass::kFlushed:
      return "flushed";
    case CacheBypass::kNotGuaranteed:
      return "not_guaranteed";
  }
  return "not_guaranteed";
}

nlohmann::ordered_json SectorsJson(const RunStatus& s) {
  return nlohmann::ordered_json{{"ok", s.m_okSectors},
                                {"overwritten", s.m_overwrittenSectors},
                                {"slightly_changed", s.m_changedSectors},
                                {"corrupted", s.m_corruptedSectors},
                                {"aliased", s.m_aliasedCount}};
}

nlohmann::ordered_json FirstErrorJson(const FirstError& first) {
  if (!first.taken) return nullptr;
  return nlohmann::ordered_json{
      {"offset", first.offset}, {"expected", Hex64(first.expected)}, {"found", Hex64(first.found)}};
}

nlohmann::ordered_json ContextJson(const RunContext& context) {
  return nlohmann::ordered_json{
      {"schema_version", kSchemaVersion},  {"program_version", kVersion},
      {"command", context.command},        {"target", context.target},
      {"started_at", context.started_at},  {"finished_at", context.finished_at},
  };
}

}  // namespace

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
    case Outcome::kUnconfirmed:
      return kExitUnconfirmed;
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
    case Outcome::kUnconfirmed:
      return "unconfirmed";
  }
  return "error";
}

std::string IsoUtc(std::chrono::system_clock::time_point moment) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm utc = {};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

RunResult ResultOf(const RunSession& session, const RunContext& context) {
  RunResult result;
  result.context = context;
  result.passes = session.VerifyHistory();
  result.verdict = session.GetVerdict();
  result.profile = session.Profile();
  result.outcome = session.GetOutcome();
  result.size_mb = session.FinalSizeMB();
  result.verify_passes = session.FinalStatus().m_verifyPasses;
  result.status = session.FinalStatus();
  result.error_text = session.ErrorText();
  result.error = session.Error();
  result.warning_text = session.FinalWarningText();
  return result;
}

nlohmann::ordered_json PlainText(const std::string& text) {
  std::string plain = ToLf(text);
  while (!plain.empty() && plain.back() == '\n') plain.pop_back();
  if (plain.empty()) return nullptr;
  return plain;
}

nlohmann::ordered_json BuildResultJson(const RunResult& result) {
  const RunStatus& s = result.status;
  nlohmann::ordered_json passes = nlohmann::ordered_json::array();
  for (const RunStatus& pass : result.passes) {
    passes.push_back(nlohmann::ordered_json{
        {"pass", pass.m_verifyPasses},
        {"verify", PassJson(true, pass.m_mbVerified, pass.m_verifyStart, pass.m_verifyLast,
                            pass.m_frequency)},
        {"sectors", SectorsJson(pass)},
        {"first_error", FirstErrorJson(pass.m_firstError)},
        {"cache_bypass", CacheBypassName(true, pass.m_cacheBypass)},
    });
  }
  nlohmann::ordered_json json = ContextJson(result.context);
  json.update(nlohmann::ordered_json{
      {"outcome", OutcomeName(result.outcome)},
      {"verdict", VerdictName(result.verdict.kind)},
      {"intact_mbyte", result.verdict.intact_bytes / kBlockSize},
      {"size_mbyte", result.size_mb},
      {"verify_passes", result.verify_passes},
      {"sectors", SectorsJson(s)},
      {"first_error", FirstErrorJson(s.m_firstError)},
      {"error", PlainText(result.error_text)},
      {"error_detail", ErrorDetail(result.error)},
      {"warning", PlainText(result.warning_text)},
      {"cache_bypass", CacheBypassName(s.m_verifyStarted, s.m_cacheBypass)},
      {"write",
       PassJson(s.m_writeStarted, s.m_mbWritten, s.m_writeStart, s.m_writeLast, s.m_frequency)},
      {"verify",
       PassJson(s.m_verifyStarted, s.m_mbVerified, s.m_verifyStart, s.m_verifyLast, s.m_frequency)},
      {"passes", passes},
      {"profile",
       {{"step_mbyte", result.profile.step_mb},
        {"write_mbyte_per_s", result.profile.WriteRates()},
        {"verify_mbyte_per_s", result.profile.VerifyRates()}}},
  });
  return json;
}

nlohmann::ordered_json BuildRefusalJson(const RunContext& context, const std::string& message) {
  nlohmann::ordered_json json = ContextJson(context);
  json["outcome"] = "refused";
  json["error"] = PlainText(message);
  return json;
}

std::string DumpJson(const nlohmann::ordered_json& json) {
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace kalvex::cli
