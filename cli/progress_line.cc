#include "cli/progress_line.h"

#include <cstdio>

#include "cli/messages.h"
#include "engine/text_format.h"

namespace kalvex::cli {

namespace {

constexpr int kBarCells = 10;

std::string Bar(int position) {
  if (position < 0) position = 0;
  if (position > 100) position = 100;
  const int filled = position * kBarCells / 100;
  std::string bar = "[";
  bar.append(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarCells - filled), '.');
  bar += "]";
  char percent[8];
  std::snprintf(percent, sizeof percent, " %3d%%", position);
  return bar + percent;
}

// The pass's own figures; the time left is the whole run's, not the pass's.
std::string PassText(const std::string& label, const PassFigures& pass,
                     const std::string& run_remaining) {
  std::string text = label + ": " + pass.mbytes + ", " + pass.elapsed + ", " + pass.rate;
  if (!run_remaining.empty()) text += ", " + RemainingText(run_remaining);
  return text;
}

}  // namespace

std::string BuildProgressLine(const RunStatus& status, const ProgressFigures& figures,
                              uint64_t verify_pass) {
  std::string line = Bar(figures.bar) + " ";
  if (status.m_verifyStarted && figures.verify.started) {
    std::string label = VerifyingCaption();
    if (verify_pass != 0) label += " (" + PassNumberText(verify_pass) + ")";
    line += PassText(label, figures.verify, figures.run_remaining);
  } else if (status.m_writeStarted && figures.write.started) {
    line += PassText(WritingCaption(), figures.write, figures.run_remaining);
  } else {
    line += StartingLabel() + " ...";
  }
  return line;
}

std::string FitToWidth(const std::string& line, size_t columns) {
  std::string fitted = line;
  if (CountChars(fitted) > columns) TruncateToChars(&fitted, columns);
  return fitted;
}

}  // namespace kalvex::cli
