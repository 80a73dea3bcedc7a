// The POSIX system layer: direct I/O past the page cache, statvfs for the
// volume, CLOCK_MONOTONIC for the counter.

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace kalvex {

namespace {

// Descriptors opened without O_DIRECT carry this bit in their handle, so the
// platform knows to flush and drop their cached pages itself.
constexpr FileHandle kCachedBit = FileHandle{1} << 40;

int Fd(FileHandle file) { return static_cast<int>(file & ~kCachedBit); }
bool IsCached(FileHandle file) { return (file & kCachedBit) != 0; }

// Flushes a file to the device and drops its pages from the cache, so that a
// later read has to come from the medium.
bool DropCachedPages(int fd, ErrorCode* error) {
  if (fdatasync(fd) != 0) {
    *error = static_cast<ErrorCode>(errno);
    return false;
  }
  const int rc = posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  if (rc != 0) {
    *error = static_cast<ErrorCode>(rc);
    return false;
  }
  return true;
}

class PosixPlatform final : public Platform {
 public:
  bool CreateNew(const char* path, FileHandle* file, ErrorCode* error) override {
    return Open(path, O_RDWR | O_CREAT | O_EXCL, file, error);
  }

  bool OpenExisting(const char* path, FileHandle* file, ErrorCode* error) override {
    if (!Open(path, O_RDONLY, file, error)) return false;
    // Pages a buffered writer left behind must not answer our reads.
    if (IsCached(*file) && !DropCachedPages(Fd(*file), error)) {
      close(Fd(*file));
      return false;
    }
    return true;
  }

  bool Write(FileHandle file, const void* data, size_t size, ErrorCode* error) override {
    const int fd = Fd(file);
    const off_t start = lseek(fd, 0, SEEK_CUR);
    ssize_t n;
    do {
      n = write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(size)) return true;
    // A regular file takes less than asked only when the medium is full; a
    // retry at the unaligned rest would be refused by direct I/O anyway.
    *error = n < 0 ? static_cast<ErrorCode>(errno) : ErrorCode{ENOSPC};
    // A partly written block would leave a file that is not a whole number
    // of blocks; the file is ours, so cut it back to where the block began.
    if (n > 0 && start >= 0 && ftruncate(fd, start) == 0) lseek(fd, start, SEEK_SET);
    return false;
  }

  bool Read(FileHandle file, void* data, size_t size, size_t* got, ErrorCode* error) override {
    ssize_t n;
    do {
      n = read(Fd(file), data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      *error = static_cast<ErrorCode>(errno);
      return false;
    }
    // A regular file returns less than asked only at its end.
    *got = static_cast<size_t>(n);
    return true;
  }

  bool Flush(FileHandle file, ErrorCode* error) override {
    if (IsCached(file)) return DropCachedPages(Fd(file), error);
    if (fdatasync(Fd(file)) != 0) {
      *error = static_cast<ErrorCode>(errno);
      return false;
    }
    return true;
  }

  bool Close(FileHandle file, ErrorCode* error) override {
    if (close(Fd(file)) != 0) {
      *error = static_cast<ErrorCode>(errno);
      return false;
    }
    return true;
  }

  uint64_t FileSize(FileHandle file) override { return FileSizeOf(Fd(file)); }

  bool AnyEntryMatches(const char* pattern) override {
    const std::string text(pattern);
    const size_t slash = text.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : text.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
    if (name.size() < 1 || name[0] != '*') return false;
    const std::string suffix = name.substr(1);
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return false;
    bool found = false;
    while (dirent* entry = readdir(d)) {
      const size_t len = std::strlen(entry->d_name);
      // FAT and exFAT media keep names case-insensitively, as the other
      // system does: "1.KVX" is a test file as well.
      if (len >= suffix.size() &&
          strcasecmp(entry->d_name + len - suffix.size(), suffix.c_str()) == 0) {
        found = true;
        break;
      }
    }
    closedir(d);
    return found;
  }

  bool VolumeSpace(const char* path, uint64_t* free_to_caller, uint64_t* total) override {
    struct statvfs vfs;
    if (statvfs(path, &vfs) != 0) return false;
    *free_to_caller = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    *total = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    return true;
  }

  int64_t Counter() override {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
  }

  int64_t CounterFrequency() override { return 1000000000; }

  void RaiseThreadPriority() override {
    // Best effort: a lower nice value for this thread only. Without the
    // privilege the call fails and the worker runs at normal priority.
    const pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -10);
  }

  std::string ErrorText(ErrorCode error) override {
    char buffer[256];
    // The GNU variant returns the text, possibly not in buffer.
    return strerror_r(static_cast<int>(error), buffer, sizeof buffer);
  }

  bool IsDiskFull(ErrorCode error) override { return error == ENOSPC; }
  bool IsNotFound(ErrorCode error) override { return error == ENOENT; }
  bool UsedCachedIo() override { return m_usedCachedIo.load(); }

 private:
  bool Open(const char* path, int flags, FileHandle* file, ErrorCode* error) {
    bool cached = false;
    // O_NONBLOCK: a FIFO named like a test file must not hang the open.
    int fd = open(path, flags | O_DIRECT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0 && errno == EINVAL) {
      fd = OpenCached(path, flags);
      cached = fd >= 0;
    }
    if (fd < 0) {
      *error = static_cast<ErrorCode>(errno);
      return false;
    }
    // Only regular files hold test data; a folder named like a test file
    // must not open as one.
    struct stat st;
    if (fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
      close(fd);
      *error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      return false;
    }
    *file = fd;
    if (cached) {
      m_usedCachedIo.store(true);
      *file |= kCachedBit;
    }
    return true;
  }

  // This file system refuses direct I/O. Go on with the page cache, which
  // Flush and OpenExisting then empty for this file. When creating, the
  // refused call may already have made the (new, empty) file.
  int OpenCached(const char* path, int flags) {
    int fd = -1;
    if (flags & O_CREAT) {
      fd = open(path, (flags & ~(O_CREAT | O_EXCL)) | O_CLOEXEC | O_NONBLOCK);
      if (fd >= 0 && FileSizeOf(fd) != 0) {  // not the file the refused call made
        close(fd);
        errno = EEXIST;
        return -1;
      }
    }
    if (fd < 0) fd = open(path, flags | O_CLOEXEC | O_NONBLOCK, 0644);
    return fd;
  }

  static uint64_t FileSizeOf(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }

  std::atomic<bool> m_usedCachedIo{false};
};

}  // namespace

Platform& SystemPlatform() {
  static PosixPlatform platform;
  return platform;
}

void* AllocateAligned(size_t size) {
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
}

void FreeAligned(void* memory, size_t size) {
  if (memory != nullptr) munmap(memory, size);
}

}  // namespace kalvex
