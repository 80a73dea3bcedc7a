// Classification of the sectors read back. A block's counts and its first
// mismatch are gathered in m_tally without the lock and published once per
// block, so the user interface sees whole blocks and the check costs no lock
// round-trip per sector.
//
// Sectors read back are mostly intact, and a block that is not is mostly
// damaged in a few sectors or aliased as a whole: the vector loops take the
// runs of sectors that hold their own pattern, or the consecutive sectors of
// one other place, and only the sectors in between go through the rules word
// by word. Sectors are still taken in ascending order, so the first error
// recorded is the lowest-offset mismatching word.

#include "engine/engine.h"
#include "engine/pattern.h"
#include "engine/pattern_kernels.h"

namespace kalvex {

namespace {
// Seven wrong bits are still "slightly changed"; eight are "corrupted".
constexpr int32_t kCorruptedBits = 8;
// Sector numbers are offsets / 512: there are 2^55 of them.
constexpr uint64_t kSectorNumbers = uint64_t{1} << 55;
}  // namespace

void CTestEngine::RecordFirstError(uint64_t offset, uint64_t expected, uint64_t found) {
  if (m_tally.first.taken) return;
  m_tally.first = FirstError{true, offset, expected, found};
}

int32_t CTestEngine::CompareSector(const uint64_t* words, uint64_t offset, uint64_t seed) {
  alignas(64) uint64_t expected[kWordsPerSector];
  SectorPattern(seed, expected);
  return CompareWithPattern(ActivePatternKernels(), words, offset, expected);
}

int32_t CTestEngine::CompareWithPattern(const PatternKernels& kernels, const uint64_t* words,
                                        uint64_t offset, const uint64_t* expected) {
  // Every word is counted, also after the first difference: the class
  // depends on the sum of wrong bits. Where the first difference lies
  // matters only until the block has its first error.
  const int32_t total = kernels.wrong_bits(words, expected);
  if (total > 0 && !m_tally.first.taken) {
    uint64_t k = 0;
    while (words[k] == expected[k]) ++k;
    RecordFirstError(offset + 8 * k, expected[k], words[k]);
  }
  return total;
}

// `words` is the sector at `offset`, which does not hold its own pattern
// `own`, followed by sectors - 1 more of the block. Returns how many sectors
// it classified: that one, and with it the rest of a run of overwritten ones.
uint64_t CTestEngine::CheckDamagedSectors(const PatternKernels& kernels, const uint64_t* words,
                                          uint64_t offset, uint64_t sectors,
                                          const uint64_t* own) {
  // The offset the sector claims to belong to. Intact data of any aligned
  // offset, even beyond this run's end, counts as overwritten. The sectors
  // after it that hold intact data of the offsets after the claim are
  // overwritten too: their claims are as far from their own offsets.
  const uint64_t claimed = words[0];
  // Word 1 turns most damaged sectors away before the claim's whole pattern
  // is made; a sector it lets through is matched in full.
  if (claimed != offset && claimed % kSectorSize == 0 && words[1] == NextPatternWord(claimed)) {
    const uint64_t run = MatchingPatternRun(kernels, words, claimed, sectors);
    if (run > 0) {
      // Word 0 is the sector's first difference, as claimed != offset.
      RecordFirstError(offset, offset, claimed);
      m_tally.overwritten += run;
      AddAliasedRun(claimed / kSectorSize, run);
      return run;
    }
  }
  const int32_t wrong_bits = CompareWithPattern(kernels, words, offset, own);
  if (wrong_bits == 0)
    ++m_tally.ok;  // only if the caller misjudged the sector; counted as it is
  else if (wrong_bits < kCorruptedBits)
    ++m_tally.changed;
  else
    ++m_tally.corrupted;
  return 1;
}

void CTestEngine::AddAliasedRun(uint64_t first_sector, uint64_t count) {
  // A run of claims that passes the top of the 64-bit space goes on at
  // offset 0, which starts a new run, as it would sector by sector.
  if (count > kSectorNumbers - first_sector) {
    const uint64_t below_top = kSectorNumbers - first_sector;
    AddAliasedRun(first_sector, below_top);
    AddAliasedRun(0, count - below_top);
    return;
  }
  if (m_pendingAliasLength != 0 && first_sector == m_pendingAliasStart + m_pendingAliasLength) {
    m_pendingAliasLength += count;
  } else {
    FlushPendingAliased();
    m_pendingAliasStart = first_sector;
    m_pendingAliasLength = count;
  }
}

void CTestEngine::FlushPendingAliased() {
  if (m_pendingAliasLength == 0) return;
  // Out of memory leaves the set a subset: the aliased count is then a lower
  // bound, and every other figure of the pass stays exact.
  m_aliasedOffsets.AddSectorRun(m_pendingAliasStart, m_pendingAliasLength);
  m_pendingAliasLength = 0;
}

void CTestEngine::CheckBlock(uint64_t offset) { CheckBlockAt(m_buffer, offset); }

void CTestEngine::CheckBlockAt(const uint8_t* block, uint64_t offset) {
  m_tally = BlockTally();
  const PatternKernels& kernels = ActivePatternKernels();
  const uint64_t* words = reinterpret_cast<const uint64_t*>(block);
  // The pattern of sector `done` at the top of each round.
  alignas(64) uint64_t own[kWordsPerSector];
  SectorPattern(offset, own);
  uint64_t done = 0;
  while (true) {
    const uint64_t* at = words + done * kWordsPerSector;
    // In a block damaged all through, word 0 alone mostly tells.
    const uint64_t intact =
        at[0] == own[0] ? kernels.matching(at, own, kSectorsPerBlock - done) : 0;
    m_tally.ok += intact;
    done += intact;
    if (done == kSectorsPerBlock) break;
    if (intact > 0) SectorPattern(offset + done * kSectorSize, own);
    const uint64_t classified =
        CheckDamagedSectors(kernels, words + done * kWordsPerSector, offset + done * kSectorSize,
                            kSectorsPerBlock - done, own);
    done += classified;
    if (done == kSectorsPerBlock) break;
    if (classified == 1)
      StepSectorPattern(own);
    else
      SectorPattern(offset + done * kSectorSize, own);
  }
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
