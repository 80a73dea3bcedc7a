// kalvex-cli against what the world does to a tester: a medium pulled out
// mid-run, writes cut short, a medium with no room left, gaps in the test
// data, paths that are not UTF-8 or too long, sizes with more digits than a
// number holds, and result files aimed at the test data. Every run is of the
// real binary; anything larger than a few MByte goes to a tmpfs of its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/support/mount.h"

namespace kalvex::cli::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// The result file, parsed. A missing or broken one fails the test; the
// checks of its content are then left out rather than failing once more.
std::optional<json> ReadJson(const std::string& path) {
  const std::string text = ReadFile(path);
  json result = json::parse(text, nullptr, false);
  if (result.is_discarded() || !result.is_object()) {
    ADD_FAILURE() << "no JSON object in " << path << ": [" << text << "]";
    return std::nullopt;
  }
  return result;
}

json Member(const json& object, const std::string& key) {
  return object.is_object() && object.contains(key) ? object[key] : json();
}

// A text member; "<none>" when it is absent, null or not text.
std::string Text(const json& object, const std::string& key) {
  const json member = Member(object, key);
  return member.is_string() ? member.get<std::string>() : "<none>";
}

// A script shows the texts of a result as they are: a carriage return or a
// line break at the end would show up in its output.
void ExpectCleanTexts(const json& result) {
  for (const char* key : {"error", "warning"}) {
    const json text = Member(result, key);
    if (!text.is_string()) continue;
    const std::string value = text.get<std::string>();
    EXPECT_THAT(value, Not(HasSubstr("\r"))) << key;
    EXPECT_THAT(value, Not(EndsWith("\n"))) << key;
  }
}

std::vector<std::string> KvxFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (const std::string& name : ListDir(dir))
    if (fs::path(name).extension() == ".kvx") names.push_back(name);
  return names;
}

void RemoveKvxFiles(const std::string& dir) {
  for (const std::string& name : KvxFiles(dir)) fs::remove(dir + "/" + name);
}

