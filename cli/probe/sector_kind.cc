#include "cli/probe/sector_kind.h"

#include "engine/pattern.h"
#include "engine/types.h"

namespace kalvex::probe {

namespace {

bool HoldsPatternOf(const uint64_t* words, uint64_t offset) {
  uint64_t x = offset;
  if (words[0] != x) return false;
  for (uint64_t k = 1; k < kWordsPerSector; ++k) {
    x = NextPatternWord(x);
    if (words[k] != x) return false;
  }
  return true;
}

bool AllWords(const uint64_t* words, uint64_t value) {
  for (uint64_t k = 0; k < kWordsPerSector; ++k)
    if (words[k] != value) return false;
  return true;
}

}  // namespace

SectorReading ClassifySector(const uint64_t* words, uint64_t offset) {
  if (HoldsPatternOf(words, offset)) return {SectorKind::kOwn, 0};
  // A sector is only taken for another position's when every word agrees:
  // a damaged sector of its own must not send the search elsewhere.
  const uint64_t claimed = words[0];
  if (claimed != offset && claimed % kSectorSize == 0 && HoldsPatternOf(words, claimed))
    return {SectorKind::kForeign, claimed};
  if (AllWords(words, 0)) return {SectorKind::kZeros, 0};
  if (AllWords(words, ~uint64_t{0})) return {SectorKind::kOnes, 0};
  return {SectorKind::kGarbage, 0};
}

}  // namespace kalvex::probe
