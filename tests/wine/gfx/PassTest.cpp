// Programs, pass configuration and the fixed pipeline state.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <vector>

#include "GfxTestDevice.h"
#include "Orrery/gfx/Pass.h"
#include "Orrery/gfx/PipelineTables.h"
#include "TestShaders.h"

using namespace Orrery::Gfx;

namespace {

class PassTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GfxTest::startRuntime()) GTEST_SKIP() << "no Direct3D 11 device";
        vs = GfxTest::compile(GfxTest::kFullScreenVS, "vertex_main", "vs_5_0");
        ps = GfxTest::compile(GfxTest::kOnePS, "pixel_main", "ps_5_0");
        ASSERT_FALSE(vs.empty());
        ASSERT_FALSE(ps.empty());
        drawPassDescInit(desc);
    }
    void TearDown() override { drawPassDescFree(desc); }
    std::vector<uint8_t> vs, ps;
    DrawPassDesc desc;
};

TEST_F(PassTest, RejectedBlobLeavesItsShaderNullAndConfigureSucceeds) {
    const uint8_t junk[64] = {'D', 'X', 'B', 'C'};
    desc.program.vertexBytecode = vs.data();
    desc.program.vertexBytecodeSize = uint32_t(vs.size());
    desc.program.pixelBytecode = junk;
    desc.program.pixelBytecodeSize = sizeof junk;
    DrawPass pass;
    EXPECT_TRUE(pass.configure(desc));
    EXPECT_NE(pass.program.vertexShader, nullptr);
    EXPECT_EQ(pass.program.pixelShader, nullptr);
}

TEST_F(PassTest, SixSamplersStayBoundToEveryStage) {
    ID3D11DeviceContext* ctx = gfxContext.immediateContext;
    const D3D11_TEXTURE_ADDRESS_MODE modes[3] = {D3D11_TEXTURE_ADDRESS_CLAMP, D3D11_TEXTURE_ADDRESS_BORDER,
                                                 D3D11_TEXTURE_ADDRESS_WRAP};
    ID3D11SamplerState* ps[6] = {};
    ID3D11SamplerState* vsS[6] = {};
    ID3D11SamplerState* cs[6] = {};
    ctx->PSGetSamplers(0, 6, ps);
    ctx->VSGetSamplers(0, 6, vsS);
    ctx->CSGetSamplers(0, 6, cs);
    for (int i = 0; i < 6; ++i) {
        ASSERT_NE(ps[i], nullptr) << i;
        EXPECT_EQ(ps[i], vsS[i]);
        EXPECT_EQ(ps[i], cs[i]);
        D3D11_SAMPLER_DESC d = {};
        ps[i]->GetDesc(&d);
        // What the shared table says each slot means, in Direct3D's terms.
        const SamplerState s = samplerStateOf(uint32_t(i));
        EXPECT_EQ(d.Filter, s.linear ? D3D11_FILTER_MIN_MAG_MIP_LINEAR : D3D11_FILTER_MIN_MAG_MIP_POINT) << i;
        EXPECT_EQ(d.AddressU, modes[s.address]) << i;
        EXPECT_EQ(d.AddressV, modes[s.address]) << i;
        EXPECT_EQ(d.AddressW, modes[s.address]) << i;
        EXPECT_EQ(d.ComparisonFunc, D3D11_COMPARISON_NEVER);
        EXPECT_EQ(d.MinLOD, -FLT_MAX);
        EXPECT_EQ(d.MaxLOD, FLT_MAX);
        EXPECT_EQ(d.BorderColor[3], 0.0f);
    }
    for (int i = 0; i < 6; ++i) {
        if (ps[i]) ps[i]->Release();
        if (vsS[i]) vsS[i]->Release();
        if (cs[i]) cs[i]->Release();
    }
}

}  // namespace
