// The write pass: files, blocks and their content, every way it can fail with
// its message in both languages, the full medium of a run over all free space,
// and abort.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tests/engine/fault_platform.h"
#include "tests/engine/test_support.h"

namespace kalvex::testing {
namespace {

// The part RaiseSystemError appends with the fake system text.
std::string Sys(ErrorCode code) {
  return "\r\n(Fake system text Code " + std::to_string(code) + ")\r\n";
}

class WritePassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_.SetErrorText(kFakeSystemText);
    engine_.SetTargetPath(dir_.path().c_str());
  }
  // A "Write + Verify" run of a fixed size, prepared; the pass itself is run
  // by the test.
  void PrepareFixed(uint64_t size_mb) {
    engine_.SetSize(size_mb);
    engine_.m_doWrite = true;
    engine_.m_doVerify = true;
    engine_.PrepareRun();
    ASSERT_FALSE(engine_.UseAllSpace());
  }
  // A run over all free space with the given free MByte.
  void PrepareAllSpace(uint64_t free_mb, uint64_t capacity_mb) {
    platform_.SetVolumeSpace(free_mb * kMiB + 4095, capacity_mb * kMiB);
    engine_.SetSize(0);
    engine_.m_doWrite = true;
    engine_.m_doVerify = true;
    engine_.PrepareRun();
    ASSERT_TRUE(engine_.UseAllSpace());
    ASSERT_EQ(engine_.SizeMB(), free_mb);
  }
  std::string File(uint64_t n) const { return dir_.File(std::to_string(n) + ".kvx"); }
  RunStatus Status() const { return engine_.CopyStatus(); }
  // What every failed pass must leave: no open file, the flags, a message.
  void ExpectFailedPassState() {
    EXPECT_EQ(platform_.OpenHandles(), 0u);
    const RunStatus s = Status();
    EXPECT_TRUE(s.m_writeStarted);
    EXPECT_FALSE(s.m_writing);
    EXPECT_FALSE(s.m_verifyStarted);
  }

  TempDir dir_;
  FaultPlatform platform_;
  CTestEngine engine_{platform_};
};

// --- Normal ends ---

TEST_F(WritePassTest, NoFreeSpaceMeansNoFileButAStartedPass) {
  platform_.UseSteppingCounter(1000);
  PrepareAllSpace(0, 100);
  EXPECT_TRUE(engine_.WritePass());
  EXPECT_EQ(platform_.Creates(), 0u);
  EXPECT_TRUE(ListDir(dir_.path()).empty());
  const RunStatus s = Status();
  EXPECT_TRUE(s.m_writeStarted);
  EXPECT_FALSE(s.m_writing);
  EXPECT_EQ(s.m_mbWritten, 0u);
  // Start, then last, each from its own reading of the counter.
  EXPECT_EQ(s.m_writeStart, 1000);
  EXPECT_EQ(s.m_writeLast, 1001);
  EXPECT_TRUE(engine_.ErrorText().empty());
}

TEST_F(WritePassTest, OneMByteMakesOneFileOfOneBlock) {
  PrepareFixed(1);
  EXPECT_TRUE(engine_.WritePass());
  EXPECT_EQ(ListDir(dir_.path()), std::vector<std::string>{"1.kvx"});
  EXPECT_EQ(FileSizeOf(File(1)), kMiB);
  EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  EXPECT_EQ(platform_.Events(),
            (std::vector<std::string>{"create 1", "write 1:0", "flush 1", "close 1"}));
  const RunStatus s = Status();
  EXPECT_EQ(s.m_mbWritten, 1u);
  EXPECT_TRUE(s.m_writeStarted);
  EXPECT_FALSE(s.m_writing);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
  EXPECT_TRUE(engine_.ErrorText().empty());
}

