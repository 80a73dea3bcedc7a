// The main window as a user meets it: captions in both languages, layout,
// states of real folders, the start decisions with their messages and the
// warning through the seam, whole runs from the click to the final report,
// an abort, and the About box.

#include "ui/qt/main_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <memory>

#include "kalvex_version.h"
#include "tests/ui/qt/qt_test_support.h"
#include "tests/ui/test_support.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/progress_dialog.h"

namespace kalvex {

using namespace testing;

namespace {

// A run on a temporary folder ends within seconds; the limit only keeps a
// broken run from hanging the suite.
constexpr int kRunLimitMs = 60000;
const QColor kLightRed(255, 205, 205);
const QColor kRedChunk(204, 32, 32);

// What the main window shows for each kind of target, on a volume with
// 1000 MByte free. Enabled states are written as "1"/"0" for refresh, the
// five write controls (1006, 1000, 1001, 1004, 1020) and verify.
struct TestFile {
  const char* name;
  uint64_t bytes;
};
struct TargetCase {
  const char* name;
  TestFile files[2];  // no target: the picker is cancelled; no access: a missing folder
  TargetState state;
  const char* german_line;
  const char* english_line;
  const char* enabled;
  bool free_figure;  // the all-space caption shows the free MByte
};
constexpr const char* kDeleteGerman = "Dateien *.kvx bitte löschen.";
constexpr const char* kDeleteEnglish = "Please delete files *.kvx.";
constexpr TargetCase kTargetCases[] = {
    {"none", {}, TargetState::kNoTarget, "", "", "0000000", false},
    {"unreadable", {}, TargetState::kAccessError, "Fehler beim Zugriff auf das Ziel.",
     "Error accessing the target.", "1000000", false},
    {"clean", {}, TargetState::kClean, "Keine Testdaten vorhanden.", "No existing test data.",
     "1111110", true},
    {"regular", {{"1.kvx", kGiB}, {"2.kvx", 300 * kMiB}}, TargetState::kTestData,
     "1324 MByte Testdaten vorhanden.", "Existing test data: 1324 MByte.", "1000001", true},
    {"irregular", {{"1.kvx", 300 * kMiB}, {"2.kvx", kGiB}}, TargetState::kDeleteFiles,
     kDeleteGerman, kDeleteEnglish, "1000000", true},
    {"partial block", {{"1.kvx", 3 * kMiB + 512}}, TargetState::kDeleteFiles, kDeleteGerman,
     kDeleteEnglish, "1000000", true},
    {"without the first", {{"7.kvx", kGiB}}, TargetState::kDeleteFiles, kDeleteGerman,
     kDeleteEnglish, "1000000", true},
    {"stray", {{"notes.kvx", 17}}, TargetState::kDeleteFiles, kDeleteGerman, kDeleteEnglish,
     "1000000", true},
};

// A click on a start button after the folder was chosen, and what it leads
// to. A run (not really started) pretends to leave a first test file of
// the wrong length, so the test-data line shows whether the target was read
// again after it.
struct StartCase {
  const char* name;
  uint64_t free_mb, capacity_mb;
  TestFile before;     // in the folder when it is chosen
  TestFile appears;    // appears between the choice and the click
  bool write;          // Write + Verify, else Verify
  const char* size;    // typed into the field; "" clicks "only"; nullptr: all space
  bool endless;
  int language;
  const char* message;  // how the message box's text starts; nullptr: none
  MessageIcon icon;
  bool starts;
  uint64_t run_size;    // the engine's size during the run
  const char* line;     // the test-data line afterwards
  const char* size_after;  // the field's text afterwards; nullptr: as typed
};
constexpr const char* kClean = "Keine Testdaten vorhanden.";
constexpr TestFile kNoFile = {nullptr, 0};
constexpr StartCase kStartCases[] = {
    // Any "*.kvx" that turns up refuses a write before the size is looked at.
    {"stray file appeared", 1000, 1000, kNoFile, {"notes.kvx", 1}, true, "", false, 0,
     "Schreiben nicht möglich, weil Dateien existieren.", MessageIcon::kError, false, 0,
     kDeleteGerman, nullptr},
    {"zero size, not refreshed", 1000, 1000, kNoFile, {"notes.txt", 1}, true, "", false, 0,
     "Datenmenge darf nicht 0 sein!", MessageIcon::kError, false, 0, kClean, nullptr},
    {"zero size in English", 1000, 1000, kNoFile, kNoFile, true, "", false, 1,
     "Data volume must not be zero!", MessageIcon::kError, false, 0, "No existing test data.",
     nullptr},
    {"more than the free space", 4000, 4100, kNoFile, kNoFile, true, "5000", false, 0,
     "Nicht genügend Speicherplatz für die angeforderte Datenmenge!", MessageIcon::kError, false,
     0, kClean, "4000"},
    {"test data appeared", 1000, 1000, kNoFile, {"1.kvx", 2 * kMiB}, true, nullptr, false, 0,
     "Schreiben nicht möglich, weil Dateien existieren.", MessageIcon::kError, false, 0,
     "2 MByte Testdaten vorhanden.", nullptr},
    {"test data turned irregular", 1000, 1000, {"1.kvx", 2 * kMiB}, {"1.kvx", 2 * kMiB + 100},
     false, nullptr, false, 0,
     "Prüfen nicht möglich, weil Testdatei(en) falsche Länge(n) hat/haben.", MessageIcon::kError,
     false, 0, kDeleteGerman, nullptr},
    {"all space, part of the medium", 7600, 7632, kNoFile, kNoFile, true, nullptr, true, 0,
     "Achtung: Es werden nur 7600 MByte getestet, der Datenträger hat aber eine Gesamtkapazität "
     "von 7632 MByte. Dadurch werden unter Umständen nicht alle Fehler gefunden. Für "
     "zuverlässige Ergebnisse testen Sie bitte nur frisch formatierte Datenträger. (Auf "
     "NTFS-Laufwerken ist ein kleiner Teil der Kapazität reserviert und diese Meldung daher "
     "normal.)",
     MessageIcon::kWarning, true, 0, kDeleteGerman, nullptr},
    {"all space, whole medium", 7632, 7632, kNoFile, kNoFile, true, nullptr, false, 0, nullptr,
     MessageIcon::kError, true, 0, kDeleteGerman, nullptr},
    {"only, in English", 1000, 1000, kNoFile, kNoFile, true, "3", false, 1,
     "Attention: Testing only 3 MByte while the total capacity is 1000 MByte.",
     MessageIcon::kWarning, true, 3, kDeleteEnglish, nullptr},
    {"verify the data found", 1000, 1000, {"1.kvx", 3 * kMiB}, kNoFile, false, nullptr, false, 0,
     nullptr, MessageIcon::kError, true, 3, kDeleteGerman, nullptr},
};

QColor ReportBackground(QWidget* progress, bool at_end) {
  auto* box = Find<QPlainTextEdit>(progress, 1011);
  QTextCursor cursor(box->document());
  cursor.setPosition(at_end ? box->document()->characterCount() - 1 : 1);
  return cursor.charFormat().background().color();
}

}  // namespace

class MainDialogTest : public QObject {
  Q_OBJECT

