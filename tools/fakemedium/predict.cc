#include "tools/fakemedium/predict.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "tools/fakemedium/medium.h"

namespace kalvex::fakemedium {

namespace {

std::string Hex64(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

// The runs in test offset order, cut at the end of the run's data. Two runs
// naming the same offset would leave open which one a read meets.
std::vector<MapRun> ByTestOffset(std::vector<MapRun> runs, uint64_t advertised) {
  for (const MapRun& run : runs) {
    if (run.address > advertised || run.length > advertised - run.address)
      throw std::runtime_error("the written map names address " + std::to_string(run.address) +
                               " + " + std::to_string(run.length) + " beyond the medium");
  }
  std::sort(runs.begin(), runs.end(),
            [](const MapRun& a, const MapRun& b) { return a.offset < b.offset; });
  for (size_t i = 1; i < runs.size(); ++i) {
    if (runs[i].offset < runs[i - 1].offset + runs[i - 1].length)
      throw std::runtime_error("the written map gives test offset " +
                               std::to_string(runs[i].offset) + " two addresses");
  }
  return runs;
}

// The lowest test offset below size whose sector touches an error range:
// the runs are in offset order, so the first run that touches one has it.
std::optional<PredictedReadError> FirstReadError(const std::vector<MapRun>& runs,
                                                 const std::vector<ByteRange>& ranges,
                                                 uint64_t size) {
  for (const MapRun& run : runs) {
    if (run.offset >= size) break;
    const uint64_t length = std::min(run.length, size - run.offset);
    if (!TouchesAny(ranges, run.address, length)) continue;
    for (uint64_t i = 0; i < length; i += kSectorSize) {
      if (TouchesAny(ranges, run.address + i, kSectorSize))
        return PredictedReadError{run.offset + i, run.address + i};
    }
  }
  return std::nullopt;
}

}  // namespace

Prediction Predict(const Settings& medium_settings, std::unique_ptr<Store> store,
                   const std::vector<MapRun>& map, uint64_t size_bytes) {
  if (store->size() < medium_settings.real)
    throw std::runtime_error("the store is smaller than the real capacity");
  // Only what shapes the bytes a read returns; the failing ranges are
  // looked at apart, as a failed read returns no bytes to judge.
  Settings reading;
  reading.advertised = medium_settings.advertised;
  reading.real = medium_settings.real;
  reading.mode = medium_settings.mode;
  reading.drop_fill = medium_settings.drop_fill;
  reading.flips = medium_settings.flips;
  reading.flip_rate = medium_settings.flip_rate;
  reading.flip_seed = medium_settings.flip_seed;
  Medium medium(reading, std::move(store), nullptr);

  const std::vector<MapRun> runs = ByTestOffset(map, medium_settings.advertised);
  Prediction result;
  result.first_read_error = FirstReadError(runs, medium_settings.read_errors, size_bytes);
  std::optional<uint64_t> failing_block;
  if (result.first_read_error)
    failing_block = result.first_read_error->test_offset / kPredictBlockBytes * kPredictBlockBytes;

  std::vector<unsigned char> buffer(kPredictBlockBytes);
  size_t r = 0;
  // Steps never cross a block edge, so p meets the failing block's start.
  for (uint64_t p = 0; p < size_bytes;) {
    if (failing_block && p == *failing_block) result.before_read_error = result.tally;
    while (r < runs.size() && runs[r].offset + runs[r].length <= p) ++r;
    const uint64_t block_end = std::min(size_bytes, (p / kPredictBlockBytes + 1) * kPredictBlockBytes);
    if (r < runs.size() && runs[r].offset <= p) {
      const uint64_t end = std::min(block_end, runs[r].offset + runs[r].length);
      const uint64_t address = runs[r].address + (p - runs[r].offset);
      const ssize_t got = medium.Read(address, end - p, buffer.data());
      if (got < 0 || static_cast<uint64_t>(got) != end - p)
        throw std::runtime_error("cannot read the store for address " + std::to_string(address));
      for (uint64_t i = 0; i < end - p; i += kSectorSize)
        result.tally.SectorBytes(buffer.data() + i, p + i);
      p = end;
    } else {
      const uint64_t end = std::min(block_end, r < runs.size() ? runs[r].offset : block_end);
      if (!result.first_unwritten) result.first_unwritten = p;
      result.unwritten_sectors += (end - p) / kSectorSize;
      p = end;
    }
  }
  return result;
}

nlohmann::ordered_json SectorsJson(const reference::PassTally& tally) {
  return nlohmann::ordered_json{{"ok", tally.ok},
                                {"overwritten", tally.overwritten},
                                {"slightly_changed", tally.slightly_changed},
                                {"corrupted", tally.corrupted},
                                {"aliased", tally.aliased.size()}};
}

nlohmann::ordered_json FirstErrorJson(const reference::PassTally& tally) {
  if (!tally.first.taken) return nullptr;
  return nlohmann::ordered_json{{"offset", tally.first.offset},
                                {"expected", Hex64(tally.first.expected)},
                                {"found", Hex64(tally.first.found)}};
}

nlohmann::ordered_json PredictionJson(const Prediction& prediction) {
  nlohmann::ordered_json read_error = nullptr;
  nlohmann::ordered_json before = nullptr;
  if (prediction.first_read_error) {
    const PredictedReadError& error = *prediction.first_read_error;
    const uint64_t block = error.test_offset / kPredictBlockBytes * kPredictBlockBytes;
    read_error = nlohmann::ordered_json{{"test_offset", error.test_offset},
                                        {"device_address", error.device_address},
                                        {"file_number", block / kPredictFileBytes + 1},
                                        {"file_offset", block % kPredictFileBytes}};
  }
  if (prediction.before_read_error) {
    before = nlohmann::ordered_json{{"sectors", SectorsJson(*prediction.before_read_error)},
                                    {"first_error", FirstErrorJson(*prediction.before_read_error)}};
  }
  nlohmann::ordered_json first_unwritten = nullptr;
  if (prediction.first_unwritten) first_unwritten = *prediction.first_unwritten;
  return nlohmann::ordered_json{{"sectors", SectorsJson(prediction.tally)},
                                {"first_error", FirstErrorJson(prediction.tally)},
                                {"unwritten_sectors", prediction.unwritten_sectors},
                                {"first_unwritten_offset", first_unwritten},
                                {"first_read_error", read_error},
                                {"before_read_error", before}};
}

}  // namespace kalvex::fakemedium
