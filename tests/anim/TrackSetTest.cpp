#include "anim/TrackSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// One track on the show's tempo (22.666666 ticks per second).
class ShowTempoTrack : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(trackSetInit(set));
        set.beatsPerMinute = 170.0f;
        set.ticksPerBeat = 8;
        ASSERT_TRUE(trackSetResize(set, 1));
    }
    void TearDown() override { trackSetDestroy(set); }

    // The worked pair: (352, 1.0, firstMode) -> (368, 5.0, Step).
    void addPair(uint32_t firstMode) {
        ASSERT_TRUE(trackAddKey(set, 0, 352, 1.0f, firstMode));
        ASSERT_TRUE(trackAddKey(set, 0, 368, 5.0f, InterpolationMode::Step));
    }
    float at(float t) const { return evaluateTrack(set, 0, t); }

    TrackSet set;
};

TEST(TrackSet, StartsEmptyWithDefaultTempo) {
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    EXPECT_EQ(set.tracks.count, 0u);
    EXPECT_EQ(set.tracks.capacity, 8u);
    EXPECT_EQ(set.beatsPerMinute, 120.0f);
    EXPECT_EQ(set.ticksPerBeat, 8u);
    EXPECT_EQ(trackTickRate(set), 16.0f);
    trackSetDestroy(set);
}

TEST(TrackSet, ResizeGivesEmptyNamedlessTracksAndReleasesDroppedKeys) {
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    ASSERT_TRUE(trackSetResize(set, 27));
    EXPECT_EQ(set.tracks.count, 27u);
    const char zeros[kTrackNameSize] = {};
    for (uint32_t i = 0; i < 27; ++i) {
        EXPECT_EQ(std::memcmp(trackAt(set, i).name, zeros, sizeof(zeros)), 0);
        EXPECT_EQ(trackAt(set, i).keys.count, 0u);
        EXPECT_EQ(trackAt(set, i).keys.capacity, 8u);
    }
    // Give the tail tracks keys beyond their first capacity, drop them, grow
    // again: the regrown tracks start empty (the sanitizer build catches a
    // leak of the dropped storage).
    for (uint32_t k = 0; k < 20; ++k) ASSERT_TRUE(trackAddKey(set, 26, k, 1.0f, 0u));
    EXPECT_EQ(trackAt(set, 26).keys.count, 20u);
    ASSERT_TRUE(trackSetResize(set, 3));
    EXPECT_EQ(set.tracks.count, 3u);
    ASSERT_TRUE(trackSetResize(set, 27));
    EXPECT_EQ(trackAt(set, 26).keys.count, 0u);
    EXPECT_EQ(evaluateTrack(set, 26, 1.0f), 0.0f);
    trackSetDestroy(set);
    EXPECT_EQ(set.tracks.count, 0u);
}

TEST(TrackSet, KeysAppendInCallOrderAndOnlyToExistingTracks) {
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    ASSERT_TRUE(trackSetResize(set, 2));
    ASSERT_TRUE(trackAddKey(set, 1, 10, 2.5f, InterpolationMode::Quartic));
    ASSERT_TRUE(trackAddKey(set, 1, 5, -1.0f, 7u));
    EXPECT_FALSE(trackAddKey(set, 2, 0, 1.0f, 0u));
    const Track& track = trackAt(set, 1);
    ASSERT_EQ(track.keys.count, 2u);
    EXPECT_EQ(track.keys[0].tick, 10u);
    EXPECT_EQ(track.keys[0].value, 2.5f);
    EXPECT_EQ(track.keys[0].mode, 4u);
    EXPECT_EQ(track.keys[1].tick, 5u);
    EXPECT_EQ(track.keys[1].mode, 7u);
    EXPECT_EQ(trackAt(set, 0).keys.count, 0u);
    trackSetDestroy(set);
}

TEST_F(ShowTempoTrack, RateIsTwentyTwoAndTwoThirds) { EXPECT_FLOAT_EQ(trackTickRate(set), 22.666666f); }