 private:
  QWidget* Control(int id) const { return Find(dialog_.get(), id); }
  QString Text(int id) const { return TextOf(dialog_.get(), id); }
  bool Checked(int id) const { return Find<QAbstractButton>(dialog_.get(), id)->isChecked(); }
  void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
  // Refresh, the five write controls, verify: as the window shows them.
  QString EnabledStates() const {
    QString states;
    for (const int id : {1019, 1006, 1000, 1001, 1004, 1020, 1007})
      states += Control(id)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return states;
  }
  void SelectTarget(const QString& path) {
    services_->folder = path;
    Click(1002);
  }
  // Chooses the test's folder and types size_mb into the field.
  void SelectFolder(const QString& size_mb = QString()) {
    SelectTarget(QString::fromStdString(dir_->String()));
    QTest::keyClicks(Control(1004), size_mb);
  }
  // Clicks a start button; the progress dialog is shown, runs to its end and
  // is handed to check, which closes it.
  void RunThrough(int button, const std::function<void(ProgressDialog*)>& check) {
    bool checked = false;
    services_->on_modal = [&](QDialog* dialog) {
      auto* progress = qobject_cast<ProgressDialog*>(dialog);
      QVERIFY(progress);
      progress->show();
      QTRY_VERIFY_WITH_TIMEOUT(progress->Model().Finished(), kRunLimitMs);
      check(progress);
      QVERIFY(!progress->isVisible());
      checked = true;
    };
    Click(button);
    QVERIFY(checked);
  }

  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<TestPlatform> platform_;
  std::unique_ptr<CTestEngine> engine_;
  std::unique_ptr<RecordingServices> services_;
  std::unique_ptr<MainDialog> dialog_;

