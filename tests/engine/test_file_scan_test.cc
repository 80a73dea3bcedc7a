// What test data a target already holds: the regular shapes a write pass
// leaves, the irregular ones, and stray files with the test-file extension.
// Large files are made sparse, so these tests write almost nothing.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "tests/engine/fault_platform.h"
#include "tests/engine/test_support.h"

namespace kalvex::testing {
namespace {

class TestFileScanTest : public ::testing::Test {
 protected:
  void SetUp() override { engine_.SetTargetPath(dir_.path().c_str()); }
  void Make(uint64_t n, uint64_t size) {
    MakeSparseFile(dir_.File(std::to_string(n) + ".kvx"), size);
  }

  TempDir dir_;
  FaultPlatform platform_;
  CTestEngine engine_{platform_};
};

TEST_F(TestFileScanTest, EmptyTargetHoldsNothing) {
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_FALSE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, NoTargetHoldsNothing) {
  engine_.SetTargetPath(nullptr);
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_FALSE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, MissingTargetFolderHoldsNothing) {
  engine_.SetTargetPath((dir_.path() + "/gone").c_str());
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_FALSE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, FullFileAndShortLastFile) {
  Make(1, kGiB);
  Make(2, 300 * kMiB);
  EXPECT_EQ(engine_.ScanTestData(), 1324u);
  EXPECT_TRUE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, ThreeFilesAddUp) {
  Make(1, kGiB);
  Make(2, kGiB);
  Make(3, 5 * kMiB);
  EXPECT_EQ(engine_.ScanTestData(), 2053u);
}

TEST_F(TestFileScanTest, SingleShortFile) {
  Make(1, 7 * kMiB);
  EXPECT_EQ(engine_.ScanTestData(), 7u);
}

TEST_F(TestFileScanTest, ShortFileBeforeAFullOneIsIrregular) {
  Make(1, 300 * kMiB);
  Make(2, kGiB);
  EXPECT_EQ(engine_.ScanTestData(), kIrregularTestFiles);
  EXPECT_EQ(engine_.ScanTestData(), 0xFFFFFFFFFFFFFFFEu);
}

TEST_F(TestFileScanTest, FileNotAWholeNumberOfMiBIsIrregular) {
  Make(1, kGiB + 512);
  EXPECT_EQ(engine_.ScanTestData(), kIrregularTestFiles);
}

TEST_F(TestFileScanTest, UnevenLastFileIsIrregular) {
  Make(1, kGiB);
  Make(2, 3 * kMiB + 4096);
  EXPECT_EQ(engine_.ScanTestData(), kIrregularTestFiles);
}

TEST_F(TestFileScanTest, LargerLastFileOfWholeMiBIsCounted) {
  Make(1, kGiB);
  Make(2, kGiB + kMiB);
  EXPECT_EQ(engine_.ScanTestData(), 2049u);
  Make(3, kMiB);  // now 2.kvx is a short file that is not the last
  EXPECT_EQ(engine_.ScanTestData(), kIrregularTestFiles);
}

TEST_F(TestFileScanTest, GapEndsTheTestData) {
  Make(1, kGiB);
  Make(3, kGiB);
  EXPECT_EQ(engine_.ScanTestData(), 1024u);
}

TEST_F(TestFileScanTest, GapHidesAnIrregularFileBeyondIt) {
  Make(1, kGiB);
  Make(3, 5);
  EXPECT_EQ(engine_.ScanTestData(), 1024u);
}

TEST_F(TestFileScanTest, OnlyTheSecondFileIsStrayData) {
  Make(2, kGiB);
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_TRUE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, OtherFileWithTheExtensionIsPresent) {
  MakeSparseFile(dir_.File("notes.kvx"), 100);
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_TRUE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, FolderWithTheExtensionIsPresent) {
  ASSERT_EQ(mkdir(dir_.File("x.kvx").c_str(), 0755), 0);
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_TRUE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, FolderNamedLikeATestFileCannotBeOpenedAndEndsTheScan) {
  // A folder is no test file: it cannot be opened as one, so the test data
  // end before it, as at any number that cannot be opened.
  ASSERT_EQ(mkdir(dir_.File("1.kvx").c_str(), 0755), 0);
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_TRUE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, FolderNamedLikeTheSecondTestFileEndsTheScanThere) {
  Make(1, kGiB);
  ASSERT_EQ(mkdir(dir_.File("2.kvx").c_str(), 0755), 0);
  EXPECT_EQ(engine_.ScanTestData(), 1024u);
}

TEST_F(TestFileScanTest, FifoNamedLikeATestFileEndsTheScanWithoutWaiting) {
  // Opening a FIFO for reading would wait for a writer; the scan must not.
  Make(1, kGiB);
  ASSERT_EQ(mkfifo(dir_.File("2.kvx").c_str(), 0644), 0);
  EXPECT_EQ(engine_.ScanTestData(), 1024u);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

TEST_F(TestFileScanTest, UppercaseExtensionIsPresent) {
  MakeSparseFile(dir_.File("NOTE.KVX"), 0);
  EXPECT_TRUE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, NamesThatOnlyResembleTheExtensionAreNotPresent) {
  MakeSparseFile(dir_.File("1.kvx.bak"), 0);
  MakeSparseFile(dir_.File("a.kvxx"), 0);
  MakeSparseFile(dir_.File("kvx"), 0);
  MakeSparseFile(dir_.File("a_kvx"), 0);
  ASSERT_EQ(mkdir(dir_.File("sub").c_str(), 0755), 0);
  MakeSparseFile(dir_.File("sub/1.kvx"), kMiB);  // in a subfolder, not the target
  EXPECT_FALSE(engine_.TestFilesPresent());
  EXPECT_EQ(engine_.ScanTestData(), 0u);
}

TEST_F(TestFileScanTest, EmptyFirstFileAlone) {
  Make(1, 0);
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_TRUE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, EmptyFirstFileFollowedByAnother) {
  Make(1, 0);
  Make(2, kMiB);
  EXPECT_EQ(engine_.ScanTestData(), kIrregularTestFiles);
}

TEST_F(TestFileScanTest, FirstFileThatCannotBeOpenedEndsTheScan) {
  Make(1, kGiB);
  Make(2, kGiB);
  Make(3, kMiB);
  platform_.FailOpen(2, kEacces);
  EXPECT_EQ(engine_.ScanTestData(), 1024u);
  EXPECT_EQ(platform_.OpenCount(3), 0u);
  platform_.FailOpen(1, kEacces);
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

TEST_F(TestFileScanTest, TargetEndingInASeparator) {
  engine_.SetTargetPath((dir_.path() + "/").c_str());
  Make(1, 2 * kMiB);
  EXPECT_EQ(engine_.ScanTestData(), 2u);
  EXPECT_TRUE(engine_.TestFilesPresent());
}

TEST_F(TestFileScanTest, ScanLeavesTheRunStateAndTheFilesAlone) {
  Make(1, kGiB);
  Make(2, 3 * kMiB);
  const RunStatus before = engine_.CopyStatus();
  EXPECT_EQ(engine_.ScanTestData(), 1027u);
  EXPECT_TRUE(engine_.TestFilesPresent());
  const RunStatus after = engine_.CopyStatus();
  EXPECT_EQ(after.m_mbWritten, before.m_mbWritten);
  EXPECT_EQ(after.m_mbVerified, before.m_mbVerified);
  EXPECT_EQ(after.m_mbTotal, before.m_mbTotal);
  EXPECT_EQ(engine_.SizeMB(), 0u);
  EXPECT_EQ(FileSizeOf(dir_.File("1.kvx")), kGiB);
  EXPECT_EQ(FileSizeOf(dir_.File("2.kvx")), 3 * kMiB);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
  EXPECT_EQ(platform_.Creates(), 0u);
}

}  // namespace
}  // namespace kalvex::testing
