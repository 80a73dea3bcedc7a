// Finding the mounted media: the device mounts of a mount table, and what
// sysfs says of a device, on a table and a tree of the test's own.

#include "platform/posix/media.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kalvex::posix {
namespace {

namespace fs = std::filesystem;

TEST(DeviceMountsTest, DeviceNodesOnlyWithEscapedNamesDecoded) {
  const std::string table =
      "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
      "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
      "90 27 8:17 / /media/alice/MY\\040STICK rw,nosuid shared:7 - vfat /dev/sdb1 rw\n"
      "91 27 0:58 / /run/media/bob/CARD rw - fuseblk /dev/mmcblk0p1 rw,user_id=0\n"
      "92 27 0:59 / /mnt/net rw - fuse.sshfs host:/dir rw\n"
      "broken line\n";
  const std::vector<MountEntry> mounts = DeviceMounts(table);
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[1].source, "/dev/sdb1");
  EXPECT_EQ(mounts[1].file_system, "vfat");
  EXPECT_EQ(mounts[1].mount_point, "/media/alice/MY STICK");
  EXPECT_EQ(mounts[2].source, "/dev/mmcblk0p1");
  EXPECT_EQ(mounts[2].mount_point, "/run/media/bob/CARD");
}

class DeviceKindTest : public ::testing::Test {
 protected:
  DeviceKindTest() {
    char name[] = "/tmp/kalvex-sysfs-XXXXXX";
    root_ = mkdtemp(name);
  }
  ~DeviceKindTest() override { fs::remove_all(root_); }

  // A disk under devices/PATH with its partitions, linked from class/block.
  void AddDisk(const std::string& path, const std::string& disk, bool removable,
               std::initializer_list<std::string> partitions) {
    const fs::path device = root_ / "devices" / path / "block" / disk;
    fs::create_directories(device);
    std::ofstream(device / "removable") << (removable ? "1\n" : "0\n");
    fs::create_directories(root_ / "class/block");
    fs::create_directory_symlink(device, root_ / "class/block" / disk);
    for (const std::string& partition : partitions) {
      fs::create_directories(device / partition);
      std::ofstream(device / partition / "partition") << "1\n";
      fs::create_directory_symlink(device / partition, root_ / "class/block" / partition);
    }
  }

  std::string Kind(const std::string& name) {
    bool removable = true, usb = true;
    DeviceKind(root_.string(), name, &removable, &usb);
    return std::string(removable ? "removable" : "fixed") + (usb ? " usb" : "");
  }

  fs::path root_;
};

TEST_F(DeviceKindTest, APartitionAnswersForItsDisk) {
  AddDisk("pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0", "sdb", false,
          {"sdb1"});
  AddDisk("pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0", "sda", false, {"sda1"});
  AddDisk("platform/sdhci/mmc_host/mmc0/mmc0:0001", "mmcblk0", true, {"mmcblk0p1"});
  EXPECT_EQ(Kind("sdb1"), "fixed usb");  // many USB sticks say they are not removable
  EXPECT_EQ(Kind("sdb"), "fixed usb");
  EXPECT_EQ(Kind("sda1"), "fixed");
  EXPECT_EQ(Kind("mmcblk0p1"), "removable");
  EXPECT_EQ(Kind("nvme0n1"), "fixed");  // not there at all
}

}  // namespace
}  // namespace kalvex::posix
