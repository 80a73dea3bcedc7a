#include "tools/fakemedium/address_map.h"

#include <gtest/gtest.h>

namespace kalvex::fakemedium {
namespace {

constexpr uint64_t kMiB = 1048576;

TEST(AddressMapTest, HonestStoresEveryAddressWhereItSays) {
  const AddressMap map(MapMode::kHonest, 64 * kMiB, 64 * kMiB);
  EXPECT_EQ(map.Locate(40 * kMiB, 4096),
            (std::vector<Segment>{{40 * kMiB, 4096, true, 40 * kMiB}}));
}

TEST(AddressMapTest, WrapAtHalfSendsTheUpperHalfOntoTheLower) {
  const AddressMap map(MapMode::kWrap, 64 * kMiB, 32 * kMiB);
  EXPECT_EQ(map.Locate(40 * kMiB, 4096), (std::vector<Segment>{{40 * kMiB, 4096, true, 8 * kMiB}}));
  EXPECT_EQ(map.Locate(8 * kMiB, 4096), (std::vector<Segment>{{8 * kMiB, 4096, true, 8 * kMiB}}));
  EXPECT_EQ(map.Locate(64 * kMiB - 512, 512),
            (std::vector<Segment>{{64 * kMiB - 512, 512, true, 32 * kMiB - 512}}));
}

TEST(AddressMapTest, WrapSplitsARequestThatCrossesTheRealCapacity) {
  const AddressMap map(MapMode::kWrap, 64 * kMiB, 32 * kMiB);
  EXPECT_EQ(map.Locate(32 * kMiB - 1024, 2048),
            (std::vector<Segment>{{32 * kMiB - 1024, 1024, true, 32 * kMiB - 1024},
                                  {32 * kMiB, 1024, true, 0}}));
}

TEST(AddressMapTest, WrapAroundASmallStoreSeveralTimesInOneRequest) {
  const AddressMap map(MapMode::kWrap, 8192, 1024);
  EXPECT_EQ(map.Locate(512, 3072), (std::vector<Segment>{{512, 512, true, 512},
                                                         {1024, 1024, true, 0},
                                                         {2048, 1024, true, 0},
                                                         {3072, 512, true, 0}}));
}

TEST(AddressMapTest, WrapWithARealCapacityThatIsNoPowerOfTwo) {
  const AddressMap map(MapMode::kWrap, 8 * kMiB, 3 * kMiB);
  EXPECT_EQ(map.Locate(7 * kMiB, 512), (std::vector<Segment>{{7 * kMiB, 512, true, 1 * kMiB}}));
}

TEST(AddressMapTest, DropKeepsWhatFitsAndLosesTheRestInOnePiece) {
  const AddressMap map(MapMode::kDrop, 64 * kMiB, 32 * kMiB);
  EXPECT_EQ(map.Locate(1 * kMiB, 4096), (std::vector<Segment>{{1 * kMiB, 4096, true, 1 * kMiB}}));
  EXPECT_EQ(map.Locate(32 * kMiB - 512, 3 * 512),
            (std::vector<Segment>{{32 * kMiB - 512, 512, true, 32 * kMiB - 512},
                                  {32 * kMiB, 1024, false, 0}}));
  // Far past several multiples of the real capacity, still one lost piece.
  EXPECT_EQ(map.Locate(20 * kMiB + 32 * kMiB, 40 * kMiB - 20 * kMiB),
            (std::vector<Segment>{{52 * kMiB, 20 * kMiB, false, 0}}));
}

// Every mode: the pieces follow each other without gap or overlap, and a
// stored piece never leaves the store. Also with a store of three sectors,
// which requests cross many times over.
TEST(AddressMapTest, PiecesCoverTheRequestExactly) {
  struct Geometry {
    uint64_t advertised;
    uint64_t real;
    uint64_t step;
    uint64_t longest;
  };
  for (const Geometry& g : {Geometry{16 * kMiB, 5 * kMiB + 512, 777 * 512, 3 * kMiB + 1536},
                            Geometry{64 * 1024, 1536, 100, 5000}}) {
    for (MapMode mode : {MapMode::kWrap, MapMode::kDrop}) {
      const AddressMap map(mode, g.advertised, g.real);
      for (uint64_t address = 0; address < g.advertised; address += g.step) {
        const uint64_t length = std::min(g.advertised - address, g.longest);
        uint64_t next = address;
        for (const Segment& piece : map.Locate(address, length)) {
          ASSERT_EQ(piece.address, next);
          ASSERT_GT(piece.length, 0u);
          if (piece.stored) {
            ASSERT_LE(piece.store_offset + piece.length, g.real);
            ASSERT_EQ(piece.store_offset, piece.address % g.real);
          } else {
            ASSERT_EQ(mode, MapMode::kDrop);
            ASSERT_GE(piece.address, g.real);
          }
          next += piece.length;
        }
        ASSERT_EQ(next, address + length);
      }
    }
  }
}

}  // namespace
}  // namespace kalvex::fakemedium
