// What kalvex-cli needs of the terminal it runs in. One implementation per
// system (console_posix.cc, console_win32.cc); everything else in the
// program is the same everywhere.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace kalvex::cli {

// The command line as UTF-8, whatever the system hands over.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Standard output and error for UTF-8 text. A terminal shows the characters
// (German umlauts included); a pipe or file gets the UTF-8 bytes unchanged.
std::ostream& ConsoleOut();
std::ostream& ConsoleErr();

bool StdinIsTerminal();
bool StderrIsTerminal();
// Width of the terminal on standard error in characters; 0 when unknown.
size_t StderrColumns();

// The user's language (0 German, 1 English) as the system keeps it, for
// when the environment names none.
int SystemLanguage();

}  // namespace kalvex::cli
