// kalvex-cli as a user or a script meets it: the real binary on real
// folders, its exit status, its output and the files it leaves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <thread>

#include "tests/cli/cli_process.h"
#include "tests/support/mount.h"

namespace kalvex::cli::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::Not;

std::string Hex64(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

// Every entry below dir with its time and content: whatever writes there
// changes this.
std::string Snapshot(const TempDir& dir) {
  std::string snapshot;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    struct stat info = {};
    stat(entry.path().c_str(), &info);
    snapshot += entry.path().string() + " " + std::to_string(info.st_mtim.tv_sec) + "." +
                std::to_string(info.st_mtim.tv_nsec) + " " +
                (entry.is_regular_file() ? ReadFile(entry.path()) : "") + "\n";
  }
  return snapshot;
}

uint64_t TestBytes(const std::string& dir) {
  uint64_t total = 0;
  for (const std::string& name : ListDir(dir))
    if (fs::path(name).extension() == ".kvx") total += FileSizeOf(dir + "/" + name);
  return total;
}

// Writes test data of the given volume into dir; the run must succeed.
void WriteTestData(const TempDir& dir, uint64_t mbytes) {
  const CliRun run = RunCli({"test", dir.path(), "--size", std::to_string(mbytes)});
  ASSERT_EQ(run.exit_code, 0) << run.err;
}

// "ok, 3 MByte, 1 pass, sectors 6144 0 0 0 0, first -, error -, write 3, verify 3":
// a JSON result without its timings, which only need to be sane.
std::string Summary(const json& r) {
  std::string text = r["outcome"].get<std::string>() + ", " +
                     std::to_string(r["size_mbyte"].get<uint64_t>()) + " MByte, " +
                     std::to_string(r["verify_passes"].get<uint64_t>()) + " pass, sectors";
  for (const char* key : {"ok", "overwritten", "slightly_changed", "corrupted", "aliased"})
    text.append(" ").append(std::to_string(r["sectors"][key].get<uint64_t>()));
  text += ", first " + (r["first_error"].is_null() ? "-" : r["first_error"]["offset"].dump());
  text += ", error " + std::string(r["error"].is_null() ? "-" : "yes");
  for (const char* pass : {"write", "verify"}) {
    text += std::string(", ") + pass + " " + (r[pass].is_null() ? "-" : r[pass]["mbyte"].dump());
    if (!r[pass].is_null()) {
      EXPECT_GE(r[pass]["seconds"].get<double>(), 0.0);
      EXPECT_GE(r[pass]["mbyte_per_s"].get<double>(), 0.0);
    }
  }
  return text;
}

TEST(CliEndToEnd, CleanRunWritesVerifiesAndReports) {
  TempDir dir, results;
  const std::string json_path = results.File("result.json");
  const CliRun run = RunCli({"test", dir.path(), "--size", "3", "--json", json_path});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // One test file of exactly the volume asked for, in the pattern.
  EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{"1.kvx"});
  EXPECT_EQ(FileSizeOf(dir.File("1.kvx")), 3 * kMiB);
  EXPECT_EQ(CountForeignSectors(dir.File("1.kvx"), 0), 0u);
  // The report box's text with LF line ends; a clean run names no loss.
  ExpectHas(run.out, {"Writing speed: ", "Reading speed: ", "Kalvex v1.4\n"}, {"\r", "DATA LOST"});
  // Only part of the volume is tested: the main window's capacity warning
  // goes to standard error before the run; no live line off a terminal.
  ExpectHas(run.err, {"Attention: Testing only 3 MByte"}, {"\r", "%", "MByte/s"});
  const json result = json::parse(ReadFile(json_path));
  EXPECT_EQ(Summary(result),
            "ok, 3 MByte, 1 pass, sectors 6144 0 0 0 0, first -, error -, write 3, verify 3");
  // The report starts with the warning of the result, as in the JSON.
  const std::string warning = result["warning"];
  EXPECT_THAT(warning, Not(HasSubstr("\r")));
  EXPECT_EQ(run.out.rfind(warning, 0), 0u) << run.out;
}

