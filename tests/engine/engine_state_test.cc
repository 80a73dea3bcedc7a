// The engine's own state: construction, target and volume queries, the size
// with its capacity warning, the language choice, and the error texts that
// RaiseError and RaiseSystemError record.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "engine/language.h"
#include "tests/engine/fault_platform.h"
#include "tests/engine/test_support.h"

namespace kalvex::testing {
namespace {

// A check of UTF-8 that does not use the engine's helpers: well-formed
// sequences only, and the number of code points.
bool IsWellFormedUtf8(const std::string& text, size_t* chars) {
  size_t n = 0;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > text.size()) return false;
    for (size_t j = 1; j < len; ++j)
      if ((static_cast<unsigned char>(text[i + j]) & 0xC0) != 0x80) return false;
    i += len;
    ++n;
  }
  *chars = n;
  return true;
}

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

class EngineStateTest : public ::testing::Test {
 protected:
  void SetUp() override { platform_.SetErrorText(kFakeSystemText); }
  FaultPlatform platform_;
  CTestEngine engine_{platform_};
};

TEST(EngineConstruction, StartsIdleWithNoTargetSizeOrTexts) {
  FaultPlatform platform;
  platform.SetCounterFrequency(12345678);
  CTestEngine engine(platform);
  const RunStatus s = engine.CopyStatus();
  EXPECT_EQ(s.m_frequency, 12345678);
  EXPECT_FALSE(s.m_abort);
  EXPECT_FALSE(s.m_writeStarted);
  EXPECT_FALSE(s.m_writing);
  EXPECT_FALSE(s.m_verifyStarted);
  EXPECT_FALSE(s.m_verifying);
  EXPECT_EQ(s.m_mbWritten, 0u);
  EXPECT_EQ(s.m_mbVerified, 0u);
  EXPECT_EQ(s.m_mbTotal, 0u);
  EXPECT_EQ(s.m_okSectors + s.m_overwrittenSectors + s.m_changedSectors + s.m_corruptedSectors,
            0u);
  EXPECT_EQ(s.m_aliasedCount, 0u);
  EXPECT_FALSE(s.m_firstError.taken);
  EXPECT_EQ(engine.SizeMB(), 0u);
  EXPECT_FALSE(engine.HasTarget());
  EXPECT_FALSE(engine.m_doWrite);
  EXPECT_FALSE(engine.m_doVerify);
  EXPECT_FALSE(engine.m_endlessVerify);
  EXPECT_TRUE(engine.ErrorText().empty());
  EXPECT_TRUE(engine.WarningText().empty());
  EXPECT_TRUE(engine.BlockBufferAvailable());
  EXPECT_EQ(engine.AliasedOffsets().Count(), 0u);
}

TEST_F(EngineStateTest, TargetPathIsACopyAndNullClearsIt) {
  char path[] = "/media/stick";
  engine_.SetTargetPath(path);
  path[1] = 'X';
  EXPECT_TRUE(engine_.HasTarget());
  EXPECT_EQ(engine_.TargetPath(), "/media/stick");
  engine_.SetTargetPath(nullptr);
  EXPECT_FALSE(engine_.HasTarget());
  platform_.SetVolumeSpace(100 * kMiB, 200 * kMiB);
  EXPECT_EQ(engine_.GetFreeSpaceMB(), kAllOnes);
  EXPECT_EQ(engine_.GetCapacityMB(), kAllOnes);
}

TEST_F(EngineStateTest, VolumeSpaceInWholeMByteRoundedDown) {
  engine_.SetTargetPath("/media/stick");
  platform_.SetVolumeSpace(5000000000, 8 * kGiB + kMiB - 1);
  EXPECT_EQ(engine_.GetFreeSpaceMB(), 4768u);
  EXPECT_EQ(engine_.GetCapacityMB(), 8192u);
  platform_.SetVolumeSpace(kMiB - 1, kMiB);
  EXPECT_EQ(engine_.GetFreeSpaceMB(), 0u);
  EXPECT_EQ(engine_.GetCapacityMB(), 1u);
}

TEST_F(EngineStateTest, FailedVolumeQueryGivesAllOnes) {
  engine_.SetTargetPath("/media/stick");
  platform_.FailVolumeQuery();
  EXPECT_EQ(engine_.GetFreeSpaceMB(), 0xFFFFFFFFFFFFFFFFu);
  EXPECT_EQ(engine_.GetCapacityMB(), 0xFFFFFFFFFFFFFFFFu);
}

