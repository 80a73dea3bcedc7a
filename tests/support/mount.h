// A small tmpfs of its own for tests that must fill a medium, run it out of
// space or pull it away mid-run. Such tests must never do that to a folder
// of the machine's own disk, so they get a medium that exists only for them.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "tests/support/support.h"

namespace kalvex::testing {

class TmpfsMount {
 public:
  // Mounts a tmpfs of size_bytes on a fresh TempDir, or on mount_point (an
  // existing empty folder) when one is given. Whether it worked is in
  // mounted(); the reason it did not is in failure().
  explicit TmpfsMount(uint64_t size_bytes, const std::string& mount_point = "");
  // Unmounts lazily and detached: a child that still holds a file open, or
  // a test that failed half-way, must not leave the mount behind.
  ~TmpfsMount();
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool mounted() const { return m_mounted; }
  const std::string& failure() const { return m_failure; }
  const std::string& path() const { return m_path; }
  std::string File(const std::string& name) const { return m_path + "/" + name; }

  // True while path() still leads to this tmpfs and not to the bare folder
  // beneath it. Checked before anything large is written there.
  bool StillMounted() const;

  // Pulls the medium out: unmounts lazily now. Files that are open stay
  // usable on the detached tmpfs; the path leads to the bare folder again.
  void Detach();

  // Writes a file of zeros at name until the tmpfs is full, so that no block
  // is left free. Throws unless the tmpfs is still mounted there.
  uint64_t FillUp(const std::string& name) const;

 private:
  std::optional<TempDir> m_ownDir;
  std::string m_path;
  std::string m_failure;
  bool m_mounted = false;
  dev_t m_device = 0;
};

}  // namespace kalvex::testing

// Skips the test when the tmpfs could not be had (not root, no mount
// permission in a container, ...): that says nothing about the program.
#define KALVEX_SKIP_UNLESS_MOUNTED(mount)                                      \
  do {                                                                         \
    if (!(mount).mounted()) GTEST_SKIP() << "no tmpfs: " << (mount).failure(); \
  } while (false)
