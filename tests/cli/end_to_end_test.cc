// kalvex-cli as a user or a script meets it: the real binary on real
// folders, its exit status, its output and the files it leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "tests/cli/cli_process.h"

namespace kalvex::cli::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr uint64_t kMiB = 1048576;
constexpr uint64_t kSectorsPerMiB = kMiB / 512;

json ReadJson(const fs::path& path) { return json::parse(ReadFile(path)); }

uint64_t ReadWord(const fs::path& path, uint64_t offset) {
  std::ifstream file(path, std::ios::binary);
  file.seekg(static_cast<std::streamoff>(offset));
  unsigned char bytes[8] = {};
  file.read(reinterpret_cast<char*>(bytes), 8);
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

void WriteWord(const fs::path& path, uint64_t offset, uint64_t value) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(offset));
  unsigned char bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  file.write(reinterpret_cast<const char*>(bytes), 8);
  ASSERT_TRUE(file.good());
}

std::string Hex64(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

uint64_t FreeMiB(const fs::path& path) {
  struct statvfs info = {};
  if (statvfs(path.c_str(), &info) != 0) return 0;
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize / kMiB;
}

uint64_t TotalTestBytes(const fs::path& dir) {
  uint64_t total = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".kvx") total += entry.file_size();
  }
  return total;
}