TEST(CliEndToEnd, LiveLineOnATerminal) {
  TempDir dir;
  ProcessOptions wide;
  wide.terminal_columns = 200;
  const CliRun run = RunCli({"test", dir.path(), "--size", "2"}, wide);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // The last state of the run stays on screen: the verify pass complete;
  // the report itself still goes to standard output.
  ExpectHas(run.err, {"[##########] 100% Verifying: 2 MByte, "});
  ExpectHas(run.out, {"Reading speed: "});

  TempDir narrow_dir;
  ProcessOptions narrow;
  narrow.terminal_columns = 30;
  const CliRun cut = RunCli({"test", narrow_dir.path(), "--size", "1", "--lang", "de"}, narrow);
  ASSERT_EQ(cut.exit_code, 0) << cut.err;
  // Redrawn in place and cut to one less than the width, so it never wraps.
  const size_t start = cut.err.find("\r[");
  const size_t end = cut.err.find("\x1b[K", start);
  ASSERT_NE(end, std::string::npos) << cut.err;
  EXPECT_EQ(cut.err.substr(start + 1, end - start - 1), "[##########] 100% Prüfen: 1 M");
}

TEST(CliEndToEnd, VerifyOnlyReadsExistingData) {
  TempDir dir, results;
  const CliRun write = RunCli({"test", dir.path(), "--size", "2"});
  ASSERT_EQ(write.exit_code, 0) << write.err;
  const std::string json_path = results.File("verify.json");
  const CliRun run = RunCli({"verify", dir.path(), "--json", json_path});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // The short no-error text: the long one (after a write) invites deleting
  // the test files *.kvx. The size is what the scan found.
  ExpectHas(write.out, {"*.kvx"});
  ExpectHas(run.out, {"Reading speed: "}, {"Writing speed", "*.kvx"});
  EXPECT_EQ(Summary(json::parse(ReadFile(json_path))),
            "ok, 2 MByte, 1 pass, sectors 4096 0 0 0 0, first -, error -, write -, verify 2");
}

TEST(CliEndToEnd, DamagedDataIsReportedAsFaulty) {
  TempDir dir, results;
  WriteTestData(dir, 3);
  // Every bit of word 5 of the 4th sector of the 2nd block inverted: 64
  // wrong bits, corrupted.
  const uint64_t offset = kMiB + 3 * 512 + 5 * 8;
  const uint64_t original = ReadWord(dir.File("1.kvx"), offset);
  WriteWord(dir.File("1.kvx"), offset, ~original);
  const std::string json_path = results.File("damaged.json");
  const CliRun run = RunCli({"verify", dir.path(), "--json", json_path});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  ExpectHas(run.out, {"The media is likely to be defective.",
                      "First error at offset: " + Hex64(offset)}, {"\r"});
  const json result = json::parse(ReadFile(json_path));
  EXPECT_EQ(Summary(result), "faulty, 3 MByte, 1 pass, sectors 6143 0 0 1 0, first 1050152, "
                             "error -, write -, verify 3");
  EXPECT_EQ(result["first_error"],
            json({{"offset", offset}, {"expected", Hex64(original)}, {"found", Hex64(~original)}}));
  const CliRun german = RunCli({"verify", dir.path(), "--lang", "de"});
  EXPECT_EQ(german.exit_code, 1);
  ExpectHas(german.out, {"Der Datenträger ist wahrscheinlich defekt."});
}

TEST(CliEndToEnd, EndlessVerifyStopsAtTheFirstFaultyPass) {
  TempDir dir;
  WriteTestData(dir, 2);
  const uint64_t offset = kMiB + 512 * 100 + 16;
  WriteWord(dir.File("1.kvx"), offset, ReadWord(dir.File("1.kvx"), offset) ^ 1);  // one bit
  const CliRun run = RunCli({"verify", dir.path(), "--endless", "--json", "-"});
  ASSERT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(Summary(json::parse(run.out)), "faulty, 2 MByte, 1 pass, sectors 4095 0 1 0 0, "
                                           "first 1099792, error -, write -, verify 2");
}

