// The main window as a user meets it: layout, states of real folders,
// refusals and the warning through the seam, whole runs from the click to
// the final report, an abort, the language switch and the About box.

#include "ui/qt/main_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextCursor>
#include <memory>

#include "tests/ui/qt/qt_test_support.h"
#include "tests/ui/test_support.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/progress_dialog.h"

namespace kalvex {

using testing::DamageFile;
using testing::kGiB;
using testing::kMiB;
using testing::MakeSparseFile;
using testing::ClippedTexts;
using testing::OverlappingControls;
using testing::RecordingServices;
using testing::TempDir;
using testing::TestPlatform;

namespace {

// A run on a temporary folder ends within seconds; the limit only keeps a
// broken run from hanging the suite.
constexpr int kRunLimitMs = 60000;

const QColor kLightRed(255, 205, 205);

}  // namespace

class MainDialogTest : public QObject {
  Q_OBJECT

 private:
  // A fresh window on its own engine for each test function.
  void Open() {
    dialog_.reset();
    engine_.reset();
    platform_ = std::make_unique<TestPlatform>();
    platform_->SetVolume(1000, 1000);
    engine_ = std::make_unique<CTestEngine>(*platform_);
    services_ = std::make_unique<RecordingServices>();
    dialog_ = std::make_unique<MainDialog>(*engine_, services_.get());
    dialog_->show();
  }

  template <typename Widget = QWidget>
  Widget* Control(int id) const {
    return dialog_->findChild<Widget*>(QString::number(id));
  }
  QString TextOf(int id) const {
    QWidget* widget = Control(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    return QStringLiteral("<no such control %1>").arg(id);
  }
  // Refresh, the five write controls, verify: as the window shows them.
  QString EnabledStates() const {
    QString states;
    for (const int id : {1019, 1006, 1000, 1001, 1004, 1020, 1007})
      states += Control(id)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return states;
  }
  void SelectTarget(const QString& path) {
    services_->folder = path;
    QTest::mouseClick(Control<QPushButton>(1002), Qt::LeftButton);
  }

  std::unique_ptr<TestPlatform> platform_;
  std::unique_ptr<CTestEngine> engine_;
  std::unique_ptr<RecordingServices> services_;
  std::unique_ptr<MainDialog> dialog_;

 private slots:
  void init() { Open(); }
  void cleanup() {
    platform_->Release();  // a failed check must not leave a worker held
    dialog_.reset();
    engine_.reset();
    g_language = 0;
  }

  void startsInGermanWithoutTarget() {
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("Kalvex"));
    QCOMPARE(TextOf(1002), QStringLiteral("Ziel wählen"));
    QCOMPARE(TextOf(1019), QStringLiteral("Aktualisieren"));
    QCOMPARE(TextOf(1006), QStringLiteral("Schreiben + Prüfen"));
    QCOMPARE(TextOf(1007), QStringLiteral("Prüfen"));
    QCOMPARE(TextOf(1024), QStringLiteral("Ziel"));
    QCOMPARE(TextOf(1025), QStringLiteral("Datenmenge"));
    QCOMPARE(TextOf(1000), QStringLiteral("gesamter freier Platz"));
    QCOMPARE(TextOf(1001), QStringLiteral("nur"));
    QCOMPARE(TextOf(1008), QStringLiteral("Prüfen als Dauertest"));
    QCOMPARE(TextOf(1020), QStringLiteral("MByte"));
    QCOMPARE(TextOf(1022), QStringLiteral("Deutsch"));
    QCOMPARE(TextOf(1023), QStringLiteral("English"));
    QCOMPARE(TextOf(1009), QStringLiteral("(keines gewählt)"));
    QCOMPARE(TextOf(1018), QString());
    QCOMPARE(TextOf(1004), QString());
    QCOMPARE(EnabledStates(), QStringLiteral("0000000"));
    QVERIFY(Control<QPushButton>(1002)->isEnabled());
    QVERIFY(Control<QCheckBox>(1008)->isEnabled());
    QVERIFY(Control<QRadioButton>(1022)->isChecked());
    QVERIFY(!Control<QRadioButton>(1023)->isChecked());
    QVERIFY(Control<QRadioButton>(1000)->isChecked());
    QVERIFY(!Control<QCheckBox>(1008)->isChecked());
    QVERIFY(Control<QPushButton>(1006)->isDefault());
    QVERIFY(dialog_->findChild<QLabel*>(QStringLiteral("webAddressLabel")) != nullptr);
  }

