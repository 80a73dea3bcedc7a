#include "platform/posix/block_device.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "platform/posix/media.h"

namespace kalvex::posix {

namespace {

namespace fs = std::filesystem;

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  const size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

bool Exists(const std::string& path) {
  struct stat info = {};
  return lstat(path.c_str(), &info) == 0;
}

std::string ClassPath(const std::string& sysfs, const std::string& name) {
  return sysfs + "/class/block/" + name;
}

bool IsPartition(const std::string& sysfs, const std::string& name) {
  return Exists(ClassPath(sysfs, name) + "/partition");
}

// A partition's folder lies inside its disk's in the device tree.
std::string DiskOf(const std::string& sysfs, const std::string& name) {
  if (!IsPartition(sysfs, name)) return name;
  char resolved[PATH_MAX];
  if (realpath(ClassPath(sysfs, name).c_str(), resolved) == nullptr) return name;
  return fs::path(resolved).parent_path().filename().string();
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored))
    names.push_back(entry.path().filename().string());
  return names;
}

std::vector<std::string> PartitionsOf(const std::string& sysfs, const std::string& disk) {
  std::vector<std::string> names;
  for (const std::string& entry : Entries(ClassPath(sysfs, disk) + "/"))
    if (Exists(ClassPath(sysfs, disk) + "/" + entry + "/partition")) names.push_back(entry);
  return names;
}

// The devices that name's data ends up on: itself, its disk, and through
// device-mapper or RAID layers everything beneath.
void Beneath(const std::string& sysfs, const std::string& name, std::set<std::string>* seen) {
  if (name.empty() || !seen->insert(name).second) return;
  Beneath(sysfs, DiskOf(sysfs, name), seen);
  for (const std::string& slave : Entries(ClassPath(sysfs, name) + "/slaves"))
    Beneath(sysfs, slave, seen);
}

bool ParseDevice(const std::string& text, dev_t* device) {
  unsigned major_number = 0, minor_number = 0;
  char colon = 0;
  std::istringstream in(text);
  if (!(in >> major_number >> colon >> minor_number) || colon != ':') return false;
  *device = makedev(major_number, minor_number);
  return true;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() &&
        text.substr(i + 1, 3).find_first_not_of("01234567") == std::string::npos) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct MountLine {
  dev_t device = 0;
  std::string mount_point;
  std::string source;
};

std::vector<MountLine> MountLines(const std::string& mountinfo) {
  std::vector<MountLine> lines;
  std::istringstream in(mountinfo);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, numbers, root;
    MountLine entry;
    if (!(fields >> id >> parent >> numbers >> root >> entry.mount_point)) continue;
    if (!ParseDevice(numbers, &entry.device)) continue;
    entry.mount_point = Unescape(entry.mount_point);
    const size_t dash = line.find(" - ");
    if (dash != std::string::npos) {
      std::istringstream tail(line.substr(dash + 3));
      std::string file_system;
      tail >> file_system >> entry.source;
      entry.source = Unescape(entry.source);
    }
    lines.push_back(entry);
  }
  return lines;
}

std::string DevName(const std::string& path) {
  return path.rfind("/dev/", 0) == 0 ? fs::path(path).filename().string() : std::string();
}

}  // namespace

