// One frame of the pass list: constants, activation, feedback, order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <list>
#include <vector>

#include "GfxTestDevice.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "TestShaders.h"

#if defined(THAW_HAVE_SHADER_BLOBS)
#include "content/shaders/ShaderBlobs.h"
#endif

using namespace Orrery::Gfx;

namespace {

float halfToFloat(uint16_t h) {
    const int exponent = (h >> 10) & 31;
    const int mantissa = h & 1023;
    float v = exponent == 0 ? std::ldexp(float(mantissa), -24) : std::ldexp(float(mantissa | 1024), exponent - 25);
    return (h & 0x8000) ? -v : v;
}

std::vector<float> readFloats(ID3D11Resource* texture) {
    auto bytes = GfxTest::readTexture2D(texture, 16);
    std::vector<float> f(bytes.size() / 4);
    if (!bytes.empty()) std::memcpy(f.data(), bytes.data(), bytes.size());
    return f;
}

float readR32(ID3D11Resource* texture) {
    auto bytes = GfxTest::readTexture2D(texture, 4);
    float v = -1.0f;
    if (bytes.size() >= 4) std::memcpy(&v, bytes.data(), 4);
    return v;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GfxTest::startRuntime()) GTEST_SKIP() << "no Direct3D 11 device";
        vs = GfxTest::compile(GfxTest::kFullScreenVS, "vertex_main", "vs_5_0");
        ASSERT_FALSE(vs.empty());
        runtime = new GraphRuntime();
        updateContext(GfxTest::blockAt(0.0f, 0));
    }

    std::vector<uint8_t>& shader(const char* source) {
        std::string errors;
        blobs.push_back(GfxTest::compile(source, "pixel_main", "ps_5_0", &errors));
        EXPECT_FALSE(blobs.back().empty()) << errors;
        return blobs.back();
    }

    TextureRuntime* texture(int32_t format, int32_t w, int32_t h, bool doubleBuffered) {
        TextureDesc d;
        d.width = w;
        d.height = h;
        d.format = format;
        auto* t = new TextureRuntime();
        t->init(d, doubleBuffered);
        const float zero[4] = {0, 0, 0, 0};
        if (t->rtvA) gfxContext.immediateContext->ClearRenderTargetView(t->rtvA, zero);
        if (t->rtvB) gfxContext.immediateContext->ClearRenderTargetView(t->rtvB, zero);
        return t;
    }

    // A configured draw pass from `ps` into `target`, reading `inputs`.
    DrawPass* pass(const std::vector<uint8_t>& ps, Resource* target, std::initializer_list<Resource*> inputs = {},
                   void (*tweak)(DrawPassDesc&) = nullptr) {
        DrawPassDesc d;
        drawPassDescInit(d);
        d.program.vertexBytecode = vs.data();
        d.program.vertexBytecodeSize = uint32_t(vs.size());
        d.program.pixelBytecode = ps.data();
        d.program.pixelBytecodeSize = uint32_t(ps.size());
        growPush(d.targets, TargetRef{target, true});
        for (Resource* r : inputs) growPush(d.inputs, ResourceRef{ResourceKind::Texture, r});
        if (tweak) tweak(d);
        auto* p = new DrawPass();
        p->configure(d);
        drawPassDescFree(d);
        return p;
    }

    // A pass that adds 1 to an R32 counter each time it runs.
    DrawPass* counter(TextureRuntime* target, int32_t activation, float start, float end) {
        DrawPass* p = pass(shader(GfxTest::kOnePS), target, {}, [](DrawPassDesc& d) {
            d.clear = false;
            d.blend = true;
            d.blendMode = BlendMode::Additive;
        });
        p->desc.activation = activation;
        p->desc.start = start;
        p->desc.end = end;
        return p;
    }

    void setFloatParameters(std::initializer_list<float> values) {
        GrowArray<Parameter> list;
        growInit(list);
        for (float v : values) {
            Parameter p = makeParameter("p");
            p.value[0] = v;
            growPush(list, p);
        }
        runtime->setParameters(list);
        growFree(list);
    }

    std::vector<uint8_t> vs;
    std::list<std::vector<uint8_t>> blobs;  // stable addresses: passes keep pointers to the bytecode
    GraphRuntime* runtime = nullptr;
};

