// The verify pass: reading the test files back in number order, the offsets
// it checks them at, every way it can fail with its message in both
// languages, abort, and the fresh start of every pass.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tests/engine/fault_platform.h"
#include "tests/engine/test_support.h"

namespace kalvex::testing {
namespace {

std::string Sys(ErrorCode code) {
  return "\r\n(Fake system text Code " + std::to_string(code) + ")\r\n";
}

std::string MismatchEnglish(uint64_t expected, uint64_t found) {
  return "Something is wrong here: " + std::to_string(expected) +
         " MByte of test data expected,\r\nbut only " + std::to_string(found) +
         " found!\r\nThere may be errors in the file system, or\r\n"
         "another process has deleted files in the meantime.\r\n";
}

std::string MismatchGerman(uint64_t expected, uint64_t found) {
  return "Hier ist was faul: " + std::to_string(expected) +
         " MByte Testdaten erwartet,\r\naber nur " + std::to_string(found) +
         " gefunden!\r\nM\xC3\xB6glicherweise liegen Fehler im Dateisystem vor oder\r\n"
         "ein anderer Prozess hat zwischenzeitlich Dateien gel\xC3\xB6scht.\r\n";
}

class VerifyPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_.SetErrorText(kFakeSystemText);
    engine_.SetTargetPath(dir_.path().c_str());
  }
  // A verify-only run of the given size, prepared.
  void PrepareVerify(uint64_t size_mb) {
    engine_.SetSize(size_mb);
    engine_.m_doWrite = false;
    engine_.m_doVerify = true;
    engine_.PrepareRun();
  }
  std::string File(uint64_t n) const { return dir_.File(std::to_string(n) + ".kvx"); }
  RunStatus Status() const { return engine_.CopyStatus(); }
  void ExpectFailedPassState() {
    EXPECT_EQ(platform_.OpenHandles(), 0u);
    EXPECT_TRUE(Status().m_verifyStarted);
    EXPECT_FALSE(Status().m_verifying);
  }

  TempDir dir_;
  FaultPlatform platform_;
  CTestEngine engine_{platform_};
};

