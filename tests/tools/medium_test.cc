#include "tools/fakemedium/medium.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/tools/test_sectors.h"

namespace kalvex::fakemedium {
namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1048576;

using test_data::TestSectors;

Settings MediumOf(MapMode mode, uint64_t advertised, uint64_t real) {
  Settings settings;
  settings.mode = mode;
  settings.advertised = advertised;
  settings.real = real;
  return settings;
}

// Bytes that differ from one address to the next and from any fill.
std::vector<unsigned char> DataAt(uint64_t address, size_t length) {
  std::vector<unsigned char> data(length);
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<unsigned char>((address + i) * 7 + 1);
  return data;
}

// A medium in memory whose event log is kept in memory too.
class LoggedMedium {
 public:
  explicit LoggedMedium(const Settings& settings) {
    FILE* stream = open_memstream(&m_buffer, &m_size);
    medium = std::make_unique<Medium>(settings, std::make_unique<MemoryStore>(settings.real),
                                      std::make_unique<EventLog>(stream));
  }
  ~LoggedMedium() {
    medium.reset();  // closes the stream before its buffer goes
    std::free(m_buffer);
  }

  // Every line is flushed as it is written, so the buffer is up to date.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream text(std::string(m_buffer, m_size));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

  ssize_t Write(uint64_t address, const std::vector<unsigned char>& data) {
    return medium->Write(address, data.size(), data.data());
  }
  std::vector<unsigned char> Read(uint64_t address, size_t length, ssize_t* result = nullptr) {
    std::vector<unsigned char> data(length, 0xAA);
    const ssize_t n = medium->Read(address, length, data.data());
    if (result != nullptr) *result = n;
    return data;
  }

  std::unique_ptr<Medium> medium;

