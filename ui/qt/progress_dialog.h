// The progress dialog: renders ProgressDialogModel, drives it with a
// one-second timer and the engine's done notification, and never closes
// while the worker thread runs.
#pragma once

#include <QDialog>
#include <QPalette>
#include <QTimer>

#include "engine/engine.h"
#include "platform/platform.h"
#include "ui/progress_dialog_model.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kalvex {

class ProgressDialog : public QDialog {
  Q_OBJECT

 public:
  ProgressDialog(CTestEngine& engine, QWidget* parent = nullptr);
  ~ProgressDialog() override;

  const ProgressDialogModel& Model() const { return model_; }
  // Starts the run; done once, when the dialog is first shown.
  void StartRun();

 public slots:
  // Escape, the close box and the Abort button.
  void reject() override;
  // The dialog has no OK handling of its own; a stray accept must not end it
  // during a run.
  void accept() override;
  void Copy();

 protected:
  void showEvent(QShowEvent* event) override;
  // The speed chart, live while the run goes on.
  void contextMenuEvent(QContextMenuEvent* event) override;

 private slots:
  void OnTimer();
  void OnTestDone();

 private:
  void CreateControls();
  void Render();

  ProgressDialogModel model_;
  std::string engine_target_;  // for the notice at the end
  CTestEngine& engine_;
  QTimer timer_;
  bool started_ = false;
  QString shown_report_;
  bool shown_error_ = false;
  QPalette normal_bar_palette_;

  QPushButton* abort_ = nullptr;          // 2
  QProgressBar* bar_ = nullptr;           // 1010
  QPlainTextEdit* report_ = nullptr;      // 1011
  QLabel* write_mb_ = nullptr;            // 1012
  QLabel* write_time_ = nullptr;          // 1013
  QLabel* write_rate_ = nullptr;          // 1014
  QGroupBox* write_group_ = nullptr;      // 1026
  QGroupBox* verify_group_ = nullptr;     // 1027
  QLabel* verify_mb_ = nullptr;           // 1015
  QLabel* verify_time_ = nullptr;         // 1016
  QLabel* verify_rate_ = nullptr;         // 1017
  QPushButton* copy_ = nullptr;           // 1028
  QLabel* note_ = nullptr;                // 1029, shown only with a text
};

}  // namespace kalvex
