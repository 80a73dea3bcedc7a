// What the test engine needs of the operating system, and nothing more.
//
// The engine reaches the system only through this interface, so tests can put
// a fault-injecting implementation in its place and trigger every error path
// on demand. Calls are per file or per 1 MiB block, never per sector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kalvex {

// An open test file, and the open target folder that every test file is
// created in and opened from. kNoFile and kNoFolder mark "not open".
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;
using FolderHandle = intptr_t;
constexpr FolderHandle kNoFolder = -1;

// The platform's own error code (errno on POSIX, GetLastError on Windows).
using ErrorCode = uint32_t;

// How far the reads of a verify pass are known to come from the medium
// itself, worst first is the larger value.
enum class CacheBypass {
  kDirect,         // the reads bypass every cache of the system on their own
  kFlushed,        // the caches between the files and the medium were emptied
  kNotGuaranteed,  // a cache may still answer; the medium must be reconnected
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Opens the target folder once for a run (or a scan). Test files are then
  // named relative to it, so that a medium that goes away can never redirect
  // them to whatever folder takes its place under the same path.
  virtual bool OpenFolder(const char* path, FolderHandle* folder, ErrorCode* error) = 0;
  virtual void CloseFolder(FolderHandle folder) = 0;
  // True while path still leads to the folder that was opened: the same file
  // system and the same folder on it. False once the medium was unmounted or
  // replaced, or path cannot be looked up any more.
  virtual bool FolderStillAt(FolderHandle folder, const char* path) = 0;

  // Creates a new file in folder for whole-block reading and writing past
  // the system's file cache. Fails (with the system's code) if the file
  // already exists: an existing file is never truncated or overwritten.
  virtual bool CreateNew(FolderHandle folder, const char* name, FileHandle* file,
                         ErrorCode* error) = 0;
  // Opens an existing regular file in folder for whole-block reading past the
  // file cache.
  virtual bool OpenExisting(FolderHandle folder, const char* name, FileHandle* file,
                            ErrorCode* error) = 0;
  // Writes exactly size bytes from an aligned buffer, or fails with the
  // system's own reason: a write the system cut short is carried on until it
  // fails for real, so a dying medium is not mistaken for a full one. A
  // failed write leaves the file as it was before the call (no partial block).
  virtual bool Write(FileHandle file, const void* data, size_t size, ErrorCode* error) = 0;
  // Reads up to size bytes into an aligned buffer; *got is less than size only
  // at the end of the file. A read that stops short before the file's end is
  // an error.
  virtual bool Read(FileHandle file, void* data, size_t size, size_t* got,
                    ErrorCode* error) = 0;
  // Brings everything written to the medium.
  virtual bool Flush(FileHandle file, ErrorCode* error) = 0;
  virtual bool Close(FileHandle file, ErrorCode* error) = 0;
  virtual uint64_t FileSize(FileHandle file) = 0;

  // Removes the regular file name in folder; anything else (a link, a
  // folder, a device) is refused and left as it is.
  virtual bool RemoveFile(FolderHandle folder, const char* name, ErrorCode* error) = 0;

  // Calls visit with the name of every entry of folder until it returns
  // false. Returns false when the folder cannot be listed.
  virtual bool ForEachEntry(FolderHandle folder,
                            const std::function<bool(const char* name)>& visit) = 0;

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

  // Called before every verify pass, when no test file is open: makes sure
  // that the reads of the test files in folder come from the medium and not
  // from a cache on the way, as far as the system allows, and says how far
  // that is. A file system served by a program of its own (FUSE) reads the
  // medium through the system's cache of the whole device; a file system
  // that refuses direct I/O keeps the files' pages in its cache.
  virtual CacheBypass PrepareToRead(FolderHandle folder) = 0;
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
