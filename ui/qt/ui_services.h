// The modal interactions of the program in one place: message boxes, the
// folder picker and running a dialog modally. The dialogs reach them only
// through this interface, so tests can watch (and answer) them instead of
// having them shown.
#pragma once

#include <QString>

#include "ui/start_decision.h"

class QDialog;
class QWidget;

namespace kalvex {

class UiServices {
 public:
  virtual ~UiServices() = default;
  // A message box with an OK button only, titled "Kalvex".
  virtual void ShowMessage(QWidget* parent, MessageIcon icon, const QString& text) = 0;
  // The folder picker; an empty result means the user cancelled.
  virtual QString PickFolder(QWidget* parent, const QString& title) = 0;
  // Runs dialog modally and returns its result once it has closed.
  virtual int RunModal(QDialog* dialog) = 0;
};

// The real thing: QMessageBox, QFileDialog and QDialog::exec.
UiServices& DefaultUiServices();

}  // namespace kalvex