TEST_F(ShowTempoTrack, EmptyTrackAndMissingTrackGiveZero) {
    EXPECT_EQ(at(0.0f), 0.0f);
    EXPECT_EQ(at(16.0f), 0.0f);
    EXPECT_EQ(at(1.0e6f), 0.0f);
    ASSERT_TRUE(trackAddKey(set, 0, 0, 3.0f, 0u));
    EXPECT_EQ(evaluateTrack(set, 1, 1.0f), 0.0f);
    EXPECT_EQ(evaluateTrack(set, 0xFFFFFFFFu, 1.0f), 0.0f);
}

TEST_F(ShowTempoTrack, WorkedExampleForEveryMode) {
    struct Case {
        uint32_t mode;
        float expected;
    };
    const Case cases[] = {{0, 1.0f}, {1, 3.6610f}, {2, 3.9554f}, {3, 2.7702f}, {4, 1.7834f}};
    for (const Case& c : cases) {
        trackSetResize(set, 0);
        trackSetResize(set, 1);
        addPair(c.mode);
        EXPECT_NEAR(at(16.0f), c.expected, 1e-4f) << "mode " << c.mode;
        EXPECT_EQ(at(15.0f), 0.0f) << "mode " << c.mode;
        EXPECT_EQ(at(16.5f), 5.0f) << "mode " << c.mode;
    }
}

TEST_F(ShowTempoTrack, AtAKeysOwnTimeTheWeightIsSlightlyNegative) {
    addPair(1);
    const float keyTime = 352.0f / trackTickRate(set);
    EXPECT_EQ(static_cast<uint32_t>(trackTickRate(set) * keyTime), 352u);
    const float value = at(keyTime);
    EXPECT_NEAR(value, 0.99433f, 1e-5f);
    EXPECT_LT(value, 1.0f);
    // Just before the next key the weight stays below 1.
    const float beforeNext = at(367.99f / trackTickRate(set));
    EXPECT_LT(beforeNext, 5.0f);
    EXPECT_GT(beforeNext, 4.9f);
}

TEST_F(ShowTempoTrack, UnknownModesHoldLikeStep) {
    for (uint32_t mode : {5u, 6u, 0xFFFFFFFFu}) {
        trackSetResize(set, 0);
        trackSetResize(set, 1);
        addPair(mode);
        EXPECT_EQ(at(16.0f), 1.0f) << "mode " << mode;
    }
}

TEST_F(ShowTempoTrack, TimeBeforeTheFirstKeyIsZeroNotTheKeysValue) {
    ASSERT_TRUE(trackAddKey(set, 0, 100, 7.0f, 0u));
    const float keyTime = 100.0f / trackTickRate(set);
    EXPECT_EQ(at(0.0f), 0.0f);
    EXPECT_EQ(at(keyTime - 0.05f), 0.0f);
    // 100 / rate in float lands a hair before tick 100 when multiplied back.
    EXPECT_EQ(at(keyTime), 0.0f);
    EXPECT_EQ(at(100.25f / trackTickRate(set)), 7.0f);
    EXPECT_EQ(at(keyTime + 100.0f), 7.0f);
}

TEST_F(ShowTempoTrack, AfterTheLastKeyEveryModeGivesItsValue) {
    for (uint32_t mode = 0; mode <= 4; ++mode) {
        trackSetResize(set, 0);
        trackSetResize(set, 1);
        ASSERT_TRUE(trackAddKey(set, 0, 0, 2.0f, 1u));
        ASSERT_TRUE(trackAddKey(set, 0, 10, -3.0f, mode));
        EXPECT_EQ(at(10.0f / trackTickRate(set)), -3.0f) << "mode " << mode;
        EXPECT_EQ(at(30.0f), -3.0f) << "mode " << mode;
    }
}

TEST_F(ShowTempoTrack, LaterOfTwoKeysOnOneTickBecomesPrevious) {
    ASSERT_TRUE(trackAddKey(set, 0, 20, 1.0f, 0u));
    ASSERT_TRUE(trackAddKey(set, 0, 20, 2.0f, 0u));
    EXPECT_EQ(at(21.0f / trackTickRate(set)), 2.0f);
}

