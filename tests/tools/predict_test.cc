// The predictor on stores and maps made here: the test data of a few MiB
// put at known addresses through each kind of medium, and the figures a
// verify pass must show worked out by hand from where each write landed.
#include "tools/fakemedium/predict.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "tests/tools/test_sectors.h"
#include "tools/fakemedium/address_map.h"

namespace kalvex::fakemedium {
namespace {

using reference::PassTally;
using reference::PatternWord;
using test_data::TestSectors;

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1048576;

Settings MediumOf(MapMode mode, uint64_t advertised, uint64_t real) {
  Settings settings;
  settings.mode = mode;
  settings.advertised = advertised;
  settings.real = real;
  return settings;
}

// A store and a written map built as a file system would leave them: test
// data written in ascending test offset order at chosen addresses.
class Scenario {
 public:
  explicit Scenario(const Settings& settings)
      : m_settings(settings), m_store(std::make_unique<MemoryStore>(settings.real)) {}

  // Test offsets [p, p + length) written at address a, stored as the
  // medium's address map stores them; beyond real, drop loses them.
  void Write(uint64_t a, uint64_t p, uint64_t length) {
    const std::vector<unsigned char> data = TestSectors(p, length / 512);
    const AddressMap map(m_settings.mode, m_settings.advertised, m_settings.real);
    for (const Segment& piece : map.Locate(a, length)) {
      if (piece.stored)
        m_store->Write(piece.store_offset, piece.length, data.data() + (piece.address - a));
    }
    m_runs.push_back({a, p, length});
  }

  Prediction Predict(uint64_t size) {
    return fakemedium::Predict(m_settings, std::move(m_store), m_runs, size);
  }

  Settings& settings() { return m_settings; }
  std::vector<MapRun>& runs() { return m_runs; }

