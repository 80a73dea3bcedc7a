#include "engine/pattern_reference.h"

#include <bit>

#include "engine/pattern.h"

namespace kalvex {

void PlainFillBlock(uint8_t* block, uint64_t offset) {
  uint64_t* w = reinterpret_cast<uint64_t*>(block);
  uint64_t p = offset;
  for (uint64_t sector = 0; sector < kSectorsPerBlock; ++sector) {
    uint64_t x = p;
    *w++ = x;
    for (uint64_t k = 1; k < kWordsPerSector; ++k) {
      x = NextPatternWord(x);
      *w++ = x;
    }
    p += kSectorSize;
  }
}

int32_t PlainBlockChecker::CompareSector(const uint64_t* words, uint64_t offset, uint64_t seed) {
  uint64_t x = seed;
  int32_t total = 0;
  for (uint64_t k = 0; k < kWordsPerSector; ++k) {
    if (k > 0) x = NextPatternWord(x);
    const uint64_t d = words[k] ^ x;
    if (d == 0) continue;
    if (!first.taken) first = FirstError{true, offset + 8 * k, x, words[k]};
    total += std::popcount(d);
  }
  return total;
}

void PlainBlockChecker::CheckSector(const uint64_t* words, uint64_t offset) {
  const int32_t wrong_bits = CompareSector(words, offset, offset);
  if (wrong_bits == 0) {
    ++ok;
    return;
  }
  const uint64_t claimed = words[0];
  if (claimed == offset || claimed % kSectorSize != 0 ||
      CompareSector(words, offset, claimed) != 0) {
    if (wrong_bits < 8)
      ++changed;
    else
      ++corrupted;
    return;
  }
  ++overwritten;
  const uint64_t sector = claimed / kSectorSize;
  if (m_pendingLength != 0 && sector == m_pendingStart + m_pendingLength) {
    ++m_pendingLength;
  } else {
    FlushPendingAliased();
    m_pendingStart = sector;
    m_pendingLength = 1;
  }
}

void PlainBlockChecker::FlushPendingAliased() {
  if (m_pendingLength == 0) return;
  aliased.AddSectorRun(m_pendingStart, m_pendingLength);
  m_pendingLength = 0;
}

void PlainBlockChecker::CheckBlock(const uint8_t* block, uint64_t offset) {
  const uint64_t* words = reinterpret_cast<const uint64_t*>(block);
  for (uint64_t i = 0; i < kSectorsPerBlock; ++i)
    CheckSector(words + i * kWordsPerSector, offset + i * kSectorSize);
  FlushPendingAliased();
}

}  // namespace kalvex
