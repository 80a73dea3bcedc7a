// Which test offset every device sector holds, as far as the writes the
// medium accepted tell: the bench needs to know where the file system put
// each part of the test data, to work out from the store alone what reading
// it back must give, without asking the program under test.
//
// A sector written with a test sector (word 0 = P, a multiple of 512, and
// word 1 = P * 0x10000000F + 17) holds P from then on; any other write over
// it (file-system metadata, zeros, a part of a sector) makes it hold no test
// offset. Each test offset is held by the sector that got it last: a second
// run of the program puts its data elsewhere, and what the first one left
// in freed blocks is no longer where the file system reads it from.
//
// Kept as runs of consecutive sectors holding consecutive offsets, so the
// memory follows the number of extents, not the capacity.
//
// Saved as text, one run a line, in ascending address order, neighbouring
// runs joined:
//   A P LEN      device bytes [A, A+LEN) hold test offsets [P, P+LEN) in order
// All three decimal and multiples of 512.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kalvex::fakemedium {

// The test offset a sector carries, read from its first 16 bytes, or none
// when the sector is no test sector.
std::optional<uint64_t> TestOffsetOf(const unsigned char* sector);

struct MapRun {
  uint64_t address = 0;  // device byte
  uint64_t offset = 0;   // test offset held at address
  uint64_t length = 0;   // bytes

  bool operator==(const MapRun&) const = default;
};

// A map from numbers to numbers that goes up one by one within each run:
// number `from + i` maps to `to + i`. No two runs share a number.
class LinearRuns {
 public:
  struct Piece {
    uint64_t from = 0;
    uint64_t to = 0;
    uint64_t count = 0;
    bool operator==(const Piece&) const = default;
  };

  // Removes [from, from + count) and returns what it mapped, in order.
  std::vector<Piece> Erase(uint64_t from, uint64_t count);
  // [from, from + count) must be unmapped; joins with a run it continues.
  void Insert(uint64_t from, uint64_t to, uint64_t count);
  std::vector<Piece> All() const;

 private:
  struct Target {
    uint64_t to = 0;
    uint64_t count = 0;
  };
  std::map<uint64_t, Target> m_runs;  // by from
};

class WrittenMap {
 public:
  // Notes what a write of length bytes of data at address, which the medium
  // accepted, left in the sectors it touched.
  void Record(uint64_t address, uint64_t length, const unsigned char* data);
  // Every sector that [address, address + length) touches holds no known
  // test offset any more.
  void Forget(uint64_t address, uint64_t length);

  std::vector<MapRun> Runs() const;
  std::string Text() const;

  // Writes the text to path + ".tmp" and renames it to path, so a reader
  // that waits for path to appear never sees half a map. 0 or an errno.
  int Save(const std::string& path) const;

 private:
  void Hold(uint64_t sector, uint64_t test_sector, uint64_t count);
  void ForgetSectors(uint64_t sector, uint64_t count);

  mutable std::mutex m_lock;
  LinearRuns m_byAddress;  // device sector -> test sector
  LinearRuns m_byOffset;   // test sector -> device sector
};

// Reads the text Save writes. None, with the reason in error, for a line
// that is not three multiples of 512.
std::optional<std::vector<MapRun>> ParseWrittenMap(std::istream& in, std::string* error);

}  // namespace kalvex::fakemedium
