#include "cli/interrupt.h"

#include <signal.h>

#include <atomic>

namespace kalvex::cli {

namespace {

// Only lock-free atomics may be touched from a signal handler.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> g_signalCount{0};

struct sigaction g_previousInt;
struct sigaction g_previousTerm;

extern "C" void CountSignal(int) { g_signalCount.fetch_add(1); }

}  // namespace

InterruptGuard::InterruptGuard() {
  g_signalCount.store(0);
  struct sigaction action = {};
  action.sa_handler = CountSignal;
  sigemptyset(&action.sa_mask);
  // Restarting keeps the worker's file I/O free of EINTR should the signal
  // land on its thread.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_previousInt);
  sigaction(SIGTERM, &action, &g_previousTerm);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &g_previousInt, nullptr);
  sigaction(SIGTERM, &g_previousTerm, nullptr);
}

int InterruptGuard::Count() const { return g_signalCount.load(); }

}  // namespace kalvex::cli