TEST(CliEndToEnd, AWriteErrorEndsTheRunWithTheErrorText) {
  TempDir dir;
  ProcessOptions limited;
  limited.file_size_limit = 2 * kMiB;  // the third block cannot be written
  const CliRun run = RunCli({"test", dir.path(), "--size", "3", "--json", "-"}, limited);
  ASSERT_EQ(run.exit_code, 2) << run.err << run.out;
  const json result = json::parse(run.out);
  EXPECT_EQ(Summary(result), "error, 3 MByte, 0 pass, sectors 0 0 0 0 0, first -, error yes, "
                             "write 2, verify -");
  const std::string error = result["error"];
  ExpectHas(error, {"Error writing file '" + dir.File("1.kvx") + "', offset 0x200000"}, {"\r"});
  // The report (on standard error with "--json -") is the error form: the
  // error text, then the warning; the writing speed but no reading.
  ExpectHas(run.err, {error + "\n" + result["warning"].get<std::string>(), "Writing speed: "},
            {"Reading speed", "Finished"});
  EXPECT_EQ(FileSizeOf(dir.File("1.kvx")), 2 * kMiB);
}

TEST(CliEndToEnd, ScanShowsTestDataAndFreeSpaceInTheLanguageAskedFor) {
  TempDir dir;
  const std::regex english("No existing test data\\.\nall available space \\(\\d+ MByte\\)\n");
  const std::regex german("Keine Testdaten vorhanden\\.\ngesamter freier Platz \\(\\d+ MByte\\)\n");
  // LC_ALL before LC_MESSAGES before LANG, an empty value does not count,
  // and the option wins over all.
  const std::tuple<std::map<std::string, std::string>, const char*, bool> cases[] = {
      {{}, nullptr, false},
      {{{"LANG", "en_US.UTF-8"}}, nullptr, false},
      {{{"LANG", "de_DE.UTF-8"}}, nullptr, true},
      {{{"LC_ALL", "C"}, {"LANG", "de_DE.UTF-8"}}, nullptr, false},
      {{{"LC_MESSAGES", "de_AT"}, {"LANG", "en_GB"}}, nullptr, true},
      {{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "de"}}, nullptr, true},
      {{{"LANG", "de_DE.UTF-8"}}, "en", false},
      {{{"LC_ALL", "en_US"}}, "de", true}};
  for (const auto& [locale, option, is_german] : cases) {
    std::vector<std::string> args = {"scan", dir.path()};
    if (option) args.insert(args.end(), {"--lang", option});
    const CliRun run = RunCli(args, {locale});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(std::regex_match(run.out, is_german ? german : english)) << run.out;
  }
  WriteTestData(dir, 2);
  const CliRun filled = RunCli({"scan", dir.path()});
  ASSERT_EQ(filled.exit_code, 0) << filled.err;
  EXPECT_EQ(filled.out.rfind("Existing test data: 2 MByte.\n", 0), 0u) << filled.out;
}

TEST(CliEndToEnd, RefusalsComeBeforeAnythingIsWritten) {
  enum Target { kEmpty, kTestData, kStrayFile, kIrregular };
  struct Case {
    Target target;
    std::vector<std::string> args;  // "DIR" stands for the target folder
    std::string expected;           // in standard error; empty: any message
  };
  const Case cases[] = {
      {kEmpty, {"test", "DIR", "--size", "12a"}, "digits only"},
      {kEmpty, {"test", "DIR", "--size", ""}, "digits only"},
      {kEmpty, {"test", "DIR", "--size", "0"}, "Data volume must not be zero!"},
      {kEmpty, {"test", "DIR", "--size", "9999999999999"}, "Not enough space available!"},
      {kEmpty, {"test", "DIR/no-such-folder", "--size", "1"}, "DIR/no-such-folder"},
      {kEmpty, {"verify", "DIR/no-such-folder"}, "DIR/no-such-folder"},
      {kEmpty, {"scan", "DIR/no-such-folder"}, "DIR/no-such-folder"},
      {kStrayFile, {"test", "DIR/notes.kvx"}, "(Not a directory Code 20)"},
      {kEmpty, {}, ""},
      {kTestData, {"test", "DIR", "--size", "1", "--json", "OUT/refused.json"},
       "Can't write because of existing files."},
      {kTestData, {"test", "DIR"}, "Can't write because of existing files."},
      // Any "*.kvx" keeps a write from starting, not only numbered ones.
      {kStrayFile, {"test", "DIR", "--size", "1"}, "Can't write because of existing files."},
      {kStrayFile, {"verify", "DIR"}, "Please delete files *.kvx."},
      {kEmpty, {"verify", "DIR"}, "No existing test data."},
      // A size that is not a whole number of MiB cannot come from a write pass.
      {kIrregular, {"verify", "DIR"},
       "Verify not possible because one or more test files have incorrect size"},
  };
  for (const Case& c : cases) {
    TempDir parent, out;
    const std::string target = parent.File("target");
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    if (c.target == kTestData) {
      const CliRun run = RunCli({"test", target, "--size", "1"});
      ASSERT_EQ(run.exit_code, 0) << run.err;
    }
    if (c.target == kStrayFile) WriteFile(target + "/notes.kvx", "keep me");
    if (c.target == kIrregular) WriteFile(target + "/1.kvx", std::string(kMiB + 512, '\0'));
    std::vector<std::string> args;
    std::string joined;
    for (std::string arg : c.args) {
      if (arg.rfind("DIR", 0) == 0) arg.replace(0, 3, target);
      if (arg.rfind("OUT", 0) == 0) arg.replace(0, 3, out.path());
      args.push_back(arg);
      joined += " [" + arg + "]";
    }
    SCOPED_TRACE(joined);
    const std::string before = Snapshot(parent);
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exit_code, 3) << run.err;
    EXPECT_FALSE(run.err.empty());
    std::string expected = c.expected;
    if (expected.rfind("DIR", 0) == 0) expected.replace(0, 3, target);
    ExpectHas(run.err, {expected});
    EXPECT_EQ(run.out, "");
    // Nothing was written, changed or created; a script learns why.
    EXPECT_EQ(Snapshot(parent), before);
    if (!ListDir(out.path()).empty()) {
      const json refusal = json::parse(ReadFile(out.File("refused.json")));
      EXPECT_EQ(refusal["outcome"], "refused");
      EXPECT_EQ(refusal["error"], expected);
    }
  }
  TempDir dir;
  const CliRun german =
      RunCli({"test", dir.File("missing")}, {{{"LANG", "de_DE.UTF-8"}}});
  EXPECT_EQ(german.exit_code, 3);
  ExpectHas(german.err, {"existiert nicht"});
}

