// The desktop program: the main window, run modally for the whole life of
// the process. Nothing is read from the environment or a settings file;
// every start looks the same, but for a target folder named on the command
// line (a file manager's "Open with").

#include <QApplication>
#include <QCommandLineParser>

#include "kalvex_version.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kalvex"));
  QApplication::setApplicationVersion(QString::fromLatin1(kalvex::kVersion));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.kalvex.Kalvex"));
  QApplication::setWindowIcon(kalvex::AppIcon());

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Tests whether a storage medium keeps what is written to it and offers the space it "
      "claims."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FOLDER"),
                               QStringLiteral("The folder of the medium to test (optional)."));
  parser.process(app);

  kalvex::MainDialog dialog;
  if (!parser.positionalArguments().isEmpty()) {
    dialog.Model().SelectTarget(parser.positionalArguments().first().toStdString());
    dialog.Render();
  }
  dialog.exec();
  return 0;
}
