// The progress dialog without a toolkit: it prepares and starts a run, turns
// the engine's status into the live figures, the bar and the report, and
// decides when the dialog may close. A front end renders what this model
// holds, calls OnTimer once a second, delivers the engine's done notification
// as an event of its own user-interface thread to OnTestDone, and routes its
// Abort button, Escape key and close box to OnCancel.
#pragma once

#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "report/progress.h"
#include "ui/layout/dialog_layout.h"
#include "ui/run_session.h"

namespace kalvex {

namespace progress_ids {
constexpr int kAbort = IDC_ABORT;  // "Abort", "OK" once the run is over
constexpr int kBar = IDC_BAR;
constexpr int kReport = IDC_REPORT;
constexpr int kWriteMB = IDC_WRITE_MB;
constexpr int kWriteTime = IDC_WRITE_TIME;
constexpr int kWriteRate = IDC_WRITE_RATE;
constexpr int kVerifyMB = IDC_VERIFY_MB;
constexpr int kVerifyTime = IDC_VERIFY_TIME;
constexpr int kVerifyRate = IDC_VERIFY_RATE;
constexpr int kWriteGroup = IDC_WRITE_GROUP;
constexpr int kVerifyGroup = IDC_VERIFY_GROUP;
constexpr int kCopy = IDC_COPY;
// Beside the report, below the dialog's fixed controls: where the data read
// back came from, when the user must know it. Shown only when it has a text.
constexpr int kNote = IDC_NOTE;
}  // namespace progress_ids

enum class BarState { kNormal, kError };

// Light red behind the report's characters once it shows a fault.
struct Rgb {
  int red, green, blue;
};
constexpr Rgb kErrorReportBackground = {255, 205, 205};

class ProgressDialogModel {
 public:
  explicit ProgressDialogModel(CTestEngine& engine = theEngine);

  // Opening of the dialog: captions in the current language, empty figures,
  // bar at 0 in its normal state, then the run is prepared and its worker
  // started. done is called once, on the worker thread, when the run is over;
  // the front end must turn it into a call of OnTestDone on its own thread.
  // The front end starts its one-second timer before calling this.
  void Start(DoneNotifier done);

  // The one-second timer: live figures, bar and, once a fault was found, the
  // interim report.
  void OnTimer();

  // The run is over: the final report, "OK" on the button, the error state
  // of the bar. After an abort the dialog closes by itself (CloseRequested).
  void OnTestDone();

  // Abort button, Escape or close box. Returns true when the dialog closes
  // now, which happens only once the run is over; during a run it only asks
  // the worker to stop.
  bool OnCancel();

  // Asks the worker to stop without any change of the dialog.
  void RequestAbort() { session_.RequestAbort(); }

  // The run behind the dialog; its final state once Finished().
  const RunSession& Session() const { return session_; }

  // --- What a front end shows ---
  std::string Title() const { return title_; }
  // Caption or text of a control by id (buttons, groups, figures, report).
  std::string Caption(int id) const;
  const PassFigures& WriteFigures() const { return write_; }
  const PassFigures& VerifyFigures() const { return verify_; }
  int BarPosition() const { return bar_; }
  BarState Bar() const { return bar_state_; }
  // The report box's text; lines end in "\r\n".
  const std::string& ReportText() const { return report_; }
  // What a desktop notification says when the run is over and the window
  // is not in front: the target and how the run ended, in one line.
  std::string EndNotice(const std::string& target) const;
  // The note beside the report once the run is over (ReadBackNote); empty
  // when there is nothing to say. Lines end in "\r\n".
  const std::string& NoteText() const { return note_; }
  // The plain verdict once the run is over (none after an abort).
  const std::string& VerdictText() const { return verdict_; }
  // The report shows a fault or an error: light red text background.
  bool ErrorShown() const { return error_shown_; }
  // The done notification has been handled.
  bool Finished() const { return finished_; }
  // The timer is to run: from Start until the run is over.
  bool TimerActive() const { return timer_active_; }
  // The run was aborted and is over: the dialog closes by itself, result 1.
  bool CloseRequested() const { return close_requested_; }
  // The dialog's result once it closes: 1 after an abort, 0 after OK.
  int Result() const { return close_requested_ ? 1 : 0; }
  // What the copy button puts on the clipboard: whatever the box holds.
  std::string ClipboardText() const { return report_; }

 private:
  void UpdateProgress(const std::string& error);
  void ApplyFigures(const RunStatus& status);

  RunSession session_;
  std::string title_;
  std::string abort_caption_;
  std::string copy_caption_;
  std::string write_group_;
  std::string verify_group_;
  PassFigures write_;
  PassFigures verify_;
  int bar_ = 0;
  BarState bar_state_ = BarState::kNormal;
  std::string report_;
  std::string note_;
  std::string verdict_;
  bool error_shown_ = false;
  bool finished_ = false;
  bool timer_active_ = false;
  bool close_requested_ = false;
};

}  // namespace kalvex
