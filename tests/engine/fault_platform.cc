#include "tests/engine/fault_platform.h"

#include <cstring>

namespace kalvex::testing {

namespace {

uint64_t FileNumberOf(const char* path) {
  const char* name = std::strrchr(path, '/');
  name = name ? name + 1 : path;
  uint64_t number = 0;
  const char* p = name;
  for (; *p >= '0' && *p <= '9'; ++p) number = number * 10 + static_cast<uint64_t>(*p - '0');
  return (p != name && std::strcmp(p, ".kvx") == 0) ? number : 0;
}

std::string Event(const char* verb, uint64_t file, std::optional<uint64_t> block = {}) {
  std::string event = std::string(verb).append(" ").append(std::to_string(file));
  if (block) event.append(":").append(std::to_string(*block));
  return event;
}

std::string Failed(const std::string& event) {
  const size_t space = event.find(' ');
  return event.substr(0, space) + "-fail" + event.substr(space);
}

}  // namespace

FaultPlatform::~FaultPlatform() {
  // A test that failed half-way may leave files open.
  for (auto& entry : m_open) {
    ErrorCode ignored;
    m_real.Close(entry.first, &ignored);
  }
}

std::string FaultPlatform::Calls() const {
  std::string calls;
  for (const std::string& e : events) {
    if (e.rfind("write ", 0) == 0 || e.rfind("read ", 0) == 0) continue;
    calls += (calls.empty() ? "" : ", ") + e;
  }
  return calls;
}

uint64_t FaultPlatform::Count(const std::string& event) const {
  uint64_t n = 0;
  for (const std::string& e : events) n += e == event;
  return n;
}

bool FaultPlatform::Call(const std::string& event, ErrorCode* error,
                         const std::function<bool()>& real) {
  bool ok = false;
  if (auto it = fail.find(event); it != fail.end())
    *error = it->second;
  else
    ok = real();
  events.push_back(ok ? event : Failed(event));
  return ok;
}

bool FaultPlatform::CreateNew(FolderHandle folder, const char* name, FileHandle* file,
                              ErrorCode* error) {
  const uint64_t number = FileNumberOf(name);
  if (!Call(Event("create", number), error,
            [&] { return m_real.CreateNew(folder, name, file, error); }))
    return false;
  m_open[*file] = OpenFile{number};
  return true;
}

bool FaultPlatform::OpenExisting(FolderHandle folder, const char* name, FileHandle* file,
                                 ErrorCode* error) {
  const uint64_t number = FileNumberOf(name);
  if (!Call(Event("open", number), error,
            [&] { return m_real.OpenExisting(folder, name, file, error); }))
    return false;
  m_open[*file] = OpenFile{number};
  if (number == 1) ++m_passes;
  return true;
}

bool FaultPlatform::Write(FileHandle file, const void* data, size_t size, ErrorCode* error) {
  OpenFile& open = m_open.at(file);
  const IoInfo info{open.file, open.written, ++m_writeCalls, m_passes};
  if (on_write) on_write(info);
  if (!Call(Event("write", info.file, info.block), error,
            [&] { return discard_writes || m_real.Write(file, data, size, error); }))
    return false;
  ++open.written;
  ++writes;
  first_words.push_back(*static_cast<const uint64_t*>(data));
  return true;
}

bool FaultPlatform::Read(FileHandle file, void* data, size_t size, size_t* got,
                         ErrorCode* error) {
  OpenFile& open = m_open.at(file);
  const IoInfo info{open.file, open.read, ++m_readCalls, m_passes};
  const std::string event = Event("read", info.file, info.block);
  if (!Call(event, error, [&] { return m_real.Read(file, data, size, got, error); }))
    return false;
  if (auto it = short_reads.find(event); it != short_reads.end() && it->second < *got)
    *got = it->second;
  ++open.read;
  ++reads;
  if (on_read && *got > 0) on_read(info, static_cast<uint8_t*>(data));
  return true;
}

bool FaultPlatform::Flush(FileHandle file, ErrorCode* error) {
  return Call(Event("flush", m_open.at(file).file), error,
              [&] { return discard_writes || m_real.Flush(file, error); });
}

bool FaultPlatform::Close(FileHandle file, ErrorCode* error) {
  // The file is really closed; an injected fault only changes the result.
  auto open = m_open.find(file);
  const uint64_t number = open == m_open.end() ? 0 : open->second.file;
  if (open != m_open.end()) m_open.erase(open);
  const bool real_ok = m_real.Close(file, error);
  return Call(Event("close", number), error, [&] { return real_ok; });
}

bool FaultPlatform::VolumeSpace(const char* path, uint64_t* free_to_caller, uint64_t* total) {
  if (fail_volume_query) return false;
  if (!volume) return m_real.VolumeSpace(path, free_to_caller, total);
  *free_to_caller = volume->first;
  *total = volume->second;
  return true;
}

}  // namespace kalvex::testing
