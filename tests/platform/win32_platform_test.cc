// The Windows system layer on a real (temporary) folder: the codes and texts
// the engine decides by, files that are never overwritten, UTF-8 names, and
// a target folder that is replaced under the same path.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"
#include "tests/support/support.h"

namespace kalvex::testing {
namespace {

constexpr ErrorCode kFileNotFound = 2;
constexpr ErrorCode kDiskFull = 112;
constexpr ErrorCode kFileExists = 80;

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ErrorCode error = 0;
    ASSERT_TRUE(platform_.OpenFolder(dir_.path().c_str(), &folder_, &error)) << error;
  }
  void TearDown() override { platform_.CloseFolder(folder_); }

  std::vector<std::string> Entries() {
    std::vector<std::string> names;
    EXPECT_TRUE(platform_.ForEachEntry(folder_, [&](const char* name) {
      names.push_back(name);
      return true;
    }));
    return names;
  }

  Platform& platform_ = SystemPlatform();
  TempDir dir_;
  FolderHandle folder_ = kNoFolder;
};

TEST_F(Win32PlatformTest, ErrorsComeBackWithTheirCodesAndOneLineTexts) {
  FileHandle file = kNoFile;
  ErrorCode error = 0;
  ASSERT_FALSE(platform_.OpenExisting(folder_, "1.kvx", &file, &error));
  EXPECT_EQ(error, kFileNotFound);
  EXPECT_TRUE(platform_.IsNotFound(error));
  EXPECT_FALSE(platform_.IsDiskFull(error));
  EXPECT_TRUE(platform_.IsDiskFull(kDiskFull));
  EXPECT_FALSE(platform_.IsNotFound(kDiskFull));
  for (ErrorCode code : {kFileNotFound, kDiskFull, kFileExists}) {
    const std::string text = platform_.ErrorText(code);
    EXPECT_FALSE(text.empty()) << code;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code << ": " << text;
  }
  FolderHandle missing = kNoFolder;
  EXPECT_FALSE(platform_.OpenFolder(dir_.File("gone").c_str(), &missing, &error));
  EXPECT_EQ(missing, kNoFolder);
  EXPECT_NE(error, 0u);
}

TEST_F(Win32PlatformTest, CreateNewRefusesAnExistingFileAndLeavesItAlone) {
  WriteFile(dir_.File("1.kvx"), "old content");
  FileHandle file = kNoFile;
  ErrorCode error = 0;
  EXPECT_FALSE(platform_.CreateNew(folder_, "1.kvx", &file, &error));
  EXPECT_EQ(error, kFileExists);
  EXPECT_EQ(ReadFile(dir_.File("1.kvx")), "old content");
}

TEST_F(Win32PlatformTest, WholeBlocksGoOutAndComeBackShortOnlyAtTheEnd) {
  const size_t block = 1 << 20;
  void* buffer = AllocateAligned(block);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer) % 4096, 0u);
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (size_t i = 0; i < block; ++i) bytes[i] = static_cast<uint8_t>(i * 7);

  FileHandle file = kNoFile;
  ErrorCode error = 0;
  ASSERT_TRUE(platform_.CreateNew(folder_, "1.kvx", &file, &error)) << error;
  ASSERT_TRUE(platform_.Write(file, buffer, block, &error)) << error;
  ASSERT_TRUE(platform_.Write(file, buffer, block, &error)) << error;
  ASSERT_TRUE(platform_.Flush(file, &error)) << error;
  EXPECT_EQ(platform_.FileSize(file), 2 * block);
  ASSERT_TRUE(platform_.Close(file, &error)) << error;

  ASSERT_TRUE(platform_.OpenExisting(folder_, "1.kvx", &file, &error)) << error;
  std::vector<size_t> got;
  for (int i = 0; i < 3; ++i) {
    size_t n = 0;
    std::fill(bytes, bytes + block, 0);
    ASSERT_TRUE(platform_.Read(file, buffer, block, &n, &error)) << error;
    got.push_back(n);
    if (n == block) {
      EXPECT_EQ(bytes[block - 1], static_cast<uint8_t>((block - 1) * 7));
    }
  }
  EXPECT_EQ(got, (std::vector<size_t>{block, block, 0}));
  ASSERT_TRUE(platform_.Close(file, &error)) << error;
  FreeAligned(buffer, block);
}

