// The show session on the null back end: the whole show built, run and
// released again and again (under the sanitizers any storage a release
// forgets is a leak), and the session's clock and end.
#include <gtest/gtest.h>

#include "BackendHarness.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/ShowSession.h"
#include "content/scene/Show.h"

using namespace Orrery::Gfx;

namespace {

TEST(NullGraph, BuildingRunningAndReleasingTheShowAHundredTimesLeavesNothing) {
    const char* why = "";
    ASSERT_TRUE(harnessReady(&why)) << why;
    const uint32_t before = nullLiveObjects();
    const uint32_t passesBefore = nullPassesRun();
    for (int round = 0; round < 100; ++round) {
        ShowSession session = {};
        openShowSession(session, DeviceDesc{}, 320, 180);
        // 9 textures (the scroll target with two copies), the atlas, 9 passes.
        ASSERT_GT(nullLiveObjects(), before + 30) << round;
        ASSERT_TRUE(stepShowSession(session, 0.5f));
        releaseShowSession(session);
        EXPECT_EQ(session.show.runtime, nullptr);
        gfxContext.frameConstants.release();
        ASSERT_EQ(nullLiveObjects(), before) << round;
    }
    // Every frame ran the content passes, the first-frame ones and the present pass.
    EXPECT_EQ(nullPassesRun() - passesBefore, 100u * 9u);
    EXPECT_EQ(nullBadReleases(), 0u);
}

// What every program's loop relies on: live frames are counted from 0, each
// sees the step from the previous one (the first from 0), and the show's end
// draws nothing; a restart begins the count and the step again.
TEST(ShowSession, CountsLiveFramesWithTheirStepsAndStopsAtTheEnd) {
    const char* why = "";
    ASSERT_TRUE(harnessReady(&why)) << why;
    ShowSession session = {};
    openShowSession(session, DeviceDesc{}, 160, 90);
    EXPECT_EQ(screenWidth, 160);
    EXPECT_FLOAT_EQ(session.aspect, 160.0f / 90.0f);
    const uint32_t passesBefore = nullPassesRun();

    ASSERT_TRUE(stepShowSession(session, 0.25f));
    EXPECT_EQ(gfxContext.contextData.frame, 0u);
    EXPECT_EQ(gfxContext.contextData.elapsedTime, 0.25f);
    ASSERT_TRUE(stepShowSession(session, 0.5f));
    EXPECT_EQ(gfxContext.contextData.frame, 1u);
    EXPECT_EQ(gfxContext.contextData.time, 0.5f);
    EXPECT_EQ(gfxContext.contextData.elapsedTime, 0.25f);
    const uint32_t passesPerFrame = nullPassesRun() - passesBefore;

    EXPECT_FALSE(stepShowSession(session, 46.6f));
    EXPECT_EQ(nullPassesRun() - passesBefore, passesPerFrame) << "the end drew a frame";
    EXPECT_EQ(session.frameIndex, 2u);

    restartShowSession(session);
    ASSERT_TRUE(stepShowSession(session, 10.0f));
    EXPECT_EQ(gfxContext.contextData.frame, 0u);
    EXPECT_EQ(gfxContext.contextData.elapsedTime, 10.0f);
    releaseShowSession(session);
    gfxContext.frameConstants.release();
}

}  // namespace
