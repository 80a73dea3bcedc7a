#include "cli/run.h"

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "cli/clean.h"
#include "cli/media_list.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/json_result.h"
#include "cli/messages.h"
#include "cli/probe_command.h"
#include "cli/progress_line.h"
#include "cli/utf8_path.h"
#include "engine/text_format.h"
#include "report/progress.h"
#include "report/speed_chart.h"
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

// One target of a run: its own engine, so that one slow or failing medium
// never holds up the others, its decision, and its session once started.
struct TargetRun {
  std::string target;
  std::unique_ptr<CTestEngine> engine;
  RunContext context;
  std::optional<std::string> refusal;  // not started, and why
  std::optional<std::string> warning;  // said before the start
  std::unique_ptr<RunSession> session;
};

// Progress on standard error: on a terminal one line per target redrawn in
// place every second; for a log (--progress) a line per target every ten
// seconds; with --quiet, or off a terminal without --progress, nothing.
class LiveLines {
 public:
  LiveLines(Console& console, const Options& options)
      : m_console(console),
        m_mode(options.quiet               ? Mode::kNone
               : console.err_is_terminal   ? Mode::kRedraw
               : options.progress          ? Mode::kLog
                                           : Mode::kNone),
        m_endless(options.endless) {}

  // final: the last figures of the run, which a log gets whatever the time.
  void Draw(std::vector<TargetRun>& runs, bool final = false) {
    if (m_mode == Mode::kNone) return;
    const Clock::time_point now = Clock::now();
    if (m_mode == Mode::kLog && !final && now < m_nextLog) return;
    m_nextLog = now + kLogInterval;
    const std::vector<std::string> lines = Lines(runs);
    if (m_mode == Mode::kLog) {
      for (const std::string& line : lines) m_console.err << line << '\n';
      m_console.err << std::flush;
      return;
    }
    const size_t columns = m_console.err_columns ? m_console.err_columns() : 0;
    // Back to the first line of the block drawn last time.
    if (m_shown > 1) m_console.err << "\x1b[" << (m_shown - 1) << 'A';
    for (size_t i = 0; i < lines.size(); ++i) {
      // One column stays free: a line that fills the last column makes some
      // terminals wrap before the next carriage return.
      const std::string line = columns > 1 ? FitToWidth(lines[i], columns - 1) : lines[i];
      // "\r" goes back to the line's start, "\x1b[K" clears what a longer
      // line left behind.
      m_console.err << '\r' << line << "\x1b[K" << (i + 1 < lines.size() ? "\n" : "");
    }
    m_console.err << std::flush;
    m_shown = lines.size();
  }

  // Ends the block, so that a message starts on a line of its own.
  void Break() {
    if (m_shown == 0) return;
    m_console.err << '\n';
    m_shown = 0;
  }

 private:
  enum class Mode { kNone, kRedraw, kLog };
  static constexpr auto kLogInterval = std::chrono::seconds(10);

  // A line per started run, named by its target when there are several.
  std::vector<std::string> Lines(std::vector<TargetRun>& runs) const {
    std::vector<std::string> lines;
    for (TargetRun& run : runs) {
      if (!run.session) continue;
      const RunStatus status =
          run.session->Finished() ? run.session->FinalStatus() : run.session->Status();
      const ProgressFigures figures =
          ComputeProgress(status, run.session->SizeMB(), run.session->Counter());
      std::string line =
          BuildProgressLine(status, figures, m_endless ? status.m_verifyPasses : 0);
      lines.push_back(runs.size() > 1 ? run.target + ": " + line : line);
    }
    return lines;
  }

  Console& m_console;
  const Mode m_mode;
  const bool m_endless;
  size_t m_shown = 0;  // lines of the block on screen
  // The first log lines come after ten seconds: a short run logs only its end.
  Clock::time_point m_nextLog = Clock::now() + kLogInterval;
};

bool HasTestFileExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string extension = name.substr(name.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".kvx";
}

