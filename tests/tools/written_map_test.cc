#include "tools/fakemedium/written_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/support/support.h"
#include "tests/tools/test_sectors.h"

namespace kalvex::fakemedium {
namespace {

using test_data::TestSectors;

constexpr uint64_t kMiB = 1048576;

TEST(WrittenMapTest, KnowsATestSectorByItsFirstTwoWords) {
  EXPECT_EQ(TestOffsetOf(TestSectors(3 * kMiB, 1).data()), 3 * kMiB);
  EXPECT_EQ(TestOffsetOf(TestSectors(0, 1).data()), 0u);
  const std::vector<unsigned char> zeros(512, 0);
  EXPECT_FALSE(TestOffsetOf(zeros.data()));
  // The pattern of an offset that starts no sector.
  EXPECT_FALSE(TestOffsetOf(TestSectors(3 * kMiB + 8, 1).data()));
  std::vector<unsigned char> changed = TestSectors(kMiB, 1);
  changed[9] ^= 1;
  EXPECT_FALSE(TestOffsetOf(changed.data()));
}

TEST(LinearRunsTest, EraseCutsRunsAndReturnsWhatTheyMapped) {
  LinearRuns runs;
  runs.Insert(10, 100, 10);
  runs.Insert(30, 500, 5);
  EXPECT_EQ(runs.Erase(15, 17),
            (std::vector<LinearRuns::Piece>{{15, 105, 5}, {30, 500, 2}}));
  EXPECT_EQ(runs.All(), (std::vector<LinearRuns::Piece>{{10, 100, 5}, {32, 502, 3}}));
  EXPECT_EQ(runs.Erase(11, 2), (std::vector<LinearRuns::Piece>{{11, 101, 2}}));
  EXPECT_EQ(runs.All(),
            (std::vector<LinearRuns::Piece>{{10, 100, 1}, {13, 103, 2}, {32, 502, 3}}));
  EXPECT_TRUE(runs.Erase(0, 10).empty());
}

TEST(LinearRunsTest, InsertJoinsOnlyRunsThatContinueEachOther) {
  LinearRuns runs;
  runs.Insert(10, 100, 2);
  runs.Insert(14, 104, 2);
  runs.Insert(12, 102, 2);  // fills the gap on both sides
  runs.Insert(16, 200, 1);  // next address, but another offset
  runs.Insert(5, 95, 4);    // one short of 10: stays apart
  EXPECT_EQ(runs.All(),
            (std::vector<LinearRuns::Piece>{{5, 95, 4}, {10, 100, 6}, {16, 200, 1}}));
}

TEST(WrittenMapTest, JoinsConsecutiveWritesOfConsecutiveOffsets) {
  WrittenMap map;
  map.Record(1 * kMiB, 4096, TestSectors(0, 8).data());
  map.Record(1 * kMiB + 4096, 8192, TestSectors(4096, 16).data());
  EXPECT_EQ(map.Runs(), (std::vector<MapRun>{{kMiB, 0, 12288}}));
  EXPECT_EQ(map.Text(), "1048576 0 12288\n");
}

TEST(WrittenMapTest, OneWriteOfSeveralPiecesMakesSeveralRuns) {
  WrittenMap map;
  std::vector<unsigned char> data = TestSectors(8192, 2);
  const std::vector<unsigned char> zeros(1024, 0);
  data.insert(data.end(), zeros.begin(), zeros.end());
  const std::vector<unsigned char> far = TestSectors(50 * kMiB, 3);
  data.insert(data.end(), far.begin(), far.end());
  map.Record(4096, data.size(), data.data());
  EXPECT_EQ(map.Runs(), (std::vector<MapRun>{{4096, 8192, 1024}, {6144, 50 * kMiB, 1536}}));
}

TEST(WrittenMapTest, OtherDataOverATestSectorClearsIt) {
  WrittenMap map;
  map.Record(0, 8192, TestSectors(kMiB, 16).data());
  const std::vector<unsigned char> zeros(1024, 0);
  map.Record(2048, zeros.size(), zeros.data());
  EXPECT_EQ(map.Runs(), (std::vector<MapRun>{{0, kMiB, 2048}, {3072, kMiB + 3072, 5120}}));
  // Part of a sector: what it holds now is no test sector.
  map.Record(4000, 50, zeros.data());
  EXPECT_EQ(map.Runs(), (std::vector<MapRun>{{0, kMiB, 2048},
                                             {3072, kMiB + 3072, 512},
                                             {4096, kMiB + 4096, 4096}}));
  // Test data again, over the hole: one run again.
  map.Record(2048, 2048, TestSectors(kMiB + 2048, 4).data());
  EXPECT_EQ(map.Runs(), (std::vector<MapRun>{{0, kMiB, 8192}}));
}

TEST(WrittenMapTest, ATestOffsetBelongsToTheSectorThatGotItLast) {
  WrittenMap map;
  map.Record(0, 4096, TestSectors(0, 8).data());
  map.Record(64 * 1024, 1024, TestSectors(1024, 2).data());
  EXPECT_EQ(map.Runs(), (std::vector<MapRun>{{0, 0, 1024}, {2048, 2048, 2048}, {65536, 1024, 1024}}));
}

TEST(WrittenMapTest, ForgetClearsEverySectorTouched) {
  WrittenMap map;
  map.Record(0, 4096, TestSectors(0, 8).data());
  map.Forget(1000, 24);
  EXPECT_EQ(map.Runs(), (std::vector<MapRun>{{0, 0, 512}, {1024, 1024, 3072}}));
  map.Forget(2047, 2);
  EXPECT_EQ(map.Runs(),
            (std::vector<MapRun>{{0, 0, 512}, {1024, 1024, 512}, {2560, 2560, 1536}}));
}

TEST(WrittenMapTest, SavesTextThatParsesBack) {
  kalvex::testing::TempDir dir;
  WrittenMap map;
  map.Record(0, 2048, TestSectors(kMiB, 4).data());
  map.Record(1 * kMiB, 512, TestSectors(0, 1).data());
  const std::string path = dir.File("map");
  ASSERT_EQ(map.Save(path), 0);
  EXPECT_EQ(kalvex::testing::ReadFile(path), "0 1048576 2048\n1048576 0 512\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  std::istringstream text(kalvex::testing::ReadFile(path));
  std::string error;
  EXPECT_EQ(ParseWrittenMap(text, &error), map.Runs());
  EXPECT_NE(map.Save(dir.File("no/such/folder/map")), 0);
}

TEST(WrittenMapTest, ParseRefusesWhatIsNoMap) {
  for (const char* bad : {"0 512\n", "0 512 512 9\n", "1 0 512\n", "0 0 0\n", "a b c\n"}) {
    std::istringstream text(bad);
    std::string error;
    EXPECT_FALSE(ParseWrittenMap(text, &error)) << bad;
    EXPECT_NE(error.find("line 1"), std::string::npos) << bad;
  }
  std::istringstream empty("");
  EXPECT_EQ(ParseWrittenMap(empty, nullptr), std::vector<MapRun>{});
}

}  // namespace
}  // namespace kalvex::fakemedium
