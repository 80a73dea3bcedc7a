// The verify pass: reads 1.kvx, 2.kvx, ... back in number order until the
// next number does not exist, checks every block against the pattern of its
// position in the whole test data, and requires the amount read to be the
// run's size. It never writes, truncates or deletes a file.

#include "engine/engine.h"
#include "engine/messages.h"

namespace kalvex {

namespace {
unsigned long long Ull(uint64_t value) { return value; }
}  // namespace

bool CTestEngine::VerifyPass() {
  {
    std::lock_guard<std::mutex> guard(m_lock);
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
    m_status.m_verifyStart = m_platform.Counter();
    m_status.m_verifyLast = m_platform.Counter();
  }
  m_aliasedOffsets.Clear();
  m_pendingAliasLength = 0;
  if (m_buffer == nullptr) {
    SetPassRunning(&m_status.m_verifying, false);
    RaiseError(msg::kNoBuffer.Get());
    return false;
  }

  uint64_t offset = 0;    // runs on across files: the position in the test data
  uint64_t verified = 0;  // MByte, the worker's own copy of m_mbVerified
  for (uint64_t file_number = 1;; ++file_number) {
    if (!FormatTestFileName(file_number)) {
      SetPassRunning(&m_status.m_verifying, false);
      RaisePathTooLong();
      return false;
    }
    FileHandle file = kNoFile;
    ErrorCode error = 0;
    if (!m_platform.OpenExisting(m_fileName, &file, &error)) {
      SetPassRunning(&m_status.m_verifying, false);
      if (!m_platform.IsNotFound(error)) {
        RaiseSystemError(error, msg::kOpenError.Get(), m_fileName);
        return false;
      }
      // The first missing number ends the test data; it must hold exactly
      // the run's size, in either direction.
      if (verified == SizeMB()) return true;
      RaiseError(msg::kAmountMismatch.Get(), Ull(SizeMB()), Ull(verified));
      return false;
    }

    const uint64_t file_start = offset;
    for (;;) {
      ErrorCode ignored;
      if (m_abort.load()) {
        m_platform.Close(file, &ignored);
        SetPassRunning(&m_status.m_verifying, false);
        return true;
      }
      size_t got = 0;
      if (!m_platform.Read(file, m_buffer, kBlockSize, &got, &error)) {
        m_platform.Close(file, &ignored);
        SetPassRunning(&m_status.m_verifying, false);
        RaiseSystemError(error, msg::kReadError.Get(), m_fileName, Ull(offset - file_start));
        return false;
      }
      if (got == 0) {
        m_platform.Close(file, &ignored);
        break;
      }
      if (got != kBlockSize) {
        // A partial block is never checked: its missing part would count as
        // lost data although the file system, not the medium, cut it.
        SetPassRunning(&m_status.m_verifying, false);
        m_platform.Close(file, &ignored);
        RaiseError(msg::kPartialBlock.Get(), m_fileName, Ull(kBlockSize));
        return false;
      }
      CheckBlock(offset);
      offset += kBlockSize;
      ++verified;
      std::lock_guard<std::mutex> guard(m_lock);
      m_status.m_mbVerified = verified;
      m_status.m_verifyLast = m_platform.Counter();
    }
  }
}

}  // namespace kalvex
