// The progress window on its own: its layout, captions, live figures, the
// red states, the clipboard and the rule that it never closes while the
// worker runs.

#include "ui/qt/progress_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <memory>

#include "tests/ui/qt/qt_test_support.h"
#include "tests/ui/test_support.h"
#include "ui/qt/dialog_units.h"

namespace kalvex {

using testing::ClippedTexts;
using testing::OverlappingControls;
using testing::DamageFile;
using testing::kMiB;
using testing::TempDir;
using testing::TestPlatform;

namespace {

constexpr int kRunLimitMs = 60000;
const QColor kLightRed(255, 205, 205);

}  // namespace

class ProgressDialogTest : public QObject {
  Q_OBJECT

 private:
  void Configure(uint64_t size_mb, bool write) {
    engine_->SetSize(size_mb);
    engine_->m_doWrite = write;
    engine_->m_doVerify = true;
    engine_->m_endlessVerify = false;
  }

  template <typename Widget = QWidget>
  Widget* Control(QDialog& dialog, int id) {
    return dialog.findChild<Widget*>(QString::number(id));
  }
  QString Label(QDialog& dialog, int id) { return Control<QLabel>(dialog, id)->text(); }

  // Runs a whole write run of size_mb to leave test data behind.
  void WriteTestData(uint64_t size_mb) {
    Configure(size_mb, true);
    ProgressDialog writer(*engine_);
    writer.show();
    QTRY_VERIFY_WITH_TIMEOUT(writer.Model().Finished(), kRunLimitMs);
    QVERIFY(engine_->ErrorText().empty());
    writer.reject();
  }

  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<TestPlatform> platform_;
  std::unique_ptr<CTestEngine> engine_;

 private slots:
  void init() {
    g_language = 0;
    dir_ = std::make_unique<TempDir>();
    // 2 MByte/s writing and 4 MByte/s reading on the virtual clock.
    platform_ = std::make_unique<TestPlatform>(true, 500, 250);
    platform_->SetVolume(1000, 1000);
    engine_ = std::make_unique<CTestEngine>(*platform_);
    engine_->SetTargetPath(dir_->String().c_str());
  }

  void cleanup() {
    platform_->Release();
    engine_.reset();
    platform_.reset();
    dir_.reset();
    g_language = 0;
  }

  void openingStateAndLayout() {
    Configure(3, true);
    platform_->HoldAtWrite(1);
    ProgressDialog dialog(*engine_);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Kalvex | Fortschritt"));
    QCOMPARE(Control<QPushButton>(dialog, 2)->text(), QStringLiteral("Abbrechen"));
    QCOMPARE(Control<QPushButton>(dialog, 1028)->text(),
             QStringLiteral("In Zwischenablage kopieren"));
    QCOMPARE(Control<QGroupBox>(dialog, 1026)->title(), QStringLiteral("Schreiben"));
    QCOMPARE(Control<QGroupBox>(dialog, 1027)->title(), QStringLiteral("Prüfen"));
    for (const int id : {1012, 1013, 1014, 1015, 1016, 1017}) QCOMPARE(Label(dialog, id), QString());
    auto* bar = Control<QProgressBar>(dialog, 1010);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->property("barState").toString(), QStringLiteral("normal"));
    auto* box = Control<QPlainTextEdit>(dialog, 1011);
    QVERIFY(box->isReadOnly());
    QCOMPARE(box->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // Only part of the pretended medium: the warning is there from the start.
    QCOMPARE(box->toPlainText(), QStringLiteral("Achtung: Nur 3 von 1000 MByte getestet.\n"));
    QCOMPARE(dialog.focusWidget(), Control(dialog, 2));
    QStringList tab_order;
    QWidget* widget = Control(dialog, 2);
    do {
      if (widget->focusPolicy() & Qt::TabFocus) tab_order << widget->objectName();
      widget = widget->nextInFocusChain();
    } while (widget != Control(dialog, 2) && tab_order.size() < 20);
    QCOMPARE(tab_order, QStringList({"2", "1011", "1028"}));

    const DialogUnits du(dialog.font());
    QCOMPARE(dialog.size(), du.Size(258, 180));
    QCOMPARE(Control(dialog, 2)->geometry(), du.Rect(201, 159, 50, 14));
    QCOMPARE(Control(dialog, 1010)->geometry(), du.Rect(7, 137, 244, 14));
    QCOMPARE(Control(dialog, 1011)->geometry(), du.Rect(7, 54, 244, 78));
    QCOMPARE(Control(dialog, 1017)->geometry(), du.Rect(137, 38, 104, 8));
    QCOMPARE(Control(dialog, 1028)->geometry(), du.Rect(7, 159, 103, 14));

    // The copy button works during the run and copies what the box holds.
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(Control<QPushButton>(dialog, 1028), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), box->toPlainText());

