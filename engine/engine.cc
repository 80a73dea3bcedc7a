#include "engine/engine.h"

#include <cstdio>

#include "engine/messages.h"
#include "engine/text_format.h"

namespace kalvex {

namespace {
// Message and report texts hold at most this many characters.
constexpr size_t kMaxTextChars = 999;
constexpr size_t kMaxWarningChars = 199;
}  // namespace

CTestEngine theEngine;

CTestEngine::CTestEngine(Platform& platform) : m_platform(platform) {
  m_status.m_frequency = m_platform.CounterFrequency();
  // Without the buffer the program still starts; every run then ends at once
  // with kNoBuffer instead of touching the medium.
  m_buffer = static_cast<uint8_t*>(AllocateAligned(kBlockSize));
}

CTestEngine::~CTestEngine() {
  JoinWorker();
  FreeAligned(m_buffer, kBlockSize);
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
                              static_cast<unsigned long long>(size_mb),
                              static_cast<unsigned long long>(capacity)));
  } else {
    SetWarningText(std::string());
  }
}

void CTestEngine::SetErrorText(const std::string& text) {
  std::lock_guard<std::mutex> guard(m_textLock);
  m_errorText = text;
}

void CTestEngine::SetWarningText(const std::string& text) {
  std::lock_guard<std::mutex> guard(m_textLock);
  m_warningText = text;
}

std::string CTestEngine::ErrorText() const {
  std::lock_guard<std::mutex> guard(m_textLock);
  return m_errorText;
}

std::string CTestEngine::WarningText() const {
  std::lock_guard<std::mutex> guard(m_textLock);
  return m_warningText;
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

void CTestEngine::RaiseErrorV(const char* format, va_list args) {
  SetErrorText(FormatTextV(kMaxTextChars, format, args));
  NotifyDone();
}

void CTestEngine::RaiseError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  RaiseErrorV(format, args);
  va_end(args);
}

void CTestEngine::RaiseSystemError(ErrorCode code, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = FormatTextV(kMaxTextChars, format, args);
  va_end(args);
  std::string system_text = m_platform.ErrorText(code);
  TruncateToChars(&system_text, kMaxTextChars);
  // The system's texts usually end in one line break of their own; the form
  // below supplies its own.
  if (system_text.size() >= 2 && system_text.compare(system_text.size() - 2, 2, "\r\n") == 0)
    system_text.resize(system_text.size() - 2);
  RaiseError(msg::kSystemErrorForm, message.c_str(), system_text.c_str(),
             static_cast<unsigned>(code));
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
  const int n = std::snprintf(m_fileName, sizeof m_fileName, "%s%s%llu.kvx",
                              m_targetPath.c_str(), SeparatorAfterTarget(),
                              static_cast<unsigned long long>(number));
  return n > 0 && static_cast<size_t>(n) < sizeof m_fileName;
}

bool CTestEngine::FormatWildcard() {
  const int n = std::snprintf(m_fileName, sizeof m_fileName, "%s%s*.kvx", m_targetPath.c_str(),
                              SeparatorAfterTarget());
  return n > 0 && static_cast<size_t>(n) < sizeof m_fileName;
}

void CTestEngine::RaisePathTooLong() {
  RaiseError(msg::kPathTooLong.Get(), m_targetPath.c_str());
}

}  // namespace kalvex
