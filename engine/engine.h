// CTestEngine: the one object that holds a test run, and theEngine, its one
// instance in the program.
//
// Threads: the user-interface thread configures the engine, calls PrepareRun
// and StartWorker, sets RequestAbort and copies the status with CopyStatus.
// The worker thread runs the passes. They share only the RunStatus record
// (under m_lock), the atomic abort flag and the texts, which the worker writes
// before it notifies the end of the run. Each pass has one helper thread of
// its own for the pattern work (BlockHelper): it fills the blocks to write,
// or checks and counts the blocks read, and is gone when the pass returns.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/offset_set.h"
#include "engine/run_error.h"
#include "engine/speed_profile.h"
#include "engine/types.h"
#include "platform/platform.h"

namespace kalvex {

// Called exactly once per run, on the worker thread, as the worker's last use
// of the engine. A GUI turns it into a posted event, a terminal tool into a
// wake-up.
using DoneNotifier = std::function<void()>;

struct PatternKernels;

class CTestEngine {
 public:
  explicit CTestEngine(Platform& platform = SystemPlatform());
  ~CTestEngine();
  CTestEngine(const CTestEngine&) = delete;
  CTestEngine& operator=(const CTestEngine&) = delete;

  // --- Target, size, volume space and texts (user-interface thread) ---
  void SetTargetPath(const char* path);  // null clears the target
  bool HasTarget() const { return m_hasTarget; }
  const std::string& TargetPath() const { return m_targetPath; }
  uint64_t GetFreeSpaceMB();  // kAllOnes when the volume cannot be queried
  uint64_t GetCapacityMB();
  void SetSize(uint64_t size_mb);  // also sets or clears the capacity warning
  void SetWarningText(const std::string& text);
  // Empty means none. The error text is the rendering of Error().
  std::string ErrorText() const;
  std::string WarningText() const;
  RunError Error() const;
  // Opens and closes the target folder as a run would: an error of kind
  // kTargetMissing or kTargetOpen (with the system's reason), or none.
  RunError ProbeTarget();
  // Whether every test file name of a run of size_mb MByte fits the longest
  // path the engine forms.
  bool TestFileNamesFit(uint64_t size_mb) const;
  bool BlockBufferAvailable() const { return m_buffer != nullptr; }

  // --- Run control ---
  void PrepareRun();
  // Starts the worker. Returns false only when no thread could be started; the
  // notifier is then not called, nothing ran, and Error() says so.
  bool StartWorker(DoneNotifier done);
  void RequestAbort() { m_abort.store(true); }
  bool AbortRequested() const { return m_abort.load(); }
  // Waits for a finished worker to be gone; used before a new run and at exit.
  void JoinWorker();
  // The worker's body: passes, then the one done notification. It alone
  // records an error and notifies the end.
  void RunTest(DoneNotifier done);
  RunStatus CopyStatus() const;
  // The status as each verify pass of the run left it, in order: an endless
  // run's passes each with their own counts.
  std::vector<RunStatus> VerifyHistory() const;
  // The speed over the position in the test data, so far.
  SpeedProfile CopyProfile() const;
  // The counter the status timestamps come from, for estimates made now.
  int64_t Counter() { return m_platform.Counter(); }

  // --- Test data scan (user-interface thread, between runs) ---
  uint64_t ScanTestData();  // MByte of regular test data, or kIrregularTestFiles
  bool TestFilesPresent();  // any "*.kvx" entry in the target

  // --- Removing what runs left (user-interface thread, between runs) ---
  struct LeftFile {
    std::string name;  // within the target folder
    uint64_t bytes = 0;
    bool numbered = false;  // of the sequence 1.kvx, 2.kvx, ... from 1 on
  };
  // The regular files of the numbered sequence from 1.kvx on, in order, then
  // (with include_stray) every other regular "*.kvx" file.
  std::vector<LeftFile> TestFilesLeft(bool include_stray);
  // Removes one of them; an error of kind kRemove with the system's reason.
  RunError RemoveTestFile(const LeftFile& file);

  // --- Pattern and sector check (worker thread) ---
  // Both use the pattern loops chosen for the CPU (see pattern_kernels.h),
  // looked up once per block.
  void FillBlock(uint64_t offset);
  // Wrong bits of the sector against the pattern of `seed`; records the
  // first differing word as the block's first error unless one was before.
  int32_t CompareSector(const uint64_t* words, uint64_t offset, uint64_t seed);
  void RecordFirstError(uint64_t offset, uint64_t expected, uint64_t found);
  void CheckBlock(uint64_t offset);
  // The block FillBlock and CheckBlock work on.
  uint8_t* Buffer() { return m_buffer; }