TEST(CliEndToEnd, HelpDocumentsTheExitStatuses) {
  const CliRun run = RunCli({"--help"});
  EXPECT_EQ(run.exit_code, 0);
  ExpectHas(run.out, {"  0 ", "  1 ", "  2 ", "  3 ", "  130 "});
  const CliRun sub = RunCli({"test", "--help"});
  EXPECT_EQ(sub.exit_code, 0);
  ExpectHas(sub.out, {"--size", "130"});
}

// Waits until the run has written its first block, so that a stop request
// meets a run under way and leaves test data behind that can be verified.
void WaitForFirstBlock(const std::string& file) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (FileSizeOf(file) == 0 || FileSizeOf(file) == UINT64_MAX) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the run never wrote a block";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Stops a run with signals and checks what it leaves: the abort noted, no
// report, a result and whole blocks of test data that verify.
// target: the folder to test; empty: a fresh temporary one.
void InterruptRun(uint64_t size_mb, bool endless, int signal, int times,
                  const std::string& target = "") {
  TempDir own, results;
  const std::string dir = target.empty() ? own.path() : target;
  const std::string json_path = results.File("aborted.json");
  std::vector<std::string> args = {"test", dir, "--size", std::to_string(size_mb),
                                   "--json", json_path};
  if (endless) args.push_back("--endless");
  CliProcess process(args);
  ASSERT_NO_FATAL_FAILURE(WaitForFirstBlock(dir + "/1.kvx"));
  for (int i = 0; i < times; ++i) process.Signal(signal);
  const CliRun run = process.Wait(std::chrono::minutes(2));
  ASSERT_EQ(run.exit_code, 130) << run.err;
  ExpectHas(run.err, {"Stopping after the current block", "Test aborted."});
  EXPECT_EQ(run.out, "");  // no "finished, no error" claim after an abort
  const json result = json::parse(ReadFile(json_path));
  EXPECT_EQ(result["outcome"], "aborted");
  EXPECT_EQ(result["size_mbyte"], size_mb);
  EXPECT_TRUE(result["first_error"].is_null() && result["error"].is_null());
  EXPECT_EQ(TestBytes(dir), result["write"]["mbyte"].get<uint64_t>() * kMiB);
  const CliRun verify = RunCli({"verify", dir});
  EXPECT_EQ(verify.exit_code, 0) << verify.err << verify.out;
}

TEST(CliEndToEnd, InterruptStopsAnEndlessRunCleanly) {
  // An endless run that ignored the stop would never end by itself;
  // impatient users press Ctrl-C twice.
  InterruptRun(8, true, SIGINT, 2);
}

