#include "tools/fakemedium/address_map.h"

#include <algorithm>

namespace kalvex::fakemedium {

AddressMap::AddressMap(MapMode mode, uint64_t advertised, uint64_t real)
    : m_mode(mode), m_advertised(advertised), m_real(real) {}

std::vector<Segment> AddressMap::Locate(uint64_t address, uint64_t length) const {
  std::vector<Segment> pieces;
  while (length > 0) {
    const Segment piece = PieceAt(address, length);
    pieces.push_back(piece);
    address += piece.length;
    length -= piece.length;
  }
  return pieces;
}

// The longest piece from address on that goes to one place. For wrap that
// is up to the next multiple of the real capacity, where the store offset
// falls back to 0; for drop, up to the real capacity or, beyond it, all.
Segment AddressMap::PieceAt(uint64_t address, uint64_t length) const {
  Segment piece;
  piece.address = address;
  switch (m_mode) {
    case MapMode::kHonest:
      piece.length = length;
      piece.stored = true;
      piece.store_offset = address;
      break;
    case MapMode::kWrap:
      piece.store_offset = address % m_real;
      piece.length = std::min(length, m_real - piece.store_offset);
      piece.stored = true;
      break;
    case MapMode::kDrop:
      piece.stored = address < m_real;
      piece.length = piece.stored ? std::min(length, m_real - address) : length;
      if (piece.stored) piece.store_offset = address;
      break;
  }
  return piece;
}

}  // namespace kalvex::fakemedium