  void layoutInDialogUnits() {
    const DialogUnits du(dialog_->font());
    QCOMPARE(dialog_->size(), du.Size(278, 143));
    struct Place {
      int id, x, y, w, h;
    };
    const Place places[] = {
        {1002, 195, 30, 66, 14},  {1000, 16, 80, 245, 10}, {1001, 16, 93, 37, 10},
        {1004, 55, 91, 40, 14},   {1008, 192, 125, 82, 9}, {1006, 6, 121, 81, 14},
        {1007, 97, 121, 81, 14},  {1025, 7, 69, 264, 41},  {1024, 7, 23, 264, 43},
        {1009, 16, 33, 170, 8},   {1020, 97, 93, 21, 8},   {1018, 16, 51, 177, 8},
        {1019, 195, 48, 67, 14},  {1022, 7, 7, 42, 10},    {1023, 56, 7, 38, 10},
    };
    for (const Place& p : places) {
      // A text wider than the template's place may widen its control to
      // the right; everything else is the template's.
      const QRect expected = du.Rect(p.x, p.y, p.w, p.h);
      const QRect actual = Control(p.id)->geometry();
      QVERIFY2(actual.topLeft() == expected.topLeft() && actual.height() == expected.height() &&
                   actual.width() >= expected.width(),
               qPrintable(QString::number(p.id)));
    }
    QVERIFY2(OverlappingControls(dialog_.get()).isEmpty(),
             qPrintable(OverlappingControls(dialog_.get()).join(", ")));
  }

  void layoutFollowsTheFont() {
    const int normal_width = dialog_->width();
    const QFont saved = QApplication::font();
    QFont large = saved;
    if (saved.pointSizeF() > 0)
      large.setPointSizeF(saved.pointSizeF() * 2);
    else
      large.setPixelSize(saved.pixelSize() * 2);
    QApplication::setFont(large);
    MainDialog big(*engine_, services_.get());
    QApplication::setFont(saved);
    const DialogUnits du(big.font());
    QCOMPARE(big.size(), du.Size(278, 143));
    QVERIFY(big.width() > normal_width * 3 / 2);
    QCOMPARE(big.findChild<QWidget*>(QStringLiteral("1006"))->geometry(), du.Rect(6, 121, 81, 14));
    QVERIFY(ClippedTexts(&big, {"1009"}).isEmpty());
    QVERIFY(OverlappingControls(&big).isEmpty());
  }

  void tabOrderFollowsTheTemplate() {
    QStringList order;
    QWidget* widget = Control(1002);
    for (int guard = 0; guard < 100; ++guard) {
      if (widget->focusPolicy() & Qt::TabFocus) order << widget->objectName();
      widget = widget->nextInFocusChain();
      if (widget == Control(1002)) break;
    }
    QCOMPARE(order, QStringList({"1002", "1000", "1001", "1004", "1008", "1006", "1007", "1019",
                                 "1022", "1023"}));
  }

  void targetStates_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("clean") << "" << "Keine Testdaten vorhanden." << "1111110";
    QTest::newRow("unreadable") << "missing" << "Fehler beim Zugriff auf das Ziel." << "1000000";
    QTest::newRow("regular") << "regular" << "1324 MByte Testdaten vorhanden." << "1000001";
    QTest::newRow("irregular") << "irregular" << "Dateien *.kvx bitte löschen." << "1000000";
    QTest::newRow("stray") << "stray" << "Dateien *.kvx bitte löschen." << "1000000";
  }

