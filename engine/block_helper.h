// The second thread of a pass. While the pass's own thread waits for the
// medium with one block, the helper does the pattern work of the other:
// fills the block to be written next, or checks the block read last. So the
// CPU time of a pass hides behind its I/O time instead of adding to it.
//
// One thread per pass, started by the constructor and joined by the
// destructor, so that it is gone on every way out of the pass. It holds at
// most one block at a time; handing one over and waiting for it costs one
// mutex round-trip each, once per 1 MiB block.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace kalvex {

class BlockHelper {
 public:
  // What the helper does with a block handed to it: the block of the test
  // data at `offset`, and the counter value `stamp` that came with it.
  using Work = void (*)(void* context, uint8_t* block, uint64_t offset, int64_t stamp);

  // Starts the thread. When the system gives none, Hand does the work on the
  // caller's thread: the pass then runs as before, without overlap.
  BlockHelper(Work work, void* context, Platform& platform);
  // Waits for the block in hand to be done (see Wait), then ends the thread.
  ~BlockHelper();
  BlockHelper(const BlockHelper&) = delete;
  BlockHelper& operator=(const BlockHelper&) = delete;

  // Hands the block at `offset` over. The block handed over before must have
  // been waited for, and neither side touches `block` until Wait returns.
  void Hand(uint8_t* block, uint64_t offset, int64_t stamp = 0);
  // Returns once the block handed over last is done; at once if there is
  // none. Everything the work did is then visible to the caller. A block the
  // thread has not begun yet (it was not given a core in time) is done here
  // on the caller's thread instead: the pass never waits for the scheduler.
  void Wait();

 private:
  void Run(Platform& platform);

  const Work m_work;
  void* const m_context;
  std::mutex m_mutex;
  std::condition_variable m_handed;  // a block, or the end, for the thread
  std::condition_variable m_done;    // the block in hand is done
  uint8_t* m_block = nullptr;        // the block in hand; null when none
  uint64_t m_offset = 0;
  int64_t m_stamp = 0;
  bool m_begun = false;              // the thread works on m_block
  bool m_stop = false;
  std::thread m_thread;
};

}  // namespace kalvex
