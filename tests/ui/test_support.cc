#include "tests/ui/test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace kalvex::testing {

TestPlatform::TestPlatform(bool virtual_clock, int64_t write_ms, int64_t read_ms)
    : real_(SystemPlatform()),
      virtual_clock_(virtual_clock),
      write_ms_(write_ms),
      read_ms_(read_ms) {}

void TestPlatform::SetVolume(uint64_t free_mb, uint64_t capacity_mb) {
  std::lock_guard<std::mutex> guard(volume_lock_);
  fixed_volume_ = true;
  free_mb_ = free_mb;
  capacity_mb_ = capacity_mb;
}

void TestPlatform::UseRealVolume() {
  std::lock_guard<std::mutex> guard(volume_lock_);
  fixed_volume_ = false;
}

void TestPlatform::HoldAtWrite(uint64_t n) {
  std::lock_guard<std::mutex> guard(hold_lock_);
  released_ = false;
  hold_write_.store(n);
}

void TestPlatform::HoldAtRead(uint64_t n) {
  std::lock_guard<std::mutex> guard(hold_lock_);
  released_ = false;
  hold_read_.store(n);
}

bool TestPlatform::WaitUntilHeld(int limit_seconds) {
  std::unique_lock<std::mutex> lock(hold_lock_);
  return hold_changed_.wait_for(lock, std::chrono::seconds(limit_seconds),
                                [this] { return held_.load(); });
}

void TestPlatform::Release() {
  std::lock_guard<std::mutex> guard(hold_lock_);
  released_ = true;
  hold_write_.store(0);
  hold_read_.store(0);
  hold_changed_.notify_all();
}

void TestPlatform::MaybeHold(uint64_t count, uint64_t hold_at) {
  if (hold_at == 0 || count != hold_at) return;
  std::unique_lock<std::mutex> lock(hold_lock_);
  held_.store(true);
  hold_changed_.notify_all();
  hold_changed_.wait(lock, [this] { return released_; });
  held_.store(false);
}

bool TestPlatform::CreateNew(const char* path, FileHandle* file, ErrorCode* error) {
  return real_.CreateNew(path, file, error);
}

bool TestPlatform::OpenExisting(const char* path, FileHandle* file, ErrorCode* error) {
  return real_.OpenExisting(path, file, error);
}

bool TestPlatform::Write(FileHandle file, const void* data, size_t size, ErrorCode* error) {
  MaybeHold(++writes_, hold_write_.load());
  if (virtual_clock_) now_ms_ += write_ms_;
  return real_.Write(file, data, size, error);
}

bool TestPlatform::Read(FileHandle file, void* data, size_t size, size_t* got,
                        ErrorCode* error) {
  MaybeHold(++reads_, hold_read_.load());
  if (virtual_clock_) now_ms_ += read_ms_;
  return real_.Read(file, data, size, got, error);
}

bool TestPlatform::Flush(FileHandle file, ErrorCode* error) { return real_.Flush(file, error); }

bool TestPlatform::Close(FileHandle file, ErrorCode* error) { return real_.Close(file, error); }

uint64_t TestPlatform::FileSize(FileHandle file) { return real_.FileSize(file); }

bool TestPlatform::AnyEntryMatches(const char* pattern) { return real_.AnyEntryMatches(pattern); }

bool TestPlatform::VolumeSpace(const char* path, uint64_t* free_to_caller, uint64_t* total) {
  if (!real_.VolumeSpace(path, free_to_caller, total)) return false;
  std::lock_guard<std::mutex> guard(volume_lock_);
  if (fixed_volume_) {
    *free_to_caller = free_mb_ * kMiB;
    *total = capacity_mb_ * kMiB;
  }
  return true;
}

int64_t TestPlatform::Counter() { return virtual_clock_ ? now_ms_.load() : real_.Counter(); }

int64_t TestPlatform::CounterFrequency() {
  return virtual_clock_ ? 1000 : real_.CounterFrequency();
}

void TestPlatform::RaiseThreadPriority() { real_.RaiseThreadPriority(); }

std::string TestPlatform::ErrorText(ErrorCode error) { return real_.ErrorText(error); }

bool TestPlatform::IsDiskFull(ErrorCode error) { return real_.IsDiskFull(error); }

bool TestPlatform::IsNotFound(ErrorCode error) { return real_.IsNotFound(error); }

bool TestPlatform::UsedCachedIo() { return real_.UsedCachedIo(); }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kalvex-ui-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void MakeSparseFile(const std::filesystem::path& path, uint64_t bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path.string());
  const int rc = ftruncate(fd, static_cast<off_t>(bytes));
  close(fd);
  if (rc != 0) throw std::runtime_error("cannot size " + path.string());
}

void DamageFile(const std::filesystem::path& path, uint64_t offset, size_t count) {
  const int fd = open(path.c_str(), O_WRONLY);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string());
  std::vector<unsigned char> garbage(count);
  for (size_t i = 0; i < count; ++i) garbage[i] = static_cast<unsigned char>(0xA5 ^ (i * 7));
  const ssize_t n = pwrite(fd, garbage.data(), count, static_cast<off_t>(offset));
  fsync(fd);
  close(fd);
  if (n != static_cast<ssize_t>(count)) throw std::runtime_error("cannot damage " + path.string());
}

void FlipBit(const std::filesystem::path& path, uint64_t offset, int bit) {
  const int fd = open(path.c_str(), O_RDWR);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string());
  unsigned char byte = 0;
  bool done = pread(fd, &byte, 1, static_cast<off_t>(offset)) == 1;
  byte = static_cast<unsigned char>(byte ^ (1u << bit));
  done = done && pwrite(fd, &byte, 1, static_cast<off_t>(offset)) == 1;
  fsync(fd);
  close(fd);
  if (!done) throw std::runtime_error("cannot flip a bit in " + path.string());
}

}  // namespace kalvex::testing
