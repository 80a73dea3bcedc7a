// What every way out of a pass must do, done once: close the test file that
// is still open (without a flush; its result no longer matters) and clear
// the pass's running flag, in that order, before the pass's result reaches
// the run.
#pragma once

#include "engine/engine.h"

namespace kalvex {

class CTestEngine::PassGuard {
 public:
  PassGuard(CTestEngine& engine, bool* running) : m_engine(engine), m_running(running) {}
  ~PassGuard() {
    Abandon();
    m_engine.SetPassRunning(m_running, false);
  }
  PassGuard(const PassGuard&) = delete;
  PassGuard& operator=(const PassGuard&) = delete;

  // The file is open now; the guard closes it unless the pass does.
  void Hold(FileHandle file) { m_file = file; }
  // Closes the file without examining the result.
  void Abandon() {
    if (m_file == kNoFile) return;
    ErrorCode ignored;
    m_engine.m_platform.Close(m_file, &ignored);
    m_file = kNoFile;
  }
  // Closes the file and reports the result; the file is closed either way.
  bool Close(ErrorCode* error) {
    const FileHandle file = m_file;
    m_file = kNoFile;
    return m_engine.m_platform.Close(file, error);
  }
  FileHandle File() const { return m_file; }

 private:
  CTestEngine& m_engine;
  bool* m_running;
  FileHandle m_file = kNoFile;
};

}  // namespace kalvex
