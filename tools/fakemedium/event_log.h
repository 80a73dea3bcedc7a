// The record of what the medium did to the data and which requests it
// failed, so that a test can take its expectations from the simulator
// itself. One line per event, numbers in decimal bytes:
//   write A LEN -> B      LEN bytes for address A were stored at store offset B
//   drop A LEN            LEN bytes written at A were lost
//   flip OFFSET BIT       a read returned bit BIT of byte OFFSET turned over
//   ERR read|write A LEN  the request failed; ERR is eio, enxio or enospc
//   ERR write A LEN P=N   the same, for a write whose first whole sector was
//                         the test sector of test offset N
//   vanished after N bytes | vanished on SIGUSR1
// Each line is flushed when written, so it can be read while the simulator
// runs. Without a file nothing is recorded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

namespace kalvex::fakemedium {

class EventLog {
 public:
  EventLog() = default;
  // Takes over the stream and closes it at the end.
  explicit EventLog(FILE* stream) : m_stream(stream) {}
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  // Appends to path. Throws std::runtime_error when it cannot be opened.
  static FILE* OpenForAppend(const std::string& path);

  void Stored(uint64_t address, uint64_t length, uint64_t store_offset);
  void Dropped(uint64_t address, uint64_t length);
  void Flipped(uint64_t offset, unsigned bit);
  // error is EIO, ENXIO or ENOSPC.
  void Failed(int error, bool write, uint64_t address, uint64_t length,
              std::optional<uint64_t> test_offset = std::nullopt);
  void VanishedAfter(uint64_t bytes);
  void VanishedOnSignal();

 private:
  void Line(const std::string& text);

  std::mutex m_lock;  // whole lines only, whichever thread writes
  FILE* m_stream = nullptr;
};

}  // namespace kalvex::fakemedium
