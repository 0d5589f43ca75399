#include <gtest/gtest.h>

#include "Orrery/gfx/PassMath.h"

using namespace Orrery::Gfx;

TEST(Activation, TimeWindowIncludesBothBounds) {
    EXPECT_TRUE(passIsActive(ActivationMode::TimeWindow, 10.0f, 20.0f, 10.0f, false));
    EXPECT_TRUE(passIsActive(ActivationMode::TimeWindow, 10.0f, 20.0f, 20.0f, false));
    EXPECT_TRUE(passIsActive(ActivationMode::TimeWindow, 10.0f, 20.0f, 15.0f, true));
    EXPECT_FALSE(passIsActive(ActivationMode::TimeWindow, 10.0f, 20.0f, 20.5f, false));
    EXPECT_FALSE(passIsActive(ActivationMode::TimeWindow, 10.0f, 20.0f, 9.99f, false));
    EXPECT_TRUE(passIsActive(ActivationMode::TimeWindow, 0.0f, 100000.0f, 46.56f, false));
}

TEST(Activation, FirstFrameFollowsTheFlagAlone) {
    EXPECT_TRUE(passIsActive(ActivationMode::FirstFrame, 10.0f, 20.0f, 50.0f, true));
    EXPECT_FALSE(passIsActive(ActivationMode::FirstFrame, 0.0f, 100000.0f, 1.0f, false));
}

TEST(Activation, AlwaysRunsAndUnknownModesNever) {
    EXPECT_TRUE(passIsActive(ActivationMode::Always, 10.0f, 20.0f, 50.0f, false));
    for (int32_t mode : {3, 5, -1})
        EXPECT_FALSE(passIsActive(mode, 0.0f, 100000.0f, 1.0f, true)) << mode;
}

TEST(DispatchGroups, RoundUpToGroupsOfEightAndNeverZero) {
    EXPECT_EQ(dispatchGroupCount(1000), 125u);
    EXPECT_EQ(dispatchGroupCount(1001), 126u);
    EXPECT_EQ(dispatchGroupCount(1), 1u);
    EXPECT_EQ(dispatchGroupCount(0), 1u);
    EXPECT_EQ(dispatchGroupCount(1920), 240u);
    EXPECT_EQ(dispatchGroupCount(1080), 135u);
    EXPECT_EQ(dispatchGroupCount(1366), 171u);
    EXPECT_EQ(dispatchGroupCount(0xFFFFFFFFu), 0x20000000u);
}
