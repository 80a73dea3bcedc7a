#include "engine/engine.h"
#include "engine/pattern_kernels.h"

namespace kalvex {

void CTestEngine::FillBlock(uint64_t offset) { FillBlockAt(m_buffer, offset); }

void CTestEngine::FillBlockAt(uint8_t* block, uint64_t offset) {
  FillPatternRun(ActivePatternKernels(), reinterpret_cast<uint64_t*>(block), offset,
                 kSectorsPerBlock);
}

}  // namespace kalvex