TEST(CliEndToEnd, InterruptStopsALargeWrite) {
  // A medium of its own: a run this large must never go to the machine's disk.
  TmpfsMount medium(2100 * kMiB);
  KALVEX_SKIP_UNLESS_MOUNTED(medium);
  InterruptRun(2000, false, SIGTERM, 1, medium.path());
}

}  // namespace
}  // namespace kalvex::cli::testing

namespace kalvex::cli::testing {
namespace {

// What users of terminal tools expect: a mistyped command named, the report
// alone with --quiet, progress lines for a log, and errors named by the
// program.
TEST(CliConventions, MistypesQuietProgressAndErrorPrefix) {
  const CliRun typo = RunCli({"veriy", "/nowhere"});
  EXPECT_EQ(typo.exit_code, 3);
  EXPECT_EQ(typo.err, "kalvex-cli: unknown command 'veriy'; did you mean 'verify'?\n");
  const CliRun nonsense = RunCli({"frobnicate"});
  EXPECT_EQ(nonsense.exit_code, 3);
  ExpectHas(nonsense.err, {"(commands: test, verify, scan, clean, list, probe)"}, {"did you mean"});

  TempDir dir;
  const CliRun quiet = RunCli({"test", dir.path(), "--size", "2", "--quiet"});
  EXPECT_EQ(quiet.exit_code, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");  // not even the capacity warning
  ExpectHas(quiet.out, {"Finished, no error occurred."});

  // Off a terminal a log still gets the run's last figures as a line.
  const CliRun logged = RunCli({"verify", dir.path(), "--progress"});
  EXPECT_EQ(logged.exit_code, 0) << logged.err;
  ExpectHas(logged.err, {"[##########] 100% Verifying: 2 MByte, "}, {"\r", "\x1b"});
  EXPECT_TRUE(logged.err.ends_with("\n"));

  // The speed chart beside the report, and the verdict after it.
  TempDir charts;
  const CliRun charted = RunCli({"verify", dir.path(), "--chart", charts.File("speed.svg")});
  EXPECT_EQ(charted.exit_code, 0) << charted.err;
  EXPECT_EQ(ReadFile(charts.File("speed.svg")).rfind("<svg", 0), 0u);
  ExpectHas(charted.out, {"Verdict: genuine. The medium kept all 2 MByte of test data.\n"});

  const CliRun refused = RunCli({"test", dir.path(), "--size", "1"});
  EXPECT_EQ(refused.exit_code, 3);
  EXPECT_EQ(refused.err, "kalvex-cli: Can't write because of existing files.\n");
}

// clean removes what runs left, and nothing else: only regular files, only
// after a yes, strays only when asked.
TEST(CliConventions, CleanRemovesOnlyTheTestFilesLeft) {
  TempDir dir, elsewhere;
  WriteTestData(dir, 2);
  WriteFile(dir.File("notes.kvx"), "keep me unless --all");
  WriteFile(dir.File("photo.jpg"), "never touched");
  WriteFile(elsewhere.File("outside"), "never touched");
  ASSERT_EQ(symlink(elsewhere.File("outside").c_str(), dir.File("2.kvx").c_str()), 0);

  // Not a terminal and no --yes: the list, and nothing removed.
  const CliRun asked = RunCli({"clean", dir.path()});
  EXPECT_EQ(asked.exit_code, 3);
  ExpectHas(asked.out, {dir.File("1.kvx") + "  (2 MByte)", "1 test file(s), 2 MByte."});
  ExpectHas(asked.err, {"kalvex-cli: Nothing was removed. Give --yes"});
  EXPECT_EQ(ListDir(dir.path()),
            (std::vector<std::string>{"1.kvx", "2.kvx", "notes.kvx", "photo.jpg"}));

  const CliRun numbered = RunCli({"clean", dir.path(), "--yes"});
  EXPECT_EQ(numbered.exit_code, 0) << numbered.err;
  ExpectHas(numbered.out, {"Removed 1 test file(s).", "1 other file(s) named *.kvx left"});
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"2.kvx", "notes.kvx", "photo.jpg"}));