TEST_F(FrameTest, ParametersFollowTheBlockInTheConstantBuffer) {
    setFloatParameters({0.25f, 7.0f, -3.5f});
    EXPECT_EQ(runtime->block.size, 12u);
    TextureRuntime* out = texture(FormatCode::R32G32B32A32Float, 2, 2, false);
    runtime->addPass(PassKind::Draw, pass(shader(GfxTest::kConstantsPS), out));

    updateContext(GfxTest::blockAt(12.5f, 41));
    runtime->parameters[2].value[0] = 9.0f;  // written by the frame loop before runFrame
    EXPECT_EQ(runtime->runFrame(), nullptr);
    auto f = readFloats(out->textureA);
    ASSERT_EQ(f.size(), 16u);
    EXPECT_EQ(f[0], 12.5f);
    EXPECT_EQ(f[1], 41.0f);
    EXPECT_EQ(f[2], 0.25f);
    EXPECT_EQ(f[3], 9.0f);

    ASSERT_NE(gfxContext.frameConstants.bufferA, nullptr);
    D3D11_BUFFER_DESC b = {};
    gfxContext.frameConstants.bufferA->GetDesc(&b);
    EXPECT_EQ(b.ByteWidth, 624u);  // 608 + 12 rounded up
    EXPECT_EQ(b.BindFlags, UINT(D3D11_BIND_CONSTANT_BUFFER));
    EXPECT_EQ(gfxContext.frameConstantsDesc.stride, 624);

    // The buffer holds the derived block followed by the parameters.
    auto bytes = GfxTest::readBuffer(gfxContext.frameConstants.bufferA);
    ASSERT_EQ(bytes.size(), 624u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), &gfxContext.contextData, 608));
    float p[3];
    std::memcpy(p, bytes.data() + 608, 12);
    EXPECT_EQ(p[0], 0.25f);
    EXPECT_EQ(p[1], 7.0f);
    EXPECT_EQ(p[2], 9.0f);

    // Each frame's updateContext records the bare block size again, so the
    // first pass of the next frame re-creates the buffer at the full size.
    updateContext(GfxTest::blockAt(13.0f, 42));
    EXPECT_EQ(gfxContext.frameConstantsDesc.stride, 608);
    EXPECT_TRUE(gfxContext.frameConstantsDesc.constant);
    EXPECT_EQ(gfxContext.frameConstantsDesc.countX, 1);
    runtime->runFrame();
    EXPECT_EQ(gfxContext.frameConstantsDesc.stride, 624);
    EXPECT_EQ(readFloats(out->textureA)[0], 13.0f);
}

TEST_F(FrameTest, WithoutParametersTheBufferIsTheBareBlockCreatedOnce) {
    TextureRuntime* out = texture(FormatCode::R32G32B32A32Float, 2, 2, false);
    runtime->addPass(PassKind::Draw, pass(shader(GfxTest::kOnePS), out));
    gfxContext.frameConstants.release();
    updateContext(GfxTest::blockAt(1.0f, 0));
    runtime->runFrame();
    ID3D11Buffer* first = gfxContext.frameConstants.bufferA;
    ASSERT_NE(first, nullptr);
    D3D11_BUFFER_DESC b = {};
    first->GetDesc(&b);
    EXPECT_EQ(b.ByteWidth, 608u);
    first->AddRef();  // keep the object alive so that its address cannot be reused
    updateContext(GfxTest::blockAt(2.0f, 1));
    runtime->runFrame();
    EXPECT_EQ(gfxContext.frameConstants.bufferA, first);
    first->Release();
}

