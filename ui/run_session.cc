#include "ui/run_session.h"

#include <utility>

namespace kalvex {

Outcome ClassifyOutcome(const RunStatus& status, const std::string& error_text,
                        bool abort_requested) {
  if (status.m_firstError.taken) return Outcome::kFaulty;
  if (!error_text.empty()) return Outcome::kError;
  if (abort_requested || status.m_abort) return Outcome::kAborted;
  if (status.m_verifyStarted && status.m_cacheBypass == CacheBypass::kNotGuaranteed)
    return Outcome::kUnconfirmed;
  return Outcome::kOk;
}

RunSession::RunSession(CTestEngine& engine) : m_engine(engine) {}

RunSession::~RunSession() { m_engine.JoinWorker(); }

bool RunSession::Start(DoneNotifier on_done) {
  const uint64_t capacity = m_engine.GetCapacityMB();
  m_capacityBytes = capacity == kAllOnes ? 0 : capacity * kBlockSize;
  m_engine.PrepareRun();
  const bool started = m_engine.StartWorker([this, on_done = std::move(on_done)] {
    {
      // Notified under the lock: a waiting front end cannot return and
      // destroy the session before this is over.
      std::lock_guard<std::mutex> lock(m_mutex);
      m_ended = true;
      m_endedCv.notify_all();
    }
    if (on_done) on_done();
  });
  if (!started) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = true;
  }
  return started;
}

bool RunSession::WaitForEnd(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_endedCv.wait_for(lock, timeout, [this] { return m_ended; });
}

void RunSession::Finish() {
  if (m_finished) return;
  m_finished = true;
  m_engine.JoinWorker();
  m_status = m_engine.CopyStatus();
  m_history = m_engine.VerifyHistory();
  m_profile = m_engine.CopyProfile();
  m_errorText = m_engine.ErrorText();
  m_error = m_engine.Error();
  m_warningText = m_engine.WarningText();
  m_sizeMB = m_engine.SizeMB();
  m_outcome = ClassifyOutcome(m_status, m_errorText, m_engine.AbortRequested());
  m_report = BuildFinalReport(m_status, m_errorText, m_warningText);
  m_verdict = JudgeRun(m_status, m_error, m_engine.AbortRequested() || m_status.m_abort,
                       m_status.m_cacheBypass != CacheBypass::kNotGuaranteed);
  m_verdictText = VerdictText(m_verdict, m_status, m_capacityBytes);
}

}  // namespace kalvex
