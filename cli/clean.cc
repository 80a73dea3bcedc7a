#include "cli/clean.h"

#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/messages.h"
#include "engine/text_format.h"

namespace kalvex::cli {

namespace {

// Only a "yes" typed at a terminal counts; anything else keeps the files.
bool Confirmed(Console& console, size_t count) {
  if (console.in == nullptr || !console.in_is_terminal) return false;
  console.err << CleanQuestionText(count) << std::flush;
  std::string answer;
  if (!std::getline(*console.in, answer)) return false;
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y' || answer[0] == 'j' ||
                             answer[0] == 'J');
}

}  // namespace

int RunClean(CTestEngine& engine, const Options& options, Console& console) {
  if (const RunError unusable = engine.ProbeTarget()) {
    PrintError(console, RenderError(unusable));
    return kExitRefused;
  }
  const std::vector<CTestEngine::LeftFile> files = engine.TestFilesLeft(options.clean_all);
  const size_t stray = options.clean_all ? 0 : engine.TestFilesLeft(true).size() - files.size();
  if (files.empty()) {
    PrintLine(console.out, NothingToCleanText());
    if (stray != 0) PrintLine(console.out, StrayLeftText(stray));
    return kExitOk;
  }
  uint64_t bytes = 0;
  const std::string separator =
      !engine.TargetPath().empty() && engine.TargetPath().back() == '/' ? "" : "/";
  for (const CTestEngine::LeftFile& file : files) {
    console.out << engine.TargetPath() << separator << file.name << "  (" << (file.bytes >> 20)
                << " MByte)\n";
    bytes += file.bytes;
  }
  PrintLine(console.out, CleanSummaryText(files.size(), bytes >> 20));
  console.out << std::flush;
  if (!options.yes && !Confirmed(console, files.size())) {
    PrintError(console, NotCleanedText());
    return kExitRefused;
  }
  size_t removed = 0;
  bool failed = false;
  for (const CTestEngine::LeftFile& file : files) {
    if (const RunError error = engine.RemoveTestFile(file)) {
      PrintError(console, RenderError(error));
      failed = true;
    } else {
      ++removed;
    }
  }
  PrintLine(console.out, CleanedText(removed));
  if (stray != 0) PrintLine(console.out, StrayLeftText(stray));
  return failed ? kExitError : kExitOk;
}

}  // namespace kalvex::cli