TEST_F(Win32PlatformTest, Utf8NamesRoundTripThroughTheWideCalls) {
  const std::string name = "Prüfung ÄÖÜ äöü ß € 日本";
  const std::wstring wide = win32::Utf8ToWide(name);
  EXPECT_EQ(wide, L"Pr\u00fcfung \u00c4\u00d6\u00dc \u00e4\u00f6\u00fc \u00df \u20ac \u65e5\u672c");
  EXPECT_EQ(win32::WideToUtf8(wide), name);
  // Text that is no UTF-8 names nothing rather than something else.
  EXPECT_EQ(win32::Utf8ToWide("Pr\xfc" "fung"), L"");

  FileHandle file = kNoFile;
  ErrorCode error = 0;
  const std::string file_name = name + ".kvx";
  ASSERT_TRUE(platform_.CreateNew(folder_, file_name.c_str(), &file, &error)) << error;
  ASSERT_TRUE(platform_.Close(file, &error));
  EXPECT_EQ(Entries(), std::vector<std::string>{file_name});
  EXPECT_TRUE(std::filesystem::exists(FsPath(dir_.File(file_name))));

  // A target folder with such a name opens, and its space can be asked for.
  const std::string folder = dir_.File(name);
  ASSERT_TRUE(std::filesystem::create_directory(FsPath(folder)));
  FolderHandle held = kNoFolder;
  ASSERT_TRUE(platform_.OpenFolder(folder.c_str(), &held, &error)) << error;
  EXPECT_TRUE(platform_.FolderStillAt(held, folder.c_str()));
  platform_.CloseFolder(held);
  uint64_t free_bytes = 0, total = 0;
  ASSERT_TRUE(platform_.VolumeSpace(folder.c_str(), &free_bytes, &total));
  EXPECT_GT(total, 0u);
  EXPECT_LE(free_bytes, total);
}

TEST_F(Win32PlatformTest, FolderStillAtOnlyWhileThePathLeadsToTheHeldFolder) {
  const std::string target = dir_.File("stick");
  ASSERT_TRUE(std::filesystem::create_directory(FsPath(target)));
  FolderHandle held = kNoFolder;
  ErrorCode error = 0;
  ASSERT_TRUE(platform_.OpenFolder(target.c_str(), &held, &error)) << error;
  EXPECT_TRUE(platform_.FolderStillAt(held, target.c_str()));
  EXPECT_TRUE(platform_.FolderStillAt(held, (target + "\\").c_str()));

  // Renamed away and a new, empty folder put in its place.
  std::filesystem::rename(FsPath(target), FsPath(dir_.File("stick-old")));
  EXPECT_FALSE(platform_.FolderStillAt(held, target.c_str()));
  ASSERT_TRUE(std::filesystem::create_directory(FsPath(target)));
  EXPECT_FALSE(platform_.FolderStillAt(held, target.c_str()));
  EXPECT_TRUE(platform_.FolderStillAt(held, dir_.File("stick-old").c_str()));
  platform_.CloseFolder(held);

  // Removed while held. Windows lets a held folder go only when its last
  // handle closes, so it is moved out of the way first, as a medium that is
  // pulled takes its folders with it; then a new folder takes the path.
  ASSERT_TRUE(platform_.OpenFolder(target.c_str(), &held, &error)) << error;
  std::filesystem::rename(FsPath(target), FsPath(dir_.File("stick-gone")));
  std::filesystem::remove(FsPath(dir_.File("stick-gone")));
  EXPECT_FALSE(platform_.FolderStillAt(held, target.c_str()));
  ASSERT_TRUE(std::filesystem::create_directory(FsPath(target)));
  EXPECT_FALSE(platform_.FolderStillAt(held, target.c_str()));
  platform_.CloseFolder(held);
}

TEST_F(Win32PlatformTest, OnlyPlainFilesAreRemovedOrOpenedAsTestFiles) {
  ASSERT_TRUE(std::filesystem::create_directory(FsPath(dir_.File("2.kvx"))));
  ErrorCode error = 0;
  EXPECT_FALSE(platform_.RemoveFile(folder_, "2.kvx", &error));
  EXPECT_TRUE(std::filesystem::is_directory(FsPath(dir_.File("2.kvx"))));
  FileHandle file = kNoFile;
  EXPECT_FALSE(platform_.OpenExisting(folder_, "2.kvx", &file, &error));

  WriteFile(dir_.File("1.kvx"), "x");
  EXPECT_TRUE(platform_.RemoveFile(folder_, "1.kvx", &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(FsPath(dir_.File("1.kvx"))));
  EXPECT_FALSE(platform_.RemoveFile(folder_, "1.kvx", &error));
  EXPECT_TRUE(platform_.IsNotFound(error));
}

TEST_F(Win32PlatformTest, CounterRunsForwardAtItsFrequency) {
  EXPECT_GT(platform_.CounterFrequency(), 0);
  const int64_t before = platform_.Counter();
  Sleep(2);
  EXPECT_GT(platform_.Counter(), before);
  EXPECT_EQ(platform_.PrepareToRead(folder_), CacheBypass::kDirect);
}

}  // namespace
}  // namespace kalvex::testing
