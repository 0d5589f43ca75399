// What each blend mode and sampler slot means: the one table the back ends
// translate. The values are the show's contract with its shaders.
#include <gtest/gtest.h>

#include "Orrery/gfx/PipelineTables.h"

using namespace Orrery::Gfx;
using namespace Orrery::Gfx::BlendFactor;

namespace {

TEST(PipelineTables, BlendModesFactorsWithBlendingOnOrOff) {
    struct Expected {
        int32_t mode, src, dst, srcAlpha, dstAlpha;
    };
    const Expected table[] = {
        {BlendMode::Additive, One, One, One, One},
        {BlendMode::AlphaOver, SrcAlpha, InvSrcAlpha, InvDestAlpha, One},
        {BlendMode::AlphaCopy, SrcAlpha, InvSrcAlpha, One, Zero},
        {BlendMode::InverseMultiply, Zero, InvSrcColor, Zero, InvSrcAlpha},
        {-1, One, One, One, One},  // outside the table: additive
        {4, One, One, One, One},
    };
    DrawPassDesc desc;
    drawPassDescInit(desc);
    for (const Expected& e : table) {
        for (bool on : {false, true}) {
            desc.blend = on;
            desc.blendMode = e.mode;
            const BlendState b = blendStateOf(desc);
            EXPECT_EQ(b.enabled, on) << e.mode;
            EXPECT_EQ(b.src, e.src) << e.mode;
            EXPECT_EQ(b.dst, e.dst) << e.mode;
            EXPECT_EQ(b.srcAlpha, e.srcAlpha) << e.mode;
            EXPECT_EQ(b.dstAlpha, e.dstAlpha) << e.mode;
        }
    }
    drawPassDescFree(desc);
}

TEST(PipelineTables, SixSamplersInSlotOrder) {
    const SamplerState table[6] = {
        {true, SamplerAddress::Clamp},  {true, SamplerAddress::Border},  {true, SamplerAddress::Wrap},
        {false, SamplerAddress::Clamp}, {false, SamplerAddress::Border}, {false, SamplerAddress::Wrap},
    };
    for (uint32_t slot = 0; slot < kSamplerCount; ++slot) {
        EXPECT_EQ(samplerStateOf(slot).linear, table[slot].linear) << slot;
        EXPECT_EQ(samplerStateOf(slot).address, table[slot].address) << slot;
    }
}

}  // namespace
