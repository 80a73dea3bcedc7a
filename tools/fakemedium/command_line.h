// The command line of fakemedium:
//
//   fakemedium MOUNTPOINT --advertised SIZE [--real SIZE] [--store PATH]
//              [--wrap | --drop=zero|ff]
//              [--flip OFFSET:BIT]... [--flip-rate N [--seed S]]
//              [--read-error START:LEN]... [--write-error START:LEN]...
//              [--slow MIBPS] [--vanish-after BYTES] [--vanish-errno=eio|enxio]
//              [--log FILE] [--written-map FILE] [-f]
//
//   fakemedium-predict --advertised SIZE [--real SIZE] [--wrap | --drop=zero|ff]
//              [--flip OFFSET:BIT]... [--flip-rate N [--seed S]]
//              [--read-error START:LEN]... [--write-error START:LEN]... [--slow MIBPS]
//              --store PATH --written-map FILE --size-mb N
//
// SIZE, BYTES, OFFSET, START and LEN are bytes, or KiB, MiB, GiB with a
// K, M or G after the number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/fakemedium/settings.h"

namespace kalvex::fakemedium {

struct ParseResult {
  std::optional<Settings> settings;  // none: stop with exit_code
  int exit_code = 0;
  std::string out_text;  // help, for standard output
  std::string err_text;  // what was wrong, for standard error
};

struct PredictOptions {
  Settings medium;  // with store_path and written_map_path set
  uint64_t size_mb = 0;
};

struct PredictParseResult {
  std::optional<PredictOptions> options;  // none: stop with exit_code
  int exit_code = 0;
  std::string out_text;
  std::string err_text;
};

// args[0] is the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& args);
PredictParseResult ParsePredictCommandLine(const std::vector<std::string>& args);

// Why the settings cannot make a medium, or empty when they can.
std::string CheckSettings(const Settings& settings);

}  // namespace kalvex::fakemedium
