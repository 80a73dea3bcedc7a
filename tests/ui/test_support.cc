#include "tests/ui/test_support.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace kalvex::testing {

void TestPlatform::Hold(std::atomic<uint64_t>& at, uint64_t n) {
  std::lock_guard<std::mutex> guard(hold_lock_);
  released_ = false;
  at.store(n);
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

bool TestPlatform::VolumeSpace(const char* path, uint64_t* free_to_caller, uint64_t* total) {
  if (fail_volume_.load() || !real_.VolumeSpace(path, free_to_caller, total)) return false;
  if (capacity_mb_.load() != 0) {
    *free_to_caller = free_mb_.load() * kMiB;
    *total = capacity_mb_.load() * kMiB;
  }
  return true;
}

TempDir::TempDir() {
  // A name no other test process can have made: create_directory fails on
  // an existing folder, so a clash only costs another try.
  static std::atomic<unsigned> made{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        std::filesystem::temp_directory_path() /
        ("kalvex-ui-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(made++));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

void MakeSparseFile(const std::filesystem::path& path, uint64_t bytes) {
  std::ofstream{path, std::ios::binary | std::ios::trunc};
  std::filesystem::resize_file(path, bytes);
}

namespace {

// Rewrites count bytes at offset, each changed by change(old byte, index).
template <typename Change>
void Patch(const std::filesystem::path& path, uint64_t offset, size_t count, Change change) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  std::vector<char> bytes(count);
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(bytes.data(), static_cast<std::streamsize>(count));
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(change(bytes[i], i));
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(bytes.data(), static_cast<std::streamsize>(count));
  if (!file.flush()) throw std::runtime_error("cannot change " + path.string());
}

}  // namespace

void DamageFile(const std::filesystem::path& path, uint64_t offset, size_t count) {
  Patch(path, offset, count, [](char, size_t i) { return 0xA5 ^ (i * 7); });
}

void FlipBit(const std::filesystem::path& path, uint64_t offset, int bit) {
  Patch(path, offset, 1, [bit](char old, size_t) { return old ^ (1 << bit); });
}

}  // namespace kalvex::testing