  const CliRun all = RunCli({"clean", dir.path(), "--yes", "--all"});
  EXPECT_EQ(all.exit_code, 0) << all.err;
  // The link named like a test file is no test file: it stays, and so does
  // what it points to.
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"2.kvx", "photo.jpg"}));
  EXPECT_EQ(ReadFile(dir.File("photo.jpg")), "never touched");
  EXPECT_EQ(ReadFile(elsewhere.File("outside")), "never touched");
  const CliRun nothing = RunCli({"clean", elsewhere.path(), "--yes"});
  EXPECT_EQ(nothing.exit_code, 0);
  EXPECT_EQ(nothing.out, "No test files to remove.\n");
}

}  // namespace
}  // namespace kalvex::cli::testing

namespace kalvex::cli::testing {
namespace {

// A labelled file system on a loop device appears in the list with its
// folder; the test's own image, on a tmpfs of its own.
TEST(CliConventions, ListShowsWhereAMediumIsMounted) {
  TmpfsMount space(80 * kMiB);
  KALVEX_SKIP_UNLESS_MOUNTED(space);
  const std::string image = space.File("medium.img");
  const std::string folder = space.File("mnt");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  const std::string setup = "truncate -s 32M " + image + " && mkfs.ext4 -q -L KVXLIST " + image +
                            " && mount -o loop " + image + " " + folder;
  if (std::system(setup.c_str()) != 0) GTEST_SKIP() << "no loop device for " << image;
  const CliRun list = RunCli({"list", "--all", "--json", "-"});
  const CliRun table = RunCli({"list", "--all"});
  std::system(("umount " + folder).c_str());  // also frees the loop device
  ASSERT_EQ(list.exit_code, 0) << list.err;
  bool found = false;
  for (const json& medium : json::parse(list.out)) {
    if (medium["mount_point"] != folder) continue;
    found = true;
    EXPECT_EQ(medium["label"], "KVXLIST");
    EXPECT_EQ(medium["file_system"], "ext4");
    EXPECT_EQ(medium["device"].get<std::string>().rfind("/dev/loop", 0), 0u);
    EXPECT_GT(medium["size_bytes"].get<uint64_t>(), 20 * kMiB);
  }
  EXPECT_TRUE(found) << list.out;
  ExpectHas(table.out, {"DEVICE", "MOUNTED ON", "KVXLIST", folder + "\n"});
}

}  // namespace
}  // namespace kalvex::cli::testing

namespace kalvex::cli::testing {
namespace {

// A tower of card readers: every target its own run, side by side; one that
// fails or is refused never stops the others; one report and one result
// each, and the worst outcome decides the exit status.
TEST(CliSeveralTargets, EachRunsOnItsOwnAndTheWorstDecides) {
  TempDir good, stray, results;
  WriteFile(stray.File("old.kvx"), "x");
  TmpfsMount read_only(8 * kMiB);
  KALVEX_SKIP_UNLESS_MOUNTED(read_only);
  ASSERT_EQ(std::system(("mount -o remount,ro " + read_only.path()).c_str()), 0);
  const std::string json_path = results.File("all.json");
  const CliRun run = RunCli(
      {"test", good.path(), read_only.path(), stray.path(), "--size", "2", "--json", json_path});
  EXPECT_EQ(run.exit_code, 2) << run.err;  // the error outweighs the refusal
  const json all = json::parse(ReadFile(json_path));
  ASSERT_TRUE(all.is_array());
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0]["target"], good.path());
  EXPECT_EQ(all[0]["outcome"], "ok");
  EXPECT_EQ(all[1]["outcome"], "error");
  EXPECT_EQ(all[1]["error_detail"]["kind"], "create");
  EXPECT_EQ(all[2]["outcome"], "refused");
  // The good medium was tested in full, whatever the others did.
  EXPECT_EQ(FileSizeOf(good.File("1.kvx")), 2 * kMiB);
  ExpectHas(run.out, {"== " + good.path() + " ==\nWarning: Only 2 of",
                      "== " + read_only.path() + " ==\nError creating file"});
  ExpectHas(run.err, {"kalvex-cli: " + stray.path() + ": Can't write because of existing files."});

  // One target alone keeps the result a single object.
  const CliRun single = RunCli({"verify", good.path(), "--json", json_path});
  EXPECT_EQ(single.exit_code, 0) << single.err;
  EXPECT_TRUE(json::parse(ReadFile(json_path)).is_object());
  EXPECT_EQ(single.out.find("=="), std::string::npos);
}

}  // namespace
}  // namespace kalvex::cli::testing
