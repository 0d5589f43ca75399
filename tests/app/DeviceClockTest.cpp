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

// A double-buffered device in real time: two chunks pulled at the start,
// then chunk n + 2 the moment chunk n has finished playing. Read at any
// moment, the clock gives the frames heard so far, to the frame.
TEST(DeviceClock, FollowsADoubleBufferedDeviceFrameForFrame) {
    const uint32_t chunk = 1024, rate = 44100;
    const double chunkSeconds = double(chunk) / rate;
    DeviceClock clock;
    deviceClockInitDoubleBuffered(clock, chunk, rate);
    deviceClockDelivered(clock, chunk, 0.0);
    deviceClockDelivered(clock, chunk, 0.0);
    uint32_t finished = 0;  // chunks played to their end
    for (int step = 1; step <= 200; ++step) {
        const double now = step * chunkSeconds / 7.0;  // readings between and on callbacks
        while ((finished + 1) * chunkSeconds <= now + 1e-12) {
            ++finished;
            deviceClockDelivered(clock, chunk, finished * chunkSeconds);
        }
        const double heard = now * rate;
        EXPECT_NEAR(double(deviceClockPlayed(clock, now)), heard, 1.0) << "at " << now << " s";
    }
}

}  // namespace
