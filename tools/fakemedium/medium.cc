#include "tools/fakemedium/medium.h"

#include <algorithm>
#include <cstring>

namespace kalvex::fakemedium {

Medium::Medium(const Settings& settings, std::unique_ptr<Store> store,
               std::unique_ptr<EventLog> log)
    : m_settings(settings),
      m_map(settings.mode, settings.advertised, settings.real),
      m_flips(settings.flips, settings.flip_rate, settings.flip_seed),
      m_store(std::move(store)),
      m_log(log ? std::move(log) : std::make_unique<EventLog>()),
      m_throttle(settings.slow_mib_per_second),
      m_vanish(settings.vanish_after, *m_log),
      m_written(settings.written_map_path.empty() ? nullptr : std::make_unique<WrittenMap>()) {}

ssize_t Medium::Read(uint64_t offset, size_t length, unsigned char* out) {
  if (!m_vanish.Admit(length)) return FailRead(m_settings.vanish_errno, offset, length);
  if (offset >= size()) return 0;
  length = std::min<uint64_t>(length, size() - offset);
  if (TouchesAny(m_settings.read_errors, offset, length)) return FailRead(EIO, offset, length);
  m_throttle.Pass(length);
  if (const int error = ReadPieces(offset, length, out); error != 0)
    return FailRead(error, offset, length);
  const std::vector<BitFlip> flips = m_flips.InRange(offset, length);
  ApplyFlips(flips, offset, out);
  for (const BitFlip& flip : flips) m_log->Flipped(flip.offset, flip.bit);
  return static_cast<ssize_t>(length);
}

ssize_t Medium::Write(uint64_t offset, size_t length, const unsigned char* in) {
  if (!m_vanish.Admit(length)) return FailWrite(m_settings.vanish_errno, offset, length, in);
  if (length == 0) return 0;
  if (offset >= size()) return FailWrite(ENOSPC, offset, length, in);
  length = std::min<uint64_t>(length, size() - offset);
  if (TouchesAny(m_settings.write_errors, offset, length))
    return FailWrite(EIO, offset, length, in);
  m_throttle.Pass(length);
  std::unique_lock<std::mutex> order;
  if (m_written) order = std::unique_lock(m_writeOrder);
  if (const int error = WritePieces(offset, length, in); error != 0) {
    // Some pieces may be stored: what they hold is no longer known.
    if (m_written) m_written->Forget(offset, length);
    return FailWrite(error, offset, length, in);
  }
  if (m_written) m_written->Record(offset, length, in);
  return static_cast<ssize_t>(length);
}

int Medium::Presence() const { return m_vanish.gone() ? m_settings.vanish_errno : 0; }

int Medium::Sync() {
  if (const int error = Presence(); error != 0) return error;
  return m_store->Sync();
}

int Medium::ReadPieces(uint64_t offset, uint64_t length, unsigned char* out) {
  for (const Segment& piece : m_map.Locate(offset, length)) {
    unsigned char* target = out + (piece.address - offset);
    if (!piece.stored) {
      std::memset(target, m_settings.drop_fill, piece.length);
    } else if (const int error = m_store->Read(piece.store_offset, piece.length, target);
               error != 0) {
      return error;
    }
  }
  return 0;
}

int Medium::WritePieces(uint64_t offset, uint64_t length, const unsigned char* in) {
  for (const Segment& piece : m_map.Locate(offset, length)) {
    if (!piece.stored) {
      m_log->Dropped(piece.address, piece.length);
      continue;
    }
    const int error =
        m_store->Write(piece.store_offset, piece.length, in + (piece.address - offset));
    if (error != 0) return error;
    m_log->Stored(piece.address, piece.length, piece.store_offset);
  }
  return 0;
}

ssize_t Medium::FailRead(int error, uint64_t offset, uint64_t length) {
  m_log->Failed(error, false, offset, length);
  return -error;
}

// The test offset the request's first whole sector carried tells the bench
// which part of the test data the medium refused.
ssize_t Medium::FailWrite(int error, uint64_t offset, uint64_t length, const unsigned char* in) {
  const uint64_t skip = (kSectorSize - offset % kSectorSize) % kSectorSize;
  std::optional<uint64_t> test_offset;
  if (length >= skip + kSectorSize) test_offset = TestOffsetOf(in + skip);
  m_log->Failed(error, true, offset, length, test_offset);
  return -error;
}

int Medium::SaveWrittenMap() const {
  if (!m_written) return 0;
  return m_written->Save(m_settings.written_map_path);
}

}  // namespace kalvex::fakemedium