TEST_F(ShowTempoTrack, ScanStopsAtTheFirstLaterKey) {
    // Out of order: the key at tick 5 sits behind tick 50 and is never reached.
    ASSERT_TRUE(trackAddKey(set, 0, 0, 1.0f, 0u));
    ASSERT_TRUE(trackAddKey(set, 0, 50, 2.0f, 0u));
    ASSERT_TRUE(trackAddKey(set, 0, 5, 9.0f, 0u));
    EXPECT_EQ(at(10.0f / trackTickRate(set)), 1.0f);
    // Past tick 50 the scan runs on and the stray key becomes the last <= now.
    EXPECT_EQ(at(60.0f / trackTickRate(set)), 9.0f);
}

TEST_F(ShowTempoTrack, EvaluationFollowsTheTempo) {
    ASSERT_TRUE(trackAddKey(set, 0, 0, 0.0f, 1u));
    ASSERT_TRUE(trackAddKey(set, 0, 64, 64.0f, 0u));
    const float showTempo = at(1.5f);
    set.beatsPerMinute = 120.0f;  // 16 ticks per second
    const float defaultTempo = at(1.5f);
    // About rate * 1.5 ticks into a one-value-per-tick ramp.
    EXPECT_NEAR(showTempo, 34.0f, 0.05f);
    EXPECT_NEAR(defaultTempo, 24.0f, 0.05f);
}

TEST_F(ShowTempoTrack, TimesNoTickCanHoldFallBeforeEveryKey) {
    addPair(1);
    EXPECT_EQ(at(NAN), 0.0f);
    EXPECT_EQ(at(INFINITY), 0.0f);
    EXPECT_EQ(at(-INFINITY), 0.0f);
    EXPECT_EQ(at(1.0e30f), 0.0f);
}

}  // namespace

TEST(TrackEditing, SetKeyInsertsInTickOrderOrReplacesAndDeleteRemovesOnlyThatRow) {
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    ASSERT_TRUE(trackSetResize(set, 2));
    // Before the first, after the last, in between, and past the first
    // capacity of 8, so the insert also moves the keys into new storage.
    const uint32_t ticks[] = {40, 10, 90, 20, 70, 30, 80, 60, 50, 0};
    for (uint32_t tick : ticks) ASSERT_TRUE(trackSetKey(set, 1, tick, static_cast<float>(tick), 1u));
    const GrowArray<Keyframe>& keys = trackAt(set, 1).keys;
    ASSERT_EQ(keys.count, 10u);
    for (uint32_t k = 0; k < keys.count; ++k) {
        EXPECT_EQ(keys[k].tick, k * 10);
        EXPECT_EQ(keys[k].value, static_cast<float>(k * 10));
    }
    // Replacing keeps the count and takes the new value and mode.
    ASSERT_TRUE(trackSetKey(set, 1, 50, -1.5f, 3u));
    EXPECT_EQ(keys.count, 10u);
    EXPECT_EQ(keys[5].value, -1.5f);
    EXPECT_EQ(keys[5].mode, 3u);

    EXPECT_TRUE(trackDeleteKey(set, 1, 0));
    EXPECT_TRUE(trackDeleteKey(set, 1, 90));
    EXPECT_TRUE(trackDeleteKey(set, 1, 50));
    EXPECT_FALSE(trackDeleteKey(set, 1, 50));  // already gone
    EXPECT_FALSE(trackDeleteKey(set, 1, 55));  // never there
    const uint32_t left[] = {10, 20, 30, 40, 60, 70, 80};
    ASSERT_EQ(keys.count, 7u);
    for (uint32_t k = 0; k < 7; ++k) EXPECT_EQ(keys[k].tick, left[k]);

    // Other tracks and tracks outside the set are left alone.
    EXPECT_EQ(trackAt(set, 0).keys.count, 0u);
    EXPECT_FALSE(trackSetKey(set, 2, 0, 1.0f, 0u));
    EXPECT_FALSE(trackDeleteKey(set, 2, 10));
    EXPECT_FALSE(trackDeleteKey(set, 0, 10));
    trackSetDestroy(set);
}
