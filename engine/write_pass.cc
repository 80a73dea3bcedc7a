// The write pass: test files 1.kvx, 2.kvx, ... of 1 GiB each (the last one
// shorter), created new, filled block by block, flushed and closed one after
// another. Nothing already on the medium is opened for writing.

#include "engine/engine.h"
#include "engine/messages.h"

namespace kalvex {

namespace {
unsigned long long Ull(uint64_t value) { return value; }
long long Sll(uint64_t value) { return static_cast<long long>(value); }
}  // namespace

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

bool CTestEngine::WritePass() {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_status.m_writing = true;
    m_status.m_writeStarted = true;
    m_status.m_mbWritten = 0;
    m_status.m_writeStart = m_platform.Counter();
    m_status.m_writeLast = m_platform.Counter();
  }
  uint64_t total = SizeMB() * kBlockSize;
  if (total == 0) {
    SetPassRunning(&m_status.m_writing, false);
    return true;
  }
  if (m_buffer == nullptr) {
    SetPassRunning(&m_status.m_writing, false);
    RaiseError(msg::kNoBuffer.Get());
    return false;
  }

  uint64_t offset = 0;
  uint64_t written = 0;  // MByte, the worker's own copy of m_mbWritten
  for (uint64_t file_number = 1;; ++file_number) {
    if (!FormatTestFileName(file_number)) {
      SetPassRunning(&m_status.m_writing, false);
      RaisePathTooLong();
      return false;
    }
    FileHandle file = kNoFile;
    ErrorCode error = 0;
    if (!m_platform.CreateNew(m_fileName, &file, &error)) {
      SetPassRunning(&m_status.m_writing, false);
      if (m_useAllSpace && m_platform.IsDiskFull(error)) {
        if (CutSizeAtFullMedium(written)) return true;
        RaiseError(msg::kMediumFull.Get(), Sll(SizeMB()), Sll(written));
        return false;
      }
      RaiseSystemError(error, msg::kCreateError.Get(), m_fileName);
      return false;
    }

    const uint64_t file_start = offset;
    const uint64_t file_end = offset + kFileSize;
    while (offset < file_end && offset < total) {
      if (m_abort.load()) {
        ErrorCode ignored;
        m_platform.Close(file, &ignored);
        SetPassRunning(&m_status.m_writing, false);
        return true;
      }
      FillBlock(offset);
      if (!m_platform.Write(file, m_buffer, kBlockSize, &error)) {
        if (m_useAllSpace && m_platform.IsDiskFull(error)) {
          if (CutSizeAtFullMedium(written)) {
            total = offset;  // flush and close this file, create no further one
            break;
          }
          ErrorCode ignored;
          m_platform.Close(file, &ignored);
          SetPassRunning(&m_status.m_writing, false);
          RaiseError(msg::kMediumFull.Get(), Sll(SizeMB()), Sll(written));
          return false;
        }
        ErrorCode ignored;
        m_platform.Close(file, &ignored);
        SetPassRunning(&m_status.m_writing, false);
        RaiseSystemError(error, msg::kWriteError.Get(), m_fileName, Ull(offset - file_start));
        return false;
      }
      offset += kBlockSize;
      ++written;
      std::lock_guard<std::mutex> guard(m_lock);
      m_status.m_mbWritten = written;
      m_status.m_writeLast = m_platform.Counter();
    }

    if (!m_platform.Flush(file, &error)) {
      ErrorCode ignored;
      m_platform.Close(file, &ignored);
      SetPassRunning(&m_status.m_writing, false);
      RaiseSystemError(error, msg::kFlushError.Get(), m_fileName);
      return false;
    }
    if (!m_platform.Close(file, &error)) {
      SetPassRunning(&m_status.m_writing, false);
      RaiseSystemError(error, msg::kCloseError.Get(), m_fileName);
      return false;
    }
    if (offset >= total) {
      SetPassRunning(&m_status.m_writing, false);
      return true;
    }
  }
}

}  // namespace kalvex
