// Exit statuses of kalvex-cli. Scripts branch on these, so their values are
// part of the program's interface and never change.
#pragma once

namespace kalvex::cli {

constexpr int kExitOk = 0;         // the run found no fault (or scan succeeded)
constexpr int kExitFaulty = 1;     // the verify pass found faulty sectors
constexpr int kExitError = 2;      // the run ended on an error
constexpr int kExitRefused = 3;    // nothing was started: bad input or target
// No fault found, but the data read back may have come from a cache on the
// way rather than from the medium: reconnect it and verify again.
constexpr int kExitUnconfirmed = 4;
constexpr int kExitAborted = 130;  // stopped by SIGINT/SIGTERM (128 + SIGINT)

}  // namespace kalvex::cli
