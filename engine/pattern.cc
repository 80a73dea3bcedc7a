#include "engine/engine.h"
#include "engine/pattern.h"

namespace kalvex {

void CTestEngine::FillBlock(uint64_t offset) {
  uint64_t* w = reinterpret_cast<uint64_t*>(m_buffer);
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

}  // namespace kalvex