  void targetStates() {
    QFETCH(QString, setup);
    QFETCH(QString, line);
    QFETCH(QString, enabled);
    TempDir dir;
    QString target = QString::fromStdString(dir.String());
    if (setup == "missing") {
      target = QString::fromStdString((dir / "missing").string());
    } else if (setup == "regular") {
      MakeSparseFile(dir / "1.kvx", kGiB);
      MakeSparseFile(dir / "2.kvx", 300 * kMiB);
    } else if (setup == "irregular") {
      MakeSparseFile(dir / "1.kvx", 300 * kMiB);
      MakeSparseFile(dir / "2.kvx", kGiB);
    } else if (setup == "stray") {
      MakeSparseFile(dir / "notes.kvx", 17);
    }
    SelectTarget(target);
    QCOMPARE(services_->picker_titles, QStringList({"Bitte wählen Sie einen Ordner"}));
    QCOMPARE(TextOf(1009), target);
    QCOMPARE(TextOf(1018), line);
    QCOMPARE(EnabledStates(), enabled);
    QCOMPARE(TextOf(1000), setup == "missing" ? QStringLiteral("gesamter freier Platz")
                                              : QStringLiteral("gesamter freier Platz (1000 MByte)"));
  }

  void cancelledPickerChangesNothing() {
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    SelectTarget(QString());
    QCOMPARE(services_->picker_titles.size(), 2);
    QCOMPARE(TextOf(1009), QString::fromStdString(dir.String()));
    QCOMPARE(EnabledStates(), QStringLiteral("1111110"));
  }

