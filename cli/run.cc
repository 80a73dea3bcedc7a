#include "cli/run.h"

#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "cli/clean.h"
#include "cli/media_list.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/json_result.h"
#include "cli/messages.h"
#include "cli/progress_line.h"
#include "engine/text_format.h"
#include "report/progress.h"
#include "ui/run_session.h"
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

// An error on standard error, named by the program as terminal tools do:
// "kalvex-cli: ...".
void PrintError(Console& console, const std::string& text) {
  PrintLine(console.err, "kalvex-cli: " + text);
}

int RunScan(CTestEngine& engine, Console& console) {
  if (const RunError unusable = engine.ProbeTarget()) {
    PrintError(console, RenderError(unusable));
    return kExitRefused;
  }
  const TargetInfo info = ReadTargetInfo(engine);
  if (info.state == TargetState::kAccessError) {
    PrintError(console, info.test_data_line);
    return kExitRefused;
  }
  PrintLine(console.out, info.test_data_line);
  PrintLine(console.out, info.all_space_caption);
  return kExitOk;
}

// Progress on standard error: on a terminal one line redrawn in place every
// second; for a log (--progress) a line of its own every ten seconds; with
// --quiet, or off a terminal without --progress, nothing.
class LiveLine {
 public:
  LiveLine(Console& console, const Options& options)
      : m_console(console),
        m_mode(options.quiet                 ? Mode::kNone
               : console.err_is_terminal     ? Mode::kRedraw
               : options.progress            ? Mode::kLog
                                             : Mode::kNone) {}

  // final: the last figures of the run, which a log gets whatever the time.
  void Draw(RunSession& session, const RunStatus& status, uint64_t verify_pass,
            bool final = false) {
    if (m_mode == Mode::kNone) return;
    const ProgressFigures figures = ComputeProgress(status, session.SizeMB(), session.Counter());
    std::string line = BuildProgressLine(status, figures, verify_pass);
    if (m_mode == Mode::kLog) {
      const Clock::time_point now = Clock::now();
      if (!final && now < m_nextLog) return;
      m_nextLog = now + kLogInterval;
      m_console.err << line << '\n' << std::flush;
      return;
    }
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
  enum class Mode { kNone, kRedraw, kLog };
  static constexpr auto kLogInterval = std::chrono::seconds(10);

  Console& m_console;
  const Mode m_mode;
  bool m_shown = false;
  // The first log line comes after ten seconds: a short run logs only its end.
  Clock::time_point m_nextLog = Clock::now() + kLogInterval;
};

bool HasTestFileExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string extension = name.substr(name.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".kvx";
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Writing the result to path would replace or add a test file of the target:
// the path names an existing test file there (by any name or link), or a
// new "*.kvx" in the target folder itself.
bool EndangersTestData(const std::string& path, const std::string& target) {
  namespace fs = std::filesystem;
  struct stat target_info = {}, file_info = {}, parent_info = {};
  if (stat(target.c_str(), &target_info) != 0) return false;
  if (stat(path.c_str(), &file_info) == 0) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(target, ignored)) {
      struct stat entry_info = {};
      if (HasTestFileExtension(entry.path().filename().string()) &&
          stat(entry.path().c_str(), &entry_info) == 0 && SameFile(entry_info, file_info))
        return true;
    }
  }
  const fs::path where(path);
  const fs::path parent = where.has_parent_path() ? where.parent_path() : fs::path(".");
  return HasTestFileExtension(where.filename().string()) &&
         stat(parent.c_str(), &parent_info) == 0 && SameFile(parent_info, target_info);
}

// Where the JSON result goes, opened before the run so that a bad path
// refuses at once instead of losing the result of a long run.
class JsonSink {
 public:
  explicit JsonSink(const Options& options)
      : m_path(options.json_path.value_or("")),
        m_wanted(options.json_path.has_value()),
        m_toStdout(m_wanted && m_path == "-") {}

  bool Wanted() const { return m_wanted; }
  bool ToStdout() const { return m_toStdout; }
  const std::string& Path() const { return m_path; }

  bool Open() {
    if (!m_wanted || m_toStdout) return true;
    m_file.open(m_path, std::ios::out | std::ios::trunc);
    return m_file.is_open();
  }

  // False when the text could not be written.
  bool Write(const nlohmann::ordered_json& json, std::ostream& out) {
    if (!m_wanted) return true;
    std::ostream& stream = m_toStdout ? out : m_file;
    stream << DumpJson(json) << std::flush;
    if (!m_toStdout) m_file.close();
    return static_cast<bool>(stream);
  }

 private:
  std::string m_path;
  bool m_wanted;
  bool m_toStdout;
  std::ofstream m_file;
};

