// Everything the command line decides about the simulated medium.
#pragma once

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/fakemedium/address_map.h"
#include "tools/fakemedium/bit_flips.h"
#include "tools/fakemedium/byte_range.h"

namespace kalvex::fakemedium {

struct Settings {
  std::string mount_point;
  uint64_t advertised = 0;  // the size of the served file
  uint64_t real = 0;        // what the store really keeps; at most advertised
  MapMode mode = MapMode::kHonest;
  unsigned char drop_fill = 0x00;  // what reads beyond real return with kDrop
  std::string store_path;          // empty: memory

  std::vector<BitFlip> flips;
  uint64_t flip_rate = 0;  // 0: no rate flips
  uint64_t flip_seed = 0;

  std::vector<ByteRange> read_errors;
  std::vector<ByteRange> write_errors;

  double slow_mib_per_second = 0;  // 0: full speed
  std::optional<uint64_t> vanish_after;
  int vanish_errno = EIO;  // EIO or ENXIO

  std::string log_path;          // empty: no log
  std::string written_map_path;  // empty: no map of the test offsets written
  bool foreground = false;
};

}  // namespace kalvex::fakemedium
