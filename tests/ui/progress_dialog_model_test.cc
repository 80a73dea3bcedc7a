// The progress dialog's model with real runs on temporary folders: captions,
// live figures, the final report, the error colouring and the rules of
// aborting and closing.

#include "ui/progress_dialog_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "tests/ui/test_support.h"

namespace kalvex {
namespace {

using testing::DamageFile;
using testing::kMiB;
using testing::ScopedLanguage;
using testing::TempDir;
using testing::TestPlatform;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Delivers the worker's done notification to the test's thread, as a front
// end turns it into an event.
// The notifier shares its state, so a test that stops early cannot leave
// the worker calling into a destroyed signal.
class DoneSignal {
 public:
  DoneNotifier Notifier() {
    return [state = state_] {
      if (++state->calls == 1) state->promise.set_value();
    };
  }
  // Generous: the wait only guards against a run that never ends.
  bool Wait() {
    return state_->future.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
  }
  int Calls() const { return state_->calls.load(); }

 private:
  struct State {
    std::promise<void> promise;
    std::future<void> future = promise.get_future();
    std::atomic<int> calls{0};
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

class ProgressDialogModelTest : public ::testing::Test {
 protected:
  ProgressDialogModelTest() : engine_(platform_), model_(engine_) {
    platform_.SetVolume(1000, 1000);
    engine_.SetTargetPath(dir_.String().c_str());
  }

  // A failed check must not leave the worker held while the engine waits
  // for it.
  ~ProgressDialogModelTest() override { platform_.Release(); }

  void Configure(uint64_t size_mb, bool write, bool endless = false) {
    engine_.SetSize(size_mb);
    engine_.m_doWrite = write;
    engine_.m_doVerify = true;
    engine_.m_endlessVerify = endless;
  }

  // Runs the model from Start to the handled done notification.
  void RunToEnd(ProgressDialogModel& model) {
    DoneSignal done;
    model.Start(done.Notifier());
    ASSERT_TRUE(done.Wait());
    model.OnTestDone();
    EXPECT_EQ(done.Calls(), 1);
  }

  // Leaves size_mb of regular test data in the folder through a write run.
  void WriteTestData(uint64_t size_mb) {
    Configure(size_mb, true);
    ProgressDialogModel writer(engine_);
    RunToEnd(writer);
    ASSERT_TRUE(engine_.ErrorText().empty()) << engine_.ErrorText();
    ASSERT_EQ(engine_.ScanTestData(), size_mb);
  }

