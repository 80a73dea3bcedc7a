// Helpers of the user-interface tests: a platform that uses the real file
// system but reports a volume of the test's choosing, can run on a virtual
// clock and can hold the worker at a chosen block; temporary folders, test
// files, a scoped UI language, and the main window's captions, shared by the
// model tests and the window tests.
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

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kGiB = 1073741824;

class TestPlatform final : public Platform {
 public:
  // With a virtual clock the counter runs at 1000 counts per second and moves
  // only when a block is written or read, by the given milliseconds, so runs
  // show the same figures every time.
  explicit TestPlatform(bool virtual_clock = false, int64_t write_ms = 0, int64_t read_ms = 0)
      : virtual_clock_(virtual_clock), write_ms_(write_ms), read_ms_(read_ms) {}

  // Every volume that exists reports these figures; one that does not still
  // fails as it really does.
  void SetVolume(uint64_t free_mb, uint64_t capacity_mb) {
    free_mb_ = free_mb;
    capacity_mb_ = capacity_mb;
  }
  // Every volume query fails, as for a medium the system cannot read.
  void FailVolumeQuery(bool fail) { fail_volume_ = fail; }
  // What PrepareToRead answers instead of the real system.
  void SetCacheBypass(CacheBypass bypass) {
    cache_bypass_ = static_cast<int>(bypass);
  }

  // Holds the worker inside its n-th block write (or read) of this platform,
  // counted from 1, before the block reaches the file, until Release.
  void HoldAtWrite(uint64_t n) { Hold(hold_write_, n); }
  void HoldAtRead(uint64_t n) { Hold(hold_read_, n); }
  // Waits until the worker is held; false when it was not within the limit.
  bool WaitUntilHeld(int limit_seconds = 120);
  void Release();
  uint64_t Reads() const { return reads_.load(); }

  bool Write(FileHandle file, const void* data, size_t size, ErrorCode* error) override;
  bool Read(FileHandle file, void* data, size_t size, size_t* got, ErrorCode* error) override;
  bool VolumeSpace(const char* path, uint64_t* free_to_caller, uint64_t* total) override;
  int64_t Counter() override { return virtual_clock_ ? now_ms_.load() : real_.Counter(); }
  int64_t CounterFrequency() override { return virtual_clock_ ? 1000 : real_.CounterFrequency(); }

  bool OpenFolder(const char* path, FolderHandle* folder, ErrorCode* error) override {
    return real_.OpenFolder(path, folder, error);
  }
  void CloseFolder(FolderHandle folder) override { real_.CloseFolder(folder); }
  bool FolderStillAt(FolderHandle folder, const char* path) override {
    return real_.FolderStillAt(folder, path);
  }
  bool CreateNew(FolderHandle folder, const char* name, FileHandle* file,
                 ErrorCode* error) override {
    return real_.CreateNew(folder, name, file, error);
  }
  bool OpenExisting(FolderHandle folder, const char* name, FileHandle* file,
                    ErrorCode* error) override {
    return real_.OpenExisting(folder, name, file, error);
  }
  bool Flush(FileHandle file, ErrorCode* error) override { return real_.Flush(file, error); }
  bool Close(FileHandle file, ErrorCode* error) override { return real_.Close(file, error); }
  uint64_t FileSize(FileHandle file) override { return real_.FileSize(file); }
  bool RemoveFile(FolderHandle folder, const char* name, ErrorCode* error) override {
    return real_.RemoveFile(folder, name, error);
  }
  bool ForEachEntry(FolderHandle folder,
                    const std::function<bool(const char* name)>& visit) override {
    return real_.ForEachEntry(folder, visit);
  }
  void RaiseThreadPriority() override { real_.RaiseThreadPriority(); }
  std::string ErrorText(ErrorCode error) override { return real_.ErrorText(error); }
  bool IsDiskFull(ErrorCode error) override { return real_.IsDiskFull(error); }
  bool IsNotFound(ErrorCode error) override { return real_.IsNotFound(error); }
  CacheBypass PrepareToRead(FolderHandle folder) override {
    const int forced = cache_bypass_.load();
    return forced < 0 ? real_.PrepareToRead(folder) : static_cast<CacheBypass>(forced);
  }

 private:
  void Hold(std::atomic<uint64_t>& at, uint64_t n);
  void MaybeHold(uint64_t count, uint64_t hold_at);

  Platform& real_ = SystemPlatform();
  const bool virtual_clock_;
  const int64_t write_ms_;
  const int64_t read_ms_;
  std::atomic<int64_t> now_ms_{1000};
  std::atomic<uint64_t> free_mb_{0};
  std::atomic<uint64_t> capacity_mb_{0};  // 0: the real volume's figures
  std::atomic<bool> fail_volume_{false};
  std::atomic<int> cache_bypass_{-1};  // -1: the real system's answer
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
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string String() const { return path_.string(); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

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

// The captions of the main window's controls by id; the first nine are set
// by a language switch, in this order, the others stay.
struct CaptionCase {
  int id;
  const char* german;
  const char* english;
};
inline constexpr CaptionCase kMainCaptions[] = {
    {1002, "Ziel wählen", "Select target"},
    {1019, "Aktualisieren", "Refresh"},
    {1006, "Schreiben + Prüfen", "Write + Verify"},
    {1007, "Prüfen", "Verify"},
    {1024, "Ziel", "Target"},
    {1025, "Datenmenge", "Data volume"},
    {1000, "gesamter freier Platz", "all available space"},
    {1001, "nur", "only"},
    {1008, "Prüfen als Dauertest", "endless verify"},
    {1020, "MByte", "MByte"},
    {1022, "Deutsch", "Deutsch"},
    {1023, "English", "English"},
};

}  // namespace kalvex::testing
