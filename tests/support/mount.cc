#include "tests/support/mount.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace kalvex::testing {

namespace {

// Once per test process: a mount namespace of its own whose mounts are
// private. Should the process crash or be killed before a destructor runs,
// its mounts die with it instead of staying on the machine. Where that is
// not allowed, the destructors alone have to do.
void EnterPrivateMountNamespace() {
  static const bool entered = [] {
    if (unshare(CLONE_NEWNS) != 0) return false;
    // Without this a mount below a shared "/" would still show up, and stay,
    // in the namespace the test was started from.
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  (void)entered;
}

bool DeviceOf(const std::string& path, dev_t* device) {
  struct stat info = {};
  if (stat(path.c_str(), &info) != 0) return false;
  *device = info.st_dev;
  return true;
}

}  // namespace

TmpfsMount::TmpfsMount(uint64_t size_bytes, const std::string& mount_point) {
  if (mount_point.empty()) {
    m_ownDir.emplace();
    m_path = m_ownDir->path();
  } else {
    m_path = mount_point;
  }
  if (geteuid() != 0) {
    m_failure = "mounting needs root";
    return;
  }
  EnterPrivateMountNamespace();
  const std::string data = "size=" + std::to_string(size_bytes) + ",mode=0755";
  if (mount("kalvex-test", m_path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, data.c_str()) != 0) {
    m_failure = "mount on " + m_path + ": " + std::strerror(errno);
    return;
  }
  m_mounted = DeviceOf(m_path, &m_device);
  if (!m_mounted) {
    umount2(m_path.c_str(), MNT_DETACH);
    m_failure = "cannot look at " + m_path + " after mounting";
  }
}

TmpfsMount::~TmpfsMount() {
  // Only what is still this tmpfs is unmounted: after Detach() the path is
  // the bare folder, and whatever else might be mounted there is not ours.
  if (m_mounted && StillMounted()) umount2(m_path.c_str(), MNT_DETACH);
}

bool TmpfsMount::StillMounted() const {
  if (!m_mounted) return false;
  struct statfs fs = {};
  dev_t device = 0;
  return statfs(m_path.c_str(), &fs) == 0 && fs.f_type == TMPFS_MAGIC &&
         DeviceOf(m_path, &device) && device == m_device;
}

void TmpfsMount::Detach() {
  if (StillMounted() && umount2(m_path.c_str(), MNT_DETACH) != 0)
    throw std::runtime_error("umount " + m_path + ": " + std::strerror(errno));
}

uint64_t TmpfsMount::FillUp(const std::string& name) const {
  if (!StillMounted()) throw std::runtime_error("refusing to fill " + m_path + ": not our tmpfs");
  const std::string path = File(name);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  const std::vector<char> zeros(65536, 0);
  uint64_t total = 0;
  for (;;) {
    const ssize_t n = write(fd, zeros.data(), zeros.size());
    if (n > 0) {
      total += static_cast<uint64_t>(n);
      continue;
    }
    const int error = errno;
    close(fd);
    if (n < 0 && error == ENOSPC) return total;
    throw std::runtime_error("filling " + path + ": " + std::strerror(error));
  }
}

}  // namespace kalvex::testing
