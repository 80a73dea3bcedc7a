// kalvex-cli: the terminal front end of the Kalvex storage-medium tester.
#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/run.h"

namespace {

size_t StderrColumns() {
  struct winsize size = {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  const kalvex::cli::ParseResult parsed =
      kalvex::cli::ParseCommandLine(args, kalvex::cli::LanguageFromEnvironment());
  if (!parsed.options) {
    std::cout << parsed.out_text << std::flush;
    std::cerr << parsed.err_text << std::flush;
    return parsed.exit_code;
  }

  kalvex::cli::Console console{std::cout, std::cerr, isatty(STDERR_FILENO) == 1, StderrColumns,
                               &std::cin, isatty(STDIN_FILENO) == 1};
  return kalvex::cli::RunCommand(*parsed.options, console);
}