 private:
  Settings m_settings;
  std::unique_ptr<MemoryStore> m_store;
  std::vector<MapRun> m_runs;
};

struct Counts {
  uint64_t ok = 0, overwritten = 0, slightly_changed = 0, corrupted = 0, aliased = 0;
  bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Counts& c) {
  return out << "ok " << c.ok << " overwritten " << c.overwritten << " slightly_changed "
             << c.slightly_changed << " corrupted " << c.corrupted << " aliased " << c.aliased;
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

Counts CountsOf(const PassTally& t) {
  return {t.ok, t.overwritten, t.slightly_changed, t.corrupted, t.aliased.size()};
}

TEST(PredictTest, HonestMediumReadsBackEverything) {
  Scenario s(MediumOf(MapMode::kHonest, 4 * kMiB, 4 * kMiB));
  s.Write(1 * kMiB, 0, 2 * kMiB);
  const Prediction p = s.Predict(2 * kMiB);
  EXPECT_EQ(CountsOf(p.tally), (Counts{4096, 0, 0, 0, 0}));
  EXPECT_FALSE(p.tally.first.taken);
  EXPECT_EQ(p.unwritten_sectors, 0u);
  EXPECT_FALSE(p.first_unwritten);
  EXPECT_FALSE(p.first_read_error);
  EXPECT_FALSE(p.before_read_error);
}

// Test offsets [0, 3M) at addresses [512K, 3.5M) of a medium that keeps
// 2 MiB: addresses [2.5M, 3.5M) (offsets [2M, 3M)) land on store
// [512K, 1.5M) after offsets [0, 1M) did. Those read back the data of
// offset + 2M: 2048 sectors overwritten, each by another offset. The rest,
// offsets [1M, 3M), were the last to reach their store place.
TEST(PredictTest, WrapShowsTheLaterDataOfEachAlias) {
  Scenario s(MediumOf(MapMode::kWrap, 4 * kMiB, 2 * kMiB));
  s.Write(512 * kKiB, 0, 3 * kMiB);
  const Prediction p = s.Predict(3 * kMiB);
  EXPECT_EQ(CountsOf(p.tally), (Counts{4096, 2048, 0, 0, 2048}));
  EXPECT_EQ(*p.tally.aliased.begin(), 2 * kMiB);
  EXPECT_EQ(*p.tally.aliased.rbegin(), 3 * kMiB - 512);
  ASSERT_TRUE(p.tally.first.taken);
  EXPECT_EQ(p.tally.first.offset, 0u);
  EXPECT_EQ(p.tally.first.expected, 0u);
  EXPECT_EQ(p.tally.first.found, 2 * kMiB);
}

// Offsets [1.5M, 3M) went to addresses at or beyond the real 2 MiB and
// were lost: their 3072 sectors read as zeros, which claim offset 0 but
// are not its pattern, so they are corrupted, not overwritten.
TEST(PredictTest, DropZeroReadsLostSectorsAsZeros) {
  Scenario s(MediumOf(MapMode::kDrop, 4 * kMiB, 2 * kMiB));
  s.Write(512 * kKiB, 0, 3 * kMiB);
  const Prediction p = s.Predict(3 * kMiB);
  EXPECT_EQ(CountsOf(p.tally), (Counts{3072, 0, 0, 3072, 0}));
  ASSERT_TRUE(p.tally.first.taken);
  EXPECT_EQ(p.tally.first.offset, 1536 * kKiB);
  EXPECT_EQ(p.tally.first.expected, 1536 * kKiB);
  EXPECT_EQ(p.tally.first.found, 0u);
}

TEST(PredictTest, DropFfReadsLostSectorsAsOnes) {
  Scenario s(MediumOf(MapMode::kDrop, 4 * kMiB, 2 * kMiB));
  s.settings().drop_fill = 0xFF;
  s.Write(512 * kKiB, 0, 3 * kMiB);
  const Prediction p = s.Predict(3 * kMiB);
  EXPECT_EQ(CountsOf(p.tally), (Counts{3072, 0, 0, 3072, 0}));
  EXPECT_EQ(p.tally.first.offset, 1536 * kKiB);
  EXPECT_EQ(p.tally.first.found, ~uint64_t{0});
}

// Flips sit at device addresses; the data of offset P is at 1M + P.
TEST(PredictTest, FixedFlipsChangeTheSectorsAtTheirAddresses) {
  Scenario s(MediumOf(MapMode::kHonest, 4 * kMiB, 4 * kMiB));
  s.Write(1 * kMiB, 0, 2 * kMiB);
  std::vector<BitFlip>& flips = s.settings().flips;
  flips.push_back({1 * kMiB + 40, 2});        // offset 0, word 5: slight change
  flips.push_back({1 * kMiB + 1024, 1});      // offset 1024, word 0 claims 1026: slight change
  flips.push_back({1 * kMiB + 2048 + 8, 0});  // offset 2048, twice: cancels
  flips.push_back({1 * kMiB + 2048 + 8, 0});
  for (uint64_t i = 0; i < 8; ++i)  // offset 4096: eight bits, corrupted
    flips.push_back({1 * kMiB + 4096 + 9 * i, 7});
  flips.push_back({100, 0});  // no test data there
  const Prediction p = s.Predict(2 * kMiB);
  EXPECT_EQ(CountsOf(p.tally), (Counts{4093, 0, 2, 1, 0}));
  ASSERT_TRUE(p.tally.first.taken);
  EXPECT_EQ(p.tally.first.offset, 40u);
  EXPECT_EQ(p.tally.first.expected, PatternWord(0, 5));
  EXPECT_EQ(p.tally.first.found, PatternWord(0, 5) ^ 4);
}

// The formula of the rate flips, written out again here.
uint64_t Mix(uint64_t x) {
  uint64_t z = x + 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

TEST(PredictTest, RateFlipsMakeOneWrongBitInEachSectorTheyHit) {
  Scenario s(MediumOf(MapMode::kHonest, 4 * kMiB, 4 * kMiB));
  s.Write(1 * kMiB, 0, 2 * kMiB);
  s.settings().flip_rate = 16;
  s.settings().flip_seed = 5;
  uint64_t hits = 0;
  uint64_t first_bit = 0;
  uint64_t first_sector = 0;
  for (uint64_t sector = 2048; sector < 6144; ++sector) {
    const uint64_t h = Mix(5 ^ sector);
    if (h % 16 != 0) continue;
    if (hits++ == 0) {
      first_sector = sector;
      first_bit = Mix(h) % 4096;
    }
  }
  ASSERT_GT(hits, 100u);  // about 4096 / 16
  const Prediction p = s.Predict(2 * kMiB);
  EXPECT_EQ(CountsOf(p.tally), (Counts{4096 - hits, 0, hits, 0, 0}));
  const uint64_t offset = (first_sector - 2048) * 512;
  ASSERT_TRUE(p.tally.first.taken);
  EXPECT_EQ(p.tally.first.offset, offset + 8 * (first_bit / 64));
  EXPECT_EQ(p.tally.first.expected, PatternWord(offset, static_cast<unsigned>(first_bit / 64)));
  EXPECT_EQ(p.tally.first.found, p.tally.first.expected ^ (uint64_t{1} << (first_bit % 64)));
}

TEST(PredictTest, OffsetsNeverWrittenAreCountedApart) {
  Scenario s(MediumOf(MapMode::kHonest, 4 * kMiB, 4 * kMiB));
  s.Write(3 * kMiB, 1536 * kKiB, 512 * kKiB);
  s.Write(1 * kMiB, 0, 1 * kMiB);
  const Prediction p = s.Predict(2 * kMiB);
  EXPECT_EQ(CountsOf(p.tally), (Counts{3072, 0, 0, 0, 0}));
  EXPECT_EQ(p.unwritten_sectors, 1024u);
  EXPECT_EQ(p.first_unwritten, 1 * kMiB);
}

// Offsets [0, 3M) at [1M, 4M); the lowest offset whose sector touches an
// error range is 2.5M + 512, in the block at 2M: a pass stops there having
// seen the blocks at 0 and 1M.
TEST(PredictTest, ReadErrorNamesTheLowestOffsetAndWhatCameBefore) {
  Scenario s(MediumOf(MapMode::kHonest, 4 * kMiB, 4 * kMiB));
  s.Write(3 * kMiB, 2 * kMiB, 1 * kMiB);
  s.Write(1 * kMiB, 0, 2 * kMiB);
  s.settings().read_errors = {{3900 * kKiB, 4096}, {3584 * kKiB + 1000, 1}, {0, 4096}};
  s.settings().flips = {{1 * kMiB + 96, 0}};  // offset 0, word 12
  const Prediction p = s.Predict(3 * kMiB);
  EXPECT_EQ(CountsOf(p.tally), (Counts{6143, 0, 1, 0, 0}));
  ASSERT_TRUE(p.first_read_error);
  EXPECT_EQ(p.first_read_error->test_offset, 2560 * kKiB + 512);
  EXPECT_EQ(p.first_read_error->device_address, 3584 * kKiB + 512);
  ASSERT_TRUE(p.before_read_error);
  EXPECT_EQ(CountsOf(*p.before_read_error), (Counts{4095, 0, 1, 0, 0}));
  EXPECT_EQ(p.before_read_error->first.offset, 96u);

  const std::string word = Hex(PatternWord(0, 12));
  const std::string flipped = Hex(PatternWord(0, 12) ^ 1);
  const std::string first_error = "{\"offset\":96,\"expected\":\"" + word +
                                  "\",\"found\":\"" + flipped + "\"}";
  EXPECT_EQ(PredictionJson(p).dump(),
            "{\"sectors\":{\"ok\":6143,\"overwritten\":0,\"slightly_changed\":1,\"corrupted\":0,"
            "\"aliased\":0},\"first_error\":" +
                first_error +
                ",\"unwritten_sectors\":0,\"first_unwritten_offset\":null,"
                "\"first_read_error\":{\"test_offset\":2621952,\"device_address\":3670528,"
                "\"file_number\":1,\"file_offset\":2097152},\"before_read_error\":{\"sectors\":"
                "{\"ok\":4095,\"overwritten\":0,\"slightly_changed\":1,\"corrupted\":0,"
                "\"aliased\":0},\"first_error\":" +
                first_error + "}}");
}

TEST(PredictTest, JsonOfACleanRunHasNulls) {
  Scenario s(MediumOf(MapMode::kDrop, 4 * kMiB, 2 * kMiB));
  s.Write(0, 0, 1 * kMiB);
  EXPECT_EQ(PredictionJson(s.Predict(1 * kMiB)).dump(),
            "{\"sectors\":{\"ok\":2048,\"overwritten\":0,\"slightly_changed\":0,\"corrupted\":0,"
            "\"aliased\":0},\"first_error\":null,\"unwritten_sectors\":0,"
            "\"first_unwritten_offset\":null,\"first_read_error\":null,"
            "\"before_read_error\":null}");
}

TEST(PredictTest, HexIsSixteenDigitsWithLeadingZeros) {
  Scenario s(MediumOf(MapMode::kDrop, 4 * kMiB, 2 * kMiB));
  s.Write(2 * kMiB, 0, 512);
  const nlohmann::ordered_json json = PredictionJson(s.Predict(512));
  EXPECT_EQ(json["first_error"]["offset"], 8);
  EXPECT_EQ(json["first_error"]["expected"], "0x0000000000000011");
  EXPECT_EQ(json["first_error"]["found"], "0x0000000000000000");
}

TEST(PredictTest, RefusesAMapThatGivesAnOffsetTwoAddresses) {
  Scenario s(MediumOf(MapMode::kHonest, 4 * kMiB, 4 * kMiB));
  s.Write(0, 0, 1 * kMiB);
  s.Write(2 * kMiB, 512 * kKiB, 4096);
  EXPECT_THROW(s.Predict(1 * kMiB), std::runtime_error);
}

TEST(PredictTest, RefusesAMapBeyondTheMedium) {
  Scenario s(MediumOf(MapMode::kHonest, 4 * kMiB, 4 * kMiB));
  s.runs().push_back({4 * kMiB - 512, 0, 1024});
  EXPECT_THROW(s.Predict(512), std::runtime_error);
}

}  // namespace
}  // namespace kalvex::fakemedium
