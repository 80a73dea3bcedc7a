// The fixture of the engine's tests: an engine on a fault-injecting platform
// over a temporary target folder, a recorder of its done notifications, and
// one-line summaries of the status record.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "engine/engine.h"
#include "tests/engine/fault_platform.h"
#include "tests/support/support.h"

namespace kalvex::testing {

// The system's codes for the faults the tests inject (the real platform
// decides by value what a full medium is); they also appear in the messages.
#ifdef _WIN32
constexpr ErrorCode kEio = 1117;    // ERROR_IO_DEVICE
constexpr ErrorCode kEacces = 5;    // ERROR_ACCESS_DENIED
constexpr ErrorCode kEnospc = 112;  // ERROR_DISK_FULL
constexpr ErrorCode kEexist = 80;   // ERROR_FILE_EXISTS
#else
constexpr ErrorCode kEio = 5;
constexpr ErrorCode kEacces = 13;
constexpr ErrorCode kEnospc = 28;
constexpr ErrorCode kEexist = 17;
#endif

// A fixed system text, so that messages can be compared in full, and the
// part RaiseSystemError appends with it.
constexpr const char* kFakeSystemText = "Fake system text\r\n";
inline std::string Sys(ErrorCode code) {
  return "\r\n(Fake system text Code " + std::to_string(code) + ")\r\n";
}

// Records the engine's done notifications.
class DoneRecorder {
 public:
  explicit DoneRecorder(const CTestEngine* engine) : m_engine(engine) {}
  DoneNotifier Notifier() {
    return [this] {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_count;
      caller = std::this_thread::get_id();
      error_text = m_engine->ErrorText();
      m_cv.notify_all();
    };
  }
  bool WaitForDone(std::chrono::seconds timeout = std::chrono::seconds(600)) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [this] { return m_count > 0; });
  }
  int Count() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
  }
  // The thread of the last notification and the engine's error text then;
  // read after WaitForDone, or after the run on this thread.
  std::thread::id caller;
  std::string error_text;

 private:
  const CTestEngine* m_engine;
  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  int m_count = 0;
};

// "write 3 ended, verify 1 running, total 6, passes 1": the MByte of each
// pass and its state (none: not begun), the bar's total, the verify passes.
inline std::string Passes(const RunStatus& s) {
  auto pass = [](bool started, bool running, uint64_t mb) {
    return std::to_string(mb) + (!started ? " none" : running ? " running" : " ended");
  };
  return "write " + pass(s.m_writeStarted, s.m_writing, s.m_mbWritten) + ", verify " +
         pass(s.m_verifyStarted, s.m_verifying, s.m_mbVerified) + ", total " +
         std::to_string(s.m_mbTotal) + ", passes " + std::to_string(s.m_verifyPasses);
}

// "ok overwritten changed corrupted aliased", the sector counts.
inline std::string Sectors(const RunStatus& s) {
  return std::to_string(s.m_okSectors) + " " + std::to_string(s.m_overwrittenSectors) + " " +
         std::to_string(s.m_changedSectors) + " " + std::to_string(s.m_corruptedSectors) + " " +
         std::to_string(s.m_aliasedCount);
}

// The first error, "offset expected found" in hexadecimal, or "none".
inline std::string Hex3(uint64_t offset, uint64_t expected, uint64_t found) {
  char text[64];
  std::snprintf(text, sizeof text, "%llx %llx %llx", static_cast<unsigned long long>(offset),
                static_cast<unsigned long long>(expected), static_cast<unsigned long long>(found));
  return text;
}
inline std::string First(const RunStatus& s) {
  const FirstError& e = s.m_firstError;
  return e.taken ? Hex3(e.offset, e.expected, e.found) : "none";
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    platform_.error_text = kFakeSystemText;
    engine_.SetTargetPath(dir_.path().c_str());
  }
  // Sets the run's parameters and prepares it (size 0: all free space).
  void Prepare(uint64_t size_mb, bool write, bool verify, bool endless = false) {
    engine_.SetSize(size_mb);
    engine_.m_doWrite = write;
    engine_.m_doVerify = verify;
    engine_.m_endlessVerify = endless;
    engine_.PrepareRun();
  }
  // The worker's body, on this thread.
  void Run() { engine_.RunTest(done_.Notifier()); }
  std::string File(uint64_t n) const { return dir_.File(std::to_string(n) + ".kvx"); }
  RunStatus Status() const { return engine_.CopyStatus(); }
  // "1.kvx=2 2.kvx=0": what the target holds, sizes in MiB.
  std::string Files() const {
    std::string files;
    for (const std::string& name : ListDir(dir_.path())) {
      const uint64_t size = FileSizeOf(dir_.File(name));
      files.append(files.empty() ? "" : " ").append(name).append("=");
      files.append(std::to_string(size / kMiB));
      if (size % kMiB != 0) files.append("+").append(std::to_string(size % kMiB));
    }
    return files;
  }
  // For the next case of a table: no files, faults or events left over.
  void Reset() {
    for (const std::string& name : ListDir(dir_.path())) std::remove(dir_.File(name).c_str());
    platform_.fail.clear();
    platform_.events.clear();
    platform_.first_words.clear();
  }

  TempDir dir_;
  FaultPlatform platform_;
  CTestEngine engine_{platform_};
  DoneRecorder done_{&engine_};
};

}  // namespace kalvex::testing
