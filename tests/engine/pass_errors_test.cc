// Every way a write or verify pass fails, each with its message in both
// languages: the texts, what the pass did on the platform, the state it left
// and the files on the target.

#include <gtest/gtest.h>


#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/engine/engine_test.h"

namespace kalvex::testing {
namespace {

#ifdef _WIN32
constexpr ErrorCode kEisdir = kEacces;  // what opening a folder as a file reports there
#else
constexpr ErrorCode kEisdir = 21;
#endif

// The expected texts; "%s" stands for the values of a case, in order.
constexpr const char* kCreateEn = "Error creating file '%s'.";
constexpr const char* kCreateDe = "Fehler beim Anlegen der Datei '%s'.";
constexpr const char* kWriteEn =
    "Error writing file '%s', offset %s.\r\n"
    "It is still possible to verify the test data written up to this point.";
constexpr const char* kWriteDe =
    "Fehler beim Schreiben der Datei '%s', Offset %s.\r\n"
    "Bis hierher geschriebene Testdaten können trotzdem geprüft werden.";
constexpr const char* kFlushEn = "Error finalizing file '%s'.";
constexpr const char* kFlushDe = "Fehler beim Finalisieren der Datei '%s'.";
constexpr const char* kCloseEn = "Error closing file '%s'.";
constexpr const char* kCloseDe = "Fehler beim Schließen der Datei '%s'.";
constexpr const char* kFullEn =
    "Media has filled up earlier than expected!\r\n"
    "In the beginning there were %s MByte free, but only\r\n"
    "%s MByte could be written.\r\n";
constexpr const char* kFullDe =
    "Datenträger schneller als erwartet voll!\r\n"
    "Zu Beginn waren %s MByte frei, aber es konnten nur\r\n"
    "%s MByte geschrieben werden.\r\n";
constexpr const char* kOpenEn = "Error opening file '%s'.";
constexpr const char* kOpenDe = "Fehler beim Öffnen der Datei '%s'.";
constexpr const char* kReadEn = "Error reading file '%s', offset %s.";
constexpr const char* kReadDe = "Fehler beim Lesen der Datei '%s', Offset %s.";
constexpr const char* kPartialEn =
    "Error: Size of file '%s' is not a multiple of 1048576 bytes.\r\n"
    "There may be errors in the file system.\r\n";
constexpr const char* kPartialDe =
    "Fehler: Größe der Datei '%s' ist kein Vielfaches von 1048576 Byte.\r\n"
    "Möglicherweise liegen Fehler im Dateisystem vor.\r\n";
constexpr const char* kGoneEn =
    "Error: The target folder '%s' is no longer available.\r\n"
    "The medium may have been removed or unmounted.\r\n";
constexpr const char* kGoneDe =
    "Fehler: Der Zielordner '%s' ist nicht mehr verfügbar.\r\n"
    "Möglicherweise wurde der Datenträger entfernt oder ausgehängt.\r\n";
constexpr const char* kMismatchEn =
    "Something is wrong here: %s MByte of test data expected,\r\n"
    "but only %s found!\r\n"
    "There may be errors in the file system, or\r\n"
    "another process has deleted files in the meantime.\r\n";
constexpr const char* kMismatchDe =
    "Hier ist was faul: %s MByte Testdaten erwartet,\r\n"
    "aber nur %s gefunden!\r\n"
    "Möglicherweise liegen Fehler im Dateisystem vor oder\r\n"
    "ein anderer Prozess hat zwischenzeitlich Dateien gelöscht.\r\n";

struct PassError {
  const char* name;
  bool write = true;  // the write pass of "Write + Verify", else the verify pass
  uint64_t size_mb;   // 0: all free space, free_mb of it
  uint64_t free_mb = 0;
  std::vector<std::pair<std::string, ErrorCode>> faults = {};
  bool discard = false;
  bool fail_volume_query = false;
  // Verify cases: the test files there before, in blocks (0: none), the
  // last one extra_bytes longer; a folder named like a test file; a first
  // read that delivers only part of a block.
  std::vector<uint64_t> blocks = {};
  uint64_t extra_bytes = 0;
  const char* folder = nullptr;
  size_t short_read = 0;
  // From this check of the target on (from 1), its path leads elsewhere.
  uint64_t gone_from_check = 0;
  // The message: formats whose "%s" take args in order ("#n": the path of
  // n.kvx, "DIR": the target), and the code of the system part (0: none).
  const char* english;
  const char* german;
  std::vector<std::string> args;
  ErrorCode sys = 0;
  // What the pass did, the state it left and what the target holds.
  const char* calls;
  const char* passes;
  const char* sectors = "0 0 0 0 0";
  const char* files = "";
};

const PassError kCases[] = {
    {.name = "CreateError", .size_mb = 4, .faults = {{"create 1", kEacces}},
     .english = kCreateEn, .german = kCreateDe, .args = {"#1"}, .sys = kEacces,
     .calls = "create-fail 1", .passes = "write 0 ended, verify 0 none, total 8, passes 0"},
    {.name = "CreateErrorOfTheSecondFileAfterAFullFirstOne", .size_mb = 1030,
     .faults = {{"create 2", kEio}}, .discard = true, .english = kCreateEn,
     .german = kCreateDe, .args = {"#2"}, .sys = kEio,
     .calls = "create 1, flush 1, close 1, create-fail 2",
     .passes = "write 1024 ended, verify 0 none, total 2060, passes 0", .files = "1.kvx=0"},
    // The third block of 2.kvx: offset 0x200000 in that file, not 0x40200000.
    {.name = "WriteErrorGivesTheOffsetWithinTheFile", .size_mb = 2000,
     .faults = {{"write 2:2", kEio}}, .discard = true, .english = kWriteEn,
     .german = kWriteDe, .args = {"#2", "0x200000"}, .sys = kEio,
     .calls = "create 1, flush 1, close 1, create 2, write-fail 2:2, close 2",
     .passes = "write 1026 ended, verify 0 none, total 4000, passes 0",
     .files = "1.kvx=0 2.kvx=0"},
    // The blocks before the failed one stay in the file, whole and intact.
    {.name = "WriteErrorKeepsTheBlocksBefore", .size_mb = 10,
     .faults = {{"write 1:2", kEio}}, .english = kWriteEn, .german = kWriteDe,
     .args = {"#1", "0x200000"}, .sys = kEio, .calls = "create 1, write-fail 1:2, close 1",
     .passes = "write 2 ended, verify 0 none, total 20, passes 0", .files = "1.kvx=2"},
    {.name = "WriteErrorOnTheFirstBlock", .size_mb = 3, .faults = {{"write 1:0", kEio}},
     .english = kWriteEn, .german = kWriteDe, .args = {"#1", "0x0"}, .sys = kEio,
     .calls = "create 1, write-fail 1:0, close 1",
     .passes = "write 0 ended, verify 0 none, total 6, passes 0", .files = "1.kvx=0"},
    {.name = "FlushError", .size_mb = 2, .faults = {{"flush 1", kEio}}, .english = kFlushEn,
     .german = kFlushDe, .args = {"#1"}, .sys = kEio, .calls = "create 1, flush-fail 1, close 1",
     .passes = "write 2 ended, verify 0 none, total 4, passes 0", .files = "1.kvx=2"},
    {.name = "CloseError", .size_mb = 2, .faults = {{"close 1", kEio}}, .english = kCloseEn,
     .german = kCloseDe, .args = {"#1"}, .sys = kEio, .calls = "create 1, flush 1, close-fail 1",
     .passes = "write 2 ended, verify 0 none, total 4, passes 0", .files = "1.kvx=2"},
    {.name = "CloseErrorOfTheFirstFileEndsThePassBeforeTheSecond", .size_mb = 1025,
     .faults = {{"close 1", kEio}}, .discard = true, .english = kCloseEn, .german = kCloseDe,
     .args = {"#1"}, .sys = kEio, .calls = "create 1, flush 1, close-fail 1",
     .passes = "write 1024 ended, verify 0 none, total 2050, passes 0", .files = "1.kvx=0"},
    // In a run of a fixed size a full medium is an error like any other, and
    // the size stays.
    {.name = "FullMediumInAFixedSizeRunIsAWriteError", .size_mb = 5,
     .faults = {{"write 1:2", kEnospc}}, .english = kWriteEn, .german = kWriteDe,
     .args = {"#1", "0x200000"}, .sys = kEnospc, .calls = "create 1, write-fail 1:2, close 1",
     .passes = "write 2 ended, verify 0 none, total 10, passes 0", .files = "1.kvx=2"},
    {.name = "FullMediumAtCreationInAFixedSizeRunIsACreationError", .size_mb = 5,
     .faults = {{"create 1", kEnospc}}, .english = kCreateEn, .german = kCreateDe,
     .args = {"#1"}, .sys = kEnospc, .calls = "create-fail 1",
     .passes = "write 0 ended, verify 0 none, total 10, passes 0"},
    // All free space: 100 MByte allow one missing; 98 written are two short.
    {.name = "FullMediumBeyondTheAllowance", .size_mb = 0, .free_mb = 100,
     .faults = {{"write 1:98", kEnospc}}, .english = kFullEn, .german = kFullDe,
     .args = {"100", "98"}, .calls = "create 1, write-fail 1:98, close 1",
     .passes = "write 98 ended, verify 0 none, total 200, passes 0", .files = "1.kvx=98"},
    {.name = "FullMediumAtTheFirstCreationBeyondTheAllowance", .size_mb = 0, .free_mb = 2,
     .faults = {{"create 1", kEnospc}}, .english = kFullEn, .german = kFullDe,
     .args = {"2", "0"}, .calls = "create-fail 1",
     .passes = "write 0 ended, verify 0 none, total 4, passes 0"},
    {.name = "FullMediumWhenCreatingTheSecondFile", .size_mb = 0, .free_mb = 1026,
     .faults = {{"create 2", kEnospc}}, .discard = true, .english = kFullEn,
     .german = kFullDe, .args = {"1026", "1024"},
     .calls = "create 1, flush 1, close 1, create-fail 2",
     .passes = "write 1024 ended, verify 0 none, total 2052, passes 0", .files = "1.kvx=0"},
    // The medium went away after the first file: nothing is created under
    // the target's path, wherever it leads now.
    {.name = "MediumGoneBeforeTheSecondFile", .size_mb = 1025, .discard = true,
     .gone_from_check = 2, .english = kGoneEn, .german = kGoneDe, .args = {"DIR"},
     .calls = "create 1, flush 1, close 1",
     .passes = "write 1024 ended, verify 0 none, total 2050, passes 0", .files = "1.kvx=0"},
    // A free space that could not be queried is all ones, printed signed.
    {.name = "UnknownFreeSpacePrintsMinusOne", .size_mb = 0,
     .faults = {{"write 1:2", kEnospc}}, .discard = true, .fail_volume_query = true,
     .english = kFullEn, .german = kFullDe, .args = {"-1", "2"},
     .calls = "create 1, write-fail 1:2, close 1",
     .passes = "write 2 ended, verify 0 none, total 18446744073709551614, passes 0",
     .files = "1.kvx=0"},

    {.name = "OpenErrorOtherThanNotFound", .write = false, .size_mb = 2,
     .faults = {{"open 2", kEacces}}, .blocks = {1, 1}, .english = kOpenEn, .german = kOpenDe,
     .args = {"#2"}, .sys = kEacces, .calls = "open 1, close 1, open-fail 2",
     .passes = "write 0 none, verify 1 ended, total 2, passes 1", .sectors = "2048 0 0 0 0"},
    // It exists, so it is no end of the test data, but it is no test file.
    {.name = "FolderNamedLikeATestFileIsAnOpenError", .write = false, .size_mb = 1,
     .blocks = {1}, .folder = "2.kvx", .english = kOpenEn, .german = kOpenDe, .args = {"#2"},
     .sys = kEisdir, .calls = "open 1, close 1, open-fail 2",
     .passes = "write 0 none, verify 1 ended, total 1, passes 1", .sectors = "2048 0 0 0 0"},
    {.name = "ReadErrorGivesTheOffsetWithinTheFile", .write = false, .size_mb = 4,
     .faults = {{"read 2:2", kEio}}, .blocks = {1, 3}, .english = kReadEn, .german = kReadDe,
     .args = {"#2", "0x200000"}, .sys = kEio,
     .calls = "open 1, close 1, open 2, read-fail 2:2, close 2",
     .passes = "write 0 none, verify 3 ended, total 4, passes 1", .sectors = "6144 0 0 0 0"},
    {.name = "ReadErrorOnTheFirstBlock", .write = false, .size_mb = 2,
     .faults = {{"read 1:0", kEio}}, .blocks = {2}, .english = kReadEn, .german = kReadDe,
     .args = {"#1", "0x0"}, .sys = kEio, .calls = "open 1, read-fail 1:0, close 1",
     .passes = "write 0 none, verify 0 ended, total 2, passes 1"},
    // The whole first block is verified; the short one is never examined.
    {.name = "FileOneBlockAnd512BytesLong", .write = false, .size_mb = 2, .blocks = {1},
     .extra_bytes = 512, .english = kPartialEn, .german = kPartialDe, .args = {"#1"},
     .calls = "open 1, close 1", .passes = "write 0 none, verify 1 ended, total 2, passes 1",
     .sectors = "2048 0 0 0 0"},
    {.name = "ShortReadIsNotExamined", .write = false, .size_mb = 2, .blocks = {2},
     .short_read = 4096, .english = kPartialEn, .german = kPartialDe, .args = {"#1"},
     .calls = "open 1, close 1", .passes = "write 0 none, verify 0 ended, total 2, passes 1"},
    {.name = "MediumGoneBeforeTheSecondFileIsRead", .write = false, .size_mb = 2,
     .blocks = {1, 1}, .gone_from_check = 2, .english = kGoneEn, .german = kGoneDe,
     .args = {"DIR"}, .calls = "open 1, close 1",
     .passes = "write 0 none, verify 1 ended, total 2, passes 1", .sectors = "2048 0 0 0 0"},
    {.name = "NoFirstFile", .write = false, .size_mb = 500, .english = kMismatchEn,
     .german = kMismatchDe, .args = {"500", "0"}, .calls = "open-fail 1",
     .passes = "write 0 none, verify 0 ended, total 500, passes 1"},
    {.name = "MoreDataThanExpected", .write = false, .size_mb = 2, .blocks = {3},
     .english = kMismatchEn, .german = kMismatchDe, .args = {"2", "3"},
     .calls = "open 1, close 1, open-fail 2",
     .passes = "write 0 none, verify 3 ended, total 2, passes 1", .sectors = "6144 0 0 0 0"},
    {.name = "LessDataThanExpected", .write = false, .size_mb = 3, .blocks = {2},
     .english = kMismatchEn, .german = kMismatchDe, .args = {"3", "2"},
     .calls = "open 1, close 1, open-fail 2",
     .passes = "write 0 none, verify 2 ended, total 3, passes 1", .sectors = "4096 0 0 0 0"},
    // The first missing number ends the test data; 4.kvx is never opened.
    {.name = "MissingFileInTheMiddle", .write = false, .size_mb = 3, .blocks = {1, 1, 0, 1},
     .english = kMismatchEn, .german = kMismatchDe, .args = {"3", "2"},
     .calls = "open 1, close 1, open 2, close 2, open-fail 3",
     .passes = "write 0 none, verify 2 ended, total 3, passes 1", .sectors = "4096 0 0 0 0"},
    // A scan that found nothing hands size 0 on: all free space is expected.
    {.name = "VanishedTestFilesInARunOverAllFreeSpace", .write = false, .size_mb = 0,
     .free_mb = 700, .english = kMismatchEn, .german = kMismatchDe, .args = {"700", "0"},
     .calls = "open-fail 1", .passes = "write 0 none, verify 0 ended, total 700, passes 1"},
};

void PrintTo(const PassError& c, std::ostream* os) { *os << c.name; }

class PassErrorTest : public EngineTest, public ::testing::WithParamInterface<PassError> {
 protected:
  // The format with its "%s" replaced by the values, in order.
  std::string Fill(std::string text, const std::vector<std::string>& args) const {
    for (const std::string& arg : args) {
      const std::string value = arg == "DIR"   ? dir_.path()
                                : arg[0] == '#' ? File(std::stoull(arg.substr(1)))
                                                : arg;
      text.replace(text.find("%s"), 2, value);
    }
    return text;
  }
  // Whatever a write pass left is whole blocks of its own pattern.
  void ExpectIntactFiles() {
    for (const std::string& name : ListDir(dir_.path()))
      EXPECT_EQ(CountForeignSectors(dir_.File(name), (std::stoull(name) - 1) * kGiB), 0u);
  }
};

TEST_P(PassErrorTest, MessageInBothLanguagesAndTheStateLeft) {
  const PassError& c = GetParam();
  uint64_t offset = 0;
  for (size_t i = 0; i < c.blocks.size(); ++i) {
    const uint64_t extra = i + 1 == c.blocks.size() ? c.extra_bytes : 0;
    if (c.blocks[i] != 0) WritePatternFile(File(i + 1), offset, c.blocks[i], extra);
    offset += c.blocks[i] * kMiB;
  }
  if (c.folder) {
    ASSERT_TRUE(std::filesystem::create_directory(dir_.File(c.folder)));
  }
  if (c.short_read != 0) platform_.short_reads["read 1:0"] = c.short_read;
  platform_.discard_writes = c.discard;
  platform_.fail_volume_query = c.fail_volume_query;
  if (c.size_mb == 0) platform_.volume = {{c.free_mb * kMiB + 4095, 3000 * kMiB}};

  for (int language : {kEnglish, kGerman}) {
    SCOPED_TRACE(language == kEnglish ? "English" : "German");
    LanguageGuard lang(language);
    if (c.write) Reset();
    for (const auto& [event, code] : c.faults) platform_.fail[event] = code;
    platform_.events.clear();
    platform_.folder_checks = 0;
    platform_.gone_from_check = c.gone_from_check;
    Prepare(c.size_mb, c.write, true);
    const RunError error = c.write ? engine_.WritePass() : engine_.VerifyPass();
    EXPECT_TRUE(error);
    // The pass has closed its file and cleared its flag before the run
    // records what ended it.
    EXPECT_EQ(platform_.OpenHandles(), 0u);
    EXPECT_EQ(Passes(Status()), c.passes);
    engine_.RaiseError(error);
    const std::string expected =
        Fill(language == kEnglish ? c.english : c.german, c.args) + (c.sys ? Sys(c.sys) : "");
    EXPECT_EQ(engine_.ErrorText(), expected);
    EXPECT_EQ(platform_.Calls(), c.calls);
    EXPECT_EQ(platform_.OpenHandles(), 0u);
    EXPECT_EQ(Passes(Status()), c.passes);
    // The size stays what the run planned.
    EXPECT_EQ(engine_.SizeMB() * (c.write ? 2 : 1), Status().m_mbTotal);
    EXPECT_EQ(Sectors(Status()), c.sectors);
    EXPECT_EQ(First(Status()), "none");
    if (c.write) {
      EXPECT_EQ(Files(), c.files);
      ExpectIntactFiles();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PassErrorTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kalvex::testing