TEST_F(EngineStateTest, RealVolumeOfAnExistingFolderAndOfAMissingOne) {
  CTestEngine real_engine(SystemPlatform());
  TempDir dir;
  real_engine.SetTargetPath(dir.path().c_str());
  const uint64_t free_mb = real_engine.GetFreeSpaceMB();
  const uint64_t capacity = real_engine.GetCapacityMB();
  EXPECT_NE(free_mb, kAllOnes);
  EXPECT_NE(capacity, kAllOnes);
  EXPECT_LE(free_mb, capacity);
  real_engine.SetTargetPath((dir.path() + "/missing").c_str());
  EXPECT_EQ(real_engine.GetFreeSpaceMB(), kAllOnes);
  EXPECT_EQ(real_engine.GetCapacityMB(), kAllOnes);
}

TEST_F(EngineStateTest, SizeBelowCapacitySetsTheWarningInEitherLanguage) {
  engine_.SetTargetPath("/media/stick");
  platform_.SetVolumeSpace(10 * kMiB, 7000 * kMiB + 12345);
  {
    LanguageGuard lang(kEnglish);
    engine_.SetSize(500);
    EXPECT_EQ(engine_.SizeMB(), 500u);
    EXPECT_EQ(engine_.WarningText(), "Warning: Only 500 of 7000 MByte tested.\r\n");
  }
  {
    LanguageGuard lang(kGerman);
    engine_.SetSize(501);
    EXPECT_EQ(engine_.WarningText(), "Achtung: Nur 501 von 7000 MByte getestet.\r\n");
  }
}

TEST_F(EngineStateTest, SizeAboveCapacityAlsoWarns) {
  LanguageGuard lang(kEnglish);
  engine_.SetTargetPath("/media/stick");
  platform_.SetVolumeSpace(0, 100 * kMiB);
  engine_.SetSize(0xFFFFFFFFFFFFFFFF);
  EXPECT_EQ(engine_.WarningText(),
            "Warning: Only 18446744073709551615 of 100 MByte tested.\r\n");
}

TEST_F(EngineStateTest, SizeEqualToCapacityClearsTheWarning) {
  LanguageGuard lang(kEnglish);
  engine_.SetTargetPath("/media/stick");
  platform_.SetVolumeSpace(10 * kMiB, 7000 * kMiB);
  engine_.SetSize(500);
  ASSERT_FALSE(engine_.WarningText().empty());
  engine_.SetSize(7000);
  EXPECT_EQ(engine_.SizeMB(), 7000u);
  EXPECT_TRUE(engine_.WarningText().empty());
}

TEST_F(EngineStateTest, FailedCapacityQueryClearsTheWarning) {
  LanguageGuard lang(kGerman);
  engine_.SetTargetPath("/media/stick");
  platform_.SetVolumeSpace(10 * kMiB, 7000 * kMiB);
  engine_.SetSize(500);
  ASSERT_FALSE(engine_.WarningText().empty());
  platform_.FailVolumeQuery();
  engine_.SetSize(500);
  EXPECT_EQ(engine_.SizeMB(), 500u);
  EXPECT_TRUE(engine_.WarningText().empty());
}

TEST(LanguageText, EnglishOnlyFor1GermanForEveryOtherValue) {
  const char* en = "Yes";
  const char* de = "Ja";
  for (int value : {0, 2, -1, 100}) {
    LanguageGuard lang(value);
    EXPECT_STREQ(LangText(en, de), "Ja") << "language " << value;
  }
  LanguageGuard lang(1);
  EXPECT_STREQ(LangText(en, de), "Yes");
}

TEST(LanguageText, StartsGerman) {
  // No test may leave another language behind, so the start value is still
  // in place here.
  EXPECT_EQ(g_language, 0);
}

TEST_F(EngineStateTest, RaiseErrorFormatsAndStoresTheText) {
  engine_.RaiseError("A %s B %llu C %llx D %lld E %u", "x\xC3\xA4", 18446744073709551615ull,
                     0x200000ull, -1ll, 5u);
  EXPECT_EQ(engine_.ErrorText(), "A x\xC3\xA4 B 18446744073709551615 C 200000 D -1 E 5");
}

TEST_F(EngineStateTest, RaiseSystemErrorAppendsTextAndCodeAndCutsOneLineBreak) {
  engine_.RaiseSystemError(5, "Error creating file '%s'.", "/media/stick/1.kvx");
  EXPECT_EQ(engine_.ErrorText(),
            "Error creating file '/media/stick/1.kvx'.\r\n(Fake system text Code 5)\r\n");
}

struct SystemTextCase {
  const char* system_text;
  const char* in_parentheses;
};

