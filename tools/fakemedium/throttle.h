// A medium slower than the bus: all reads and writes together move at most
// a given number of MiB per second. Requests queue one behind the other, as
// on a stick with a single controller.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

namespace kalvex::fakemedium {

class Throttle {
 public:
  using Clock = std::chrono::steady_clock;

  // 0 or less: no limit.
  explicit Throttle(double mib_per_second) : m_bytesPerSecond(mib_per_second * 1048576.0) {}

  // Books the next slot for a transfer of bytes that is asked for at now and
  // returns when it ends. The medium is busy until then.
  Clock::time_point Reserve(Clock::time_point now, uint64_t bytes);

  // Waits until a transfer of bytes asked for now would have ended.
  void Pass(uint64_t bytes);

 private:
  std::mutex m_lock;
  const double m_bytesPerSecond;
  Clock::time_point m_busyUntil{};  // the end of the last booked transfer
};

}  // namespace kalvex::fakemedium
