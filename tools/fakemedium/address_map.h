// Where a byte of the advertised capacity really goes. Addresses below the
// real capacity are always stored where they say. Beyond it:
//   honest: there is no beyond; the real capacity equals the advertised one.
//   wrap:   address A is stored at A mod real, over data already there.
//   drop:   writes are lost and reads return the fill byte (0x00 or 0xFF).
#pragma once

#include <cstdint>
#include <vector>

namespace kalvex::fakemedium {

enum class MapMode { kHonest, kWrap, kDrop };

// One piece of a request that goes to a single place: a contiguous run of
// the store, or the void beyond the real capacity.
struct Segment {
  uint64_t address = 0;  // in the advertised capacity
  uint64_t length = 0;
  bool stored = false;
  uint64_t store_offset = 0;  // meaningful only when stored

  bool operator==(const Segment&) const = default;
};

class AddressMap {
 public:
  // real must be greater than 0 and at most advertised.
  AddressMap(MapMode mode, uint64_t advertised, uint64_t real);

  MapMode mode() const { return m_mode; }
  uint64_t advertised() const { return m_advertised; }
  uint64_t real() const { return m_real; }

  // The pieces of [address, address + length) in order, covering it without
  // gap. The caller keeps the request inside the advertised capacity.
  std::vector<Segment> Locate(uint64_t address, uint64_t length) const;

 private:
  Segment PieceAt(uint64_t address, uint64_t length) const;

  MapMode m_mode;
  uint64_t m_advertised;
  uint64_t m_real;
};

}  // namespace kalvex::fakemedium
