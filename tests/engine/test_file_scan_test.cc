// What test data a target already holds: the regular shapes a write pass
// leaves, the irregular ones, and stray entries with the test-file extension.
// Large files are made sparse, so these tests write almost nothing.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/engine/engine_test.h"

namespace kalvex::testing {
namespace {

constexpr int64_t kFolder = -1;
constexpr int64_t kFifo = -2;

struct ScanCase {
  const char* name;
  std::vector<std::pair<const char*, int64_t>> entries;  // name, size or kind
  uint64_t mbytes;  // what ScanTestData finds
  bool present;     // what TestFilesPresent says
};

const ScanCase kCases[] = {
    {"EmptyTarget", {}, 0, false},
    {"FullFileAndShortLastFile", {{"1.kvx", kGiB}, {"2.kvx", 300 * kMiB}}, 1324, true},
    {"ThreeFilesAddUp", {{"1.kvx", kGiB}, {"2.kvx", kGiB}, {"3.kvx", 5 * kMiB}}, 2053, true},
    {"SingleShortFile", {{"1.kvx", 7 * kMiB}}, 7, true},
    {"LargerLastFileOfWholeMiB", {{"1.kvx", kGiB}, {"2.kvx", kGiB + kMiB}}, 2049, true},
    {"ShortFileBeforeAFullOne", {{"1.kvx", 300 * kMiB}, {"2.kvx", kGiB}}, kIrregularTestFiles,
     true},
    {"ShortFileBeforeTheLast", {{"1.kvx", kGiB}, {"2.kvx", kGiB + kMiB}, {"3.kvx", kMiB}},
     kIrregularTestFiles, true},
    {"FileNotAWholeNumberOfMiB", {{"1.kvx", kGiB + 512}}, kIrregularTestFiles, true},
    {"UnevenLastFile", {{"1.kvx", kGiB}, {"2.kvx", 3 * kMiB + 4096}}, kIrregularTestFiles, true},
    {"EmptyFirstFileAlone", {{"1.kvx", 0}}, 0, true},
    {"EmptyFirstFileFollowedByAnother", {{"1.kvx", 0}, {"2.kvx", kMiB}}, kIrregularTestFiles,
     true},
    // A file lost from the middle of the sequence leaves data that no write
    // pass leaves: never to be verified as if complete.
    {"GapInTheSequenceIsIrregular", {{"1.kvx", kGiB}, {"3.kvx", kGiB}}, kIrregularTestFiles, true},
    {"GapBeforeAnIrregularFileIsIrregular", {{"1.kvx", kGiB}, {"3.kvx", 5}}, kIrregularTestFiles,
     true},
    {"GapBeforeAnUppercaseName", {{"1.kvx", kGiB}, {"4.KVX", kGiB}}, kIrregularTestFiles, true},
    {"NumberedNamesThatAreNotOfTheSequence", {{"1.kvx", kGiB}, {"03.kvx", 0}, {"3a.kvx", 0}},
     1024, true},
    {"OnlyTheSecondFileIsStrayData", {{"2.kvx", kGiB}}, 0, true},
    {"OtherFileWithTheExtension", {{"notes.kvx", 100}}, 0, true},
    {"UppercaseExtension", {{"NOTE.KVX", 0}}, 0, true},
    {"FolderWithTheExtension", {{"x.kvx", kFolder}}, 0, true},
    // A folder or a FIFO is no test file: it cannot be opened as one (the
    // FIFO without waiting for a writer), so the test data end before it.
    {"FolderNamedLikeATestFile", {{"1.kvx", kFolder}}, 0, true},
    {"FolderNamedLikeTheSecondTestFile", {{"1.kvx", kGiB}, {"2.kvx", kFolder}}, 1024, true},
    {"FifoNamedLikeATestFile", {{"1.kvx", kGiB}, {"2.kvx", kFifo}}, 1024, true},
    // Names that only resemble the extension, and a test file in a subfolder.
    {"NamesThatOnlyResembleTheExtension",
     {{"1.kvx.bak", 0}, {"a.kvxx", 0}, {"kvx", 0}, {"a_kvx", 0}, {"sub", kFolder},
      {"sub/1.kvx", kMiB}},
     0, false},
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class TestFileScanTest : public EngineTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(TestFileScanTest, FindsTheTestDataAndAnyTestFile) {
  for (const auto& [name, size] : GetParam().entries) {
    const std::string path = dir_.File(name);
    if (size == kFolder) {
      ASSERT_TRUE(std::filesystem::create_directory(path));
    } else if (size == kFifo) {
#ifdef _WIN32
      GTEST_SKIP() << "Windows has no FIFOs in folders";
#else
      ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
#endif
    } else {
      MakeSparseFile(path, static_cast<uint64_t>(size));
    }
  }
  EXPECT_EQ(engine_.ScanTestData(), GetParam().mbytes);
  EXPECT_EQ(engine_.TestFilesPresent(), GetParam().present);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Targets, TestFileScanTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

using TestFileScan = EngineTest;

TEST_F(TestFileScan, NoTargetOrAMissingFolderHoldsNothing) {
  engine_.SetTargetPath((dir_.path() + "/gone").c_str());
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_FALSE(engine_.TestFilesPresent());
  MakeSparseFile(File(1), kMiB);
  engine_.SetTargetPath(nullptr);
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_FALSE(engine_.TestFilesPresent());
}

TEST_F(TestFileScan, TargetEndingInASeparator) {
  engine_.SetTargetPath((dir_.path() + "/").c_str());
  MakeSparseFile(File(1), 2 * kMiB);
  EXPECT_EQ(engine_.ScanTestData(), 2u);
  EXPECT_TRUE(engine_.TestFilesPresent());
}

TEST_F(TestFileScan, FirstFileThatCannotBeOpenedEndsTheScan) {
  MakeSparseFile(File(1), kGiB);
  MakeSparseFile(File(2), kGiB);
  MakeSparseFile(File(3), kMiB);
  platform_.fail["open 2"] = kEacces;
  // A file beyond the one that cannot be opened would go unread.
  EXPECT_EQ(engine_.ScanTestData(), kIrregularTestFiles);
  EXPECT_EQ(platform_.Count("open 3"), 0u);
  std::remove(File(3).c_str());
  EXPECT_EQ(engine_.ScanTestData(), 1024u);
  platform_.fail["open 1"] = kEacces;
  EXPECT_EQ(engine_.ScanTestData(), 0u);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
}

TEST_F(TestFileScan, ScanLeavesTheRunStateAndTheFilesAlone) {
  MakeSparseFile(File(1), kGiB);
  MakeSparseFile(File(2), 3 * kMiB);
  const RunStatus before = Status();
  EXPECT_EQ(engine_.ScanTestData(), 1027u);
  EXPECT_TRUE(engine_.TestFilesPresent());
  EXPECT_EQ(Passes(Status()), Passes(before));
  EXPECT_EQ(engine_.SizeMB(), 0u);
  EXPECT_EQ(Files(), "1.kvx=1024 2.kvx=3");
  EXPECT_EQ(platform_.Calls(), "open 1, close 1, open 2, close 2, open-fail 3");
}

}  // namespace
}  // namespace kalvex::testing