// Writing the result to path would replace or add a test file of the target:
// the path names an existing test file there (by any name or link), or a
// new "*.kvx" in the target folder itself.
bool EndangersTestData(const std::string& path, const std::string& target) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path target_folder = Utf8Path(target);
  if (!fs::exists(target_folder, error)) return false;
  const fs::path where = Utf8Path(path);
  if (fs::exists(where, error)) {
    for (const auto& entry : fs::directory_iterator(target_folder, error)) {
      if (HasTestFileExtension(Utf8Name(entry.path())) &&
          fs::equivalent(entry.path(), where, error))
        return true;
    }
  }
  const fs::path parent = where.has_parent_path() ? where.parent_path() : fs::path(".");
  return HasTestFileExtension(Utf8Name(where)) && fs::equivalent(parent, target_folder, error);
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
    m_file.open(Utf8Path(m_path), std::ios::out | std::ios::trunc | std::ios::binary);
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

// Waits for the end of every started run, passing Ctrl-C on as an abort to
// all of them and redrawing the progress once a second.
void WaitForRuns(std::vector<TargetRun>& runs, const InterruptGuard& interrupts,
                 const Options& options, LiveLines& live, Console& console) {
  int signals_handled = 0;
  Clock::time_point next_display = Clock::now() + kDisplayInterval;
  for (;;) {
    // One wait of the poll interval per round, on the first run still going.
    bool waited = false, all_ended = true;
    for (TargetRun& run : runs) {
      if (!run.session) continue;
      const auto wait = waited ? std::chrono::milliseconds(0) : kPollInterval;
      if (!run.session->WaitForEnd(wait)) {
        all_ended = false;
        waited = true;
      }
    }
    if (all_ended) return;
    const int signals = interrupts.Count();
    if (signals > signals_handled) {
      for (TargetRun& run : runs) {
        if (run.session) run.session->RequestAbort();
      }
      live.Break();
      // The first signal asks for the stop; later ones change nothing,
      // since cutting a worker off mid-block would leave a half-written
      // file and a report nobody can trust.
      if (!options.quiet)
        PrintLine(console.err, signals_handled == 0 ? StopRequestedText() : StillStoppingText());
      signals_handled = signals;
    }
    const Clock::time_point now = Clock::now();
    if (now >= next_display) {
      live.Draw(runs);
      // Keep the once-a-second beat, but after a stall start a new one
      // rather than catching up with a burst of redraws.
      next_display += kDisplayInterval;
      if (next_display <= now) next_display = now + kDisplayInterval;
    }
  }
}

// The decision for one target; a refusal is kept, not returned: the other
// targets go on.
void Decide(TargetRun& run, const Options& options) {
  StartRequest request;
  request.write = options.command == Command::kTest;
  request.all_space = !options.size_text.has_value();
  request.size_text = options.size_text.value_or("");
  request.endless = options.endless;
  const StartDecision decision = DecideStart(*run.engine, request);
  if (!decision.start) {
    std::string message = decision.message ? decision.message->text : std::string();
    if (decision.set_size_field)
      message.append("\n").append(FreeSpaceHintText(*decision.set_size_field));
    run.refusal = message;
  } else if (decision.message) {
    run.warning = decision.message->text;
  }
}

// Which exit status wins when targets end differently: a faulty medium
// first, then an error, then what is left uncertain; a refusal or an abort
// only when nothing more telling happened.
int Severity(int exit_code) {
  switch (exit_code) {
    case kExitFaulty:
      return 6;
    case kExitError:
      return 5;
    case kExitUnconfirmed:
      return 4;
    case kExitRefused:
      return 3;
    case kExitAborted:
      return 2;
    default:
      return 1;
  }
}

// The chart file of the index-th of count targets: FILE.svg for one,
// FILE-1.svg, FILE-2.svg, ... for several.
std::string ChartPath(const std::string& path, size_t index, size_t count) {
  if (count == 1) return path;
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  std::string numbered = has_extension ? path.substr(0, dot) : path;
  numbered.append(1, '-').append(std::to_string(index + 1));
  if (has_extension) numbered.append(path, dot, std::string::npos);
  return numbered;
}

// The report of one run (or why it has none), and its exit status.
int Report(TargetRun& run, bool several, std::ostream& report_stream, Console& console) {
  RunSession& session = *run.session;
  if (several) report_stream << "== " << run.target << " ==\n";
  if (session.ShowsReport())
    report_stream << ToLf(session.Report().text) << std::flush;
  else
    PrintLine(several ? report_stream : console.err, AbortedText());
  // Beside the report, on the same stream: a result that is not confirmed
  // must not be read without it.
  const std::string note = ReadBackNote(session.FinalStatus());
  if (!note.empty()) report_stream << ToLf(note) << std::flush;
  if (session.ShowsReport()) report_stream << session.VerdictSentence() << '\n' << std::flush;
  return ExitCodeFor(session.GetOutcome());
}