std::unique_ptr<BlockDevice> BlockDevice::Open(const std::string& path, int* error) {
  const int fd = open(path.c_str(), O_RDWR | O_DIRECT | O_EXCL | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  uint64_t size = 0;
  int logical_block = 0;
  if (ioctl(fd, BLKGETSIZE64, &size) != 0 || ioctl(fd, BLKSSZGET, &logical_block) != 0) {
    *error = errno;
    close(fd);
    return nullptr;
  }
  *error = 0;
  return std::unique_ptr<BlockDevice>(
      new BlockDevice(fd, size, static_cast<uint32_t>(logical_block)));
}

BlockDevice::~BlockDevice() { close(m_fd); }

int BlockDevice::Read(uint64_t offset, void* data, size_t size) {
  auto* bytes = static_cast<uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = pread(m_fd, bytes, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    // The end of the device where none was announced: the medium is gone.
    if (n == 0) return EIO;
    bytes += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return 0;
}

int BlockDevice::Write(uint64_t offset, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = pwrite(m_fd, bytes, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    bytes += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return 0;
}

int BlockDevice::Flush() {
  if (fsync(m_fd) != 0) return errno;
  if (ioctl(m_fd, BLKFLSBUF, 0) != 0) return errno;
  return 0;
}

SystemView CurrentSystemView() {
  SystemView view;
  view.mountinfo = ReadAll("/proc/self/mountinfo");
  view.swaps = ReadAll("/proc/swaps");
  for (const MountLine& line : MountLines(view.mountinfo)) {
    if (line.mount_point != "/") continue;
    if (major(line.device) != 0) {
      view.root_devices.push_back(line.device);
      continue;
    }
    // File systems such as btrfs show an anonymous number; their source
    // still names the device.
    struct stat info = {};
    if (stat(line.source.c_str(), &info) == 0 && S_ISBLK(info.st_mode))
      view.root_devices.push_back(info.st_rdev);
  }
  struct stat root = {};
  if (stat("/", &root) == 0 && major(root.st_dev) != 0) view.root_devices.push_back(root.st_dev);
  return view;
}

std::string BlockDeviceName(const std::string& sysfs, dev_t device) {
  const std::string link = sysfs + "/dev/block/" + std::to_string(major(device)) + ":" +
                           std::to_string(minor(device));
  char target[PATH_MAX];
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return "";
  target[n] = '\0';
  return fs::path(target).filename().string();
}

TargetCheck CheckProbeTarget(const std::string& path, const SystemView& view) {
  struct stat info = {};
  if (stat(path.c_str(), &info) != 0) return {TargetRefusal::kMissing, "", path};
  if (!S_ISBLK(info.st_mode)) return {TargetRefusal::kNotBlockDevice, "", path};
  return CheckBlockDevice(info.st_rdev, view);
}

TargetCheck CheckBlockDevice(dev_t device, const SystemView& view) {
  TargetCheck check;
  check.name = BlockDeviceName(view.sysfs, device);
  if (check.name.empty()) {
    check.refusal = TargetRefusal::kMissing;
    return check;
  }
  if (IsPartition(view.sysfs, check.name)) {
    check.refusal = TargetRefusal::kPartition;
    check.detail = DiskOf(view.sysfs, check.name);
    return check;
  }
  for (dev_t root : view.root_devices) {
    std::set<std::string> beneath;
    Beneath(view.sysfs, BlockDeviceName(view.sysfs, root), &beneath);
    if (beneath.count(check.name) != 0) {
      check.refusal = TargetRefusal::kSystemDisk;
      return check;
    }
  }
  std::vector<std::string> family = PartitionsOf(view.sysfs, check.name);
  family.insert(family.begin(), check.name);
  std::set<dev_t> numbers;
  for (const std::string& name : family) {
    dev_t number = 0;
    if (ParseDevice(ReadAll(ClassPath(view.sysfs, name) + "/dev"), &number)) numbers.insert(number);
  }
  const std::set<std::string> names(family.begin(), family.end());
  for (const MountLine& line : MountLines(view.mountinfo)) {
    const std::string by_source = DevName(line.source);
    if (numbers.count(line.device) != 0 || names.count(by_source) != 0) {
      check.refusal = TargetRefusal::kMounted;
      check.detail = (names.count(by_source) != 0 ? by_source : check.name) + " (" +
                     line.mount_point + ")";
      return check;
    }
  }
  std::istringstream swaps(view.swaps);
  std::string line;
  while (std::getline(swaps, line)) {
    std::istringstream fields(line);
    std::string source;
    fields >> source;
    const std::string name = DevName(Unescape(source));
    if (names.count(name) != 0) {
      check.refusal = TargetRefusal::kSwap;
      check.detail = name;
      return check;
    }
  }
  for (const std::string& name : family) {
    const std::vector<std::string> holders = Entries(ClassPath(view.sysfs, name) + "/holders");
    if (!holders.empty()) {
      check.refusal = TargetRefusal::kHeld;
      check.detail = name + " (" + holders.front() + ")";
      return check;
    }
  }
  if (ReadBlockDeviceInfo(view.sysfs, check.name).size == 0) check.refusal = TargetRefusal::kEmpty;
  return check;
}

BlockDeviceInfo ReadBlockDeviceInfo(const std::string& sysfs, const std::string& name) {
  BlockDeviceInfo info;
  const std::string folder = ClassPath(sysfs, name);
  const std::string vendor = Trim(ReadAll(folder + "/device/vendor"));
  const std::string model = Trim(ReadAll(folder + "/device/model"));
  info.model = vendor.empty() ? model : model.empty() ? vendor : vendor + " " + model;
  const std::string sectors = Trim(ReadAll(folder + "/size"));
  if (!sectors.empty() && sectors.find_first_not_of("0123456789") == std::string::npos)
    info.size = std::strtoull(sectors.c_str(), nullptr, 10) * 512;
  DeviceKind(sysfs, name, &info.removable, &info.usb);
  return info;
}

bool StoredOn(const std::string& sysfs, dev_t file_system, const std::string& disk) {
  std::set<std::string> beneath;
  Beneath(sysfs, BlockDeviceName(sysfs, file_system), &beneath);
  return beneath.count(disk) != 0;
}

}  // namespace kalvex::posix
