#include "cli/probe/restore.h"

#include <cerrno>
#include <cstring>

#include "cli/probe/plan.h"
#include "cli/probe/sector_kind.h"
#include "engine/types.h"
#include "platform/platform.h"

namespace kalvex::probe {

namespace {

class AlignedBlock {
 public:
  AlignedBlock() : m_data(static_cast<uint8_t*>(AllocateAligned(kBlockSize))) {}
  ~AlignedBlock() { FreeAligned(m_data, kBlockSize); }
  AlignedBlock(const AlignedBlock&) = delete;
  AlignedBlock& operator=(const AlignedBlock&) = delete;
  uint8_t* data() { return m_data; }

 private:
  uint8_t* m_data;
};

int LoadRecord(const BackupRecord& record, const FileReader& read, uint8_t* data) {
  if (record.extent.length > kBlockSize) return EINVAL;
  const uint32_t length = static_cast<uint32_t>(record.extent.length);
  if (const int error = read(record.position, data, length)) return error;
  return RecordChecksum(record.extent.offset, data, length) == record.checksum ? 0 : EIO;
}

}  // namespace

RestoreReport Restore(BlockMedium& medium, const BackupContents& contents, const FileReader& read) {
  RestoreReport report;
  report.records = contents.records.size();
  AlignedBlock saved, found;
  if (saved.data() == nullptr || found.data() == nullptr) {
    report.error = ENOMEM;
    return report;
  }
  auto note = [&report](int error) {
    if (report.error == 0) report.error = error;
  };
  RangeSet ranges;
  for (const BackupRecord& record : contents.records)
    ranges.Add(record.extent.offset, record.extent.end());

  for (auto it = contents.records.rbegin(); it != contents.records.rend(); ++it) {
    if (const int error = LoadRecord(*it, read, saved.data())) {
      note(error);
      ++report.write_errors;
      continue;
    }
    if (const int error = medium.Write(it->extent.offset, saved.data(), it->extent.length)) {
      note(error);
      ++report.write_errors;
      continue;
    }
    report.bytes_written += it->extent.length;
  }
  if (const int error = medium.Flush()) note(error);

  for (auto it = contents.records.rbegin(); it != contents.records.rend(); ++it) {
    const Extent& extent = it->extent;
    if (LoadRecord(*it, read, saved.data()) != 0 ||
        medium.Read(extent.offset, found.data(), extent.length) != 0) {
      ++report.mismatches;
      continue;
    }
    report.bytes_read += extent.length;
    for (uint64_t at = 0; at < extent.length; at += kSectorSize) {
      if (std::memcmp(saved.data() + at, found.data() + at, kSectorSize) == 0) continue;
      const SectorReading reading =
          ClassifySector(reinterpret_cast<const uint64_t*>(saved.data() + at), extent.offset + at);
      if (reading.kind == SectorKind::kForeign && ranges.Contains(reading.foreign)) continue;
      ++report.mismatches;
      break;
    }
  }
  report.ok = report.mismatches == 0;
  return report;
}

}  // namespace kalvex::probe
