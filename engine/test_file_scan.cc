// What test data a target already holds. Runs on the user-interface thread
// between runs and only looks: files are opened for reading and closed.

#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/engine.h"

namespace kalvex {

namespace {

// Names are compared as FAT media keep them: "1.KVX" is a test file too.
bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  }
  return *a == *b;
}

// The number n of a name "n.kvx" as a write pass forms it, or 0.
uint64_t TestFileNumber(const char* name) {
  uint64_t number = 0;
  const char* p = name;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (number > (UINT64_MAX - 9) / 10) return 0;
    number = number * 10 + static_cast<uint64_t>(*p - '0');
  }
  if (p == name || name[0] == '0') return 0;
  return EqualsIgnoringCase(p, ".kvx") ? number : 0;
}

bool HasTestFileExtension(const char* name) {
  const size_t length = std::strlen(name);
  return length >= 4 && EqualsIgnoringCase(name + length - 4, ".kvx");
}

}  // namespace

// The target folder, open for one scan.
class CTestEngine::ScanFolder {
 public:
  explicit ScanFolder(CTestEngine& engine) : m_platform(engine.m_platform) {
    ErrorCode ignored;
    if (engine.m_hasTarget &&
        !m_platform.OpenFolder(engine.m_targetPath.c_str(), &m_folder, &ignored))
      m_folder = kNoFolder;
  }
  ~ScanFolder() {
    if (m_folder != kNoFolder) m_platform.CloseFolder(m_folder);
  }
  ScanFolder(const ScanFolder&) = delete;
  ScanFolder& operator=(const ScanFolder&) = delete;
  FolderHandle Get() const { return m_folder; }

 private:
  Platform& m_platform;
  FolderHandle m_folder = kNoFolder;
};

bool CTestEngine::NumberedFileBeyond(FolderHandle folder, uint64_t number) {
  bool found = false;
  m_platform.ForEachEntry(folder, [&](const char* name) {
    found = TestFileNumber(name) > number;
    return !found;
  });
  return found;
}

uint64_t CTestEngine::ScanTestData() {
  const ScanFolder folder(*this);
  if (folder.Get() == kNoFolder) return 0;
  uint64_t total_mb = 0;
  bool short_file_seen = false;
  for (uint64_t number = 1;; ++number) {
    if (!FormatTestFileName(number)) return total_mb;
    FileHandle file = kNoFile;
    ErrorCode error = 0;
    // Whatever keeps a file from opening (missing, locked, no access) ends
    // the test data there. A numbered file beyond that point means a file
    // of the sequence was lost: what remains is not what a write pass left.
    if (!m_platform.OpenExisting(folder.Get(), TestFileName(), &file, &error))
      return number > 1 && NumberedFileBeyond(folder.Get(), number) ? kIrregularTestFiles
                                                                    : total_mb;
    const uint64_t size = m_platform.FileSize(file);
    ErrorCode ignored;
    m_platform.Close(file, &ignored);
    // A write pass leaves only its last file shorter than 1 GiB, and every
    // file a whole number of blocks long.
    if (short_file_seen) return kIrregularTestFiles;
    if (size % kBlockSize != 0) return kIrregularTestFiles;
    total_mb += size >> 20;
    if (size != kFileSize) short_file_seen = true;
  }
}

bool CTestEngine::TestFilesPresent() {
  const ScanFolder folder(*this);
  if (folder.Get() == kNoFolder) return false;
  bool found = false;
  m_platform.ForEachEntry(folder.Get(), [&](const char* name) {
    found = HasTestFileExtension(name);
    return !found;
  });
  return found;
}

std::vector<CTestEngine::LeftFile> CTestEngine::TestFilesLeft(bool include_stray) {
  std::vector<LeftFile> files;
  const ScanFolder folder(*this);
  if (folder.Get() == kNoFolder) return files;
  for (uint64_t number = 1;; ++number) {
    if (!FormatTestFileName(number)) break;
    FileHandle file = kNoFile;
    ErrorCode error = 0;
    // Only regular files open as test files: a link or a folder named like
    // one ends the sequence and is never removed.
    if (!m_platform.OpenExisting(folder.Get(), TestFileName(), &file, &error)) break;
    files.push_back({TestFileName(), m_platform.FileSize(file), true});
    m_platform.Close(file, &error);
  }
  if (!include_stray) return files;
  std::vector<std::string> stray;
  m_platform.ForEachEntry(folder.Get(), [&](const char* name) {
    if (!HasTestFileExtension(name)) return true;
    for (const LeftFile& numbered : files) {
      if (numbered.name == name) return true;
    }
    stray.emplace_back(name);
    return true;
  });
  std::sort(stray.begin(), stray.end());
  for (const std::string& name : stray) {
    FileHandle file = kNoFile;
    ErrorCode error = 0;
    if (!m_platform.OpenExisting(folder.Get(), name.c_str(), &file, &error)) continue;
    files.push_back({name, m_platform.FileSize(file), false});
    m_platform.Close(file, &error);
  }
  return files;
}

RunError CTestEngine::RemoveTestFile(const LeftFile& file) {
  const std::string path = m_targetPath + SeparatorAfterTarget() + file.name;
  FolderHandle folder = kNoFolder;
  if (RunError error = OpenTargetFolder(&folder)) return error;
  ErrorCode code = 0;
  const bool removed = m_platform.RemoveFile(folder, file.name.c_str(), &code);
  m_platform.CloseFolder(folder);
  if (removed) return RunError();
  return SystemError(ErrorKind::kRemove, path, code, m_platform);
}

}  // namespace kalvex
