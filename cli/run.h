// The three commands of kalvex-cli over the engine: scan a target, and the
// "Write + Verify" and "Verify" runs with the main window's decisions, the
// progress window's live figures and the report box's final text.
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "cli/options.h"
#include "engine/engine.h"

namespace kalvex::cli {

struct Console {
  std::ostream& out;  // results: scan lines, the report, JSON for "--json -"
  std::ostream& err;  // messages, warnings, notes and the live line
  // Live progress only goes to a terminal; anywhere else only the end counts.
  bool err_is_terminal = false;
  // Width of that terminal in characters; 0 when unknown.
  std::function<size_t()> err_columns;
  // Where a question is answered (clean without --yes); none, or not a
  // terminal: no question is asked.
  std::istream* in = nullptr;
  bool in_is_terminal = false;
};

// A message on a line of its own: the engine's "\r\n" ends become "\n",
// and it ends with exactly one line break.
void PrintLine(std::ostream& stream, const std::string& text);
// An error on standard error, named by the program as terminal tools do:
// "kalvex-cli: ...".
void PrintError(Console& console, const std::string& text);

// Runs the command that options name, with an engine of its own for every
// target over platform, and returns the exit status. g_language must
// already hold options.language.
int RunCommand(const Options& options, Console& console, Platform& platform = SystemPlatform());

}  // namespace kalvex::cli
