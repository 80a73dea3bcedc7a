// The decision behind both start buttons: refuse with a message, warn and
// start, or start. It alone decides: every reason not to run is here, and a
// front end starts exactly when it says so. On a start the engine is
// configured for the run (size and run flags); on a refusal nothing in the
// engine that a run uses changes but the size.
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

// Parses a data volume as typed: leading blanks skipped, then the digits up
// to the first non-digit, whatever their number (leading zeros change
// nothing); 0 when none. A value beyond 64 bits gives the largest value,
// which no medium offers.
uint64_t ParseSizeField(const std::string& text);

// A data volume as typed in full: at least one character, digits only.
bool IsDigitsOnly(const std::string& text);

StartDecision DecideStart(CTestEngine& engine, const StartRequest& request);

}  // namespace kalvex