// Waits until the run has created the file. The limit only keeps a run that
// never gets there from hanging the suite.
void WaitForFile(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (!fs::exists(path)) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << path << " never appeared";
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Folders nested below base until the whole path is exactly `length` bytes,
// each name well below the 255 bytes a file system allows.
std::string MakeDeepFolder(const std::string& base, size_t length) {
  std::string path = base;
  if (mkdir(path.c_str(), 0755) != 0) return "";
  while (length - path.size() > 250) {
    path += "/" + std::string(200, 'd');
    if (mkdir(path.c_str(), 0755) != 0) return "";
  }
  path += "/" + std::string(length - path.size() - 1, 'e');
  return mkdir(path.c_str(), 0755) == 0 ? path : "";
}

TEST(HostileCases, AMediumPulledOutMidRunEndsTheRun) {
  // The mount point lies on a small tmpfs of its own: whatever the run
  // writes once the medium is gone lands there, not on the machine's disk.
  TmpfsMount outer(16 * kMiB);
  KALVEX_SKIP_UNLESS_MOUNTED(outer);
  const std::string point = outer.File("medium");
  ASSERT_EQ(mkdir(point.c_str(), 0755), 0);
  TmpfsMount medium(1100 * kMiB, point);
  KALVEX_SKIP_UNLESS_MOUNTED(medium);
  ASSERT_TRUE(medium.StillMounted());
  TempDir results;
  const std::string json_path = results.File("gone.json");

  // 1025 MByte take a second test file, which the run creates after the
  // medium went away.
  CliProcess process({"test", medium.path(), "--size", "1025", "--json", json_path});
  ASSERT_NO_FATAL_FAILURE(WaitForFile(medium.File("1.kvx")));
  process.Signal(SIGSTOP);
  ASSERT_NO_THROW(medium.Detach());
  process.Signal(SIGCONT);
  const CliRun run = process.Wait(std::chrono::minutes(2));

  EXPECT_EQ(run.exit_code, 2) << run.err << run.out;
  ExpectHas(run.out, {"is no longer available"});
  // The bare folder under the mount point is not the medium: nothing may be
  // written there.
  EXPECT_EQ(ListDir(medium.path()), std::vector<std::string>{});
  if (const std::optional<json> result = ReadJson(json_path)) {
    EXPECT_EQ(Text(*result, "outcome"), "error");
    EXPECT_EQ(Text(Member(*result, "error_detail"), "kind"), "medium_gone");
    ExpectCleanTexts(*result);
  }
}

TEST(HostileCases, AShortWriteIsAnErrorNotAFullMedium) {
  {
    SCOPED_TRACE("half of the second block written, then EFBIG");
    TempDir dir, results;
    ProcessOptions limited;
    limited.file_size_limit = kMiB + kMiB / 2;
    const std::string json_path = results.File("short.json");
    const CliRun run = RunCli({"test", dir.path(), "--size", "3", "--json", json_path}, limited);
    EXPECT_EQ(run.exit_code, 2) << run.err << run.out;
    ExpectHas(run.out + run.err, {"File too large"}, {"No space left", "filled up earlier"});
    if (const std::optional<json> result = ReadJson(json_path)) {
      EXPECT_EQ(Text(*result, "outcome"), "error");
      ExpectHas(Text(*result, "error"), {"File too large"});
      ExpectCleanTexts(*result);
    }
  }

  // Using all the space, a write that stops early looks like a medium that
  // filled up: only a real ENOSPC may be taken for one.
  TmpfsMount medium(64 * kMiB);
  KALVEX_SKIP_UNLESS_MOUNTED(medium);
  // Within a block (a short write first) and at a block's end (EFBIG at once).
  for (const uint64_t limit : {20 * kMiB + kMiB / 2, 20 * kMiB}) {
    SCOPED_TRACE("all space, file size limit " + std::to_string(limit / 1024) + " KiB");
    ASSERT_TRUE(medium.StillMounted());
    RemoveKvxFiles(medium.path());
    ProcessOptions limited;
    limited.file_size_limit = limit;
    const CliRun run = RunCli({"test", medium.path()}, limited);
    EXPECT_EQ(run.exit_code, 2) << run.err << run.out;
    ExpectHas(run.out + run.err, {"File too large"},
              {"No space left", "filled up earlier", "no error occurred"});
  }
}

TEST(HostileCases, AMediumWithNoFreeSpaceIsRefused) {
  TmpfsMount medium(4 * kMiB);
  KALVEX_SKIP_UNLESS_MOUNTED(medium);
  ASSERT_GT(medium.FillUp("filler"), 0u);
  struct statvfs info = {};
  ASSERT_EQ(statvfs(medium.path().c_str(), &info), 0);
  ASSERT_EQ(info.f_bavail, 0u);

  TempDir results;
  const std::string json_path = results.File("full.json");
  for (const bool with_json : {false, true}) {
    SCOPED_TRACE(with_json ? "with --json" : "without --json");
    std::vector<std::string> args = {"test", medium.path()};
    if (with_json) args.insert(args.end(), {"--json", json_path});
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exit_code, 3) << run.err << run.out;
    ExpectHas(run.err, {"Not enough space available!"});
    EXPECT_EQ(KvxFiles(medium.path()), std::vector<std::string>{});
  }
  if (const std::optional<json> result = ReadJson(json_path)) {
    EXPECT_EQ(Text(*result, "outcome"), "refused");
    EXPECT_THAT(Text(*result, "error"), StartsWith("Not enough space available!"));
    ExpectCleanTexts(*result);
  }
}

TEST(HostileCases, AGapInTheTestFilesIsNoTestData) {
  // Sparse files: the sizes are what counts here, and they cost no space.
  TempDir gap;
  MakeSparseFile(gap.File("1.kvx"), kGiB);
  MakeSparseFile(gap.File("3.kvx"), kGiB);
  const CliRun scan = RunCli({"scan", gap.path()});
  ExpectHas(scan.out + scan.err, {"Please delete files *.kvx."});
  const CliRun verify = RunCli({"verify", gap.path()});
  EXPECT_EQ(verify.exit_code, 3) << verify.err << verify.out;
  ExpectHas(verify.err, {"Verify not possible because one or more test files have incorrect size"});
  EXPECT_EQ(verify.out, "");

  // Without the gap a shorter last file is test data as usual.
  TempDir whole;
  MakeSparseFile(whole.File("1.kvx"), kGiB);
  MakeSparseFile(whole.File("2.kvx"), kGiB);
  MakeSparseFile(whole.File("3.kvx"), 300 * kMiB);
  const CliRun counted = RunCli({"scan", whole.path()});
  EXPECT_EQ(counted.exit_code, 0) << counted.err;
  EXPECT_THAT(counted.out, StartsWith("Existing test data: 2348 MByte.\n"));
}

TEST(HostileCases, APathThatIsNotUtf8StillGivesValidJson) {
  TempDir parent, results;
  const std::string target = parent.File("bad\xff");
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ProcessOptions limited;
  limited.file_size_limit = kMiB + kMiB / 2;
  const std::string json_path = results.File("result.json");
  const CliRun run = RunCli({"test", target, "--size", "3", "--json", json_path}, limited);
  EXPECT_EQ(run.exit_code, 2) << run.err << run.out;
  // The parser rejects invalid UTF-8, so a result that parses has none.
  if (const std::optional<json> result = ReadJson(json_path)) {
    EXPECT_EQ(Text(*result, "outcome"), "error");
    ExpectHas(Text(*result, "error"), {parent.File("bad\xEF\xBF\xBD/1.kvx")});
    ExpectCleanTexts(*result);
  }
}