 private slots:
  // A fresh window on its own engine and folder for each test function.
  void init() {
    dir_ = std::make_unique<TempDir>();
    platform_ = std::make_unique<TestPlatform>();
    platform_->SetVolume(1000, 1000);
    engine_ = std::make_unique<CTestEngine>(*platform_);
    services_ = std::make_unique<RecordingServices>();
    dialog_ = std::make_unique<MainDialog>(*engine_, services_.get());
    dialog_->show();
  }
  void cleanup() {
    platform_->Release();  // a failed check must not leave a worker held
    dialog_.reset();
    engine_.reset();
    dir_.reset();
    g_language = 0;
  }

  void startsInGermanAndSwitchesLanguage() {
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("Kalvex"));
    QVERIFY(Find<QPushButton>(dialog_.get(), 1006)->isDefault());
    QVERIFY(dialog_->findChild<QLabel*>(QStringLiteral("webAddressLabel")) != nullptr);
    QVERIFY(Checked(1000) && !Checked(1008));
    for (const int language : {0, 1, 0}) {
      if (language != g_language) Click(language == 1 ? 1023 : 1022);
      QCOMPARE(g_language, language);
      QCOMPARE(Checked(1022), language == 0);
      QCOMPARE(Checked(1023), language == 1);
      for (const CaptionCase& caption : kMainCaptions)
        QCOMPARE(Text(caption.id), QString::fromUtf8(language ? caption.english : caption.german));
      QCOMPARE(Text(1004), QString());
      QVERIFY(Control(1002)->isEnabled() && Control(1008)->isEnabled());
      SelectTarget(QString());
      QCOMPARE(services_->picker_titles.last(), language ? QStringLiteral("Please select a folder")
                                                         : QStringLiteral("Bitte wählen Sie einen Ordner"));
    }
  }

  void layoutInDialogUnits() {
    const DialogUnits du(dialog_->font());
    QCOMPARE(dialog_->size(), du.Size(278, 143));
    const int places[][5] = {
        {1002, 195, 30, 66, 14}, {1000, 16, 80, 245, 10}, {1001, 16, 93, 37, 10},
        {1004, 55, 91, 40, 14},  {1008, 192, 125, 82, 9}, {1006, 6, 121, 81, 14},
        {1007, 97, 121, 81, 14}, {1025, 7, 69, 264, 41},  {1024, 7, 23, 264, 43},
        {1009, 16, 33, 170, 8},  {1020, 97, 93, 21, 8},   {1018, 16, 51, 177, 8},
        {1019, 195, 48, 67, 14}, {1022, 7, 7, 42, 10},    {1023, 56, 7, 38, 10},
    };
    for (const auto& p : places) {
      // A text wider than the template's place may widen its control to
      // the right; everything else is the template's.
      const QRect expected = du.Rect(p[1], p[2], p[3], p[4]);
      const QRect actual = Control(p[0])->geometry();
      QVERIFY2(actual.topLeft() == expected.topLeft() && actual.height() == expected.height() &&
                   actual.width() >= expected.width(),
               qPrintable(QString::number(p[0])));
    }
    KALVEX_EXPECT_CLEAN_LAYOUT(dialog_.get(), {"1009"});
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
    QCOMPARE(Find(&big, 1006)->geometry(), du.Rect(6, 121, 81, 14));
    KALVEX_EXPECT_CLEAN_LAYOUT(&big, {"1009"});
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
    QTest::addColumn<int>("index");
    for (size_t i = 0; i < std::size(kTargetCases); ++i)
      QTest::newRow(kTargetCases[i].name) << static_cast<int>(i);
  }

