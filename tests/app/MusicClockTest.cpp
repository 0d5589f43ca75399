#include "app/MusicClock.h"

#include <gtest/gtest.h>

namespace {

TEST(MusicClock, BytesBecomeFramesAndSeconds) {
    EXPECT_EQ(playedFramesFromBytes(0), 0u);
    EXPECT_EQ(playedFramesFromBytes(7), 0u);  // a partial frame does not count
    EXPECT_EQ(playedFramesFromBytes(8), 1u);
    EXPECT_EQ(playedFramesFromBytes(352800), 44100u);
    EXPECT_EQ(musicTimeFromFrames(44100), 1.0f);
    EXPECT_EQ(musicTimeFromBytes(352800 * 2 + 5), 2.0f);
    EXPECT_EQ(musicTimeFromBytes(0), 0.0f);
    // Divided in double and then rounded: 1 frame is the float nearest 1/44100.
    EXPECT_EQ(musicTimeFromFrames(1), static_cast<float>(1.0 / 44100.0));
}

TEST(MusicClock, ShowEndsAtTheFirstFrameWhoseTimeReaches4657) {
    EXPECT_FALSE(showHasEnded(musicTimeFromFrames(2053737)));
    EXPECT_LT(static_cast<double>(musicTimeFromFrames(2053737)), 46.57);
    EXPECT_TRUE(showHasEnded(musicTimeFromFrames(2053738)));
    EXPECT_TRUE(showHasEnded(musicTimeFromBytes(2053738u * 8u)));
    EXPECT_FALSE(showHasEnded(musicTimeFromBytes(2053738u * 8u - 1u)));
    EXPECT_FALSE(showHasEnded(0.0f));
    EXPECT_TRUE(showHasEnded(100.0f));
}

}  // namespace
