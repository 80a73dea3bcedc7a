// Shared vocabulary of the test engine: sizes, the status record that the
// user interface copies, and the first-error record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace kalvex {

constexpr uint64_t kBlockSize = 1048576;         // one TestBlock, the unit of I/O
constexpr uint64_t kSectorSize = 512;            // one TestSector, the unit of checking
constexpr uint64_t kSectorsPerBlock = kBlockSize / kSectorSize;  // 2048
constexpr uint64_t kWordsPerSector = kSectorSize / 8;            // 64
constexpr uint64_t kFileSize = 1073741824;       // one TestFile: 1024 blocks
constexpr uint64_t kBlocksPerFile = kFileSize / kBlockSize;

// A failed volume query, and "all free space could not be resolved".
constexpr uint64_t kAllOnes = ~uint64_t{0};
// ScanTestData's answer for test files of a shape a write pass cannot leave.
constexpr uint64_t kIrregularTestFiles = ~uint64_t{0} - 1;

// The first mismatching 64-bit word of a verify pass. offset/expected/found
// are meaningful only while taken is true.
struct FirstError {
  bool taken = false;
  uint64_t offset = 0;
  uint64_t expected = 0;
  uint64_t found = 0;
};

enum class SectorClass { kOk, kOverwritten, kSlightlyChanged, kCorrupted };

// Everything the user interface needs to show a run. The worker changes it
// only under the engine's lock; readers copy it whole (CTestEngine::CopyStatus)
// and never look at single fields of the live record.
struct RunStatus {
  int64_t m_frequency = 0;  // performance-counter counts per second
  bool m_abort = false;     // snapshot of the engine's atomic abort flag
  bool m_writeStarted = false;
  bool m_writing = false;
  uint64_t m_mbWritten = 0;
  int64_t m_writeStart = 0;
  int64_t m_writeLast = 0;
  bool m_verifyStarted = false;
  bool m_verifying = false;
  uint64_t m_mbVerified = 0;
  int64_t m_verifyStart = 0;
  int64_t m_verifyLast = 0;
  uint64_t m_mbTotal = 0;
  uint64_t m_okSectors = 0;
  uint64_t m_overwrittenSectors = 0;
  uint64_t m_changedSectors = 0;
  uint64_t m_corruptedSectors = 0;
  uint64_t m_aliasedCount = 0;
  FirstError m_firstError;
  uint64_t m_verifyPasses = 0;  // verify passes begun in this run
  // Blocks of the current verify pass without a single intact sector: what
  // a medium that keeps nothing beyond its real size loses.
  uint64_t m_lostBlocks = 0;
  // How the reads of the current verify pass reached the medium.
  CacheBypass m_cacheBypass = CacheBypass::kDirect;
};

}  // namespace kalvex
