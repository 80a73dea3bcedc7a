// Renders the windows of the program to PNG files, driving them as a user
// would: pick a folder, start a run, watch it, let it end, verify damaged
// data. Runs on the offscreen platform (scripts/screenshots.sh) with a
// virtual clock, so the figures look like those of a slow stick and come out
// the same every time.
//
// Usage: kalvex_screenshots OUTPUT_DIR

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "tests/ui/qt/qt_test_support.h"
#include "tests/ui/test_support.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/progress_dialog.h"
#include "ui/qt/speed_chart_window.h"

namespace kalvex {
namespace {

using testing::DamageFile;
using testing::FlipBit;
using testing::kMiB;
using testing::RecordingServices;
using testing::TestPlatform;

constexpr int kLimitMs = 300000;

// The window's content under a plain title bar with its icon and title, as
// a window manager would frame it.
QImage Framed(QWidget* window) {
  const QPixmap content = window->grab();
  // Painted in the window's own coordinates; a scaled screen gives more
  // pixels, not a bigger layout.
  const qreal ratio = content.devicePixelRatio();
  const QSize size = window->size();
  const QFontMetrics metrics(window->font());
  const int bar = metrics.height() + 12;
  QImage image(QSize(size.width() + 2, size.height() + bar + 1) * ratio, QImage::Format_ARGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(QColor(0x3c, 0x3f, 0x44));
  QPainter painter(&image);
  const int icon = bar - 10;
  painter.drawPixmap(QRect(6, 5, icon, icon), AppIcon().pixmap(QSize(icon, icon), ratio));
  painter.setPen(Qt::white);
  painter.setFont(window->font());
  painter.drawText(QRect(icon + 14, 0, size.width() - icon - 20, bar),
                   Qt::AlignVCenter | Qt::AlignLeft, window->windowTitle());
  painter.drawPixmap(QRect(QPoint(1, bar), size), content);
  return image;
}

bool Save(QWidget* window, const QString& directory, const QString& name) {
  const QString path = QDir(directory).filePath(name + QStringLiteral(".png"));
  const bool saved = Framed(window).save(path);
  std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "cannot write",
               qPrintable(path));
  return saved;
}

bool Wait(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, kLimitMs); }

// One pass through the program in the given language.
bool Shoot(const QString& directory, int language) {
  const QString suffix = language == 1 ? QStringLiteral("-en") : QStringLiteral("-de");
  // A fixed folder name, so the pictures do not change from run to run.
  const std::filesystem::path base = std::filesystem::temp_directory_path() / "kalvex-screenshots";
  std::filesystem::remove_all(base);
  const std::filesystem::path stick = base / "USB-STICK";
  std::filesystem::create_directories(stick);
  struct RemoveAtEnd {
    std::filesystem::path path;
    ~RemoveAtEnd() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } remove_at_end{base};

  // A slow stick: 2 MByte/s writing, 4 MByte/s reading, 7600 of 7632 MByte free.
  TestPlatform platform(true, 500, 250);
  platform.SetVolume(7600, 7632);
  CTestEngine engine(platform);
  RecordingServices services;
  MainDialog main(engine, &services);
  main.show();
  if (language == 1) QTest::mouseClick(main.findChild<QRadioButton*>("1023"), Qt::LeftButton);

  bool ok = Save(&main, directory, "main-no-target" + suffix);
  services.folder = QString::fromStdString(stick.string());
  QTest::mouseClick(main.findChild<QPushButton*>("1002"), Qt::LeftButton);
  ok &= Save(&main, directory, "main-idle" + suffix);

  // Write + Verify of 64 MByte, photographed while verifying and at the end.
  QTest::keyClicks(main.findChild<QLineEdit*>("1004"), QStringLiteral("64"));
  platform.HoldAtRead(24);
  services.on_modal = [&](QDialog* dialog) {
    auto* progress = qobject_cast<ProgressDialog*>(dialog);
    progress->show();
    const bool held = platform.WaitUntilHeld(kLimitMs / 1000);
    // Two ticks of the timer, so the figures show the held moment.
    ok &= held && Wait([&] { return progress->findChild<QLabel*>("1015")->text() == "23 MByte"; });
    ok &= Save(progress, directory, "progress-running" + suffix);
    platform.Release();
    ok &= Wait([&] { return progress->Model().Finished(); });
    ok &= Save(progress, directory, "progress-done" + suffix);
    QTest::mouseClick(progress->findChild<QPushButton*>("2"), Qt::LeftButton);
  };
  QTest::mouseClick(main.findChild<QPushButton*>("1006"), Qt::LeftButton);
  ok &= Save(&main, directory, "main-test-data" + suffix);
  {
    // The run just done, both passes.
    SpeedChartWindow chart(engine, &main);
    chart.show();
    ok &= Save(&chart, directory, "speed-chart" + suffix);
  }


  // Verify after one sector of the medium was wiped and another lost two bits.
  DamageFile(stick / "1.kvx", 17 * kMiB + 4096, 512);
  FlipBit(stick / "1.kvx", 40 * kMiB + 512 + 100, 3);
  FlipBit(stick / "1.kvx", 40 * kMiB + 512 + 300, 6);
  services.on_modal = [&](QDialog* dialog) {
    auto* progress = qobject_cast<ProgressDialog*>(dialog);
    progress->show();
    ok &= Wait([&] { return progress->Model().Finished(); });
    ok &= Save(progress, directory, "progress-errors" + suffix);
    QTest::mouseClick(progress->findChild<QPushButton*>("2"), Qt::LeftButton);
  };
  QTest::mouseClick(main.findChild<QPushButton*>("1007"), Qt::LeftButton);

  // Verify again where the caches on the way could not be emptied: the same
  // report, and the note beside it.
  platform.SetCacheBypass(CacheBypass::kNotGuaranteed);
  services.on_modal = [&](QDialog* dialog) {
    auto* progress = qobject_cast<ProgressDialog*>(dialog);
    progress->show();
    ok &= Wait([&] { return progress->Model().Finished(); });
    ok &= Save(progress, directory, "progress-unconfirmed" + suffix);
    QTest::mouseClick(progress->findChild<QPushButton*>("2"), Qt::LeftButton);
  };
  QTest::mouseClick(main.findChild<QPushButton*>("1007"), Qt::LeftButton);

  if (language == 0) {
    services.on_modal = [&](QDialog* dialog) {
      dialog->show();
      ok &= Save(dialog, directory, "about");
      dialog->accept();
    };
    main.ShowAbout();
  }
  return ok;
}

}  // namespace
}  // namespace kalvex

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  QApplication::setWindowIcon(kalvex::AppIcon());
  const QString directory = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(directory);
  bool ok = kalvex::Shoot(directory, 0);
  ok &= kalvex::Shoot(directory, 1);
  kalvex::g_language = 0;
  return ok ? 0 : 1;
}
