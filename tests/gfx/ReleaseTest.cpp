// Releasing and rebuilding: every resource and program gives back what it
// made and can be made again from its description, as often as asked.
#include <gtest/gtest.h>

#include "BackendHarness.h"

using namespace Orrery::Gfx;

namespace {

class Release : public ::testing::Test {
protected:
    void SetUp() override {
        const char* why = "";
        ASSERT_TRUE(harnessReady(&why)) << why;
    }
};

TEST_F(Release, ATextureGivesBackEveryObjectAndIsRebuiltFromItsDescriptor) {
    TextureRuntime texture;
    const uint32_t before = harnessLiveObjects();
    ASSERT_TRUE(texture.init(texture2DDesc(8, 4, FormatCode::R16G16B16A16Float, true), true));
    const uint32_t built = harnessLiveObjects();
    EXPECT_GT(built, before);
    EXPECT_TRUE(texture.release());
    EXPECT_FALSE(texture.textureA || texture.textureB || texture.srvA || texture.srvB || texture.rtvA ||
                 texture.rtvB || texture.uavA || texture.uavB || texture.dsv);
    EXPECT_EQ(harnessLiveObjects(), before);
    for (int round = 0; round < 100; ++round) {
        texture.create();
        texture.release();
    }
    EXPECT_TRUE(texture.create());
    EXPECT_EQ(harnessLiveObjects(), built);
    EXPECT_EQ(texture.desc.width, 8);
    EXPECT_TRUE(texture.doubleBuffered);
    EXPECT_TRUE(texture.textureA && texture.textureB && texture.srvB && texture.rtvB);
    texture.release();
    texture.release();  // a second release finds nothing to give back
    EXPECT_EQ(harnessLiveObjects(), before);
}

TEST_F(Release, ABufferGivesBackBothCopiesAndTheirViews) {
    BufferRuntime buffer;
    const uint32_t before = harnessLiveObjects();
    BufferDesc desc;
    desc.stride = 16;
    desc.countX = 27;
    ASSERT_TRUE(buffer.init(desc, true));
    EXPECT_TRUE(buffer.bufferA && buffer.bufferB);
    EXPECT_GT(harnessLiveObjects(), before);
    EXPECT_TRUE(buffer.release());
    EXPECT_FALSE(buffer.bufferA || buffer.bufferB || buffer.srvA || buffer.uavA || buffer.srvB || buffer.uavB);
    EXPECT_EQ(harnessLiveObjects(), before);
}

TEST_F(Release, RebuildingAProgramHoldsNoMoreObjectsThanBuildingItOnce) {
    Program program;
    programInit(program);
    harnessProgram(program.desc);
    const uint32_t before = harnessLiveObjects();
    ASSERT_TRUE(program.buildShaders());
    ASSERT_TRUE(program.vertexShader && program.pixelShader);
    const uint32_t once = harnessLiveObjects();
    EXPECT_GT(once, before);
    for (int round = 0; round < 100; ++round) program.buildShaders();
    EXPECT_TRUE(program.vertexShader && program.pixelShader);
    EXPECT_EQ(harnessLiveObjects(), once);
    program.release();
    EXPECT_FALSE(program.vertexShader || program.pixelShader);
    EXPECT_EQ(harnessLiveObjects(), before);
    programDescFree(program.desc);
}

// The swap chain's back buffer (or a capture's 8-bit texture) stays its
// owner's when the screen texture is released.
TEST_F(Release, AnOutsideTargetOutlivesTheTextureItWasPutInto) {
    TextureRuntime screen;
    screen.init(texture2DDesc(4, 4, FormatCode::R16G16B16A16Float, false), false);
    const RtvHandle outside = harnessOutsideTarget();
    ASSERT_TRUE(outside);
    screen.putOutsideTarget(outside);
    EXPECT_EQ(screen.getRenderTargetView(false), outside);
    screen.release();
    EXPECT_TRUE(harnessOutsideTargetAlive(outside));
}

}  // namespace
