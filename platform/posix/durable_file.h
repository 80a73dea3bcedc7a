// A file whose content must survive a crash or a pulled plug the moment a
// call says it is written: created only where none exists, appended to, and
// synced together with its folder entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalvex::posix {

class DurableFile {
 public:
  DurableFile() = default;
  ~DurableFile();
  DurableFile(const DurableFile&) = delete;
  DurableFile& operator=(const DurableFile&) = delete;

  // Creates path, which must not exist yet; 0 or the error number.
  int Create(const std::string& path);
  // Opens an existing file for reading; 0 or the error number.
  int OpenForReading(const std::string& path);
  bool IsOpen() const { return m_fd >= 0; }

  int Append(const void* data, size_t size);
  // The data appended so far, and on the first call the folder entry, are on
  // the medium when this returns 0.
  int Sync();
  // Exactly size bytes from position; 0, or the error number (EIO when the
  // file ends before).
  int ReadAt(uint64_t position, void* data, size_t size) const;
  uint64_t Size() const;
  void Close();

 private:
  int m_fd = -1;
  std::string m_path;
  bool m_folderSynced = false;
};

// Removes path and syncs its folder, so that the removal survives a crash.
int RemoveDurably(const std::string& path);

// The device number of the file system that path's folder (for a path that
// does not exist yet) lies on; false when it cannot be found.
bool FolderDevice(const std::string& path, uint64_t* device);

}  // namespace kalvex::posix
