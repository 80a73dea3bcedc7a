#include "tools/fakemedium/throttle.h"

#include <algorithm>
#include <thread>

namespace kalvex::fakemedium {

Throttle::Clock::time_point Throttle::Reserve(Clock::time_point now, uint64_t bytes) {
  if (m_bytesPerSecond <= 0) return now;
  const std::chrono::duration<double> takes(static_cast<double>(bytes) / m_bytesPerSecond);
  const std::lock_guard lock(m_lock);
  // An idle medium does not save up time for later bursts.
  m_busyUntil = std::max(m_busyUntil, now) + std::chrono::duration_cast<Clock::duration>(takes);
  return m_busyUntil;
}

void Throttle::Pass(uint64_t bytes) {
  if (m_bytesPerSecond <= 0) return;
  std::this_thread::sleep_until(Reserve(Clock::now(), bytes));
}

}  // namespace kalvex::fakemedium
