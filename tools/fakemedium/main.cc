// fakemedium: a storage medium that lies about its capacity or its data,
// for testing Kalvex against the faults of real fake and failing media.
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
  const Settings& settings = *parsed.settings;
  try {
    auto log = settings.log_path.empty()
                   ? std::make_unique<EventLog>()
                   : std::make_unique<EventLog>(EventLog::OpenForAppend(settings.log_path));
    Medium medium(settings, OpenStore(settings.store_path, settings.real), std::move(log));
    return Serve(medium, settings, argv[0]);
  } catch (const std::exception& error) {
    std::cerr << "fakemedium: " << error.what() << "\n";
    return 1;
  }
}