TEST_F(WritePassTest, FileBytesMatchTheWorkedExample) {
  PrepareFixed(2);
  ASSERT_TRUE(engine_.WritePass());
  EXPECT_EQ(ReadBytes(File(1), 0, 32),
            (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0x10, 0x01, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00,
                                  0x01, 0x10, 0x00, 0x00, 0x0F, 0x02, 0x00, 0x00}));
  EXPECT_EQ(ReadBytes(File(1), 512, 32),
            (std::vector<uint8_t>{0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0x11, 0x1E, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
                                  0x10, 0xC3, 0x01, 0x00, 0x11, 0x3C, 0x00, 0x00,
                                  0x01, 0x6E, 0x1A, 0x00, 0x0F, 0x48, 0x05, 0x00}));
  // The second block begins with its own offset, 1 MiB.
  EXPECT_EQ(ReadBytes(File(1), kMiB, 8),
            (std::vector<uint8_t>{0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(WritePassTest, CounterAfterEveryBlock) {
  platform_.UseSteppingCounter(50);
  PrepareFixed(3);
  ASSERT_TRUE(engine_.WritePass());
  const RunStatus s = Status();
  EXPECT_EQ(s.m_mbWritten, 3u);
  EXPECT_EQ(s.m_writeStart, 50);
  EXPECT_EQ(s.m_writeLast, 50 + 1 + 3);  // one reading after each block
  EXPECT_EQ(FileSizeOf(File(1)), 3 * kMiB);
  EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
}

TEST_F(WritePassTest, ExactlyOneGiBIsOneFileAndNoSecond) {
  platform_.DiscardWrites(true);
  PrepareFixed(1024);
  ASSERT_TRUE(engine_.WritePass());
  EXPECT_EQ(platform_.Creates(), 1u);
  EXPECT_EQ(platform_.Writes(), 1024u);
  EXPECT_TRUE(platform_.HasEvent("write 1:1023"));
  EXPECT_TRUE(platform_.HasEvent("flush 1"));
  EXPECT_TRUE(platform_.HasEvent("close 1"));
  EXPECT_FALSE(platform_.HasEvent("create 2"));
  EXPECT_FALSE(FileExists(File(2)));
  const std::vector<uint64_t> words = platform_.WrittenFirstWords();
  ASSERT_EQ(words.size(), 1024u);
  for (uint64_t i = 0; i < words.size(); ++i) ASSERT_EQ(words[i], i * kMiB) << "block " << i;
}

TEST_F(WritePassTest, OffsetsRunOnIntoTheSecondFile) {
  platform_.DiscardWrites(true);
  PrepareFixed(1025);
  ASSERT_TRUE(engine_.WritePass());
  EXPECT_EQ(platform_.Creates(), 2u);
  EXPECT_EQ(platform_.Writes(), 1025u);
  const std::vector<std::string> events = platform_.Events();
  ASSERT_GE(events.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(events.end() - 7, events.end()),
            (std::vector<std::string>{"write 1:1023", "flush 1", "close 1", "create 2",
                                      "write 2:0", "flush 2", "close 2"}));
  EXPECT_EQ(platform_.WrittenFirstWords().back(), 0x40000000u);
  EXPECT_EQ(Status().m_mbWritten, 1025u);
}

TEST_F(WritePassTest, TargetEndingInASeparatorGetsNoSecondOne) {
  engine_.SetTargetPath((dir_.path() + "/").c_str());
  PrepareFixed(1);
  ASSERT_TRUE(engine_.WritePass());
  EXPECT_STREQ(engine_.FileName(), (dir_.path() + "/1.kvx").c_str());
  EXPECT_EQ(FileSizeOf(File(1)), kMiB);
}

TEST_F(WritePassTest, PercentSignsInTheTargetAreOrdinaryCharacters) {
  const std::string target = dir_.File("100% %s %n %llu");
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  engine_.SetTargetPath(target.c_str());
  PrepareFixed(1);
  ASSERT_TRUE(engine_.WritePass());
  EXPECT_EQ(FileSizeOf(target + "/1.kvx"), kMiB);
  platform_.FailCreate(1, kEio);
  std::remove((target + "/1.kvx").c_str());
  engine_.PrepareRun();
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(engine_.ErrorText(), "Error creating file '" + target + "/1.kvx'." + Sys(5));
}

// --- Creation ---

TEST_F(WritePassTest, CreationErrorInBothLanguages) {
  platform_.FailCreate(1, kEacces);
  PrepareFixed(4);
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(), "Error creating file '" + File(1) + "'." + Sys(13));
  }
  {
    LanguageGuard lang(kGerman);
    engine_.PrepareRun();
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(),
              "Fehler beim Anlegen der Datei '" + File(1) + "'." + Sys(13));
  }
  ExpectFailedPassState();
  EXPECT_TRUE(ListDir(dir_.path()).empty());
}

