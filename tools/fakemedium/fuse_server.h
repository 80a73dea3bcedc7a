// Serves a medium over FUSE as the one file MOUNTPOINT/medium, with direct
// I/O: no page cache of the served file sits between a reader (a loop
// device, a test) and the medium, so every read reaches it.
#pragma once

#include "tools/fakemedium/medium.h"
#include "tools/fakemedium/settings.h"

namespace kalvex::fakemedium {

constexpr const char* kServedName = "medium";

// Mounts, serves with several threads until unmounted or stopped by
// SIGINT, SIGTERM or SIGHUP, and returns the exit status. SIGUSR1 makes the
// medium vanish; SIGUSR2 saves its written map.
int Serve(Medium& medium, const Settings& settings, const char* program);

}  // namespace kalvex::fakemedium
