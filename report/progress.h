// The live figures of a run, computed once a second from a status copy.
#pragma once

#include <cstdint>
#include <string>

#include "engine/types.h"

namespace kalvex {

// Elapsed time of a pass, and while it runs the estimate of the time left:
// "1:40 min (14:59 min remaining)" / "1:40 min (noch 14:59 min)".
// size_mb is the run's data volume, now the current counter value.
// A remaining time below zero shows as 0 s.
std::string FormatPassTime(int64_t start, int64_t last, int64_t frequency, bool running,
                           uint64_t done_mb, uint64_t size_mb, int64_t now);

// Progress bar position 0..100 for the whole run.
int ProgressBarPosition(const RunStatus& status);

// The three texts of one pass group; all empty while the pass has not begun.
struct PassFigures {
  bool started = false;
  std::string mbytes;   // "%llu MByte"
  std::string time;     // FormatPassTime
  std::string elapsed;  // FormatDuration of the pass so far, without an estimate
  std::string rate;     // FormatRate
};

struct ProgressFigures {
  PassFigures write;
  PassFigures verify;
  int bar = 0;
  // The time left for the whole run (FormatDuration); empty while there is
  // nothing to estimate from, or when the run is over.
  std::string run_remaining;
};

// Seconds left for the whole run: the work still to do (the bar's total
// less what both passes have done) at the average rate of the passes so
// far; negative when it cannot be estimated yet.
int64_t RunRemainingSeconds(const RunStatus& status);

ProgressFigures ComputeProgress(const RunStatus& status, uint64_t size_mb, int64_t now);

// The names of the two passes, as the progress window's groups show them.
const char* WritingCaption();
const char* VerifyingCaption();

}  // namespace kalvex
