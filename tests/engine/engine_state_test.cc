// The engine's own state: construction, target and volume queries, the size
// with its capacity warning, the language choice, and the error texts that
// RaiseError and RaiseSystemError record.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/engine/engine_test.h"

namespace kalvex::testing {
namespace {

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

using EngineStateTest = EngineTest;

TEST(EngineConstruction, StartsIdleWithNoTargetSizeOrTexts) {
  FaultPlatform platform;
  platform.frequency = 12345678;
  CTestEngine engine(platform);
  const RunStatus s = engine.CopyStatus();
  EXPECT_EQ(s.m_frequency, 12345678);
  EXPECT_FALSE(s.m_abort);
  EXPECT_EQ(Passes(s), "write 0 none, verify 0 none, total 0, passes 0");
  EXPECT_EQ(Sectors(s), "0 0 0 0 0");
  EXPECT_EQ(First(s), "none");
  EXPECT_EQ(engine.SizeMB(), 0u);
  EXPECT_FALSE(engine.HasTarget());
  EXPECT_FALSE(engine.m_doWrite || engine.m_doVerify || engine.m_endlessVerify);
  EXPECT_TRUE(engine.ErrorText().empty());
  EXPECT_TRUE(engine.WarningText().empty());
  EXPECT_TRUE(engine.BlockBufferAvailable());
  EXPECT_EQ(engine.AliasedOffsets().Count(), 0u);
}

TEST_F(EngineStateTest, TargetAndTextsAreCopiesAndNullOrEmptyMeansNone) {
  char path[] = "/media/stick";
  std::string text = "warning";
  engine_.SetTargetPath(path);
  engine_.SetWarningText(text);
  engine_.SetErrorText("error");
  path[1] = text[0] = 'X';
  EXPECT_TRUE(engine_.HasTarget());
  EXPECT_EQ(engine_.TargetPath(), "/media/stick");
  EXPECT_EQ(engine_.WarningText(), "warning");
  EXPECT_EQ(engine_.ErrorText(), "error");
  engine_.SetErrorText(std::string());
  EXPECT_TRUE(engine_.ErrorText().empty());
  engine_.SetTargetPath(nullptr);
  EXPECT_FALSE(engine_.HasTarget());
  platform_.volume = {{100 * kMiB, 200 * kMiB}};
  EXPECT_EQ(engine_.GetFreeSpaceMB(), kAllOnes);
  EXPECT_EQ(engine_.GetCapacityMB(), kAllOnes);
}

TEST_F(EngineStateTest, VolumeSpaceInWholeMByteRoundedDownOrAllOnes) {
  platform_.volume = {{5000000000, 8 * kGiB + kMiB - 1}};
  EXPECT_EQ(engine_.GetFreeSpaceMB(), 4768u);
  EXPECT_EQ(engine_.GetCapacityMB(), 8192u);
  platform_.volume = {{kMiB - 1, kMiB}};
  EXPECT_EQ(engine_.GetFreeSpaceMB(), 0u);
  EXPECT_EQ(engine_.GetCapacityMB(), 1u);
  platform_.fail_volume_query = true;
  EXPECT_EQ(engine_.GetFreeSpaceMB(), 0xFFFFFFFFFFFFFFFFu);
  EXPECT_EQ(engine_.GetCapacityMB(), 0xFFFFFFFFFFFFFFFFu);
}

TEST(EngineVolume, RealVolumeOfAnExistingFolderAndOfAMissingOne) {
  CTestEngine engine(SystemPlatform());
  TempDir dir;
  engine.SetTargetPath(dir.path().c_str());
  const uint64_t free_mb = engine.GetFreeSpaceMB();
  const uint64_t capacity = engine.GetCapacityMB();
  EXPECT_NE(capacity, kAllOnes);
  EXPECT_LE(free_mb, capacity);
  engine.SetTargetPath((dir.path() + "/missing").c_str());
  EXPECT_EQ(engine.GetFreeSpaceMB(), kAllOnes);
  EXPECT_EQ(engine.GetCapacityMB(), kAllOnes);
}

TEST_F(EngineStateTest, SizeSetsOrClearsTheCapacityWarning) {
  struct Case {
    uint64_t capacity;  // bytes; 0: the query fails
    uint64_t size_mb;
    int language;
    const char* warning;
  };
  const Case cases[] = {
      {7000 * kMiB + 12345, 500, kEnglish, "Warning: Only 500 of 7000 MByte tested.\r\n"},
      {7000 * kMiB, 501, kGerman, "Achtung: Nur 501 von 7000 MByte getestet.\r\n"},
      {100 * kMiB, 0xFFFFFFFFFFFFFFFF, kEnglish,
       "Warning: Only 18446744073709551615 of 100 MByte tested.\r\n"},  // above also warns
      {7000 * kMiB, 7000, kEnglish, ""},  // equal: no warning
      {0, 500, kGerman, ""},
  };
  engine_.SetTargetPath("/media/stick");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size_mb);
    LanguageGuard lang(c.language);
    platform_.volume = {{10 * kMiB, c.capacity}};
    platform_.fail_volume_query = c.capacity == 0;
    engine_.SetWarningText("an old warning");
    engine_.SetSize(c.size_mb);
    EXPECT_EQ(engine_.SizeMB(), c.size_mb);
    EXPECT_EQ(engine_.WarningText(), c.warning);
  }
}