  // Each kind of target as chosen in German, then after a switch to English.
  void targetStates() {
    QFETCH(int, index);
    const TargetCase& target = kTargetCases[index];
    QString path = QString::fromStdString(dir_->String());
    if (target.state == TargetState::kNoTarget) path.clear();  // the picker is cancelled
    if (target.state == TargetState::kAccessError) path += QStringLiteral("/missing");
    for (const TestFile& file : target.files) {
      if (file.name) MakeSparseFile(*dir_ / file.name, file.bytes);
    }
    SelectTarget(path);
    QCOMPARE(services_->picker_titles, QStringList({"Bitte wählen Sie einen Ordner"}));
    for (const int language : {0, 1}) {
      if (language == 1) Click(1023);
      const QString none = language ? "(none selected)" : "(keines gewählt)";
      const QString all = language ? "all available space" : "gesamter freier Platz";
      QCOMPARE(Text(1009), path.isEmpty() ? none : path);
      QCOMPARE(Text(1018), QString::fromUtf8(language ? target.english_line : target.german_line));
      QCOMPARE(Text(1000), target.free_figure ? all + " (1000 MByte)" : all);
      QCOMPARE(EnabledStates(), QString::fromLatin1(target.enabled));
      QCOMPARE(dialog_->Model().Target().state, target.state);
    }
  }

  void sizeFieldTakesDigitsOnlyAndChoosesOnly() {
    SelectFolder(QStringLiteral("4a2-"));
    QCOMPARE(Text(1004), QStringLiteral("42"));
    QVERIFY(Checked(1001) && !Checked(1000));
    QCOMPARE(dialog_->Model().SizeText(), std::string("42"));
  }

  void startDecisions_data() {
    QTest::addColumn<int>("index");
    for (size_t i = 0; i < std::size(kStartCases); ++i)
      QTest::newRow(kStartCases[i].name) << static_cast<int>(i);
  }

  // The messages arrive at the seam with their icon, a run is started through
  // it (the progress window is not shown), and afterwards the window shows
  // what the model holds. Write runs start with Enter in the size field,
  // which acts on the default button.
  void startDecisions() {
    QFETCH(int, index);
    const StartCase& c = kStartCases[index];
    platform_->SetVolume(c.free_mb, c.capacity_mb);
    if (c.language == 1) Click(1023);
    if (c.before.name) MakeSparseFile(*dir_ / c.before.name, c.before.bytes);
    SelectFolder(QString::fromUtf8(c.size));
    if (c.size && !*c.size) Click(1001);
    if (c.endless) Click(1008);
    if (c.appears.name) MakeSparseFile(*dir_ / c.appears.name, c.appears.bytes);
    QList<quint64> run;  // write, verify, endless, size, as the run found them
    services_->on_modal = [&](QDialog*) {
      run = {engine_->m_doWrite, engine_->m_doVerify, engine_->m_endlessVerify, engine_->SizeMB()};
      MakeSparseFile(*dir_ / "1.kvx", 1);
    };
    if (c.write) {
      Control(1004)->setFocus();
      QTest::keyClick(Control(1004), Qt::Key_Return);
    } else {
      Click(1007);
    }
    QCOMPARE(static_cast<int>(services_->messages.size()), c.message ? 1 : 0);
    if (c.message) {
      QVERIFY2(services_->messages[0].text.startsWith(QString::fromUtf8(c.message)),
               qPrintable(services_->messages[0].text));
      QCOMPARE(services_->messages[0].icon, c.icon);
      QCOMPARE(services_->messages[0].parent, dialog_.get());
    }
    QCOMPARE(services_->modal_classes, QStringList(c.starts ? 1 : 0, "kalvex::ProgressDialog"));
    if (c.starts) QCOMPARE(run, QList<quint64>({c.write, 1, c.endless, c.run_size}));
    QCOMPARE(Text(1018), QString::fromUtf8(c.line));
    // The user's entries survive whatever happened.
    QCOMPARE(Text(1004), QString::fromUtf8(c.size_after ? c.size_after : c.size));
    QCOMPARE(Checked(1001), c.size != nullptr);
    QCOMPARE(Checked(1008), c.endless);
  }

