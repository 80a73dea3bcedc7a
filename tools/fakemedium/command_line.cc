#include "tools/fakemedium/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>

#include "tools/fakemedium/size_text.h"

namespace kalvex::fakemedium {

namespace {

constexpr const char* kFooter =
    "Serves MOUNTPOINT/medium, a file of the advertised size backed by a store of\n"
    "the real size. Beyond the real size, --wrap stores address A at A mod real;\n"
    "--drop loses writes and reads back 0x00 (zero) or 0xFF (ff). Without either,\n"
    "the medium is honest and real must equal advertised (the default).\n"
    "Rate flips: sector i (512 bytes) is hit when h % N == 0 with\n"
    "h = splitmix64(S ^ i), at bit b = splitmix64(h) % 4096: byte i*512 + b/8,\n"
    "bit b % 8 (bit k is the value 1 << k).\n"
    "SIGUSR1 makes the medium vanish at once, like --vanish-after.\n"
    "SIGUSR2 saves the --written-map file (it is saved at the end too).\n";

CLI::Validator SizeText() {
  return CLI::Validator(
      [](std::string& text) { return ParseSize(text) ? std::string() : "not a size: " + text; },
      "SIZE");
}

CLI::Validator SizePairText() {
  return CLI::Validator(
      [](std::string& text) {
        return ParseSizePair(text) ? std::string() : "not A:B with two sizes: " + text;
      },
      "A:B");
}

// The texts of options that need more than a number, as given.
struct Texts {
  std::string advertised;
  std::string real;
  std::string drop;
  std::vector<std::string> flips;
  std::vector<std::string> read_errors;
  std::vector<std::string> write_errors;
  std::string vanish_after;
  std::string vanish_errno = "eio";
};

std::vector<ByteRange> RangesOf(const std::vector<std::string>& texts) {
  std::vector<ByteRange> ranges;
  for (const std::string& text : texts) {
    const auto pair = ParseSizePair(text);  // checked while parsing
    ranges.push_back({pair->first, pair->second});
  }
  return ranges;
}

std::vector<BitFlip> FlipsOf(const std::vector<std::string>& texts) {
  std::vector<BitFlip> flips;
  for (const std::string& text : texts) {
    const auto pair = ParseSizePair(text);
    // Any bit past 7 becomes 8 for CheckSettings to refuse: a plain cast
    // could wrap a huge one back into 0..7.
    flips.push_back({pair->first, static_cast<unsigned>(std::min<uint64_t>(pair->second, 8))});
  }
  return flips;
}

// Turns the checked texts into settings.
Settings Convert(const Texts& texts, Settings settings) {
  settings.advertised = *ParseSize(texts.advertised);
  settings.real = texts.real.empty() ? settings.advertised : *ParseSize(texts.real);
  if (!texts.drop.empty()) {
    settings.mode = MapMode::kDrop;
    settings.drop_fill = texts.drop == "ff" ? 0xFF : 0x00;
  }
  settings.flips = FlipsOf(texts.flips);
  settings.read_errors = RangesOf(texts.read_errors);
  settings.write_errors = RangesOf(texts.write_errors);
  if (!texts.vanish_after.empty()) settings.vanish_after = *ParseSize(texts.vanish_after);
  settings.vanish_errno = texts.vanish_errno == "enxio" ? ENXIO : EIO;
  return settings;
}

}  // namespace

std::string CheckSettings(const Settings& s) {
  if (s.advertised == 0 || s.advertised % kSectorSize != 0)
    return "--advertised must be a positive multiple of 512 bytes";
  if (s.real == 0 || s.real % kSectorSize != 0)
    return "--real must be a positive multiple of 512 bytes";
  if (s.real > s.advertised) return "--real must not be larger than --advertised";
  if (s.mode == MapMode::kHonest && s.real != s.advertised)
    return "an honest medium stores everything: --real must equal --advertised "
           "(or choose --wrap or --drop)";
  for (const BitFlip& flip : s.flips) {
    if (flip.bit > 7) return "--flip: BIT must be 0 to 7";
    if (flip.offset >= s.advertised) return "--flip: OFFSET must lie inside the medium";
  }
  for (const auto* ranges : {&s.read_errors, &s.write_errors}) {
    for (const ByteRange& range : *ranges) {
      if (range.length == 0) return "--read-error/--write-error: LEN must not be 0";
    }
  }
  return {};
}

namespace {

// The options that say how the medium behaves, shared by fakemedium and
// fakemedium-predict so both read a scenario's options the same way.
void AddMediumOptions(CLI::App& app, Settings& settings, Texts& texts, bool& wrap_flag) {
  app.add_option("--advertised", texts.advertised, "Size of the served file")
      ->required()
      ->check(SizeText());
  app.add_option("--real", texts.real, "What the medium really keeps (default: --advertised)")
      ->check(SizeText());
  CLI::Option* wrap =
      app.add_flag("--wrap", wrap_flag, "Beyond --real, address A lands at A mod real");
  app.add_option("--drop", texts.drop, "Beyond --real, writes are lost; reads return 0x00 or 0xFF")
      ->check(CLI::IsMember({"zero", "ff"}))
      ->type_name("zero|ff")
      ->excludes(wrap);
  app.add_option("--flip", texts.flips, "Flip bit BIT (0-7) of the byte at OFFSET on every read")
      ->check(SizePairText())
      ->type_name("OFFSET:BIT")
      ->allow_extra_args(false);
  CLI::Option* rate = app.add_option("--flip-rate", settings.flip_rate,
                                     "Flip one bit in about one in N sectors on read")
                          ->check(CLI::PositiveNumber)
                          ->type_name("N");
  app.add_option("--seed", settings.flip_seed, "Seed of the --flip-rate choice (default 0)")
      ->type_name("S")
      ->needs(rate);
  app.add_option("--read-error", texts.read_errors, "EIO for reads touching these bytes")
      ->check(SizePairText())
      ->type_name("START:LEN")
      ->allow_extra_args(false);
  app.add_option("--write-error", texts.write_errors, "EIO for writes touching these bytes")
      ->check(SizePairText())
      ->type_name("START:LEN")
      ->allow_extra_args(false);
  app.add_option("--slow", settings.slow_mib_per_second, "Move at most this many MiB per second")
      ->check(CLI::PositiveNumber)
      ->type_name("MIBPS");
}

// Parses args into app; false, with what to print and the exit code in
// result, when the program should stop here.
template <typename Result>
bool Parse(CLI::App& app, const std::vector<std::string>& args, Result& result) {
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& error) {
    std::ostringstream out;
    std::ostringstream err;
    result.exit_code = app.exit(error, out, err) == 0 ? 0 : 2;
    result.out_text = out.str();
    result.err_text = err.str();
    return false;
  }
  return true;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  Settings settings;
  Texts texts;
  bool wrap_flag = false;
  CLI::App app{"fakemedium: a storage medium that lies, served as one file over FUSE.",
               "fakemedium"};
  app.footer(kFooter);
  app.add_option("MOUNTPOINT", settings.mount_point, "Empty folder to mount on")
      ->required()
      ->type_name("");
  AddMediumOptions(app, settings, texts, wrap_flag);
  app.add_option("--store", settings.store_path,
                 "Keep the real bytes in this file (default: memory)")
      ->type_name("PATH");
  app.add_option("--vanish-after", texts.vanish_after,
                 "Vanish once requests have asked for more than this many bytes")
      ->check(SizeText())
      ->type_name("BYTES");
  app.add_option("--vanish-errno", texts.vanish_errno, "What requests fail with once vanished")
      ->check(CLI::IsMember({"eio", "enxio"}))
      ->type_name("eio|enxio");
  app.add_option("--log", settings.log_path, "Append one line per event to FILE")
      ->type_name("FILE");
  app.add_option("--written-map", settings.written_map_path,
                 "Save which test offset each sector holds to FILE on SIGUSR2 and at the end")
      ->type_name("FILE");
  app.add_flag("-f", settings.foreground, "Stay in the foreground");