TEST_F(VerifyPassTest, FilesAreReadInOrderAndOffsetsRunOnAcrossThem) {
  // The offsets are the bytes read so far: 2.kvx is checked from 3 MiB on.
  WritePatternFile(File(1), 0, 3);
  WritePatternFile(File(2), 3 * kMiB, 2);
  platform_.UseSteppingCounter(10);
  PrepareVerify(5);
  EXPECT_TRUE(engine_.VerifyPass());
  const RunStatus s = Status();
  EXPECT_EQ(s.m_okSectors, 5 * 2048u);
  EXPECT_EQ(s.m_overwrittenSectors + s.m_changedSectors + s.m_corruptedSectors, 0u);
  EXPECT_FALSE(s.m_firstError.taken);
  EXPECT_EQ(s.m_mbVerified, 5u);
  EXPECT_TRUE(s.m_verifyStarted);
  EXPECT_FALSE(s.m_verifying);
  EXPECT_EQ(s.m_verifyStart, 10);
  EXPECT_EQ(s.m_verifyLast, 10 + 1 + 5);
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(platform_.Events(),
            (std::vector<std::string>{"open 1", "read 1:0", "read 1:1", "read 1:2", "read 1:3",
                                      "close 1", "open 2", "read 2:0", "read 2:1", "read 2:2",
                                      "close 2", "open-fail 3"}));
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

TEST_F(VerifyPassTest, NeverChangesTheFiles) {
  WritePatternFile(File(1), 0, 2);
  PrepareVerify(2);
  ASSERT_TRUE(engine_.VerifyPass());
  EXPECT_EQ(FileSizeOf(File(1)), 2 * kMiB);
  EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  EXPECT_EQ(platform_.Creates(), 0u);
  EXPECT_EQ(platform_.Writes(), 0u);
}

TEST_F(VerifyPassTest, FirstErrorInTheSecondFileHasItsOffsetInTheWholeTestData) {
  WritePatternFile(File(1), 0, 1);
  WritePatternFile(File(2), kMiB, 1);
  platform_.OnRead([](const ReadInfo& info, uint8_t* data, size_t) {
    if (info.file_number == 2) data[3 * 512 + 16] ^= 0x80;  // sector 3, word 2, bit 7
  });
  PrepareVerify(2);
  ASSERT_TRUE(engine_.VerifyPass());
  const RunStatus s = Status();
  EXPECT_EQ(s.m_changedSectors, 1u);
  ASSERT_TRUE(s.m_firstError.taken);
  EXPECT_EQ(s.m_firstError.offset, kMiB + 3 * 512 + 16);
  EXPECT_EQ(s.m_firstError.expected, RefWord(kMiB + 3 * 512, 2));
  EXPECT_EQ(s.m_firstError.found, RefWord(kMiB + 3 * 512, 2) ^ 0x80);
}

TEST_F(VerifyPassTest, EmptyFileIsSkippedAndLaterBlocksMeetOtherOffsets) {
  // 2.kvx holds the data written for 1 GiB on, but follows 0 bytes read.
  MakeSparseFile(File(1), 0);
  WritePatternFile(File(2), kGiB, 1);
  PrepareVerify(1);
  EXPECT_TRUE(engine_.VerifyPass());
  const RunStatus s = Status();
  EXPECT_EQ(s.m_mbVerified, 1u);
  EXPECT_EQ(s.m_okSectors, 0u);
  EXPECT_EQ(s.m_overwrittenSectors, 2048u);
  EXPECT_EQ(s.m_aliasedCount, 2048u);
  ASSERT_TRUE(s.m_firstError.taken);
  EXPECT_EQ(s.m_firstError.offset, 0u);
  EXPECT_EQ(s.m_firstError.expected, 0u);
  EXPECT_EQ(s.m_firstError.found, 0x40000000u);
  EXPECT_TRUE(engine_.ErrorText().empty());
}

// --- A partial block ---

TEST_F(VerifyPassTest, FileOneBlockAnd512BytesLongInBothLanguages) {
  WritePatternFile(File(1), 0, 1, 512);
  PrepareVerify(2);
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_EQ(engine_.ErrorText(),
              "Error: Size of file '" + File(1) +
                  "' is not a multiple of 1048576 bytes.\r\n"
                  "There may be errors in the file system.\r\n");
  }
  // The whole first block was verified; the short one was not examined.
  EXPECT_EQ(Status().m_mbVerified, 1u);
  EXPECT_EQ(Status().m_okSectors, 2048u);
  EXPECT_EQ(Status().m_corruptedSectors + Status().m_changedSectors, 0u);
  ExpectFailedPassState();
  {
    LanguageGuard lang(kGerman);
    engine_.PrepareRun();
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_EQ(engine_.ErrorText(),
              "Fehler: Gr\xC3\xB6\xC3\x9F" "e der Datei '" + File(1) +
                  "' ist kein Vielfaches von 1048576 Byte.\r\n"
                  "M\xC3\xB6glicherweise liegen Fehler im Dateisystem vor.\r\n");
  }
  ExpectFailedPassState();
}

TEST_F(VerifyPassTest, ShortReadIsNotExamined) {
  WritePatternFile(File(1), 0, 2);
  platform_.ShortReadInFile(1, 0, 4096);
  PrepareVerify(2);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(engine_.ErrorText().rfind("Error: Size of file '" + File(1) + "'", 0), 0u);
  EXPECT_EQ(Status().m_mbVerified, 0u);
  EXPECT_EQ(Status().m_okSectors, 0u);
  EXPECT_FALSE(Status().m_firstError.taken);
  ExpectFailedPassState();
}

// --- The amount found differs from the size ---

TEST_F(VerifyPassTest, NoFirstFileWithSize500InBothLanguages) {
  PrepareVerify(500);
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_EQ(engine_.ErrorText(), MismatchEnglish(500, 0));
  }
  {
    LanguageGuard lang(kGerman);
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_EQ(engine_.ErrorText(), MismatchGerman(500, 0));
  }
  ExpectFailedPassState();
}

