#include "tests/cli/cli_process.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace kalvex::cli::testing {

CliProcess::CliProcess(const std::vector<std::string>& args, const ProcessOptions& options) {
  std::vector<std::string> env_strings;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string name = std::string(*entry).substr(0, std::string(*entry).find('='));
    if (name != "LC_ALL" && name != "LC_MESSAGES" && name != "LANG") env_strings.push_back(*entry);
  }
  for (const auto& [name, value] : options.locale) env_strings.push_back(name + "=" + value);
  std::vector<std::string> argv_strings = {KALVEX_CLI_PATH};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());

  // Everything the child needs is prepared before fork: after it only
  // async-signal-safe calls are allowed.
  std::vector<char*> argv, envp;
  for (std::string& arg : argv_strings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  for (std::string& entry : env_strings) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const std::string out_path = m_outputDir.File("stdout");
  std::string err_path = m_outputDir.File("stderr");
  if (options.terminal_columns != 0) {
    m_terminal = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_terminal < 0 || grantpt(m_terminal) != 0 || unlockpt(m_terminal) != 0)
      throw std::runtime_error("no pseudo terminal");
    err_path = ptsname(m_terminal);
    struct winsize size = {};
    size.ws_row = 24;
    size.ws_col = options.terminal_columns;
    ioctl(m_terminal, TIOCSWINSZ, &size);
  }

  m_pid = fork();
  if (m_pid < 0) throw std::runtime_error("fork failed");
  if (m_pid != 0) return;
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(err_path.c_str(), O_RDWR | O_CREAT | O_NOCTTY, 0600);
  if (in < 0 || out < 0 || err < 0) _exit(126);
  if (m_terminal >= 0) close(m_terminal);
  dup2(in, STDIN_FILENO);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  if (options.file_size_limit != 0) {
    const struct rlimit limit = {options.file_size_limit, options.file_size_limit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    signal(SIGXFSZ, SIG_IGN);  // else the limit kills instead of failing the write
  }
  // The test runner may have SIGINT ignored or blocked, and both survive
  // exec; the child must see the signal as a terminal would deliver it.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execve(argv[0], argv.data(), envp.data());
  _exit(127);
}

CliProcess::~CliProcess() {
  if (!m_waited && m_pid > 0) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  if (m_terminal >= 0) close(m_terminal);
}

void CliProcess::DrainTerminal(int timeout_ms) {
  if (m_terminal < 0) return;
  struct pollfd ready = {m_terminal, POLLIN, 0};
  while (poll(&ready, 1, timeout_ms) > 0 && (ready.revents & POLLIN) != 0) {
    char buffer[4096];
    const ssize_t got = read(m_terminal, buffer, sizeof buffer);
    if (got <= 0) return;  // EIO once the child's side is closed
    m_terminalText.append(buffer, static_cast<size_t>(got));
    timeout_ms = 0;
  }
}

void CliProcess::Signal(int signal_number) const { kill(m_pid, signal_number); }

CliRun CliProcess::Wait(std::chrono::seconds limit) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    // The terminal is read while the child runs: a full one would stall it.
    DrainTerminal(10);
    const pid_t done = waitpid(m_pid, &status, WNOHANG);
    if (done == m_pid) break;
    if (done < 0 && errno != EINTR) throw std::runtime_error("waitpid failed");
    if (m_terminal < 0) usleep(10000);
    if (std::chrono::steady_clock::now() > give_up) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, &status, 0);
      break;
    }
  }
  m_waited = true;
  DrainTerminal(0);
  CliRun run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(m_outputDir.File("stdout"));
  run.err = m_terminal >= 0 ? m_terminalText : ReadFile(m_outputDir.File("stderr"));
  return run;
}

CliRun RunCli(const std::vector<std::string>& args, const ProcessOptions& options) {
  CliProcess process(args, options);
  return process.Wait();
}

void ExpectHas(const std::string& text, std::initializer_list<std::string> in,
               std::initializer_list<std::string> out) {
  for (const std::string& piece : in) EXPECT_THAT(text, ::testing::HasSubstr(piece));
  for (const std::string& piece : out) EXPECT_THAT(text, ::testing::Not(::testing::HasSubstr(piece)));
}

}  // namespace kalvex::cli::testing
