// What a 512-byte sector read back from a probed position holds.
#pragma once

#include <cstdint>

namespace kalvex::probe {

enum class SectorKind {
  kOwn,      // the pattern of its own offset: kept
  kForeign,  // the whole pattern of another offset: written there, found here
  kZeros,
  kOnes,     // every byte 0xFF
  kGarbage,  // anything else, also its own pattern with bits turned over
};

struct SectorReading {
  SectorKind kind = SectorKind::kGarbage;
  uint64_t foreign = 0;  // kForeign: the offset whose pattern it holds
};

// words: the sector's 64 words as read; offset: where it was read from.
SectorReading ClassifySector(const uint64_t* words, uint64_t offset);

}  // namespace kalvex::probe
