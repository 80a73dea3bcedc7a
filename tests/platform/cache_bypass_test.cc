// The device behind a mount, as the cache emptying finds it, and what the
// system's own file systems answer for reading past their caches.

#include "platform/posix/cache_bypass.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace kalvex::posix {
namespace {

constexpr const char* kMountTable =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
    "90 27 7:3 / /media/stick rw,nosuid - ext4 /dev/loop3 rw\n"
    // Optional fields before the separator, as shared mounts have them.
    "91 27 0:58 / /media/fat rw,nosuid shared:55 master:2 - fuseblk /dev/loop4 rw,user_id=0\n"
    "92 27 0:59 / /media/net rw - fuse.sshfs host:/dir rw\n";

TEST(MountSourceOfTest, FindsTheSourceByTheDeviceNumber) {
  EXPECT_EQ(MountSourceOf(makedev(7, 3), kMountTable), "/dev/loop3");
  EXPECT_EQ(MountSourceOf(makedev(0, 58), kMountTable), "/dev/loop4");
  EXPECT_EQ(MountSourceOf(makedev(0, 59), kMountTable), "host:/dir");
  EXPECT_EQ(MountSourceOf(makedev(254, 0), kMountTable), "/dev/vda");
  // 0:5 must not match 0:58 or 0:59.
  EXPECT_EQ(MountSourceOf(makedev(0, 5), kMountTable), "");
  EXPECT_EQ(MountSourceOf(makedev(7, 3), ""), "");
  EXPECT_EQ(MountSourceOf(makedev(7, 3), "garbage without fields\n"), "");
}

// A kernel file system that takes direct I/O needs no help; the machine's
// temporary folder is one (ext4, xfs, btrfs or tmpfs).
TEST(PrepareToReadTest, AKernelFileSystemWithDirectIoReadsTheMediumItself) {
  char folder_name[] = "/tmp/kalvex-cache-XXXXXX";
  ASSERT_NE(mkdtemp(folder_name), nullptr);
  const int folder = open(folder_name, O_RDONLY | O_DIRECTORY);
  ASSERT_GE(folder, 0);
  const int probe = openat(folder, "probe", O_RDWR | O_CREAT | O_DIRECT, 0644);
  const bool direct = probe >= 0;
  if (probe >= 0) close(probe);
  unlinkat(folder, "probe", 0);
  EXPECT_EQ(PrepareToRead(folder), direct ? CacheBypass::kDirect : CacheBypass::kFlushed);
  close(folder);
  rmdir(folder_name);
}

}  // namespace
}  // namespace kalvex::posix
