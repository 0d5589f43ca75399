// The whole show built, run and released again and again on the null back
// end: under the sanitizers any storage a release forgets is a leak.
#include <gtest/gtest.h>

#include "BackendHarness.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "content/scene/Show.h"

using namespace Orrery::Gfx;

namespace {

// The runtime's classes have no virtual destructor (the show keeps them for
// the whole run), so each object is deleted through its own type.
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"

void destroyShow(Show& show) {
    GraphRuntime& runtime = *show.runtime;
    // createPresentPass made the last pass and the screen texture.
    auto* present = static_cast<DrawPass*>(runtime.passes[runtime.passes.count - 1].pass);
    TextureRuntime* screen = runtime.outputTexture;
    releaseGraph(runtime);
    EXPECT_EQ(runtime.passes.count, 0u);
    EXPECT_EQ(runtime.resources.count, 0u);
    EXPECT_EQ(runtime.outputTexture, nullptr);
    delete present;
    delete screen;
    for (TextureRuntime* t : {show.scrollTarget, show.paletteTarget, show.blurTarget, show.compositeTarget,
                              show.cloudsTarget, show.backgroundTarget, show.finalTarget, show.raysTarget})
        delete t;
    delete show.fontAtlas;
    for (DrawPass* p : {show.scrollPass, show.palettePass, show.blurPass, show.compositePass, show.cloudsPass,
                        show.backgroundPass, show.crtPass, show.raysPass})
        delete p;
    delete show.runtime;
    trackSetDestroy(show.tracks);
}

TEST(NullGraph, BuildingRunningAndReleasingTheShowAHundredTimesLeavesNothing) {
    const char* why = "";
    ASSERT_TRUE(harnessReady(&why)) << why;
    screenWidth = 320;
    screenHeight = 180;
    const uint32_t before = nullLiveObjects();
    const uint32_t passesBefore = nullPassesRun();
    for (int round = 0; round < 100; ++round) {
        Show show = {};
        trackSetInit(show.tracks);
        assembleShow(show);
        show.runtime->createPresentPass();
        // 9 textures (the scroll target with two copies), the atlas, 9 passes.
        ASSERT_GT(nullLiveObjects(), before + 30) << round;
        updateContext(ContextBuffer{});
        show.runtime->runFrame();
        destroyShow(show);
        gfxContext.frameConstants.release();
        ASSERT_EQ(nullLiveObjects(), before) << round;
    }
    // Every frame ran the content passes, the first-frame ones and the present pass.
    EXPECT_EQ(nullPassesRun() - passesBefore, 100u * 9u);
    EXPECT_EQ(nullBadReleases(), 0u);
}

}  // namespace
