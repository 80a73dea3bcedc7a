// fakemedium: a storage medium that lies about its capacity or its data,
// for testing Kalvex against the faults of real fake and failing media.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "tools/fakemedium/command_line.h"
#include "tools/fakemedium/fuse_server.h"
#include "tools/fakemedium/medium.h"

using namespace kalvex::fakemedium;

int main(int argc, char** argv) {
  const ParseResult parsed = ParseCommandLine(std::vector<std::string>(argv, argv + argc));
  std::cout << parsed.out_text;
  std::cerr << parsed.err_text;
  if (!parsed.settings) return parsed.exit_code;
  Settings settings = *parsed.settings;
  try {
    if (!settings.written_map_path.empty()) {
      // Saved after FUSE has gone into the background, which changes to /.
      settings.written_map_path = std::filesystem::absolute(settings.written_map_path).string();
      // A folder that cannot take the map should stop the start, not the
      // bench's wait for the map after a whole run.
      if (const int error = WrittenMap().Save(settings.written_map_path); error != 0)
        throw std::runtime_error("cannot write the written map " + settings.written_map_path +
                                 ": " + std::strerror(error));
      std::remove(settings.written_map_path.c_str());
    }
    auto log = settings.log_path.empty()
                   ? std::make_unique<EventLog>()
                   : std::make_unique<EventLog>(EventLog::OpenForAppend(settings.log_path));
    Medium medium(settings, OpenStore(settings.store_path, settings.real), std::move(log));
    const int status = Serve(medium, settings, argv[0]);
    // Unmounted: every write the medium will ever see is in the map now.
    if (const int error = medium.SaveWrittenMap(); error != 0) {
      std::cerr << "fakemedium: cannot save the written map " << settings.written_map_path << ": "
                << std::strerror(error) << "\n";
      return status != 0 ? status : 1;
    }
    return status;
  } catch (const std::exception& error) {
    std::cerr << "fakemedium: " << error.what() << "\n";
    return 1;
  }
}
