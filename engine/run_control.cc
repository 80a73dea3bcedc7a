// Preparing a run, the worker thread, and the one notification of its end.

#include "engine/engine.h"

namespace kalvex {

void CTestEngine::PrepareRun() {
  JoinWorker();
  {
    std::lock_guard<std::mutex> guard(m_textLock);
    m_error = RunError();
    m_errorText.clear();
  }
  m_abort.store(false);
  {
    // No worker exists now; the lock keeps the user interface's copies whole.
    std::lock_guard<std::mutex> guard(m_lock);
    m_status.m_firstError.taken = false;
    m_status.m_verifying = false;
    m_status.m_writing = false;
    m_status.m_writeStarted = false;
    m_status.m_verifyStarted = false;
    m_status.m_mbVerified = 0;
    m_status.m_mbWritten = 0;
    m_status.m_verifyPasses = 0;
    m_status.m_cacheBypass = CacheBypass::kDirect;
    m_verifyHistory.clear();
  }
  if (SizeMB() == 0) {
    m_useAllSpace = true;
    // A failed query leaves all ones: the write pass then fills the medium
    // and ends with the medium-full message.
    SetSize(GetFreeSpaceMB());
  } else {
    m_useAllSpace = false;
  }
  // The run stays with the folder it starts in, whatever later appears
  // under the target's path.
  OpenRunFolder();
  const uint64_t size = SizeMB();
  std::lock_guard<std::mutex> guard(m_lock);
  m_status.m_mbTotal = (m_doWrite && m_doVerify) ? 2 * size : size;
  m_profile.step_mb = ProfileStepMB(size);
  m_profile.frequency = m_status.m_frequency;
  const size_t steps = static_cast<size_t>(size / m_profile.step_mb + 1);
  m_profile.write_done.assign(steps, 0);
  m_profile.verify_done.assign(steps, 0);
  m_writeSteps = m_verifySteps = 0;
}

bool CTestEngine::StartWorker(DoneNotifier done) {
  JoinWorker();
  try {
    m_worker = std::thread([this, done = std::move(done)]() mutable {
      m_platform.RaiseThreadPriority();
      RunTest(std::move(done));
    });
  } catch (const std::system_error&) {
    CloseRunFolder();
    RunError error;
    error.kind = ErrorKind::kNoThread;
    RaiseError(error);
    return false;
  }
  return true;
}

void CTestEngine::JoinWorker() {
  if (m_worker.joinable()) m_worker.join();
}

RunError CTestEngine::RunPasses() {
  if (m_folder == kNoFolder) return FolderError();
  // Nothing written and nothing read is no evidence of a good medium.
  if (SizeMB() == 0) return TargetError(ErrorKind::kNothingToTest);
  if (m_doWrite) {
    if (RunError error = WritePass()) return error;
  }
  if (!m_doVerify || m_abort.load()) return RunError();
  for (;;) {
    RunError error = VerifyPass();
    {
      // Once per pass, never per block: the only allocation of a run's
      // worker besides the aliased set.
      std::lock_guard<std::mutex> guard(m_lock);
      m_verifyHistory.push_back(m_status);
    }
    if (error) return error;
    const bool faulty = CopyStatus().m_firstError.taken;
    if (m_abort.load() || faulty || !m_endlessVerify) return RunError();
  }
}

void CTestEngine::RunTest(DoneNotifier done) {
  m_notify = std::move(done);
  const RunError error = RunPasses();
  CloseRunFolder();
  if (error) RaiseError(error);
  NotifyDone();
}

}  // namespace kalvex