    platform_->Release();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Model().Finished(), kRunLimitMs);
    QCOMPARE(Control<QPushButton>(dialog, 2)->text(), QStringLiteral("OK"));
    QVERIFY(dialog.isVisible());
    dialog.close();  // the close box, after the end
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
  }

  void longFiguresFitTheirLabels_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("German") << 0;
    QTest::newRow("English") << 1;
  }

  void longFiguresFitTheirLabels() {
    QFETCH(int, language);
    g_language = language;
    // A very slow medium: over half an hour per MByte, so the times run
    // into hours.
    TestPlatform slow(true, 2000000, 1000000);
    slow.SetVolume(1000, 1000);
    CTestEngine engine(slow);
    engine.SetTargetPath(dir_->String().c_str());
    engine.SetSize(10);
    engine.m_doWrite = true;
    engine.m_doVerify = true;
    slow.HoldAtWrite(4);
    // Whatever fails below, the worker must not stay held while the engine
    // waits for it.
    struct ReleaseAtEnd {
      TestPlatform& platform;
      ~ReleaseAtEnd() { platform.Release(); }
    } release_at_end{slow};
    {
      ProgressDialog dialog(engine);
      dialog.show();
      QVERIFY(slow.WaitUntilHeld());
      QTRY_COMPARE_WITH_TIMEOUT(Label(dialog, 1012), QStringLiteral("3 MByte"), kRunLimitMs);
      QCOMPARE(Label(dialog, 1013), language == 1
                                        ? QStringLiteral("1:40:00 h (3:53:20 h remaining)")
                                        : QStringLiteral("1:40:00 h (noch 3:53:20 h)"));
      QVERIFY2(ClippedTexts(&dialog).isEmpty(), qPrintable(ClippedTexts(&dialog).join(", ")));
      QVERIFY2(OverlappingControls(&dialog).isEmpty(),
               qPrintable(OverlappingControls(&dialog).join(", ")));
      QTest::mouseClick(Control<QPushButton>(dialog, 2), Qt::LeftButton);
      slow.Release();
      QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), kRunLimitMs);
    }
  }

  void englishCaptions() {
    g_language = 1;
    Configure(1000, true);
    platform_->HoldAtWrite(1);
    ProgressDialog dialog(*engine_);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Kalvex | Progress"));
    QCOMPARE(Control<QPushButton>(dialog, 2)->text(), QStringLiteral("Abort"));
    QCOMPARE(Control<QPushButton>(dialog, 1028)->text(), QStringLiteral("Copy to clipboard"));
    QCOMPARE(Control<QGroupBox>(dialog, 1026)->title(), QStringLiteral("Writing"));
    QCOMPARE(Control<QGroupBox>(dialog, 1027)->title(), QStringLiteral("Verifying"));
    QCOMPARE(Control<QPlainTextEdit>(dialog, 1011)->toPlainText(), QString());
    QTest::mouseClick(Control<QPushButton>(dialog, 2), Qt::LeftButton);
    platform_->Release();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), kRunLimitMs);
    QCOMPARE(dialog.result(), 1);
  }

  void liveFiguresEverySecond() {
    Configure(10, true);
    platform_->HoldAtWrite(5);
    ProgressDialog dialog(*engine_);
    dialog.show();
    QVERIFY(platform_->WaitUntilHeld());
    QTRY_COMPARE_WITH_TIMEOUT(Label(dialog, 1012), QStringLiteral("4 MByte"), kRunLimitMs);
    QCOMPARE(Label(dialog, 1013), QStringLiteral("2 s (noch 3 s)"));
    QCOMPARE(Label(dialog, 1014), QStringLiteral("2,00 MByte/s"));
    QCOMPARE(Label(dialog, 1015), QString());
    QCOMPARE(Control<QProgressBar>(dialog, 1010)->value(), 20);
    // Escape and the close box during the run only ask the worker to stop.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    QVERIFY(dialog.isVisible());
    QVERIFY(engine_->AbortRequested());
    platform_->Release();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), kRunLimitMs);
    QCOMPARE(dialog.result(), 1);
  }

  void interimReportTurnsRedBeforeTheBar() {
    WriteTestData(3);
    DamageFile(dir_->Path() / "1.kvx", kMiB + 1024, 512);
    Configure(3, false);
    platform_->HoldAtRead(platform_->Reads() + 3);
    ProgressDialog dialog(*engine_);
    dialog.show();
    auto* box = Control<QPlainTextEdit>(dialog, 1011);
    QTRY_VERIFY_WITH_TIMEOUT(
        box->toPlainText().contains(QStringLiteral("Der Datenträger ist wahrscheinlich defekt.")),
        kRunLimitMs);
    QVERIFY(!box->toPlainText().contains(QStringLiteral("Kalvex v1.4")));
    QTextCursor cursor(box->document());
    cursor.setPosition(2);
    QCOMPARE(cursor.charFormat().background().color(), kLightRed);
    auto* bar = Control<QProgressBar>(dialog, 1010);
    QCOMPARE(bar->property("barState").toString(), QStringLiteral("normal"));
    QVERIFY(!dialog.Model().Finished());

    platform_->Release();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Model().Finished(), kRunLimitMs);
    QCOMPARE(bar->property("barState").toString(), QStringLiteral("error"));
    QVERIFY(box->toPlainText().endsWith(QStringLiteral("Kalvex v1.4\n")));
    cursor = QTextCursor(box->document());
    cursor.setPosition(2);
    QCOMPARE(cursor.charFormat().background().color(), kLightRed);

    // The final report goes to the clipboard as shown.
    QTest::mouseClick(Control<QPushButton>(dialog, 1028), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), box->toPlainText());
    QVERIFY(QGuiApplication::clipboard()->text().contains(
        QStringLiteral("Erster Fehler bei Offset: 0x0000000000100400\n")));
    QTest::mouseClick(Control<QPushButton>(dialog, 2), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
  }

  void failedPassShowsTheErrorInRed() {
    Configure(3, false);  // nothing there to verify
    ProgressDialog dialog(*engine_);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Model().Finished(), kRunLimitMs);
    const QString error = QString::fromStdString(engine_->ErrorText()).replace("\r\n", "\n");
    QVERIFY(!error.isEmpty());
    auto* box = Control<QPlainTextEdit>(dialog, 1011);
    QVERIFY(box->toPlainText().startsWith(error));
    QCOMPARE(Control<QProgressBar>(dialog, 1010)->property("barState").toString(),
             QStringLiteral("error"));
    QCOMPARE(Control<QProgressBar>(dialog, 1010)->palette().color(QPalette::Highlight),
             QColor(204, 32, 32));
    QTextCursor cursor(box->document());
    cursor.setPosition(1);
    QCOMPARE(cursor.charFormat().background().color(), kLightRed);
  }
};

}  // namespace kalvex

QTEST_MAIN(kalvex::ProgressDialogTest)
#include "progress_dialog_test.moc"