TEST_F(VerifyPassTest, MoreDataThanExpected) {
  WritePatternFile(File(1), 0, 3);
  PrepareVerify(2);
  LanguageGuard lang(kGerman);
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(engine_.ErrorText(), MismatchGerman(2, 3));
  EXPECT_EQ(Status().m_okSectors, 3 * 2048u);
  ExpectFailedPassState();
}

TEST_F(VerifyPassTest, LessDataThanExpected) {
  WritePatternFile(File(1), 0, 2);
  PrepareVerify(3);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(engine_.ErrorText(), MismatchEnglish(3, 2));
  ExpectFailedPassState();
}

TEST_F(VerifyPassTest, MissingFileInTheMiddleEndsTheTestData) {
  WritePatternFile(File(1), 0, 1);
  WritePatternFile(File(2), kMiB, 1);
  WritePatternFile(File(4), 2 * kMiB, 1);
  PrepareVerify(2);
  EXPECT_TRUE(engine_.VerifyPass());
  EXPECT_EQ(Status().m_mbVerified, 2u);
  EXPECT_TRUE(platform_.HasEvent("open-fail 3"));
  EXPECT_EQ(platform_.OpenCount(4), 0u);

  PrepareVerify(3);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(engine_.ErrorText(), MismatchEnglish(3, 2));
  EXPECT_EQ(platform_.OpenCount(4), 0u);
}

TEST_F(VerifyPassTest, VanishedTestFilesInARunOverAllFreeSpace) {
  // A scan that found nothing hands size 0 on: all free space is expected.
  platform_.SetVolumeSpace(700 * kMiB, 1000 * kMiB);
  PrepareVerify(0);
  ASSERT_EQ(engine_.SizeMB(), 700u);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(engine_.ErrorText(), MismatchEnglish(700, 0));
}

// --- Opening and reading fail ---

TEST_F(VerifyPassTest, OpenErrorOtherThanNotFoundInBothLanguages) {
  WritePatternFile(File(1), 0, 1);
  WritePatternFile(File(2), kMiB, 1);
  platform_.FailOpen(2, kEacces);
  PrepareVerify(2);
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_EQ(engine_.ErrorText(), "Error opening file '" + File(2) + "'." + Sys(13));
  }
  EXPECT_EQ(Status().m_mbVerified, 1u);
  ExpectFailedPassState();
  {
    LanguageGuard lang(kGerman);
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_EQ(engine_.ErrorText(),
              "Fehler beim \xC3\x96" "ffnen der Datei '" + File(2) + "'." + Sys(13));
  }
  ExpectFailedPassState();
}

TEST_F(VerifyPassTest, FolderNamedLikeATestFileIsAnOpenError) {
  // It exists, so it is no end of the test data, but it cannot be opened as
  // a test file.
  WritePatternFile(File(1), 0, 1);
  ASSERT_EQ(mkdir(File(2).c_str(), 0755), 0);
  PrepareVerify(1);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(engine_.ErrorText().rfind("Error opening file '" + File(2) + "'.\r\n(", 0), 0u)
      << engine_.ErrorText();
  EXPECT_EQ(Status().m_mbVerified, 1u);
  ExpectFailedPassState();
}

TEST_F(VerifyPassTest, ReadErrorGivesTheOffsetWithinTheFileInBothLanguages) {
  // Third block of 2.kvx: 0x200000.
  WritePatternFile(File(1), 0, 1);
  WritePatternFile(File(2), kMiB, 3);
  platform_.FailReadInFile(2, 2, kEio);
  PrepareVerify(4);
  {
    LanguageGuard lang(kEnglish);
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_EQ(engine_.ErrorText(),
              "Error reading file '" + File(2) + "', offset 0x200000." + Sys(5));
  }
  EXPECT_EQ(Status().m_mbVerified, 3u);
  EXPECT_EQ(Status().m_okSectors, 3 * 2048u);
  ExpectFailedPassState();
  {
    LanguageGuard lang(kGerman);
    EXPECT_FALSE(engine_.VerifyPass());
    EXPECT_EQ(engine_.ErrorText(),
              "Fehler beim Lesen der Datei '" + File(2) + "', Offset 0x200000." + Sys(5));
  }
  ExpectFailedPassState();
}