// A run that does not start: the message, and the result for a script.
int Refuse(const std::string& message, RunContext context, JsonSink& json, Console& console) {
  PrintError(console, message);
  context.finished_at = IsoUtc(std::chrono::system_clock::now());
  if (!json.Write(BuildRefusalJson(context, message), console.out))
    PrintError(console, JsonWriteFailedText(json.Path()));
  return kExitRefused;
}

// Waits for the end of a started run, passing Ctrl-C on as an abort and
// redrawing the live line once a second.
void WaitForRun(RunSession& session, const InterruptGuard& interrupts, const Options& options,
                LiveLine& live, Console& console) {
  int signals_handled = 0;
  Clock::time_point next_display = Clock::now() + kDisplayInterval;
  while (!session.WaitForEnd(kPollInterval)) {
    const int signals = interrupts.Count();
    if (signals > signals_handled) {
      session.RequestAbort();
      live.Break();
      // The first signal asks for the stop; later ones change nothing,
      // since cutting the worker off mid-block would leave a half-written
      // file and a report nobody can trust.
      if (!options.quiet)
        PrintLine(console.err, signals_handled == 0 ? StopRequestedText() : StillStoppingText());
      signals_handled = signals;
    }
    const Clock::time_point now = Clock::now();
    if (now >= next_display) {
      const RunStatus status = session.Status();
      live.Draw(session, status, options.endless ? status.m_verifyPasses : 0);
      // Keep the once-a-second beat, but after a stall start a new one
      // rather than catching up with a burst of redraws.
      next_display += kDisplayInterval;
      if (next_display <= now) next_display = now + kDisplayInterval;
    }
  }
}

int RunTestOrVerify(CTestEngine& engine, const Options& options, Console& console) {
  RunContext context;
  context.command = options.command == Command::kTest ? "test" : "verify";
  context.target = options.target;
  context.started_at = IsoUtc(std::chrono::system_clock::now());
  JsonSink json(options);
  if (json.Wanted() && !json.ToStdout() && EndangersTestData(json.Path(), options.target)) {
    // Nothing is written there, not even the refusal.
    PrintError(console, JsonIsTestDataText(json.Path()));
    return kExitRefused;
  }
  if (!json.Open()) {
    PrintError(console, JsonOpenFailedText(json.Path()));
    return kExitRefused;
  }

  StartRequest request;
  request.write = options.command == Command::kTest;
  request.all_space = !options.size_text.has_value();
  request.size_text = options.size_text.value_or("");
  request.endless = options.endless;
  const StartDecision decision = DecideStart(engine, request);
  if (!decision.start) {
    std::string message = decision.message ? decision.message->text : std::string();
    if (decision.set_size_field)
      message.append("\n").append(FreeSpaceHintText(*decision.set_size_field));
    return Refuse(message, context, json, console);
  }
  if (decision.message && !options.quiet) PrintLine(console.err, decision.message->text);

  RunSession session(engine);
  LiveLine live(console, options);
  {
    // Counted from before the first block: a signal must never find the
    // run without its handler and end the process mid-block.
    InterruptGuard interrupts;
    if (session.Start()) WaitForRun(session, interrupts, options, live, console);
  }
  session.Finish();
  const RunStatus& status = session.FinalStatus();
  live.Draw(session, status, options.endless ? status.m_verifyPasses : 0, /*final=*/true);
  live.Break();

  std::ostream& report_stream = json.ToStdout() ? console.err : console.out;
  if (session.ShowsReport())
    report_stream << ToLf(session.Report().text) << std::flush;
  else
    PrintLine(console.err, AbortedText());
  // Beside the report, on the same stream: a result that is not confirmed
  // must not be read without it.
  const std::string note = ReadBackNote(status);
  if (!note.empty()) report_stream << ToLf(note) << std::flush;

  int exit_code = ExitCodeFor(session.GetOutcome());
  context.finished_at = IsoUtc(std::chrono::system_clock::now());
  if (!json.Write(BuildResultJson(ResultOf(session, context)), console.out)) {
    PrintError(console, JsonWriteFailedText(json.Path()));
    if (exit_code == kExitOk) exit_code = kExitError;
  }
  return exit_code;
}

}  // namespace

int RunCommand(CTestEngine& engine, const Options& options, Console& console) {
  if (options.command == Command::kList) return RunList(options, console);
  engine.SetTargetPath(options.target.c_str());
  if (options.command == Command::kScan) return RunScan(engine, console);
  if (options.command == Command::kClean) return RunClean(engine, options, console);
  return RunTestOrVerify(engine, options, console);
}

}  // namespace kalvex::cli