TEST_F(FrameTest, ActivationModesDecideWhichPassesRun) {
    TextureRuntime* always = texture(FormatCode::R32Float, 1, 1, false);
    TextureRuntime* first = texture(FormatCode::R32Float, 1, 1, false);
    TextureRuntime* window = texture(FormatCode::R32Float, 1, 1, false);
    TextureRuntime* never = texture(FormatCode::R32Float, 1, 1, false);
    TextureRuntime* wide = texture(FormatCode::R32Float, 1, 1, false);
    runtime->addPass(PassKind::Draw, counter(always, ActivationMode::Always, 0, 0));
    runtime->addPass(PassKind::Draw, counter(first, ActivationMode::FirstFrame, 0, 0));
    runtime->addPass(PassKind::Draw, counter(window, ActivationMode::TimeWindow, 10.0f, 20.0f));
    runtime->addPass(PassKind::Draw, counter(never, 5, 0.0f, 100000.0f));
    runtime->addPass(PassKind::Draw, counter(wide, ActivationMode::TimeWindow, 0.0f, 100000.0f));
    runtime->addPass(7, nullptr);  // an entry of no known kind is skipped
    runtime->firstFrame = true;

    uint32_t frame = 0;
    for (float t : {5.0f, 10.0f, 15.0f, 20.0f, 20.5f, 46.5f}) {
        updateContext(GfxTest::blockAt(t, frame++));
        runtime->runFrame();
        EXPECT_FALSE(runtime->firstFrame);
    }
    EXPECT_EQ(readR32(always->textureA), 6.0f);
    EXPECT_EQ(readR32(first->textureA), 1.0f);
    EXPECT_EQ(readR32(window->textureA), 3.0f);  // 10, 15 and 20
    EXPECT_EQ(readR32(never->textureA), 0.0f);
    EXPECT_EQ(readR32(wide->textureA), 6.0f);
}

TEST_F(FrameTest, DoubleBufferedFeedbackReadsThePreviousFrame) {
    // Pass 1 writes T = previous T + 1; pass 2 copies T into U in the same
    // frame and must still see the previous frame's T.
    TextureRuntime* t = texture(FormatCode::R32G32B32A32Float, 4, 4, true);
    TextureRuntime* u = texture(FormatCode::R32G32B32A32Float, 4, 4, false);
    runtime->registerResource(0) = t;
    runtime->registerResource(1) = u;
    runtime->registerResource(2);  // registered but never assigned: must be skipped
    std::vector<uint8_t>& addOne = shader(GfxTest::kAddOnePS);
    std::vector<uint8_t>& copy = shader(GfxTest::kCopyPS);
    runtime->addPass(PassKind::Draw, pass(addOne, t, {t}));
    runtime->addPass(PassKind::Draw, pass(copy, u, {t}));

    for (int frame = 1; frame <= 4; ++frame) {
        updateContext(GfxTest::blockAt(float(frame), uint32_t(frame)));
        runtime->runFrame();
        EXPECT_EQ(t->swapped, frame % 2 == 1);
        // After the swap the copy written this frame is the "previous" one.
        auto written = readFloats(t->getResource(true));
        auto copied = readFloats(u->textureA);
        ASSERT_EQ(written.size(), 64u);
        ASSERT_EQ(copied.size(), 64u);
        for (int px = 0; px < 16; ++px) {
            EXPECT_EQ(written[px * 4], float(frame)) << "frame " << frame << " texel " << px;
            EXPECT_EQ(copied[px * 4], float(frame - 1)) << "frame " << frame << " texel " << px;
        }
    }
    EXPECT_FALSE(u->swapped);

    // Nothing stays bound that a later pass could write to.
    ID3D11ShaderResourceView* srv = nullptr;
    gfxContext.immediateContext->PSGetShaderResources(0, 1, &srv);
    EXPECT_EQ(srv, nullptr);
    if (srv) srv->Release();
    ID3D11RenderTargetView* rtv = nullptr;
    gfxContext.immediateContext->OMGetRenderTargets(1, &rtv, nullptr);
    EXPECT_EQ(rtv, nullptr);
    if (rtv) rtv->Release();
    ID3D11PixelShader* shaderNow = nullptr;
    gfxContext.immediateContext->PSGetShader(&shaderNow, nullptr, nullptr);
    EXPECT_EQ(shaderNow, nullptr);
    if (shaderNow) shaderNow->Release();
    // The constant buffer stays at b8.
    ID3D11Buffer* constants = nullptr;
    gfxContext.immediateContext->PSGetConstantBuffers(8, 1, &constants);
    EXPECT_EQ(constants, gfxContext.frameConstants.bufferA);
    if (constants) constants->Release();
}