TEST_F(VerifyPassTest, ReadErrorOnTheFirstBlock) {
  WritePatternFile(File(1), 0, 2);
  platform_.FailReadAt(1, kEio);
  PrepareVerify(2);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.VerifyPass());
  EXPECT_EQ(engine_.ErrorText(), "Error reading file '" + File(1) + "', offset 0x0." + Sys(5));
  EXPECT_EQ(Status().m_mbVerified, 0u);
  ExpectFailedPassState();
}

TEST_F(VerifyPassTest, TargetPathTooLongForTheName) {
  std::string path = dir_.path();
  while (path.size() < kMaxPath) path += "/" + std::string(100, 'b');
  engine_.SetTargetPath(path.c_str());
  PrepareVerify(1);
  LanguageGuard lang(kEnglish);
  EXPECT_FALSE(engine_.VerifyPass());
  const std::string full =
      "Error: The path of the target folder '" + path + "' is too long for the test files.";
  EXPECT_EQ(engine_.ErrorText(), full.substr(0, 999));
  EXPECT_EQ(platform_.OpenCount(1), 0u);
  EXPECT_FALSE(Status().m_verifying);
}

// --- Abort ---

TEST_F(VerifyPassTest, AbortBeforeTheFirstBlock) {
  WritePatternFile(File(1), 0, 2);
  PrepareVerify(2);
  engine_.RequestAbort();
  EXPECT_TRUE(engine_.VerifyPass());
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(platform_.Reads(), 0u);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
  EXPECT_EQ(Status().m_mbVerified, 0u);
  EXPECT_FALSE(Status().m_verifying);
}

TEST_F(VerifyPassTest, AbortAfterSomeBlocksSkipsTheAmountCheck) {
  WritePatternFile(File(1), 0, 5);
  platform_.OnRead([this](const ReadInfo& info, uint8_t*, size_t) {
    if (info.read_number == 2) engine_.RequestAbort();
  });
  PrepareVerify(5);
  EXPECT_TRUE(engine_.VerifyPass());
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(Status().m_mbVerified, 2u);
  EXPECT_EQ(Status().m_okSectors, 2 * 2048u);
  EXPECT_EQ(platform_.Reads(), 2u);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
  EXPECT_FALSE(Status().m_verifying);
}

// --- Every pass starts afresh ---

TEST_F(VerifyPassTest, SecondPassStartsWithZeroCountsAndAnEmptyAliasedSet) {
  WritePatternFile(File(1), 0, 2);
  // In the first pass only: sector 0 holds sector 1, sector 5 one wrong bit.
  platform_.OnRead([](const ReadInfo& info, uint8_t* data, size_t) {
    if (info.pass == 1 && info.block_in_file == 0) {
      std::memcpy(data, data + 512, 512);
      data[5 * 512 + 100] ^= 1;
    }
  });
  PrepareVerify(2);
  ASSERT_TRUE(engine_.VerifyPass());
  RunStatus s = Status();
  EXPECT_EQ(s.m_overwrittenSectors, 1u);
  EXPECT_EQ(s.m_changedSectors, 1u);
  EXPECT_EQ(s.m_aliasedCount, 1u);
  EXPECT_TRUE(s.m_firstError.taken);
  EXPECT_EQ(engine_.AliasedOffsets().Count(), 1u);

  ASSERT_TRUE(engine_.VerifyPass());
  s = Status();
  EXPECT_EQ(s.m_okSectors, 2 * 2048u);
  EXPECT_EQ(s.m_overwrittenSectors, 0u);
  EXPECT_EQ(s.m_changedSectors, 0u);
  EXPECT_EQ(s.m_aliasedCount, 0u);
  EXPECT_FALSE(s.m_firstError.taken);
  EXPECT_EQ(s.m_mbVerified, 2u);
  EXPECT_EQ(engine_.AliasedOffsets().Count(), 0u);
}

}  // namespace
}  // namespace kalvex::testing
