#include "cli/probe/plan.h"

#include <algorithm>

namespace kalvex::probe {

namespace {

constexpr uint64_t kMiB = 1048576;
// Positions of the first round, whatever the size: enough to see the shape
// of a small medium, few enough that a large one is not written all over.
constexpr uint64_t kMinCoarse = 256;
constexpr uint64_t kMaxCoarse = 2048;
constexpr uint64_t kCoarseEvery = 64 * kMiB;
constexpr uint64_t kMinBlock = 64 * 1024;
constexpr uint64_t kMaxBlock = kMiB;
// The sentinel has a block every probe block's length over the first step;
// beyond this many the blocks grow instead, so that it stays a few MiB.
constexpr uint64_t kMaxSentinelBlocks = 4096;

uint64_t AlignDown(uint64_t value, uint64_t unit) { return value / unit * unit; }
uint64_t AlignUp(uint64_t value, uint64_t unit) { return (value + unit - 1) / unit * unit; }
uint64_t DivUp(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

}  // namespace

Layout ChooseLayout(uint64_t claimed, uint32_t logical_block) {
  Layout layout;
  layout.claimed = claimed;
  layout.sector = std::max<uint64_t>(logical_block, 512);
  layout.align = std::max<uint64_t>(layout.sector, 4096);
  layout.block = kMinBlock;
  layout.coarse_count = std::clamp(claimed / kCoarseEvery, kMinCoarse, kMaxCoarse);
  while (claimed / layout.coarse_count / layout.block > kMaxSentinelBlocks &&
         layout.block < kMaxBlock)
    layout.block *= 2;
  while (layout.coarse_count > 2 && layout.coarse_count * layout.block * 2 > claimed)
    layout.coarse_count /= 2;
  return layout;
}

std::vector<Extent> Sentinel(const Layout& layout, uint64_t reach, uint64_t step, uint64_t volume,
                             const std::vector<Extent>& positions) {
  // A write of step bytes or more landing at x (a multiple of the sector)
  // covers the first sector of the sentinel block at the next multiple of
  // step, which is at most x + step - sector.
  const uint64_t needed = DivUp(reach + step - layout.sector + 1, step);
  const uint64_t count = std::max(needed, DivUp(volume, step));
  const uint64_t length =
      std::clamp(AlignUp(DivUp(volume, count), layout.align), layout.align, step);
  std::vector<Extent> sentinel;
  uint64_t total = 0;
  for (uint64_t k = 0;; ++k) {
    const uint64_t offset = k * step;
    if (offset >= layout.claimed) break;
    if (k >= needed && total >= volume) break;
    const uint64_t end = std::min(offset + length, AlignDown(layout.claimed, layout.sector));
    if (end <= offset) break;
    const bool inside = std::any_of(positions.begin(), positions.end(), [&](const Extent& p) {
      return p.offset <= offset && end <= p.end();
    });
    if (inside) continue;
    sentinel.push_back({offset, end - offset});
    total += end - offset;
  }
  return sentinel;
}

Round CoarseRound(const Layout& layout, uint64_t flush_bytes) {
  Round round;
  const uint64_t last = AlignDown(layout.claimed - layout.block, layout.sector);
  const uint64_t count = layout.coarse_count;
  for (uint64_t i = 0; i + 1 < count; ++i) {
    // last * i / (count - 1) without overflow.
    const uint64_t offset =
        AlignDown(last / (count - 1) * i + last % (count - 1) * i / (count - 1), layout.align);
    if (!round.positions.empty() && round.positions.back().offset >= offset) continue;
    round.positions.push_back({offset, layout.block});
  }
  if (round.positions.empty() || round.positions.back().offset < last)
    round.positions.push_back({last, layout.block});
  round.spacing = DivUp(last, count - 1);
  round.sentinel =
      Sentinel(layout, round.spacing + layout.align, layout.block, flush_bytes, round.positions);
  return round;
}

Round NarrowingRound(const Layout& layout, uint64_t low, uint64_t high, uint64_t flush_bytes,
                     unsigned count) {
  Round round;
  const uint64_t start = AlignDown(low, layout.align);
  const uint64_t stop = std::min(AlignUp(high, layout.align), AlignDown(layout.claimed, layout.sector));
  if (stop <= start || count == 0) return round;
  const uint64_t span = stop - start;
  const uint64_t n = std::min<uint64_t>(count, DivUp(span, layout.align));
  round.spacing = AlignUp(DivUp(span, n), layout.align);
  uint64_t step = layout.block;
  for (uint64_t offset = start; offset < stop && offset < high; offset += round.spacing) {
    const uint64_t length =
        AlignDown(std::min({layout.block, round.spacing, stop - offset}), layout.sector);
    if (length == 0) break;
    round.positions.push_back({offset, length});
    step = std::min(step, length);
  }
  // A position beyond R at c lands at c - R, below high - low; the step of
  // the sentinel must not exceed the shortest position.
  const uint64_t sentinel_step = std::max(AlignDown(step, layout.align), layout.align);
  round.sentinel = Sentinel(layout, high - low + layout.align, sentinel_step, flush_bytes,
                            round.positions);
  return round;
}

void RangeSet::Add(uint64_t begin, uint64_t end) {
  if (end <= begin) return;
  auto it = m_ranges.upper_bound(begin);
  if (it != m_ranges.begin()) {
    auto before = std::prev(it);
    if (before->second >= begin) {
      begin = before->first;
      end = std::max(end, before->second);
      it = m_ranges.erase(before);
    }
  }
  while (it != m_ranges.end() && it->first <= end) {
    end = std::max(end, it->second);
    it = m_ranges.erase(it);
  }
  m_ranges[begin] = end;
}

bool RangeSet::Contains(uint64_t offset) const {
  auto it = m_ranges.upper_bound(offset);
  if (it == m_ranges.begin()) return false;
  --it;
  return offset < it->second;
}

std::vector<Extent> RangeSet::Missing(uint64_t begin, uint64_t end) const {
  std::vector<Extent> missing;
  uint64_t at = begin;
  auto it = m_ranges.upper_bound(begin);
  if (it != m_ranges.begin()) --it;
  for (; it != m_ranges.end() && it->first < end; ++it) {
    if (it->second <= at) continue;
    if (it->first > at) missing.push_back({at, it->first - at});
    at = std::max(at, it->second);
  }
  if (at < end) missing.push_back({at, end - at});
  return missing;
}

uint64_t RangeSet::Bytes() const {
  uint64_t total = 0;
  for (const auto& [begin, end] : m_ranges) total += end - begin;
  return total;
}

void Findings::Kept(uint64_t begin, uint64_t end) {
  if (end > begin) m_kept.emplace_back(begin, end);
}

void Findings::Lost(uint64_t offset, Fault fault) {
  if (m_fault == Fault::kNone || offset < m_bound) {
    m_bound = std::min(offset, m_claimed);
    m_fault = fault;
  }
}

uint64_t Findings::Intact() const {
  uint64_t intact = 0;
  for (const auto& [begin, end] : m_kept)
    if (begin < m_bound) intact = std::max(intact, std::min(end, m_bound));
  return intact;
}

}  // namespace kalvex::probe
