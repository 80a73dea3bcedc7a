#include "tools/fakemedium/size_text.h"

#include <gtest/gtest.h>

namespace kalvex::fakemedium {
namespace {

TEST(SizeTextTest, BytesAndBinarySuffixes) {
  EXPECT_EQ(ParseSize("0"), 0u);
  EXPECT_EQ(ParseSize("512"), 512u);
  EXPECT_EQ(ParseSize("4K"), 4096u);
  EXPECT_EQ(ParseSize("4k"), 4096u);
  EXPECT_EQ(ParseSize("64M"), 64u << 20);
  EXPECT_EQ(ParseSize("3m"), 3u << 20);
  EXPECT_EQ(ParseSize("2G"), uint64_t{2} << 30);
}

TEST(SizeTextTest, RefusesWhatIsNoSize) {
  for (const char* text : {"", "M", "12X", "-1", "+1", "1.5M", "4KK", "4 K", " 4", "0x10",
                           "99999999999999999999", "17179869184G"}) {
    EXPECT_FALSE(ParseSize(text)) << text;
  }
}

TEST(SizeTextTest, Pairs) {
  EXPECT_EQ(ParseSizePair("1M:3"), (std::pair<uint64_t, uint64_t>{1u << 20, 3}));
  EXPECT_EQ(ParseSizePair("0:4K"), (std::pair<uint64_t, uint64_t>{0, 4096}));
  for (const char* text : {"1M", ":3", "3:", "1:2:3", "a:b"})
    EXPECT_FALSE(ParseSizePair(text)) << text;
}

}  // namespace
}  // namespace kalvex::fakemedium
