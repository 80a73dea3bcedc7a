#include "ui/qt/ui_services.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "ui/main_dialog_model.h"

namespace kalvex {

namespace {

class QtUiServices final : public UiServices {
 public:
  void ShowMessage(QWidget* parent, MessageIcon icon, const QString& text) override {
    QMessageBox box(icon == MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::Critical,
                    QString::fromUtf8(main_texts::kMessageTitle), text, QMessageBox::Ok, parent);
    box.exec();
  }

  QString PickFolder(QWidget* parent, const QString& title) override {
    // Nothing is preselected: the picker opens at the top of the user's own
    // files, every time.
    return QFileDialog::getExistingDirectory(parent, title, QDir::homePath(),
                                             QFileDialog::ShowDirsOnly);
  }

  int RunModal(QDialog* dialog) override { return dialog->exec(); }
};

}  // namespace

UiServices& DefaultUiServices() {
  static QtUiServices services;
  return services;
}

}  // namespace kalvex
