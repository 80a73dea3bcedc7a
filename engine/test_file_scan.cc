// What test data a target already holds. Runs on the user-interface thread
// between runs and only looks: files are opened for reading and closed.

#include "engine/engine.h"

namespace kalvex {

uint64_t CTestEngine::ScanTestData() {
  if (!m_hasTarget) return 0;
  uint64_t total_mb = 0;
  bool short_file_seen = false;
  for (uint64_t number = 1;; ++number) {
    if (!FormatTestFileName(number)) return total_mb;
    FileHandle file = kNoFile;
    ErrorCode error = 0;
    // Whatever keeps a file from opening (missing, locked, no access) ends
    // the test data there.
    if (!m_platform.OpenExisting(m_fileName, &file, &error)) return total_mb;
    const uint64_t size = m_platform.FileSize(file);
    ErrorCode ignored;
    m_platform.Close(file, &ignored);
    // A write pass leaves only its last file shorter than 1 GiB, and every
    // file a whole number of blocks long.
    if (short_file_seen) return kIrregularTestFiles;
    if (size % kBlockSize != 0) return kIrregularTestFiles;
    total_mb += size >> 20;
    if (size != kFileSize) short_file_seen = true;
  }
}

bool CTestEngine::TestFilesPresent() {
  if (!m_hasTarget || !FormatWildcard()) return false;
  return m_platform.AnyEntryMatches(m_fileName);
}

}  // namespace kalvex
