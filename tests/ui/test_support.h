// Helpers of the user-interface tests: a platform that uses the real file
// system but reports a volume of the test's choosing and can hold the worker
// at a chosen block, temporary folders, sparse test files and a scoped UI
// language.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "engine/language.h"
#include "platform/platform.h"

namespace kalvex::testing {

class TestPlatform final : public Platform {
 public:
  // With a virtual clock the counter runs at 1000 counts per second and moves
  // only when a block is written or read, by the given milliseconds, so runs
  // show the same figures every time.
  explicit TestPlatform(bool virtual_clock = false, int64_t write_ms = 0, int64_t read_ms = 0);

  // Every volume that exists reports these figures; one that does not still
  // fails as it really does.
  void SetVolume(uint64_t free_mb, uint64_t capacity_mb);
  void UseRealVolume();

  // Holds the worker inside its n-th block write (or read) of this platform,
  // counted from 1, before the block reaches the file, until Release.
  void HoldAtWrite(uint64_t n);
  void HoldAtRead(uint64_t n);
  bool Held() const { return held_.load(); }
  // Waits until the worker is held; false when it was not within the limit.
  bool WaitUntilHeld(int limit_seconds = 120);
  void Release();

  uint64_t Writes() const { return writes_.load(); }
  uint64_t Reads() const { return reads_.load(); }

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

 private:
  void MaybeHold(uint64_t count, uint64_t hold_at);

  Platform& real_;
  const bool virtual_clock_;
  const int64_t write_ms_;
  const int64_t read_ms_;
  std::atomic<int64_t> now_ms_{1000};

  std::mutex volume_lock_;
  bool fixed_volume_ = false;
  uint64_t free_mb_ = 0;
  uint64_t capacity_mb_ = 0;

  std::atomic<uint64_t> writes_{0};
  std::atomic<uint64_t> reads_{0};
  std::atomic<uint64_t> hold_write_{0};
  std::atomic<uint64_t> hold_read_{0};
  std::atomic<bool> held_{false};
  std::mutex hold_lock_;
  std::condition_variable hold_changed_;
  bool released_ = false;
};

// A fresh folder under the system's temporary directory, removed with all
// its content at the end of its scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string String() const { return path_.string(); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kGiB = 1073741824;

// A file of the given size without writing its content (a sparse file).
void MakeSparseFile(const std::filesystem::path& path, uint64_t bytes);
// Overwrites count bytes at offset with a pattern no test data holds.
void DamageFile(const std::filesystem::path& path, uint64_t offset, size_t count);
// Inverts one bit of the byte at offset.
void FlipBit(const std::filesystem::path& path, uint64_t offset, int bit);

// Sets the user-interface language for one scope.
class ScopedLanguage {
 public:
  explicit ScopedLanguage(int language) : saved_(g_language) { g_language = language; }
  ~ScopedLanguage() { g_language = saved_; }
  ScopedLanguage(const ScopedLanguage&) = delete;
  ScopedLanguage& operator=(const ScopedLanguage&) = delete;

 private:
  int saved_;
};

}  // namespace kalvex::testing
