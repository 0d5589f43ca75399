#include <gtest/gtest.h>

#include "app/DeviceClock.h"

namespace {

// 1,024-frame callbacks at 44,100 Hz, two chunks queued.
TEST(DeviceClock, CountsHeardFramesBetweenCallbacksWithoutSteppingOrGoingBack) {
    DeviceClock clock;
    deviceClockInit(clock, 2048, 1024, 44100);
    EXPECT_EQ(deviceClockPlayed(clock, 0.0), 0u);
    deviceClockDelivered(clock, 1024, 1.0);
    deviceClockDelivered(clock, 1024, 1.0);
    EXPECT_EQ(deviceClockPlayed(clock, 1.0), 0u);  // both chunks still queued
    deviceClockDelivered(clock, 1024, 2.0);
    EXPECT_EQ(deviceClockPlayed(clock, 2.0), 1024u);
    EXPECT_EQ(deviceClockPlayed(clock, 2.0 + 441.0 / 44100.0), 1024u + 441u);  // the wall clock fills in
    EXPECT_EQ(deviceClockPlayed(clock, 9.0), 2048u);  // a late callback: no more than a chunk ahead
    deviceClockDelivered(clock, 1024, 9.5);
    EXPECT_EQ(deviceClockPlayed(clock, 9.5), 2048u);
    // A wall clock that steps back, or a reading before the callback's own
    // time, never moves the position backwards.
    EXPECT_EQ(deviceClockPlayed(clock, 3.0), 2048u);
}

}  // namespace
