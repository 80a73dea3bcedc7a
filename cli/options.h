// Command line of kalvex-cli: three subcommands over one target folder.
//
//   kalvex-cli test   TARGET [--size MBYTE] [--endless] [--lang en|de] [--json FILE]
//   kalvex-cli verify TARGET [--endless] [--lang en|de] [--json FILE]
//   kalvex-cli scan   TARGET [--lang en|de]
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kalvex::cli {

enum class Command { kTest, kVerify, kScan };

struct Options {
  Command command = Command::kScan;
  std::string target;
  // The --size text as given (digits only); none means all free space.
  std::optional<std::string> size_text;
  bool endless = false;
  int language = 1;  // the value for kalvex::g_language
  // --json destination; "-" is standard output.
  std::optional<std::string> json_path;
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