TEST_F(WritePassTest, CreationErrorOfTheSecondFileAfterAFullFirstOne) {
  platform_.DiscardWrites(true);
  platform_.FailCreate(2, kEio);
  PrepareFixed(1030);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(engine_.ErrorText(), "Error creating file '" + File(2) + "'." + Sys(5));
  EXPECT_TRUE(platform_.HasEvent("flush 1"));
  EXPECT_TRUE(platform_.HasEvent("close 1"));
  EXPECT_EQ(Status().m_mbWritten, 1024u);
  ExpectFailedPassState();
}

TEST_F(WritePassTest, ExistingTestFileIsNeverOverwrittenOrTruncated) {
  // The real system's text here: the file exists.
  FaultPlatform real;
  CTestEngine engine(real);
  engine.SetTargetPath(dir_.path().c_str());
  const std::vector<uint8_t> old_content(1000, 0x77);
  MakeFileWithBytes(File(1), old_content);
  const timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, File(1).c_str(), old_times, 0), 0);

  engine.SetSize(2);
  engine.m_doWrite = true;
  engine.m_doVerify = true;
  engine.PrepareRun();
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine.WritePass());
  EXPECT_EQ(engine.ErrorText(), "Error creating file '" + File(1) + "'.\r\n(" +
                                    std::strerror(EEXIST) + " Code 17)\r\n");
  struct stat st;
  ASSERT_EQ(stat(File(1).c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 1000);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(ReadBytes(File(1), 0, 2000), old_content);
  EXPECT_FALSE(FileExists(File(2)));
  EXPECT_EQ(real.OpenHandles(), 0u);
}

// --- Writing ---

TEST_F(WritePassTest, WriteErrorGivesTheOffsetWithinTheFileInBothLanguages) {
  // The third block of 2.kvx: offset 0x200000 in that file, not 0x40200000.
  platform_.DiscardWrites(true);
  platform_.FailWriteInFile(2, 2, kEio);
  PrepareFixed(2000);
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(),
              "Error writing file '" + File(2) +
                  "', offset 0x200000.\r\nIt is still possible to verify the test data "
                  "written up to this point." +
                  Sys(5));
  }
  EXPECT_EQ(Status().m_mbWritten, 1026u);
  EXPECT_TRUE(platform_.HasEvent("close 2"));
  EXPECT_FALSE(platform_.HasEvent("flush 2"));
  EXPECT_FALSE(platform_.HasEvent("create 3"));
  ExpectFailedPassState();
}

TEST_F(WritePassTest, WriteErrorInGerman) {
  platform_.FailWriteAt(3, kEio);
  PrepareFixed(10);
  LanguageGuard lang(kGerman);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(engine_.ErrorText(),
            "Fehler beim Schreiben der Datei '" + File(1) +
                "', Offset 0x200000.\r\nBis hierher geschriebene Testdaten k\xC3\xB6nnen "
                "trotzdem gepr\xC3\xBC" "ft werden." +
                Sys(5));
  // The blocks before the failed one stay in the file, whole and intact.
  EXPECT_EQ(FileSizeOf(File(1)), 2 * kMiB);
  EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  EXPECT_EQ(Status().m_mbWritten, 2u);
  ExpectFailedPassState();
}

TEST_F(WritePassTest, WriteErrorOnTheFirstBlockGivesOffsetZero) {
  platform_.FailWriteAt(1, kEio);
  PrepareFixed(3);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(engine_.ErrorText().rfind("Error writing file '" + File(1) + "', offset 0x0.\r\n", 0),
            0u);
  EXPECT_EQ(FileSizeOf(File(1)), 0u);
  ExpectFailedPassState();
}

TEST_F(WritePassTest, FlushErrorInBothLanguages) {
  platform_.FailFlush(1, kEio);
  PrepareFixed(2);
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(), "Error finalizing file '" + File(1) + "'." + Sys(5));
  }
  ExpectFailedPassState();
  EXPECT_TRUE(platform_.HasEvent("close 1"));
  std::remove(File(1).c_str());
  {
    LanguageGuard lang(kGerman);
    engine_.PrepareRun();
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(),
              "Fehler beim Finalisieren der Datei '" + File(1) + "'." + Sys(5));
  }
  ExpectFailedPassState();
}