  ScopedLanguage language_{0};
  TempDir dir_;
  TestPlatform platform_{true, 500, 250};  // 2 MByte/s writing, 4 MByte/s reading
  CTestEngine engine_;
  ProgressDialogModel model_;
};

TEST_F(ProgressDialogModelTest, OpeningCaptionsInGerman) {
  Configure(3, true);
  platform_.HoldAtWrite(1);
  DoneSignal done;
  model_.Start(done.Notifier());
  EXPECT_EQ(model_.Title(), "Kalvex | Fortschritt");
  EXPECT_EQ(model_.Caption(progress_ids::kAbort), "Abbrechen");
  EXPECT_EQ(model_.Caption(progress_ids::kCopy), "In Zwischenablage kopieren");
  EXPECT_EQ(model_.Caption(progress_ids::kWriteGroup), "Schreiben");
  EXPECT_EQ(model_.Caption(progress_ids::kVerifyGroup), "Prüfen");
  for (const int id : {1012, 1013, 1014, 1015, 1016, 1017}) EXPECT_EQ(model_.Caption(id), "");
  EXPECT_EQ(model_.BarPosition(), 0);
  EXPECT_EQ(model_.Bar(), BarState::kNormal);
  EXPECT_TRUE(model_.TimerActive());
  EXPECT_FALSE(model_.Finished());
  // Only part of the (pretended) medium is tested: the warning shows at once.
  EXPECT_EQ(model_.ReportText(), "Achtung: Nur 3 von 1000 MByte getestet.\r\n");
  EXPECT_FALSE(model_.ErrorShown());
  platform_.Release();
  ASSERT_TRUE(done.Wait());
  model_.OnTestDone();
}

TEST_F(ProgressDialogModelTest, OpeningCaptionsInEnglish) {
  ScopedLanguage english(1);
  Configure(1000, true);
  platform_.HoldAtWrite(1);
  DoneSignal done;
  model_.Start(done.Notifier());
  EXPECT_EQ(model_.Title(), "Kalvex | Progress");
  EXPECT_EQ(model_.Caption(progress_ids::kAbort), "Abort");
  EXPECT_EQ(model_.Caption(progress_ids::kCopy), "Copy to clipboard");
  EXPECT_EQ(model_.Caption(progress_ids::kWriteGroup), "Writing");
  EXPECT_EQ(model_.Caption(progress_ids::kVerifyGroup), "Verifying");
  // The whole pretended medium: no warning, an empty box.
  EXPECT_EQ(model_.ReportText(), "");
  model_.OnCancel();
  platform_.Release();
  ASSERT_TRUE(done.Wait());
  model_.OnTestDone();
}

TEST_F(ProgressDialogModelTest, CleanRunFromStartToOk) {
  Configure(3, true);
  RunToEnd(model_);
  EXPECT_TRUE(model_.Finished());
  EXPECT_FALSE(model_.TimerActive());
  EXPECT_FALSE(model_.CloseRequested());
  EXPECT_EQ(model_.Caption(progress_ids::kAbort), "OK");
  EXPECT_EQ(model_.Bar(), BarState::kNormal);
  EXPECT_EQ(model_.BarPosition(), 100);
  EXPECT_FALSE(model_.ErrorShown());
  EXPECT_EQ(model_.Caption(progress_ids::kWriteMB), "3 MByte");
  EXPECT_EQ(model_.Caption(progress_ids::kVerifyMB), "3 MByte");
  // A pass that has ended shows its time alone: 3 blocks of 0.5 s written.
  EXPECT_EQ(model_.Caption(progress_ids::kWriteTime), "1 s");
  EXPECT_EQ(model_.Caption(progress_ids::kWriteRate), "2,00 MByte/s");
  EXPECT_EQ(model_.Caption(progress_ids::kVerifyRate), "4,00 MByte/s");

  const std::string& report = model_.ReportText();
  EXPECT_EQ(report.rfind("Achtung: Nur 3 von 1000 MByte getestet.\r\n"
                         "Fertig, kein Fehler aufgetreten.\r\n"
                         "Sie können die Testdateien *.kvx jetzt löschen oder nach Belieben\r\n"
                         "nochmals überprüfen.\r\n",
                         0),
            0u)
      << report;
  EXPECT_TRUE(Contains(report, "Schreibrate: 2,00 MByte/s\r\n"));
  EXPECT_TRUE(Contains(report, "Leserate: 4,00 MByte/s\r\n"));
  EXPECT_TRUE(EndsWith(report, "Kalvex v1.4\r\n"));
  EXPECT_EQ(model_.ClipboardText(), report);

  // OK closes, with result 0.
  EXPECT_TRUE(model_.OnCancel());
  EXPECT_EQ(model_.Result(), 0);
}

TEST_F(ProgressDialogModelTest, LiveFiguresWhileWriting) {
  Configure(10, true);
  platform_.HoldAtWrite(5);  // four blocks written, 2 s of virtual time
  DoneSignal done;
  model_.Start(done.Notifier());
  ASSERT_TRUE(platform_.WaitUntilHeld());
  model_.OnTimer();
  EXPECT_EQ(model_.Caption(progress_ids::kWriteMB), "4 MByte");
  // 4 MByte in 2 s, so 10 MByte take 5 s; the clock still stands at the end
  // of the fourth block: 2 s elapsed, 3 s remaining.
  EXPECT_EQ(model_.Caption(progress_ids::kWriteTime), "2 s (noch 3 s)");
  EXPECT_EQ(model_.Caption(progress_ids::kWriteRate), "2,00 MByte/s");
  EXPECT_EQ(model_.Caption(progress_ids::kVerifyMB), "");
  EXPECT_EQ(model_.BarPosition(), 20);  // 4 of 20 MByte of work
  EXPECT_EQ(model_.Bar(), BarState::kNormal);
  EXPECT_FALSE(model_.Finished());
  platform_.Release();
  ASSERT_TRUE(done.Wait());
  model_.OnTestDone();
  EXPECT_EQ(model_.BarPosition(), 100);
}

TEST_F(ProgressDialogModelTest, AbortKeepsTheDialogOpenUntilTheWorkerHasStopped) {
  Configure(50, true);
  platform_.HoldAtWrite(2);
  DoneSignal done;
  model_.Start(done.Notifier());
  ASSERT_TRUE(platform_.WaitUntilHeld());

  EXPECT_FALSE(model_.OnCancel());  // Abort: the worker is asked to stop
  EXPECT_FALSE(model_.OnCancel());  // pressed again: nothing more
  EXPECT_FALSE(model_.Finished());
  EXPECT_FALSE(model_.CloseRequested());
  EXPECT_EQ(model_.Caption(progress_ids::kAbort), "Abbrechen");

  platform_.Release();
  ASSERT_TRUE(done.Wait());
  model_.OnTestDone();
  EXPECT_TRUE(model_.Finished());
  EXPECT_TRUE(model_.CloseRequested());
  EXPECT_EQ(model_.Result(), 1);
  EXPECT_EQ(done.Calls(), 1);
  // No verify pass follows an aborted write pass.
  EXPECT_FALSE(engine_.CopyStatus().m_verifyStarted);
  EXPECT_EQ(model_.Caption(progress_ids::kVerifyMB), "");
  EXPECT_LT(engine_.CopyStatus().m_mbWritten, 50u);
}

TEST_F(ProgressDialogModelTest, DamagedDataTurnsReportAndBarRed) {
  WriteTestData(3);
  DamageFile(dir_ / "1.kvx", kMiB + 4096, 512);  // one sector of the second block

  Configure(3, false);
  platform_.HoldAtRead(platform_.Reads() + 3);  // after the damaged block was checked
  DoneSignal done;
  model_.Start(done.Notifier());
  ASSERT_TRUE(platform_.WaitUntilHeld());
  model_.OnTimer();
  // Interim: the full report, red background, the bar still normal.
  EXPECT_TRUE(model_.ErrorShown());
  EXPECT_EQ(model_.Bar(), BarState::kNormal);
  EXPECT_TRUE(Contains(model_.ReportText(), "Der Datenträger ist wahrscheinlich defekt.\r\n"));
  EXPECT_FALSE(Contains(model_.ReportText(), "Kalvex v1.4"));
  EXPECT_FALSE(Contains(model_.ReportText(), "Leserate"));

  platform_.Release();
  ASSERT_TRUE(done.Wait());
  model_.OnTestDone();
  EXPECT_TRUE(model_.ErrorShown());
  EXPECT_EQ(model_.Bar(), BarState::kError);
  EXPECT_EQ(model_.Caption(progress_ids::kAbort), "OK");
  const std::string& report = model_.ReportText();
  EXPECT_TRUE(Contains(report, "Der Datenträger ist wahrscheinlich defekt.\r\n"));
  EXPECT_TRUE(Contains(report, "(1 Sektor)\r\n")) << report;
  EXPECT_TRUE(Contains(report, "Erster Fehler bei Offset: 0x0000000000101000\r\n")) << report;
  EXPECT_TRUE(Contains(report, "Leserate: "));
  EXPECT_FALSE(Contains(report, "Schreibrate: "));
  EXPECT_TRUE(EndsWith(report, "Kalvex v1.4\r\n"));
  // A verify-only run leaves the writing group empty.
  EXPECT_EQ(model_.Caption(progress_ids::kWriteMB), "");
  EXPECT_EQ(model_.Caption(progress_ids::kWriteTime), "");
  EXPECT_EQ(model_.Caption(progress_ids::kWriteRate), "");
  EXPECT_EQ(model_.Caption(progress_ids::kVerifyMB), "3 MByte");
  EXPECT_FALSE(model_.CloseRequested());
}

TEST_F(ProgressDialogModelTest, ErrorOfAPassShowsTheErrorFormInRed) {
  // Nothing to verify although 3 MByte are expected.
  Configure(3, false);
  RunToEnd(model_);
  const std::string error = engine_.ErrorText();
  ASSERT_FALSE(error.empty());
  EXPECT_TRUE(model_.ErrorShown());
  EXPECT_EQ(model_.Bar(), BarState::kError);
  EXPECT_EQ(model_.ReportText().rfind(error, 0), 0u) << model_.ReportText();
  EXPECT_FALSE(Contains(model_.ReportText(), "Fertig, kein Fehler"));
  EXPECT_TRUE(EndsWith(model_.ReportText(), "Kalvex v1.4\r\n"));
}

TEST_F(ProgressDialogModelTest, VerifyOnlyWithoutErrorsInEnglish) {
  WriteTestData(2);
  ScopedLanguage english(1);
  Configure(2, false);
  ProgressDialogModel model(engine_);
  RunToEnd(model);
  EXPECT_FALSE(model.ErrorShown());
  EXPECT_EQ(model.Bar(), BarState::kNormal);
  EXPECT_EQ(model.Caption(progress_ids::kAbort), "OK");
  EXPECT_TRUE(Contains(model.ReportText(), "Reading speed: 4.00 MByte/s\r\n"));
  EXPECT_FALSE(Contains(model.ReportText(), "Writing speed"));
  EXPECT_EQ(model.Caption(progress_ids::kWriteMB), "");
}

TEST_F(ProgressDialogModelTest, CancelAfterTheEndOfARunCloses) {
  Configure(1, true);
  RunToEnd(model_);
  ASSERT_TRUE(model_.Finished());
  EXPECT_TRUE(model_.OnCancel());
  EXPECT_EQ(model_.Result(), 0);
}

TEST_F(ProgressDialogModelTest, AllSpaceRunResolvesTheSizeAndShowsItsWarning) {
  platform_.SetVolume(2, 5);
  Configure(0, true);
  RunToEnd(model_);
  EXPECT_EQ(engine_.SizeMB(), 2u);
  EXPECT_EQ(model_.ReportText().rfind("Achtung: Nur 2 von 5 MByte getestet.\r\n", 0), 0u)
      << model_.ReportText();
  EXPECT_EQ(model_.Caption(progress_ids::kVerifyMB), "2 MByte");
}

}  // namespace
}  // namespace kalvex