  void smallRunFromClickToFinalReport() {
    SelectFolder(QStringLiteral("3"));
    QString report;
    QString clipboard;
    RunThrough(1006, [&](ProgressDialog* progress) {
      QCOMPARE(progress->windowTitle(), QStringLiteral("Kalvex | Fortschritt"));
      QCOMPARE(TextOf(progress, 2), QStringLiteral("OK"));
      auto* bar = Find<QProgressBar>(progress, 1010);
      QCOMPARE(bar->value(), 100);
      QCOMPARE(bar->property("barState").toString(), QStringLiteral("normal"));
      QVERIFY(bar->palette().color(QPalette::Highlight) != kRedChunk);
      QCOMPARE(TextOf(progress, 1012), QStringLiteral("3 MByte"));
      QCOMPARE(TextOf(progress, 1015), QStringLiteral("3 MByte"));
      report = TextOf(progress, 1011);
      QVERIFY(ReportBackground(progress, false) != kLightRed);
      QTest::mouseClick(Find(progress, 1028), Qt::LeftButton);
      clipboard = QGuiApplication::clipboard()->text();
      QVERIFY(progress->isVisible());  // copying does not close
      QTest::mouseClick(Find(progress, 2), Qt::LeftButton);
      QCOMPARE(progress->result(), 0);
    });
    QCOMPARE(services_->messages.size(), 1);  // 3 of 1000 MByte: the warning
    QCOMPARE(services_->messages[0].icon, MessageIcon::kWarning);
    QVERIFY(report.startsWith(QStringLiteral("Achtung: Nur 3 von 1000 MByte getestet.\n"
                                             "Fertig, kein Fehler aufgetreten.\n")));
    QVERIFY(report.contains(QStringLiteral("\nSchreibrate: ")));
    QVERIFY(report.contains(QStringLiteral("\nLeserate: ")));
    QVERIFY(report.endsWith(QStringLiteral("Kalvex v" KALVEX_VERSION_SHORT "\n")));
    QVERIFY(!report.contains(QLatin1Char('\r')));
    QCOMPARE(clipboard, report);
    // Back in the main window: the run left its test data.
    QCOMPARE(Text(1018), QStringLiteral("3 MByte Testdaten vorhanden."));
    QCOMPARE(EnabledStates(), QStringLiteral("1000001"));
    QCOMPARE(Text(1004), QStringLiteral("3"));
  }

  void damagedDataShowsRedStates() {
    SelectFolder(QStringLiteral("3"));
    RunThrough(1006, [](ProgressDialog* progress) {
      QTest::mouseClick(Find(progress, 2), Qt::LeftButton);
    });
    QCOMPARE(EnabledStates(), QStringLiteral("1000001"));
    DamageFile(*dir_ / "1.kvx", 2 * kMiB + 512, 64);
    RunThrough(1007, [](ProgressDialog* progress) {
      auto* bar = Find<QProgressBar>(progress, 1010);
      QCOMPARE(bar->property("barState").toString(), QStringLiteral("error"));
      QCOMPARE(bar->palette().color(QPalette::Highlight), kRedChunk);
      const QString text = TextOf(progress, 1011);
      QVERIFY2(text.contains(QStringLiteral("Der Datenträger ist wahrscheinlich defekt.\n")),
               qPrintable(text));
      QVERIFY(text.contains(QStringLiteral("Erster Fehler bei Offset: 0x0000000000200200\n")));
      QCOMPARE(ReportBackground(progress, false), kLightRed);
      QCOMPARE(ReportBackground(progress, true), kLightRed);
      // A verify-only run leaves the writing group empty.
      QCOMPARE(TextOf(progress, 1012), QString());
      QCOMPARE(TextOf(progress, 1015), QStringLiteral("3 MByte"));
      QTest::keyClick(progress, Qt::Key_Escape);  // after the end Escape closes
    });
    // Only the write run warned; a verify run has no capacity check.
    QCOMPARE(services_->messages.size(), 1);
  }

