#include "engine/engine.h"

#include <cstdio>
#include <cstring>

#include "engine/messages.h"
#include "engine/text_format.h"

namespace kalvex {

namespace {
constexpr size_t kMaxWarningChars = 199;
}  // namespace

CTestEngine::CTestEngine(Platform& platform) : m_platform(platform) {
  m_status.m_frequency = m_platform.CounterFrequency();
  // Without the buffer the program still starts; every run then ends at once
  // with kNoBuffer instead of touching the medium.
  m_buffer = static_cast<uint8_t*>(AllocateAligned(2 * kBlockSize));
}

CTestEngine::~CTestEngine() {
  JoinWorker();
  CloseRunFolder();
  FreeAligned(m_buffer, 2 * kBlockSize);
}

void CTestEngine::SetTargetPath(const char* path) {
  m_hasTarget = path != nullptr;
  m_targetPath = path ? path : "";
}

uint64_t CTestEngine::GetFreeSpaceMB() {
  uint64_t free_bytes = 0, total = 0;
  if (!m_hasTarget || !m_platform.VolumeSpace(m_targetPath.c_str(), &free_bytes, &total))
    return kAllOnes;
  return free_bytes >> 20;
}

uint64_t CTestEngine::GetCapacityMB() {
  uint64_t free_bytes = 0, total = 0;
  if (!m_hasTarget || !m_platform.VolumeSpace(m_targetPath.c_str(), &free_bytes, &total))
    return kAllOnes;
  return total >> 20;
}

void CTestEngine::SetSize(uint64_t size_mb) {
  m_sizeMB.store(size_mb);
  const uint64_t capacity = GetCapacityMB();
  if (capacity != kAllOnes && capacity != size_mb) {
    SetWarningText(FormatText(kMaxWarningChars, msg::kOnlyPartTested.Get(),
                              Ull(size_mb), Ull(capacity)));
  } else {
    SetWarningText(std::string());
  }
}

void CTestEngine::SetWarningText(const std::string& text) {
  std::lock_guard<std::mutex> guard(m_textLock);
  m_warningText = text;
}

RunError CTestEngine::Error() const {
  std::lock_guard<std::mutex> guard(m_textLock);
  return m_error;
}

std::string CTestEngine::ErrorText() const {
  std::lock_guard<std::mutex> guard(m_textLock);
  return m_errorText;
}

std::string CTestEngine::WarningText() const {
  std::lock_guard<std::mutex> guard(m_textLock);
  return m_warningText;
}

std::vector<RunStatus> CTestEngine::VerifyHistory() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_verifyHistory;
}

SpeedProfile CTestEngine::CopyProfile() const {
  std::lock_guard<std::mutex> guard(m_lock);
  SpeedProfile copy = m_profile;
  copy.write_done.resize(m_writeSteps);
  copy.verify_done.resize(m_verifySteps);
  return copy;
}

RunStatus CTestEngine::CopyStatus() const {
  RunStatus copy;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    copy = m_status;
  }
  copy.m_abort = m_abort.load();
  return copy;
}

void CTestEngine::RaiseError(const RunError& error) {
  std::string text = RenderError(error);
  std::lock_guard<std::mutex> guard(m_textLock);
  m_error = error;
  m_errorText = std::move(text);
}

void CTestEngine::NotifyDone() {
  // The notifier is the worker's last act: after it the front end may read,
  // reconfigure or destroy the engine.
  DoneNotifier notify = std::move(m_notify);
  m_notify = nullptr;
  if (notify) notify();
}

const char* CTestEngine::SeparatorAfterTarget() const {
  static constexpr char kSeparator[] = {kPathSeparator, '\0'};
  // A drive or file-system root already ends in a separator.
  const bool ends_with_separator =
      !m_targetPath.empty() &&
      (m_targetPath.back() == kPathSeparator || m_targetPath.back() == '/');
  return ends_with_separator ? "" : kSeparator;
}

bool CTestEngine::FormatTestFileName(uint64_t number) {
  const char* separator = SeparatorAfterTarget();
  const int n = std::snprintf(m_fileName, sizeof m_fileName, "%s%s%llu.kvx",
                              m_targetPath.c_str(), separator, Ull(number));
  m_nameStart = m_targetPath.size() + std::strlen(separator);
  return n > 0 && static_cast<size_t>(n) < sizeof m_fileName;
}

bool CTestEngine::TestFileNamesFit(uint64_t size_mb) const {
  // The highest file number the run can reach names the longest file.
  const uint64_t files = size_mb / kBlocksPerFile + (size_mb % kBlocksPerFile != 0 ? 1 : 0);
  const size_t digits = std::to_string(files == 0 ? 1 : files).size();
  const size_t length = m_targetPath.size() + std::strlen(SeparatorAfterTarget()) + digits +
                        std::strlen(".kvx");
  return length < sizeof m_fileName;
}

RunError CTestEngine::TargetError(ErrorKind kind) const {
  RunError error;
  error.kind = kind;
  error.path = m_targetPath;
  return error;
}

RunError CTestEngine::FolderError() const {
  // Without PrepareRun no folder was ever asked for.
  return m_folderError ? m_folderError : TargetError(ErrorKind::kTargetOpen);
}

RunError CTestEngine::OpenTargetFolder(FolderHandle* folder) {
  *folder = kNoFolder;
  if (!m_hasTarget) return TargetError(ErrorKind::kTargetMissing);
  ErrorCode code = 0;
  if (m_platform.OpenFolder(m_targetPath.c_str(), folder, &code)) return RunError();
  *folder = kNoFolder;
  if (m_platform.IsNotFound(code)) return TargetError(ErrorKind::kTargetMissing);
  return SystemError(ErrorKind::kTargetOpen, m_targetPath, code, m_platform);
}

RunError CTestEngine::ProbeTarget() {
  FolderHandle folder = kNoFolder;
  RunError error = OpenTargetFolder(&folder);
  if (folder != kNoFolder) m_platform.CloseFolder(folder);
  return error;
}

void CTestEngine::OpenRunFolder() {
  CloseRunFolder();
  m_folderError = OpenTargetFolder(&m_folder);
}

void CTestEngine::CloseRunFolder() {
  if (m_folder != kNoFolder) m_platform.CloseFolder(m_folder);
  m_folder = kNoFolder;
}

}  // namespace kalvex
