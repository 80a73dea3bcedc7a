#include <windows.h>

#include <atomic>

#include "cli/interrupt.h"

namespace kalvex::cli {

namespace {

std::atomic<int> g_signalCount{0};
// Set while no guard lives, so that a closing console is not held up.
HANDLE g_runOver = nullptr;

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI CountControlEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_signalCount.fetch_add(1);
      return TRUE;
    case CTRL_CLOSE_EVENT:
      // The process ends when this returns: give the run a few seconds to
      // stop and close its test file first.
      g_signalCount.fetch_add(1);
      if (g_runOver != nullptr) WaitForSingleObject(g_runOver, 4000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

InterruptGuard::InterruptGuard() {
  g_signalCount.store(0);
  if (g_runOver == nullptr) g_runOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (g_runOver != nullptr) ResetEvent(g_runOver);
  SetConsoleCtrlHandler(CountControlEvent, TRUE);
}

InterruptGuard::~InterruptGuard() {
  SetConsoleCtrlHandler(CountControlEvent, FALSE);
  if (g_runOver != nullptr) SetEvent(g_runOver);
}

int InterruptGuard::Count() const { return g_signalCount.load(); }

}  // namespace kalvex::cli