  // --- Passes (worker thread, after PrepareRun). Each returns the error that
  // ended it, or none when it completed or was aborted; it has then closed
  // its file and cleared its running flag. ---
  RunError WritePass();
  RunError VerifyPass();

  // Records the error that ended the run: the value and its text in the
  // current language.
  void RaiseError(const RunError& error);

  // Run parameters, set by a front end while no worker exists.
  uint64_t SizeMB() const { return m_sizeMB.load(); }
  bool m_doWrite = false;
  bool m_doVerify = false;
  bool m_endlessVerify = false;
  bool UseAllSpace() const { return m_useAllSpace; }

  // Aliased offsets found so far in the current verify pass (worker only;
  // while a pass runs, its helper thread's).
  const OffsetSet& AliasedOffsets() const { return m_aliasedOffsets; }
  const char* FileName() const { return m_fileName; }

 private:
  class PassGuard;
  class ScanFolder;

  RunError RunPasses();
  const char* SeparatorAfterTarget() const;
  // Formats the test file's full path into m_fileName; TestFileName() is
  // then its name within the target folder.
  bool FormatTestFileName(uint64_t number);
  const char* TestFileName() const { return m_fileName + m_nameStart; }
  RunError TargetError(ErrorKind kind) const;
  // Why the run has no open target folder.
  RunError FolderError() const;
  bool CutSizeAtFullMedium(uint64_t written_mb);
  void SetPassRunning(bool* flag, bool running);
  int32_t CompareWithPattern(const PatternKernels& kernels, const uint64_t* words,
                             uint64_t offset, const uint64_t* expected);
  uint64_t CheckDamagedSectors(const PatternKernels& kernels, const uint64_t* words,
                               uint64_t offset, uint64_t sectors, const uint64_t* own);
  void FillBlockAt(uint8_t* block, uint64_t offset);
  void CheckBlockAt(const uint8_t* block, uint64_t offset);
  // The work of the passes' helper threads (BlockHelper): fill a block to be
  // written; check a block read and count it as verified.
  static void FillForHelper(void* engine, uint8_t* block, uint64_t offset, int64_t unused);
  static void VerifyForHelper(void* engine, uint8_t* block, uint64_t offset, int64_t read_at);
  void AddAliasedRun(uint64_t first_sector, uint64_t count);
  void FlushPendingAliased();
  RunError OpenTargetFolder(FolderHandle* folder);
  void OpenRunFolder();
  void CloseRunFolder();
  bool NumberedFileBeyond(FolderHandle folder, uint64_t number);
  void NotifyDone();

  Platform& m_platform;
  // The run's data volume in MByte; 0 on entry to a run means all free space.
  // Read by the user interface for its estimate while the worker may lower it.
  std::atomic<uint64_t> m_sizeMB{0};
  bool m_useAllSpace = false;
  bool m_hasTarget = false;
  std::string m_targetPath;
  char m_fileName[kMaxPath] = {};
  size_t m_nameStart = 0;  // where the name within the folder begins in m_fileName
  // The target folder of the prepared run, opened once by PrepareRun; every
  // test file of the run is created and opened in it.
  FolderHandle m_folder = kNoFolder;
  RunError m_folderError;  // why m_folder could not be opened
  // Two blocks of kBlockSize bytes, page-aligned, owned: while a pass does
  // I/O with one, its helper thread does the pattern work of the other.
  uint8_t* m_buffer = nullptr;

  // Texts: written by the worker before it notifies, or by the user-interface
  // thread while no worker runs; m_textLock keeps a late reader safe anyway.
  mutable std::mutex m_textLock;
  RunError m_error;
  std::string m_errorText;
  std::string m_warningText;

  mutable std::mutex m_lock;  // guards m_status and m_verifyHistory
  RunStatus m_status;
  std::vector<RunStatus> m_verifyHistory;
  // Under m_lock too. Its lists are given their full size when the run is
  // prepared; the passes only store into them.
  SpeedProfile m_profile;
  size_t m_writeSteps = 0, m_verifySteps = 0;
  std::atomic<bool> m_abort{false};

  // The checking thread's state of the current block's check (the worker's,
  // or its helper's during a verify pass): counts and the first mismatch are
  // gathered here and published under m_lock once per block.
  struct BlockTally {
    uint64_t ok = 0, overwritten = 0, changed = 0, corrupted = 0;
    FirstError first;
  } m_tally;
  OffsetSet m_aliasedOffsets;
  uint64_t m_pendingAliasStart = 0;  // run of consecutive aliased sector numbers
  uint64_t m_pendingAliasLength = 0;

  DoneNotifier m_notify;
  std::thread m_worker;
};

extern CTestEngine theEngine;

}  // namespace kalvex
