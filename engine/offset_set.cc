#include "engine/offset_set.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <new>

namespace kalvex {

namespace {

constexpr uint32_t kLowMask = 0xFFFF;
// A std::map node besides its value: colour and three links.
constexpr size_t kNodeOverhead = 4 * sizeof(void*);

}  // namespace

// ---- one chunk of 2^16 sectors ----

uint32_t OffsetSet::Chunk::Add(uint32_t first, uint32_t last) {
  if (!bits.empty()) return AddToBits(first, last);
  const uint32_t added = AddToRuns(first, last);
  // From here on the bitmap is the smaller of the two.
  if (runs.size() * sizeof(Run) > kChunkSectors / 8) RunsToBits();
  return added;
}

uint32_t OffsetSet::Chunk::AddToRuns(uint32_t first, uint32_t last) {
  // The first run that overlaps or touches first..last, if any.
  auto begin = std::lower_bound(runs.begin(), runs.end(), first,
                                [](const Run& r, uint32_t v) { return r.last + 1u < v; });
  auto end = begin;
  uint32_t lo = first, hi = last, covered = 0;
  // Runs neither overlap nor touch, so extending hi never reaches a later one.
  while (end != runs.end() && end->first <= hi + 1u) {
    const uint32_t from = std::max<uint32_t>(end->first, first);
    const uint32_t to = std::min<uint32_t>(end->last, last);
    if (from <= to) covered += to - from + 1;
    lo = std::min<uint32_t>(lo, end->first);
    hi = std::max<uint32_t>(hi, end->last);
    ++end;
  }
  const Run merged{static_cast<uint16_t>(lo), static_cast<uint16_t>(hi)};
  if (begin == end) {
    runs.insert(begin, merged);
  } else {
    *begin = merged;
    runs.erase(begin + 1, end);
  }
  const uint32_t added = (last - first + 1) - covered;
  count += added;
  return added;
}

uint32_t OffsetSet::Chunk::AddToBits(uint32_t first, uint32_t last) {
  uint32_t added = 0;
  for (uint32_t word = first / 64; word <= last / 64; ++word) {
    const uint32_t lo = word == first / 64 ? first % 64 : 0;
    const uint32_t hi = word == last / 64 ? last % 64 : 63;
    const uint64_t upto = hi == 63 ? ~uint64_t{0} : (uint64_t{1} << (hi + 1)) - 1;
    const uint64_t mask = upto & (~uint64_t{0} << lo);
    added += static_cast<uint32_t>(std::popcount(mask & ~bits[word]));
    bits[word] |= mask;
  }
  count += added;
  return added;
}

void OffsetSet::Chunk::RunsToBits() {
  bits.assign(kChunkSectors / 64, 0);
  const uint32_t held = count;
  for (const Run& r : runs) AddToBits(r.first, r.last);
  count = held;
  std::vector<Run>().swap(runs);
}

bool OffsetSet::Chunk::Contains(uint32_t sector) const {
  if (!bits.empty()) return (bits[sector / 64] >> (sector % 64)) & 1;
  auto it = std::lower_bound(runs.begin(), runs.end(), sector,
                             [](const Run& r, uint32_t v) { return r.last < v; });
  return it != runs.end() && it->first <= sector;
}

size_t OffsetSet::Chunk::MemoryBytes() const {
  return runs.capacity() * sizeof(Run) + bits.capacity() * sizeof(uint64_t);
}

// ---- the set ----

void OffsetSet::Clear() {
  m_full.clear();
  m_chunks.clear();
  m_count = 0;
}

bool OffsetSet::AddSectorRun(uint64_t first, uint64_t count) {
  try {
    while (count > 0) {
      const uint64_t key = first >> kChunkBits;
      const uint32_t low = static_cast<uint32_t>(first & kLowMask);
      if (low == 0 && count >= kChunkSectors) {
        const uint64_t whole = count >> kChunkBits;
        m_count += AddFullChunks(key, key + whole - 1);
        first += whole << kChunkBits;
        count -= whole << kChunkBits;
        continue;
      }
      const uint64_t room = kChunkSectors - low;
      const uint32_t part = static_cast<uint32_t>(count < room ? count : room);
      m_count += AddWithinChunk(key, low, low + part - 1);
      first += part;
      count -= part;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

uint64_t OffsetSet::AddWithinChunk(uint64_t key, uint32_t first, uint32_t last) {
  if (IsFull(key)) return 0;
  Chunk& chunk = m_chunks[key];
  const uint32_t added = chunk.Add(first, last);
  // A full chunk moves into the range map; it adds nothing new there.
  if (chunk.count == kChunkSectors) AddFullChunks(key, key);
  return added;
}

uint64_t OffsetSet::AddFullChunks(uint64_t first_key, uint64_t last_key) {
  uint64_t present = 0;
  for (auto it = m_chunks.lower_bound(first_key);
       it != m_chunks.end() && it->first <= last_key;) {
    present += it->second.count;
    it = m_chunks.erase(it);
  }
  // Merge with every full range that overlaps or touches first..last.
  uint64_t lo = first_key, hi = last_key;
  auto it = m_full.upper_bound(first_key);
  if (it != m_full.begin() && std::prev(it)->second + 1 >= first_key) --it;
  while (it != m_full.end() && it->first <= last_key + 1) {
    const uint64_t from = std::max(it->first, first_key);
    const uint64_t to = std::min(it->second, last_key);
    if (from <= to) present += (to - from + 1) << kChunkBits;
    lo = std::min(lo, it->first);
    hi = std::max(hi, it->second);
    it = m_full.erase(it);
  }
  m_full.emplace(lo, hi);
  return ((last_key - first_key + 1) << kChunkBits) - present;
}

bool OffsetSet::IsFull(uint64_t key) const {
  auto it = m_full.upper_bound(key);
  return it != m_full.begin() && std::prev(it)->second >= key;
}

bool OffsetSet::ContainsOffset(uint64_t offset) const {
  const uint64_t sector = offset / 512;
  const uint64_t key = sector >> kChunkBits;
  if (IsFull(key)) return true;
  auto it = m_chunks.find(key);
  return it != m_chunks.end() && it->second.Contains(static_cast<uint32_t>(sector & kLowMask));
}

size_t OffsetSet::MemoryBytes() const {
  size_t bytes = m_full.size() * (kNodeOverhead + sizeof(decltype(m_full)::value_type));
  for (const auto& entry : m_chunks) {
    bytes += kNodeOverhead + sizeof(entry) + entry.second.MemoryBytes();
  }
  return bytes;
}

}  // namespace kalvex
