// The Direct3D 11 states of the show in GL terms, and the register names the
// converter writes and the runtime reads (no context needed).
#include <gtest/gtest.h>

#include <cfloat>

#include "Orrery/gfx/Pass.h"
#include "TextureFormats.h"

using namespace Orrery::Gfx;

namespace {

TEST(GlesPipelineState, SixSamplersInSlotOrder) {
    const GLenum kBorder = 0x812D;
    struct Expected {
        GLenum min, mag, wrap;
    };
    const Expected expected[6] = {
        {GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE},   {GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, kBorder},
        {GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_REPEAT},          {GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE},
        {GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, kBorder},         {GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, GL_REPEAT},
    };
    for (uint32_t slot = 0; slot < kSamplerCount; ++slot) {
        const SamplerState s = samplerStateOf(slot, true);
        EXPECT_EQ(s.minFilter, expected[slot].min) << slot;
        EXPECT_EQ(s.magFilter, expected[slot].mag) << slot;
        EXPECT_EQ(s.wrap, expected[slot].wrap) << slot;
        EXPECT_EQ(s.minLod, -FLT_MAX);
        EXPECT_EQ(s.maxLod, FLT_MAX);
    }
    // Without border clamping the border samplers clamp to the edge.
    EXPECT_EQ(samplerStateOf(1, false).wrap, GLenum(GL_CLAMP_TO_EDGE));
    EXPECT_EQ(samplerStateOf(4, false).wrap, GLenum(GL_CLAMP_TO_EDGE));
}

TEST(GlesPipelineState, BlendModesTopologiesAndCulling) {
    DrawPassDesc desc;
    drawPassDescInit(desc);
    BlendState b = blendStateOf(desc);
    EXPECT_FALSE(b.enabled);
    EXPECT_EQ(b.src, GLenum(GL_ONE));  // the mode's factors are kept while off
    desc.blend = true;
    desc.blendMode = BlendMode::AlphaOver;
    b = blendStateOf(desc);
    EXPECT_TRUE(b.enabled);
    EXPECT_EQ(b.src, GLenum(GL_SRC_ALPHA));
    EXPECT_EQ(b.dst, GLenum(GL_ONE_MINUS_SRC_ALPHA));
    EXPECT_EQ(b.srcAlpha, GLenum(GL_ONE_MINUS_DST_ALPHA));
    EXPECT_EQ(b.dstAlpha, GLenum(GL_ONE));
    desc.blendMode = BlendMode::InverseMultiply;
    b = blendStateOf(desc);
    EXPECT_EQ(b.dst, GLenum(GL_ONE_MINUS_SRC_COLOR));
    EXPECT_EQ(b.dstAlpha, GLenum(GL_ONE_MINUS_SRC_ALPHA));
    desc.blendMode = 9;
    EXPECT_EQ(blendStateOf(desc).dst, GLenum(GL_ONE));

    EXPECT_EQ(topologyOf(3), GLenum(GL_TRIANGLES));
    EXPECT_EQ(topologyOf(4), GLenum(GL_TRIANGLE_STRIP));
    EXPECT_EQ(topologyOf(0), GLenum(GL_POINTS));
    EXPECT_EQ(topologyOf(5), GLenum(GL_NONE));
    EXPECT_EQ(topologyOf(-1), GLenum(GL_NONE));

    EXPECT_FALSE(rasterStateOf(desc).cull);
    desc.cullBack = true;
    EXPECT_TRUE(rasterStateOf(desc).cull);
    EXPECT_EQ(rasterStateOf(desc).frontFace, GLenum(GL_CCW));
    drawPassDescFree(desc);
}

TEST(GlesPipelineState, FormatsKeepTheirBitsAndRenderability) {
    EXPECT_EQ(glesFormatOf(FormatCode::R16G16B16A16Float).internalFormat, GLenum(GL_RGBA16F));
    EXPECT_EQ(glesFormatOf(FormatCode::R16G16B16A16Float).bytesPerPixel, 8u);
    EXPECT_EQ(glesFormatOf(FormatCode::R8G8B8A8Unorm).internalFormat, GLenum(GL_RGBA8));
    EXPECT_TRUE(glesFormatOf(FormatCode::B8G8R8A8Unorm).swapRedBlue);
    EXPECT_EQ(glesFormatOf(FormatCode::D32Float).internalFormat, GLenum(GL_DEPTH_COMPONENT32F));
    EXPECT_EQ(glesFormatOf(FormatCode::R32Uint).format, GLenum(GL_RED_INTEGER));
    EXPECT_EQ(glesFormatOf(8).internalFormat, 0u);
    EXPECT_EQ(glesFormatOf(-1).internalFormat, 0u);
}

TEST(GlesProgramNames, RegistersAreReadFromTheNamesAndNothingElse) {
    uint32_t t = 99, s = 99, b = 99;
    EXPECT_TRUE(parseSamplerName("thaw_t1_s5", t, s));
    EXPECT_EQ(t, 1u);
    EXPECT_EQ(s, 5u);
    EXPECT_TRUE(parseSamplerName("thaw_t12_s0", t, s));
    EXPECT_EQ(t, 12u);
    for (const char* bad : {"thaw_t1_s", "thaw_t_s1", "thaw_t1_s5x", "thaw_t1s5", "Font", "", "thaw_t1234_s0",
                            "thaw_t1_s-1"})
        EXPECT_FALSE(parseSamplerName(bad, t, s)) << bad;
    EXPECT_FALSE(parseSamplerName(nullptr, t, s));
    EXPECT_TRUE(parseBlockName("thaw_b8", b));
    EXPECT_EQ(b, 8u);
    for (const char* bad : {"thaw_b", "thaw_b8x", "ContextBuffer", "thaw_b-8"})
        EXPECT_FALSE(parseBlockName(bad, b)) << bad;
}

}  // namespace
