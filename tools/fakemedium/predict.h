// What a verify pass over the test data on a simulated medium must report,
// worked out from the simulator alone: its written map says at which device
// address each test offset was written, the store and the medium's options
// say what a read there returns, and the reference model judges it. The
// program under test is never asked, so a bench can hold it to the result.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/fakemedium/settings.h"
#include "tools/fakemedium/store.h"
#include "tools/fakemedium/written_map.h"
#include "tools/reference/sector_model.h"

namespace kalvex::fakemedium {

// How the program under test reads its data back: whole 1 MiB blocks of
// 1 GiB files, stopping at the first block that fails.
constexpr uint64_t kPredictBlockBytes = uint64_t{1} << 20;
constexpr uint64_t kPredictFileBytes = uint64_t{1} << 30;

struct PredictedReadError {
  uint64_t test_offset = 0;     // the lowest test offset whose sector cannot be read
  uint64_t device_address = 0;  // where that sector is on the medium
};

struct Prediction {
  // Over every test offset that was written, as if no read failed.
  reference::PassTally tally;
  // Test offsets (in sectors) the map has no address for: what a read there
  // returns is whatever the file system's block held, which no one knows.
  uint64_t unwritten_sectors = 0;
  std::optional<uint64_t> first_unwritten;
  std::optional<PredictedReadError> first_read_error;
  // With a read error: the figures of the blocks before the failing one,
  // which is all a pass that stops there has seen.
  std::optional<reference::PassTally> before_read_error;
};

// size_bytes of test data from offset 0 on. medium gives the mode, the
// capacities, the drop fill, the flips and the read error ranges; the store
// holds the real bytes. Throws std::runtime_error when the map names a test
// offset twice or an address outside the medium, or the store cannot be read.
Prediction Predict(const Settings& medium, std::unique_ptr<Store> store,
                   const std::vector<MapRun>& runs, uint64_t size_bytes);

// The sectors and first error as kalvex-cli's --json result writes them.
nlohmann::ordered_json SectorsJson(const reference::PassTally& tally);
nlohmann::ordered_json FirstErrorJson(const reference::PassTally& tally);
nlohmann::ordered_json PredictionJson(const Prediction& prediction);

}  // namespace kalvex::fakemedium
