// The desktop program: the main window, run modally for the whole life of
// the process. Nothing is read from the command line, the environment or a
// settings file; every start looks the same.

#include <QApplication>

#include "kalvex_version.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kalvex"));
  QApplication::setApplicationVersion(QString::fromLatin1(kalvex::kVersion));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.kalvex.Kalvex"));
  QApplication::setWindowIcon(kalvex::AppIcon());

  kalvex::MainDialog dialog;
  dialog.exec();
  return 0;
}
