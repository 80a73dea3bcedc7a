// The plain answer after a run: is the medium genuine, fake, failing, or
// can nothing be said? Beside the report, never in place of it.
#pragma once

#include <cstdint>
#include <string>

#include "engine/run_error.h"
#include "engine/types.h"

namespace kalvex {

enum class VerdictKind { kGenuine, kFakeCapacity, kFailing, kInconclusive };

struct Verdict {
  VerdictKind kind = VerdictKind::kInconclusive;
  // The test data, from the start, before the first fault (all that was
  // verified when there was none).
  uint64_t intact_bytes = 0;
};

// What the run's last verify pass and its end say about the medium.
// aborted: the user stopped the run; confirmed: the reads provably came
// from the medium.
Verdict JudgeRun(const RunStatus& status, const RunError& error, bool aborted, bool confirmed);

// "genuine", "fake_capacity", "failing", "inconclusive".
const char* VerdictName(VerdictKind kind);

// One or two sentences in the current language, e.g. "This medium is fake:
// only about 15.2 GByte of the claimed 64.0 GByte hold data." capacity_bytes
// is what the medium claims (0: unknown).
std::string VerdictText(const Verdict& verdict, const RunStatus& status, uint64_t capacity_bytes);

}  // namespace kalvex