int RunTestOrVerify(const Options& options, Console& console, Platform& platform) {
  const std::vector<std::string>& targets = options.targets;
  const bool several = targets.size() > 1;
  JsonSink json(options);
  for (const std::string& target : targets) {
    if (json.Wanted() && !json.ToStdout() && EndangersTestData(json.Path(), target)) {
      // Nothing is written there, not even the refusal.
      PrintError(console, JsonIsTestDataText(json.Path()));
      return kExitRefused;
    }
  }
  if (!json.Open()) {
    PrintError(console, JsonOpenFailedText(json.Path()));
    return kExitRefused;
  }

  std::vector<TargetRun> runs(targets.size());
  for (size_t i = 0; i < targets.size(); ++i) {
    TargetRun& run = runs[i];
    run.target = targets[i];
    run.engine = std::make_unique<CTestEngine>(platform);
    run.engine->SetTargetPath(run.target.c_str());
    run.context.command = options.command == Command::kTest ? "test" : "verify";
    run.context.target = run.target;
    run.context.started_at = IsoUtc(std::chrono::system_clock::now());
    Decide(run, options);
    const std::string prefix = several ? run.target + ": " : std::string();
    if (run.refusal) PrintError(console, prefix + *run.refusal);
    if (run.warning && !options.quiet) PrintLine(console.err, prefix + *run.warning);
  }

  LiveLines live(console, options);
  {
    // Counted from before the first block: a signal must never find a run
    // without its handler and end the process mid-block.
    InterruptGuard interrupts;
    for (TargetRun& run : runs) {
      if (run.refusal) continue;
      run.session = std::make_unique<RunSession>(*run.engine);
      run.session->Start();
    }
    WaitForRuns(runs, interrupts, options, live, console);
  }
  for (TargetRun& run : runs) {
    if (run.session) run.session->Finish();
  }
  live.Draw(runs, /*final=*/true);
  live.Break();

  std::ostream& report_stream = json.ToStdout() ? console.err : console.out;
  int exit_code = kExitOk;
  nlohmann::ordered_json results = nlohmann::ordered_json::array();
  for (size_t i = 0; i < runs.size() && options.chart_path; ++i) {
    if (!runs[i].session) continue;
    const std::string path = ChartPath(*options.chart_path, i, runs.size());
    std::ofstream chart(Utf8Path(path), std::ios::out | std::ios::trunc | std::ios::binary);
    chart << SpeedChartSvg(BuildSpeedChart(runs[i].session->Profile()));
    if (!chart) PrintError(console, ChartWriteFailedText(path));
  }
  for (TargetRun& run : runs) {
    run.context.finished_at = IsoUtc(std::chrono::system_clock::now());
    int code = kExitRefused;
    if (run.refusal) {
      results.push_back(BuildRefusalJson(run.context, *run.refusal));
    } else {
      code = Report(run, several, report_stream, console);
      results.push_back(BuildResultJson(ResultOf(*run.session, run.context)));
    }
    if (Severity(code) > Severity(exit_code)) exit_code = code;
  }
  // One target: one object, as ever; several: an array, in their order.
  if (!json.Write(several ? results : results[0], console.out)) {
    PrintError(console, JsonWriteFailedText(json.Path()));
    if (exit_code == kExitOk) exit_code = kExitError;
  }
  return exit_code;
}

}  // namespace

void PrintLine(std::ostream& stream, const std::string& text) {
  std::string line = ToLf(text);
  while (!line.empty() && line.back() == '\n') line.pop_back();
  stream << line << '\n' << std::flush;
}

void PrintError(Console& console, const std::string& text) {
  PrintLine(console.err, "kalvex-cli: " + text);
}

int RunCommand(const Options& options, Console& console, Platform& platform) {
  if (options.command == Command::kList) return RunList(options, console);
  if (options.command == Command::kProbe) return RunProbe(options, console);
  if (options.command == Command::kTest || options.command == Command::kVerify)
    return RunTestOrVerify(options, console, platform);
  CTestEngine engine(platform);
  engine.SetTargetPath(options.target.c_str());
  if (options.command == Command::kScan) return RunScan(engine, console);
  return RunClean(engine, options, console);
}

}  // namespace kalvex::cli
