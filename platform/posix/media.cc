#include "platform/posix/media.h"

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kalvex::posix {

namespace {

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      const std::string digits = text.substr(i + 1, 3);
      if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
        out += static_cast<char>(std::stoi(digits, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<MountEntry> DeviceMounts(const std::string& mountinfo) {
  std::vector<MountEntry> mounts;
  std::istringstream lines(mountinfo);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string id, parent, numbers, root, mount_point;
    if (!(fields >> id >> parent >> numbers >> root >> mount_point)) continue;
    const size_t dash = line.find(" - ");
    if (dash == std::string::npos) continue;
    std::istringstream tail(line.substr(dash + 3));
    MountEntry entry;
    if (!(tail >> entry.file_system >> entry.source)) continue;
    if (entry.source.rfind("/dev/", 0) != 0) continue;
    entry.source = Unescape(entry.source);
    entry.mount_point = Unescape(mount_point);
    mounts.push_back(entry);
  }
  return mounts;
}

void DeviceKind(const std::string& sysfs, const std::string& name, bool* removable, bool* usb) {
  *removable = false;
  *usb = false;
  // /sys/class/block/NAME leads into the device tree; a partition's folder
  // lies inside its disk's.
  char resolved[4096];
  const std::string link = sysfs + "/class/block/" + name;
  if (realpath(link.c_str(), resolved) == nullptr) return;
  std::string device = resolved;
  struct stat st = {};
  if (stat((device + "/partition").c_str(), &st) == 0)
    device = device.substr(0, device.rfind('/'));
  *removable = ReadFirstLine(device + "/removable") == "1";
  *usb = device.find("/usb") != std::string::npos;
}

}  // namespace kalvex::posix

namespace kalvex {

std::vector<MountedMedium> ListMountedMedia(bool all) {
  std::vector<MountedMedium> media;
  for (const posix::MountEntry& mount : posix::DeviceMounts(posix::ReadAll("/proc/self/mountinfo"))) {
    MountedMedium medium;
    medium.device = mount.source;
    medium.file_system = mount.file_system;
    medium.mount_point = mount.mount_point;
    const std::string name = medium.device.substr(medium.device.rfind('/') + 1);
    posix::DeviceKind("/sys", name, &medium.removable, &medium.usb);
    if (!all && !medium.removable && !medium.usb) continue;
    struct statvfs vfs = {};
    if (statvfs(medium.mount_point.c_str(), &vfs) == 0) {
      medium.size_bytes = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
      medium.free_bytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    }
    // From the system's cache of labels: no need to read the device, which
    // only root may.
    if (char* label = blkid_get_tag_value(nullptr, "LABEL", medium.device.c_str())) {
      medium.label = label;
      free(label);
    }
    media.push_back(medium);
  }
  return media;
}

std::string RemovableMediaFolder() {
  const char* user = std::getenv("USER");
  std::string name = user != nullptr ? user : "";
  if (name.empty()) {
    if (const char* login = getlogin()) name = login;
  }
  if (name.empty()) return std::string();
  for (const char* base : {"/run/media/", "/media/"}) {
    struct stat st = {};
    const std::string folder = std::string(base) + name;
    if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return folder;
  }
  return std::string();
}

}  // namespace kalvex
