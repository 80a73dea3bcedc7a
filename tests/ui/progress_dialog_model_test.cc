// The progress dialog's model with real runs on temporary folders, from the
// start to the handled done notification: figures, report, bar and the
// closing rule once a run is over. The opening, the live figures, aborting
// and faults found during a run are driven through the Qt windows.

#include "ui/progress_dialog_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "kalvex_version.h"
#include "tests/ui/test_support.h"

namespace kalvex {
namespace {

using namespace testing;

// Runs model from Start to the handled done notification. The notifier
// shares its state, so a run that outlives a failed wait cannot call into
// freed memory.
void RunToEnd(ProgressDialogModel& model) {
  auto done = std::make_shared<std::promise<void>>();
  auto calls = std::make_shared<std::atomic<int>>(0);
  std::future<void> ended = done->get_future();
  model.Start([done, calls] {
    if (++*calls == 1) done->set_value();
  });
  // Generous: the wait only guards against a run that never ends.
  ASSERT_EQ(ended.wait_for(std::chrono::minutes(1)), std::future_status::ready);
  model.OnTestDone();
  EXPECT_EQ(calls->load(), 1);
}

struct FinishedRun {
  const char* name;
  int language;
  uint64_t written_before;  // MByte of regular test data left by an earlier run
  uint64_t free_mb, capacity_mb;
  uint64_t size_mb;  // 0: all the free space
  bool write;
  bool failed;  // red bar and report
  std::vector<std::string> figures;  // 1012 to 1017 at the end
  const char* report_start;          // nullptr: the engine's error text
  std::vector<std::string> present, absent;
  const char* notice;  // the desktop notice for the target "T"
};

// 2 MByte/s writing, 4 MByte/s reading on the virtual clock; a pass that has
// ended shows its time alone.
const FinishedRun kRuns[] = {
    {"write and verify", 0, 0, 1000, 1000, 10, true, false,
     {"10 MByte", "5 s", "2,00 MByte/s", "10 MByte", "2 s", "4,00 MByte/s"},
     "Achtung: Nur 10 von 1000 MByte getestet.\r\n"
     "Fertig, kein Fehler aufgetreten.\r\n"
     "Sie können die Testdateien *.kvx jetzt löschen oder nach Belieben\r\n"
     "nochmals überprüfen.\r\n",
     {"Schreibrate: 2,00 MByte/s\r\n", "Leserate: 4,00 MByte/s\r\n"}, {},
     "Test von T: kein Fehler gefunden."},
    {"verify only, in English", 1, 2, 1000, 1000, 2, false, false,
     {"", "", "", "2 MByte", "0 s", "4.00 MByte/s"}, "",
     {"Reading speed: 4.00 MByte/s\r\n"}, {"Writing speed"}, "Test of T: no error found."},
    {"all space resolved", 0, 0, 2, 5, 0, true, false,
     {"2 MByte", "1 s", "2,00 MByte/s", "2 MByte", "0 s", "4,00 MByte/s"},
     "Achtung: Nur 2 von 5 MByte getestet.\r\n", {}, {}, "Test von T: kein Fehler gefunden."},
    // Nothing to verify although 3 MByte are expected.
    {"a pass fails", 0, 0, 1000, 1000, 3, false, true, {}, nullptr, {}, {"Fertig, kein Fehler"},
     "Test von T: mit einem Fehler beendet."},
};

TEST(ProgressDialogModel, FinishedRuns) {
  for (const FinishedRun& run : kRuns) {
    SCOPED_TRACE(run.name);
    ScopedLanguage language(run.language);
    TempDir dir;
    TestPlatform platform(true, 500, 250);
    platform.SetVolume(run.free_mb, run.capacity_mb);
    CTestEngine engine(platform);
    engine.SetTargetPath(dir.String().c_str());
    engine.m_doVerify = true;
    if (run.written_before != 0) {
      engine.SetSize(run.written_before);
      engine.m_doWrite = true;
      ProgressDialogModel writer(engine);
      RunToEnd(writer);
      ASSERT_EQ(engine.ScanTestData(), run.written_before);
    }
    engine.SetSize(run.size_mb);
    engine.m_doWrite = run.write;
    ProgressDialogModel model(engine);
    RunToEnd(model);

    EXPECT_EQ(engine.SizeMB(), run.size_mb ? run.size_mb : run.free_mb);
    EXPECT_TRUE(model.Finished());
    EXPECT_FALSE(model.TimerActive());
    EXPECT_EQ(model.Caption(2), "OK");
    EXPECT_EQ(model.Bar(), run.failed ? BarState::kError : BarState::kNormal);
    EXPECT_EQ(model.ErrorShown(), run.failed);
    if (!run.failed) {
      EXPECT_EQ(model.BarPosition(), 100);
      std::vector<std::string> figures;
      for (int id = 1012; id <= 1017; ++id) figures.push_back(model.Caption(id));
      EXPECT_EQ(figures, run.figures);
    }

    const std::string& report = model.ReportText();
    const std::string start = run.report_start ? run.report_start : engine.ErrorText();
    EXPECT_FALSE(run.failed && start.empty());
    EXPECT_EQ(report.rfind(start, 0), 0u) << report;
    for (const std::string& part : run.present) EXPECT_NE(report.find(part), std::string::npos) << part;
    for (const std::string& part : run.absent) EXPECT_EQ(report.find(part), std::string::npos) << part;
    EXPECT_TRUE(report.ends_with("Kalvex v" KALVEX_VERSION_SHORT "\r\n"))
        << report;
    EXPECT_EQ(model.ClipboardText(), report);
    EXPECT_EQ(model.EndNotice("T"), run.notice);
    // OK closes, with result 0.
    EXPECT_FALSE(model.CloseRequested());
    EXPECT_TRUE(model.OnCancel());
    EXPECT_EQ(model.Result(), 0);
  }
}

}  // namespace
}  // namespace kalvex