TEST_F(WritePassTest, CloseErrorInBothLanguages) {
  platform_.FailClose(1, kEio);
  PrepareFixed(2);
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(), "Error closing file '" + File(1) + "'." + Sys(5));
  }
  ExpectFailedPassState();
  EXPECT_TRUE(platform_.HasEvent("flush 1"));
  std::remove(File(1).c_str());
  {
    LanguageGuard lang(kGerman);
    engine_.PrepareRun();
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(),
              "Fehler beim Schlie\xC3\x9F" "en der Datei '" + File(1) + "'." + Sys(5));
  }
  ExpectFailedPassState();
}

TEST_F(WritePassTest, CloseErrorOfTheFirstFileEndsThePassBeforeTheSecond) {
  platform_.DiscardWrites(true);
  platform_.FailClose(1, kEio);
  PrepareFixed(1025);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(platform_.Creates(), 1u);
  EXPECT_FALSE(FileExists(File(2)));
}

// --- A full medium ---

TEST_F(WritePassTest, FullMediumInAFixedSizeRunIsAnOrdinaryWriteError) {
  platform_.FailWriteAt(3, kEnospc);
  PrepareFixed(5);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(engine_.ErrorText(),
            "Error writing file '" + File(1) +
                "', offset 0x200000.\r\nIt is still possible to verify the test data "
                "written up to this point." +
                Sys(28));
  EXPECT_EQ(engine_.SizeMB(), 5u);
  ExpectFailedPassState();
}

TEST_F(WritePassTest, FullMediumAtCreationInAFixedSizeRunIsAnOrdinaryCreationError) {
  platform_.FailCreate(1, kEnospc);
  PrepareFixed(5);
  LanguageGuard lang(kGerman);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(engine_.ErrorText(), "Fehler beim Anlegen der Datei '" + File(1) + "'." + Sys(28));
  EXPECT_EQ(engine_.SizeMB(), 5u);
}

TEST_F(WritePassTest, FullMediumWithinTheAllowanceCutsTheSize) {
  // 100 MByte planned: allowance 1. Full when the 100th block is written.
  LanguageGuard lang(kEnglish);
  PrepareAllSpace(100, 300);
  EXPECT_EQ(Status().m_mbTotal, 200u);
  platform_.FailWriteAt(100, kEnospc);
  EXPECT_TRUE(engine_.WritePass());
  EXPECT_EQ(engine_.SizeMB(), 99u);
  const RunStatus s = Status();
  EXPECT_EQ(s.m_mbTotal, 198u);
  EXPECT_EQ(s.m_mbWritten, 99u);
  EXPECT_FALSE(s.m_writing);
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(engine_.WarningText(), "Warning: Only 99 of 300 MByte tested.\r\n");
  // The file written so far is flushed and closed, and no other follows.
  EXPECT_EQ(FileSizeOf(File(1)), 99 * kMiB);
  EXPECT_TRUE(platform_.HasEvent("flush 1"));
  EXPECT_TRUE(platform_.HasEvent("close 1"));
  EXPECT_EQ(platform_.Creates(), 1u);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

TEST_F(WritePassTest, FullMediumBeyondTheAllowanceInBothLanguages) {
  PrepareAllSpace(100, 300);
  platform_.FailWriteInFile(1, 98, kEnospc);  // 98 written: 2 short, allowance 1
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(),
              "Media has filled up earlier than expected!\r\n"
              "In the beginning there were 100 MByte free, but only\r\n"
              "98 MByte could be written.\r\n");
  }
  EXPECT_EQ(engine_.SizeMB(), 100u);
  EXPECT_EQ(FileSizeOf(File(1)), 98 * kMiB);
  EXPECT_FALSE(platform_.HasEvent("flush 1"));
  EXPECT_TRUE(platform_.HasEvent("close 1"));
  ExpectFailedPassState();

  std::remove(File(1).c_str());
  engine_.SetSize(0);
  engine_.PrepareRun();
  {
    LanguageGuard lang(kGerman);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(),
              "Datentr\xC3\xA4ger schneller als erwartet voll!\r\n"
              "Zu Beginn waren 100 MByte frei, aber es konnten nur\r\n"
              "98 MByte geschrieben werden.\r\n");
  }
}

