// The medium pulled out: after a given number of bytes moved, or on demand,
// every request fails from then on and the medium never comes back.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "tools/fakemedium/event_log.h"

namespace kalvex::fakemedium {

class VanishSwitch {
 public:
  // With a limit, requests are served while the bytes asked for by all
  // requests so far, this one included, stay within it; the request that
  // goes past it is the first to fail.
  VanishSwitch(std::optional<uint64_t> limit, EventLog& log) : m_limit(limit), m_log(log) {}

  // Counts a request of length bytes; false when the medium is gone.
  bool Admit(uint64_t length);
  bool gone() const { return m_gone.load(); }

  // Pulls the medium now, as SIGUSR1 asks.
  void PullOnSignal();

 private:
  const std::optional<uint64_t> m_limit;
  EventLog& m_log;
  std::atomic<uint64_t> m_asked{0};
  std::atomic<bool> m_gone{false};
};

}  // namespace kalvex::fakemedium