TEST_F(FrameTest, PassWithoutPixelShaderIsSkippedAndTheFrameGoesOn) {
    const uint8_t junk[64] = {'D', 'X', 'B', 'C'};
    std::vector<uint8_t> bad(junk, junk + sizeof junk);
    TextureRuntime* skipped = texture(FormatCode::R32Float, 1, 1, false);
    TextureRuntime* after = texture(FormatCode::R32Float, 1, 1, false);
    DrawPass* broken = pass(bad, skipped, {}, [](DrawPassDesc& d) {
        d.clearColor[0] = 5.0f;  // would show if the pass touched its target
    });
    ASSERT_EQ(broken->program.pixelShader, nullptr);
    runtime->addPass(PassKind::Draw, broken);

    gfxContext.frameConstants.release();
    runtime->runFrame();
    // Skipped before any Direct3D work: not even the constant buffer exists.
    EXPECT_EQ(gfxContext.frameConstants.bufferA, nullptr);
    EXPECT_EQ(readR32(skipped->textureA), 0.0f);

    runtime->addPass(PassKind::Draw, counter(after, ActivationMode::Always, 0, 0));
    runtime->runFrame();
    EXPECT_EQ(readR32(skipped->textureA), 0.0f);
    EXPECT_EQ(readR32(after->textureA), 1.0f);
}

TEST_F(FrameTest, NullInputsAndTargetsAreSkippedWhenBinding) {
    TextureRuntime* out = texture(FormatCode::R32G32B32A32Float, 4, 4, false);
    DrawPass* p = pass(shader(GfxTest::kAddOnePS), out, {nullptr});
    growPush(p->desc.targets, TargetRef{nullptr, true});
    runtime->addPass(PassKind::Draw, p);
    runtime->runFrame();
    // An unbound input reads as zero.
    auto f = readFloats(out->textureA);
    ASSERT_EQ(f.size(), 64u);
    EXPECT_EQ(f[0], 1.0f);
    EXPECT_EQ(f[1], 0.0f);
}

