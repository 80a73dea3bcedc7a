// The POSIX system layer: direct I/O past the page cache, statvfs for the
// volume, CLOCK_MONOTONIC for the counter.

#include <dirent.h>
#include <fcntl.h>
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
#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/cache_bypass.h"

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

ErrorCode LastError() { return static_cast<ErrorCode>(errno); }

class PosixPlatform final : public Platform {
 public:
  bool OpenFolder(const char* path, FolderHandle* folder, ErrorCode* error) override {
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      *error = LastError();
      return false;
    }
    *folder = fd;
    return true;
  }

  void CloseFolder(FolderHandle folder) override {
    if (folder != kNoFolder) close(static_cast<int>(folder));
  }

  bool FolderStillAt(FolderHandle folder, const char* path) override {
    struct stat held, now;
    if (fstat(static_cast<int>(folder), &held) != 0 || stat(path, &now) != 0) return false;
    return held.st_dev == now.st_dev && held.st_ino == now.st_ino;
  }

  bool CreateNew(FolderHandle folder, const char* name, FileHandle* file,
                 ErrorCode* error) override {
    return Open(folder, name, O_RDWR | O_CREAT | O_EXCL, file, error);
  }

  bool OpenExisting(FolderHandle folder, const char* name, FileHandle* file,
                    ErrorCode* error) override {
    if (!Open(folder, name, O_RDONLY, file, error)) return false;
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
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
      const ssize_t n = write(fd, bytes + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // Only the system's own reason tells a full medium from a failing
        // one; a write that makes no progress without a reason is an I/O
        // fault, never "disk full".
        *error = n < 0 ? LastError() : ErrorCode{EIO};
        break;
      }
      done += static_cast<size_t>(n);
    }
    if (done == size) return true;
    // A partly written block would leave a file that is not a whole number
    // of blocks; the file is ours, so cut it back to where the block began.
    if (done > 0 && start >= 0 && ftruncate(fd, start) == 0) lseek(fd, start, SEEK_SET);
    return false;
  }

  bool Read(FileHandle file, void* data, size_t size, size_t* got, ErrorCode* error) override {
    const int fd = Fd(file);
    char* bytes = static_cast<char*>(data);
    size_t done = 0;
    while (done < size) {
      const ssize_t n = read(fd, bytes + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        *error = LastError();
        return false;
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    if (done < size) {
      // The end of the data must be the end of the file: a file system that
      // stops delivering before it has lost data, whatever it says.
      const off_t position = lseek(fd, 0, SEEK_CUR);
      if (position >= 0 && static_cast<uint64_t>(position) < FileSizeOf(fd)) {
        *error = EIO;
        return false;
      }
    }
    *got = done;
    return true;
  }

  bool Flush(FileHandle file, ErrorCode* error) override {
    if (IsCached(file)) return DropCachedPages(Fd(file), error);
    if (fdatasync(Fd(file)) != 0) {
      *error = LastError();
      return false;
    }
    return true;
  }

  bool Close(FileHandle file, ErrorCode* error) override {
    if (close(Fd(file)) != 0) {
      *error = LastError();
      return false;
    }
    return true;
  }

  uint64_t FileSize(FileHandle file) override { return FileSizeOf(Fd(file)); }

  bool RemoveFile(FolderHandle folder, const char* name, ErrorCode* error) override {
    const int dir = static_cast<int>(folder);
    struct stat st;
    if (fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      *error = LastError();
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      *error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      return false;
    }
    if (unlinkat(dir, name, 0) != 0) {
      *error = LastError();
      return false;
    }
    return true;
  }

  bool ForEachEntry(FolderHandle folder,
                    const std::function<bool(const char* name)>& visit) override {
    // fdopendir takes the descriptor over; the run keeps its own.
    const int fd = openat(static_cast<int>(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* d = fdopendir(fd);
    if (d == nullptr) {
      close(fd);
      return false;
    }
    while (dirent* entry = readdir(d)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      if (!visit(entry->d_name)) break;
    }
    closedir(d);
    return true;
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
  CacheBypass PrepareToRead(FolderHandle folder) override {
    return posix::PrepareToRead(static_cast<int>(folder));
  }

 private:
  bool Open(FolderHandle folder, const char* name, int flags, FileHandle* file,
            ErrorCode* error) {
    const int dir = static_cast<int>(folder);
    bool cached = false;
    // O_NONBLOCK: a FIFO named like a test file must not hang the open.
    // O_NOFOLLOW: a link named like a test file is not a test file, and
    // must not lead the run off the medium.
    const int common = O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
    int fd = openat(dir, name, flags | O_DIRECT | common, 0644);
    if (fd < 0 && errno == EINVAL) {
      fd = OpenCached(dir, name, flags | common);
      cached = fd >= 0;
    }
    if (fd < 0) {
      *error = LastError();
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
    if (cached) *file |= kCachedBit;
    return true;
  }

  // This file system refuses direct I/O. Go on with the page cache, which
  // Flush and OpenExisting then empty for this file. When creating, the
  // refused call may already have made the (new, empty) file.
  int OpenCached(int dir, const char* name, int flags) {
    int fd = -1;
    if (flags & O_CREAT) {
      fd = openat(dir, name, flags & ~(O_CREAT | O_EXCL));
      if (fd >= 0 && FileSizeOf(fd) != 0) {  // not the file the refused call made
        close(fd);
        errno = EEXIST;
        return -1;
      }
    }
    if (fd < 0) fd = openat(dir, name, flags, 0644);
    return fd;
  }

  static uint64_t FileSizeOf(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }
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
