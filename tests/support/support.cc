#include "tests/support/support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/platform.h"

namespace kalvex::testing {

namespace fs = std::filesystem;

fs::path FsPath(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

namespace {

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::fstream OpenOrThrow(const std::string& path, std::ios::openmode mode) {
  std::fstream file(FsPath(path), mode | std::ios::binary);
  if (!file) throw std::runtime_error("cannot open " + path);
  return file;
}

// Brings a file the tests wrote to the medium, so that reads past the
// cache see it. Windows' unbuffered reads see the cache's content anyway.
void SyncToMedium(const std::string& path) {
#ifndef _WIN32
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
#else
  (void)path;
#endif
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> made{0};
#ifdef _WIN32
  const fs::path base = fs::temp_directory_path();
#else
  const fs::path base = "/tmp";
#endif
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        base / ("kalvex-test-" + std::to_string(stamp % 1000000007) + "-" +
                std::to_string(made++) + "-" + std::to_string(std::rand() % 100000));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      m_path = Utf8(candidate.lexically_normal());
      while (m_path.size() > 1 && (m_path.back() == '/' || m_path.back() == '\\'))
        m_path.pop_back();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(FsPath(m_path), ignored);
}

std::string TempDir::File(const std::string& name) const {
  return m_path + kPathSeparator + name;
}

std::vector<uint8_t> RefSectorBytes(uint64_t sector_offset) {
  std::vector<uint8_t> bytes(512);
  for (unsigned k = 0; k < 64; ++k) {
    const uint64_t w = RefWord(sector_offset, k);
    for (unsigned b = 0; b < 8; ++b) bytes[k * 8 + b] = static_cast<uint8_t>(w >> (8 * b));
  }
  return bytes;
}

void WritePatternFile(const std::string& path, uint64_t first_offset, uint64_t blocks,
                      uint64_t extra_bytes) {
  {
    std::fstream file = OpenOrThrow(path, std::ios::out | std::ios::trunc);
    std::vector<uint8_t> block(kMiB);
    const uint64_t total = blocks * kMiB + extra_bytes;
    for (uint64_t done = 0; done < total; done += kMiB) {
      for (uint64_t s = 0; s < kMiB; s += 512)
        std::memcpy(&block[s], RefSectorBytes(first_offset + done + s).data(), 512);
      const auto size = static_cast<std::streamsize>(std::min<uint64_t>(kMiB, total - done));
      if (!file.write(reinterpret_cast<const char*>(block.data()), size))
        throw std::runtime_error("write failed");
    }
  }
  SyncToMedium(path);
}

void MakeSparseFile(const std::string& path, uint64_t size) {
  OpenOrThrow(path, std::ios::out | std::ios::trunc).close();
  std::error_code error;
  fs::resize_file(FsPath(path), size, error);
  if (error) throw std::runtime_error("resize failed");
}

void WriteFile(const std::string& path, const std::string& content) {
  {
    std::fstream file = OpenOrThrow(path, std::ios::out | std::ios::trunc);
    if (!file.write(content.data(), static_cast<std::streamsize>(content.size())))
      throw std::runtime_error("write failed");
  }
  SyncToMedium(path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(FsPath(path), std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

uint64_t FileSizeOf(const std::string& path) {
  std::error_code error;
  const uintmax_t size = fs::file_size(FsPath(path), error);
  return error ? UINT64_MAX : static_cast<uint64_t>(size);
}

std::vector<uint8_t> ReadBytes(const std::string& path, uint64_t offset, size_t count) {
  std::vector<uint8_t> bytes(count);
  std::fstream file = OpenOrThrow(path, std::ios::in);
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  bytes.resize(file.gcount() < 0 ? 0 : static_cast<size_t>(file.gcount()));
  return bytes;
}

uint64_t ReadWord(const std::string& path, uint64_t offset) {
  const std::vector<uint8_t> bytes = ReadBytes(path, offset, 8);
  uint64_t value = 0;
  for (size_t i = bytes.size(); i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

void WriteWord(const std::string& path, uint64_t offset, uint64_t value) {
  char bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  {
    std::fstream file = OpenOrThrow(path, std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(offset));
    if (!file.write(bytes, 8)) throw std::runtime_error("write failed");
  }
  SyncToMedium(path);
}

uint64_t CountForeignSectors(const std::string& path, uint64_t first_offset) {
  std::fstream file = OpenOrThrow(path, std::ios::in);
  std::vector<uint8_t> block(kMiB);
  uint64_t foreign = 0;
  for (uint64_t offset = first_offset;;) {
    file.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(kMiB));
    const std::streamsize n = file.gcount();
    if (n <= 0) break;
    for (std::streamsize s = 0; s + 512 <= n; s += 512)
      foreign += std::memcmp(&block[s], RefSectorBytes(offset + s).data(), 512) != 0;
    offset += static_cast<uint64_t>(n);
  }
  return foreign;
}

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(FsPath(dir)))
    names.push_back(Utf8(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace kalvex::testing
