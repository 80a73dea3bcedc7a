// Linux block devices for the capacity probe: opening one for exclusive
// direct access, what sysfs says about it, and whether it may be written at
// all. The checks read a mount table, a swap table and a sysfs tree given to
// them, so tests can show them a system of their own.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/block_device.h"

namespace kalvex::posix {

class BlockDevice : public BlockMedium {
 public:
  // Read-write with O_DIRECT and O_EXCL: the kernel refuses (EBUSY) while a
  // file system, a swap area or a device mapper holds the device. Null and
  // the error number when it cannot be opened so.
  static std::unique_ptr<BlockDevice> Open(const std::string& path, int* error);
  ~BlockDevice() override;
  BlockDevice(const BlockDevice&) = delete;
  BlockDevice& operator=(const BlockDevice&) = delete;

  uint64_t Size() const override { return m_size; }
  uint32_t LogicalBlockSize() const override { return m_logicalBlock; }
  int Read(uint64_t offset, void* data, size_t size) override;
  int Write(uint64_t offset, const void* data, size_t size) override;
  // fsync, then BLKFLSBUF.
  int Flush() override;

 private:
  BlockDevice(int fd, uint64_t size, uint32_t logical_block)
      : m_fd(fd), m_size(size), m_logicalBlock(logical_block) {}
  int m_fd;
  uint64_t m_size;
  uint32_t m_logicalBlock;
};

// Where the checks look; the defaults are the running system's.
struct SystemView {
  std::string sysfs = "/sys";
  std::string mountinfo;  // text of /proc/self/mountinfo
  std::string swaps;      // text of /proc/swaps
  // The device numbers that the root file system lives on (its block
  // device, or none when it has none of its own, like an overlay).
  std::vector<dev_t> root_devices;
};
SystemView CurrentSystemView();

enum class TargetRefusal {
  kNone,
  kMissing,         // no such path
  kNotBlockDevice,  // a file, a folder, a character device, ...
  kPartition,       // a partition: the probe needs the whole device
  kSystemDisk,      // the device the running system is on
  kMounted,         // it or one of its partitions is mounted
  kSwap,            // it or one of its partitions is in use as swap
  kHeld,            // something is stacked on it (device mapper, RAID, ...)
  kEmpty,           // no medium, or a size of zero
};

struct TargetCheck {
  TargetRefusal refusal = TargetRefusal::kNone;
  std::string name;    // the kernel's name ("sdb", "loop3")
  std::string detail;  // what is in the way: "sdb1 on /media/stick", "dm-0", ...
};

// Whether the block device at path may be probed; looks only, never opens it
// for writing.
TargetCheck CheckProbeTarget(const std::string& path, const SystemView& view);
// The same for a device number (the rdev of a block special file).
TargetCheck CheckBlockDevice(dev_t device, const SystemView& view);

struct BlockDeviceInfo {
  std::string model;  // vendor and model as the device names itself; may be empty
  uint64_t size = 0;  // bytes, from sysfs
  bool usb = false;
  bool removable = false;
};
BlockDeviceInfo ReadBlockDeviceInfo(const std::string& sysfs, const std::string& name);

// The kernel's name of a block device number ("sdb1"); empty when unknown.
std::string BlockDeviceName(const std::string& sysfs, dev_t device);

// Whether a file on the file system with device number file_system would be
// stored on the block device named disk: directly, on one of its partitions
// or through a device stacked on it.
bool StoredOn(const std::string& sysfs, dev_t file_system, const std::string& disk);

}  // namespace kalvex::posix
