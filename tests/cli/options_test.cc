// The command line: the language from the locale and from --lang, the size
// text, the three subcommands and every refusal.

#include "cli/options.h"
#include "kalvex_version.h"
#include "ui/start_decision.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "tests/support/support.h"

namespace kalvex::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using kalvex::testing::kEnglish;
using kalvex::testing::kGerman;

// Parsing sets the process-wide language; each test gets it back as it was.
class OptionsTest : public ::testing::Test {
 protected:
  ParseResult Parse(std::vector<std::string> args, int language = kEnglish) {
    args.insert(args.begin(), "kalvex-cli");
    return ParseCommandLine(args, language);
  }
  kalvex::testing::LanguageGuard m_guard{g_language};
};

TEST(LanguageFromLocaleTest, FirstNonEmptyVariableDecidesAndOnlyDeIsGerman) {
  const std::tuple<const char*, const char*, const char*, int> cases[] = {
      {nullptr, nullptr, nullptr, kEnglish}, {"", "", "", kEnglish},
      {nullptr, nullptr, "de_DE.UTF-8", kGerman}, {nullptr, nullptr, "de", kGerman},
      {nullptr, nullptr, "en_US.UTF-8", kEnglish}, {nullptr, nullptr, "C", kEnglish},
      {"C.UTF-8", "de_DE", "de_DE", kEnglish}, {"de_CH", "en_US", "en_US", kGerman},
      {"", "de_AT", "en_US", kGerman}, {nullptr, "fr_FR", "de_DE", kEnglish},
      {"", "", "de_DE", kGerman}, {nullptr, nullptr, "d", kEnglish},
      {nullptr, nullptr, "nl_DE", kEnglish}, {nullptr, nullptr, "DE_de", kEnglish}};
  for (const auto& [lc_all, lc_messages, lang, language] : cases)
    EXPECT_EQ(LanguageFromLocale(lc_all, lc_messages, lang), language)
        << (lc_all ? lc_all : "-") << " " << (lc_messages ? lc_messages : "-") << " "
        << (lang ? lang : "-");
}

TEST(LanguageFromOptionTest, KnowsExactlyTwoLanguages) {
  EXPECT_EQ(LanguageFromOption("en"), kEnglish);
  EXPECT_EQ(LanguageFromOption("de"), kGerman);
  for (const char* other : {"fr", "", "DE"}) EXPECT_FALSE(LanguageFromOption(other)) << other;
}

TEST(IsDigitsOnlyTest, AcceptsOnlyDecimalDigits) {
  EXPECT_TRUE(IsDigitsOnly("0"));
  EXPECT_TRUE(IsDigitsOnly("1234567890"));
  // The last one is an Arabic-Indic digit one.
  for (const char* text : {"", "12a", " 12", "+12", "-1", "1.5", "\xd9\xa1"})
    EXPECT_FALSE(IsDigitsOnly(text)) << text;
}

TEST(NearestCommandTest, AtMostTwoEditsAway) {
  EXPECT_EQ(NearestCommand("tset"), "test");
  EXPECT_EQ(NearestCommand("verfy"), "verify");
  EXPECT_EQ(NearestCommand("sacn"), "scan");
  EXPECT_EQ(NearestCommand("clear"), "clean");
  EXPECT_EQ(NearestCommand("tests"), "test");
  EXPECT_FALSE(NearestCommand("format"));
  EXPECT_FALSE(NearestCommand(""));
}

TEST_F(OptionsTest, CleanAndTheConventions) {
  ParseResult result = Parse({"clean", "dir", "--all", "--yes"});
  ASSERT_TRUE(result.options.has_value()) << result.err_text;
  EXPECT_EQ(result.options->command, Command::kClean);
  EXPECT_TRUE(result.options->clean_all && result.options->yes);
  result = Parse({"verify", "dir", "--quiet", "--progress"});
  ASSERT_TRUE(result.options.has_value()) << result.err_text;
  EXPECT_TRUE(result.options->quiet && result.options->progress);
  // Only the runs have these.
  EXPECT_FALSE(Parse({"scan", "dir", "--quiet"}).options.has_value());
  EXPECT_FALSE(Parse({"test", "dir", "--yes"}).options.has_value());
}

