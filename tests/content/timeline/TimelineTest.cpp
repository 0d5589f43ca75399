#include "content/timeline/Timeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

class ShowTracks : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(trackSetInit(set));
        ASSERT_TRUE(buildShowTracks(set));
    }
    void TearDown() override { trackSetDestroy(set); }

    // Value of a track a quarter tick after `tick`, where a Step key holds.
    float atTick(uint32_t track, float tick) const { return evaluateTrack(set, track, tick / trackTickRate(set)); }
    const Keyframe& key(uint32_t track, uint32_t k) const { return trackAt(set, track).keys[k]; }

    TrackSet set;
};

TEST(ShowParameters, NamesInCbufferOrder) {
    EXPECT_EQ(kShowParameterCount, 27u);
    EXPECT_STREQ(kShowParameterNames[0], "CameraPosX");
    EXPECT_STREQ(kShowParameterNames[6], "CameraFOV");
    EXPECT_STREQ(kShowParameterNames[7], "CameraRoll");
    EXPECT_STREQ(kShowParameterNames[8], "IS_NEAREST_SAMPLING");
    EXPECT_STREQ(kShowParameterNames[9], "MELT_GRADIENT_SPREAD");
    EXPECT_STREQ(kShowParameterNames[14], "bg_transp");
    EXPECT_STREQ(kShowParameterNames[16], "useInput3");
    EXPECT_STREQ(kShowParameterNames[19], "ENABLEFINALPSOTPROC");
    EXPECT_STREQ(kShowParameterNames[26], "lamerdensity");
    std::set<std::string> distinct;
    for (const char* name : kShowParameterNames) {
        ASSERT_NE(name, nullptr);
        EXPECT_GT(std::strlen(name), 0u);
        EXPECT_LT(std::strlen(name), 256u);  // fits a zero-padded 256-byte name
        distinct.insert(name);
    }
    EXPECT_EQ(distinct.size(), 27u);
}

TEST_F(ShowTracks, TempoTracksAndKeyCounts) {
    EXPECT_EQ(set.beatsPerMinute, 170.0f);
    EXPECT_EQ(set.ticksPerBeat, 8u);
    EXPECT_FLOAT_EQ(trackTickRate(set), 22.666666f);
    ASSERT_EQ(set.tracks.count, 27u);
    const uint32_t expected[27] = {0, 0, 0, 0, 0, 0, 0, 0, 7,  72, 22, 13, 1, 27,
                                   9, 172, 4, 19, 5, 3, 2, 2, 3, 3, 17, 5, 30};
    uint32_t total = 0;
    const char zeros[kTrackNameSize] = {};
    for (uint32_t i = 0; i < 27; ++i) {
        EXPECT_EQ(trackAt(set, i).keys.count, expected[i]) << "track " << i << " " << kShowParameterNames[i];
        EXPECT_EQ(std::memcmp(trackAt(set, i).name, zeros, sizeof(zeros)), 0);
        total += trackAt(set, i).keys.count;
    }
    EXPECT_EQ(total, 416u);
}

TEST_F(ShowTracks, TicksStrictlyIncreaseAndOnlyStepAndLinearOccur) {
    for (uint32_t i = 0; i < 27; ++i) {
        const Track& track = trackAt(set, i);
        for (uint32_t k = 0; k < track.keys.count; ++k) {
            EXPECT_TRUE(track.keys[k].mode == 0 || track.keys[k].mode == 1) << "track " << i << " key " << k;
            if (k > 0) {
                EXPECT_LT(track.keys[k - 1].tick, track.keys[k].tick) << "track " << i << " key " << k;
            }
        }
    }
}

TEST_F(ShowTracks, SelectedKeysHoldTheNearestFloats) {
    EXPECT_EQ(key(8, 1).tick, 352u);
    EXPECT_EQ(key(8, 1).value, 1.0f);
    EXPECT_EQ(key(8, 1).mode, 1u);
    EXPECT_EQ(key(8, 6).tick, 693u);
    EXPECT_EQ(key(8, 6).value, 0.6f);
    EXPECT_EQ(key(9, 35).tick, 383u);
    EXPECT_EQ(key(9, 35).value, 0.001f);
    EXPECT_EQ(key(9, 71).tick, 1055u);
    EXPECT_EQ(key(12, 0).tick, 0u);
    EXPECT_EQ(key(12, 0).value, 10.0f);
    EXPECT_EQ(key(14, 4).value, -0.1f);
    EXPECT_EQ(key(17, 17).value, 162.6f);
    EXPECT_EQ(key(17, 18).tick, 1280u);
    EXPECT_EQ(key(17, 18).value, 162.55f);
    EXPECT_EQ(key(26, 29).tick, 601u);
    EXPECT_EQ(key(26, 29).mode, 1u);
}