TEST(HostileCases, SizesWithMoreThanNineteenDigits) {
  TmpfsMount medium(100 * kMiB);
  KALVEX_SKIP_UNLESS_MOUNTED(medium);
  struct Case {
    std::string size;
    int exit_code;
    uint64_t file_size;  // of 1.kvx after the run; 0: no test file
  };
  const Case cases[] = {
      {"00000000000000000500", 3, 0},           // 500 MByte, 20 characters
      {"000000000000000000010", 0, 10 * kMiB},  // 10 MByte, 21 characters
      {"99999999999999999999999999", 3, 0},     // more than 64 bits hold
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("--size " + c.size);
    ASSERT_TRUE(medium.StillMounted());
    RemoveKvxFiles(medium.path());
    const CliRun run = RunCli({"test", medium.path(), "--size", c.size});
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err << run.out;
    if (c.file_size == 0) {
      ExpectHas(run.err, {"Not enough space available!"});
      EXPECT_EQ(KvxFiles(medium.path()), std::vector<std::string>{});
    } else {
      EXPECT_EQ(KvxFiles(medium.path()), std::vector<std::string>{"1.kvx"});
      EXPECT_EQ(FileSizeOf(medium.File("1.kvx")), c.file_size);
    }
  }
}

TEST(HostileCases, TheJsonResultNeverOverwritesTestData) {
  enum Aim { kTheFile, kADetour, kALink };
  // The same file by another name is the same test data.
  for (const Aim aim : {kTheFile, kADetour, kALink}) {
    TempDir dir, elsewhere;
    const CliRun write = RunCli({"test", dir.path(), "--size", "1"});
    ASSERT_EQ(write.exit_code, 0) << write.err;
    const std::string test_data = ReadFile(dir.File("1.kvx"));
    ASSERT_EQ(test_data.size(), kMiB);
    std::string json_path = dir.File("1.kvx");
    if (aim == kADetour) json_path = dir.path() + "/./1.kvx";
    if (aim == kALink) {
      json_path = elsewhere.File("result.json");
      ASSERT_EQ(symlink(dir.File("1.kvx").c_str(), json_path.c_str()), 0);
    }
    SCOPED_TRACE("verify --json " + json_path);
    const CliRun run = RunCli({"verify", dir.path(), "--json", json_path});
    EXPECT_EQ(run.exit_code, 3) << run.err << run.out;
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{"1.kvx"});
    EXPECT_TRUE(ReadFile(dir.File("1.kvx")) == test_data) << "the test data was changed";
  }

  // A result file named like a test file would be taken for test data later.
  TempDir empty;
  const CliRun run =
      RunCli({"test", empty.path(), "--size", "1", "--json", empty.File("result.kvx")});
  EXPECT_EQ(run.exit_code, 3) << run.err << run.out;
  EXPECT_EQ(ListDir(empty.path()), std::vector<std::string>{});
}

TEST(HostileCases, TargetsThatCannotHoldTestFiles) {
  TempDir dir;
  // A run of 1 MByte names one file, "/1.kvx": 4089 bytes leave room for it
  // and the terminator, 4090 do not; 4094 is the longest path there is.
  {
    const std::string target = MakeDeepFolder(dir.File("deep4089"), 4089);
    const CliRun run = RunCli({"test", target, "--size", "1"});
    EXPECT_EQ(run.exit_code, 0) << run.err << run.out;
    EXPECT_EQ(ListDir(target), std::vector<std::string>{"1.kvx"});
  }
  for (const size_t length : {size_t{4090}, size_t{4094}}) {
    SCOPED_TRACE("path of " + std::to_string(length) + " bytes");
    const std::string target = MakeDeepFolder(dir.File("deep" + std::to_string(length)), length);
    ASSERT_EQ(target.size(), length);
    const CliRun run = RunCli({"test", target, "--size", "1"});
    EXPECT_EQ(run.exit_code, 3) << run.err << run.out;
    // Whole: the path gives way in its middle, the sentence keeps its end.
    ExpectHas(run.err, {"'" + target.substr(0, 200), target.substr(target.size() - 200) + "'"});
    EXPECT_THAT(run.err, EndsWith("is too long for the test files.\n"));
    EXPECT_EQ(ListDir(target), std::vector<std::string>{});
  }

  const std::string loop = dir.File("loop");
  ASSERT_EQ(symlink("loop", loop.c_str()), 0);
  const std::string file = dir.File("file");
  WriteFile(file, "not a folder");
  const std::pair<std::string, std::string> cases[] = {
      {loop, "Too many levels of symbolic links"},
      {file + "/sub", "Not a directory"},
  };
  for (const auto& [target, system_text] : cases) {
    SCOPED_TRACE(target);
    const CliRun run = RunCli({"test", target, "--size", "1"});
    EXPECT_EQ(run.exit_code, 3) << run.err << run.out;
    ExpectHas(run.err, {system_text}, {"does not exist"});
  }
}

