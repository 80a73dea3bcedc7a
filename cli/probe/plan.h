// Where the capacity probe writes, and what its readings say about the real
// capacity.
//
// A fake medium keeps what it is given below its real capacity R and fails
// beyond it: the data is lost (zeros, 0xFF, garbage), the request fails, or
// the address wraps onto a lower one (A lands on A mod R). The probe writes
// the position-tagged pattern at positions spread over the whole claimed
// size, reads them back and narrows the step between the highest position
// kept and the lowest one not kept.
//
// A wrapped position reads back its own pattern as long as nothing else was
// written where it lands, so the first positions beyond R would pass. They
// land just above offset 0, though: R + x lands on x, and x is smaller than
// the step between two positions. So every round ends with a "sentinel",
// small blocks over the lowest offsets, written after the positions: a
// position that wraps then reads back the sentinel's pattern. The sentinel
// is also the padding that pushes the positions out of a cache in the device
// before they are read back, which is why its size has a lower bound.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace kalvex::probe {

struct Extent {
  uint64_t offset = 0;
  uint64_t length = 0;
  uint64_t end() const { return offset + length; }
  bool operator==(const Extent&) const = default;
};

enum class Fault { kNone, kWrap, kDrop, kFail };

struct Layout {
  uint64_t claimed = 0;
  uint64_t sector = 512;  // the device's logical block size
  uint64_t align = 4096;  // positions start at multiples of this
  uint64_t block = 0;     // bytes written at each position
  uint64_t coarse_count = 0;
};

// The layout for a device of claimed bytes; claimed must be at least 1 MiB.
Layout ChooseLayout(uint64_t claimed, uint32_t logical_block);

struct Round {
  std::vector<Extent> positions;  // written first, in this order, then read back
  std::vector<Extent> sentinel;   // written after them, never read
  uint64_t spacing = 0;           // between neighbouring positions
};

// The first round: positions from offset 0 to the last block of the device.
Round CoarseRound(const Layout& layout, uint64_t flush_bytes);
// A round between the highest offset known kept (low) and the lowest known
// lost (high), with at most count positions.
Round NarrowingRound(const Layout& layout, uint64_t low, uint64_t high, uint64_t flush_bytes,
                     unsigned count);
// Blocks at the multiples of step that catch any write of at least step
// bytes landing at an offset below reach, at least volume bytes in all, none
// of them inside a position.
std::vector<Extent> Sentinel(const Layout& layout, uint64_t reach, uint64_t step, uint64_t volume,
                             const std::vector<Extent>& positions);

// Byte ranges, merged.
class RangeSet {
 public:
  void Add(uint64_t begin, uint64_t end);
  bool Contains(uint64_t offset) const;
  // The pieces of [begin, end) not in the set, in order.
  std::vector<Extent> Missing(uint64_t begin, uint64_t end) const;
  uint64_t Bytes() const;

 private:
  std::map<uint64_t, uint64_t> m_ranges;  // begin → end
};

// What the readings so far say: the real capacity lies between Intact() and
// Bound().
class Findings {
 public:
  explicit Findings(uint64_t claimed) : m_claimed(claimed), m_bound(claimed) {}

  // Every sector of [begin, end) read back as written.
  void Kept(uint64_t begin, uint64_t end);
  // The sector at offset, or one before it, is not kept.
  void Lost(uint64_t offset, Fault fault);

  bool AnyLost() const { return m_fault != Fault::kNone; }
  uint64_t Bound() const { return m_bound; }
  Fault FaultAtBound() const { return m_fault; }
  // The end of the highest kept range below the bound.
  uint64_t Intact() const;

 private:
  uint64_t m_claimed;
  uint64_t m_bound;
  Fault m_fault = Fault::kNone;
  std::vector<std::pair<uint64_t, uint64_t>> m_kept;
};

}  // namespace kalvex::probe
