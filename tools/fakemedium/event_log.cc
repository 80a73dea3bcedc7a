#include "tools/fakemedium/event_log.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kalvex::fakemedium {

namespace {

std::string ErrorName(int error) {
  switch (error) {
    case EIO:
      return "eio";
    case ENXIO:
      return "enxio";
    case ENOSPC:
      return "enospc";
    default:
      return "errno" + std::to_string(error);
  }
}

}  // namespace

EventLog::~EventLog() {
  if (m_stream != nullptr) fclose(m_stream);
}

FILE* EventLog::OpenForAppend(const std::string& path) {
  FILE* stream = fopen(path.c_str(), "ae");
  if (stream == nullptr)
    throw std::runtime_error("cannot open log " + path + ": " + std::strerror(errno));
  return stream;
}

void EventLog::Stored(uint64_t address, uint64_t length, uint64_t store_offset) {
  if (m_stream == nullptr) return;
  Line("write " + std::to_string(address) + " " + std::to_string(length) + " -> " +
       std::to_string(store_offset));
}

void EventLog::Dropped(uint64_t address, uint64_t length) {
  if (m_stream == nullptr) return;
  Line("drop " + std::to_string(address) + " " + std::to_string(length));
}

void EventLog::Flipped(uint64_t offset, unsigned bit) {
  if (m_stream == nullptr) return;
  Line("flip " + std::to_string(offset) + " " + std::to_string(bit));
}

void EventLog::Failed(int error, bool write, uint64_t address, uint64_t length,
                      std::optional<uint64_t> test_offset) {
  if (m_stream == nullptr) return;
  Line(ErrorName(error) + (write ? " write " : " read ") + std::to_string(address) + " " +
       std::to_string(length) + (test_offset ? " P=" + std::to_string(*test_offset) : ""));
}

void EventLog::VanishedAfter(uint64_t bytes) {
  if (m_stream == nullptr) return;
  Line("vanished after " + std::to_string(bytes) + " bytes");
}

void EventLog::VanishedOnSignal() {
  if (m_stream == nullptr) return;
  Line("vanished on SIGUSR1");
}

void EventLog::Line(const std::string& text) {
  const std::lock_guard lock(m_lock);
  std::fputs(text.c_str(), m_stream);
  std::fputc('\n', m_stream);
  std::fflush(m_stream);
}

}  // namespace kalvex::fakemedium
