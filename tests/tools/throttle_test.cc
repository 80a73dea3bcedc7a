#include "tools/fakemedium/throttle.h"

#include <gtest/gtest.h>

namespace kalvex::fakemedium {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Only the booking is checked, on a clock the test sets: how long the
// medium really sleeps depends on the machine.
TEST(ThrottleTest, TransfersQueueBehindEachOther) {
  Throttle throttle(2.0);  // MiB per second
  const Throttle::Clock::time_point start{seconds(100)};
  EXPECT_EQ(throttle.Reserve(start, 1048576), start + milliseconds(500));
  EXPECT_EQ(throttle.Reserve(start, 2097152), start + milliseconds(1500));
  // Asked for later, while the medium is still busy.
  EXPECT_EQ(throttle.Reserve(start + milliseconds(200), 1048576), start + seconds(2));
}

TEST(ThrottleTest, AnIdleMediumSavesNoTimeForLater) {
  Throttle throttle(1.0);
  const Throttle::Clock::time_point start{seconds(100)};
  EXPECT_EQ(throttle.Reserve(start, 1048576), start + seconds(1));
  EXPECT_EQ(throttle.Reserve(start + seconds(5), 524288), start + milliseconds(5500));
}

TEST(ThrottleTest, NoLimitLetsEverythingThroughAtOnce) {
  Throttle throttle(0);
  const Throttle::Clock::time_point start{seconds(100)};
  EXPECT_EQ(throttle.Reserve(start, uint64_t{1} << 40), start);
}

}  // namespace
}  // namespace kalvex::fakemedium
