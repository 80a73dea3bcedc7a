// The media mounted on this machine, for finding a stick's folder: which
// mount belongs to which device, its label, file system, size and free space,
// and whether the device is removable or on USB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvex {

struct MountedMedium {
  std::string device;       // "/dev/sdb1"
  std::string label;        // empty when the file system has none
  std::string file_system;  // "vfat", "exfat", "fuseblk", ...
  std::string mount_point;
  uint64_t size_bytes = 0;
  uint64_t free_bytes = 0;  // available to the caller
  bool removable = false;   // the device says its medium can be removed
  bool usb = false;         // the device hangs on a USB bus
};

// Mounted file systems on block devices, in the order of the mount table.
// Without all: only those on removable or USB devices.
std::vector<MountedMedium> ListMountedMedia(bool all);

// The folder under which desktops mount removable media for the current
// user ("/run/media/NAME" or "/media/NAME"), the first that exists; empty
// when none does.
std::string RemovableMediaFolder();

}  // namespace kalvex
