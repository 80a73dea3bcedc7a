#include "report/progress.h"

#include <limits>

#include "engine/language.h"
#include "engine/text_format.h"
#include "report/units.h"

namespace kalvex {

namespace {

// Each figure text is bounded like the label it ends up in.
constexpr size_t kFigureChars = 999;
// The elapsed and remaining parts each have a small buffer of their own.
constexpr size_t kPartChars = 99;

// Seconds of the estimate as a signed count, truncated toward zero. A value
// outside the signed range saturates instead of invoking undefined behaviour.
int64_t TruncateSeconds(double seconds) {
  constexpr double kLimit = 9223372036854775807.0;  // rounds to 2^63
  if (!(seconds == seconds)) return 0;               // NaN
  if (seconds >= kLimit) return std::numeric_limits<int64_t>::max();
  if (seconds <= -kLimit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(seconds);
}

PassFigures MakePassFigures(uint64_t mb, int64_t start, int64_t last, int64_t frequency,
                            bool running, uint64_t size_mb, int64_t now) {
  PassFigures figures;
  figures.started = true;
  figures.mbytes = FormatText(kFigureChars, "%llu MByte", static_cast<unsigned long long>(mb));
  figures.time = FormatPassTime(start, last, frequency, running, mb, size_mb, now);
  figures.elapsed = FormatPassTime(start, last, frequency, false, mb, size_mb, now);
  figures.rate = FormatRate(mb, static_cast<uint64_t>(start), static_cast<uint64_t>(last),
                            static_cast<uint64_t>(frequency));
  return figures;
}

}  // namespace

std::string FormatPassTime(int64_t start, int64_t last, int64_t frequency, bool running,
                           uint64_t done_mb, uint64_t size_mb, int64_t now) {
  // The counter frequency is never 0 on a working machine; a zeroed status
  // record must still not divide by zero, so it reads as no time at all.
  const uint64_t f = static_cast<uint64_t>(frequency);
  const uint64_t span = static_cast<uint64_t>(last) - static_cast<uint64_t>(start);
  // Elapsed time runs to the last finished block, not to this moment: it
  // stands still while the medium stalls.
  const uint64_t elapsed = f == 0 ? 0 : span / f;
  if (!running) return FormatDuration(elapsed);

  const std::string elapsed_text = FormatText(kPartChars, "%s", FormatDuration(elapsed).c_str());
  // Right after a pass begins nothing is done yet; pretending one MByte is
  // done gives a (wild) estimate instead of a division by zero.
  const uint64_t done = done_mb == 0 ? 1 : done_mb;
  int64_t remaining = 0;
  if (f != 0) {
    // The speed so far, measured up to the last block, stretched over the
    // whole volume; the remainder is measured from now, so a stalled pass
    // still counts down.
    double end = static_cast<double>(span) * static_cast<double>(size_mb);
    end /= static_cast<double>(done);
    end += static_cast<double>(static_cast<uint64_t>(start));
    end -= static_cast<double>(static_cast<uint64_t>(now));
    end /= static_cast<double>(f);
    remaining = TruncateSeconds(end);
  }
  // A pass that stalls just before its end would project an end in the
  // past; there is no negative duration, so it shows as nothing left.
  if (remaining < 0) remaining = 0;
  const std::string remaining_text =
      FormatText(kPartChars, "%s", FormatDuration(static_cast<uint64_t>(remaining)).c_str());
  return FormatText(kFigureChars, LangText("%s (%s remaining)", "%s (noch %s)"),
                    elapsed_text.c_str(), remaining_text.c_str());
}

int ProgressBarPosition(const RunStatus& status) {
  if (status.m_mbTotal == 0) return 0;
  const uint64_t position = (status.m_mbWritten + status.m_mbVerified) * 100 / status.m_mbTotal;
  // The bar never runs past its end, whatever the counts say.
  return position > 100 ? 100 : static_cast<int>(position);
}

ProgressFigures ComputeProgress(const RunStatus& status, uint64_t size_mb, int64_t now) {
  ProgressFigures figures;
  if (status.m_writeStarted) {
    figures.write = MakePassFigures(status.m_mbWritten, status.m_writeStart, status.m_writeLast,
                                    status.m_frequency, status.m_writing, size_mb, now);
  }
  if (status.m_verifyStarted) {
    figures.verify = MakePassFigures(status.m_mbVerified, status.m_verifyStart,
                                     status.m_verifyLast, status.m_frequency,
                                     status.m_verifying, size_mb, now);
  }
  figures.bar = ProgressBarPosition(status);
  const int64_t remaining = RunRemainingSeconds(status);
  if (remaining >= 0 && (status.m_writing || status.m_verifying))
    figures.run_remaining = FormatDuration(static_cast<uint64_t>(remaining));
  return figures;
}

int64_t RunRemainingSeconds(const RunStatus& status) {
  const uint64_t f = static_cast<uint64_t>(status.m_frequency);
  uint64_t counts = 0;
  if (status.m_writeStarted)
    counts += static_cast<uint64_t>(status.m_writeLast) - static_cast<uint64_t>(status.m_writeStart);
  if (status.m_verifyStarted)
    counts += static_cast<uint64_t>(status.m_verifyLast) - static_cast<uint64_t>(status.m_verifyStart);
  const uint64_t done = status.m_mbWritten + status.m_mbVerified;
  if (f == 0 || counts == 0 || done == 0) return -1;
  const uint64_t left = status.m_mbTotal > done ? status.m_mbTotal - done : 0;
  const double seconds_per_mb = static_cast<double>(counts) / static_cast<double>(f) /
                                static_cast<double>(done);
  return TruncateSeconds(seconds_per_mb * static_cast<double>(left));
}

const char* WritingCaption() { return LangText("Writing", "Schreiben"); }

const char* VerifyingCaption() { return LangText("Verifying", "Prüfen"); }

}  // namespace kalvex
