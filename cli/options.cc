#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "engine/language.h"
#include "kalvex_version.h"
#include "ui/start_decision.h"

namespace kalvex::cli {

namespace {

constexpr const char* kExitFooter =
    "Exit status:\n"
    "  0    no fault found (scan: the target could be read)\n"
    "  1    faulty sectors found; this wins over 2 and 130, since the medium is\n"
    "       known to be defective even if the run did not end normally\n"
    "  2    the run ended on an error (file could not be created, written or read,\n"
    "       medium full too early, ...) or the result file could not be written\n"
    "  3    refused before starting: bad input, existing test files, zero size,\n"
    "       not enough space, target missing, not a folder or unusable\n"
    "  4    no fault found, but the data read back may have come from a cache\n"
    "       rather than from the medium (emptying it needs administrator rights):\n"
    "       unplug and reconnect the medium, then verify again\n"
    "  130  aborted by Ctrl-C (SIGINT) or SIGTERM before any fault was found\n"
    "\n"
    "The report goes to standard output; messages, warnings and, on a terminal,\n"
    "the live progress line go to standard error.\n"
    "The language follows --lang, else LC_ALL, LC_MESSAGES, LANG (first one set):\n"
    "German for values starting with \"de\", English otherwise.\n";

#ifdef _WIN32
constexpr bool kHasBlockDevices = false;
#else
constexpr bool kHasBlockDevices = true;
#endif

constexpr const char* kProbeExitFooter =
    "Exit status of probe:\n"
    "  0    genuine: the device keeps what it is given up to its claimed size\n"
    "  1    fake capacity or failing: beyond some point it wraps, loses or refuses\n"
    "       data (the real capacity is in the report)\n"
    "  2    error: the device stopped answering, the backup or the result file could\n"
    "       not be written, or the original data could not all be put back (the\n"
    "       backup file is then kept: probe --restore BACKUP)\n"
    "  3    refused: not root, not a whole block device, mounted or in use, the\n"
    "       system's own disk, a backup file already there, or not confirmed\n"
    "  130  aborted by Ctrl-C (SIGINT) or SIGTERM; the original data was put back\n"
    "\n"
    "The probe needs root. It saves every block it is about to overwrite in the\n"
    "backup file (on another device), and puts them back at the end, also after\n"
    "an error or Ctrl-C; the file is removed once the data reads back as it was.\n"
    "After a crash or a pulled device: kalvex-cli probe --restore BACKUP.\n";

constexpr const char* kJsonHelp =
    "Write the result as JSON to FILE (\"-\": standard output; the report then goes "
    "to standard error). Written only when a run took place.";

// The --lang option of a subcommand. Its callback sets the language at once:
// options are processed in the order they are declared, so every option
// declared after it reports its errors in the language asked for.
void AddLanguageOption(CLI::App* sub, int* language) {
  sub->add_option_function<std::string>(
         "--lang",
         [language](const std::string& value) {
           // The check below has already rejected anything else.
           *language = LanguageFromOption(value).value_or(*language);
           g_language = *language;
         },
         "User interface language: en or de")
      ->check(CLI::IsMember({"en", "de"}))
      ->type_name("LANG");
}

CLI::Validator DigitsOnly() {
  return CLI::Validator(
      [](std::string& text) { return IsDigitsOnly(text) ? std::string() : SizeNotDigitsText(); },
      "", "DIGITS");
}

}  // namespace

int LanguageFromLocale(const char* lc_all, const char* lc_messages, const char* lang) {
  for (const char* value : {lc_all, lc_messages, lang}) {
    if (value == nullptr || value[0] == '\0') continue;
    return (value[0] == 'd' && value[1] == 'e') ? 0 : 1;
  }
  return 1;
}

int LanguageFromEnvironment() {
  const char* lc_all = std::getenv("LC_ALL");
  const char* lc_messages = std::getenv("LC_MESSAGES");
  const char* lang = std::getenv("LANG");
  for (const char* value : {lc_all, lc_messages, lang}) {
    if (value != nullptr && value[0] != '\0') return LanguageFromLocale(lc_all, lc_messages, lang);
  }
  return SystemLanguage();
}

std::optional<int> LanguageFromOption(const std::string& value) {
  if (value == "en") return 1;
  if (value == "de") return 0;
  return std::nullopt;
}

std::optional<std::string> NearestCommand(const std::string& typed) {
  // Edit distance (Levenshtein), small strings only.
  auto distance = [](const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
      size_t diagonal = row[0];
      row[0] = i;
      for (size_t j = 1; j <= b.size(); ++j) {
        const size_t above = row[j];
        row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
        diagonal = above;
      }
    }
    return row[b.size()];
  };
  std::optional<std::string> nearest;
  size_t best = 3;
  for (const char* name : kCommandNames) {
    const size_t d = distance(typed, name);
    if (d < best) {
      best = d;
      nearest = name;
    }
  }
  return nearest;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args, int default_language) {
  g_language = default_language;

  // A word where the subcommand belongs that is none: say which was meant,
  // before the parser's own, less helpful message.
  if (args.size() > 1 && !args[1].empty() && args[1][0] != '-' &&
      std::find(std::begin(kCommandNames), std::end(kCommandNames), args[1]) ==
          std::end(kCommandNames)) {
    ParseResult unknown;
    unknown.exit_code = kExitRefused;
    unknown.err_text = UnknownCommandText(args[1], NearestCommand(args[1])) + "\n";
    return unknown;
  }

  Options options;
  options.language = default_language;
  std::string size_text;
  std::string json_path;
  std::string chart_text;

  CLI::App app{
      "Kalvex: tests a storage medium by filling a folder with test files "
      "(1.kvx, 2.kvx, ...) and reading them back.",
      "kalvex-cli"};
  app.require_subcommand(1);
  // The options are the same on every system: "/x" is a path, never an
  // option, even where CLI11 would read it as one by default (Windows).
  app.allow_windows_style_options(false);
  app.footer(kExitFooter);
  app.set_version_flag("--version", std::string("kalvex-cli ") + kVersion,
                       "Print the program's version and exit");

  CLI::App* test = app.add_subcommand(
      "test", "Write + Verify: write test files into TARGET, then read them back");
  CLI::App* verify =
      app.add_subcommand("verify", "Verify: read back the test files that TARGET already holds");
  CLI::App* scan = app.add_subcommand("scan", "Show the test data in TARGET and its free space");
  CLI::App* clean = app.add_subcommand(
      "clean", "Remove the test files 1.kvx, 2.kvx, ... that a run left in TARGET");

  CLI::App* list = app.add_subcommand(
      "list", "Show the mounted removable and USB media and the folders they are mounted at");
  list->add_flag("--all", options.list_all, "Every mounted device, not only removable ones");
  list->add_option("--json", json_path, "Write the list as JSON to FILE (\"-\": standard output)")
      ->type_name("FILE");
  AddLanguageOption(list, &options.language);

  std::string backup_path;
  std::string restore_path;
  CLI::App* probe = app.add_subcommand(
      "probe",
      "Quick capacity probe of a whole block device (root): writes test blocks at positions "
      "spread over it, reads them back, finds the real capacity and puts the original data back");
  probe->footer(kProbeExitFooter);
  AddLanguageOption(probe, &options.language);
  probe->add_option("DEVICE", options.target,
                    "The whole device, such as /dev/sdb; with --restore: instead of the device "
                    "named in the backup")
      ->type_name("");
  probe->add_flag("--yes", options.yes, "Probe without asking");
  CLI::Option* backup_option =
      probe
          ->add_option("--backup", backup_path,
                       "Save the data the probe overwrites to FILE (default: "
                       "kalvex-probe-DEVICE.backup in the current folder); not on the device")
          ->type_name("FILE");
  CLI::Option* probe_json =
      probe->add_option("--json", json_path, "Write the result as JSON to FILE (\"-\": standard output)")
          ->type_name("FILE");
  probe
      ->add_option("--restore", restore_path,
                   "Put back the data saved in BACKUP by a probe that could not finish")
      ->type_name("BACKUP")
      ->excludes(backup_option)
      ->excludes(probe_json);

  for (CLI::App* sub : {test, verify, scan, clean}) {
    sub->footer(kExitFooter);
    AddLanguageOption(sub, &options.language);
  }
  for (CLI::App* sub : {scan, clean})
    sub->add_option("TARGET", options.target, "Target folder")->required()->type_name("");
  for (CLI::App* sub : {test, verify}) {
    sub->add_option("TARGET", options.targets,
                    "Target folder; several are tested side by side, each with its own report")
        ->required()
        ->type_name("");
  }
  test->add_option("--size", size_text, "Data volume in MByte (default: all available space)")
      ->check(DigitsOnly())
      ->type_name("MBYTE");
  for (CLI::App* sub : {test, verify}) {
    sub->add_flag("--endless", options.endless,
                  "Repeat the verify pass until a fault is found or the run is stopped");
    sub->add_option("--json", json_path, kJsonHelp)->type_name("FILE");
    sub->add_option("--chart", chart_text,
                    "Write the speed over the position in the test data as an SVG chart")
        ->type_name("FILE.svg");
    sub->add_flag("--quiet", options.quiet,
                  "Print the report only: no warnings, notes or progress on standard error");
    sub->add_flag("--progress", options.progress,
                  "Print a progress line every 10 s even when standard error is no terminal "
                  "(for logs)");
  }
  clean->add_flag("--all", options.clean_all,
                  "Also remove other files named *.kvx, not only the numbered test files");
  clean->add_flag("--yes", options.yes, "Remove without asking");

  std::vector<const char*> argv;
  argv.reserve(args.size());
  for (const std::string& arg : args) argv.push_back(arg.c_str());

  ParseResult result;
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& error) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = app.exit(error, out, err);
    result.out_text = out.str();
    result.err_text = err.str();
    // Help is a success; every other parse failure is bad input, which the
    // program reports like any other refusal before a run.
    result.exit_code = code == 0 ? kExitOk : kExitRefused;
    return result;
  }

  if (test->parsed()) {
    options.command = Command::kTest;
    if (test->count("--size") > 0) options.size_text = size_text;
  } else if (verify->parsed()) {
    options.command = Command::kVerify;
  } else if (clean->parsed()) {
    options.command = Command::kClean;
  } else if (probe->parsed()) {
    options.command = Command::kProbe;
    if (probe->count("--backup") > 0) options.backup_path = backup_path;
    if (probe->count("--restore") > 0) options.restore_path = restore_path;
    if (probe->count("--json") > 0) options.json_path = json_path;
    // Windows has no block devices to name: the command itself refuses there.
    if (options.target.empty() && !options.restore_path && kHasBlockDevices) {
      result.exit_code = kExitRefused;
      result.err_text = "kalvex-cli: " + ProbeDeviceMissingText() + "\n";
      return result;
    }
  } else if (list->parsed()) {
    options.command = Command::kList;
    if (list->count("--json") > 0) options.json_path = json_path;
  } else {
    options.command = Command::kScan;
  }
  if (!options.targets.empty()) options.target = options.targets.front();
  const CLI::App* run = test->parsed() ? test : verify;
  if ((test->parsed() || verify->parsed()) && run->count("--json") > 0)
    options.json_path = json_path;
  if ((test->parsed() || verify->parsed()) && run->count("--chart") > 0)
    options.chart_path = chart_text;
  g_language = options.language;
  result.options = options;
  return result;
}

}  // namespace kalvex::cli
