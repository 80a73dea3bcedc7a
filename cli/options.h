// Command line of kalvex-cli: subcommands over one target folder.
//
//   kalvex-cli test   TARGET [--size MBYTE] [--endless] [--lang en|de] [--json FILE]
//                            [--quiet] [--progress]
//   kalvex-cli verify TARGET [--endless] [--lang en|de] [--json FILE] [--quiet] [--progress]
//   kalvex-cli scan   TARGET [--lang en|de]
//   kalvex-cli clean  TARGET [--all] [--yes] [--lang en|de]
//   kalvex-cli list   [--all] [--json FILE] [--lang en|de]
//   kalvex-cli probe  DEVICE [--yes] [--backup FILE] [--json FILE] [--lang en|de]
//   kalvex-cli probe  --restore BACKUP [DEVICE] [--lang en|de]
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kalvex::cli {

enum class Command { kTest, kVerify, kScan, kClean, kList, kProbe };

// The subcommands, as typed.
inline constexpr const char* kCommandNames[] = {"test", "verify", "scan", "clean", "list",
                                                 "probe"};

// The subcommand closest to a mistyped one (at most two edits away), or
// none.
std::optional<std::string> NearestCommand(const std::string& typed);

struct Options {
  Command command = Command::kScan;
  std::string target;  // scan, clean and probe (the device); the first of targets for the runs
  // test and verify: every target named, tested side by side.
  std::vector<std::string> targets;
  // The --size text as given (digits only); none means all free space.
  std::optional<std::string> size_text;
  bool endless = false;
  int language = 1;  // the value for kalvex::g_language
  // --json destination; "-" is standard output.
  std::optional<std::string> json_path;
  std::optional<std::string> chart_path;  // --chart: the speed chart as SVG
  bool quiet = false;     // the report only: no warnings, notes or progress
  bool progress = false;  // progress lines also when standard error is no terminal
  bool clean_all = false;  // clean: stray "*.kvx" too, not only the numbered sequence
  bool yes = false;        // clean, probe: no question asked
  bool list_all = false;   // list: every mounted device, not only removable ones
  // probe: where the overwritten bytes are saved; none: a file named after
  // the device in the current folder.
  std::optional<std::string> backup_path;
  // probe --restore: the backup file of a probe to finish.
  std::optional<std::string> restore_path;
};

// The language the environment asks for: the first non-empty one of LC_ALL,
// LC_MESSAGES and LANG decides; German for a value starting with "de",
// English otherwise (also when none is set). Null counts as unset.
int LanguageFromLocale(const char* lc_all, const char* lc_messages, const char* lang);
int LanguageFromEnvironment();

// "en" → 1, "de" → 0, anything else none.
std::optional<int> LanguageFromOption(const std::string& value);

struct ParseResult {
  std::optional<Options> options;  // none: stop with exit_code
  int exit_code = 0;
  std::string out_text;  // help text, for standard output
  std::string err_text;  // error message, for standard error
};

// Parses argv. The language starts at default_language and follows --lang;
// kalvex::g_language is set as parsing goes on, so that the parser's own
// messages already use the chosen language.
ParseResult ParseCommandLine(const std::vector<std::string>& args, int default_language);

}  // namespace kalvex::cli
