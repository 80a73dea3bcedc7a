// The write pass: files, blocks and their content, the normal ends of a run
// over all free space at a full medium, abort, and target paths. Its errors
// are in pass_errors_test.cc.

#include <gtest/gtest.h>


#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/text_format.h"
#include "tests/engine/engine_test.h"

namespace kalvex::testing {
namespace {

using WritePassTest = EngineTest;

TEST_F(WritePassTest, BlocksHoldThePatternOfTheirOffsetAndTheCounterIsReadAfterEach) {
  platform_.next_counter = 50;
  Prepare(3, true, true);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(platform_.events, (std::vector<std::string>{"create 1", "write 1:0", "write 1:1",
                                                        "write 1:2", "flush 1", "close 1"}));
  EXPECT_EQ(platform_.OpenHandles(), 0u);
  EXPECT_EQ(Files(), "1.kvx=3");
  EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  EXPECT_EQ(Passes(Status()), "write 3 ended, verify 0 none, total 6, passes 0");
  EXPECT_EQ(Status().m_writeStart, 50);
  EXPECT_EQ(Status().m_writeLast, 50 + 1 + 3);
  EXPECT_TRUE(engine_.ErrorText().empty());
}

TEST_F(WritePassTest, TargetEndingInASeparatorGetsNoSecondOne) {
  engine_.SetTargetPath((dir_.path() + "/").c_str());
  Prepare(1, true, true);
  ASSERT_FALSE(engine_.WritePass());
  EXPECT_STREQ(engine_.FileName(), (dir_.path() + "/1.kvx").c_str());
  EXPECT_EQ(FileSizeOf(File(1)), kMiB);
}

TEST_F(WritePassTest, PercentSignsInTheTargetAreOrdinaryCharacters) {
  const std::string target = dir_.File("100% %s %n %llu");
  ASSERT_TRUE(std::filesystem::create_directory(target));
  engine_.SetTargetPath(target.c_str());
  Prepare(1, true, true);
  ASSERT_FALSE(engine_.WritePass());
  EXPECT_EQ(FileSizeOf(target + kPathSeparator + "1.kvx"), kMiB);
  platform_.fail["create 1"] = kEio;
  std::remove((target + kPathSeparator + "1.kvx").c_str());
  engine_.PrepareRun();
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(RenderError(engine_.WritePass()),
            "Error creating file '" + target + kPathSeparator + "1.kvx'." + Sys(kEio));
}

TEST_F(WritePassTest, ExistingTestFileIsNeverOverwrittenOrTruncated) {
  FaultPlatform real;  // the real system's text: the file exists
  CTestEngine engine(real);
  engine.SetTargetPath(dir_.path().c_str());
  const std::string old_content(1000, 'w');
  WriteFile(File(1), old_content);
  const auto old_time = std::filesystem::last_write_time(File(1)) - std::chrono::hours(1000);
  std::filesystem::last_write_time(File(1), old_time);
  engine.SetSize(2);
  engine.m_doWrite = true;
  engine.PrepareRun();
  LanguageGuard lang(kEnglish);
  EXPECT_EQ(RenderError(engine.WritePass()),
            "Error creating file '" + File(1) + "'.\r\n(" + real.ErrorText(kEexist) + " Code " +
                std::to_string(kEexist) + ")\r\n");
  EXPECT_EQ(std::filesystem::last_write_time(File(1)), old_time);
  EXPECT_EQ(ReadFile(File(1)), old_content);
  EXPECT_EQ(ListDir(dir_.path()), std::vector<std::string>{"1.kvx"});
  EXPECT_EQ(real.OpenHandles(), 0u);
}

// --- The ways a write pass ends without an error ---

constexpr uint64_t kBefore = ~uint64_t{0};

struct WriteEnd {
  const char* name;
  uint64_t size_mb;  // 0: all free space, free_mb of it
  uint64_t free_mb;
  bool discard;      // writes reach no disk: gigabytes in a moment
  const char* fault;  // fails with a full medium
  uint64_t abort_at;  // abort before the nth write, kBefore: before the pass; 0: none
  uint64_t size;      // the run's size afterwards
  uint64_t written;   // MByte
  const char* calls;
  const char* files;
};

const WriteEnd kEnds[] = {
    {"NoFreeSpaceMeansNoFileButAStartedPass", 0, 0, false, "", 0, 0, 0, "", ""},
    {"OneGiBIsOneFileAndNoSecond", 1024, 0, true, "", 0, 1024, 1024,
     "create 1, flush 1, close 1", "1.kvx=0"},
    {"OffsetsRunOnIntoTheSecondFile", 1025, 0, true, "", 0, 1025, 1025,
     "create 1, flush 1, close 1, create 2, flush 2, close 2", "1.kvx=0 2.kvx=0"},
    // A full medium within the allowance cuts the size of a run over all
    // free space: the file written so far is flushed and closed, and no
    // other follows. 100 MByte allow 1 missing: full at the 100th block.
    {"FullMediumWithinTheAllowance", 0, 100, false, "write 1:99", 0, 99, 99,
     "create 1, write-fail 1:99, flush 1, close 1", "1.kvx=99"},
    {"FullMediumAtTheFirstCreationWithinTheAllowance", 0, 1, false, "create 1", 0, 0, 0,
     "create-fail 1", ""},
    {"FullMediumWhenCreatingTheSecondFile", 0, 1025, true, "create 2", 0, 1024, 1024,
     "create 1, flush 1, close 1, create-fail 2", "1.kvx=0"},
    // Abort closes the file, without flushing it.
    {"AbortBeforeTheFirstBlock", 10, 0, false, "", kBefore, 10, 0, "create 1, close 1",
     "1.kvx=0"},
    {"AbortBetweenBlocks", 10, 0, false, "", 3, 10, 3, "create 1, close 1", "1.kvx=3"},
    {"AbortBeforeTheFirstBlockOfTheSecondFile", 2000, 0, true, "", 1024, 2000, 1024,
     "create 1, flush 1, close 1, create 2, close 2", "1.kvx=0 2.kvx=0"},
};

void PrintTo(const WriteEnd& c, std::ostream* os) { *os << c.name; }

class WriteEndTest : public EngineTest, public ::testing::WithParamInterface<WriteEnd> {};

TEST_P(WriteEndTest, EndsWithoutAnError) {
  const WriteEnd& c = GetParam();
  platform_.volume = {{c.free_mb * kMiB + 4095, 300 * kMiB}};
  if (*c.fault) platform_.fail[c.fault] = kEnospc;
  platform_.discard_writes = c.discard;
  platform_.on_write = [this, c](const IoInfo& info) {
    if (info.nth == c.abort_at) engine_.RequestAbort();
  };
  LanguageGuard lang(kEnglish);
  Prepare(c.size_mb, true, true);
  EXPECT_EQ(engine_.UseAllSpace(), c.size_mb == 0);
  if (c.abort_at == kBefore) engine_.RequestAbort();
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_EQ(engine_.SizeMB(), c.size);
  EXPECT_EQ(engine_.WarningText(),
            "Warning: Only " + std::to_string(c.size) + " of 300 MByte tested.\r\n");
  EXPECT_EQ(platform_.Calls(), c.calls);
  EXPECT_EQ(platform_.OpenHandles(), 0u);
  EXPECT_EQ(Passes(Status()), "write " + std::to_string(c.written) + " ended, verify 0 none, "
                              "total " + std::to_string(2 * c.size) + ", passes 0");
  // Every block written begins with its offset in the whole test data.
  ASSERT_EQ(platform_.first_words.size(), c.written);
  for (uint64_t i = 0; i < c.written; ++i) ASSERT_EQ(platform_.first_words[i], i * kMiB) << i;
  EXPECT_EQ(Files(), c.files);
  if (!c.discard && c.written > 0) {
    EXPECT_EQ(CountForeignSectors(File(1), 0), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Ends, WriteEndTest, ::testing::ValuesIn(kEnds),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Target paths too long for the test file names ---

// A folder path of exactly `length` bytes below dir, made of components of
// 40 units that do not exist.
// Every lead byte followed by as many continuation bytes as it announces.
bool IsValidUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : lead >> 3 == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

// A folder of exactly length bytes below dir, made of nested components
// (each within the system's limit for one name); the folders are created.
std::string MakeLongFolder(const std::string& dir, size_t length, const std::string& unit) {
  std::string path = dir + kPathSeparator;
  size_t in_component = 0;
  while (path.size() < length) {
    if (in_component == 40 && length - path.size() >= 2) {
      std::filesystem::create_directory(FsPath(path));
      path += kPathSeparator;
      in_component = 0;
    } else {
      path += path.size() + unit.size() <= length ? unit : "x";
      ++in_component;
    }
  }
  std::filesystem::create_directory(FsPath(path));
  return path;
}

TEST_F(WritePassTest, TargetPathTooLongForTheNameIsAClearErrorOfEitherPass) {
  // "/1.kvx" and the terminator no longer fit into the name buffer.
  const std::string path = MakeLongFolder(dir_.path(), kMaxPath - 6, "a");
  ASSERT_EQ(path.size(), kMaxPath - 6);
  engine_.SetTargetPath(path.c_str());
  Prepare(1, true, true);
  const std::string ends[] = {"' is too long for the test files.\r\n",
                              "' ist für die Testdateien zu lang.\r\n"};
  for (int language : {kEnglish, kGerman}) {
    LanguageGuard lang(language);
    for (const bool write : {true, false}) {
      const RunError error = write ? engine_.WritePass() : engine_.VerifyPass();
      ASSERT_EQ(error.kind, ErrorKind::kPathTooLong);
      EXPECT_EQ(error.path, path);
      // The whole message stays readable: the path gives way in its middle.
      const std::string text = RenderError(error);
      EXPECT_LE(CountChars(text), 999u);
      EXPECT_TRUE(text.ends_with(ends[language == kEnglish ? 0 : 1])) << text;
      EXPECT_NE(text.find(dir_.path() + kPathSeparator + "aaaa"), std::string::npos) << text;
      EXPECT_NE(text.find("..."), std::string::npos) << text;
    }
  }
  EXPECT_EQ(platform_.Calls(), "");
  EXPECT_EQ(Passes(Status()), "write 0 ended, verify 0 ended, total 2, passes 2");
  // The name buffer holds a cut, terminated name and nothing beyond it.
  const std::string name = engine_.FileName();
  EXPECT_LT(name.size(), kMaxPath);
  EXPECT_EQ((path + kPathSeparator + "1.kvx").compare(0, name.size(), name), 0);
}

TEST_F(WritePassTest, LongestTargetPathThatStillFitsIsWritten) {
  const std::string path = MakeLongFolder(dir_.path(), kMaxPath - 7, "a");
  engine_.SetTargetPath(path.c_str());
  Prepare(1, true, true);
  EXPECT_FALSE(engine_.WritePass());
  EXPECT_EQ(platform_.Calls(), "create 1, flush 1, close 1");
  EXPECT_EQ(std::string(engine_.FileName()), path + kPathSeparator + "1.kvx");
  EXPECT_EQ(FileSizeOf(path + kPathSeparator + "1.kvx"), kMiB);
}

TEST_F(WritePassTest, TooLongTargetWithUmlautsIsShortenedOnCharacterBoundaries) {
  const std::string path = MakeLongFolder(dir_.path(), kMaxPath - 5, "ä");
  engine_.SetTargetPath(path.c_str());
  Prepare(1, true, true);
  LanguageGuard lang(kEnglish);
  const std::string text = RenderError(engine_.WritePass());
  // 999 characters, fewer bytes than the ä take, and no half character.
  // Windows' longest path is far shorter than a message and is kept whole.
#ifdef _WIN32
  EXPECT_NE(text.find(path), std::string::npos);
#else
  EXPECT_EQ(CountChars(text), 999u);
#endif
  EXPECT_TRUE(IsValidUtf8(text)) << text;
  EXPECT_TRUE(text.ends_with("' is too long for the test files.\r\n")) << text;
  EXPECT_EQ(platform_.Calls(), "");
}

}  // namespace
}  // namespace kalvex::testing
