// fakemedium-predict: what a verify pass over the test data on a simulated
// medium must report, from the simulator's store and written map alone.
#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <stdexcept>

#include "tools/fakemedium/command_line.h"
#include "tools/fakemedium/predict.h"

using namespace kalvex::fakemedium;

int main(int argc, char** argv) {
  const PredictParseResult parsed =
      ParsePredictCommandLine(std::vector<std::string>(argv, argv + argc));
  std::cout << parsed.out_text;
  std::cerr << parsed.err_text;
  if (!parsed.options) return parsed.exit_code;
  const PredictOptions& options = *parsed.options;
  const Settings& medium = options.medium;
  try {
    // FileStore would create or grow a missing or short file; a wrong path
    // must not pass for a medium full of zeros.
    struct stat info = {};
    if (stat(medium.store_path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
      throw std::runtime_error("no store file " + medium.store_path);
    if (static_cast<uint64_t>(info.st_size) < medium.real)
      throw std::runtime_error("the store " + medium.store_path + " is smaller than --real");
    std::ifstream map_file(medium.written_map_path);
    if (!map_file) throw std::runtime_error("cannot open " + medium.written_map_path);
    std::string error;
    const auto runs = ParseWrittenMap(map_file, &error);
    if (!runs) throw std::runtime_error(medium.written_map_path + ": " + error);
    if (options.size_mb > (UINT64_MAX >> 20)) throw std::runtime_error("--size-mb is too large");
    const Prediction prediction = Predict(medium, OpenStore(medium.store_path, medium.real), *runs,
                                          options.size_mb << 20);
    std::cout << PredictionJson(prediction).dump(2) << "\n";
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "fakemedium-predict: " << error.what() << "\n";
    return 1;
  }
}
