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

// list and probe on a system that has neither: command is "list" or "probe".
std::string NotOnThisSystemText(const std::string& command);

// clean.
std::string NothingToCleanText();
std::string CleanSummaryText(size_t files, uint64_t mbytes);
std::string CleanQuestionText(size_t files);  // ends in "[y/N] " without a line break
std::string NotCleanedText();
std::string CleanedText(size_t files);
std::string StrayLeftText(size_t files);

// probe: refusals before anything is written. refusal is a
// posix::TargetRefusal as a number; detail names what is in the way.
std::string ProbeDeviceMissingText();
std::string ProbeNeedsRootText();
std::string ProbeRefusalText(int refusal, const std::string& device, const std::string& detail);
std::string ProbeBusyText(const std::string& device);
std::string ProbeOpenFailedText(const std::string& device, const std::string& reason);
std::string ProbeTooSmallText(const std::string& device);
std::string BackupExistsText(const std::string& backup);
std::string BackupOnDeviceText(const std::string& backup, const std::string& device);
std::string BackupCreateFailedText(const std::string& backup, const std::string& reason);

// probe: the device named before the question.
// "/dev/sdb: SanDisk Cruzer Blade, 64.0 GByte (64023257088 bytes), USB"
std::string ProbeDeviceText(const std::string& device, const std::string& model,
                            const std::string& size, uint64_t bytes, bool usb);
std::string ProbePlanText(const std::string& backup);
std::string ProbeQuestionText();  // ends in ": " without a line break
std::string ProbeNotConfirmedText();
std::string ProbingText();

// probe: the result. fault and verdict are the JSON words ("wrap",
// "fake_capacity", ...).
std::string ProbeClaimedText(const std::string& size, uint64_t bytes);
std::string ProbeIntactText(const std::string& size, uint64_t bytes, const std::string& step);
std::string ProbeFaultText(const std::string& fault);
std::string ProbeVerdictText(const std::string& verdict);
std::string ProbeVolumeText(uint64_t positions, uint64_t rounds, uint64_t written_mib,
                            uint64_t read_mib);

// probe: ends that are not a result, and putting the data back.
std::string ProbeAbortedText();
std::string ProbeDeviceLostText(const std::string& reason);
std::string BackupWriteFailedText(const std::string& backup, const std::string& reason);
std::string RestoringText();
std::string RestoredText(uint64_t ranges, uint64_t mib);
std::string RestoreFailedText(uint64_t bad, uint64_t ranges, const std::string& backup);
std::string BackupUnusableText(const std::string& backup, const std::string& what);
std::string RestoreWrongDeviceText(const std::string& device, uint64_t bytes,
                                   const std::string& model);
std::string RestoreOtherPathText(const std::string& named, const std::string& device);
std::string NothingToRestoreText();

std::string StopRequestedText();
std::string StillStoppingText();
std::string AbortedText();

// Progress line vocabulary besides the pass captions.
std::string PassNumberText(uint64_t pass);
std::string StartingLabel();
// "2:30 min left in all"
std::string RemainingText(const std::string& duration);

}  // namespace kalvex::cli
