#include "tests/engine/test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace kalvex::testing {

TempDir::TempDir() {
  char templ[] = "/tmp/kalvex-etest-XXXXXX";
  if (mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = templ;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::File(const std::string& name) const { return m_path + "/" + name; }

std::vector<uint8_t> RefSectorBytes(uint64_t sector_offset) {
  std::vector<uint8_t> bytes(512);
  for (unsigned k = 0; k < 64; ++k) {
    const uint64_t w = RefWord(sector_offset, k);
    for (unsigned b = 0; b < 8; ++b) bytes[k * 8 + b] = static_cast<uint8_t>(w >> (8 * b));
  }
  return bytes;
}

namespace {
void WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n <= 0) throw std::runtime_error("write failed");
    data += n;
    size -= static_cast<size_t>(n);
  }
}
}  // namespace

void WritePatternFile(const std::string& path, uint64_t first_offset, uint64_t blocks,
                      uint64_t extra_bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  std::vector<uint8_t> block(kMiB);
  uint64_t offset = first_offset;
  const uint64_t total = blocks * kMiB + extra_bytes;
  for (uint64_t done = 0; done < total;) {
    for (uint64_t s = 0; s < kMiB / 512; ++s) {
      const std::vector<uint8_t> sector = RefSectorBytes(offset + s * 512);
      std::memcpy(block.data() + s * 512, sector.data(), 512);
    }
    const uint64_t n = std::min<uint64_t>(kMiB, total - done);
    WriteAll(fd, block.data(), n);
    done += n;
    offset += kMiB;
  }
  fsync(fd);
  close(fd);
}

void MakeSparseFile(const std::string& path, uint64_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
    close(fd);
    throw std::runtime_error("ftruncate failed");
  }
  close(fd);
}

void MakeFileWithBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  WriteAll(fd, bytes.data(), bytes.size());
  fsync(fd);
  close(fd);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

uint64_t FileSizeOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return UINT64_MAX;
  return static_cast<uint64_t>(st.st_size);
}

std::vector<uint8_t> ReadBytes(const std::string& path, uint64_t offset, size_t count) {
  std::vector<uint8_t> bytes(count);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  const ssize_t n = pread(fd, bytes.data(), count, static_cast<off_t>(offset));
  close(fd);
  bytes.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return bytes;
}

uint64_t CountForeignSectors(const std::string& path, uint64_t first_offset) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  std::vector<uint8_t> block(kMiB);
  uint64_t foreign = 0;
  uint64_t offset = first_offset;
  for (;;) {
    const ssize_t n = read(fd, block.data(), kMiB);
    if (n <= 0) break;
    for (ssize_t s = 0; s + 512 <= n; s += 512) {
      const std::vector<uint8_t> expected = RefSectorBytes(offset + static_cast<uint64_t>(s));
      if (std::memcmp(block.data() + s, expected.data(), 512) != 0) ++foreign;
    }
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

DoneNotifier DoneRecorder::Notifier() {
  return [this] {
    std::string text = m_engine ? m_engine->ErrorText() : std::string();
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_count;
      m_thread = std::this_thread::get_id();
      m_errorText = std::move(text);
    }
    m_cv.notify_all();
  };
}

bool DoneRecorder::WaitForDone(std::chrono::seconds timeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_cv.wait_for(lock, timeout, [this] { return m_count > 0; });
}

int DoneRecorder::Count() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_count;
}

std::thread::id DoneRecorder::CallerThread() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_thread;
}

std::string DoneRecorder::ErrorTextAtDone() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_errorText;
}

}  // namespace kalvex::testing