TEST(LanguageText, StartsGermanAndIsEnglishOnlyFor1) {
  // No test may leave another language behind, so the start value is still
  // in place here.
  EXPECT_EQ(g_language, 0);
  for (int value : {0, 2, -1, 100}) {
    LanguageGuard lang(value);
    EXPECT_STREQ(LangText("Yes", "Ja"), "Ja") << "language " << value;
  }
  LanguageGuard lang(1);
  EXPECT_STREQ(LangText("Yes", "Ja"), "Yes");
}

TEST_F(EngineStateTest, RaiseErrorFormatsAndStoresTheText) {
  engine_.RaiseError("A %s B %llu C %llx D %lld E %u", "xä", 18446744073709551615ull,
                     0x200000ull, -1ll, 5u);
  EXPECT_EQ(engine_.ErrorText(), "A xä B 18446744073709551615 C 200000 D -1 E 5");
  engine_.RaiseSystemError(5, "Error creating file '%s'.", "/media/stick/1.kvx");
  EXPECT_EQ(engine_.ErrorText(),
            "Error creating file '/media/stick/1.kvx'.\r\n(Fake system text Code 5)\r\n");
}

TEST_F(EngineStateTest, SystemErrorCutsOnlyOneFinalCarriageReturnLineFeed) {
  struct Case {
    const char* system_text;
    ErrorCode code;
    const char* expected;
  };
  const Case cases[] = {
      {"Fake system text\r\n", 5, "msg\r\n(Fake system text Code 5)\r\n"},
      {"Fake\r\n\r\n", 5, "msg\r\n(Fake\r\n Code 5)\r\n"},
      {"No break at all", 5, "msg\r\n(No break at all Code 5)\r\n"},
      {"X", 5, "msg\r\n(X Code 5)\r\n"},
      {"\r\n", 5, "msg\r\n( Code 5)\r\n"},
      {"Line feed only\n", 5, "msg\r\n(Line feed only\n Code 5)\r\n"},
      {"Carriage return only\r", 5, "msg\r\n(Carriage return only\r Code 5)\r\n"},
      {"Two lines\r\nof text\r\n", 5, "msg\r\n(Two lines\r\nof text Code 5)\r\n"},
      {"", 5, "msg\r\n( Code 5)\r\n"},
      {"T\r\n", 4294967295u, "msg\r\n(T Code 4294967295)\r\n"},  // the code is unsigned
  };
  for (const Case& c : cases) {
    platform_.error_text = c.system_text;
    engine_.RaiseSystemError(c.code, "msg");
    EXPECT_EQ(engine_.ErrorText(), c.expected) << c.system_text;
  }
}

TEST(EngineSystemText, RealSystemTextHasNoFinalLineBreak) {
  CTestEngine engine(SystemPlatform());
  engine.RaiseSystemError(kEacces, "msg");
  EXPECT_EQ(engine.ErrorText(), "msg\r\n(Permission denied Code 13)\r\n");
}

TEST_F(EngineStateTest, ErrorTextsAreCutTo999CharactersOnACharacterBoundary) {
  // 999 characters in 1000 bytes stay whole; 1201 are cut to 999.
  const std::string whole = std::string(998, 'a') + "ä";
  engine_.RaiseError("%s", whole.c_str());
  EXPECT_EQ(engine_.ErrorText(), whole);
  engine_.RaiseError("%s", ("a" + Repeat("äöü", 400)).c_str());
  EXPECT_EQ(engine_.ErrorText(), "a" + Repeat("äöü", 332) + "äö");
  // The message before its system part: 38 characters, then 961 of ß and €.
  const std::string path = "/media/" + Repeat("ß€", 500) + "/1.kvx";
  engine_.RaiseSystemError(5, "Fehler beim Anlegen der Datei '%s'.", path.c_str());
  EXPECT_EQ(engine_.ErrorText(),
            "Fehler beim Anlegen der Datei '/media/" + Repeat("ß€", 480) + "ß");
  // A long system text is cut too, and the form stays within the limit.
  platform_.error_text = Repeat("ü", 1500) + "\r\n";
  engine_.RaiseSystemError(5, "msg");
  EXPECT_EQ(engine_.ErrorText(), "msg\r\n(" + Repeat("ü", 993));
}

}  // namespace
}  // namespace kalvex::testing
