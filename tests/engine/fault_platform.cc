#include "tests/engine/fault_platform.h"

#include <cstring>

namespace kalvex::testing {

namespace {
std::string FileBlock(const char* what, uint64_t file_number, uint64_t block) {
  return std::string(what) + " " + std::to_string(file_number) + ":" + std::to_string(block);
}
std::string FileOnly(const char* what, uint64_t file_number) {
  return std::string(what) + " " + std::to_string(file_number);
}
}  // namespace

FaultPlatform::FaultPlatform(Platform& real) : m_real(real) {}

FaultPlatform::~FaultPlatform() {
  // A test that failed half-way may leave files open; do not leak them into
  // the next test.
  for (auto& entry : m_open) {
    ErrorCode ignored;
    m_real.Close(entry.first, &ignored);
  }
}

uint64_t FaultPlatform::FileNumberOf(const char* path) {
  const char* name = std::strrchr(path, '/');
  name = name ? name + 1 : path;
  uint64_t number = 0;
  const char* p = name;
  for (; *p >= '0' && *p <= '9'; ++p) number = number * 10 + static_cast<uint64_t>(*p - '0');
  return (p != name && std::strcmp(p, ".kvx") == 0) ? number : 0;
}

void FaultPlatform::Log(std::string event) { m_events.push_back(std::move(event)); }

// --- Configuration ---

void FaultPlatform::FailCreate(uint64_t file_number, ErrorCode code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failCreate[file_number] = code;
}
void FaultPlatform::FailWriteAt(uint64_t nth_write, ErrorCode code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failWriteAt[nth_write] = code;
}
void FaultPlatform::FailWriteInFile(uint64_t file_number, uint64_t block, ErrorCode code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failWriteInFile[{file_number, block}] = code;
}
void FaultPlatform::FailFlush(uint64_t file_number, ErrorCode code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failFlush[file_number] = code;
}
void FaultPlatform::FailClose(uint64_t file_number, ErrorCode code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failClose[file_number] = code;
}
void FaultPlatform::FailOpen(uint64_t file_number, ErrorCode code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failOpen[file_number] = code;
}
void FaultPlatform::FailReadAt(uint64_t nth_read, ErrorCode code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failReadAt[nth_read] = code;
}
void FaultPlatform::FailReadInFile(uint64_t file_number, uint64_t block, ErrorCode code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failReadInFile[{file_number, block}] = code;
}
void FaultPlatform::ShortReadInFile(uint64_t file_number, uint64_t block, size_t got) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_shortRead[{file_number, block}] = got;
}
void FaultPlatform::DiscardWrites(bool discard) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_discardWrites = discard;
}
void FaultPlatform::SetVolumeSpace(uint64_t free_to_caller, uint64_t total) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_volume = {free_to_caller, total};
  m_failVolume = false;
}
void FaultPlatform::FailVolumeQuery() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failVolume = true;
}
void FaultPlatform::SetErrorText(std::string text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_errorText = std::move(text);
}
void FaultPlatform::SetCounterFrequency(int64_t frequency) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_frequency = frequency;
}
void FaultPlatform::UseSteppingCounter(int64_t start) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_nextCounter = start;
}
void FaultPlatform::OnRead(ReadHook hook) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_readHook = std::move(hook);
}
void FaultPlatform::OnWrite(WriteHook hook) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_writeHook = std::move(hook);
}

// --- Holding a write ---

void FaultPlatform::HoldWrite(uint64_t nth_write) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_holdWrite = nth_write;
  m_held = false;
  m_released = false;
}

bool FaultPlatform::WaitUntilWriteHeld(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_holdCv.wait_for(lock, timeout, [this] { return m_held; });
}

void FaultPlatform::ReleaseHeldWrite() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_released = true;
  }
  m_holdCv.notify_all();
}

// --- Observations ---

uint64_t FaultPlatform::Creates() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_creates;
}
uint64_t FaultPlatform::Writes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_writes;
}
uint64_t FaultPlatform::Reads() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_reads;
}
uint64_t FaultPlatform::OpenCount(uint64_t file_number) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_opens.find(file_number);
  return it == m_opens.end() ? 0 : it->second;
}
uint64_t FaultPlatform::OpenHandles() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_open.size();
}
std::vector<uint64_t> FaultPlatform::WrittenFirstWords() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_firstWords;
}
std::vector<std::string> FaultPlatform::Events() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_events;
}
bool FaultPlatform::HasEvent(const std::string& event) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const auto& e : m_events)
    if (e == event) return true;
  return false;
}

// --- Platform ---

bool FaultPlatform::CreateNew(const char* path, FileHandle* file, ErrorCode* error) {
  const uint64_t number = FileNumberOf(path);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_creates;
    auto it = m_failCreate.find(number);
    if (it != m_failCreate.end()) {
      *error = it->second;
      Log(FileOnly("create-fail", number));
      return false;
    }
  }
  if (!m_real.CreateNew(path, file, error)) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Log(FileOnly("create-fail", number));
    return false;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_open[*file] = OpenFile{number, 0, 0};
  Log(FileOnly("create", number));
  return true;
}

bool FaultPlatform::OpenExisting(const char* path, FileHandle* file, ErrorCode* error) {
  const uint64_t number = FileNumberOf(path);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_failOpen.find(number);
    if (it != m_failOpen.end()) {
      *error = it->second;
      Log(FileOnly("open-fail", number));
      return false;
    }
  }
  if (!m_real.OpenExisting(path, file, error)) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Log(FileOnly("open-fail", number));
    return false;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_open[*file] = OpenFile{number, 0, 0};
  ++m_opens[number];
  Log(FileOnly("open", number));
  return true;
}