// Waits until the run has written its first block, so that a stop request
// meets a run under way and leaves test data behind that can be verified.
void WaitForFirstBlock(const fs::path& file, const CliProcess& process) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  for (;;) {
    std::error_code error;
    if (fs::exists(file, error) && fs::file_size(file, error) > 0) return;
    ASSERT_LT(std::chrono::steady_clock::now(), deadline)
        << "the run (pid " << process.pid() << ") never wrote its first block";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// True when text is prefix, one or more decimal digits, then suffix.
bool IsNumberBetween(const std::string& text, const std::string& prefix,
                     const std::string& suffix) {
  if (text.size() <= prefix.size() + suffix.size()) return false;
  if (text.compare(0, prefix.size(), prefix) != 0) return false;
  if (text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  const std::string digits =
      text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
  return digits.find_first_not_of("0123456789") == std::string::npos;
}

std::string ModificationStamp(const fs::path& path) {
  struct stat info = {};
  if (stat(path.c_str(), &info) != 0) return "missing";
  return std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
}

// Writes test data of the given volume into dir; the run must succeed.
void WriteTestData(const TempDir& dir, uint64_t mbytes) {
  const CliRun run = RunCli({"test", dir.str(), "--size", std::to_string(mbytes)});
  ASSERT_EQ(run.exit_code, 0) << run.err;
}

TEST(CliEndToEnd, CleanRunWritesVerifiesAndReports) {
  TempDir dir;
  TempDir results;
  const fs::path json_path = results.path() / "result.json";
  const CliRun run = RunCli({"test", dir.str(), "--size", "3", "--json", json_path.string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;

  // One test file holding exactly the requested volume, nothing else.
  EXPECT_EQ(fs::file_size(dir.path() / "1.kvx"), 3 * kMiB);
  EXPECT_FALSE(fs::exists(dir.path() / "2.kvx"));
  // The data is position-tagged: word 0 of every sector is its own offset.
  EXPECT_EQ(ReadWord(dir.path() / "1.kvx", 2 * kMiB + 512 * 7), 2 * kMiB + 512 * 7);

  // The report box's text with LF line ends.
  EXPECT_EQ(run.out.find('\r'), std::string::npos);
  EXPECT_NE(run.out.find("Writing speed: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Reading speed: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Kalvex v1.4\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("DATA LOST"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("likely to be defective"), std::string::npos) << run.out;
  // Only part of the volume was tested: the main window's capacity warning
  // goes to standard error before the run.
  EXPECT_NE(run.err.find("Attention: Testing only 3 MByte"), std::string::npos) << run.err;

  const json result = ReadJson(json_path);
  EXPECT_EQ(result["outcome"], "ok");
  EXPECT_EQ(result["size_mbyte"], 3);
  EXPECT_EQ(result["verify_passes"], 1);
  EXPECT_EQ(result["sectors"]["ok"], 3 * kSectorsPerMiB);
  EXPECT_EQ(result["sectors"]["overwritten"], 0);
  EXPECT_EQ(result["sectors"]["slightly_changed"], 0);
  EXPECT_EQ(result["sectors"]["corrupted"], 0);
  EXPECT_EQ(result["sectors"]["aliased"], 0);
  EXPECT_TRUE(result["first_error"].is_null());
  EXPECT_TRUE(result["error"].is_null());
  EXPECT_EQ(result["write"]["mbyte"], 3);
  EXPECT_EQ(result["verify"]["mbyte"], 3);
  EXPECT_GE(result["write"]["seconds"].get<double>(), 0.0);
  EXPECT_GE(result["verify"]["mbyte_per_s"].get<double>(), 0.0);
  // The report starts with the warning of the result, as in the JSON.
  ASSERT_TRUE(result["warning"].is_string());
  const std::string warning = result["warning"];
  EXPECT_EQ(warning.find('\r'), std::string::npos);
  EXPECT_EQ(run.out.rfind(warning, 0), 0u) << run.out;
}

TEST(CliEndToEnd, NoLiveLineWhenStandardErrorIsNoTerminal) {
  TempDir dir;
  const CliRun run = RunCli({"test", dir.str(), "--size", "2"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err.find('\r'), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("%"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("MByte/s"), std::string::npos) << run.err;
}

TEST(CliEndToEnd, LiveLineOnATerminal) {
  TempDir dir;
  ProcessOptions wide;
  wide.terminal_columns = 200;
  const CliRun run = RunCli({"test", dir.str(), "--size", "2"}, wide);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // The last state of the run stays on screen: the verify pass complete.
  EXPECT_NE(run.err.find("[##########] 100% Verifying: 2 MByte, "), std::string::npos) << run.err;
  // The report itself still goes to standard output.
  EXPECT_NE(run.out.find("Reading speed: "), std::string::npos) << run.out;

  TempDir narrow_dir;
  ProcessOptions narrow;
  narrow.terminal_columns = 30;
  const CliRun cut = RunCli({"test", narrow_dir.str(), "--size", "1", "--lang", "de"}, narrow);
  ASSERT_EQ(cut.exit_code, 0) << cut.err;
  // Redrawn in place and cut to the width, so it never wraps.
  const size_t start = cut.err.find("\r[");
  ASSERT_NE(start, std::string::npos) << cut.err;
  const size_t end = cut.err.find("\x1b[K", start);
  ASSERT_NE(end, std::string::npos) << cut.err;
  EXPECT_EQ(cut.err.substr(start + 1, end - start - 1), "[##########] 100% Prüfen: 1 M");
}

TEST(CliEndToEnd, VerifyOnlyReadsExistingData) {
  TempDir dir;
  TempDir results;
  const CliRun write = RunCli({"test", dir.str(), "--size", "2"});
  ASSERT_EQ(write.exit_code, 0) << write.err;

  const fs::path json_path = results.path() / "verify.json";
  const CliRun run = RunCli({"verify", dir.str(), "--json", json_path.string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("Reading speed: "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Writing speed"), std::string::npos) << run.out;
  // The short no-error text: the long one (after a write) invites deleting
  // the test files *.kvx.
  EXPECT_NE(write.out.find("*.kvx"), std::string::npos) << write.out;
  EXPECT_EQ(run.out.find("*.kvx"), std::string::npos) << run.out;
  EXPECT_LT(run.out.size(), write.out.size());

  const json result = ReadJson(json_path);
  EXPECT_EQ(result["outcome"], "ok");
  EXPECT_EQ(result["size_mbyte"], 2);  // what the scan found
  EXPECT_EQ(result["verify_passes"], 1);
  EXPECT_TRUE(result["write"].is_null());
  EXPECT_EQ(result["verify"]["mbyte"], 2);
  EXPECT_EQ(result["sectors"]["ok"], 2 * kSectorsPerMiB);
}

TEST(CliEndToEnd, RefusesToWriteOverExistingTestFiles) {
  TempDir dir;
  TempDir results;
  WriteTestData(dir, 1);
  const fs::path file = dir.path() / "1.kvx";
  const std::string bytes_before = ReadFile(file);
  const std::string stamp_before = ModificationStamp(file);

  const fs::path json_path = results.path() / "refused.json";
  const CliRun run = RunCli({"test", dir.str(), "--size", "1", "--json", json_path.string()});
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_NE(run.err.find("Can't write because of existing files."), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_EQ(ReadFile(file), bytes_before);
  EXPECT_EQ(ModificationStamp(file), stamp_before);
  EXPECT_FALSE(fs::exists(dir.path() / "2.kvx"));
  EXPECT_FALSE(fs::exists(json_path)) << "no run, no result";

  // Nor over all the free space.
  const CliRun all_space = RunCli({"test", dir.str()});
  EXPECT_EQ(all_space.exit_code, 3);
  EXPECT_NE(all_space.err.find("Can't write because of existing files."), std::string::npos)
      << all_space.err;
  EXPECT_EQ(ReadFile(file), bytes_before);
  EXPECT_EQ(ModificationStamp(file), stamp_before);
}

TEST(CliEndToEnd, RefusesToWriteBesideStrayTestFiles) {
  TempDir dir;
  const fs::path stray = dir.path() / "notes.kvx";
  { std::ofstream(stray) << "keep me"; }
  const CliRun run = RunCli({"test", dir.str(), "--size", "1"});
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_NE(run.err.find("Please delete files *.kvx."), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir.path() / "1.kvx"));
  EXPECT_EQ(ReadFile(stray), "keep me");
}

TEST(CliEndToEnd, VerifyRefusesWithoutRegularTestData) {
  TempDir empty;
  const CliRun nothing = RunCli({"verify", empty.str()});
  EXPECT_EQ(nothing.exit_code, 3);
  EXPECT_NE(nothing.err.find("No existing test data."), std::string::npos) << nothing.err;

  // A size that is not a whole number of MiB cannot come from a write pass.
  TempDir irregular;
  { std::ofstream(irregular.path() / "1.kvx") << std::string(kMiB + 512, '\0'); }
  const CliRun bad = RunCli({"verify", irregular.str()});
  EXPECT_EQ(bad.exit_code, 3);
  EXPECT_NE(bad.err.find("Verify not possible because one or more test files have incorrect size"),
            std::string::npos)
      << bad.err;
}

TEST(CliEndToEnd, DamagedDataIsReportedAsFaulty) {
  TempDir dir;
  TempDir results;
  WriteTestData(dir, 3);

  // Every bit of word 5 of the 4th sector of the 2nd block inverted.
  const fs::path file = dir.path() / "1.kvx";
  const uint64_t offset = kMiB + 3 * 512 + 5 * 8;
  const uint64_t original = ReadWord(file, offset);
  WriteWord(file, offset, ~original);

  const fs::path json_path = results.path() / "damaged.json";
  const CliRun run = RunCli({"verify", dir.str(), "--json", json_path.string()});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_NE(run.out.find("The media is likely to be defective."), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("First error at offset: " + Hex64(offset)), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\r'), std::string::npos);

  const json result = ReadJson(json_path);
  EXPECT_EQ(result["outcome"], "faulty");
  ASSERT_TRUE(result["first_error"].is_object()) << result.dump();
  EXPECT_EQ(result["first_error"]["offset"], offset);
  EXPECT_EQ(result["first_error"]["expected"], Hex64(original));
  EXPECT_EQ(result["first_error"]["found"], Hex64(~original));
  // 64 wrong bits in one sector: corrupted; all others intact.
  EXPECT_EQ(result["sectors"]["corrupted"], 1);
  EXPECT_EQ(result["sectors"]["slightly_changed"], 0);
  EXPECT_EQ(result["sectors"]["ok"], 3 * kSectorsPerMiB - 1);

  // The German report of the same finding.
  const CliRun german = RunCli({"verify", dir.str(), "--lang", "de"});
  EXPECT_EQ(german.exit_code, 1);
  EXPECT_NE(german.out.find("Der Datenträger ist wahrscheinlich defekt."), std::string::npos)
      << german.out;
}

TEST(CliEndToEnd, EndlessVerifyStopsAtTheFirstFaultyPass) {
  TempDir dir;
  WriteTestData(dir, 2);
  const fs::path file = dir.path() / "1.kvx";
  const uint64_t offset = kMiB + 512 * 100 + 16;
  WriteWord(file, offset, ReadWord(file, offset) ^ 1);  // one bit

  const CliRun run = RunCli({"verify", dir.str(), "--endless", "--json", "-"});
  ASSERT_EQ(run.exit_code, 1) << run.err;
  const json result = json::parse(run.out);
  EXPECT_EQ(result["outcome"], "faulty");
  EXPECT_EQ(result["verify_passes"], 1);
  EXPECT_EQ(result["sectors"]["slightly_changed"], 1);
  EXPECT_EQ(result["first_error"]["offset"], offset);
}

TEST(CliEndToEnd, AWriteErrorEndsTheRunWithTheErrorText) {
  TempDir dir;
  ProcessOptions limited;
  limited.file_size_limit = 2 * kMiB;  // the third block cannot be written
  const CliRun run = RunCli({"test", dir.str(), "--size", "3", "--json", "-"}, limited);
  ASSERT_EQ(run.exit_code, 2) << run.err << run.out;

  const json result = json::parse(run.out);
  EXPECT_EQ(result["outcome"], "error");
  ASSERT_TRUE(result["error"].is_string()) << result.dump();
  const std::string error = result["error"];
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(error.find('\r'), std::string::npos);
  EXPECT_EQ(result["write"]["mbyte"], 2);
  EXPECT_TRUE(result["verify"].is_null());
  EXPECT_EQ(result["verify_passes"], 0);
  EXPECT_TRUE(result["first_error"].is_null());
  // The report (on standard error with "--json -") is the error form: the
  // error text first, then the warning; the writing speed but no reading.
  EXPECT_NE(run.err.find(error + result["warning"].get<std::string>()), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Writing speed: "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("Reading speed"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("Finished"), std::string::npos) << run.err;
  EXPECT_EQ(fs::file_size(dir.path() / "1.kvx"), 2 * kMiB);
}

TEST(CliEndToEnd, JsonToStandardOutputMovesTheReportToStandardError) {
  TempDir dir;
  const CliRun run = RunCli({"test", dir.str(), "--size", "1", "--json", "-"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // Standard output is one JSON document and nothing else.
  json result;
  ASSERT_NO_THROW(result = json::parse(run.out)) << run.out;
  EXPECT_EQ(result["outcome"], "ok");
  EXPECT_EQ(result["size_mbyte"], 1);
  EXPECT_NE(run.err.find("Reading speed: "), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find('\r'), std::string::npos);
}

TEST(CliEndToEnd, ScanShowsTestDataAndFreeSpace) {
  TempDir dir;
  const CliRun empty = RunCli({"scan", dir.str()});
  ASSERT_EQ(empty.exit_code, 0) << empty.err;
  EXPECT_TRUE(
      IsNumberBetween(empty.out, "No existing test data.\nall available space (", " MByte)\n"))
      << empty.out;

  WriteTestData(dir, 2);
  const CliRun filled = RunCli({"scan", dir.str()});
  ASSERT_EQ(filled.exit_code, 0) << filled.err;
  EXPECT_EQ(filled.out.rfind("Existing test data: 2 MByte.\n", 0), 0u) << filled.out;
}

TEST(CliEndToEnd, LanguageFollowsTheLocaleAndTheOption) {
  TempDir dir;
  const std::string german = "Keine Testdaten vorhanden.";
  const std::string english = "No existing test data.";
  auto scan_line = [&](const LocaleEnv& env, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"scan", dir.str()};
    args.insert(args.end(), extra.begin(), extra.end());
    const CliRun run = RunCli(args, env);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return run.out.substr(0, run.out.find('\n'));
  };
  EXPECT_EQ(scan_line({}), english);
  EXPECT_EQ(scan_line({{"LANG", "de_DE.UTF-8"}}), german);
  EXPECT_EQ(scan_line({{"LANG", "en_US.UTF-8"}}), english);
  // LC_ALL before LC_MESSAGES before LANG; an empty value does not count.
  EXPECT_EQ(scan_line({{"LC_ALL", "C"}, {"LANG", "de_DE.UTF-8"}}), english);
  EXPECT_EQ(scan_line({{"LC_MESSAGES", "de_AT"}, {"LANG", "en_GB"}}), german);
  EXPECT_EQ(scan_line({{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "de"}}), german);
  // The option wins over the environment.
  EXPECT_EQ(scan_line({{"LANG", "de_DE.UTF-8"}}, {"--lang", "en"}), english);
  EXPECT_EQ(scan_line({{"LC_ALL", "en_US"}}, {"--lang", "de"}), german);

  const CliRun all_space = RunCli({"scan", dir.str()}, LocaleEnv{{"LANG", "de_DE.UTF-8"}});
  const std::string second_line = all_space.out.substr(all_space.out.find('\n') + 1);
  EXPECT_TRUE(IsNumberBetween(second_line, "gesamter freier Platz (", " MByte)\n"))
      << all_space.out;
}

TEST(CliEndToEnd, BadInputIsRefusedBeforeAnything) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    std::string expected_text;  // in standard error; empty: any message
  };
  const std::string missing = (dir.path() / "no-such-folder").string();
  const fs::path plain_file = dir.path() / "plain.txt";
  { std::ofstream(plain_file) << "x"; }
  const std::vector<Case> cases = {
      {{"test", dir.str(), "--size", "12a"}, "digits only"},
      {{"test", dir.str(), "--size", "-5"}, ""},
      {{"test", dir.str(), "--size", ""}, "digits only"},
      {{"test", dir.str(), "--size", "0"}, "Data volume must not be zero!"},
      {{"test", dir.str(), "--size", "9999999999999"}, "Not enough space available!"},
      {{"test", missing, "--size", "1"}, missing},
      {{"verify", missing}, missing},
      {{"scan", missing}, missing},
      {{"test", plain_file.string()}, "not a folder"},
      {{"test", dir.str(), "--lang", "fr"}, ""},
      {{"verify", dir.str(), "--size", "1"}, ""},
      {{"test"}, ""},
      {{"frobnicate", dir.str()}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& arg : c.args) joined += " [" + arg + "]";
    const CliRun run = RunCli(c.args);
    EXPECT_EQ(run.exit_code, 3) << joined << "\n" << run.err;
    EXPECT_FALSE(run.err.empty()) << joined;
    if (!c.expected_text.empty()) {
      EXPECT_NE(run.err.find(c.expected_text), std::string::npos) << joined << "\n" << run.err;
    }
  }
  // Nothing was written by any of them.
  EXPECT_EQ(TotalTestBytes(dir.path()), 0u);
  EXPECT_FALSE(fs::exists(dir.path() / "1.kvx"));

  const CliRun german = RunCli({"test", missing}, LocaleEnv{{"LANG", "de_DE.UTF-8"}});
  EXPECT_EQ(german.exit_code, 3);
  EXPECT_NE(german.err.find("existiert nicht"), std::string::npos) << german.err;
}

TEST(CliEndToEnd, HelpDocumentsTheExitStatuses) {
  const CliRun run = RunCli({"--help"});
  EXPECT_EQ(run.exit_code, 0);
  for (const char* status : {"  0 ", "  1 ", "  2 ", "  3 ", "  130 "}) {
    EXPECT_NE(run.out.find(status), std::string::npos) << status << "\n" << run.out;
  }
  const CliRun sub = RunCli({"test", "--help"});
  EXPECT_EQ(sub.exit_code, 0);
  EXPECT_NE(sub.out.find("--size"), std::string::npos) << sub.out;
  EXPECT_NE(sub.out.find("130"), std::string::npos) << sub.out;
}

TEST(CliEndToEnd, InterruptStopsAnEndlessRunCleanly) {
  TempDir dir;
  TempDir results;
  const fs::path json_path = results.path() / "aborted.json";
  CliProcess process({"test", dir.str(), "--size", "8", "--endless", "--json", json_path.string()});
  ASSERT_NO_FATAL_FAILURE(WaitForFirstBlock(dir.path() / "1.kvx", process));
  process.Signal(SIGINT);
  process.Signal(SIGINT);  // impatient users press twice
  // An endless run that ignored the stop would never end by itself.
  const CliRun run = process.Wait(std::chrono::minutes(2));
  ASSERT_EQ(run.exit_code, 130) << run.err;
  EXPECT_NE(run.err.find("Stopping after the current block"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Test aborted."), std::string::npos) << run.err;
  // No "finished, no error" claim after an abort.
  EXPECT_TRUE(run.out.empty()) << run.out;

  const json result = ReadJson(json_path);
  EXPECT_EQ(result["outcome"], "aborted");
  EXPECT_TRUE(result["first_error"].is_null());
  // Whatever was written is on the medium in whole blocks, and verifies.
  EXPECT_EQ(TotalTestBytes(dir.path()) % kMiB, 0u);
  EXPECT_EQ(TotalTestBytes(dir.path()) / kMiB, result["write"]["mbyte"].get<uint64_t>());
  const CliRun verify = RunCli({"verify", dir.str()});
  EXPECT_EQ(verify.exit_code, 0) << verify.err << verify.out;
}

TEST(CliEndToEnd, InterruptStopsALargeWrite) {
  TempDir dir;
  constexpr uint64_t kSize = 2000;
  if (FreeMiB(dir.path()) < kSize + 1024) GTEST_SKIP() << "not enough free space";
  TempDir results;
  const fs::path json_path = results.path() / "aborted.json";
  CliProcess process(
      {"test", dir.str(), "--size", std::to_string(kSize), "--json", json_path.string()});
  ASSERT_NO_FATAL_FAILURE(WaitForFirstBlock(dir.path() / "1.kvx", process));
  process.Signal(SIGTERM);
  const CliRun run = process.Wait();
  ASSERT_EQ(run.exit_code, 130) << run.err;

  const json result = ReadJson(json_path);
  EXPECT_EQ(result["outcome"], "aborted");
  EXPECT_EQ(result["size_mbyte"], kSize);
  const uint64_t written = result["write"]["mbyte"];
  EXPECT_EQ(TotalTestBytes(dir.path()), written * kMiB);
  const CliRun verify = RunCli({"verify", dir.str()});
  EXPECT_EQ(verify.exit_code, 0) << verify.err << verify.out;
}

}  // namespace
}  // namespace kalvex::cli::testing
