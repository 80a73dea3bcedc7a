#include "tools/fakemedium/store.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kalvex::fakemedium {

namespace {

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

MemoryStore::MemoryStore(uint64_t size) : m_size(size) {
  void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (bytes == MAP_FAILED) throw SystemError("cannot reserve " + std::to_string(size) + " bytes");
  m_bytes = static_cast<unsigned char*>(bytes);
}

MemoryStore::~MemoryStore() { munmap(m_bytes, m_size); }

int MemoryStore::Read(uint64_t offset, uint64_t length, unsigned char* out) {
  const std::lock_guard lock(m_lock);
  std::memcpy(out, m_bytes + offset, length);
  return 0;
}

int MemoryStore::Write(uint64_t offset, uint64_t length, const unsigned char* in) {
  const std::lock_guard lock(m_lock);
  std::memcpy(m_bytes + offset, in, length);
  return 0;
}

FileStore::FileStore(const std::string& path, uint64_t size) : m_size(size) {
  m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (m_fd < 0) throw SystemError("cannot open store " + path);
  struct stat info = {};
  if (fstat(m_fd, &info) != 0 || (static_cast<uint64_t>(info.st_size) < size &&
                                  ftruncate(m_fd, static_cast<off_t>(size)) != 0)) {
    const std::runtime_error error = SystemError("cannot size store " + path);
    close(m_fd);
    throw error;
  }
}

FileStore::~FileStore() { close(m_fd); }

// pread and pwrite may move fewer bytes than asked; only an error or an
// unexpected end stops the loop.
int FileStore::Read(uint64_t offset, uint64_t length, unsigned char* out) {
  while (length > 0) {
    const ssize_t n = pread(m_fd, out, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    out += n;
    offset += static_cast<uint64_t>(n);
    length -= static_cast<uint64_t>(n);
  }
  return 0;
}

int FileStore::Write(uint64_t offset, uint64_t length, const unsigned char* in) {
  while (length > 0) {
    const ssize_t n = pwrite(m_fd, in, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    in += n;
    offset += static_cast<uint64_t>(n);
    length -= static_cast<uint64_t>(n);
  }
  return 0;
}

int FileStore::Sync() { return fdatasync(m_fd) == 0 ? 0 : errno; }

std::unique_ptr<Store> OpenStore(const std::string& path, uint64_t size) {
  if (path.empty()) return std::make_unique<MemoryStore>(size);
  return std::make_unique<FileStore>(path, size);
}

}  // namespace kalvex::fakemedium