TEST_F(OptionsTest, TheThreeCommands) {
  ParseResult result =
      Parse({"test", "/media/stick", "--size", "4096", "--endless", "--json", "out.json"});
  ASSERT_TRUE(result.options.has_value()) << result.err_text;
  Options o = *result.options;
  EXPECT_EQ(o.command, Command::kTest);
  EXPECT_EQ(o.target, "/media/stick");
  EXPECT_EQ(o.size_text, "4096");
  EXPECT_TRUE(o.endless);
  EXPECT_EQ(o.json_path, "out.json");
  EXPECT_EQ(o.language, kEnglish);

  result = Parse({"test", "dir"});  // no size: all free space
  ASSERT_TRUE(result.options.has_value()) << result.err_text;
  EXPECT_FALSE(result.options->size_text || result.options->endless || result.options->json_path);

  result = Parse({"verify", "dir", "--json", "-"});
  ASSERT_TRUE(result.options.has_value()) << result.err_text;
  EXPECT_EQ(result.options->command, Command::kVerify);
  EXPECT_EQ(result.options->json_path, "-");

  result = Parse({"scan", "dir"});
  ASSERT_TRUE(result.options.has_value()) << result.err_text;
  EXPECT_EQ(result.options->command, Command::kScan);
  EXPECT_EQ(result.options->target, "dir");
}

TEST_F(OptionsTest, LanguageOptionOverridesTheDefaultWhereverItStands) {
  const std::tuple<std::vector<std::string>, int, int> cases[] = {
      {{"scan", "dir", "--lang", "de"}, kEnglish, kGerman},
      {{"test", "--lang", "en", "dir"}, kGerman, kEnglish},
      {{"verify", "dir"}, kGerman, kGerman}};
  for (const auto& [args, by_default, chosen] : cases) {
    const ParseResult result = Parse(args, by_default);
    ASSERT_TRUE(result.options.has_value());
    EXPECT_EQ(result.options->language, chosen);
    EXPECT_EQ(g_language, chosen);
  }
  // The parser's own messages already speak the language asked for.
  EXPECT_THAT(Parse({"test", "dir", "--size", "x"}, kEnglish).err_text, HasSubstr("digits only"));
  EXPECT_THAT(Parse({"test", "dir", "--size", "x"}, kGerman).err_text, HasSubstr("nur Ziffern"));
  EXPECT_THAT(Parse({"test", "dir", "--size", "x", "--lang", "de"}, kEnglish).err_text,
              HasSubstr("nur Ziffern"));
}

TEST_F(OptionsTest, BadInputIsARefusal) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"test"},
      {"test", "dir", "--size"},
      {"test", "dir", "--size", "12a"},
      {"test", "dir", "--size", "1e3"},
      {"test", "dir", "--lang", "fr"},
      {"verify", "dir", "--size", "5"},
      {"scan", "dir", "--json", "x"},
      {"scan", "dir", "--endless"},
      {"scan", "dir", "other"},
      {"unknown", "dir"},
  };
  for (const auto& args : bad) {
    const ParseResult result = Parse(args);
    EXPECT_FALSE(result.options.has_value()) << ::testing::PrintToString(args);
    EXPECT_EQ(result.exit_code, kExitRefused) << ::testing::PrintToString(args);
    EXPECT_FALSE(result.err_text.empty()) << ::testing::PrintToString(args);
  }
}

TEST_F(OptionsTest, HelpIsNoError) {
  const ParseResult help = Parse({"--help"});
  EXPECT_FALSE(help.options.has_value());
  EXPECT_EQ(help.exit_code, kExitOk);
  EXPECT_THAT(help.out_text, HasSubstr("Exit status"));
  EXPECT_THAT(help.out_text, HasSubstr("130"));
  const ParseResult sub = Parse({"verify", "--help"});
  EXPECT_EQ(sub.exit_code, kExitOk);
  EXPECT_THAT(sub.out_text, HasSubstr("--endless"));
  EXPECT_THAT(sub.out_text, Not(HasSubstr("--size")));
  // The version comes from the one place the build keeps it.
  const ParseResult version = Parse({"--version"});
  EXPECT_FALSE(version.options.has_value());
  EXPECT_EQ(version.exit_code, kExitOk);
  EXPECT_EQ(version.out_text, std::string("kalvex-cli ") + kVersion + "\n");
}

}  // namespace
}  // namespace kalvex::cli
