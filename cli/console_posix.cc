#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include "cli/console.h"

namespace kalvex::cli {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::ostream& ConsoleOut() { return std::cout; }
std::ostream& ConsoleErr() { return std::cerr; }

bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

size_t StderrColumns() {
  struct winsize size = {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

// The locale variables are all there is; without them, English.
int SystemLanguage() { return 1; }

}  // namespace kalvex::cli
