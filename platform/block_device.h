// A whole block device as the capacity probe sees it: aligned reads and
// writes by byte offset and a way past the system's buffers. An interface, so
// that the probe's decisions can be tested on media that live in memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kalvex {

class BlockMedium {
 public:
  virtual ~BlockMedium() = default;

  virtual uint64_t Size() const = 0;
  virtual uint32_t LogicalBlockSize() const = 0;
  // Exactly size bytes at offset, 0 or the system's error number. Buffers
  // are aligned to 4096 bytes; offset and size are multiples of the logical
  // block size.
  virtual int Read(uint64_t offset, void* data, size_t size) = 0;
  virtual int Write(uint64_t offset, const void* data, size_t size) = 0;
  // Hands what was written to the device and empties the system's buffers
  // of it, so that the next reads are answered by the device itself.
  virtual int Flush() = 0;
};

}  // namespace kalvex
