#include "platform/posix/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace kalvex::posix {

namespace {

std::string FolderOf(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  return parent.empty() ? "." : parent.string();
}

int SyncFolder(const std::string& path) {
  const int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return errno;
  const int result = fsync(folder) == 0 ? 0 : errno;
  close(folder);
  return result;
}

}  // namespace

DurableFile::~DurableFile() { Close(); }

int DurableFile::Create(const std::string& path) {
  Close();
  m_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (m_fd < 0) return errno;
  m_path = path;
  m_folderSynced = false;
  return 0;
}

int DurableFile::OpenForReading(const std::string& path) {
  Close();
  m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (m_fd < 0) return errno;
  m_path = path;
  return 0;
}

int DurableFile::Append(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = write(m_fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

int DurableFile::Sync() {
  if (fdatasync(m_fd) != 0) return errno;
  if (!m_folderSynced) {
    if (const int error = SyncFolder(m_path)) return error;
    m_folderSynced = true;
  }
  return 0;
}

int DurableFile::ReadAt(uint64_t position, void* data, size_t size) const {
  auto* bytes = static_cast<uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = pread(m_fd, bytes, size, static_cast<off_t>(position));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    bytes += n;
    position += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return 0;
}

uint64_t DurableFile::Size() const {
  struct stat info = {};
  return fstat(m_fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

void DurableFile::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

int RemoveDurably(const std::string& path) {
  if (unlink(path.c_str()) != 0) return errno;
  return SyncFolder(path);
}

bool FolderDevice(const std::string& path, uint64_t* device) {
  struct stat info = {};
  if (stat(FolderOf(path).c_str(), &info) != 0) return false;
  *device = info.st_dev;
  return true;
}

}  // namespace kalvex::posix
