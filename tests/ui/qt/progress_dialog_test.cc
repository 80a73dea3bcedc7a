// The progress window on its own: its layout, captions, live figures, the
// clipboard, long figures that must fit, and the red report of a fault found
// while the run still goes on.

#include "ui/qt/progress_dialog.h"
#include "ui/qt/speed_chart_window.h"

#include <QApplication>
#include <QClipboard>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <memory>

#include "kalvex_version.h"
#include "tests/ui/qt/qt_test_support.h"
#include "tests/ui/test_support.h"
#include "ui/qt/dialog_units.h"

namespace kalvex {

using namespace testing;

namespace {

constexpr int kRunLimitMs = 60000;

// The six figures, 1012 to 1017.
QStringList Figures(QWidget* dialog) {
  QStringList figures;
  for (int id = 1012; id <= 1017; ++id) figures << TextOf(dialog, id);
  return figures;
}

void Click(QWidget* dialog, int id) { QTest::mouseClick(Find(dialog, id), Qt::LeftButton); }

}  // namespace

class ProgressDialogTest : public QObject {
  Q_OBJECT

 private:
  // A run of size_mb on the folder of a volume of capacity_mb, all free, on
  // a platform that spends the given virtual milliseconds per block written
  // and read.
  void Prepare(uint64_t size_mb, bool write, uint64_t capacity_mb = 1000, int64_t write_ms = 500,
               int64_t read_ms = 250) {
    platform_ = std::make_unique<TestPlatform>(true, write_ms, read_ms);
    platform_->SetVolume(capacity_mb, capacity_mb);
    engine_ = std::make_unique<CTestEngine>(*platform_);
    engine_->SetTargetPath(dir_->String().c_str());
    engine_->SetSize(size_mb);
    engine_->m_doWrite = write;
    engine_->m_doVerify = true;
  }

  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<TestPlatform> platform_;
  std::unique_ptr<CTestEngine> engine_;

 private slots:
  void init() { dir_ = std::make_unique<TempDir>(); }
  void cleanup() {
    if (platform_) platform_->Release();  // a failed check must not leave a worker held
    engine_.reset();
    platform_.reset();
    dir_.reset();
    g_language = 0;
  }

  void openingLayoutAndLiveFigures_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QStringList>("captions");  // title, abort, copy, the two groups
    QTest::addColumn<QString>("report");
    QTest::addColumn<QStringList>("live");
    // Only part of the pretended medium: the warning is there from the start.
    // The held moment: 4 MByte in 2 s, so 10 MByte take 5 s.
    QTest::newRow("German") << 0 << 1000
                            << QStringList({"Kalvex | Fortschritt", "Abbrechen",
                                            "In Zwischenablage kopieren", "Schreiben", "Prüfen"})
                            << "Achtung: Nur 10 von 1000 MByte getestet.\n"
                            << QStringList({"4 MByte", "2 s (noch 3 s)", "2,00 MByte/s", "", "", ""});
    QTest::newRow("English") << 1 << 10
                             << QStringList({"Kalvex | Progress", "Abort", "Copy to clipboard",
                                             "Writing", "Verifying"})
                             << "" << QStringList({"4 MByte", "2 s (3 s remaining)", "2.00 MByte/s",
                                                   "", "", ""});
  }