TEST_F(WritePassTest, FullMediumAtTheFirstCreationWithinTheAllowance) {
  PrepareAllSpace(1, 300);
  platform_.FailCreate(1, kEnospc);
  EXPECT_TRUE(engine_.WritePass());
  EXPECT_EQ(engine_.SizeMB(), 0u);
  EXPECT_EQ(Status().m_mbTotal, 0u);
  EXPECT_FALSE(Status().m_writing);
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_TRUE(ListDir(dir_.path()).empty());
}

TEST_F(WritePassTest, FullMediumAtTheFirstCreationBeyondTheAllowance) {
  LanguageGuard lang(kEnglish);
  PrepareAllSpace(2, 300);
  platform_.FailCreate(1, kEnospc);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(engine_.ErrorText(),
            "Media has filled up earlier than expected!\r\n"
            "In the beginning there were 2 MByte free, but only\r\n"
            "0 MByte could be written.\r\n");
  ExpectFailedPassState();
}

TEST_F(WritePassTest, FullMediumWhenCreatingTheSecondFile) {
  platform_.DiscardWrites(true);
  PrepareAllSpace(1025, 2000);
  platform_.FailCreate(2, kEnospc);
  EXPECT_TRUE(engine_.WritePass());
  EXPECT_EQ(engine_.SizeMB(), 1024u);
  EXPECT_EQ(Status().m_mbTotal, 2048u);
  EXPECT_TRUE(engine_.ErrorText().empty());

  engine_.SetSize(0);
  platform_.SetVolumeSpace(1026 * kMiB, 2000 * kMiB);
  std::remove(File(1).c_str());
  engine_.PrepareRun();
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(engine_.ErrorText(),
            "Media has filled up earlier than expected!\r\n"
            "In the beginning there were 1026 MByte free, but only\r\n"
            "1024 MByte could be written.\r\n");
}

TEST_F(WritePassTest, UnknownFreeSpacePrintsMinusOne) {
  platform_.DiscardWrites(true);
  platform_.FailVolumeQuery();
  engine_.SetSize(0);
  engine_.m_doWrite = true;
  engine_.m_doVerify = true;
  engine_.PrepareRun();
  ASSERT_EQ(engine_.SizeMB(), 0xFFFFFFFFFFFFFFFFu);
  platform_.FailWriteInFile(1, 2, kEnospc);
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(),
              "Media has filled up earlier than expected!\r\n"
              "In the beginning there were -1 MByte free, but only\r\n"
              "2 MByte could be written.\r\n");
  }
  std::remove(File(1).c_str());
  engine_.SetSize(0);
  engine_.PrepareRun();
  {
    LanguageGuard lang(kGerman);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(),
              "Datentr\xC3\xA4ger schneller als erwartet voll!\r\n"
              "Zu Beginn waren -1 MByte frei, aber es konnten nur\r\n"
              "2 MByte geschrieben werden.\r\n");
  }
}

// --- Abort ---

