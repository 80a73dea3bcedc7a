// One run from start to end, the same for every front end: prepare the run
// the engine is configured for, start its worker, hand out status copies,
// pass the one end notification on, ask for an abort, and once the run is
// over take its final state, its outcome and its final report.
//
// A front end drives it from its user-interface thread. It may wait for the
// end (WaitForEnd, a terminal) or be told (the notifier given to Start, which
// runs on the worker thread and must only post an event, a window program);
// either way it then calls Finish on its own thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "report/report.h"
#include "report/verdict.h"

namespace kalvex {

// How a finished run ended. Faulty sectors decide first: once a verify pass
// has seen one, the medium is known to be bad, whether the run then went on
// to an error or was stopped. An error comes next, then the abort. A run
// without any of these whose reads may have come from a cache rather than
// from the medium is not confirmed: it must never look like a clean pass.
enum class Outcome { kOk, kFaulty, kError, kAborted, kUnconfirmed };

Outcome ClassifyOutcome(const RunStatus& status, const std::string& error_text,
                        bool abort_requested);

class RunSession {
 public:
  explicit RunSession(CTestEngine& engine);
  // Waits for a worker that is still running: it uses the engine.
  ~RunSession();
  RunSession(const RunSession&) = delete;
  RunSession& operator=(const RunSession&) = delete;

  // Prepares the run and starts its worker. on_done (may be empty) is called
  // once, on the worker thread, when the run is over. Returns false when no
  // worker could be started: the run is then over at once, on_done is not
  // called, and Finish gives the error.
  bool Start(DoneNotifier on_done = nullptr);

  // Waits at most timeout for the end of the run; true once it has ended.
  bool WaitForEnd(std::chrono::milliseconds timeout);

  // --- While the run goes on ---
  RunStatus Status() const { return m_engine.CopyStatus(); }
  // The run's data volume now (a full medium may lower it).
  uint64_t SizeMB() const { return m_engine.SizeMB(); }
  std::string WarningText() const { return m_engine.WarningText(); }
  int64_t Counter() { return m_engine.Counter(); }
  void RequestAbort() { m_engine.RequestAbort(); }
  bool AbortRequested() const { return m_engine.AbortRequested(); }

  // --- Once the run has ended ---
  // Waits for the worker to be gone and takes the final state; calling it
  // again changes nothing.
  void Finish();
  bool Finished() const { return m_finished; }
  const RunStatus& FinalStatus() const { return m_status; }
  // Each verify pass as it ended, in order.
  const std::vector<RunStatus>& VerifyHistory() const { return m_history; }
  // The speed over the position, as the run left it.
  const SpeedProfile& Profile() const { return m_profile; }
  const std::string& ErrorText() const { return m_errorText; }
  const RunError& Error() const { return m_error; }
  const std::string& FinalWarningText() const { return m_warningText; }
  uint64_t FinalSizeMB() const { return m_sizeMB; }
  Outcome GetOutcome() const { return m_outcome; }
  // An aborted run shows no report: a "no error" text would claim more than
  // was tested.
  bool ShowsReport() const { return m_outcome != Outcome::kAborted; }
  const FinalReport& Report() const { return m_report; }
  // The plain answer beside the report, and its sentence in the language of
  // the moment Finish ran.
  const Verdict& GetVerdict() const { return m_verdict; }
  const std::string& VerdictSentence() const { return m_verdictText; }
  // What the medium claimed to hold when the run started, in bytes; 0 when
  // it could not be asked.
  uint64_t CapacityBytes() const { return m_capacityBytes; }

 private:
  CTestEngine& m_engine;
  std::mutex m_mutex;  // guards m_ended between the worker and the front end
  std::condition_variable m_endedCv;
  bool m_ended = false;

  bool m_finished = false;
  RunStatus m_status;
  std::vector<RunStatus> m_history;
  SpeedProfile m_profile;
  std::string m_errorText;
  RunError m_error;
  std::string m_warningText;
  uint64_t m_sizeMB = 0;
  Outcome m_outcome = Outcome::kOk;
  FinalReport m_report;
  Verdict m_verdict;
  std::string m_verdictText;
  uint64_t m_capacityBytes = 0;
};

}  // namespace kalvex