  void openingLayoutAndLiveFigures() {
    QFETCH(int, language);
    QFETCH(int, capacity);
    QFETCH(QString, report);
    g_language = language;
    Prepare(10, true, capacity);
    platform_->HoldAtWrite(5);  // four blocks written, 2 s of virtual time
    ProgressDialog dialog(*engine_);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTEST(QStringList({dialog.windowTitle(), TextOf(&dialog, 2), TextOf(&dialog, 1028),
                       TextOf(&dialog, 1026), TextOf(&dialog, 1027)}),
          "captions");
    QCOMPARE(Figures(&dialog), QStringList(6, QString()));
    QVERIFY(dialog.Model().TimerActive() && !dialog.Model().Finished());
    QVERIFY(!dialog.Model().ErrorShown());
    auto* bar = Find<QProgressBar>(&dialog, 1010);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->property("barState").toString(), QStringLiteral("normal"));
    auto* box = Find<QPlainTextEdit>(&dialog, 1011);
    QVERIFY(box->isReadOnly());
    QCOMPARE(box->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(box->toPlainText(), report);
    QCOMPARE(dialog.focusWidget(), Find(&dialog, 2));
    QStringList tab_order;
    QWidget* widget = Find(&dialog, 2);
    do {
      if (widget->focusPolicy() & Qt::TabFocus) tab_order << widget->objectName();
      widget = widget->nextInFocusChain();
    } while (widget != Find(&dialog, 2) && tab_order.size() < 20);
    QCOMPARE(tab_order, QStringList({"2", "1011", "1028"}));

    const DialogUnits du(dialog.font());
    QCOMPARE(dialog.size(), du.Size(258, 180));
    QCOMPARE(Find(&dialog, 2)->geometry(), du.Rect(201, 159, 50, 14));
    QCOMPARE(Find(&dialog, 1010)->geometry(), du.Rect(7, 137, 244, 14));
    QCOMPARE(Find(&dialog, 1011)->geometry(), du.Rect(7, 54, 244, 78));
    QCOMPARE(Find(&dialog, 1017)->geometry(), du.Rect(137, 38, 104, 8));
    QCOMPARE(Find(&dialog, 1028)->geometry(), du.Rect(7, 159, 103, 14));

    // The copy button works during the run and copies what the box holds.
    QGuiApplication::clipboard()->clear();
    Click(&dialog, 1028);
    QCOMPARE(QGuiApplication::clipboard()->text(), report);

    // The timer shows the held moment.
    QVERIFY(platform_->WaitUntilHeld());
    QTRY_COMPARE_WITH_TIMEOUT(TextOf(&dialog, 1012), QStringLiteral("4 MByte"), kRunLimitMs);
    QTEST(Figures(&dialog), "live");
    QCOMPARE(bar->value(), 20);  // 4 of 20 MByte of work

    platform_->Release();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Model().Finished(), kRunLimitMs);
    QCOMPARE(TextOf(&dialog, 2), QStringLiteral("OK"));
    QVERIFY(dialog.isVisible());
    dialog.close();  // the close box, after the end
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
  }

  void longFiguresFitTheirLabels_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("time");
    QTest::newRow("German") << 0 << "1:40:00 h (noch 3:53:20 h)";
    QTest::newRow("English") << 1 << "1:40:00 h (3:53:20 h remaining)";
  }

  void longFiguresFitTheirLabels() {
    QFETCH(int, language);
    g_language = language;
    // A very slow medium: over half an hour per MByte, so the times run
    // into hours.
    Prepare(10, true, 1000, 2000000, 1000000);
    platform_->HoldAtWrite(4);
    ProgressDialog dialog(*engine_);
    dialog.show();
    QVERIFY(platform_->WaitUntilHeld());
    QTRY_COMPARE_WITH_TIMEOUT(TextOf(&dialog, 1012), QStringLiteral("3 MByte"), kRunLimitMs);
    QTEST(TextOf(&dialog, 1013), "time");
    KALVEX_EXPECT_CLEAN_LAYOUT(&dialog);
    Click(&dialog, 2);
    platform_->Release();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), kRunLimitMs);
  }

  void interimReportTurnsRedBeforeTheBar() {
    Prepare(3, true);
    {
      ProgressDialog writer(*engine_);
      writer.show();
      QTRY_VERIFY_WITH_TIMEOUT(writer.Model().Finished(), kRunLimitMs);
      QVERIFY(engine_->ErrorText().empty());
      writer.reject();
    }
    DamageFile(*dir_ / "1.kvx", kMiB + 1024, 512);
    engine_->m_doWrite = false;
    platform_->HoldAtRead(platform_->Reads() + 3);
    ProgressDialog dialog(*engine_);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(
        TextOf(&dialog, 1011).contains(QStringLiteral("Der Datenträger ist wahrscheinlich defekt.")),
        kRunLimitMs);
    QVERIFY(!TextOf(&dialog, 1011).contains(QStringLiteral("Kalvex v" KALVEX_VERSION_SHORT)));
    QVERIFY(!TextOf(&dialog, 1011).contains(QStringLiteral("Leserate")));
    QTextCursor cursor(Find<QPlainTextEdit>(&dialog, 1011)->document());
    cursor.setPosition(2);
    QCOMPARE(cursor.charFormat().background().color(), QColor(255, 205, 205));
    auto* bar = Find<QProgressBar>(&dialog, 1010);
    QCOMPARE(bar->property("barState").toString(), QStringLiteral("normal"));
    QVERIFY(!dialog.Model().Finished());

    platform_->Release();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Model().Finished(), kRunLimitMs);
    QCOMPARE(bar->property("barState").toString(), QStringLiteral("error"));
    QCOMPARE(TextOf(&dialog, 2), QStringLiteral("OK"));
    QVERIFY(!dialog.Model().CloseRequested());
    // The final report goes to the clipboard as shown.
    Click(&dialog, 1028);
    const QString report = QGuiApplication::clipboard()->text();
    QCOMPARE(report, TextOf(&dialog, 1011));
    for (const char* part : {"Der Datenträger ist wahrscheinlich defekt.\n", "(1 Sektor)\n",
                             "Erster Fehler bei Offset: 0x0000000000100400\n", "\nLeserate: "})
      QVERIFY2(report.contains(QString::fromUtf8(part)), part);
    QVERIFY(!report.contains(QStringLiteral("Schreibrate")));
    QVERIFY(report.endsWith(QStringLiteral("Kalvex v" KALVEX_VERSION_SHORT "\n")));
    // A verify-only run leaves the writing group empty.
    QCOMPARE(Figures(&dialog).mid(0, 4), QStringList({"", "", "", "3 MByte"}));
    Click(&dialog, 2);
    QVERIFY(!dialog.isVisible());
  }

  // The speed chart window draws the run's profile: a line per pass, a
  // point per step, and follows a new run when it refreshes.
  void speedChartShowsEveryStepOfBothPasses() {
    Prepare(4, true);
    ProgressDialog dialog(*engine_);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Model().Finished(), kRunLimitMs);
    SpeedChartWindow chart(*engine_);
    const SpeedChart& drawn = chart.View().Chart();
    QCOMPARE(chart.windowTitle(), QStringLiteral("Kalvex | Geschwindigkeitsverlauf"));
    QCOMPARE(static_cast<int>(drawn.series.size()), 2);
    QCOMPARE(static_cast<int>(drawn.series[0].points.size()), 4);  // 1 MByte steps
    // 500 ms a block written, 250 ms read, on the virtual clock.
    QCOMPARE(drawn.series[0].points[1].second, 2.0);
    QCOMPARE(drawn.series[1].points[1].second, 4.0);
    const QImage image = chart.grab().toImage();
    QVERIFY(!image.isNull());
    Click(&dialog, 2);
  }

  // Where the data read back may have come from a cache, the report stays
  // as it is and a note below it says so; the window grows to show it.
  void noteBesideTheReportWhenTheReadsAreNotConfirmed() {
    for (const bool confirmed : {true, false}) {
      dir_ = std::make_unique<TempDir>();
      Prepare(2, true);
      if (!confirmed) platform_->SetCacheBypass(CacheBypass::kNotGuaranteed);
      ProgressDialog dialog(*engine_);
      dialog.show();
      const int height_during_run = dialog.height();
      QTRY_VERIFY_WITH_TIMEOUT(dialog.Model().Finished(), kRunLimitMs);
      QLabel* note = dialog.findChild<QLabel*>(QStringLiteral("1029"));
      QVERIFY(note);
      QVERIFY2(TextOf(&dialog, 1011).startsWith(QStringLiteral("Achtung: Nur 2 von 1000 MByte")),
               qPrintable(TextOf(&dialog, 1011) + QString::number(confirmed)));
      QVERIFY(TextOf(&dialog, 1011).contains(QStringLiteral("Fertig, kein Fehler aufgetreten.")));
      // The verdict always, the warning only where the reads may have come
      // from a cache; the window grows for them.
      QVERIFY(note->isVisible());
      QVERIFY(dialog.height() > height_during_run);
      QVERIFY(note->geometry().top() >= Find(&dialog, 2)->geometry().bottom());
      const QString verdict = confirmed ? QStringLiteral("Urteil: echt.")
                                        : QStringLiteral("Urteil: offen.");
      QVERIFY2(note->text().startsWith(verdict), qPrintable(note->text()));
      QCOMPARE(note->text().contains(QStringLiteral("Achtung: Kalvex konnte nicht")), !confirmed);
      Click(&dialog, 2);
    }
  }
};

}  // namespace kalvex

QTEST_MAIN(kalvex::ProgressDialogTest)
#include "progress_dialog_test.moc"
