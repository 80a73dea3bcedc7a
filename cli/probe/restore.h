// Putting back what a probe overwrote, from its backup file, and reading it
// back to be sure.
#pragma once

#include <cstdint>

#include "cli/probe/backup_file.h"
#include "platform/block_device.h"

namespace kalvex::probe {

struct RestoreReport {
  bool ok = false;  // every range reads back as saved
  uint64_t records = 0;
  uint64_t bytes_written = 0;
  uint64_t bytes_read = 0;
  uint64_t write_errors = 0;
  uint64_t mismatches = 0;  // ranges that read back otherwise, or not at all
  int error = 0;            // the first error number met
};

// Writes the committed records back, the last read first, then reads every
// one back. On a medium that wraps, one place can have been saved under
// several offsets; the first save holds what was there before the probe,
// and going backwards puts exactly that back last. A later save that holds
// the probe's own pattern for another of the saved offsets is what the
// probe had written there through the wrap: such sectors are not expected
// to read back as saved.
RestoreReport Restore(BlockMedium& medium, const BackupContents& contents, const FileReader& read);

}  // namespace kalvex::probe