  void abortDuringARun() {
    SelectFolder(QStringLiteral("50"));
    platform_->HoldAtWrite(2);
    bool checked = false;
    services_->on_modal = [&](QDialog* dialog) {
      auto* progress = qobject_cast<ProgressDialog*>(dialog);
      progress->show();
      QVERIFY(platform_->WaitUntilHeld());
      auto* abort = Find(progress, 2);
      QCOMPARE(TextOf(progress, 2), QStringLiteral("Abbrechen"));
      // Abort (twice), Escape, the close box and a stray accept: none closes.
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
      // No verify pass follows an aborted write pass.
      QCOMPARE(TextOf(progress, 1015), QString());
      checked = true;
    };
    Click(1006);
    QVERIFY(checked);
    QVERIFY(!engine_->CopyStatus().m_verifyStarted);
    QVERIFY(engine_->CopyStatus().m_mbWritten < 50);
    // The aborted write left a test file: writing is no longer offered.
    QVERIFY(!Control(1006)->isEnabled());
  }

  void textsFitInBothLanguages() {
    platform_->SetVolume(7654321, 7654321);
    SelectFolder();
    // The path is whatever the user picked; it is not expected to fit.
    KALVEX_EXPECT_CLEAN_LAYOUT(dialog_.get(), {"1009"});
    MakeSparseFile(*dir_ / "1.kvx", 999 * kMiB);
    Click(1019);
    QCOMPARE(Text(1018), QStringLiteral("999 MByte Testdaten vorhanden."));
    KALVEX_EXPECT_CLEAN_LAYOUT(dialog_.get(), {"1009"});
    Click(1023);
    KALVEX_EXPECT_CLEAN_LAYOUT(dialog_.get(), {"1009"});
    std::filesystem::remove(*dir_ / "1.kvx");
    Click(1019);
    QCOMPARE(Text(1000), QStringLiteral("all available space (7654321 MByte)"));
    KALVEX_EXPECT_CLEAN_LAYOUT(dialog_.get(), {"1009"});

    bool checked = false;
    services_->on_modal = [&](QDialog* about) {
      about->show();
      KALVEX_EXPECT_CLEAN_LAYOUT(about);
      checked = true;
    };
    dialog_->ShowAbout();
    QVERIFY(checked);
  }

  void aboutBoxFromF1AndContextMenuInGerman() {
    Click(1023);  // English UI
    QStringList titles;
    QStringList lines;
    services_->on_modal = [&](QDialog* dialog) {
      titles << dialog->windowTitle();
      for (const char* name : {"aboutProductLine", "aboutRightsLine", "aboutIconLine"})
        lines << dialog->findChild<QLabel*>(QString::fromLatin1(name))->text();
      QVERIFY(Find<QPushButton>(dialog, 1) && Find<QPushButton>(dialog, 1)->isDefault());
      QVERIFY(!dialog->findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull());
    };
    dialog_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    QTest::keyClick(dialog_.get(), Qt::Key_F1);
    QCOMPARE(services_->modal_classes, QStringList({"kalvex::AboutDialog"}));

    // About first, the speed chart beside it; the About entry is German in
    // every language, the chart's follows the language chosen.
    dialog_->Model().SetLanguage(0);
    QMenu* menu = dialog_->CreateContextMenu();
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("&Info über Kalvex..."));
    QCOMPARE(menu->actions()[1]->text(), QStringLiteral("&Geschwindigkeitsverlauf..."));
    menu->actions()[0]->trigger();
    delete menu;
    QCOMPARE(services_->modal_classes.size(), 2);

    QCOMPARE(titles, QStringList({"Info über Kalvex", "Info über Kalvex"}));
    QVERIFY(lines[0].startsWith(QStringLiteral("Kalvex Version " KALVEX_VERSION_SHORT ", ")));
    QVERIFY(lines[1].contains(QStringLiteral("2026")));
    QVERIFY(lines[2].startsWith(QStringLiteral("Icondesign: ")));
  }
};

}  // namespace kalvex

QTEST_MAIN(kalvex::MainDialogTest)
#include "main_dialog_test.moc"