 private:
  char* m_buffer = nullptr;
  size_t m_size = 0;
};

TEST(MediumTest, HonestKeepsEverything) {
  LoggedMedium m(MediumOf(MapMode::kHonest, 64 * kKiB, 64 * kKiB));
  EXPECT_EQ(m.Write(60 * kKiB, DataAt(60 * kKiB, 4096)), 4096);
  EXPECT_EQ(m.Read(60 * kKiB, 4096), DataAt(60 * kKiB, 4096));
  EXPECT_EQ(m.Lines(), (std::vector<std::string>{"write 61440 4096 -> 61440"}));
}

TEST(MediumTest, WrapOverwritesTheLowerAddress) {
  LoggedMedium m(MediumOf(MapMode::kWrap, 64 * kKiB, 16 * kKiB));
  EXPECT_EQ(m.Write(4 * kKiB, DataAt(4 * kKiB, 1024)), 1024);
  EXPECT_EQ(m.Write(36 * kKiB, DataAt(36 * kKiB, 1024)), 1024);
  // Both addresses now show what was written last, at 36 KiB.
  EXPECT_EQ(m.Read(4 * kKiB, 1024), DataAt(36 * kKiB, 1024));
  EXPECT_EQ(m.Read(36 * kKiB, 1024), DataAt(36 * kKiB, 1024));
  EXPECT_EQ(m.Lines(),
            (std::vector<std::string>{"write 4096 1024 -> 4096", "write 36864 1024 -> 4096"}));
}

TEST(MediumTest, WrapLogsEachPieceOfARequestAcrossTheBoundary) {
  LoggedMedium m(MediumOf(MapMode::kWrap, 64 * kKiB, 16 * kKiB));
  EXPECT_EQ(m.Write(15 * kKiB, DataAt(15 * kKiB, 2048)), 2048);
  EXPECT_EQ(m.Read(0, 1024), DataAt(16 * kKiB, 1024));
  EXPECT_EQ(m.Lines(),
            (std::vector<std::string>{"write 15360 1024 -> 15360", "write 16384 1024 -> 0"}));
}

TEST(MediumTest, DropLosesWritesAndReadsTheFill) {
  for (unsigned char fill : {0x00, 0xFF}) {
    Settings settings = MediumOf(MapMode::kDrop, 64 * kKiB, 16 * kKiB);
    settings.drop_fill = fill;
    LoggedMedium m(settings);
    EXPECT_EQ(m.Write(15 * kKiB, DataAt(15 * kKiB, 3072)), 3072);
    std::vector<unsigned char> expected = DataAt(15 * kKiB, 1024);
    expected.resize(3072, fill);
    EXPECT_EQ(m.Read(15 * kKiB, 3072), expected);
    EXPECT_EQ(m.Read(0, 1024), std::vector<unsigned char>(1024, 0));  // never written
    EXPECT_EQ(m.Lines(),
              (std::vector<std::string>{"write 15360 1024 -> 15360", "drop 16384 2048"}));
  }
}

TEST(MediumTest, ErrorRangesFailEveryRequestThatTouchesThem) {
  Settings settings = MediumOf(MapMode::kHonest, 64 * kKiB, 64 * kKiB);
  settings.read_errors = {{8 * kKiB, 512}};
  settings.write_errors = {{16 * kKiB, 1}};
  LoggedMedium m(settings);
  ssize_t result = 0;
  m.Read(8 * kKiB + 511, 1, &result);
  EXPECT_EQ(result, -EIO);
  m.Read(7 * kKiB, 1025, &result);
  EXPECT_EQ(result, -EIO);
  m.Read(7 * kKiB, 1024, &result);  // ends just before
  EXPECT_EQ(result, 1024);
  EXPECT_EQ(m.Write(8 * kKiB, DataAt(8 * kKiB, 512)), 512);  // reads only
  EXPECT_EQ(m.Write(15 * kKiB, DataAt(15 * kKiB, 2048)), -EIO);
  EXPECT_EQ(m.Lines(),
            (std::vector<std::string>{"eio read 8703 1", "eio read 7168 1025",
                                      "write 8192 512 -> 8192", "eio write 15360 2048"}));
}

TEST(MediumTest, FlipsChangeEveryReadTheSameWay) {
  Settings settings = MediumOf(MapMode::kHonest, 64 * kKiB, 64 * kKiB);
  settings.flips = {{1000, 3}};
  LoggedMedium m(settings);
  ASSERT_EQ(m.Write(0, DataAt(0, 2048)), 2048);
  std::vector<unsigned char> expected = DataAt(0, 2048);
  expected[1000] ^= 0x08;
  EXPECT_EQ(m.Read(0, 2048), expected);
  EXPECT_EQ(m.Read(0, 2048), expected);
  EXPECT_EQ(m.Read(0, 1000), DataAt(0, 1000));  // stops before the flipped byte
  EXPECT_EQ(m.Lines(),
            (std::vector<std::string>{"write 0 2048 -> 0", "flip 1000 3", "flip 1000 3"}));
}

TEST(MediumTest, RateFlipsLandWhereTheFormulaSays) {
  Settings settings = MediumOf(MapMode::kHonest, 64 * kKiB, 64 * kKiB);
  settings.flip_rate = 8;
  settings.flip_seed = 42;
  LoggedMedium m(settings);
  std::vector<unsigned char> read = m.Read(0, 32 * kKiB);
  std::vector<std::string> changed;
  for (size_t i = 0; i < read.size(); ++i) {
    for (unsigned bit = 0; bit < 8; ++bit) {
      if (read[i] & (1u << bit))
        changed.push_back("flip " + std::to_string(i) + " " + std::to_string(bit));
    }
  }
  // The sectors of seed 42 at rate 8 in the first 64, as in BitFlipsTest.
  const std::vector<std::string> expected = {"flip 552 6",   "flip 5775 4",  "flip 6345 4",
                                             "flip 13009 3", "flip 13867 2", "flip 22774 1",
                                             "flip 28284 1"};
  EXPECT_EQ(changed, expected);
  EXPECT_EQ(m.Lines(), expected);
}

TEST(MediumTest, VanishesOnceTheBytesRunOut) {
  Settings settings = MediumOf(MapMode::kHonest, 64 * kKiB, 64 * kKiB);
  settings.vanish_after = 8 * kKiB;
  LoggedMedium m(settings);
  EXPECT_EQ(m.Write(0, DataAt(0, 4096)), 4096);
  ssize_t result = 0;
  m.Read(0, 4096, &result);
  EXPECT_EQ(result, 4096);  // exactly the limit
  EXPECT_EQ(m.medium->Presence(), 0);
  m.Read(0, 1, &result);
  EXPECT_EQ(result, -EIO);
  EXPECT_EQ(m.Write(0, DataAt(0, 512)), -EIO);
  EXPECT_EQ(m.medium->Presence(), EIO);
  EXPECT_EQ(m.medium->Sync(), EIO);
  EXPECT_EQ(m.Lines(), (std::vector<std::string>{"write 0 4096 -> 0", "vanished after 8192 bytes",
                                                 "eio read 0 1", "eio write 0 512"}));
}

TEST(MediumTest, VanishesOnSignalWithTheChosenError) {
  Settings settings = MediumOf(MapMode::kHonest, 64 * kKiB, 64 * kKiB);
  settings.vanish_errno = ENXIO;
  LoggedMedium m(settings);
  m.medium->PullOnSignal();
  m.medium->PullOnSignal();  // recorded once
  ssize_t result = 0;
  m.Read(0, 512, &result);
  EXPECT_EQ(result, -ENXIO);
  EXPECT_EQ(m.medium->Presence(), ENXIO);
  EXPECT_EQ(m.Lines(), (std::vector<std::string>{"vanished on SIGUSR1", "enxio read 0 512"}));
}

TEST(MediumTest, TheEndOfTheMedium) {
  LoggedMedium m(MediumOf(MapMode::kHonest, 64 * kKiB, 64 * kKiB));
  ssize_t result = 0;
  m.Read(64 * kKiB, 512, &result);
  EXPECT_EQ(result, 0);
  m.Read(64 * kKiB - 512, 4096, &result);
  EXPECT_EQ(result, 512);
  EXPECT_EQ(m.Write(64 * kKiB - 1024, DataAt(0, 4096)), 1024);
  EXPECT_EQ(m.Write(64 * kKiB, DataAt(0, 512)), -ENOSPC);
  EXPECT_EQ(m.Lines(),
            (std::vector<std::string>{"write 64512 1024 -> 64512", "enospc write 65536 512"}));
}


// A refused write of test data names the test offset it carried, so the
// bench can tell which part of the data the medium would not take.
TEST(MediumTest, FailedWritesNameTheTestOffsetOfTheirFirstWholeSector) {
  Settings settings = MediumOf(MapMode::kHonest, 64 * kKiB, 64 * kKiB);
  settings.write_errors = {{16 * kKiB, 1}};
  settings.vanish_after = 64 * kKiB;
  LoggedMedium m(settings);
  EXPECT_EQ(m.Write(15 * kKiB, TestSectors(3 * kMiB, 4)), -EIO);
  // Starts mid-sector: the first whole sector is the second one given.
  std::vector<unsigned char> shifted(100, 0);
  const std::vector<unsigned char> tail = TestSectors(5 * kMiB, 2);
  shifted.insert(shifted.end(), tail.begin(), tail.end());
  EXPECT_EQ(m.Write(16 * kKiB - 100, shifted), -EIO);
  EXPECT_EQ(m.Write(15 * kKiB, DataAt(0, 2048)), -EIO);
  EXPECT_EQ(m.Write(64 * kKiB, TestSectors(0, 1)), -ENOSPC);
  EXPECT_EQ(m.Write(0, TestSectors(7 * kMiB, 128)), -EIO);  // vanished
  EXPECT_EQ(m.Lines(), (std::vector<std::string>{
                           "eio write 15360 2048 P=3145728", "eio write 16284 1124 P=5242880",
                           "eio write 15360 2048", "enospc write 65536 512 P=0",
                           "vanished after 5732 bytes", "eio write 0 65536 P=7340032"}));
}

TEST(MediumTest, WrittenMapFollowsTheWritesTheMediumTook) {
  Settings settings = MediumOf(MapMode::kWrap, 64 * kKiB, 16 * kKiB);
  settings.write_errors = {{40 * kKiB, 1}};
  settings.written_map_path = "unused";
  LoggedMedium m(settings);
  ASSERT_NE(m.medium->written_map(), nullptr);
  EXPECT_EQ(m.Write(4 * kKiB, TestSectors(0, 8)), 4096);
  // Wrapped onto store 4 KiB; the map keeps addresses as the writer gave them.
  EXPECT_EQ(m.Write(20 * kKiB, TestSectors(4 * kKiB, 8)), 4096);
  EXPECT_EQ(m.Write(40 * kKiB, TestSectors(8 * kKiB, 8)), -EIO);
  EXPECT_EQ(m.Write(6 * kKiB, DataAt(0, 512)), 512);
  EXPECT_EQ(m.medium->written_map()->Runs(), (std::vector<MapRun>{{4 * kKiB, 0, 2048},
                                                                   {6656, 2560, 1536},
                                                                   {20 * kKiB, 4 * kKiB, 4096}}));
  const Medium plain(MediumOf(MapMode::kHonest, 64 * kKiB, 64 * kKiB),
                     std::make_unique<MemoryStore>(64 * kKiB), nullptr);
  EXPECT_EQ(plain.written_map(), nullptr);
  EXPECT_EQ(plain.SaveWrittenMap(), 0);
}

}  // namespace
}  // namespace kalvex::fakemedium
