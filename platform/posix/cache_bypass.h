// Reading past the system's caches on POSIX systems: whether the reads of a
// folder's test files reach the medium by themselves, and emptying the
// caches on the way where they do not.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/platform.h"

namespace kalvex::posix {

// The mount source (such as "/dev/sdb1") of the file system whose device
// number is device, from a mount table in the format of
// /proc/self/mountinfo; empty when none matches.
std::string MountSourceOf(dev_t device, const std::string& mountinfo);

// See Platform::PrepareToRead; folder is an open descriptor of the folder.
CacheBypass PrepareToRead(int folder);

}  // namespace kalvex::posix
