#include "ui/qt/ui_services.h"

#include <QDialog>
#include <QDir>
#include <QDir>
#include <QFileDialog>
#include <QUrl>
#include <QMessageBox>

#include "platform/media.h"
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
    // Nothing is preselected; the picker opens where the desktop mounts
    // removable media (else at the user's own files), with every mounted
    // stick and card in its sidebar.
    const QString media = QString::fromStdString(RemovableMediaFolder());
    QFileDialog dialog(parent, title, media.isEmpty() ? QDir::homePath() : media);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    QList<QUrl> places = {QUrl::fromLocalFile(QDir::homePath())};
    if (!media.isEmpty()) places << QUrl::fromLocalFile(media);
    for (const MountedMedium& medium : ListMountedMedia(false))
      places << QUrl::fromLocalFile(QString::fromStdString(medium.mount_point));
    dialog.setSidebarUrls(places);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
  }

  int RunModal(QDialog* dialog) override { return dialog->exec(); }
};

}  // namespace

UiServices& DefaultUiServices() {
  static QtUiServices services;
  return services;
}

}  // namespace kalvex
