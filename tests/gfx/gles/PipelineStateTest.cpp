// Where GL lacks what Direct3D has, and the register names the converter
// writes and the runtime reads (no context needed).
#include <gtest/gtest.h>

#include "Orrery/gfx/Pass.h"
#include "Orrery/gfx/PipelineTables.h"
#include "PipelineState.h"
#include "TextureFormats.h"

using namespace Orrery::Gfx;

namespace {

TEST(GlesPipelineState, WhatGlLacksFallsBackSafely) {
    // Without border clamping the border samplers clamp to the edge.
    EXPECT_EQ(glWrapOf(SamplerAddress::Border, false), GLenum(GL_CLAMP_TO_EDGE));
    EXPECT_EQ(glWrapOf(SamplerAddress::Border, true), GLenum(0x812D));
    // A topology outside the table draws nothing.
    EXPECT_EQ(topologyOf(5), GLenum(GL_NONE));
    EXPECT_EQ(topologyOf(-1), GLenum(GL_NONE));
    // ES 3.0 stores B8G8R8A8 as RGBA8 and swaps on upload; unknown codes make no texture.
    EXPECT_TRUE(glesFormatOf(FormatCode::B8G8R8A8Unorm).swapRedBlue);
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