  ParseResult result;
  if (!Parse(app, args, result)) return result;
  if (wrap_flag) settings.mode = MapMode::kWrap;
  settings = Convert(texts, settings);
  if (std::string problem = CheckSettings(settings); !problem.empty()) {
    result.exit_code = 2;
    result.err_text = "fakemedium: " + problem + "\n";
    return result;
  }
  result.settings = settings;
  return result;
}

PredictParseResult ParsePredictCommandLine(const std::vector<std::string>& args) {
  PredictOptions options;
  Texts texts;
  bool wrap_flag = false;
  CLI::App app{"fakemedium-predict: what a verify pass over the test data on a simulated "
               "medium must report, worked out from the simulator's store and written map.",
               "fakemedium-predict"};
  app.footer(
      "Give the medium options the simulator ran with (--write-error and --slow are\n"
      "accepted and change nothing that a read returns). Prints JSON on standard output.\n");
  AddMediumOptions(app, options.medium, texts, wrap_flag);
  app.add_option("--store", options.medium.store_path, "The simulator's store file")
      ->required()
      ->type_name("PATH");
  app.add_option("--written-map", options.medium.written_map_path,
                 "The map the simulator saved with --written-map")
      ->required()
      ->type_name("FILE");
  app.add_option("--size-mb", options.size_mb, "The run's amount of test data, in MiB")
      ->required()
      ->type_name("N");

  PredictParseResult result;
  if (!Parse(app, args, result)) return result;
  if (wrap_flag) options.medium.mode = MapMode::kWrap;
  options.medium = Convert(texts, options.medium);
  if (std::string problem = CheckSettings(options.medium); !problem.empty()) {
    result.exit_code = 2;
    result.err_text = "fakemedium-predict: " + problem + "\n";
    return result;
  }
  result.options = options;
  return result;
}

}  // namespace kalvex::fakemedium
