// The error that ended a run, as a value: what failed, where, and what the
// system said. The passes return it; the run renders it into the one text
// the report shows, in the language of the moment, and a machine reader gets
// its fields.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kalvex {

enum class ErrorKind {
  kNone,
  kCreate,          // a test file could not be created
  kWrite,           // a block could not be written
  kFlush,           // a test file could not be brought to the medium
  kClose,           // a test file could not be closed
  kMediumFull,      // the medium was full well before the planned size
  kOpen,            // a test file could not be opened for reading
  kRead,            // a block could not be read
  kPartialBlock,    // a test file ends inside a block
  kAmountMismatch,  // the test data found is not the amount expected
  kPathTooLong,     // the test file names do not fit the longest path
  kNoBuffer,        // no memory for the block buffer
  kTargetMissing,   // the target folder does not exist
  kTargetOpen,      // the target folder could not be opened
  kMediumGone,      // the target's path no longer leads to the run's folder
  kNothingToTest,   // the run's data volume came to 0 MByte
  kNoThread,        // no worker thread could be started
  kRemove,          // a test file could not be removed (clean)
};

struct RunError {
  ErrorKind kind = ErrorKind::kNone;
  // The test file's full path, or the target folder for the folder errors.
  std::string path;
  uint64_t offset = 0;      // write and read errors: the block's offset within its file
  uint64_t expected_mb = 0;  // medium full: the planned MByte; mismatch: expected
  uint64_t found_mb = 0;     // medium full: the MByte written; mismatch: found
  bool has_code = false;     // a system call failed with code
  ErrorCode code = 0;
  std::string system_text;  // the system's text for code, without a final line break

  explicit operator bool() const { return kind != ErrorKind::kNone; }
};

// An error of a failed system call, with the system's text for its code.
RunError SystemError(ErrorKind kind, const std::string& path, ErrorCode code,
                     Platform& platform, uint64_t offset = 0);

// The report's text of the error in the current language: the message, and
// for a failed system call "\r\n(system text Code n)\r\n" after it. At most
// 999 characters; a long path is shortened in its middle, never the text's end.
std::string RenderError(const RunError& error);

// The message and the system part joined as every system error shows them.
// The system's text loses one final line break of its own.
std::string JoinSystemText(const std::string& message, std::string system_text, ErrorCode code);

// A stable lowercase name of the kind for machine readers: "write", "medium_gone".
const char* ErrorKindName(ErrorKind kind);

}  // namespace kalvex
