#include "engine/offset_set.h"

#include <roaring/roaring.h>

namespace kalvex {

OffsetSet::~OffsetSet() { Clear(); }

void OffsetSet::Clear() {
  for (auto& entry : m_bitmaps) roaring_bitmap_free(entry.second);
  m_bitmaps.clear();
  m_count = 0;
}

bool OffsetSet::AddSectorRun(uint64_t first, uint64_t count) {
  while (count > 0) {
    const uint32_t high = static_cast<uint32_t>(first >> 32);
    const uint32_t low = static_cast<uint32_t>(first);
    // The part of the run that lies in this bitmap's 2^32 sectors.
    const uint64_t room = (uint64_t{1} << 32) - low;
    const uint64_t part = count < room ? count : room;
    auto it = m_bitmaps.find(high);
    if (it == m_bitmaps.end()) {
      roaring_bitmap_t* bitmap = roaring_bitmap_create();
      if (bitmap == nullptr) return false;
      it = m_bitmaps.emplace(high, bitmap).first;
    }
    if (part == 1) {  // scattered aliasing: the cheap single insert
      m_count += roaring_bitmap_add_checked(it->second, low) ? 1 : 0;
      first += 1;
      count -= 1;
      continue;
    }
    const uint64_t end = uint64_t{low} + part;  // exclusive
    const uint64_t present = roaring_bitmap_range_cardinality(it->second, low, end);
    // Ranges become run containers: contiguous aliasing stays a few bytes.
    roaring_bitmap_add_range_closed(it->second, low, static_cast<uint32_t>(end - 1));
    m_count += part - present;
    first += part;
    count -= part;
  }
  return true;
}

bool OffsetSet::ContainsOffset(uint64_t offset) const {
  const uint64_t sector = offset / 512;
  auto it = m_bitmaps.find(static_cast<uint32_t>(sector >> 32));
  return it != m_bitmaps.end() &&
         roaring_bitmap_contains(it->second, static_cast<uint32_t>(sector));
}

size_t OffsetSet::MemoryBytes() const {
  size_t bytes = 0;
  for (const auto& entry : m_bitmaps) bytes += roaring_bitmap_size_in_bytes(entry.second);
  return bytes;
}

}  // namespace kalvex
