// The decision behind both start buttons: refuse with a message, warn and
// start, or start. On a start the engine is configured for the run (size and
// run flags); on a refusal nothing in the engine that a run uses changes but
// the size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/engine.h"

namespace kalvex {

enum class MessageIcon { kError, kWarning };

struct UserMessage {
  std::string text;
  MessageIcon icon = MessageIcon::kError;
};

struct StartRequest {
  bool write = false;      // "Write + Verify" (else "Verify")
  bool all_space = true;   // "all available space" is checked
  std::string size_text;   // the edit field's text (write runs with !all_space)
  bool endless = false;    // "endless verify" is checked
};

struct StartDecision {
  bool start = false;                  // run the progress dialog
  std::optional<UserMessage> message;  // shown before (warning) or instead of the run
  bool refresh_target = false;         // re-read the target after a refusal
  std::optional<uint64_t> set_size_field;  // "Not enough space": the free MByte
};

// Parses the edit field as the dialog does: at most its first 19 characters,
// leading blanks skipped, digits up to the first non-digit; 0 when none.
uint64_t ParseSizeField(const std::string& text);

StartDecision DecideStart(CTestEngine& engine, const StartRequest& request);

}  // namespace kalvex
