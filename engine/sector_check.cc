// Classification of the sectors read back. A block's counts and its first
// mismatch are gathered in m_tally without the lock and published once per
// block, so the user interface sees whole blocks and the check costs no lock
// round-trip per sector.

#include <bit>

#include "engine/engine.h"
#include "engine/pattern.h"

namespace kalvex {

namespace {
// Seven wrong bits are still "slightly changed"; eight are "corrupted".
constexpr int32_t kCorruptedBits = 8;
}  // namespace

void CTestEngine::RecordFirstError(uint64_t offset, uint64_t expected, uint64_t found) {
  if (m_tally.first.taken) return;
  m_tally.first = FirstError{true, offset, expected, found};
}

int32_t CTestEngine::CompareSector(const uint64_t* words, uint64_t offset, uint64_t seed) {
  int32_t total = std::popcount(words[0] ^ seed);
  if (total > 0) RecordFirstError(offset, seed, words[0]);
  uint64_t x = seed;
  uint64_t word_offset = offset + 8;
  // Every word is compared, also after the first difference: the class
  // depends on the sum of wrong bits.
  for (uint64_t k = 1; k < kWordsPerSector; ++k) {
    x = NextPatternWord(x);
    const uint64_t d = words[k] ^ x;
    if (d != 0) {
      RecordFirstError(word_offset, x, words[k]);
      total += std::popcount(d);
    }
    word_offset += 8;
  }
  return total;
}

void CTestEngine::CheckSector(const uint64_t* words, uint64_t offset) {
  const int32_t wrong_bits = CompareSector(words, offset, offset);
  if (wrong_bits == 0) {
    ++m_tally.ok;
    return;
  }
  // The offset the sector claims to belong to. Intact data of any aligned
  // offset, even beyond this run's end, counts as overwritten.
  const uint64_t claimed = words[0];
  const bool damaged_in_place = claimed == offset || claimed % kSectorSize != 0 ||
                                CompareSector(words, offset, claimed) != 0;
  if (damaged_in_place) {
    if (wrong_bits < kCorruptedBits)
      ++m_tally.changed;
    else
      ++m_tally.corrupted;
    return;
  }
  ++m_tally.overwritten;
  const uint64_t sector = claimed / kSectorSize;
  if (m_pendingAliasLength != 0 && sector == m_pendingAliasStart + m_pendingAliasLength) {
    ++m_pendingAliasLength;
  } else {
    FlushPendingAliased();
    m_pendingAliasStart = sector;
    m_pendingAliasLength = 1;
  }
}

void CTestEngine::FlushPendingAliased() {
  if (m_pendingAliasLength == 0) return;
  // Out of memory leaves the set a subset: the aliased count is then a lower
  // bound, and every other figure of the pass stays exact.
  m_aliasedOffsets.AddSectorRun(m_pendingAliasStart, m_pendingAliasLength);
  m_pendingAliasLength = 0;
}

void CTestEngine::CheckBlock(uint64_t offset) {
  m_tally = BlockTally();
  const uint64_t* words = reinterpret_cast<const uint64_t*>(m_buffer);
  for (uint64_t i = 0; i < kSectorsPerBlock; ++i)
    CheckSector(words + i * kWordsPerSector, offset + i * kSectorSize);
  FlushPendingAliased();

  std::lock_guard<std::mutex> guard(m_lock);
  m_status.m_okSectors += m_tally.ok;
  m_status.m_overwrittenSectors += m_tally.overwritten;
  m_status.m_changedSectors += m_tally.changed;
  m_status.m_corruptedSectors += m_tally.corrupted;
  m_status.m_aliasedCount = m_aliasedOffsets.Count();
  // Blocks are checked in ascending offset order, so the first mismatch of
  // the first damaged block is the lowest of the pass.
  if (!m_status.m_firstError.taken && m_tally.first.taken)
    m_status.m_firstError = m_tally.first;
}

}  // namespace kalvex
