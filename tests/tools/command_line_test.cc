#include "tools/fakemedium/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kalvex::fakemedium {
namespace {

constexpr uint64_t kMiB = 1048576;

// Parses a command line written as in a shell, without quoting.
ParseResult Parse(const std::string& line) {
  std::vector<std::string> args = {"fakemedium"};
  std::istringstream words(line);
  for (std::string word; words >> word;) args.push_back(word);
  return ParseCommandLine(args);
}

TEST(CommandLineTest, EveryModeAtOnce) {
  const ParseResult result = Parse(
      "/mnt/x --advertised 64M --real 32M --wrap --store /s --flip 1000:3 --flip 2K:7 "
      "--flip-rate 100 --seed 9 --read-error 1M:4K --write-error 2M:512 --write-error 3M:1K "
      "--slow 2.5 --vanish-after 10M --vanish-errno=enxio --log /l --written-map /w -f");
  ASSERT_TRUE(result.settings) << result.err_text;
  const Settings& s = *result.settings;
  EXPECT_EQ(s.mount_point, "/mnt/x");
  EXPECT_EQ(s.advertised, 64 * kMiB);
  EXPECT_EQ(s.real, 32 * kMiB);
  EXPECT_EQ(s.mode, MapMode::kWrap);
  EXPECT_EQ(s.store_path, "/s");
  EXPECT_EQ(s.flips, (std::vector<BitFlip>{{1000, 3}, {2048, 7}}));
  EXPECT_EQ(s.flip_rate, 100u);
  EXPECT_EQ(s.flip_seed, 9u);
  EXPECT_EQ(s.read_errors, (std::vector<ByteRange>{{kMiB, 4096}}));
  EXPECT_EQ(s.write_errors, (std::vector<ByteRange>{{2 * kMiB, 512}, {3 * kMiB, 1024}}));
  EXPECT_DOUBLE_EQ(s.slow_mib_per_second, 2.5);
  EXPECT_EQ(s.vanish_after, 10 * kMiB);
  EXPECT_EQ(s.vanish_errno, ENXIO);
  EXPECT_EQ(s.log_path, "/l");
  EXPECT_EQ(s.written_map_path, "/w");
  EXPECT_TRUE(s.foreground);
}

TEST(CommandLineTest, HonestByDefaultWithRealEqualToAdvertised) {
  const ParseResult result = Parse("/m --advertised 8M");
  ASSERT_TRUE(result.settings) << result.err_text;
  EXPECT_EQ(result.settings->mode, MapMode::kHonest);
  EXPECT_EQ(result.settings->real, 8 * kMiB);
  EXPECT_TRUE(result.settings->store_path.empty());
  EXPECT_FALSE(result.settings->vanish_after);
  EXPECT_EQ(result.settings->vanish_errno, EIO);
  EXPECT_FALSE(result.settings->foreground);
  EXPECT_TRUE(result.settings->written_map_path.empty());
}

TEST(CommandLineTest, DropChoosesItsFill) {
  const ParseResult zero = Parse("/m --advertised 8M --real 4M --drop=zero");
  ASSERT_TRUE(zero.settings) << zero.err_text;
  EXPECT_EQ(zero.settings->mode, MapMode::kDrop);
  EXPECT_EQ(zero.settings->drop_fill, 0x00);
  const ParseResult ff = Parse("/m --advertised 8M --real 4M --drop ff");
  ASSERT_TRUE(ff.settings) << ff.err_text;
  EXPECT_EQ(ff.settings->drop_fill, 0xFF);
}

TEST(CommandLineTest, RefusesWhatMakesNoMedium) {
  for (const char* line : {
           "--advertised 8M",                      // no mount point
           "/m",                                   // no size
           "/m --advertised 8M --real 4M",         // honest, but smaller
           "/m --advertised 4M --real 8M --wrap",  // real above advertised
           "/m --advertised 8M --real 4M --wrap --drop=ff",
           "/m --advertised 8M --real 4M --drop=one",
           "/m --advertised 1000",  // not whole sectors
           "/m --advertised 0",
           "/m --advertised 8M --flip 100:8",
           "/m --advertised 8M --flip 8M:0",  // past the end
           "/m --advertised 8M --flip 100",
           "/m --advertised 8M --seed 3",  // a seed without a rate
           "/m --advertised 8M --flip-rate 0",
           "/m --advertised 8M --read-error 1M:0",
           "/m --advertised 8M --write-error 1M",
           "/m --advertised 8M --slow 0",
           "/m --advertised 8M --vanish-after lots",
           "/m --advertised 8M --vanish-errno=eperm",
       }) {
    const ParseResult result = Parse(line);
    EXPECT_FALSE(result.settings) << line;
    EXPECT_EQ(result.exit_code, 2) << line;
    EXPECT_FALSE(result.err_text.empty()) << line;
  }
}

TEST(CommandLineTest, HelpIsNoError) {
  const ParseResult result = Parse("--help");
  EXPECT_FALSE(result.settings);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_NE(result.out_text.find("--flip-rate"), std::string::npos);
}

PredictParseResult ParsePredict(const std::string& line) {
  std::vector<std::string> args = {"fakemedium-predict"};
  std::istringstream words(line);
  for (std::string word; words >> word;) args.push_back(word);
  return ParsePredictCommandLine(args);
}

// The medium options read as fakemedium reads them, so a bench can give
// both the same scenario.
TEST(CommandLineTest, PredictTakesTheMediumOptionsOfTheSimulator) {
  const PredictParseResult result = ParsePredict(
      "--advertised 64M --real 32M --drop=ff --flip 1000:3 --flip-rate 100 --seed 9 "
      "--read-error 1M:4K --write-error 2M:512 --slow 3 --store /s --written-map /w --size-mb 30");
  ASSERT_TRUE(result.options) << result.err_text;
  const Settings& s = result.options->medium;
  EXPECT_EQ(s.advertised, 64 * kMiB);
  EXPECT_EQ(s.real, 32 * kMiB);
  EXPECT_EQ(s.mode, MapMode::kDrop);
  EXPECT_EQ(s.drop_fill, 0xFF);
  EXPECT_EQ(s.flips, (std::vector<BitFlip>{{1000, 3}}));
  EXPECT_EQ(s.flip_rate, 100u);
  EXPECT_EQ(s.flip_seed, 9u);
  EXPECT_EQ(s.read_errors, (std::vector<ByteRange>{{kMiB, 4096}}));
  EXPECT_EQ(s.store_path, "/s");
  EXPECT_EQ(s.written_map_path, "/w");
  EXPECT_EQ(result.options->size_mb, 30u);
  const PredictParseResult wrap =
      ParsePredict("--advertised 64M --real 32M --wrap --store /s --written-map /w --size-mb 1");
  ASSERT_TRUE(wrap.options) << wrap.err_text;
  EXPECT_EQ(wrap.options->medium.mode, MapMode::kWrap);
}

TEST(CommandLineTest, PredictRefusesWhatItCannotWorkFrom) {
  for (const char* line : {
           "--advertised 8M --written-map /w --size-mb 1",               // no store
           "--advertised 8M --store /s --size-mb 1",                     // no map
           "--advertised 8M --store /s --written-map /w",                // no size
           "--advertised 8M --real 4M --store /s --written-map /w --size-mb 1",  // honest, smaller
           "/m --advertised 8M --store /s --written-map /w --size-mb 1",  // a mount point
           "--advertised 8M --store /s --written-map /w --size-mb 1 --log /l",
       }) {
    const PredictParseResult result = ParsePredict(line);
    EXPECT_FALSE(result.options) << line;
    EXPECT_EQ(result.exit_code, 2) << line;
    EXPECT_FALSE(result.err_text.empty()) << line;
  }
}

}  // namespace
}  // namespace kalvex::fakemedium
