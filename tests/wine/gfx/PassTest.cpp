// Programs, pass configuration and the fixed pipeline state.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <vector>

#include "GfxTestDevice.h"
#include "Orrery/gfx/Pass.h"
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

TEST_F(PassTest, ComputeKindInADrawDescriptionStillMakesADrawPass) {
    desc.program.kind = ProgramKind::Compute;
    desc.program.vertexBytecode = vs.data();
    desc.program.vertexBytecodeSize = uint32_t(vs.size());
    desc.program.pixelBytecode = ps.data();
    desc.program.pixelBytecodeSize = uint32_t(ps.size());
    auto* pass = new DrawPass();
    EXPECT_TRUE(pass->configure(desc));
    EXPECT_EQ(pass->desc.program.kind, ProgramKind::Graphics);
    EXPECT_EQ(pass->program.desc.kind, ProgramKind::Graphics);
    EXPECT_NE(pass->program.vertexShader, nullptr);
    EXPECT_NE(pass->program.pixelShader, nullptr);
    EXPECT_EQ(pass->program.computeShader, nullptr);
}

TEST_F(PassTest, VertexBytecodeAloneCreatesNoShader) {
    desc.program.vertexBytecode = vs.data();
    desc.program.vertexBytecodeSize = uint32_t(vs.size());
    DrawPass pass;
    EXPECT_TRUE(pass.configure(desc));
    EXPECT_EQ(pass.program.vertexShader, nullptr);
    EXPECT_EQ(pass.program.pixelShader, nullptr);
}

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

TEST_F(PassTest, ConfigureKeepsItsOwnCopiesOfTheLists) {
    TextureRuntime target;
    TextureDesc t;
    target.init(t, false);
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
    EXPECT_NE(pass.desc.targets.items, desc.targets.items);
    EXPECT_NE(pass.desc.inputs.items, desc.inputs.items);
    EXPECT_NE(pass.desc.program.vertexEntry.items, desc.program.vertexEntry.items);
    EXPECT_EQ(pass.desc.inputs[1].resource, &target);
    EXPECT_EQ(pass.desc.inputs.capacity, desc.inputs.capacity);

    // The caller frees its description; the pass still holds valid lists.
    drawPassDescFree(desc);
    drawPassDescInit(desc);
    EXPECT_EQ(pass.desc.targets[0].resource, &target);
    EXPECT_STREQ(growStringText(pass.desc.program.pixelEntry), "pixel_main");
    target.release();
}

TEST(PipelineState, BlendOffStillCarriesTheModesFactors) {
    DrawPassDesc d;
    drawPassDescInit(d);
    d.blendMode = BlendMode::AlphaOver;
    D3D11_BLEND_DESC b = blendDescOf(d);
    EXPECT_FALSE(b.RenderTarget[0].BlendEnable);
    EXPECT_EQ(b.RenderTarget[0].SrcBlend, D3D11_BLEND_SRC_ALPHA);
    EXPECT_EQ(b.RenderTarget[0].SrcBlendAlpha, D3D11_BLEND_INV_DEST_ALPHA);
    EXPECT_EQ(b.RenderTarget[0].RenderTargetWriteMask, 0xF);
    EXPECT_EQ(rasterizerDescOf(d).CullMode, D3D11_CULL_NONE);
    d.cullBack = true;
    EXPECT_EQ(rasterizerDescOf(d).CullMode, D3D11_CULL_BACK);
    drawPassDescFree(d);
}

TEST_F(PassTest, SixSamplersStayBoundToEveryStage) {
    ID3D11DeviceContext* ctx = gfxContext.immediateContext;
    const D3D11_FILTER filters[6] = {D3D11_FILTER_MIN_MAG_MIP_LINEAR, D3D11_FILTER_MIN_MAG_MIP_LINEAR,
                                     D3D11_FILTER_MIN_MAG_MIP_LINEAR, D3D11_FILTER_MIN_MAG_MIP_POINT,
                                     D3D11_FILTER_MIN_MAG_MIP_POINT,  D3D11_FILTER_MIN_MAG_MIP_POINT};
    const D3D11_TEXTURE_ADDRESS_MODE modes[6] = {D3D11_TEXTURE_ADDRESS_CLAMP, D3D11_TEXTURE_ADDRESS_BORDER,
                                                 D3D11_TEXTURE_ADDRESS_WRAP,  D3D11_TEXTURE_ADDRESS_CLAMP,
                                                 D3D11_TEXTURE_ADDRESS_BORDER, D3D11_TEXTURE_ADDRESS_WRAP};
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
        EXPECT_EQ(d.Filter, filters[i]) << i;
        EXPECT_EQ(d.AddressU, modes[i]) << i;
        EXPECT_EQ(d.AddressV, modes[i]) << i;
        EXPECT_EQ(d.AddressW, modes[i]) << i;
        // The device normalises MaxAnisotropy for non-anisotropic filters,
        // so the value the runtime asks for is checked on the description.
        EXPECT_EQ(samplerDescOf(uint32_t(i)).MaxAnisotropy, 1u);
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
