// Texts of the terminal front end that the main window has no counterpart
// for. Every text is a pair, chosen by the user-interface language at the
// moment it is asked for, like every other text of the program. Texts end
// without a line break; the caller adds it.
#pragma once

#include <cstdint>
#include <string>

namespace kalvex::cli {

std::string SizeNotDigitsText();
std::string FreeSpaceHintText(uint64_t free_mb);
std::string JsonOpenFailedText(const std::string& path);
std::string JsonWriteFailedText(const std::string& path);
std::string JsonIsTestDataText(const std::string& path);
std::string StopRequestedText();
std::string StillStoppingText();
std::string AbortedText();

// Progress line vocabulary besides the pass captions.
std::string PassNumberText(uint64_t pass);
std::string StartingLabel();

}  // namespace kalvex::cli
