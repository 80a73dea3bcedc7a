#include "tests/support/support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kalvex::testing {

namespace {

int OpenOrThrow(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  return fd;
}

void WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n <= 0) throw std::runtime_error("write failed");
    data += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

TempDir::TempDir() {
  char templ[] = "/tmp/kalvex-test-XXXXXX";
  if (mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = templ;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
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
  const int fd = OpenOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC);
  std::vector<uint8_t> block(kMiB);
  const uint64_t total = blocks * kMiB + extra_bytes;
  for (uint64_t done = 0; done < total; done += kMiB) {
    for (uint64_t s = 0; s < kMiB; s += 512)
      std::memcpy(&block[s], RefSectorBytes(first_offset + done + s).data(), 512);
    WriteAll(fd, block.data(), std::min<uint64_t>(kMiB, total - done));
  }
  fsync(fd);
  close(fd);
}

void MakeSparseFile(const std::string& path, uint64_t size) {
  const int fd = OpenOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC);
  const int rc = ftruncate(fd, static_cast<off_t>(size));
  close(fd);
  if (rc != 0) throw std::runtime_error("ftruncate failed");
}

void WriteFile(const std::string& path, const std::string& content) {
  const int fd = OpenOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC);
  WriteAll(fd, reinterpret_cast<const uint8_t*>(content.data()), content.size());
  fsync(fd);
  close(fd);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

uint64_t FileSizeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : UINT64_MAX;
}

std::vector<uint8_t> ReadBytes(const std::string& path, uint64_t offset, size_t count) {
  std::vector<uint8_t> bytes(count);
  const int fd = OpenOrThrow(path, O_RDONLY);
  const ssize_t n = pread(fd, bytes.data(), count, static_cast<off_t>(offset));
  close(fd);
  bytes.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return bytes;
}

uint64_t ReadWord(const std::string& path, uint64_t offset) {
  const std::vector<uint8_t> bytes = ReadBytes(path, offset, 8);
  uint64_t value = 0;
  for (size_t i = bytes.size(); i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

void WriteWord(const std::string& path, uint64_t offset, uint64_t value) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  const int fd = OpenOrThrow(path, O_WRONLY);
  const ssize_t n = pwrite(fd, bytes, 8, static_cast<off_t>(offset));
  close(fd);
  if (n != 8) throw std::runtime_error("pwrite failed");
}

uint64_t CountForeignSectors(const std::string& path, uint64_t first_offset) {
  const int fd = OpenOrThrow(path, O_RDONLY);
  std::vector<uint8_t> block(kMiB);
  uint64_t foreign = 0;
  for (uint64_t offset = first_offset;;) {
    const ssize_t n = read(fd, block.data(), kMiB);
    if (n <= 0) break;
    for (ssize_t s = 0; s + 512 <= n; s += 512)
      foreign += std::memcmp(&block[s], RefSectorBytes(offset + s).data(), 512) != 0;
    offset += static_cast<uint64_t>(n);
  }
  close(fd);
  return foreign;
}

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace kalvex::testing