class SystemTextTest : public EngineStateTest,
                       public ::testing::WithParamInterface<SystemTextCase> {};

TEST_P(SystemTextTest, OnlyOneFinalCarriageReturnLineFeedIsCut) {
  platform_.SetErrorText(GetParam().system_text);
  engine_.RaiseSystemError(5, "msg");
  EXPECT_EQ(engine_.ErrorText(),
            std::string("msg\r\n(") + GetParam().in_parentheses + " Code 5)\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SystemTextTest,
    ::testing::Values(SystemTextCase{"Fake system text\r\n", "Fake system text"},
                      SystemTextCase{"Fake\r\n\r\n", "Fake\r\n"},
                      SystemTextCase{"No break at all", "No break at all"},
                      SystemTextCase{"X", "X"},
                      SystemTextCase{"\r\n", ""},
                      SystemTextCase{"Line feed only\n", "Line feed only\n"},
                      SystemTextCase{"Carriage return only\r", "Carriage return only\r"},
                      SystemTextCase{"Two lines\r\nof text\r\n", "Two lines\r\nof text"},
                      SystemTextCase{"", ""}));

TEST_F(EngineStateTest, SystemCodeIsPrintedUnsigned) {
  engine_.RaiseSystemError(4294967295u, "msg");
  EXPECT_EQ(engine_.ErrorText(), "msg\r\n(Fake system text Code 4294967295)\r\n");
}

TEST_F(EngineStateTest, RealSystemTextHasNoFinalLineBreak) {
  CTestEngine real_engine(SystemPlatform());
  real_engine.RaiseSystemError(kEacces, "msg");
  EXPECT_EQ(real_engine.ErrorText(), "msg\r\n(Permission denied Code 13)\r\n");
}

TEST_F(EngineStateTest, ErrorTextOf999CharactersStaysWhole) {
  const std::string text = std::string(998, 'a') + "\xC3\xA4";  // 999 chars, 1000 bytes
  engine_.RaiseError("%s", text.c_str());
  EXPECT_EQ(engine_.ErrorText(), text);
}

TEST_F(EngineStateTest, LongErrorTextIsCutTo999CharactersOnACharacterBoundary) {
  const std::string umlauts = "\xC3\xA4\xC3\xB6\xC3\xBC";  // äöü
  std::string text = "a";
  text += Repeat(umlauts, 400);  // 1201 chars
  engine_.RaiseError("%s", text.c_str());
  const std::string stored = engine_.ErrorText();
  size_t chars = 0;
  ASSERT_TRUE(IsWellFormedUtf8(stored, &chars));
  EXPECT_EQ(chars, 999u);
  EXPECT_EQ(stored.size(), 1 + 998 * 2u);
  EXPECT_EQ(text.compare(0, stored.size(), stored), 0);
}

TEST_F(EngineStateTest, LongSystemErrorWithUmlautsIsCutTo999Characters) {
  const std::string path = "/media/" + Repeat("\xC3\x9F\xE2\x82\xAC", 500) + "/1.kvx";  // ß€
  engine_.RaiseSystemError(5, "Fehler beim Anlegen der Datei '%s'.", path.c_str());
  const std::string stored = engine_.ErrorText();
  size_t chars = 0;
  ASSERT_TRUE(IsWellFormedUtf8(stored, &chars));
  EXPECT_EQ(chars, 999u);
  const std::string full = "Fehler beim Anlegen der Datei '" + path + "'.";
  EXPECT_EQ(full.compare(0, stored.size(), stored), 0);
}

TEST_F(EngineStateTest, LongSystemTextIsCutButTheFormStaysWithinTheLimit) {
  platform_.SetErrorText(Repeat("\xC3\xBC", 1500) + "\r\n");
  engine_.RaiseSystemError(5, "msg");
  const std::string stored = engine_.ErrorText();
  size_t chars = 0;
  ASSERT_TRUE(IsWellFormedUtf8(stored, &chars));
  EXPECT_EQ(chars, 999u);
  EXPECT_EQ(stored.compare(0, 6, "msg\r\n("), 0);
}

TEST_F(EngineStateTest, TextsAreCopiesAndEmptyMeansNone) {
  std::string text = "warning";
  engine_.SetWarningText(text);
  engine_.SetErrorText("error");
  text[0] = 'W';
  EXPECT_EQ(engine_.WarningText(), "warning");
  EXPECT_EQ(engine_.ErrorText(), "error");
  engine_.SetErrorText(std::string());
  EXPECT_TRUE(engine_.ErrorText().empty());
}

}  // namespace
}  // namespace kalvex::testing
