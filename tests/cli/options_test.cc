#include "cli/options.h"

#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "engine/language.h"

namespace kalvex::cli {
namespace {

constexpr int kEnglish = 1;
constexpr int kGerman = 0;

// Parsing sets the process-wide language; each test gets it back as it was.
class OptionsTest : public ::testing::Test {
 protected:
  void TearDown() override { g_language = m_saved; }

  ParseResult Parse(std::vector<std::string> args, int language = kEnglish) {
    args.insert(args.begin(), "kalvex-cli");
    return ParseCommandLine(args, language);
  }

 private:
  int m_saved = g_language;
};

TEST(LanguageFromLocaleTest, FirstNonEmptyVariableDecides) {
  EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, nullptr), kEnglish);
  EXPECT_EQ(LanguageFromLocale("", "", ""), kEnglish);
  EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "de_DE.UTF-8"), kGerman);
  EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "de"), kGerman);
  EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "en_US.UTF-8"), kEnglish);
  EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "C"), kEnglish);
  EXPECT_EQ(LanguageFromLocale("C.UTF-8", "de_DE", "de_DE"), kEnglish);
  EXPECT_EQ(LanguageFromLocale("de_CH", "en_US", "en_US"), kGerman);
  EXPECT_EQ(LanguageFromLocale("", "de_AT", "en_US"), kGerman);
  EXPECT_EQ(LanguageFromLocale(nullptr, "fr_FR", "de_DE"), kEnglish);
  EXPECT_EQ(LanguageFromLocale("", "", "de_DE"), kGerman);
  // Only a value that starts with "de" is German.
  EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "d"), kEnglish);
  EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "nl_DE"), kEnglish);
  EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "DE_de"), kEnglish);
}

TEST(LanguageFromOptionTest, KnowsExactlyTwoLanguages) {
  EXPECT_EQ(LanguageFromOption("en"), kEnglish);
  EXPECT_EQ(LanguageFromOption("de"), kGerman);
  EXPECT_FALSE(LanguageFromOption("fr").has_value());
  EXPECT_FALSE(LanguageFromOption("").has_value());
  EXPECT_FALSE(LanguageFromOption("DE").has_value());
}

TEST(IsDigitsOnlyTest, AcceptsOnlyDecimalDigits) {
  EXPECT_TRUE(IsDigitsOnly("0"));
  EXPECT_TRUE(IsDigitsOnly("1234567890"));
  EXPECT_FALSE(IsDigitsOnly(""));
  EXPECT_FALSE(IsDigitsOnly("12a"));
  EXPECT_FALSE(IsDigitsOnly(" 12"));
  EXPECT_FALSE(IsDigitsOnly("+12"));
  EXPECT_FALSE(IsDigitsOnly("-1"));
  EXPECT_FALSE(IsDigitsOnly("1.5"));
  EXPECT_FALSE(IsDigitsOnly("\xd9\xa1"));  // an Arabic-Indic digit one
}

TEST_F(OptionsTest, TestWithSizeAndEverything) {
  const ParseResult result =
      Parse({"test", "/media/stick", "--size", "4096", "--endless", "--json", "out.json"});
  ASSERT_TRUE(result.options.has_value()) << result.err_text;
  const Options& o = *result.options;
  EXPECT_EQ(o.command, Command::kTest);
  EXPECT_EQ(o.target, "/media/stick");
  EXPECT_EQ(o.size_text, "4096");
  EXPECT_TRUE(o.endless);
  EXPECT_EQ(o.json_path, "out.json");
  EXPECT_EQ(o.language, kEnglish);
}

TEST_F(OptionsTest, TestWithoutSizeMeansAllSpace) {
  const ParseResult result = Parse({"test", "dir"});
  ASSERT_TRUE(result.options.has_value()) << result.err_text;
  EXPECT_FALSE(result.options->size_text.has_value());
  EXPECT_FALSE(result.options->endless);
  EXPECT_FALSE(result.options->json_path.has_value());
}

TEST_F(OptionsTest, VerifyAndScan) {
  const ParseResult verify = Parse({"verify", "dir", "--json", "-"});
  ASSERT_TRUE(verify.options.has_value()) << verify.err_text;
  EXPECT_EQ(verify.options->command, Command::kVerify);
  EXPECT_EQ(verify.options->json_path, "-");

  const ParseResult scan = Parse({"scan", "dir"});
  ASSERT_TRUE(scan.options.has_value()) << scan.err_text;
  EXPECT_EQ(scan.options->command, Command::kScan);
  EXPECT_EQ(scan.options->target, "dir");
}

TEST_F(OptionsTest, LanguageOptionOverridesTheDefault) {
  const ParseResult german = Parse({"scan", "dir", "--lang", "de"}, kEnglish);
  ASSERT_TRUE(german.options.has_value());
  EXPECT_EQ(german.options->language, kGerman);
  EXPECT_EQ(g_language, kGerman);

  const ParseResult english = Parse({"test", "--lang", "en", "dir"}, kGerman);
  ASSERT_TRUE(english.options.has_value());
  EXPECT_EQ(english.options->language, kEnglish);
  EXPECT_EQ(g_language, kEnglish);

  const ParseResult by_default = Parse({"verify", "dir"}, kGerman);
  ASSERT_TRUE(by_default.options.has_value());
  EXPECT_EQ(by_default.options->language, kGerman);
  EXPECT_EQ(g_language, kGerman);
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
    std::string joined;
    for (const auto& arg : args) joined += " " + arg;
    EXPECT_FALSE(result.options.has_value()) << joined;
    EXPECT_EQ(result.exit_code, kExitRefused) << joined;
    EXPECT_FALSE(result.err_text.empty()) << joined;
  }
}

TEST_F(OptionsTest, SizeErrorSpeaksTheChosenLanguage) {
  const ParseResult english = Parse({"test", "dir", "--size", "x"}, kEnglish);
  EXPECT_NE(english.err_text.find("digits only"), std::string::npos) << english.err_text;
  const ParseResult german = Parse({"test", "dir", "--size", "x"}, kGerman);
  EXPECT_NE(german.err_text.find("nur Ziffern"), std::string::npos) << german.err_text;
  // --lang is honoured wherever it stands.
  const ParseResult late = Parse({"test", "dir", "--size", "x", "--lang", "de"}, kEnglish);
  EXPECT_NE(late.err_text.find("nur Ziffern"), std::string::npos) << late.err_text;
}

TEST_F(OptionsTest, HelpIsNoError) {
  const ParseResult help = Parse({"--help"});
  EXPECT_FALSE(help.options.has_value());
  EXPECT_EQ(help.exit_code, kExitOk);
  EXPECT_NE(help.out_text.find("Exit status"), std::string::npos) << help.out_text;
  EXPECT_NE(help.out_text.find("130"), std::string::npos);

  const ParseResult sub = Parse({"verify", "--help"});
  EXPECT_EQ(sub.exit_code, kExitOk);
  EXPECT_NE(sub.out_text.find("--endless"), std::string::npos) << sub.out_text;
  EXPECT_EQ(sub.out_text.find("--size"), std::string::npos) << sub.out_text;
}

}  // namespace
}  // namespace kalvex::cli
