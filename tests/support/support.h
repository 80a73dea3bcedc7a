// Helpers shared by the engine, report and terminal tests: a temporary
// folder, the language switch, an independent model of the test data
// pattern, and files made and read without the engine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/language.h"

namespace kalvex::testing {

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kGiB = 1073741824;
constexpr int kEnglish = 1;
constexpr int kGerman = 0;

// Sets g_language for one scope and restores the previous value, so that no
// test leaks a language into another.
class LanguageGuard {
 public:
  explicit LanguageGuard(int language) : m_saved(g_language) { g_language = language; }
  ~LanguageGuard() { g_language = m_saved; }
  LanguageGuard(const LanguageGuard&) = delete;
  LanguageGuard& operator=(const LanguageGuard&) = delete;

 private:
  int m_saved;
};

// A fresh folder under /tmp (the system's temporary folder on Windows),
// removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return m_path; }
  std::string File(const std::string& name) const;

 private:
  std::string m_path;
};

// Word k of the sector at byte offset P: x(0) = P, x(k) = x(k-1) * (2^32 + 15) + 17.
inline uint64_t RefWord(uint64_t sector_offset, unsigned k) {
  uint64_t x = sector_offset;
  for (unsigned i = 0; i < k; ++i) x = x * 0x10000000FULL + 17;
  return x;
}
// The 512 bytes of the sector at P, little-endian as they lie on the medium.
std::vector<uint8_t> RefSectorBytes(uint64_t sector_offset);

// A test file with the pattern from first_offset on: whole blocks, then
// extra_bytes more bytes of the pattern.
void WritePatternFile(const std::string& path, uint64_t first_offset, uint64_t blocks,
                      uint64_t extra_bytes = 0);
// A file of the given size that holds no data (a hole); fast for any size.
void MakeSparseFile(const std::string& path, uint64_t size);
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);  // empty when missing
uint64_t FileSizeOf(const std::string& path);   // UINT64_MAX when missing
std::vector<uint8_t> ReadBytes(const std::string& path, uint64_t offset, size_t count);
uint64_t ReadWord(const std::string& path, uint64_t offset);  // little-endian
void WriteWord(const std::string& path, uint64_t offset, uint64_t value);
// Sectors of a file that do not hold the pattern of first_offset on.
uint64_t CountForeignSectors(const std::string& path, uint64_t first_offset);
std::vector<std::string> ListDir(const std::string& dir);  // sorted names
// A UTF-8 path (as the engine takes it) for the standard library, which
// would read a plain string in the system's code page on Windows.
std::filesystem::path FsPath(const std::string& utf8);

}  // namespace kalvex::testing
