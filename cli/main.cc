// kalvex-cli: the terminal front end of the Kalvex storage-medium tester.
#include <iostream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "cli/run.h"

int main(int argc, char** argv) {
  using namespace kalvex::cli;
  const std::vector<std::string> args = CommandLineArguments(argc, argv);
  std::ostream& out = ConsoleOut();
  std::ostream& err = ConsoleErr();
  const ParseResult parsed = ParseCommandLine(args, LanguageFromEnvironment());
  if (!parsed.options) {
    out << parsed.out_text << std::flush;
    err << parsed.err_text << std::flush;
    return parsed.exit_code;
  }

  Console console{out, err, StderrIsTerminal(), StderrColumns, &std::cin, StdinIsTerminal()};
  const int status = RunCommand(*parsed.options, console);
  out.flush();
  err.flush();
  return status;
}
