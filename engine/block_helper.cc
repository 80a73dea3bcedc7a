#include "engine/block_helper.h"

#include <system_error>

namespace kalvex {

BlockHelper::BlockHelper(Work work, void* context, Platform& platform)
    : m_work(work), m_context(context) {
  try {
    m_thread = std::thread([this, &platform] { Run(platform); });
  } catch (const std::system_error&) {
    // No second thread: Hand works inline.
  }
}

BlockHelper::~BlockHelper() {
  if (!m_thread.joinable()) return;
  Wait();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_handed.notify_one();
  m_thread.join();
}

void BlockHelper::Hand(uint8_t* block, uint64_t offset, int64_t stamp) {
  if (!m_thread.joinable()) {
    m_work(m_context, block, offset, stamp);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_block = block;
    m_offset = offset;
    m_stamp = stamp;
  }
  m_handed.notify_one();
}

void BlockHelper::Wait() {
  if (!m_thread.joinable()) return;
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_block != nullptr && !m_begun) {
    uint8_t* const block = m_block;
    const uint64_t offset = m_offset;
    const int64_t stamp = m_stamp;
    m_block = nullptr;
    lock.unlock();
    m_work(m_context, block, offset, stamp);
    return;
  }
  m_done.wait(lock, [this] { return m_block == nullptr; });
}

void BlockHelper::Run(Platform& platform) {
  // As urgent as the pass's own thread, or the pass would wait for it.
  platform.RaiseThreadPriority();
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_handed.wait(lock, [this] { return m_block != nullptr || m_stop; });
    if (m_block == nullptr) return;  // stopped, with nothing in hand
    uint8_t* const block = m_block;
    const uint64_t offset = m_offset;
    const int64_t stamp = m_stamp;
    m_begun = true;
    lock.unlock();
    m_work(m_context, block, offset, stamp);
    lock.lock();
    m_block = nullptr;
    m_begun = false;
    m_done.notify_one();
  }
}

}  // namespace kalvex
