// The verify pass: reads 1.kvx, 2.kvx, ... back in number order until the
// next number does not exist, checks every block against the pattern of its
// position in the whole test data, and requires the amount read to be the
// run's size. It never writes, truncates or deletes a file.

#include "engine/block_helper.h"
#include "engine/engine.h"
#include "engine/pass_guard.h"

namespace kalvex {

// A block is verified once it is checked: only then are its sectors and the
// block itself counted, in that order, each under the lock as one update.
// Its time is that of its read, taken by the reading thread: the reading
// rate is the medium's, and the counter is only ever read by that thread.
void CTestEngine::VerifyForHelper(void* context, uint8_t* block, uint64_t offset,
                                  int64_t read_at) {
  CTestEngine& engine = *static_cast<CTestEngine*>(context);
  engine.CheckBlockAt(block, offset);
  // The block's own tally is still in place after the check.
  const bool lost = engine.m_tally.ok == 0;
  // The offsets of a pass are the bytes read before the block, so this is
  // the count of blocks verified with it.
  const uint64_t verified = offset / kBlockSize + 1;
  std::lock_guard<std::mutex> guard(engine.m_lock);
  RunStatus& status = engine.m_status;
  SpeedProfile& profile = engine.m_profile;
  status.m_mbVerified = verified;
  status.m_lostBlocks += lost ? 1 : 0;
  status.m_verifyLast = read_at;
  if (verified % profile.step_mb == 0 && engine.m_verifySteps < profile.verify_done.size())
    profile.verify_done[engine.m_verifySteps++] = status.m_verifyLast;
}

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
  uint64_t verified = 0;  // MByte read and handed to the checker
  // Each block read goes to the checker, which checks and counts it while
  // the next one is read into the other block. Declared after the pass
  // guard, so every block read is checked and counted before the guard
  // closes the file and clears the running flag, on every way out.
  uint8_t* const blocks[2] = {m_buffer, m_buffer + kBlockSize};
  size_t current = 0;
  BlockHelper checker(&VerifyForHelper, this, m_platform);
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
      if (!m_platform.Read(file, blocks[current], kBlockSize, &got, &error))
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
      const int64_t read_at = m_platform.Counter();
      checker.Wait();
      checker.Hand(blocks[current], offset, read_at);
      current ^= 1;
      offset += kBlockSize;
      ++verified;
    }
  }
}

}  // namespace kalvex
