#include "app/Transport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The show's tempo: 170 beats of 8 rows a minute, 22 2/3 rows a second;
// its end at 46.57 s.
Transport showTransport() {
    Transport t;
    transportInit(t, 170.0f, 8, 2053737);
    return t;
}

TEST(Transport, RowsAndFramesRoundTripAtTheNearestFrame) {
    const Transport t = showTransport();
    EXPECT_EQ(transportFrameAtRow(t, 0), 0u);
    EXPECT_EQ(transportFrameAtRow(t, 68), 132300u);  // 68 rows are exactly 3 s
    EXPECT_EQ(transportFrameAtRow(t, 1), 1946u);     // 1945.588... rounds up
    EXPECT_EQ(transportFrameAtRow(t, 3), 5837u);     // 5836.76... rounds up
    for (uint32_t row = 0; row <= transportLastRow(t); ++row) {
        const uint64_t frame = transportFrameAtRow(t, row);
        EXPECT_EQ(std::llabs(int64_t(frame) - std::llround(row * 44100.0 * 3.0 / 68.0)), 0) << row;
        ASSERT_EQ(transportRowAtFrame(t, frame), row);
        if (frame > 0) ASSERT_EQ(transportRowAtFrame(t, frame - 1), row - 1);
    }
}

TEST(Transport, StepsAndSeeksStayInsideTheSong) {
    const Transport t = showTransport();
    const uint32_t last = transportLastRow(t);
    EXPECT_EQ(last, 1055u);  // 46.57 s * 22 2/3 = 1055.5
    EXPECT_LT(transportFrameAtRow(t, last), t.endFrame);
    EXPECT_EQ(transportFrameAtRow(t, 5000), t.endFrame - 1);
    EXPECT_EQ(transportStepRow(t, 3, -8), 0u);
    EXPECT_EQ(transportStepRow(t, 3, 64), 67u);
    EXPECT_EQ(transportStepRow(t, last - 2, 8), last);
}

TEST(Transport, LoopWrapsOnlyWhenBothEndsAreSetInOrder) {
    Transport t = showTransport();
    uint64_t to = 12345;
    EXPECT_FALSE(transportLoopWrap(t, 1000000, to));
    t.loopStartSet = true;
    t.loopStart = 64;
    EXPECT_FALSE(transportLoopWrap(t, 1000000, to));
    t.loopEndSet = true;
    t.loopEnd = 32;  // before the start: no loop
    EXPECT_FALSE(transportLoopWrap(t, 1000000, to));
    t.loopEnd = 128;
    EXPECT_FALSE(transportLoopWrap(t, transportFrameAtRow(t, 128) - 1, to));
    EXPECT_EQ(to, 12345u);
    ASSERT_TRUE(transportLoopWrap(t, transportFrameAtRow(t, 128), to));
    EXPECT_EQ(to, transportFrameAtRow(t, 64));
}

}  // namespace