TEST_F(WritePassTest, AbortBetweenBlocksClosesTheFileWithoutAMessage) {
  PrepareFixed(10);
  platform_.OnWrite([this](const WriteInfo& info) {
    if (info.write_number == 3) engine_.RequestAbort();
  });
  EXPECT_TRUE(engine_.WritePass());
  EXPECT_TRUE(engine_.ErrorText().empty());
  const RunStatus s = Status();
  EXPECT_FALSE(s.m_writing);
  EXPECT_EQ(s.m_mbWritten, 3u);
  EXPECT_EQ(FileSizeOf(File(1)), 3 * kMiB);
  EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  EXPECT_FALSE(platform_.HasEvent("flush 1"));
  EXPECT_TRUE(platform_.HasEvent("close 1"));
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

TEST_F(WritePassTest, AbortBeforeTheFirstBlockLeavesAnEmptyFile) {
  PrepareFixed(10);
  engine_.RequestAbort();
  EXPECT_TRUE(engine_.WritePass());
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(FileSizeOf(File(1)), 0u);
  EXPECT_EQ(platform_.Writes(), 0u);
  EXPECT_EQ(platform_.Events(), (std::vector<std::string>{"create 1", "close 1"}));
  EXPECT_FALSE(Status().m_writing);
}

TEST_F(WritePassTest, AbortBeforeTheFirstBlockOfTheSecondFile) {
  platform_.DiscardWrites(true);
  PrepareFixed(2000);
  platform_.OnWrite([this](const WriteInfo& info) {
    if (info.write_number == 1024) engine_.RequestAbort();
  });
  EXPECT_TRUE(engine_.WritePass());
  EXPECT_TRUE(platform_.HasEvent("flush 1"));
  EXPECT_TRUE(platform_.HasEvent("close 1"));
  EXPECT_TRUE(FileExists(File(2)));
  EXPECT_EQ(FileSizeOf(File(2)), 0u);
  EXPECT_FALSE(platform_.HasEvent("flush 2"));
  EXPECT_TRUE(platform_.HasEvent("close 2"));
  EXPECT_EQ(Status().m_mbWritten, 1024u);
}

// --- Target paths too long for the test file names ---

// A folder path of exactly `length` bytes below dir, made of components that
// do not exist.
std::string LongPath(const std::string& dir, size_t length, const std::string& unit) {
  std::string path = dir + "/";
  size_t in_component = 0;
  while (path.size() < length) {
    if (in_component == 40 && length - path.size() >= 2) {
      path += '/';
      in_component = 0;
      continue;
    }
    if (path.size() + unit.size() <= length)
      path += unit;
    else
      path += 'x';
    ++in_component;
  }
  return path;
}

TEST_F(WritePassTest, TargetPathTooLongForTheNameIsAClearError) {
  // "/1.kvx" and the terminator no longer fit into the name buffer.
  const std::string path = LongPath(dir_.path(), kMaxPath - 6, "a");
  ASSERT_EQ(path.size(), kMaxPath - 6);
  engine_.SetTargetPath(path.c_str());
  PrepareFixed(1);
  const std::string english =
      "Error: The path of the target folder '" + path + "' is too long for the test files.";
  const std::string german =
      "Fehler: Der Pfad des Zielordners '" + path + "' ist f\xC3\xBCr die Testdateien zu lang.";
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(), english.substr(0, 999));
  }
  {
    LanguageGuard lang(kGerman);
    EXPECT_FALSE(engine_.WritePass());
    EXPECT_EQ(engine_.ErrorText(), german.substr(0, 999));
  }
  EXPECT_EQ(platform_.Creates(), 0u);
  // The name buffer holds a cut, terminated name and nothing beyond it.
  const std::string name = engine_.FileName();
  EXPECT_LT(name.size(), kMaxPath);
  EXPECT_EQ((path + "/1.kvx").compare(0, name.size(), name), 0);
  EXPECT_FALSE(Status().m_writing);
}

TEST_F(WritePassTest, LongestTargetPathThatStillFitsIsTried) {
  const std::string path = LongPath(dir_.path(), kMaxPath - 7, "a");
  engine_.SetTargetPath(path.c_str());
  PrepareFixed(1);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.WritePass());  // the folder does not exist
  EXPECT_EQ(platform_.Creates(), 1u);
  EXPECT_EQ(std::string(engine_.FileName()), path + "/1.kvx");
  EXPECT_EQ(engine_.ErrorText().rfind("Error creating file '", 0), 0u);
}

TEST_F(WritePassTest, TooLongTargetWithUmlautsIsCutOnACharacterBoundary) {
  const std::string path = LongPath(dir_.path(), kMaxPath + 100, "\xC3\xA4");  // ä
  engine_.SetTargetPath(path.c_str());
  PrepareFixed(1);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.WritePass());
  const std::string text = engine_.ErrorText();
  const std::string full =
      "Error: The path of the target folder '" + path + "' is too long for the test files.";
  EXPECT_EQ(full.compare(0, text.size(), text), 0);
  // 999 characters: fewer bytes than characters would take in ASCII only.
  size_t chars = 0;
  for (unsigned char c : text) chars += (c & 0xC0) != 0x80;
  EXPECT_EQ(chars, 999u);
  EXPECT_NE(static_cast<unsigned char>(text.back()), 0xC3);  // no half character
  EXPECT_EQ(platform_.Creates(), 0u);
}

}  // namespace
}  // namespace kalvex::testing