TEST_F(FrameTest, ComputePassBindsOutputsBehindInputsAndUnbindsAfterwards) {
    std::string errors;
    std::vector<uint8_t> cs = GfxTest::compile(GfxTest::kComputeSimpleCS, "kernel_main", "cs_5_0", &errors);
    ASSERT_FALSE(cs.empty()) << errors;

    TextureRuntime* first = texture(FormatCode::R32Float, 4, 4, false);
    TextureRuntime* second = texture(FormatCode::R32Float, 4, 4, false);
    TextureRuntime* result = texture(FormatCode::R32Float, 4, 4, false);
    const float two[4] = {2, 2, 2, 2};
    const float three[4] = {3, 3, 3, 3};
    gfxContext.immediateContext->ClearRenderTargetView(first->rtvA, two);
    gfxContext.immediateContext->ClearRenderTargetView(second->rtvA, three);

    ComputePassDesc d;
    computePassDescInit(d);
    d.program.kind = ProgramKind::Graphics;  // configure makes it a compute program whatever it says
    d.program.computeBytecode = cs.data();
    d.program.computeBytecodeSize = uint32_t(cs.size());
    growPush(d.inputs, ResourceRef{ResourceKind::Texture, first});
    growPush(d.inputs, ResourceRef{ResourceKind::Texture, second});
    growPush(d.outputs, ResourceRef{ResourceKind::Texture, result});
    growPush(d.outputs, ResourceRef{ResourceKind::Texture, nullptr});  // skipped when binding
    auto* pass = new ComputePass();
    pass->configure(d);
    computePassDescFree(d);
    ASSERT_NE(pass->program.computeShader, nullptr);
    EXPECT_EQ(pass->program.vertexShader, nullptr);
    runtime->addPass(PassKind::Compute, pass);

    // A compute pass outside its window does not run.
    pass->desc.activation = ActivationMode::TimeWindow;
    pass->desc.start = 5.0f;
    pass->desc.end = 6.0f;
    updateContext(GfxTest::blockAt(1.0f, 0));
    runtime->runFrame();
    auto before = GfxTest::readTexture2D(result->textureA, 4);
    ASSERT_EQ(before.size(), 64u);
    float v;
    std::memcpy(&v, &before[4], 4);
    EXPECT_EQ(v, 0.0f);

    updateContext(GfxTest::blockAt(5.5f, 1));
    runtime->runFrame();
    auto bytes = GfxTest::readTexture2D(result->textureA, 4);
    ASSERT_EQ(bytes.size(), 64u);
    std::memcpy(&v, &bytes[4], 4);  // texel (1, 0)
    EXPECT_EQ(v, 5.0f);
    std::memcpy(&v, &bytes[0], 4);  // texel (0, 0) untouched
    EXPECT_EQ(v, 0.0f);

    ID3D11UnorderedAccessView* uav = nullptr;
    gfxContext.immediateContext->CSGetUnorderedAccessViews(2, 1, &uav);
    EXPECT_EQ(uav, nullptr);
    if (uav) uav->Release();
    ID3D11ShaderResourceView* srv = nullptr;
    gfxContext.immediateContext->CSGetShaderResources(1, 1, &srv);
    EXPECT_EQ(srv, nullptr);
    if (srv) srv->Release();
    ID3D11ComputeShader* shaderNow = nullptr;
    gfxContext.immediateContext->CSGetShader(&shaderNow, nullptr, nullptr);
    EXPECT_EQ(shaderNow, nullptr);
    if (shaderNow) shaderNow->Release();
}

TEST_F(FrameTest, PresentPassComesLastAndFlipsTheImage) {
    screenWidth = 4;
    screenHeight = 3;
    TextureRuntime* content = texture(FormatCode::R32G32B32A32Float, 4, 3, false);
    setFloatParameters({0.75f});
    runtime->addPass(PassKind::Draw, pass(shader(GfxTest::kRowsPS), content));
    runtime->outputTexture = content;
    runtime->createPresentPass();

    ASSERT_EQ(runtime->passes.count, 2u);
    const PassEntry& last = runtime->passes[1];
    EXPECT_EQ(last.kind, PassKind::Draw);
    auto* present = static_cast<DrawPass*>(last.pass);
    TextureRuntime* screen = runtime->outputTexture;
    ASSERT_NE(screen, content);
    EXPECT_EQ(screen->desc.width, 4);
    EXPECT_EQ(screen->desc.height, 3);
    EXPECT_EQ(screen->desc.format, FormatCode::R16G16B16A16Float);
    EXPECT_FALSE(screen->doubleBuffered);
    ASSERT_EQ(present->desc.targets.count, 1u);
    EXPECT_EQ(present->desc.targets[0].resource, screen);
    ASSERT_EQ(present->desc.inputs.count, 1u);
    EXPECT_EQ(present->desc.inputs[0].resource, content);
    EXPECT_EQ(present->desc.activation, ActivationMode::Always);
    // Neither the screen texture nor the present pass is registered.
    EXPECT_EQ(runtime->resources.count, 0u);
    EXPECT_EQ(runtime->passTable.count, 0u);

#if !defined(THAW_HAVE_SHADER_BLOBS)
    GTEST_SKIP() << "built without the present shaders";
#else
    EXPECT_EQ(present->desc.program.vertexBytecodeSize, kPresentVSSize);
    ASSERT_NE(present->program.pixelShader, nullptr);
    EXPECT_EQ(runtime->runFrame(), screen);
    auto bytes = GfxTest::readTexture2D(screen->textureA, 8);
    ASSERT_EQ(bytes.size(), size_t(4 * 3 * 8));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            uint16_t h[4];
            std::memcpy(h, &bytes[(y * 4 + x) * 8], 8);
            // Screen row y shows content row 2 - y; the content ran first this frame.
            EXPECT_EQ(halfToFloat(h[0]), float(2 - y) + 0.5f) << x << "," << y;
            EXPECT_EQ(halfToFloat(h[1]), float(x) + 0.5f) << x << "," << y;
            EXPECT_EQ(halfToFloat(h[2]), 0.75f) << x << "," << y;
        }
