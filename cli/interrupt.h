// Ctrl-C and SIGTERM during a run (on Windows: Ctrl-C, Ctrl-Break and the
// closing of the console). The handler only counts them; the waiting loop
// reads the count and asks the engine to stop, so no engine code ever runs
// inside a signal handler. interrupt_posix.cc and interrupt_win32.cc.
#pragma once

namespace kalvex::cli {

// While an object of this class lives, SIGINT and SIGTERM are counted instead
// of ending the process; its destruction restores the previous handling.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // Signals received since the guard was installed.
  int Count() const;
};

}  // namespace kalvex::cli
