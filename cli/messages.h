// Texts of the terminal front end that the main window has no counterpart
// for. Every text is a pair, chosen by the user-interface language at the
// moment it is asked for, like every other text of the program. Texts end
// without a line break; the caller adds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalvex::cli {

std::string SizeNotDigitsText();
// "unknown command 'tset'; did you mean 'test'?"
std::string UnknownCommandText(const std::string& typed, const std::optional<std::string>& nearest);
std::string FreeSpaceHintText(uint64_t free_mb);
std::string JsonOpenFailedText(const std::string& path);
std::string JsonWriteFailedText(const std::string& path);
std::string JsonIsTestDataText(const std::string& path);
std::string ChartWriteFailedText(const std::string& path);
// list: the column headings (0 to 5) and the answer when nothing is mounted.
std::string MediaColumnText(int column);
std::string NoMediaText(bool all);

// clean.
std::string NothingToCleanText();
std::string CleanSummaryText(size_t files, uint64_t mbytes);
std::string CleanQuestionText(size_t files);  // ends in "[y/N] " without a line break
std::string NotCleanedText();
std::string CleanedText(size_t files);
std::string StrayLeftText(size_t files);

std::string StopRequestedText();
std::string StillStoppingText();
std::string AbortedText();

// Progress line vocabulary besides the pass captions.
std::string PassNumberText(uint64_t pass);
std::string StartingLabel();
// "2:30 min left in all"
std::string RemainingText(const std::string& duration);

}  // namespace kalvex::cli
