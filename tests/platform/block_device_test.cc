// The probe's checks of a block device over a sysfs tree, a mount table and
// a swap table of the test's own: no device is looked at, let alone opened.
#include "platform/posix/block_device.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace kalvex::posix {
namespace {

namespace fs = std::filesystem;

// /sys with: sda (partitions sda1, sda2) under a USB device, sdb (whole,
// with sdb1), dm-0 on sdb1, loop3.
class ProbeChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kalvex-sysfs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_root = pattern;
    Disk("sda", 8, 0, "/devices/pci0000:00/usb1/1-1/host0/block/sda", "SanDisk ", "Cruzer\n");
    Partition("sda", "sda1", 8, 1);
    Partition("sda", "sda2", 8, 2);
    Disk("sdb", 8, 16, "/devices/pci0000:00/ata1/host1/block/sdb", "ATA", "Disk");
    Partition("sdb", "sdb1", 8, 17);
    Disk("dm-0", 254, 0, "/devices/virtual/block/dm-0", "", "");
    fs::create_directories(m_root + "/devices/virtual/block/dm-0/slaves");
    Link(m_root + "/devices/virtual/block/dm-0/slaves/sdb1", "../../../../pci0000:00/ata1/host1/block/sdb/sdb1");
    fs::create_directories(m_root + "/devices/pci0000:00/ata1/host1/block/sdb/sdb1/holders");
    Link(m_root + "/devices/pci0000:00/ata1/host1/block/sdb/sdb1/holders/dm-0", "../../../../../../virtual/block/dm-0");
    Disk("loop3", 7, 3, "/devices/virtual/block/loop3", "", "");
    m_view.sysfs = m_root;
  }
  void TearDown() override {
    if (!m_root.empty()) fs::remove_all(m_root);
  }

  void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
  }
  void Link(const std::string& link, const std::string& target) {
    fs::create_directories(fs::path(link).parent_path());
    fs::create_symlink(target, link);
  }
  void Disk(const std::string& name, int major_number, int minor_number, const std::string& where,
            const std::string& vendor, const std::string& model) {
    const std::string folder = m_root + where;
    Write(folder + "/dev", std::to_string(major_number) + ":" + std::to_string(minor_number) + "\n");
    Write(folder + "/size", "2048\n");
    if (!vendor.empty()) Write(folder + "/device/vendor", vendor);
    if (!model.empty()) Write(folder + "/device/model", model);
    Link(m_root + "/class/block/" + name, ".." + std::string("/..") + where);
    Link(m_root + "/dev/block/" + std::to_string(major_number) + ":" +
             std::to_string(minor_number),
         "../.." + where);
    m_where[name] = where;
  }
  void Partition(const std::string& disk, const std::string& name, int major_number,
                 int minor_number) {
    const std::string where = m_where[disk] + "/" + name;
    Disk(name, major_number, minor_number, where, "", "");
    Write(m_root + where + "/partition", "1\n");
  }

  std::string m_root;
  std::map<std::string, std::string> m_where;
  SystemView m_view;
};

TEST_F(ProbeChecksTest, AnUnusedWholeDiskMayBeProbed) {
  const TargetCheck check = CheckBlockDevice(makedev(8, 0), m_view);
  EXPECT_EQ(check.refusal, TargetRefusal::kNone);
  EXPECT_EQ(check.name, "sda");
  const BlockDeviceInfo info = ReadBlockDeviceInfo(m_root, "sda");
  EXPECT_EQ(info.model, "SanDisk Cruzer");
  EXPECT_EQ(info.size, 2048u * 512);
  EXPECT_TRUE(info.usb);
  EXPECT_FALSE(ReadBlockDeviceInfo(m_root, "sdb").usb);
}

TEST_F(ProbeChecksTest, APartitionIsRefusedWithItsDisk) {
  const TargetCheck check = CheckBlockDevice(makedev(8, 2), m_view);
  EXPECT_EQ(check.refusal, TargetRefusal::kPartition);
  EXPECT_EQ(check.detail, "sda");
}

TEST_F(ProbeChecksTest, AMountedPartitionRefusesItsDisk) {
  m_view.mountinfo =
      "22 1 0:21 / /proc rw - proc proc rw\n"
      "90 27 8:2 / /media/a\\040stick rw,relatime - vfat /dev/sda2 rw\n";
  const TargetCheck check = CheckBlockDevice(makedev(8, 0), m_view);
  EXPECT_EQ(check.refusal, TargetRefusal::kMounted);
  EXPECT_EQ(check.detail, "sda2 (/media/a stick)");
  // btrfs shows an anonymous number; the source still names the device.
  m_view.mountinfo = "90 27 0:55 / /data rw - btrfs /dev/sda1 rw\n";
  EXPECT_EQ(CheckBlockDevice(makedev(8, 0), m_view).refusal, TargetRefusal::kMounted);
  EXPECT_EQ(CheckBlockDevice(makedev(7, 3), m_view).refusal, TargetRefusal::kNone);
}

TEST_F(ProbeChecksTest, SwapAndStackedDevicesRefuse) {
  m_view.swaps = "Filename Type Size Used Priority\n/dev/sda1 partition 1024 0 -2\n";
  EXPECT_EQ(CheckBlockDevice(makedev(8, 0), m_view).refusal, TargetRefusal::kSwap);
  const TargetCheck held = CheckBlockDevice(makedev(8, 16), m_view);
  EXPECT_EQ(held.refusal, TargetRefusal::kHeld);
  EXPECT_EQ(held.detail, "sdb1 (dm-0)");
}

TEST_F(ProbeChecksTest, TheSystemDiskIsRefusedThroughPartitionsAndMappers) {
  m_view.root_devices = {makedev(254, 0)};  // / on dm-0, on sdb1, on sdb
  EXPECT_EQ(CheckBlockDevice(makedev(8, 16), m_view).refusal, TargetRefusal::kSystemDisk);
  EXPECT_EQ(CheckBlockDevice(makedev(8, 0), m_view).refusal, TargetRefusal::kNone);
  EXPECT_TRUE(StoredOn(m_root, makedev(254, 0), "sdb"));
  EXPECT_TRUE(StoredOn(m_root, makedev(8, 2), "sda"));
  EXPECT_FALSE(StoredOn(m_root, makedev(8, 2), "sdb"));
  EXPECT_FALSE(StoredOn(m_root, makedev(0, 40), "sda"));  // a tmpfs
}

TEST(ProbeTargetTest, PathsThatAreNoBlockDeviceAreRefused) {
  const SystemView view = CurrentSystemView();
  EXPECT_EQ(CheckProbeTarget("/etc/hostname", view).refusal, TargetRefusal::kNotBlockDevice);
  EXPECT_EQ(CheckProbeTarget("/dev/null", view).refusal, TargetRefusal::kNotBlockDevice);
  EXPECT_EQ(CheckProbeTarget("/no/such/device", view).refusal, TargetRefusal::kMissing);
}

}  // namespace
}  // namespace kalvex::posix
