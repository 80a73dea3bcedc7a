#include "engine/engine.h"
#include "engine/pattern_kernels.h"

namespace kalvex {

void CTestEngine::FillBlock(uint64_t offset) {
  FillPatternRun(ActivePatternKernels(), reinterpret_cast<uint64_t*>(m_buffer), offset,
                 kSectorsPerBlock);
}

}  // namespace kalvex
