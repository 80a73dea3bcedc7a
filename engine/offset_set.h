// A set of 512-aligned byte offsets with bounded memory.
//
// A medium that maps two addresses to one cell yields one aliased offset per
// sector of its real capacity: 2^31 and more on large media, far too many for
// a hash set. Offsets are kept as sector numbers (offset / 512), split into
// chunks of 2^16 sectors. A chunk that holds every one of its sectors costs
// nothing of its own: consecutive full chunks are one entry of a range map,
// so contiguous aliasing stays a few bytes however long it is. Any other
// chunk holds its sectors as a list of runs while that is small, else as a
// bitmap of 8 KiB, so scattered aliasing costs at most a bit per sector of
// the chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace kalvex {

class OffsetSet {
 public:
  OffsetSet() = default;
  OffsetSet(const OffsetSet&) = delete;
  OffsetSet& operator=(const OffsetSet&) = delete;

  // Adds the sector numbers first, first+1, ..., first+count-1. Returns
  // false if memory ran out; the set then holds a subset of them.
  bool AddSectorRun(uint64_t first, uint64_t count);
  bool AddOffset(uint64_t offset) { return AddSectorRun(offset / 512, 1); }
  bool ContainsOffset(uint64_t offset) const;
  uint64_t Count() const { return m_count; }
  void Clear();
  // Heap bytes the set holds, tree nodes included.
  size_t MemoryBytes() const;

 private:
  static constexpr unsigned kChunkBits = 16;
  static constexpr uint32_t kChunkSectors = uint32_t{1} << kChunkBits;

  // Sectors first..last of one chunk, numbered within it.
  struct Run {
    uint16_t first;
    uint16_t last;
  };

  // The sectors of a chunk that is neither empty nor full. Exactly one of
  // runs and bits is in use: runs (sorted, disjoint, not touching) while
  // they take less room than the bitmap, then bits (one per sector).
  struct Chunk {
    uint32_t count = 0;
    std::vector<Run> runs;
    std::vector<uint64_t> bits;

    uint32_t Add(uint32_t first, uint32_t last);  // returns the new sectors
    bool Contains(uint32_t sector) const;
    size_t MemoryBytes() const;

   private:
    uint32_t AddToRuns(uint32_t first, uint32_t last);
    uint32_t AddToBits(uint32_t first, uint32_t last);
    void RunsToBits();
  };

  // Marks the whole chunks first_key..last_key as full; returns the sectors
  // that were not in the set before.
  uint64_t AddFullChunks(uint64_t first_key, uint64_t last_key);
  uint64_t AddWithinChunk(uint64_t key, uint32_t first, uint32_t last);
  bool IsFull(uint64_t key) const;

  // Full chunks: first key -> last key of ranges that neither overlap nor
  // touch. A key is never both full and in m_chunks.
  std::map<uint64_t, uint64_t> m_full;
  std::map<uint64_t, Chunk> m_chunks;
  uint64_t m_count = 0;
};

}  // namespace kalvex
