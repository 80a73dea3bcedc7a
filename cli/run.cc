#include "cli/run.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/json_result.h"
#include "cli/messages.h"
#include "cli/progress_line.h"
#include "platform/platform.h"
#include "report/progress.h"
#include "report/report.h"
#include "ui/start_decision.h"
#include "ui/target_info.h"

namespace kalvex::cli {

namespace {

using Clock = std::chrono::steady_clock;

// How often the waiting loop looks at signals and at the status. Short, so
// that a Ctrl-C is passed on at once and so that a verify pass of an endless
// run is rarely over before the loop has seen it begin.
constexpr auto kPollInterval = std::chrono::milliseconds(50);
// The progress window refreshes once a second; so does the live line.
constexpr auto kDisplayInterval = std::chrono::seconds(1);

// Engine texts end their lines in "\r\n"; a terminal wants "\n", and every
// message ends with exactly one line break.
void PrintLine(std::ostream& stream, const std::string& text) {
  std::string line = ToLf(text);
  while (!line.empty() && line.back() == '\n') line.pop_back();
  stream << line << '\n';
}

// The target must be usable before anything else is asked of it; ask the
// engine first and it would only know that the volume cannot be queried.
bool TargetUnusable(const TargetInfo& info) {
  return info.state == TargetState::kNoTarget || info.state == TargetState::kAccessError;
}

int RefuseUnusable(const TargetInfo& info, const Options& options, Console& console) {
  PrintLine(console.err,
            info.test_data_line.empty() ? TargetMissingText(options.target) : info.test_data_line);
  return kExitRefused;
}

int RunScan(CTestEngine& engine, const Options& options, Console& console) {
  const TargetInfo info = ReadTargetInfo(engine);
  if (TargetUnusable(info)) return RefuseUnusable(info, options, console);
  PrintLine(console.out, info.test_data_line);
  PrintLine(console.out, info.all_space_caption);
  return kExitOk;
}

// The live line on a terminal, redrawn in place.
class LiveLine {
 public:
  explicit LiveLine(Console& console) : m_console(console) {}

  // Off a terminal nothing is drawn: a log or a pipe gets only the end.
  void Draw(CTestEngine& engine, const RunStatus& status, uint64_t verify_pass) {
    if (!m_console.err_is_terminal) return;
    const ProgressFigures figures =
        ComputeProgress(status, engine.SizeMB(), SystemPlatform().Counter());
    std::string line = BuildProgressLine(status, figures, verify_pass);
    const size_t columns = m_console.err_columns ? m_console.err_columns() : 0;
    // One column stays free: a line that fills the last column makes some
    // terminals wrap before the next carriage return.
    if (columns > 1) line = FitToWidth(line, columns - 1);
    // "\r" goes back to the line's start, "\x1b[K" clears what a longer line
    // left behind.
    m_console.err << '\r' << line << "\x1b[K" << std::flush;
    m_shown = true;
  }

  // Ends the line, so that a message starts on a line of its own.
  void Break() {
    if (!m_shown) return;
    m_console.err << '\n';
    m_shown = false;
  }

