// The parts of the media listing that read text, kept apart from the system
// so tests can give them a mount table and a sysfs tree of their own.
#pragma once

#include <string>
#include <vector>

#include "platform/media.h"

namespace kalvex::posix {

struct MountEntry {
  std::string source;
  std::string file_system;
  std::string mount_point;
};

// The entries of a mount table in the format of /proc/self/mountinfo whose
// source is a device node ("/dev/..."); octal escapes such as "\040" in the
// mount point are decoded.
std::vector<MountEntry> DeviceMounts(const std::string& mountinfo);

// Whether the block device name ("sdb1", "mmcblk0p1") is removable and on
// USB, from the sysfs tree at sysfs ("/sys"): a partition answers for the
// disk it belongs to.
void DeviceKind(const std::string& sysfs, const std::string& name, bool* removable, bool* usb);

// The whole content of a (small) file; empty when it cannot be read.
std::string ReadAll(const std::string& path);

}  // namespace kalvex::posix
