#include "platform/posix/cache_bypass.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace kalvex::posix {

namespace {

constexpr long kFuseMagic = 0x65735546;

bool IsFuse(int folder) {
  struct statfs fs = {};
  return fstatfs(folder, &fs) == 0 && fs.f_type == kFuseMagic;
}

// Direct I/O refused: the test files were written and are read through the
// page cache, whose pages the platform drops when it opens a file to read.
bool RefusesDirectIo(int folder) {
  const int fd = openat(folder, "1.kvx", O_RDONLY | O_DIRECT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd >= 0) {
    close(fd);
    return false;
  }
  return errno == EINVAL;
}

std::string ReadMountTable() {
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Writes back what the device holds in the system's cache and throws the
// cached blocks away, so that the next read of them reaches the device.
bool FlushBlockDevice(const std::string& source) {
  struct stat st = {};
  if (stat(source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
  const int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = fsync(fd) == 0 && ioctl(fd, BLKFLSBUF, 0) == 0;
  close(fd);
  return flushed;
}

// The last resort: the whole page cache of the system, clean pages only,
// after everything was written back.
bool DropPageCache() {
  sync();
  const int fd = open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool dropped = write(fd, "1", 1) == 1;
  close(fd);
  return dropped;
}

bool IsBlockDevice(const std::string& path) {
  struct stat st = {};
  return stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

}  // namespace

std::string MountSourceOf(dev_t device, const std::string& mountinfo) {
  // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue":
  // the third field is the device, and the second after " - " the source.
  std::istringstream lines(mountinfo);
  std::string line;
  const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string id, parent, numbers;
    if (!(fields >> id >> parent >> numbers) || numbers != wanted) continue;
    const size_t dash = line.find(" - ");
    if (dash == std::string::npos) continue;
    std::istringstream tail(line.substr(dash + 3));
    std::string type, source;
    if (tail >> type >> source) return source;
  }
  return std::string();
}

CacheBypass PrepareToRead(int folder) {
  if (!IsFuse(folder)) {
    // The files' own pages are dropped as each one is opened; a kernel file
    // system reads its files' data from the device, not from the device's
    // cache.
    return RefusesDirectIo(folder) ? CacheBypass::kFlushed : CacheBypass::kDirect;
  }
  // The program behind the mount reads the device through the system's
  // cache of the whole device, which still holds what was just written.
  syncfs(folder);
  struct stat st = {};
  if (fstat(folder, &st) != 0) return CacheBypass::kNotGuaranteed;
  const std::string source = MountSourceOf(st.st_dev, ReadMountTable());
  // Without a local device behind it (a network or archive file system) no
  // cache of this machine stands for the medium.
  if (!IsBlockDevice(source)) return CacheBypass::kNotGuaranteed;
  if (FlushBlockDevice(source) || DropPageCache()) return CacheBypass::kFlushed;
  return CacheBypass::kNotGuaranteed;
}

}  // namespace kalvex::posix
