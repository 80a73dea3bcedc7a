// The write pass: test files 1.kvx, 2.kvx, ... of 1 GiB each (the last one
// shorter), created new, filled block by block, flushed and closed one after
// another. Nothing already on the medium is opened for writing.

#include "engine/block_helper.h"
#include "engine/engine.h"
#include "engine/pass_guard.h"

namespace kalvex {

void CTestEngine::FillForHelper(void* engine, uint8_t* block, uint64_t offset, int64_t) {
  static_cast<CTestEngine*>(engine)->FillBlockAt(block, offset);
}

void CTestEngine::SetPassRunning(bool* flag, bool running) {
  std::lock_guard<std::mutex> guard(m_lock);
  *flag = running;
}

// A run over all free space may meet a full medium a little before the end it
// planned (file-system metadata takes its share). Within the allowance this is
// the normal end: the size becomes what was written, and true is returned.
bool CTestEngine::CutSizeAtFullMedium(uint64_t written) {
  const uint64_t planned = SizeMB();
  const uint64_t shortfall = planned - written;
  const uint64_t allowance = (planned >> 20) + 1;
  if (shortfall > allowance) return false;
  SetSize(written);
  std::lock_guard<std::mutex> guard(m_lock);
  m_status.m_mbTotal = m_doVerify ? 2 * written : written;
  return true;
}

RunError CTestEngine::WritePass() {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_status.m_writing = true;
    m_status.m_writeStarted = true;
    m_status.m_mbWritten = 0;
    m_status.m_writeStart = m_platform.Counter();
    m_status.m_writeLast = m_platform.Counter();
    m_profile.write_start = m_status.m_writeStart;
    m_writeSteps = 0;
  }
  PassGuard pass(*this, &m_status.m_writing);
  uint64_t total = SizeMB() * kBlockSize;
  if (total == 0) return RunError();
  if (m_buffer == nullptr) return TargetError(ErrorKind::kNoBuffer);
  if (m_folder == kNoFolder) return FolderError();

  uint64_t offset = 0;
  uint64_t written = 0;  // MByte, the worker's own copy of m_mbWritten
  // The block at `offset` is in blocks[current], or on its way there from
  // the filler; the other block is the filler's for the block after it.
  // Declared after the pass guard, so it is joined before the guard closes
  // the file and clears the running flag.
  uint8_t* const blocks[2] = {m_buffer, m_buffer + kBlockSize};
  size_t current = 0;
  BlockHelper filler(&FillForHelper, this, m_platform);
  filler.Hand(blocks[current], offset);
  auto medium_full = [&] {
    RunError error;
    error.kind = ErrorKind::kMediumFull;
    error.expected_mb = SizeMB();
    error.found_mb = written;
    return error;
  };
  for (uint64_t file_number = 1;; ++file_number) {
    if (!FormatTestFileName(file_number)) return TargetError(ErrorKind::kPathTooLong);
    if (!m_platform.FolderStillAt(m_folder, m_targetPath.c_str()))
      return TargetError(ErrorKind::kMediumGone);
    FileHandle file = kNoFile;
    ErrorCode error = 0;
    if (!m_platform.CreateNew(m_folder, TestFileName(), &file, &error)) {
      if (m_useAllSpace && m_platform.IsDiskFull(error))
        return CutSizeAtFullMedium(written) ? RunError() : medium_full();
      return SystemError(ErrorKind::kCreate, m_fileName, error, m_platform);
    }
    pass.Hold(file);

    const uint64_t file_start = offset;
    const uint64_t file_end = offset + kFileSize;
    while (offset < file_end && offset < total) {
      if (m_abort.load()) return RunError();
      filler.Wait();
      // The next block is made while this one is written. It may never be
      // written (an error, an abort, a full medium); it is never counted.
      if (offset + kBlockSize < total) filler.Hand(blocks[current ^ 1], offset + kBlockSize);
      if (!m_platform.Write(file, blocks[current], kBlockSize, &error)) {
        if (m_useAllSpace && m_platform.IsDiskFull(error)) {
          if (!CutSizeAtFullMedium(written)) return medium_full();
          total = offset;  // flush and close this file, create no further one
          break;
        }
        return SystemError(ErrorKind::kWrite, m_fileName, error, m_platform,
                           offset - file_start);
      }
      offset += kBlockSize;
      current ^= 1;
      ++written;
      std::lock_guard<std::mutex> guard(m_lock);
      m_status.m_mbWritten = written;
      m_status.m_writeLast = m_platform.Counter();
      if (written % m_profile.step_mb == 0 && m_writeSteps < m_profile.write_done.size())
        m_profile.write_done[m_writeSteps++] = m_status.m_writeLast;
    }

    if (!m_platform.Flush(file, &error))
      return SystemError(ErrorKind::kFlush, m_fileName, error, m_platform);
    if (!pass.Close(&error)) return SystemError(ErrorKind::kClose, m_fileName, error, m_platform);
    if (offset >= total) return RunError();
  }
}

}  // namespace kalvex
