// The engine's own state: construction, target and volume queries, the size
// with its capacity warning, the language choice, and the error texts that
// a run's error renders into.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/text_format.h"
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
  path[1] = text[0] = 'X';
  EXPECT_TRUE(engine_.HasTarget());
  EXPECT_EQ(engine_.TargetPath(), "/media/stick");
  EXPECT_EQ(engine_.WarningText(), "warning");
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

RunError Error(ErrorKind kind, const std::string& path = "", uint64_t offset = 0) {
  RunError error;
  error.kind = kind;
  error.path = path;
  error.offset = offset;
  return error;
}

RunError WithCode(RunError error, ErrorCode code, const std::string& system_text) {
  error.has_code = true;
  error.code = code;
  error.system_text = system_text;
  return error;
}

TEST_F(EngineStateTest, RaiseErrorStoresTheValueAndItsTextInTheCurrentLanguage) {
  RunError full = Error(ErrorKind::kMediumFull);
  full.expected_mb = kAllOnes;  // an unresolved size reads -1
  full.found_mb = 98;
  RunError mismatch = Error(ErrorKind::kAmountMismatch);
  mismatch.expected_mb = 500;
  struct Case {
    RunError error;
    int language;
    std::string text;
  } cases[] = {
      {WithCode(Error(ErrorKind::kCreate, "/media/stick/1.kvx"), 5, kFakeSystemText), kEnglish,
       "Error creating file '/media/stick/1.kvx'." + Sys(5)},
      {WithCode(Error(ErrorKind::kWrite, "/m/2.kvx", 0x200000), 28, kFakeSystemText), kGerman,
       "Fehler beim Schreiben der Datei '/m/2.kvx', Offset 0x200000.\r\n"
       "Bis hierher geschriebene Testdaten können trotzdem geprüft werden." + Sys(28)},
      {full, kEnglish,
       "Media has filled up earlier than expected!\r\nIn the beginning there were -1 MByte free, "
       "but only\r\n98 MByte could be written.\r\n"},
      {mismatch, kGerman,
       "Hier ist was faul: 500 MByte Testdaten erwartet,\r\naber nur 0 gefunden!\r\n"
       "Möglicherweise liegen Fehler im Dateisystem vor oder\r\n"
       "ein anderer Prozess hat zwischenzeitlich Dateien gelöscht.\r\n"},
      {Error(ErrorKind::kMediumGone, "/media/stick"), kEnglish,
       "Error: The target folder '/media/stick' is no longer available.\r\n"
       "The medium may have been removed or unmounted.\r\n"},
  };
  for (const Case& c : cases) {
    LanguageGuard lang(c.language);
    engine_.RaiseError(c.error);
    EXPECT_EQ(engine_.ErrorText(), c.text);
    EXPECT_EQ(engine_.Error().kind, c.error.kind);
    EXPECT_EQ(engine_.Error().path, c.error.path);
  }
  // The next run starts without the old error.
  Prepare(1, true, true);
  EXPECT_TRUE(engine_.ErrorText().empty());
  EXPECT_FALSE(engine_.Error());
}

TEST(EngineSystemText, SystemErrorCutsOnlyOneFinalCarriageReturnLineFeed) {
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
  for (const Case& c : cases) EXPECT_EQ(JoinSystemText("msg", c.system_text, c.code), c.expected);
}

TEST(EngineSystemText, RealSystemTextHasNoFinalLineBreak) {
  LanguageGuard lang(kEnglish);
  const RunError error = SystemError(ErrorKind::kOpen, "/m/1.kvx", kEacces, SystemPlatform());
#ifdef _WIN32
  // The text is in the system's language; it must be there, once, unbroken.
  const std::string text = SystemPlatform().ErrorText(kEacces);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
  EXPECT_EQ(RenderError(error), "Error opening file '/m/1.kvx'.\r\n(" + text + " Code 5)\r\n");
#else
  EXPECT_EQ(RenderError(error), "Error opening file '/m/1.kvx'.\r\n(Permission denied Code 13)\r\n");
#endif
}

TEST(EngineSystemText, LongTextsStayWithin999CharactersAndKeepTheirEnd) {
  LanguageGuard lang(kGerman);
  // A path too long for the message is shortened in its middle: the medium
  // and the file name stay readable, and so does the system's reason.
  const std::string path = "/media/" + Repeat("ß€", 500) + "/1.kvx";
  const std::string text =
      RenderError(WithCode(Error(ErrorKind::kCreate, path), 5, "Fake system text"));
  EXPECT_EQ(CountChars(text), 999u);
  EXPECT_EQ(text.rfind("Fehler beim Anlegen der Datei '/media/ß€ß€", 0), 0u) << text;
  EXPECT_NE(text.find("..."), std::string::npos);
  EXPECT_TRUE(text.ends_with("ß€/1.kvx'.\r\n(Fake system text Code 5)\r\n"));
  // A long system text is cut at the end, as any text is.
  const std::string cut =
      RenderError(WithCode(Error(ErrorKind::kClose, "/m"), 5, Repeat("ü", 1500) + "\r\n"));
  EXPECT_EQ(CountChars(cut), 999u);
  EXPECT_TRUE(cut.starts_with("Fehler beim Schließen der Datei '/m'.\r\n(üüü"));
  EXPECT_TRUE(cut.ends_with("üüü"));
  // Short texts are never touched.
  EXPECT_EQ(RenderError(Error(ErrorKind::kPathTooLong, "/m")),
            "Fehler: Der Pfad des Zielordners '/m' ist für die Testdateien zu lang.\r\n");
}

}  // namespace
}  // namespace kalvex::testing
