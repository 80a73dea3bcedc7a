#include "engine/run_error.h"

#include "engine/messages.h"
#include "engine/text_format.h"
#include "engine/types.h"

namespace kalvex {

namespace {

// Message and report texts hold at most this many characters.
constexpr size_t kMaxTextChars = 999;

// The message of the error with the given path in its %s, without the
// system part.
std::string Message(const RunError& e, const char* path) {
  switch (e.kind) {
    case ErrorKind::kNone:
      return std::string();
    case ErrorKind::kCreate:
      return FormatText(SIZE_MAX, msg::kCreateError.Get(), path);
    case ErrorKind::kWrite:
      return FormatText(SIZE_MAX, msg::kWriteError.Get(), path, Ull(e.offset));
    case ErrorKind::kFlush:
      return FormatText(SIZE_MAX, msg::kFlushError.Get(), path);
    case ErrorKind::kClose:
      return FormatText(SIZE_MAX, msg::kCloseError.Get(), path);
    case ErrorKind::kMediumFull:
      return FormatText(SIZE_MAX, msg::kMediumFull.Get(), Sll(e.expected_mb), Sll(e.found_mb));
    case ErrorKind::kOpen:
      return FormatText(SIZE_MAX, msg::kOpenError.Get(), path);
    case ErrorKind::kRead:
      return FormatText(SIZE_MAX, msg::kReadError.Get(), path, Ull(e.offset));
    case ErrorKind::kPartialBlock:
      return FormatText(SIZE_MAX, msg::kPartialBlock.Get(), path, Ull(kBlockSize));
    case ErrorKind::kAmountMismatch:
      return FormatText(SIZE_MAX, msg::kAmountMismatch.Get(), Ull(e.expected_mb),
                        Ull(e.found_mb));
    case ErrorKind::kPathTooLong:
      return FormatText(SIZE_MAX, msg::kPathTooLong.Get(), path);
    case ErrorKind::kNoBuffer:
      return msg::kNoBuffer.Get();
    case ErrorKind::kTargetMissing:
      return FormatText(SIZE_MAX, msg::kTargetMissing.Get(), path);
    case ErrorKind::kTargetOpen:
      return FormatText(SIZE_MAX, msg::kTargetOpenError.Get(), path);
    case ErrorKind::kMediumGone:
      return FormatText(SIZE_MAX, msg::kMediumGone.Get(), path);
    case ErrorKind::kNothingToTest:
      return msg::kNothingToTest.Get();
    case ErrorKind::kNoThread:
      return msg::kNoThread.Get();
    case ErrorKind::kRemove:
      return FormatText(SIZE_MAX, msg::kRemoveError.Get(), path);
  }
  return std::string();
}

std::string Render(const RunError& e, const std::string& path) {
  std::string message = Message(e, path.c_str());
  if (!e.has_code) return message;
  return JoinSystemText(message, e.system_text, e.code);
}

}  // namespace

RunError SystemError(ErrorKind kind, const std::string& path, ErrorCode code,
                     Platform& platform, uint64_t offset) {
  RunError error;
  error.kind = kind;
  error.path = path;
  error.offset = offset;
  error.has_code = true;
  error.code = code;
  error.system_text = platform.ErrorText(code);
  return error;
}

std::string JoinSystemText(const std::string& message, std::string system_text, ErrorCode code) {
  TruncateToChars(&system_text, kMaxTextChars);
  // The system's texts usually end in one line break of their own; the form
  // supplies its own.
  if (system_text.size() >= 2 && system_text.compare(system_text.size() - 2, 2, "\r\n") == 0)
    system_text.resize(system_text.size() - 2);
  return FormatText(SIZE_MAX, msg::kSystemErrorForm, message.c_str(), system_text.c_str(),
                    static_cast<unsigned>(code));
}

std::string RenderError(const RunError& error) {
  std::string text = Render(error, error.path);
  const size_t chars = CountChars(text);
  if (chars > kMaxTextChars) {
    // Shorten the path by the excess; whatever is still too long (a system
    // text of its own length) is cut at the end as any text would be.
    const size_t path_chars = CountChars(error.path);
    const size_t excess = chars - kMaxTextChars;
    if (path_chars > excess) text = Render(error, ShortenMiddle(error.path, path_chars - excess));
    TruncateToChars(&text, kMaxTextChars);
  }
  return text;
}

const char* ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kNone: return "none";
    case ErrorKind::kCreate: return "create";
    case ErrorKind::kWrite: return "write";
    case ErrorKind::kFlush: return "flush";
    case ErrorKind::kClose: return "close";
    case ErrorKind::kMediumFull: return "medium_full";
    case ErrorKind::kOpen: return "open";
    case ErrorKind::kRead: return "read";
    case ErrorKind::kPartialBlock: return "partial_block";
    case ErrorKind::kAmountMismatch: return "amount_mismatch";
    case ErrorKind::kPathTooLong: return "path_too_long";
    case ErrorKind::kNoBuffer: return "no_buffer";
    case ErrorKind::kTargetMissing: return "target_missing";
    case ErrorKind::kTargetOpen: return "target_open";
    case ErrorKind::kMediumGone: return "medium_gone";
    case ErrorKind::kNothingToTest: return "nothing_to_test";
    case ErrorKind::kNoThread: return "no_thread";
    case ErrorKind::kRemove: return "remove";
  }
  return "none";
}

}  // namespace kalvex
