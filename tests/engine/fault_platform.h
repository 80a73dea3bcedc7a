// A Platform for the engine's tests: it passes every call to the real system
// layer (real files in a temporary folder) and fails or changes single calls
// on demand, so that every error path of the passes can be reached without a
// faulty medium.
//
// Calls are named as events: "create 1", "write 1:0", "flush 1", "close 1",
// "open 2", "read 2:0" (file number, block within the file from 0); a failed
// call is logged with "-fail" after its verb ("open-fail 3"). A name without
// a number is file 0.
//
// It holds no lock: the tests set it up before a run and read it after the
// worker has been joined, and its hooks run on the worker itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace kalvex::testing {

struct IoInfo {
  uint64_t file = 0;
  uint64_t block = 0;  // within the file, from 0
  uint64_t nth = 0;    // running count of writes or reads, from 1
  uint64_t pass = 0;   // how often file 1 has been opened so far
};

class FaultPlatform final : public Platform {
 public:
  explicit FaultPlatform(Platform& real = SystemPlatform()) : m_real(real) {}
  ~FaultPlatform() override;

  // --- Set before a run ---
  std::map<std::string, ErrorCode> fail;      // the call named so fails, every time
  std::map<std::string, size_t> short_reads;  // the read named so delivers fewer bytes
  bool discard_writes = false;  // writes succeed, but nothing reaches the disk
  std::optional<std::pair<uint64_t, uint64_t>> volume;  // free to caller, total
  bool fail_volume_query = false;
  // From the n-th check on (counted from 1) the target's path no longer
  // leads to the run's folder, as after an unmount; 0: never.
  uint64_t gone_from_check = 0;
  // What PrepareToRead answers; none: the real system's answer.
  std::optional<CacheBypass> cache_bypass;
  std::optional<std::string> error_text;  // the system's text for every code
  std::optional<int64_t> frequency;
  std::optional<int64_t> next_counter;  // Counter() then counts up from here
  std::function<void(const IoInfo&)> on_write;  // before each write
  std::function<void(const IoInfo&, uint8_t* data)> on_read;  // after each read with data

  // --- What happened ---
  std::vector<std::string> events;
  std::vector<uint64_t> first_words;  // word 0 of every block written
  uint64_t writes = 0, reads = 0;     // successful ones, discarded writes included
  uint64_t folder_checks = 0;         // FolderStillAt calls
  uint64_t prepared_reads = 0;        // PrepareToRead calls
  // The events but the successful block writes and reads, joined by ", ".
  std::string Calls() const;
  uint64_t Count(const std::string& event) const;
  size_t OpenHandles() const { return m_open.size(); }

  bool OpenFolder(const char* path, FolderHandle* folder, ErrorCode* error) override {
    return m_real.OpenFolder(path, folder, error);
  }
  void CloseFolder(FolderHandle folder) override { m_real.CloseFolder(folder); }
  bool FolderStillAt(FolderHandle folder, const char* path) override {
    ++folder_checks;
    if (gone_from_check != 0 && folder_checks >= gone_from_check) return false;
    return m_real.FolderStillAt(folder, path);
  }
  bool CreateNew(FolderHandle folder, const char* name, FileHandle* file,
                 ErrorCode* error) override;
  bool OpenExisting(FolderHandle folder, const char* name, FileHandle* file,
                    ErrorCode* error) override;
  bool Write(FileHandle file, const void* data, size_t size, ErrorCode* error) override;
  bool Read(FileHandle file, void* data, size_t size, size_t* got, ErrorCode* error) override;
  bool Flush(FileHandle file, ErrorCode* error) override;
  bool Close(FileHandle file, ErrorCode* error) override;
  uint64_t FileSize(FileHandle file) override { return m_real.FileSize(file); }
  bool RemoveFile(FolderHandle folder, const char* name, ErrorCode* error) override {
    return m_real.RemoveFile(folder, name, error);
  }
  bool ForEachEntry(FolderHandle folder,
                    const std::function<bool(const char* name)>& visit) override {
    return m_real.ForEachEntry(folder, visit);
  }
  bool VolumeSpace(const char* path, uint64_t* free_to_caller, uint64_t* total) override;
  int64_t Counter() override { return next_counter ? (*next_counter)++ : m_real.Counter(); }
  int64_t CounterFrequency() override {
    return frequency ? *frequency : m_real.CounterFrequency();
  }
  void RaiseThreadPriority() override { m_real.RaiseThreadPriority(); }
  std::string ErrorText(ErrorCode error) override {
    return error_text ? *error_text : m_real.ErrorText(error);
  }
  bool IsDiskFull(ErrorCode error) override { return m_real.IsDiskFull(error); }
  bool IsNotFound(ErrorCode error) override { return m_real.IsNotFound(error); }
  CacheBypass PrepareToRead(FolderHandle folder) override {
    ++prepared_reads;
    return cache_bypass ? *cache_bypass : m_real.PrepareToRead(folder);
  }

 private:
  struct OpenFile {
    uint64_t file = 0, written = 0, read = 0;
  };
  // An injected fault first, else the real call; logs the outcome.
  bool Call(const std::string& event, ErrorCode* error, const std::function<bool()>& real);

  Platform& m_real;
  std::map<FileHandle, OpenFile> m_open;
  uint64_t m_writeCalls = 0, m_readCalls = 0, m_passes = 0;
};

}  // namespace kalvex::testing
