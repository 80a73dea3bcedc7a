// The real capacity: the bytes the medium actually keeps, either in memory
// (gone when the simulator ends) or in a file that outlives it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace kalvex::fakemedium {

class Store {
 public:
  virtual ~Store() = default;
  // Both keep [offset, offset + length) inside size(); they return 0 or a
  // positive errno.
  virtual int Read(uint64_t offset, uint64_t length, unsigned char* out) = 0;
  virtual int Write(uint64_t offset, uint64_t length, const unsigned char* in) = 0;
  virtual int Sync() = 0;
  virtual uint64_t size() const = 0;
};

// Zero-filled memory, taken from the system only where written.
class MemoryStore final : public Store {
 public:
  // Throws std::runtime_error when the memory cannot be had.
  explicit MemoryStore(uint64_t size);
  ~MemoryStore() override;
  MemoryStore(const MemoryStore&) = delete;
  MemoryStore& operator=(const MemoryStore&) = delete;

  int Read(uint64_t offset, uint64_t length, unsigned char* out) override;
  int Write(uint64_t offset, uint64_t length, const unsigned char* in) override;
  int Sync() override { return 0; }
  uint64_t size() const override { return m_size; }

 private:
  // Requests of several threads may overlap; without the lock a read could
  // see half of a write, which no medium does within one request.
  std::mutex m_lock;
  unsigned char* m_bytes = nullptr;
  uint64_t m_size;
};

// A file of at least size bytes, grown (with zeros) when it is shorter. What
// it held before stays: the medium keeps its data from one run to the next.
class FileStore final : public Store {
 public:
  // Throws std::runtime_error when the file cannot be opened or grown.
  FileStore(const std::string& path, uint64_t size);
  ~FileStore() override;
  FileStore(const FileStore&) = delete;
  FileStore& operator=(const FileStore&) = delete;

  int Read(uint64_t offset, uint64_t length, unsigned char* out) override;
  int Write(uint64_t offset, uint64_t length, const unsigned char* in) override;
  int Sync() override;
  uint64_t size() const override { return m_size; }

 private:
  int m_fd = -1;
  uint64_t m_size;
};

// A FileStore when path is given, else a MemoryStore.
std::unique_ptr<Store> OpenStore(const std::string& path, uint64_t size);

}  // namespace kalvex::fakemedium