TEST(HostileCases, RefusalsWriteAJsonResult) {
  enum Setup { kEmpty, kTestData, kStrayFile };
  struct Case {
    Setup setup;
    std::vector<std::string> args;  // "DIR" stands for the target folder
    std::string expected;           // in the message and in "error"
  };
  const Case cases[] = {
      {kTestData, {"test", "DIR", "--size", "1"}, "Can't write because of existing files."},
      {kEmpty, {"test", "DIR", "--size", "0"}, "Data volume must not be zero!"},
      {kEmpty, {"test", "DIR", "--size", "9999999999999"}, "Not enough space available!"},
      {kEmpty, {"test", "DIR/missing", "--size", "1"}, "does not exist"},
      {kEmpty, {"verify", "DIR/missing"}, "does not exist"},
      {kStrayFile, {"test", "DIR/notes.kvx"}, "Not a directory"},
      {kEmpty, {"verify", "DIR"}, "No existing test data."},
  };
  for (const Case& c : cases) {
    TempDir parent, results;
    const std::string target = parent.File("target");
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    if (c.setup == kTestData) {
      const CliRun run = RunCli({"test", target, "--size", "1"});
      ASSERT_EQ(run.exit_code, 0) << run.err;
    }
    if (c.setup == kStrayFile) WriteFile(target + "/notes.kvx", "keep me");
    std::vector<std::string> args;
    std::string joined;
    for (std::string arg : c.args) {
      if (arg.rfind("DIR", 0) == 0) arg.replace(0, 3, target);
      args.push_back(arg);
      joined += " [" + arg + "]";
    }
    SCOPED_TRACE(joined);
    const std::vector<std::string> before = ListDir(target);
    const std::string json_path = results.File("refused.json");
    args.insert(args.end(), {"--json", json_path});
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exit_code, 3) << run.err << run.out;
    ExpectHas(run.err, {c.expected});
    EXPECT_EQ(ListDir(target), before);
    if (const std::optional<json> result = ReadJson(json_path)) {
      EXPECT_EQ(Text(*result, "outcome"), "refused");
      const std::string error = Text(*result, "error");
      ExpectHas(error, {c.expected});
      // The same message as on the terminal.
      ExpectHas(run.err, {error});
      ExpectCleanTexts(*result);
    }
  }

  {
    SCOPED_TRACE("a run that went well");
    TempDir dir, results;
    const std::string json_path = results.File("ok.json");
    const CliRun run = RunCli({"test", dir.path(), "--size", "1", "--json", json_path});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    if (const std::optional<json> result = ReadJson(json_path)) {
      EXPECT_EQ(Text(*result, "outcome"), "ok");
      ExpectCleanTexts(*result);
    }
  }

  // Nowhere to put the result: refused all the same, and nothing written.
  for (const char* size : {"1", "0"}) {
    SCOPED_TRACE(std::string("result file in a missing folder, --size ") + size);
    TempDir dir, results;
    const std::string json_path = results.File("missing/result.json");
    const CliRun run = RunCli({"test", dir.path(), "--size", size, "--json", json_path});
    EXPECT_EQ(run.exit_code, 3) << run.err << run.out;
    EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{});
    EXPECT_EQ(ListDir(results.path()), std::vector<std::string>{});
  }
}

TEST(HostileCases, StrayKvxFilesAndEmptyTargets) {
  TempDir stray;
  WriteFile(stray.File("notes.kvx"), "keep me");
  const CliRun write = RunCli({"test", stray.path(), "--size", "1"});
  EXPECT_EQ(write.exit_code, 3) << write.err << write.out;
  ExpectHas(write.err, {"Can't write because of existing files."});
  EXPECT_EQ(ListDir(stray.path()), std::vector<std::string>{"notes.kvx"});
  EXPECT_EQ(ReadFile(stray.File("notes.kvx")), "keep me");

  // Nothing to verify is no reason to verify the free space.
  TempDir empty;
  const CliRun verify = RunCli({"verify", empty.path()});
  EXPECT_EQ(verify.exit_code, 3) << verify.err << verify.out;
  EXPECT_EQ(verify.out, "");
  EXPECT_EQ(ListDir(empty.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace kalvex::cli::testing
