// What the test engine needs of the operating system, and nothing more.
//
// The engine reaches the system only through this interface, so tests can put
// a fault-injecting implementation in its place and trigger every error path
// on demand. Calls are per file or per 1 MiB block, never per sector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalvex {

// An open test file. kNoFile marks "not open".
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

// The platform's own error code (errno on POSIX, GetLastError on Windows).
using ErrorCode = uint32_t;

class Platform {
 public:
  virtual ~Platform() = default;

  // Creates a new file for whole-block reading and writing past the system's
  // file cache. Fails (with the system's code) if the file already exists:
  // an existing file is never truncated or overwritten.
  virtual bool CreateNew(const char* path, FileHandle* file, ErrorCode* error) = 0;
  // Opens an existing file for whole-block reading past the file cache.
  virtual bool OpenExisting(const char* path, FileHandle* file, ErrorCode* error) = 0;
  // Writes exactly size bytes from an aligned buffer, or fails. A failed write
  // leaves the file as it was before the call (no partial block).
  virtual bool Write(FileHandle file, const void* data, size_t size, ErrorCode* error) = 0;
  // Reads up to size bytes into an aligned buffer; *got is less than size only
  // at the end of the file.
  virtual bool Read(FileHandle file, void* data, size_t size, size_t* got,
                    ErrorCode* error) = 0;
  // Brings everything written to the medium.
  virtual bool Flush(FileHandle file, ErrorCode* error) = 0;
  virtual bool Close(FileHandle file, ErrorCode* error) = 0;
  virtual uint64_t FileSize(FileHandle file) = 0;

  // True when at least one directory entry matches pattern, a folder path
  // followed by a separator and "*.ext".
  virtual bool AnyEntryMatches(const char* pattern) = 0;

  // Bytes available to the caller and total bytes of the volume holding path.
  virtual bool VolumeSpace(const char* path, uint64_t* free_to_caller,
                           uint64_t* total) = 0;

  // A monotonic high-resolution counter and its counts per second.
  virtual int64_t Counter() = 0;
  virtual int64_t CounterFrequency() = 0;

  // Raises the calling thread's priority as far as the system allows.
  virtual void RaiseThreadPriority() = 0;

  // The system's text for an error code, without a final line break.
  virtual std::string ErrorText(ErrorCode error) = 0;
  virtual bool IsDiskFull(ErrorCode error) = 0;
  virtual bool IsNotFound(ErrorCode error) = 0;

  // True once any test file had to be opened without bypassing the file cache
  // (the file system refused direct I/O); the platform then flushes and drops
  // the cached pages itself so that reads still come from the medium.
  virtual bool UsedCachedIo() = 0;
};

// The implementation for the system this program was built for.
Platform& SystemPlatform();

// Page-aligned memory for the block buffer; null when it cannot be had.
void* AllocateAligned(size_t size);
void FreeAligned(void* memory, size_t size);

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif
// Longest file path, in bytes including the terminator, that the engine forms.
#ifdef _WIN32
constexpr size_t kMaxPath = 1040;  // 259 UTF-16 units, each up to 4 UTF-8 bytes
#else
constexpr size_t kMaxPath = 4096;
#endif

}  // namespace kalvex
