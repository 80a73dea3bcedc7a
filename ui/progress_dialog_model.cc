#include "ui/progress_dialog_model.h"

#include <optional>
#include <utility>

#include "engine/language.h"
#include "engine/text_format.h"
#include "report/report.h"

namespace kalvex {

ProgressDialogModel::ProgressDialogModel(CTestEngine& engine) : session_(engine) {}

void ProgressDialogModel::Start(DoneNotifier done) {
  write_ = PassFigures();
  verify_ = PassFigures();
  title_ = LangText("Kalvex | Progress", "Kalvex | Fortschritt");
  abort_caption_ = LangText("Abort", "Abbrechen");
  copy_caption_ = LangText("Copy to clipboard", "In Zwischenablage kopieren");
  write_group_ = WritingCaption();
  verify_group_ = VerifyingCaption();
  bar_ = 0;
  bar_state_ = BarState::kNormal;
  report_.clear();
  note_.clear();
  verdict_.clear();
  error_shown_ = false;
  finished_ = false;
  close_requested_ = false;
  timer_active_ = true;

  const bool started = session_.Start(std::move(done));
  // Preparing may have set the warning when the run takes all free space.
  const std::string warning = session_.WarningText();
  if (!warning.empty()) report_ = warning;
  // Without a worker the run is over already, and nothing will say so.
  if (!started) OnTestDone();
}

void ProgressDialogModel::OnTimer() {
  if (finished_) return;
  UpdateProgress(std::string());
}

void ProgressDialogModel::ApplyFigures(const RunStatus& status) {
  const ProgressFigures figures = ComputeProgress(status, session_.SizeMB(), session_.Counter());
  // A pass that has not begun keeps the empty texts of the opening.
  if (figures.write.started) write_ = figures.write;
  if (figures.verify.started) verify_ = figures.verify;
  bar_ = figures.bar;
}

void ProgressDialogModel::UpdateProgress(const std::string& error) {
  const RunStatus status = session_.Status();
  ApplyFigures(status);
  if (std::optional<std::string> text = UpdateReport(status, error, session_.WarningText())) {
    report_ = std::move(*text);
    error_shown_ = true;
  }
}

void ProgressDialogModel::OnTestDone() {
  if (finished_) return;  // one run, one end
  finished_ = true;
  session_.Finish();
  const RunStatus& status = session_.FinalStatus();
  if (status.m_abort) close_requested_ = true;
  timer_active_ = false;

  ApplyFigures(status);
  const FinalReport& final_report = session_.Report();
  report_ = final_report.text;
  // Both beside the report: the verdict, and where the data came from.
  verdict_ = session_.ShowsReport() ? session_.VerdictSentence() : std::string();
  note_ = ReadBackNote(status);
  if (final_report.error_shown) error_shown_ = true;

  abort_caption_ = "OK";
  if (status.m_firstError.taken || !session_.ErrorText().empty()) bar_state_ = BarState::kError;
}

bool ProgressDialogModel::OnCancel() {
  const bool close = finished_;
  // Also after the end: harmless, and the next run clears it.
  session_.RequestAbort();
  return close;
}

std::string ProgressDialogModel::EndNotice(const std::string& target) const {
  const char* how = "";
  switch (session_.GetOutcome()) {
    case Outcome::kOk:
      how = LangText("no error found", "kein Fehler gefunden");
      break;
    case Outcome::kFaulty:
      how = LangText("faulty sectors found", "fehlerhafte Sektoren gefunden");
      break;
    case Outcome::kError:
      how = LangText("ended on an error", "mit einem Fehler beendet");
      break;
    case Outcome::kAborted:
      how = LangText("aborted", "abgebrochen");
      break;
    case Outcome::kUnconfirmed:
      how = LangText("no error found, not confirmed", "kein Fehler gefunden, nicht bestätigt");
      break;
  }
  return FormatText(999, LangText("Test of %s: %s.", "Test von %s: %s."), target.c_str(), how);
}

std::string ProgressDialogModel::Caption(int id) const {
  switch (id) {
    case progress_ids::kAbort:
      return abort_caption_;
    case progress_ids::kCopy:
      return copy_caption_;
    case progress_ids::kWriteGroup:
      return write_group_;
    case progress_ids::kVerifyGroup:
      return verify_group_;
    case progress_ids::kWriteMB:
      return write_.mbytes;
    case progress_ids::kWriteTime:
      return write_.time;
    case progress_ids::kWriteRate:
      return write_.rate;
    case progress_ids::kVerifyMB:
      return verify_.mbytes;
    case progress_ids::kVerifyTime:
      return verify_.time;
    case progress_ids::kVerifyRate:
      return verify_.rate;
    case progress_ids::kReport:
      return report_;
    case progress_ids::kNote:
      return note_;
    default:
      return std::string();
  }
}

}  // namespace kalvex
