// The backup file of a probe: the device it belongs to, then the original
// bytes of every range before the probe overwrote it, in the order they were
// read.
//
//   KALVEX PROBE BACKUP 1
//   device /dev/sdb
//   size 64023257088
//   model SanDisk Cruzer Blade
//   sector 512
//   (an empty line)
//
// then records, little-endian: "KVXR", uint32 length, uint64 offset, uint64
// checksum (FNV-1a over offset, length and data), the data. Each batch of
// records ends in a commit mark ("KVXC", 0, the count of records so far, its
// checksum) and is synced before the probe writes to any of its ranges: so
// records after the last mark were never needed and are ignored, which is
// what a crash in the middle of a batch leaves behind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/probe/plan.h"
#include "cli/probe/prober.h"
#include "platform/posix/durable_file.h"

namespace kalvex::probe {

struct BackupHeader {
  std::string device;
  uint64_t size = 0;
  std::string model;
  uint64_t sector = 512;
  bool operator==(const BackupHeader&) const = default;
};

struct BackupRecord {
  Extent extent;
  uint64_t position = 0;  // of the data in the file
  uint64_t checksum = 0;
};

uint64_t RecordChecksum(uint64_t offset, const uint8_t* data, uint32_t length);
std::string EncodeHeader(const BackupHeader& header);
// The 24 bytes before a record's data.
std::string EncodeRecordHead(uint64_t offset, const uint8_t* data, uint32_t length);
std::string EncodeCommitMark(uint64_t records);

struct BackupContents {
  std::string error;  // empty: readable; else what is wrong with the file
  BackupHeader header;
  std::vector<BackupRecord> records;  // committed ones, in file order
  uint64_t uncommitted = 0;           // records after the last commit mark
};

// Reads exactly size bytes at a file position; 0 or an error number.
using FileReader = std::function<int(uint64_t position, void* data, size_t size)>;
// Checks every committed record's checksum on the way.
BackupContents ParseBackup(uint64_t file_size, const FileReader& read);

// Writes a backup file through the probe's BackupSink.
class BackupWriter : public BackupSink {
 public:
  // Creates path (which must not exist) with the header, synced; 0 or an
  // error number.
  int Create(const std::string& path, const BackupHeader& header);
  int Save(const Extent& extent, const uint8_t* data) override;
  int Commit() override;
  void Close() { m_file.Close(); }

 private:
  posix::DurableFile m_file;
  uint64_t m_records = 0;
};

}  // namespace kalvex::probe