 private:
  Console& m_console;
  bool m_shown = false;
};

// The end of the run as the worker signals it.
struct DoneSignal {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
};

int RunTestOrVerify(CTestEngine& engine, const Options& options, Console& console) {
  const bool write = options.command == Command::kTest;
  const TargetInfo info = ReadTargetInfo(engine);
  if (TargetUnusable(info)) return RefuseUnusable(info, options, console);

  StartRequest request;
  request.write = write;
  request.all_space = !options.size_text.has_value();
  request.size_text = options.size_text.value_or("");
  request.endless = options.endless;
  const StartDecision decision = DecideStart(engine, request);
  if (!decision.start) {
    if (decision.message) PrintLine(console.err, decision.message->text);
    if (decision.set_size_field)
      PrintLine(console.err, FreeSpaceHintText(*decision.set_size_field));
    return kExitRefused;
  }
  // The main window would not even offer the button: writing needs a target
  // without any test file, verifying needs regular test data. Its test-data
  // line says why.
  if (!(write ? info.write_controls_enabled : info.verify_enabled)) {
    PrintLine(console.err, info.test_data_line);
    return kExitRefused;
  }

  // Opened before the run, so that a bad path refuses instead of losing the
  // result of a long run.
  const bool json_to_stdout = options.json_path && *options.json_path == "-";
  std::ofstream json_file;
  if (options.json_path && !json_to_stdout) {
    json_file.open(*options.json_path, std::ios::out | std::ios::trunc);
    if (!json_file) {
      PrintLine(console.err, JsonOpenFailedText(*options.json_path));
      return kExitRefused;
    }
  }
  if (decision.message) PrintLine(console.err, decision.message->text);

  DoneSignal done_signal;
  LiveLine live(console);
  {
    InterruptGuard interrupts;
    engine.PrepareRun();
    const bool started = engine.StartWorker([&done_signal] {
      // Notified under the lock: the waiting side cannot return and destroy
      // the signal before this call is over.
      std::lock_guard<std::mutex> lock(done_signal.mutex);
      done_signal.done = true;
      done_signal.cv.notify_all();
    });
    if (!started) {
      PrintLine(console.err, WorkerStartFailedText());
      return kExitError;
    }

    int signals_handled = 0;
    Clock::time_point next_display = Clock::now() + kDisplayInterval;
    std::unique_lock<std::mutex> lock(done_signal.mutex);
    while (!done_signal.done) {
      done_signal.cv.wait_for(lock, kPollInterval);
      if (done_signal.done) break;
      lock.unlock();

      const int signals = interrupts.Count();
      if (signals > signals_handled) {
        engine.RequestAbort();
        live.Break();
        // The first signal asks for the stop; later ones change nothing,
        // since cutting the worker off mid-block would leave a half-written
        // file and a report nobody can trust.
        PrintLine(console.err, signals_handled == 0 ? StopRequestedText() : StillStoppingText());
        signals_handled = signals;
      }
      const RunStatus status = engine.CopyStatus();
      const Clock::time_point now = Clock::now();
      if (now >= next_display) {
        live.Draw(engine, status, options.endless ? status.m_verifyPasses : 0);
        // Keep the once-a-second beat, but after a stall start a new one
        // rather than catching up with a burst of redraws.
        next_display += kDisplayInterval;
        if (next_display <= now) next_display = now + kDisplayInterval;
      }
      lock.lock();
    }
    lock.unlock();
    engine.JoinWorker();
  }

  const RunStatus status = engine.CopyStatus();
  const std::string error_text = engine.ErrorText();
  const std::string warning_text = engine.WarningText();
  live.Draw(engine, status, options.endless ? status.m_verifyPasses : 0);
  live.Break();

  const Outcome outcome = ClassifyOutcome(status, error_text, engine.AbortRequested());
  std::ostream& report_stream = json_to_stdout ? console.err : console.out;
  if (outcome == Outcome::kAborted) {
    // The progress window closes without a report after an abort: a
    // "finished, no error" text would claim more than was tested.
    PrintLine(console.err, AbortedText());
  } else {
    report_stream << ToLf(BuildFinalReport(status, error_text, warning_text).text) << std::flush;
  }
  if (engine.UsedCachedIo()) PrintLine(console.err, CachedIoText());

  int exit_code = ExitCodeFor(outcome);
  if (options.json_path) {
    RunResult result;
    result.outcome = outcome;
    result.size_mb = engine.SizeMB();
    result.verify_passes = status.m_verifyPasses;
    result.status = status;
    result.error_text = error_text;
    result.warning_text = warning_text;
    const std::string json = BuildResultJson(result).dump(2) + "\n";
    std::ostream& json_stream = json_to_stdout ? console.out : json_file;
    json_stream << json << std::flush;
    if (!json_to_stdout) json_file.close();
    if (!json_stream) {
      PrintLine(console.err, JsonWriteFailedText(*options.json_path));
      if (exit_code == kExitOk) exit_code = kExitError;
    }
  }
  return exit_code;
}

}  // namespace

std::optional<std::string> CheckTargetFolder(const std::string& path) {
  struct stat info = {};
  if (path.empty() || stat(path.c_str(), &info) != 0) {
    // A folder that exists but cannot be looked at is not "missing"; the
    // engine's access error describes it better.
    if (!path.empty() && errno == EACCES) return std::nullopt;
    return TargetMissingText(path);
  }
  if (!S_ISDIR(info.st_mode)) return TargetNotFolderText(path);
  return std::nullopt;
}

int RunCommand(CTestEngine& engine, const Options& options, Console& console) {
  if (const auto refusal = CheckTargetFolder(options.target)) {
    PrintLine(console.err, *refusal);
    return kExitRefused;
  }
  engine.SetTargetPath(options.target.c_str());
  if (options.command == Command::kScan) return RunScan(engine, options, console);
  return RunTestOrVerify(engine, options, console);
}

}  // namespace kalvex::cli
