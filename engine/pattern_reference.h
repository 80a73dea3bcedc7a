// The pattern and the sector rules as straightforward per-sector loops: one
// word after the other through the generator's recurrence, one sector after
// the other through the rules. Slow, and kept so: the engine's loops are
// tested to give byte for byte the same blocks and exactly the same counts,
// first error and aliased set, and measured against these.
#pragma once

#include <cstdint>

#include "engine/offset_set.h"
#include "engine/types.h"

namespace kalvex {

// Writes the 2048 sectors of the block at `offset` to `block` (kBlockSize).
void PlainFillBlock(uint8_t* block, uint64_t offset);

// The verify pass's sector rules over blocks read back, in ascending offset
// order; the totals of every block checked so far.
class PlainBlockChecker {
 public:
  void CheckBlock(const uint8_t* block, uint64_t offset);
  // Wrong bits of the sector against the pattern of `seed`; records the
  // first differing word as the first error unless one was recorded before.
  int32_t CompareSector(const uint64_t* words, uint64_t offset, uint64_t seed);

  uint64_t ok = 0, overwritten = 0, changed = 0, corrupted = 0;
  FirstError first;
  OffsetSet aliased;

 private:
  void CheckSector(const uint64_t* words, uint64_t offset);
  void FlushPendingAliased();

  uint64_t m_pendingStart = 0;
  uint64_t m_pendingLength = 0;
};

}  // namespace kalvex
