// The verify pass: reads 1.kvx, 2.kvx, ... back in number order until the
// next number does not exist, checks every block against the pattern of its
// position in the whole test data, and requires the amount read to be the
// run's size. It never writes, truncates or deletes a file.

#include "engine/engine.h"
#include "engine/pass_guard.h"

namespace kalvex {

RunError CTestEngine::VerifyPass() {
  // Before the pass's clock starts: emptying caches may take a while.
  const CacheBypass bypass =
      m_folder != kNoFolder ? m_platform.PrepareToRead(m_folder) : CacheBypass::kNotGuaranteed;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_status.m_cacheBypass = bypass;
    m_status.m_verifying = true;
    m_status.m_verifyStarted = true;
    ++m_status.m_verifyPasses;
    m_status.m_firstError.taken = false;
    m_status.m_mbVerified = 0;
    m_status.m_okSectors = 0;
    m_status.m_overwrittenSectors = 0;
    m_status.m_changedSectors = 0;
    m_status.m_corruptedSectors = 0;
    m_status.m_aliasedCount = 0;
    m_status.m_lostBlocks = 0;
    m_status.m_verifyStart = m_platform.Counter();
    m_status.m_verifyLast = m_platform.Counter();
    m_profile.verify_start = m_status.m_verifyStart;
    m_verifySteps = 0;
  }
  PassGuard pass(*this, &m_status.m_verifying);
  m_aliasedOffsets.Clear();
  m_pendingAliasLength = 0;
  if (m_buffer == nullptr) return TargetError(ErrorKind::kNoBuffer);
  if (m_folder == kNoFolder) return FolderError();

  uint64_t offset = 0;    // runs on across files: the position in the test data
  uint64_t verified = 0;  // MByte, the worker's own copy of m_mbVerified
  for (uint64_t file_number = 1;; ++file_number) {
    if (!FormatTestFileName(file_number)) return TargetError(ErrorKind::kPathTooLong);
    if (!m_platform.FolderStillAt(m_folder, m_targetPath.c_str()))
      return TargetError(ErrorKind::kMediumGone);
    FileHandle file = kNoFile;
    ErrorCode error = 0;
    if (!m_platform.OpenExisting(m_folder, TestFileName(), &file, &error)) {
      if (!m_platform.IsNotFound(error))
        return SystemError(ErrorKind::kOpen, m_fileName, error, m_platform);
      // The first missing number ends the test data; it must hold exactly
      // the run's size, in either direction.
      if (verified == SizeMB()) return RunError();
      RunError mismatch;
      mismatch.kind = ErrorKind::kAmountMismatch;
      mismatch.expected_mb = SizeMB();
      mismatch.found_mb = verified;
      return mismatch;
    }
    pass.Hold(file);

    const uint64_t file_start = offset;
    for (;;) {
      if (m_abort.load()) return RunError();
      size_t got = 0;
      if (!m_platform.Read(file, m_buffer, kBlockSize, &got, &error))
        return SystemError(ErrorKind::kRead, m_fileName, error, m_platform, offset - file_start);
      if (got == 0) {
        pass.Abandon();
        break;
      }
      if (got != kBlockSize) {
        // A partial block is never checked: its missing part would count as
        // lost data although the file system, not the medium, cut it.
        RunError partial;
        partial.kind = ErrorKind::kPartialBlock;
        partial.path = m_fileName;
        return partial;
      }
      CheckBlock(offset);
      // The block's own tally is still in place after the check.
      const bool lost = m_tally.ok == 0;
      offset += kBlockSize;
      ++verified;
      std::lock_guard<std::mutex> guard(m_lock);
      m_status.m_mbVerified = verified;
      m_status.m_lostBlocks += lost ? 1 : 0;
      m_status.m_verifyLast = m_platform.Counter();
      if (verified % m_profile.step_mb == 0 && m_verifySteps < m_profile.verify_done.size())
        m_profile.verify_done[m_verifySteps++] = m_status.m_verifyLast;
    }
  }
}

}  // namespace kalvex
