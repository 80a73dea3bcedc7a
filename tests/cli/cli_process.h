// Runs the kalvex-cli binary as a child process with a controlled locale, its
// output captured, for the end-to-end tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "tests/support/support.h"

namespace kalvex::cli::testing {

using namespace kalvex::testing;

struct CliRun {
  int exit_code = -1;  // -1: did not exit normally
  std::string out;
  std::string err;
};

struct ProcessOptions {
  // Of LC_ALL, LC_MESSAGES and LANG the child has only those named here.
  std::map<std::string, std::string> locale;
  // Standard error goes to a pseudo terminal of this many columns instead of
  // a file; 0 means a file.
  unsigned short terminal_columns = 0;
  // Largest file the child may write (RLIMIT_FSIZE); 0: no limit. Writing
  // past it fails with EFBIG, as a full or broken medium would fail.
  unsigned long long file_size_limit = 0;
};

class CliProcess {
 public:
  // Starts the binary with args (without the program name).
  explicit CliProcess(const std::vector<std::string>& args, const ProcessOptions& options = {});
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  void Signal(int signal_number) const;
  // Waits for the end and collects the output. A child still running after
  // the limit is killed and reported as not exited (-1), so a run that
  // ignores its stop request fails the test instead of hanging it.
  CliRun Wait(std::chrono::seconds limit = std::chrono::minutes(10));

 private:
  void DrainTerminal(int timeout_ms);

  pid_t m_pid = -1;
  TempDir m_outputDir;
  int m_terminal = -1;  // master side of the pseudo terminal, if any
  std::string m_terminalText;
  bool m_waited = false;
};

// Runs the binary to its end.
CliRun RunCli(const std::vector<std::string>& args, const ProcessOptions& options = {});

// Checks that text holds every piece of `in` and none of `out`.
void ExpectHas(const std::string& text, std::initializer_list<std::string> in,
               std::initializer_list<std::string> out = {});

}  // namespace kalvex::cli::testing
