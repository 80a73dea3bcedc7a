#include "cli/probe/prober.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "cli/probe/sector_kind.h"
#include "engine/engine.h"
#include "engine/types.h"

namespace kalvex::probe {

Prober::Prober(BlockMedium& medium, BackupSink& backup, std::function<bool()> stop,
               ProbeSettings settings)
    : m_medium(medium),
      m_backup(backup),
      m_stop(std::move(stop)),
      m_settings(settings),
      m_pattern(std::make_unique<CTestEngine>()) {
  m_buffer = static_cast<uint8_t*>(AllocateAligned(kBlockSize));
}

Prober::~Prober() { FreeAligned(m_buffer, kBlockSize); }

bool Prober::Gone(int error) {
  return error == ENXIO || error == ENODEV || error == ENOMEDIUM || error == ESHUTDOWN;
}

bool Prober::Stopping() {
  if (!m_stop || !m_stop()) return false;
  m_report.end = ProbeEnd::kAborted;
  return true;
}

ProbeReport Prober::Run() {
  m_report = ProbeReport();
  m_report.claimed = m_medium.Size();
  if (m_buffer == nullptr || m_pattern->Buffer() == nullptr) {
    m_report.end = ProbeEnd::kBackupFailed;
    m_report.error = ENOMEM;
    return m_report;
  }
  m_layout = ChooseLayout(m_report.claimed, m_medium.LogicalBlockSize());
  Findings findings(m_report.claimed);
  Round round = CoarseRound(m_layout, m_settings.flush_bytes);
  const uint64_t coarse_spacing = round.spacing;
  bool going = RunRound(round, &findings);
  while (going && m_report.rounds < m_settings.max_rounds) {
    const uint64_t low = findings.Intact();
    const uint64_t high = findings.Bound();
    if (low >= high) break;
    // Positions already next to each other: what is left is below what a
    // position can tell.
    if (high - low <= m_layout.align && round.spacing <= m_layout.align) break;
    round = NarrowingRound(m_layout, low, high, m_settings.flush_bytes,
                           m_settings.positions_per_round);
    if (round.positions.empty()) break;
    going = RunRound(round, &findings);
    // Nothing new learnt: another round of the same would not learn more.
    if (findings.Intact() == low && findings.Bound() == high) break;
  }
  m_report.intact = findings.Intact();
  m_report.fault = findings.FaultAtBound();
  // The real capacity lies between the highest sector kept and the lowest
  // lost; on a medium that lost nothing, a fault could still hide between
  // two positions of the first round.
  m_report.step = findings.AnyLost()
                      ? std::max(findings.Bound() - m_report.intact, m_layout.sector)
                      : coarse_spacing;
  return m_report;
}

bool Prober::RunRound(const Round& round, Findings* findings) {
  ++m_report.rounds;
  m_errorsThisRound = false;
  std::vector<Extent> all = round.positions;
  all.insert(all.end(), round.sentinel.begin(), round.sentinel.end());
  RangeSet unreadable;
  if (!SaveOriginals(all, &unreadable)) return false;

  std::vector<Extent> written;
  for (size_t i = 0; i < all.size(); ++i) {
    if (Stopping()) return false;
    const Extent& extent = all[i];
    // What could not be read is never overwritten: it could not be put back.
    const std::vector<Extent> readable = unreadable.Missing(extent.offset, extent.end());
    if (readable.size() != 1 || !(readable.front() == extent)) {
      findings->Lost(extent.end() - m_layout.sector, Fault::kFail);
      continue;
    }
    if (!WriteExtent(extent, findings)) return false;
    if (i < round.positions.size()) written.push_back(extent);
  }
  if (const int error = m_medium.Flush()) {
    if (Gone(error)) {
      m_report.end = ProbeEnd::kDeviceLost;
      m_report.error = error;
      return false;
    }
    m_errorsThisRound = true;
  }
  for (const Extent& position : written) {
    if (Stopping()) return false;
    ReadPosition(position, findings);
    if (m_report.end == ProbeEnd::kDeviceLost) return false;
  }
  if (m_errorsThisRound && !DeviceAnswers(*findings)) return false;
  return true;
}

bool Prober::SaveOriginals(const std::vector<Extent>& extents, RangeSet* unreadable) {
  for (const Extent& extent : extents) {
    for (const Extent& piece : m_saved.Missing(extent.offset, extent.end())) {
      if (Stopping()) return false;
      const int error = m_medium.Read(piece.offset, m_buffer, piece.length);
      if (error != 0) {
        if (Gone(error)) {
          m_report.end = ProbeEnd::kDeviceLost;
          m_report.error = error;
          return false;
        }
        unreadable->Add(piece.offset, piece.end());
        m_errorsThisRound = true;
        continue;
      }
      m_report.bytes_read += piece.length;
      if (const int saved = m_backup.Save(piece, m_buffer)) {
        m_report.end = ProbeEnd::kBackupFailed;
        m_report.error = saved;
        return false;
      }
      m_saved.Add(piece.offset, piece.end());
      m_report.bytes_saved += piece.length;
    }
  }
  if (const int error = m_backup.Commit()) {
    m_report.end = ProbeEnd::kBackupFailed;
    m_report.error = error;
    return false;
  }
  return true;
}

bool Prober::WriteExtent(const Extent& extent, Findings* findings) {
  // The engine fills its block buffer with the pattern for any offset; a
  // position is a prefix of it.
  m_pattern->FillBlock(extent.offset);
  const int error = m_medium.Write(extent.offset, m_pattern->Buffer(), extent.length);
  m_written.Add(extent.offset, extent.end());
  if (error == 0) {
    m_report.bytes_written += extent.length;
    return true;
  }
  if (Gone(error)) {
    m_report.end = ProbeEnd::kDeviceLost;
    m_report.error = error;
    return false;
  }
  m_errorsThisRound = true;
  findings->Lost(extent.end() - m_layout.sector, Fault::kFail);
  return true;
}

void Prober::ReadPosition(const Extent& position, Findings* findings) {
  const int error = m_medium.Read(position.offset, m_buffer, position.length);
  if (error != 0) {
    if (Gone(error)) {
      m_report.end = ProbeEnd::kDeviceLost;
      m_report.error = error;
      return;
    }
    m_errorsThisRound = true;
    findings->Lost(position.end() - m_layout.sector, Fault::kFail);
    return;
  }
  m_report.bytes_read += position.length;
  ++m_report.positions;
  const auto* words = reinterpret_cast<const uint64_t*>(m_buffer);
  uint64_t run = position.offset;  // start of the sectors kept so far
  for (uint64_t at = position.offset; at < position.end(); at += kSectorSize) {
    const SectorReading reading = ClassifySector(words + (at - position.offset) / 8, at);
    if (reading.kind == SectorKind::kOwn) continue;
    findings->Kept(run, at);
    run = at + kSectorSize;
    if (reading.kind == SectorKind::kForeign) {
      // Of two offsets that share a place, the higher one is beyond the real
      // capacity: below it, every offset has a place of its own.
      const bool ours = m_written.Contains(reading.foreign);
      findings->Lost(ours && reading.foreign > at ? reading.foreign : at, Fault::kWrap);
    } else {
      findings->Lost(at, Fault::kDrop);
    }
  }
  findings->Kept(run, position.end());
}

bool Prober::DeviceAnswers(const Findings& findings) {
  const uint64_t intact = findings.Intact();
  const uint64_t offset = intact >= m_layout.align ? (intact - m_layout.align) / m_layout.align *
                                                         m_layout.align
                                                   : 0;
  const int error = m_medium.Read(offset, m_buffer, m_layout.align);
  if (error == 0) {
    m_report.bytes_read += m_layout.align;
    return true;
  }
  m_report.end = ProbeEnd::kDeviceLost;
  m_report.error = error;
  return false;
}

}  // namespace kalvex::probe
