// The capacity probe's run over a block device: rounds of positions planned
// by plan.h, every byte saved before it is overwritten, the readings turned
// into findings. Restoring the saved bytes is restore.h's part.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "cli/probe/plan.h"
#include "platform/block_device.h"

namespace kalvex {
class CTestEngine;
}

namespace kalvex::probe {

// Where the bytes the probe is about to overwrite go first.
class BackupSink {
 public:
  virtual ~BackupSink() = default;
  // Keeps a copy of the device's bytes at extent; 0 or an error number.
  virtual int Save(const Extent& extent, const uint8_t* data) = 0;
  // Everything saved so far survives a crash once this returns 0.
  virtual int Commit() = 0;
};

struct ProbeSettings {
  // Bytes written after a position before it is read back: a device may
  // answer a read of what it was just given from a cache of its own.
  uint64_t flush_bytes = 4 * 1048576;
  unsigned positions_per_round = 15;
  unsigned max_rounds = 12;
};

enum class ProbeEnd {
  kDone,
  kAborted,      // asked to stop; the current block was finished
  kDeviceLost,   // the device stopped answering altogether
  kBackupFailed  // the backup could not be written; nothing more was overwritten
};

struct ProbeReport {
  ProbeEnd end = ProbeEnd::kDone;
  int error = 0;  // kDeviceLost, kBackupFailed: the system's error number
  uint64_t claimed = 0;
  uint64_t intact = 0;
  // How far the real capacity may be above intact: the distance to the
  // lowest sector found lost, or with none lost, between two positions.
  uint64_t step = 0;
  Fault fault = Fault::kNone;
  uint64_t positions = 0;  // positions read back
  uint64_t rounds = 0;
  uint64_t bytes_written = 0;
  uint64_t bytes_read = 0;
  uint64_t bytes_saved = 0;  // of them read into the backup
};

class Prober {
 public:
  // stop is asked between blocks; true ends the run after the current one.
  Prober(BlockMedium& medium, BackupSink& backup, std::function<bool()> stop,
         ProbeSettings settings = {});
  ~Prober();
  Prober(const Prober&) = delete;
  Prober& operator=(const Prober&) = delete;

  ProbeReport Run();

 private:
  bool RunRound(const Round& round, Findings* findings);
  bool SaveOriginals(const std::vector<Extent>& extents, RangeSet* unreadable);
  bool WriteExtent(const Extent& extent, Findings* findings);
  void ReadPosition(const Extent& position, Findings* findings);
  bool DeviceAnswers(const Findings& findings);
  bool Stopping();
  // Whether an error number says the device is gone rather than one place bad.
  static bool Gone(int error);

  BlockMedium& m_medium;
  BackupSink& m_backup;
  std::function<bool()> m_stop;
  ProbeSettings m_settings;
  Layout m_layout;
  RangeSet m_saved;    // offsets whose original bytes are in the backup
  RangeSet m_written;  // offsets the probe wrote to
  std::unique_ptr<CTestEngine> m_pattern;
  uint8_t* m_buffer = nullptr;  // one block, aligned
  ProbeReport m_report;
  bool m_errorsThisRound = false;
};

}  // namespace kalvex::probe
