#include "cli/probe_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/messages.h"
#include "cli/probe/backup_file.h"
#include "cli/probe/prober.h"
#include "cli/probe/restore.h"
#include "engine/text_format.h"
#include "platform/posix/block_device.h"
#include "platform/posix/durable_file.h"
#include "report/units.h"

namespace kalvex::cli {

namespace {

using probe::Fault;
using probe::ProbeEnd;
using probe::ProbeReport;

constexpr uint64_t kMiB = 1048576;

std::string Reason(int error) { return std::strerror(error); }

const char* FaultWord(Fault fault) {
  switch (fault) {
    case Fault::kWrap:
      return "wrap";
    case Fault::kDrop:
      return "drop";
    case Fault::kFail:
      return "fail";
    default:
      return "none";
  }
}

const char* Verdict(const ProbeReport& report) {
  if (report.end != ProbeEnd::kDone) return "inconclusive";
  switch (report.fault) {
    case Fault::kNone:
      return report.intact == report.claimed ? "genuine" : "inconclusive";
    case Fault::kFail:
      return "failing";
    default:
      return "fake_capacity";
  }
}

int ExitCodeFor(const std::string& verdict) {
  if (verdict == "genuine") return kExitOk;
  if (verdict == "inconclusive") return kExitError;
  return kExitFaulty;
}

// Where the backup goes: as given, inside it when it names a folder, or
// named after the device in the current folder.
std::string BackupPath(const Options& options, const std::string& name) {
  const std::string file = "kalvex-probe-" + name + ".backup";
  if (!options.backup_path) return file;
  std::error_code ignored;
  if (std::filesystem::is_directory(*options.backup_path, ignored))
    return (std::filesystem::path(*options.backup_path) / file).string();
  return *options.backup_path;
}

// Only a "yes" typed at a terminal counts.
bool Confirmed(Console& console) {
  if (console.in == nullptr || !console.in_is_terminal) return false;
  console.err << ProbeQuestionText() << std::flush;
  std::string answer;
  if (!std::getline(*console.in, answer)) return false;
  return answer == "yes" || answer == "Yes" || answer == "YES";
}

struct BackupFile {
  posix::DurableFile file;
  probe::BackupContents contents;
  probe::FileReader Reader() {
    return [this](uint64_t position, void* data, size_t size) {
      return file.ReadAt(position, data, size);
    };
  }
  // Empty when the file can be used, else why not.
  std::string Load(const std::string& path) {
    if (const int error = file.OpenForReading(path)) return Reason(error);
    contents = probe::ParseBackup(file.Size(), Reader());
    return contents.error;
  }
};

// Puts the data back from the backup at path; removes the file once every
// piece reads back as saved. The report, and whether it went well.
bool RestoreAndRemove(BlockMedium& medium, const std::string& path, Console& console,
                      probe::RestoreReport* report) {
  BackupFile backup;
  if (const std::string problem = backup.Load(path); !problem.empty()) {
    PrintError(console, BackupUnusableText(path, problem));
    return false;
  }
  *report = probe::Restore(medium, backup.contents, backup.Reader());
  if (!report->ok) {
    PrintError(console, RestoreFailedText(report->mismatches, report->records, path));
    return false;
  }
  backup.file.Close();
  if (const int error = posix::RemoveDurably(path)) {
    PrintError(console, BackupUnusableText(path, Reason(error)));
    return false;
  }
  return true;
}

// Checks that the probe may touch the device at all; the refusal's exit
// status, or none.
std::optional<int> Refusal(const std::string& device, Console& console, std::string* name) {
  if (geteuid() != 0) {
    PrintError(console, ProbeNeedsRootText());
    return kExitRefused;
  }
  const posix::TargetCheck check = posix::CheckProbeTarget(device, posix::CurrentSystemView());
  if (check.refusal != posix::TargetRefusal::kNone) {
    PrintError(console, ProbeRefusalText(static_cast<int>(check.refusal), device, check.detail));
    return kExitRefused;
  }
  *name = check.name;
  return std::nullopt;
}

std::unique_ptr<posix::BlockDevice> OpenDevice(const std::string& device, Console& console) {
  int error = 0;
  std::unique_ptr<posix::BlockDevice> medium = posix::BlockDevice::Open(device, &error);
  if (!medium) {
    PrintError(console, error == EBUSY ? ProbeBusyText(device)
                                       : ProbeOpenFailedText(device, Reason(error)));
  }
  return medium;
}

nlohmann::ordered_json ResultJson(const std::string& device, const ProbeReport& report,
                                  const char* verdict, uint64_t written, uint64_t read) {
  nlohmann::ordered_json json;
  json["device"] = device;
  json["claimed_bytes"] = report.claimed;
  json["intact_bytes"] = report.intact;
  json["step_bytes"] = report.step;
  json["fault"] = FaultWord(report.fault);
  json["positions_probed"] = report.positions;
  json["verdict"] = verdict;
  json["written_bytes"] = written;
  json["read_bytes"] = read;
  return json;
}

int RunRestore(const Options& options, Console& console) {
  const std::string& path = *options.restore_path;
  BackupFile backup;
  if (const std::string problem = backup.Load(path); !problem.empty()) {
    PrintError(console, BackupUnusableText(path, problem));
    return kExitRefused;
  }
  const probe::BackupHeader& header = backup.contents.header;
  const std::string device = options.target.empty() ? header.device : options.target;
  std::string name;
  if (const std::optional<int> refused = Refusal(device, console, &name)) return *refused;
  const posix::BlockDeviceInfo info = posix::ReadBlockDeviceInfo("/sys", name);
  std::unique_ptr<posix::BlockDevice> medium = OpenDevice(device, console);
  if (!medium) return kExitRefused;
  if (medium->Size() != header.size || info.model != header.model ||
      medium->LogicalBlockSize() != header.sector) {
    PrintError(console, RestoreWrongDeviceText(device, header.size, header.model));
    return kExitRefused;
  }
  if (device != header.device) PrintLine(console.err, RestoreOtherPathText(header.device, device));
  backup.file.Close();
  PrintLine(console.err, RestoringText());
  // A signal now would only leave the data half put back: it is counted and
  // changes nothing.
  InterruptGuard interrupts;
  probe::RestoreReport report;
  if (!RestoreAndRemove(*medium, path, console, &report)) return kExitError;
  PrintLine(console.out, RestoredText(report.records, report.bytes_written / kMiB));
  return kExitOk;
}

}  // namespace

int RunProbe(const Options& options, Console& console) {
  if (options.restore_path) return RunRestore(options, console);
  const std::string& device = options.target;
  std::string name;
  if (const std::optional<int> refused = Refusal(device, console, &name)) return *refused;

  const posix::BlockDeviceInfo info = posix::ReadBlockDeviceInfo("/sys", name);
  const std::string backup_path = BackupPath(options, name);
  struct stat existing = {};
  if (lstat(backup_path.c_str(), &existing) == 0) {
    PrintError(console, BackupExistsText(backup_path));
    return kExitRefused;
  }
  uint64_t folder_device = 0;
  if (!posix::FolderDevice(backup_path, &folder_device)) {
    PrintError(console, BackupCreateFailedText(backup_path, Reason(errno)));
    return kExitRefused;
  }
  if (posix::StoredOn("/sys", static_cast<dev_t>(folder_device), name)) {
    PrintError(console, BackupOnDeviceText(backup_path, device));
    return kExitRefused;
  }
  const bool json_to_stdout = options.json_path && *options.json_path == "-";
  std::ofstream json_file;
  if (options.json_path && !json_to_stdout) {
    json_file.open(*options.json_path, std::ios::out | std::ios::trunc);
    if (!json_file.is_open()) {
      PrintError(console, JsonOpenFailedText(*options.json_path));
      return kExitRefused;
    }
  }

  PrintLine(console.err, ProbeDeviceText(device, info.model, FormatSize(info.size), info.size,
                                         info.usb));
  PrintLine(console.err, ProbePlanText(backup_path));
  if (!options.yes && !Confirmed(console)) {
    PrintError(console, ProbeNotConfirmedText());
    return kExitRefused;
  }
  std::unique_ptr<posix::BlockDevice> medium = OpenDevice(device, console);
  if (!medium) return kExitRefused;
  if (medium->Size() < kMiB) {
    PrintError(console, ProbeTooSmallText(device));
    return kExitRefused;
  }
  probe::BackupWriter backup;
  const probe::BackupHeader header{device, medium->Size(), info.model,
                                   medium->LogicalBlockSize()};
  if (const int error = backup.Create(backup_path, header)) {
    PrintError(console, BackupCreateFailedText(backup_path, Reason(error)));
    if (error != EEXIST) posix::RemoveDurably(backup_path);
    return kExitRefused;
  }

  PrintLine(console.err, ProbingText());
  ProbeReport report;
  probe::RestoreReport restore;
  bool restored = false;
  {
    // Counted from before the first write: a signal finishes the current
    // block, and then the data is put back.
    InterruptGuard interrupts;
    probe::Prober prober(*medium, backup, [&interrupts] { return interrupts.Count() > 0; });
    report = prober.Run();
    backup.Close();
    PrintLine(console.err, RestoringText());
    restored = RestoreAndRemove(*medium, backup_path, console, &restore);
  }
  const uint64_t written = report.bytes_written + restore.bytes_written;
  const uint64_t read = report.bytes_read + restore.bytes_read;

  const char* verdict = Verdict(report);
  int exit_code = kExitError;
  switch (report.end) {
    case ProbeEnd::kAborted:
      PrintLine(console.err, ProbeAbortedText());
      exit_code = restored ? kExitAborted : kExitError;
      break;
    case ProbeEnd::kDeviceLost:
      PrintError(console, ProbeDeviceLostText(Reason(report.error)));
      break;
    case ProbeEnd::kBackupFailed:
      PrintError(console, BackupWriteFailedText(backup_path, Reason(report.error)));
      break;
    case ProbeEnd::kDone: {
      if (restored)
        PrintLine(console.err, RestoredText(restore.records, restore.bytes_written / kMiB));
      std::ostream& text = json_to_stdout ? console.err : console.out;
      PrintLine(text, ProbeClaimedText(FormatSize(report.claimed), report.claimed));
      PrintLine(text, ProbeIntactText(FormatSize(report.intact), report.intact,
                                      FormatSize(report.step)));
      PrintLine(text, ProbeFaultText(FaultWord(report.fault)));
      PrintLine(text, ProbeVerdictText(verdict));
      PrintLine(text,
                ProbeVolumeText(report.positions, report.rounds, written / kMiB, read / kMiB));
      exit_code = restored ? ExitCodeFor(verdict) : kExitError;
      break;
    }
  }
  // Written for every run that touched the device, so that a script learns
  // of an abort or an error too (as "inconclusive").
  if (options.json_path) {
    std::ostream& stream = json_to_stdout ? console.out : json_file;
    stream << ResultJson(device, report, verdict, written, read).dump(2) << '\n' << std::flush;
    if (!stream) {
      PrintError(console, JsonWriteFailedText(*options.json_path));
      if (exit_code == kExitOk) exit_code = kExitError;
    }
  }
  return exit_code;
}

}  // namespace kalvex::cli
