// A Platform for the engine's tests: it passes every call to the real system
// layer (real files in a temporary folder) and fails, changes or holds single
// calls on demand, so that every error path of the passes can be reached
// without a faulty medium.
//
// Files are identified by the number in their name ("3.kvx" is file 3); a
// name without a number is file 0. Block numbers within a file count from 0,
// the running numbers of writes and reads (over the platform's lifetime, so
// across passes) from 1.
//
// All members may be called from the test thread and from the engine's worker
// at the same time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kalvex::testing {

// Where a successful read landed; handed to the read hook.
struct ReadInfo {
  uint64_t file_number = 0;
  uint64_t block_in_file = 0;  // from 0
  uint64_t read_number = 0;    // running count of reads, from 1
  uint64_t pass = 0;           // how many times file 1 has been opened so far
};

// Where a write is about to go; handed to the write hook.
struct WriteInfo {
  uint64_t file_number = 0;
  uint64_t block_in_file = 0;
  uint64_t write_number = 0;  // running count of writes, from 1
};

class FaultPlatform final : public Platform {
 public:
  explicit FaultPlatform(Platform& real = SystemPlatform());
  ~FaultPlatform() override;

  // --- Faults. Each fires every time its condition matches. ---
  void FailCreate(uint64_t file_number, ErrorCode code);
  void FailWriteAt(uint64_t nth_write, ErrorCode code);
  void FailWriteInFile(uint64_t file_number, uint64_t block_in_file, ErrorCode code);
  void FailFlush(uint64_t file_number, ErrorCode code);
  // The file is really closed; only the result reports the failure.
  void FailClose(uint64_t file_number, ErrorCode code);
  void FailOpen(uint64_t file_number, ErrorCode code);
  void FailReadAt(uint64_t nth_read, ErrorCode code);
  void FailReadInFile(uint64_t file_number, uint64_t block_in_file, ErrorCode code);
  // The read succeeds but delivers only got bytes.
  void ShortReadInFile(uint64_t file_number, uint64_t block_in_file, size_t got);
  // Writes succeed and are counted, but nothing reaches the disk: lets a test
  // run through gigabytes of writing in a moment.
  void DiscardWrites(bool discard);

  // --- Volume and system texts ---
  void SetVolumeSpace(uint64_t free_to_caller, uint64_t total);
  void FailVolumeQuery();
  void SetErrorText(std::string text);
  void SetCounterFrequency(int64_t frequency);
  // Counter() then returns start, start + 1, start + 2, ...
  void UseSteppingCounter(int64_t start);

  // --- Hooks, called on the thread that does the I/O, without any lock of
  // this object held. ---
  using ReadHook = std::function<void(const ReadInfo&, uint8_t* data, size_t got)>;
  using WriteHook = std::function<void(const WriteInfo&)>;
  void OnRead(ReadHook hook);
  void OnWrite(WriteHook hook);  // before the write is carried out

  // --- Holding the worker: the nth write waits before it is carried out
  // until ReleaseHeldWrite. ---
  void HoldWrite(uint64_t nth_write);
  bool WaitUntilWriteHeld(std::chrono::milliseconds timeout);
  void ReleaseHeldWrite();

  // --- What happened ---
  uint64_t Creates() const;
  uint64_t Writes() const;  // successful writes, discarded ones included
  uint64_t Reads() const;
  uint64_t OpenCount(uint64_t file_number) const;  // successful OpenExisting calls
  uint64_t OpenHandles() const;  // files created or opened and not yet closed
  // Word 0 of the first sector of every successful write, in order.
  std::vector<uint64_t> WrittenFirstWords() const;
  // "create 1", "write 1:0", "flush 1", "close 1", "open 2", "read 2:0",
  // "open-fail 3", ... in the order of the calls that succeeded or failed.
  std::vector<std::string> Events() const;
  bool HasEvent(const std::string& event) const;

  // --- Platform ---
  bool CreateNew(const char* path, FileHandle* file, ErrorCode* error) override;
  bool OpenExisting(const char* path, FileHandle* file, ErrorCode* error) override;
  bool Write(FileHandle file, const void* data, size_t size, ErrorCode* error) override;
  bool Read(FileHandle file, void* data, size_t size, size_t* got, ErrorCode* error) override;
  bool Flush(FileHandle file, ErrorCode* error) override;
  bool Close(FileHandle file, ErrorCode* error) override;
  uint64_t FileSize(FileHandle file) override;
  bool AnyEntryMatches(const char* pattern) override;
  bool VolumeSpace(const char* path, uint64_t* free_to_caller, uint64_t* total) override;
  int64_t Counter() override;
  int64_t CounterFrequency() override;
  void RaiseThreadPriority() override;
  std::string ErrorText(ErrorCode error) override;
  bool IsDiskFull(ErrorCode error) override;
  bool IsNotFound(ErrorCode error) override;
  bool UsedCachedIo() override;

  // The number in a test file's name, 0 when there is none.
  static uint64_t FileNumberOf(const char* path);

 private:
  struct OpenFile {
    uint64_t file_number = 0;
    uint64_t blocks_written = 0;
    uint64_t blocks_read = 0;
  };
  using Key = std::pair<uint64_t, uint64_t>;  // file number, block in file

  void Log(std::string event);  // m_mutex held

  Platform& m_real;
  mutable std::mutex m_mutex;
  std::map<uint64_t, ErrorCode> m_failCreate, m_failWriteAt, m_failReadAt;
  std::map<Key, ErrorCode> m_failWriteInFile, m_failReadInFile;
  std::map<Key, size_t> m_shortRead;
  std::map<uint64_t, ErrorCode> m_failFlush, m_failClose, m_failOpen;
  bool m_discardWrites = false;
  std::optional<std::pair<uint64_t, uint64_t>> m_volume;
  bool m_failVolume = false;
  std::optional<std::string> m_errorText;
  std::optional<int64_t> m_frequency;
  std::optional<int64_t> m_nextCounter;
  ReadHook m_readHook;
  WriteHook m_writeHook;

  uint64_t m_holdWrite = 0;
  bool m_held = false;
  bool m_released = false;
  std::condition_variable m_holdCv;

  std::map<FileHandle, OpenFile> m_open;
  uint64_t m_creates = 0, m_writes = 0, m_reads = 0, m_writeCalls = 0, m_readCalls = 0;
  std::map<uint64_t, uint64_t> m_opens;
  std::vector<uint64_t> m_firstWords;
  std::vector<std::string> m_events;
};

}  // namespace kalvex::testing