TEST_F(ShowTracks, StepPairRunsAreExpandedInPlace) {
    // txt_transp: 58 listed keys, then the pairs (t, -0.1) (t + 1, 0.9) for
    // t = 352, 356 .. 380; 607, 609 .. 639; 1024 .. 1054; 1280 .. 1310.
    EXPECT_EQ(key(15, 57).tick, 346u);
    EXPECT_EQ(key(15, 57).value, 0.7f);
    const uint32_t firsts[] = {352, 607, 1024, 1280};
    const uint32_t strides[] = {4, 2, 2, 2};
    const uint32_t lasts[] = {380, 639, 1054, 1310};
    uint32_t k = 58;
    for (int run = 0; run < 4; ++run) {
        for (uint32_t t = firsts[run]; t <= lasts[run]; t += strides[run]) {
            ASSERT_LT(k + 1, trackAt(set, 15).keys.count);
            EXPECT_EQ(key(15, k).tick, t);
            EXPECT_EQ(key(15, k).value, -0.1f);
            EXPECT_EQ(key(15, k).mode, 0u);
            EXPECT_EQ(key(15, k + 1).tick, t + 1);
            EXPECT_EQ(key(15, k + 1).value, 0.9f);
            EXPECT_EQ(key(15, k + 1).mode, 0u);
            k += 2;
        }
    }
    EXPECT_EQ(k, 172u);
}

TEST_F(ShowTracks, ValuesAtChosenTimes) {
    for (uint32_t camera = 0; camera < 8; ++camera) {
        EXPECT_EQ(evaluateTrack(set, camera, 0.0f), 0.0f);
        EXPECT_EQ(evaluateTrack(set, camera, 20.0f), 0.0f);
    }
    EXPECT_EQ(evaluateTrack(set, 12, 0.0f), 10.0f);  // DOFBLUR
    EXPECT_EQ(evaluateTrack(set, 12, 46.0f), 10.0f);
    EXPECT_EQ(evaluateTrack(set, 17, 0.0f), 2.6f);   // SCROLLSPEED at the start
    EXPECT_EQ(evaluateTrack(set, 17, 46.5f), 162.6f);  // held from tick 1024 to the end
    EXPECT_EQ(evaluateTrack(set, 26, 1.0f), 0.0f);     // lamerdensity before its first key
    EXPECT_EQ(atTick(16, 50.25f), 0.0f);               // useInput3
    EXPECT_EQ(atTick(16, 1055.25f), 1.0f);
    EXPECT_EQ(atTick(15, 352.25f), -0.1f);  // txt_transp flicker run
    EXPECT_EQ(atTick(15, 353.25f), 0.9f);
    EXPECT_EQ(atTick(19, 900.0f), 1.0f);  // ENABLEFINALPSOTPROC on between 804 and 1024

    // FEEDBACK_STRENGTH and NOISE_STRENGTH share the ramp 5 -> 500 over ticks 120..127.
    const float midRamp = 123.5f / trackTickRate(set);
    const float c = (midRamp - (120.0f / trackTickRate(set) + 0.001f)) / (7.0f / trackTickRate(set));
    EXPECT_NEAR(evaluateTrack(set, 10, midRamp), 5.0f + 495.0f * c, 1e-3f);
    EXPECT_EQ(evaluateTrack(set, 10, midRamp), evaluateTrack(set, 11, midRamp));
    EXPECT_NEAR(evaluateTrack(set, 10, midRamp), 250.9f, 0.1f);

    // bg_transp ramps 0 -> 1 from tick 1024 to 1055; at 46 s (tick 1042) about 0.6.
    EXPECT_NEAR(evaluateTrack(set, 14, 46.0f), 0.6014f, 1e-3f);
}

TEST_F(ShowTracks, KeysPastTheEndAreNeverReached) {
    // The last rendered frame: 2,053,737 played frames, tick 1055.
    const float lastTime = static_cast<float>(2053737.0 / 44100.0);
    ASSERT_EQ(static_cast<uint32_t>(trackTickRate(set) * lastTime), 1055u);
    EXPECT_EQ(evaluateTrack(set, 17, lastTime), 162.6f);  // not 162.55 from tick 1280
    EXPECT_EQ(evaluateTrack(set, 15, lastTime), 0.9f);    // the pair at 1054/1055, not 1280..1311
    EXPECT_EQ(evaluateTrack(set, 14, lastTime), 1.0f);    // bg_transp's key at 1055 is reached
    EXPECT_EQ(evaluateTrack(set, 9, lastTime), 0.0f);     // MELT_GRADIENT_SPREAD's last key
}

TEST(ShowTimeline, NeedsTwentySevenTracks) {
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    ASSERT_TRUE(trackSetResize(set, 26));
    EXPECT_FALSE(appendTimelineKeys(set));
    for (uint32_t i = 0; i < 26; ++i) EXPECT_EQ(trackAt(set, i).keys.count, 0u);
    ASSERT_TRUE(trackSetResize(set, 27));
    EXPECT_TRUE(appendTimelineKeys(set));
    EXPECT_EQ(trackAt(set, 15).keys.count, 172u);
    trackSetDestroy(set);
}

}  // namespace