#endif
}

// The composite leaves alpha 0 where its colour is near black, and the swap
// chain is composed with premultiplied alpha: the present pass must hand the
// compositor an opaque picture whose colours are the content's own.
TEST_F(FrameTest, PresentPassShowsAnOpaquePicture) {
#if !defined(THAW_HAVE_SHADER_BLOBS)
    GTEST_SKIP() << "built without the present shaders";
#else
    screenWidth = 4;
    screenHeight = 3;
    TextureRuntime* content = texture(FormatCode::R32G32B32A32Float, 4, 3, false);
    setFloatParameters({0.75f});
    // Alpha 0 in columns 0 and 1, 0.5 in columns 2 and 3.
    runtime->addPass(PassKind::Draw, pass(shader(THAW_TEST_CONTEXT_BUFFER R"(
float4 pixel_main(float4 pos : SV_Position) : SV_Target {
    return float4(pos.x * 0.25, pos.y * 0.25, p0, saturate(pos.x - 1.5) * 0.5);
})"), content));
    runtime->outputTexture = content;
    runtime->createPresentPass();

    // Like the frame driver, draw into an 8-bit RGBA texture standing in for
    // the swap chain's back buffer.
    D3D11_TEXTURE2D_DESC d = {};
    d.Width = 4;
    d.Height = 3;
    d.MipLevels = 1;
    d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.Usage = D3D11_USAGE_DEFAULT;
    d.BindFlags = D3D11_BIND_RENDER_TARGET;
    ID3D11Texture2D* backBuffer = nullptr;
    ASSERT_TRUE(SUCCEEDED(gfxContext.device->CreateTexture2D(&d, nullptr, &backBuffer)));
    ID3D11RenderTargetView* backBufferView = nullptr;
    ASSERT_TRUE(SUCCEEDED(gfxContext.device->CreateRenderTargetView(backBuffer, nullptr, &backBufferView)));
    runtime->outputTexture->putOutsideTarget(backBufferView);

    runtime->runFrame();
    auto bytes = GfxTest::readTexture2D(backBuffer, 4);
    ASSERT_EQ(bytes.size(), size_t(4 * 3 * 4));
    const auto unorm8 = [](float v) { return int(std::lround(v * 255.0f)); };
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint8_t* texel = &bytes[(y * 4 + x) * 4];
            // Screen row y shows content row 2 - y.
            EXPECT_EQ(texel[0], unorm8((float(x) + 0.5f) * 0.25f)) << x << "," << y;
            EXPECT_EQ(texel[1], unorm8((float(2 - y) + 0.5f) * 0.25f)) << x << "," << y;
            EXPECT_EQ(texel[2], unorm8(0.75f)) << x << "," << y;
            EXPECT_EQ(texel[3], 255) << x << "," << y;
        }
    backBufferView->Release();
    backBuffer->Release();
#endif
}

}  // namespace
