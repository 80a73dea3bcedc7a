#include "tools/fakemedium/vanish_switch.h"

namespace kalvex::fakemedium {

bool VanishSwitch::Admit(uint64_t length) {
  if (m_gone.load()) return false;
  if (!m_limit) return true;
  const uint64_t asked = m_asked.fetch_add(length) + length;
  if (asked <= *m_limit) return true;
  // Only the thread that flips the switch records it: one line per vanish.
  if (!m_gone.exchange(true)) m_log.VanishedAfter(asked - length);
  return false;
}

void VanishSwitch::PullOnSignal() {
  if (!m_gone.exchange(true)) m_log.VanishedOnSignal();
}

}  // namespace kalvex::fakemedium
