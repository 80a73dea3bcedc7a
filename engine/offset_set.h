// A set of 512-aligned byte offsets with bounded memory.
//
// A medium that maps two addresses to one cell yields one aliased offset per
// sector of its real capacity: 2^31 and more on large media, far too many for
// a hash set. Offsets are kept as sector numbers (offset / 512) in compressed
// bitmaps, and runs of consecutive sectors are added as ranges, so contiguous
// aliasing costs a few bytes per run instead of bytes per sector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

struct roaring_bitmap_s;

namespace kalvex {

class OffsetSet {
 public:
  OffsetSet() = default;
  ~OffsetSet();
  OffsetSet(const OffsetSet&) = delete;
  OffsetSet& operator=(const OffsetSet&) = delete;

  // Adds the sector numbers first, first+1, ..., first+count-1. Returns
  // false if memory ran out; the set then holds a subset of them.
  bool AddSectorRun(uint64_t first, uint64_t count);
  bool AddOffset(uint64_t offset) { return AddSectorRun(offset / 512, 1); }
  bool ContainsOffset(uint64_t offset) const;
  uint64_t Count() const { return m_count; }
  void Clear();
  size_t MemoryBytes() const;

 private:
  // Keyed by the upper 32 bits of the sector number.
  std::map<uint32_t, roaring_bitmap_s*> m_bitmaps;
  uint64_t m_count = 0;
};

}  // namespace kalvex
