// What every back end keeps: the double buffer's getters, pass configuration,
// and release and rebuild (every resource and program gives back what it made
// and can be made again from its description, as often as asked). Compiled
// once per back end against its harness.
#include <gtest/gtest.h>

#include "BackendHarness.h"

using namespace Orrery::Gfx;

namespace {

class Runtime : public ::testing::Test {
protected:
    void SetUp() override {
        const char* why = "";
        ASSERT_TRUE(harnessReady(&why)) << why;
    }
};

using Release = Runtime;

// `previous` false is this frame's copy and true last frame's; without a
// second copy both are copy A, whatever `swapped` says.
TEST_F(Runtime, GettersFollowTheSwapOnlyWithASecondCopy) {
    TextureRuntime single, twin;
    single.init(texture2DDesc(4, 4, FormatCode::R8G8B8A8Unorm, false), false);
    twin.init(texture2DDesc(4, 4, FormatCode::R8G8B8A8Unorm, false), true);
    ASSERT_TRUE(single.textureA && twin.textureB);
    single.swapped = true;
    EXPECT_EQ(single.getShaderResourceView(true), single.srvA);
    EXPECT_EQ(single.getRenderTargetView(true), single.rtvA);
    EXPECT_EQ(single.getResource(true), single.textureA);
    EXPECT_EQ(single.getUnorderedAccessView(true), single.uavA);
    ASSERT_NE(twin.rtvA, twin.rtvB);
    EXPECT_EQ(twin.getRenderTargetView(false), twin.rtvA);
    EXPECT_EQ(twin.getShaderResourceView(true), twin.srvB);
    EXPECT_EQ(twin.getResource(true), twin.textureB);
    twin.swapped = true;
    EXPECT_EQ(twin.getRenderTargetView(false), twin.rtvB);
    EXPECT_EQ(twin.getShaderResourceView(true), twin.srvA);
    EXPECT_EQ(twin.getUnorderedAccessView(false), twin.uavB);
    EXPECT_EQ(twin.getResource(false), twin.textureB);
    single.release();
    twin.release();
}

TEST_F(Runtime, UnknownDimensionCreatesNothingButReportsSuccess) {
    TextureDesc bad = texture2DDesc(8, 8, FormatCode::R32Float, false);
    bad.dimension = 7;
    TextureRuntime tex;
    EXPECT_TRUE(tex.init(bad, true));
    EXPECT_FALSE(tex.textureA || tex.textureB || tex.srvA || tex.getShaderResourceView(true));
}

class Configure : public Runtime {
protected:
    void SetUp() override {
        Runtime::SetUp();
        drawPassDescInit(desc);
        harnessProgram(desc.program);
    }
    void TearDown() override { drawPassDescFree(desc); }
    DrawPassDesc desc;
};

TEST_F(Configure, ComputeKindInADrawDescriptionStillMakesADrawPass) {
    desc.program.kind = ProgramKind::Compute;
    DrawPass pass;
    EXPECT_TRUE(pass.configure(desc));
    EXPECT_EQ(pass.desc.program.kind, ProgramKind::Graphics);
    EXPECT_EQ(pass.program.desc.kind, ProgramKind::Graphics);
    EXPECT_TRUE(pass.program.vertexShader && pass.program.pixelShader);
    EXPECT_FALSE(pass.program.computeShader);
    releasePass(pass);
}

TEST_F(Configure, VertexCodeAloneCreatesNoShader) {
    desc.program.pixelBytecode = nullptr;
    desc.program.pixelBytecodeSize = 0;
    DrawPass pass;
    EXPECT_TRUE(pass.configure(desc));
    EXPECT_FALSE(pass.program.vertexShader || pass.program.pixelShader);
    releasePass(pass);
}

TEST_F(Configure, ThePassKeepsItsOwnCopiesOfTheLists) {
    TextureRuntime target;
    target.init(TextureDesc(), false);
    growPush(desc.targets, TargetRef{&target, true});
    growResize(desc.inputs, 3);
    desc.inputs[1] = ResourceRef{ResourceKind::Texture, &target};
    // Growing fills new inputs with {texture, null}.
    EXPECT_EQ(desc.inputs[0].kind, ResourceKind::Texture);
    EXPECT_EQ(desc.inputs[0].resource, nullptr);

    DrawPass pass;
    pass.configure(desc);
    ASSERT_EQ(pass.desc.targets.count, 1u);
    ASSERT_EQ(pass.desc.inputs.count, 3u);
    EXPECT_EQ(pass.desc.inputs.capacity, desc.inputs.capacity);
    // The caller frees its description; the pass still holds valid lists.
    drawPassDescFree(desc);
    drawPassDescInit(desc);
    EXPECT_EQ(pass.desc.targets[0].resource, &target);
    EXPECT_EQ(pass.desc.inputs[1].resource, &target);
    EXPECT_STREQ(growStringText(pass.desc.program.pixelEntry), "pixel_main");
    releasePass(pass);
    target.release();
}

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
