// Runs the kalvex-cli binary as a child process with a controlled
// environment, its output captured in files, for end-to-end tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kalvex::cli::testing {

// A fresh folder under the system's temporary directory, removed with all its
// content when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return m_path; }
  std::string str() const { return m_path.string(); }

 private:
  std::filesystem::path m_path;
};

struct CliRun {
  int exit_code = -1;  // -1: did not exit normally
  std::string out;
  std::string err;
};

// Locale variables for the child: every one of LC_ALL, LC_MESSAGES and LANG
// that is not named here is removed from its environment.
using LocaleEnv = std::map<std::string, std::string>;

struct ProcessOptions {
  LocaleEnv locale;
  // Standard error goes to a pseudo terminal of this many columns instead of
  // a file; 0 means a file.
  unsigned short terminal_columns = 0;
  // Largest file the child may write, in bytes (RLIMIT_FSIZE); 0: no limit.
  // Writing past it fails with EFBIG, a write error as a full or broken
  // medium would give one.
  unsigned long long file_size_limit = 0;
};

class CliProcess {
 public:
  // Starts the binary with args (without the program name).
  CliProcess(const std::vector<std::string>& args, const ProcessOptions& options = {});
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  pid_t pid() const { return m_pid; }
  void Signal(int signal_number) const;
  // Waits for the end and collects the output. A child still running after
  // a generous grace period is killed and reported as not exited (-1), so a
  // run that ignores its stop request fails the test instead of hanging it.
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
CliRun RunCli(const std::vector<std::string>& args, const LocaleEnv& locale = {});
CliRun RunCli(const std::vector<std::string>& args, const ProcessOptions& options);

std::string ReadFile(const std::filesystem::path& path);

}  // namespace kalvex::cli::testing
