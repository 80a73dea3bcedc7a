// Helpers shared by the engine's tests: temporary folders, an independent
// model of the test data pattern, test files made without the engine, the
// language switch and a done-notification recorder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/language.h"

namespace kalvex::testing {

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kGiB = 1073741824;
constexpr int kEnglish = 1;
constexpr int kGerman = 0;

// errno values as the POSIX system reports them; they are also the codes
// that appear in the engine's messages.
constexpr ErrorCode kEio = 5;
constexpr ErrorCode kEacces = 13;
constexpr ErrorCode kEexist = 17;
constexpr ErrorCode kEnospc = 28;

// A fixed system text, so that messages can be compared in full.
constexpr const char* kFakeSystemText = "Fake system text\r\n";

// Sets g_language for one scope and restores the previous value.
class LanguageGuard {
 public:
  explicit LanguageGuard(int language) : m_saved(g_language) { g_language = language; }
  ~LanguageGuard() { g_language = m_saved; }
  LanguageGuard(const LanguageGuard&) = delete;
  LanguageGuard& operator=(const LanguageGuard&) = delete;

 private:
  int m_saved;
};

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return m_path; }
  // path() + "/" + name
  std::string File(const std::string& name) const;

 private:
  std::string m_path;
};

// --- An independent model of the pattern: word k of the sector at P. ---
inline uint64_t RefWord(uint64_t sector_offset, unsigned k) {
  uint64_t x = sector_offset;
  for (unsigned i = 0; i < k; ++i) x = x * 0x10000000FULL + 17;
  return x;
}
// The 512 bytes of the sector at P, as they lie on the medium.
std::vector<uint8_t> RefSectorBytes(uint64_t sector_offset);

// Writes a test file with the pattern from first_offset on: blocks whole
// blocks, then extra_bytes more bytes of the pattern.
void WritePatternFile(const std::string& path, uint64_t first_offset, uint64_t blocks,
                      uint64_t extra_bytes = 0);
// A file of the given size that holds no data (a hole); fast for any size.
void MakeSparseFile(const std::string& path, uint64_t size);
void MakeFileWithBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
uint64_t FileSizeOf(const std::string& path);  // UINT64_MAX when missing
std::vector<uint8_t> ReadBytes(const std::string& path, uint64_t offset, size_t count);
// Checks that a file holds the pattern of first_offset on, in whole blocks;
// returns the number of mismatching sectors.
uint64_t CountForeignSectors(const std::string& path, uint64_t first_offset);
std::vector<std::string> ListDir(const std::string& dir);

// The 64 words of sector i of the engine's block buffer.
inline uint64_t* SectorWords(CTestEngine& engine, uint64_t index) {
  return reinterpret_cast<uint64_t*>(engine.Buffer() + index * 512);
}

// Records the engine's done notifications.
class DoneRecorder {
 public:
  DoneNotifier Notifier();
  // Waits for the first notification.
  bool WaitForDone(std::chrono::seconds timeout = std::chrono::seconds(600));
  int Count() const;
  std::thread::id CallerThread() const;
  // The engine's error text as it was when the notification came.
  std::string ErrorTextAtDone() const;
  void Watch(CTestEngine* engine) { m_engine = engine; }

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  int m_count = 0;
  std::thread::id m_thread;
  std::string m_errorText;
  CTestEngine* m_engine = nullptr;
};

}  // namespace kalvex::testing