bool FaultPlatform::Write(FileHandle file, const void* data, size_t size, ErrorCode* error) {
  WriteInfo info;
  WriteHook hook;
  bool discard = false;
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    OpenFile& open = m_open.at(file);
    info = WriteInfo{open.file_number, open.blocks_written, ++m_writeCalls};
    hook = m_writeHook;
    discard = m_discardWrites;
    if (m_holdWrite != 0 && info.write_number == m_holdWrite) {
      m_held = true;
      m_holdCv.notify_all();
      // Bounded, so that a test that never releases cannot hang the suite.
      m_holdCv.wait_for(lock, std::chrono::minutes(2), [this] { return m_released; });
    }
  }
  if (hook) hook(info);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ErrorCode code = 0;
    bool fail = false;
    if (auto it = m_failWriteAt.find(info.write_number); it != m_failWriteAt.end()) {
      code = it->second;
      fail = true;
    } else if (auto it2 = m_failWriteInFile.find({info.file_number, info.block_in_file});
               it2 != m_failWriteInFile.end()) {
      code = it2->second;
      fail = true;
    }
    if (fail) {
      *error = code;
      Log(FileBlock("write-fail", info.file_number, info.block_in_file));
      return false;
    }
  }
  if (!discard && !m_real.Write(file, data, size, error)) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Log(FileBlock("write-fail", info.file_number, info.block_in_file));
    return false;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_open.at(file).blocks_written;
  ++m_writes;
  uint64_t first_word = 0;
  std::memcpy(&first_word, data, sizeof first_word);
  m_firstWords.push_back(first_word);
  Log(FileBlock("write", info.file_number, info.block_in_file));
  return true;
}

bool FaultPlatform::Read(FileHandle file, void* data, size_t size, size_t* got,
                         ErrorCode* error) {
  ReadInfo info;
  ReadHook hook;
  std::optional<size_t> short_got;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    OpenFile& open = m_open.at(file);
    info = ReadInfo{open.file_number, open.blocks_read, ++m_readCalls, m_opens[1]};
    hook = m_readHook;
    ErrorCode code = 0;
    bool fail = false;
    if (auto it = m_failReadAt.find(info.read_number); it != m_failReadAt.end()) {
      code = it->second;
      fail = true;
    } else if (auto it2 = m_failReadInFile.find({info.file_number, info.block_in_file});
               it2 != m_failReadInFile.end()) {
      code = it2->second;
      fail = true;
    }
    if (fail) {
      *error = code;
      Log(FileBlock("read-fail", info.file_number, info.block_in_file));
      return false;
    }
    if (auto it = m_shortRead.find({info.file_number, info.block_in_file});
        it != m_shortRead.end())
      short_got = it->second;
  }
  if (!m_real.Read(file, data, size, got, error)) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Log(FileBlock("read-fail", info.file_number, info.block_in_file));
    return false;
  }
  if (short_got && *short_got < *got) *got = *short_got;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_open.at(file).blocks_read;
    ++m_reads;
    Log(FileBlock("read", info.file_number, info.block_in_file));
  }
  if (hook && *got > 0) hook(info, static_cast<uint8_t*>(data), *got);
  return true;
}

bool FaultPlatform::Flush(FileHandle file, ErrorCode* error) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const uint64_t number = m_open.at(file).file_number;
  if (auto it = m_failFlush.find(number); it != m_failFlush.end()) {
    *error = it->second;
    Log(FileOnly("flush-fail", number));
    return false;
  }
  bool discarded_all = m_discardWrites;
  if (!discarded_all && !m_real.Flush(file, error)) {
    Log(FileOnly("flush-fail", number));
    return false;
  }
  Log(FileOnly("flush", number));
  return true;
}

bool FaultPlatform::Close(FileHandle file, ErrorCode* error) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto open = m_open.find(file);
  const uint64_t number = open == m_open.end() ? 0 : open->second.file_number;
  const bool real_ok = m_real.Close(file, error);
  if (open != m_open.end()) m_open.erase(open);
  if (auto it = m_failClose.find(number); it != m_failClose.end()) {
    *error = it->second;
    Log(FileOnly("close-fail", number));
    return false;
  }
  Log(FileOnly(real_ok ? "close" : "close-fail", number));
  return real_ok;
}

uint64_t FaultPlatform::FileSize(FileHandle file) { return m_real.FileSize(file); }

bool FaultPlatform::AnyEntryMatches(const char* pattern) {
  return m_real.AnyEntryMatches(pattern);
}

bool FaultPlatform::VolumeSpace(const char* path, uint64_t* free_to_caller, uint64_t* total) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failVolume) return false;
    if (m_volume) {
      *free_to_caller = m_volume->first;
      *total = m_volume->second;
      return true;
    }
  }
  return m_real.VolumeSpace(path, free_to_caller, total);
}

int64_t FaultPlatform::Counter() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nextCounter) return (*m_nextCounter)++;
  }
  return m_real.Counter();
}

int64_t FaultPlatform::CounterFrequency() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_frequency) return *m_frequency;
  }
  return m_real.CounterFrequency();
}

void FaultPlatform::RaiseThreadPriority() { m_real.RaiseThreadPriority(); }

std::string FaultPlatform::ErrorText(ErrorCode error) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_errorText) return *m_errorText;
  }
  return m_real.ErrorText(error);
}

bool FaultPlatform::IsDiskFull(ErrorCode error) { return m_real.IsDiskFull(error); }
bool FaultPlatform::IsNotFound(ErrorCode error) { return m_real.IsNotFound(error); }
bool FaultPlatform::UsedCachedIo() { return m_real.UsedCachedIo(); }

}  // namespace kalvex::testing