  void sizeFieldTakesDigitsOnlyAndChoosesOnly() {
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    QVERIFY(Control<QRadioButton>(1000)->isChecked());
    auto* edit = Control<QLineEdit>(1004);
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("4a2-"));
    QCOMPARE(edit->text(), QStringLiteral("42"));
    QVERIFY(Control<QRadioButton>(1001)->isChecked());
    QVERIFY(!Control<QRadioButton>(1000)->isChecked());
    QCOMPARE(dialog_->Model().SizeText(), std::string("42"));
  }

  void enterInTheSizeFieldActsOnTheDefaultButton() {
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    QTest::mouseClick(Control<QRadioButton>(1001), Qt::LeftButton);
    QVERIFY(Control<QRadioButton>(1001)->isChecked());
    auto* edit = Control<QLineEdit>(1004);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(services_->messages.size(), 1);
    QCOMPARE(services_->messages[0].text, QStringLiteral("Datenmenge darf nicht 0 sein!"));
    QCOMPARE(services_->messages[0].icon, MessageIcon::kError);
    QCOMPARE(services_->messages[0].parent, dialog_.get());
    QVERIFY(services_->modal_classes.isEmpty());
  }

  void notEnoughSpace() {
    platform_->SetVolume(4000, 4100);
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    QTest::keyClicks(Control<QLineEdit>(1004), QStringLiteral("5000"));
    QTest::mouseClick(Control<QPushButton>(1006), Qt::LeftButton);
    QCOMPARE(services_->messages.size(), 1);
    QCOMPARE(services_->messages[0].text,
             QStringLiteral("Nicht genügend Speicherplatz für die angeforderte Datenmenge!"));
    QCOMPARE(TextOf(1004), QStringLiteral("4000"));
    QVERIFY(Control<QRadioButton>(1001)->isChecked());
    QVERIFY(services_->modal_classes.isEmpty());
  }

  void writeRefusedWhenFilesAppeared() {
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    MakeSparseFile(dir / "1.kvx", 2 * kMiB);
    QTest::mouseClick(Control<QPushButton>(1006), Qt::LeftButton);
    QCOMPARE(services_->messages.size(), 1);
    QCOMPARE(services_->messages[0].text,
             QStringLiteral("Schreiben nicht möglich, weil Dateien existieren."));
    QCOMPARE(services_->messages[0].icon, MessageIcon::kError);
    QCOMPARE(TextOf(1018), QStringLiteral("2 MByte Testdaten vorhanden."));
    QCOMPARE(EnabledStates(), QStringLiteral("1000001"));
  }

  void capacityWarningBeforeTheRun() {
    platform_->SetVolume(7600, 7632);
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    // The run itself is not wanted here: the progress window is not shown.
    QTest::mouseClick(Control<QPushButton>(1006), Qt::LeftButton);
    QCOMPARE(services_->messages.size(), 1);
    QCOMPARE(services_->messages[0].icon, MessageIcon::kWarning);
    QVERIFY(services_->messages[0].text.startsWith(
        QStringLiteral("Achtung: Es werden nur 7600 MByte getestet, der Datenträger hat aber "
                       "eine Gesamtkapazität von 7632 MByte.")));
    QCOMPARE(services_->modal_classes, QStringList({"kalvex::ProgressDialog"}));
  }

  void smallRunFromClickToFinalReport() {
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    QTest::keyClicks(Control<QLineEdit>(1004), QStringLiteral("3"));
    QString report;
    QString clipboard;
    bool checked = false;
    services_->on_modal = [&](QDialog* dialog) {
      auto* progress = qobject_cast<ProgressDialog*>(dialog);
      QVERIFY(progress);
      progress->show();
      QTRY_VERIFY_WITH_TIMEOUT(progress->Model().Finished(), kRunLimitMs);
      QCOMPARE(progress->windowTitle(), QStringLiteral("Kalvex | Fortschritt"));
      auto* ok = progress->findChild<QPushButton*>(QStringLiteral("2"));
      QCOMPARE(ok->text(), QStringLiteral("OK"));
      auto* bar = progress->findChild<QProgressBar*>(QStringLiteral("1010"));
      QCOMPARE(bar->value(), 100);
      QCOMPARE(bar->property("barState").toString(), QStringLiteral("normal"));
      QVERIFY(bar->palette().color(QPalette::Highlight) != QColor(204, 32, 32));
      QCOMPARE(progress->findChild<QLabel*>(QStringLiteral("1012"))->text(),
               QStringLiteral("3 MByte"));
      QCOMPARE(progress->findChild<QLabel*>(QStringLiteral("1015"))->text(),
               QStringLiteral("3 MByte"));
      auto* box = progress->findChild<QPlainTextEdit*>(QStringLiteral("1011"));
      report = box->toPlainText();
      QTextCursor cursor(box->document());
      cursor.setPosition(1);
      QVERIFY(cursor.charFormat().background().color() != kLightRed);
      QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("1028")),
                        Qt::LeftButton);
      clipboard = QGuiApplication::clipboard()->text();
      QVERIFY(progress->isVisible());  // copying does not close
      QTest::mouseClick(ok, Qt::LeftButton);
      QVERIFY(!progress->isVisible());
      QCOMPARE(progress->result(), 0);
      checked = true;
    };
    QTest::mouseClick(Control<QPushButton>(1006), Qt::LeftButton);
    QVERIFY(checked);

    QCOMPARE(services_->messages.size(), 1);  // 3 of 1000 MByte: the warning
    QCOMPARE(services_->messages[0].icon, MessageIcon::kWarning);
    QVERIFY(report.startsWith(QStringLiteral("Achtung: Nur 3 von 1000 MByte getestet.\n"
                                             "Fertig, kein Fehler aufgetreten.\n")));
    QVERIFY(report.contains(QStringLiteral("\nSchreibrate: ")));
    QVERIFY(report.contains(QStringLiteral("\nLeserate: ")));
    QVERIFY(report.endsWith(QStringLiteral("Kalvex v1.4\n")));
    QVERIFY(!report.contains(QLatin1Char('\r')));
    QCOMPARE(clipboard, report);
    // Back in the main window: the run left its test data.
    QCOMPARE(TextOf(1018), QStringLiteral("3 MByte Testdaten vorhanden."));
    QCOMPARE(EnabledStates(), QStringLiteral("1000001"));
    QCOMPARE(TextOf(1004), QStringLiteral("3"));
  }

  void damagedDataShowsRedStates() {
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    QTest::keyClicks(Control<QLineEdit>(1004), QStringLiteral("3"));
    services_->on_modal = [&](QDialog* dialog) {
      dialog->show();
      auto* progress = qobject_cast<ProgressDialog*>(dialog);
      QTRY_VERIFY_WITH_TIMEOUT(progress->Model().Finished(), kRunLimitMs);
      QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("2")), Qt::LeftButton);
    };
    QTest::mouseClick(Control<QPushButton>(1006), Qt::LeftButton);
    QCOMPARE(EnabledStates(), QStringLiteral("1000001"));
    DamageFile(dir / "1.kvx", 2 * kMiB + 512, 64);

    bool checked = false;
    services_->on_modal = [&](QDialog* dialog) {
      auto* progress = qobject_cast<ProgressDialog*>(dialog);
      progress->show();
      QTRY_VERIFY_WITH_TIMEOUT(progress->Model().Finished(), kRunLimitMs);
      auto* bar = progress->findChild<QProgressBar*>(QStringLiteral("1010"));
      QCOMPARE(bar->property("barState").toString(), QStringLiteral("error"));
      QCOMPARE(bar->palette().color(QPalette::Highlight), QColor(204, 32, 32));
      auto* box = progress->findChild<QPlainTextEdit*>(QStringLiteral("1011"));
      const QString text = box->toPlainText();
      QVERIFY2(text.contains(QStringLiteral("Der Datenträger ist wahrscheinlich defekt.\n")),
               qPrintable(text));
      QVERIFY(text.contains(QStringLiteral("Erster Fehler bei Offset: 0x0000000000200200\n")));
      QTextCursor cursor(box->document());
      cursor.setPosition(1);
      QCOMPARE(cursor.charFormat().background().color(), kLightRed);
      cursor.movePosition(QTextCursor::End);
      QCOMPARE(cursor.charFormat().background().color(), kLightRed);
      // A verify-only run leaves the writing group empty.
      QCOMPARE(progress->findChild<QLabel*>(QStringLiteral("1012"))->text(), QString());
      QCOMPARE(progress->findChild<QLabel*>(QStringLiteral("1015"))->text(),
               QStringLiteral("3 MByte"));
      QTest::keyClick(progress, Qt::Key_Escape);  // after the end Escape closes
      QVERIFY(!progress->isVisible());
      checked = true;
    };
    QTest::mouseClick(Control<QPushButton>(1007), Qt::LeftButton);
    QVERIFY(checked);
    // Only the write run warned; a verify run has no capacity check.
    QCOMPARE(services_->messages.size(), 1);
  }

  void abortDuringARun() {
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    QTest::keyClicks(Control<QLineEdit>(1004), QStringLiteral("50"));
    platform_->HoldAtWrite(2);
    bool checked = false;
    services_->on_modal = [&](QDialog* dialog) {
      auto* progress = qobject_cast<ProgressDialog*>(dialog);
      progress->show();
      QTRY_VERIFY_WITH_TIMEOUT(platform_->Held(), kRunLimitMs);
      auto* abort = progress->findChild<QPushButton*>(QStringLiteral("2"));
      QCOMPARE(abort->text(), QStringLiteral("Abbrechen"));
      QTest::mouseClick(abort, Qt::LeftButton);
      QVERIFY(progress->isVisible());
      QTest::mouseClick(abort, Qt::LeftButton);
      QTest::keyClick(progress, Qt::Key_Escape);
      progress->close();
      progress->accept();
      QCoreApplication::processEvents();
      QVERIFY(progress->isVisible());
      QVERIFY(!progress->Model().Finished());
      platform_->Release();
      // Once the worker has stopped the dialog closes by itself.
      QTRY_VERIFY_WITH_TIMEOUT(!progress->isVisible(), kRunLimitMs);
      QCOMPARE(progress->result(), 1);
      checked = true;
    };
    QTest::mouseClick(Control<QPushButton>(1006), Qt::LeftButton);
    QVERIFY(checked);
    QVERIFY(!engine_->CopyStatus().m_verifyStarted);
    // The aborted write left a test file: writing is no longer offered.
    QVERIFY(!Control(1006)->isEnabled());
  }

  void textsFitInBothLanguages() {
    TempDir dir;
    platform_->SetVolume(7654321, 7654321);
    SelectTarget(QString::fromStdString(dir.String()));
    // The path is whatever the user picked; it is not expected to fit.
    const QStringList skip = {"1009"};
    QVERIFY2(ClippedTexts(dialog_.get(), skip).isEmpty(), qPrintable(ClippedTexts(dialog_.get(), skip).join(", ")));
    MakeSparseFile(dir / "1.kvx", 999 * kMiB);
    QTest::mouseClick(Control<QPushButton>(1019), Qt::LeftButton);
    QCOMPARE(TextOf(1018), QStringLiteral("999 MByte Testdaten vorhanden."));
    QVERIFY2(ClippedTexts(dialog_.get(), skip).isEmpty(), qPrintable(ClippedTexts(dialog_.get(), skip).join(", ")));
    QTest::mouseClick(Control<QRadioButton>(1023), Qt::LeftButton);
    QVERIFY2(ClippedTexts(dialog_.get(), skip).isEmpty(), qPrintable(ClippedTexts(dialog_.get(), skip).join(", ")));
    std::filesystem::remove(dir / "1.kvx");
    QTest::mouseClick(Control<QPushButton>(1019), Qt::LeftButton);
    QCOMPARE(TextOf(1000), QStringLiteral("all available space (7654321 MByte)"));
    QVERIFY2(ClippedTexts(dialog_.get(), skip).isEmpty(), qPrintable(ClippedTexts(dialog_.get(), skip).join(", ")));
    QVERIFY2(OverlappingControls(dialog_.get()).isEmpty(),
             qPrintable(OverlappingControls(dialog_.get()).join(", ")));

    bool checked = false;
    services_->on_modal = [&](QDialog* about) {
      about->show();
      QVERIFY(OverlappingControls(about).isEmpty());
      QVERIFY2(ClippedTexts(about).isEmpty(), qPrintable(ClippedTexts(about).join(", ")));
      checked = true;
    };
    dialog_->ShowAbout();
    QVERIFY(checked);
  }

  void languageSwitch() {
    TempDir dir;
    SelectTarget(QString::fromStdString(dir.String()));
    QTest::mouseClick(Control<QRadioButton>(1023), Qt::LeftButton);
    QVERIFY(Control<QRadioButton>(1023)->isChecked());
    QVERIFY(!Control<QRadioButton>(1022)->isChecked());
    QCOMPARE(TextOf(1002), QStringLiteral("Select target"));
    QCOMPARE(TextOf(1019), QStringLiteral("Refresh"));
    QCOMPARE(TextOf(1006), QStringLiteral("Write + Verify"));
    QCOMPARE(TextOf(1007), QStringLiteral("Verify"));
    QCOMPARE(TextOf(1024), QStringLiteral("Target"));
    QCOMPARE(TextOf(1025), QStringLiteral("Data volume"));
    QCOMPARE(TextOf(1000), QStringLiteral("all available space (1000 MByte)"));
    QCOMPARE(TextOf(1001), QStringLiteral("only"));
    QCOMPARE(TextOf(1008), QStringLiteral("endless verify"));
    QCOMPARE(TextOf(1018), QStringLiteral("No existing test data."));
    QCOMPARE(TextOf(1020), QStringLiteral("MByte"));
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("Kalvex"));

    SelectTarget(QString());
    QCOMPARE(services_->picker_titles.last(), QStringLiteral("Please select a folder"));

    QTest::mouseClick(Control<QRadioButton>(1022), Qt::LeftButton);
    QCOMPARE(TextOf(1002), QStringLiteral("Ziel wählen"));
    QCOMPARE(TextOf(1000), QStringLiteral("gesamter freier Platz (1000 MByte)"));
    QCOMPARE(TextOf(1018), QStringLiteral("Keine Testdaten vorhanden."));
  }

  void aboutBoxFromF1AndContextMenuInGerman() {
    QTest::mouseClick(Control<QRadioButton>(1023), Qt::LeftButton);  // English UI
    QStringList titles;
    QStringList lines;
    services_->on_modal = [&](QDialog* dialog) {
      titles << dialog->windowTitle();
      for (const char* name : {"aboutProductLine", "aboutRightsLine", "aboutIconLine"})
        lines << dialog->findChild<QLabel*>(QString::fromLatin1(name))->text();
      auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("1"));
      QVERIFY(ok && ok->isDefault());
      QVERIFY(!dialog->findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull());
    };
    dialog_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    QTest::keyClick(dialog_.get(), Qt::Key_F1);
    QCOMPARE(services_->modal_classes, QStringList({"kalvex::AboutDialog"}));

    QMenu* menu = dialog_->CreateContextMenu();
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("&Info über Kalvex..."));
    menu->actions()[0]->trigger();
    delete menu;
    QCOMPARE(services_->modal_classes.size(), 2);

    QCOMPARE(titles, QStringList({"Info über Kalvex", "Info über Kalvex"}));
    QVERIFY(lines[0].startsWith(QStringLiteral("Kalvex Version 1.4, ")));
    QVERIFY(lines[1].contains(QStringLiteral("2026")));
    QVERIFY(lines[2].startsWith(QStringLiteral("Icondesign: ")));
  }
};

}  // namespace kalvex

QTEST_MAIN(kalvex::MainDialogTest)
#include "main_dialog_test.moc"
