// The assembled show graph on a real Direct3D 11 device (Wine's, in the
// tests): parameters, tracks, textures, passes and their order, and that one
// frame of it draws something.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Orrery/gfx/GfxContext.h"
#include "content/atlas/FontAtlas.h"
#include "content/scene/Show.h"
#include "content/scene/ShowCheck.h"
#include "content/shaders/ShaderBlobs.h"
#include "content/timeline/Timeline.h"

using namespace Orrery::Gfx;

namespace {

constexpr int32_t kTestScreenWidth = 800;
constexpr int32_t kTestScreenHeight = 600;

ID3D11Device* device = nullptr;
ID3D11DeviceContext* immediate = nullptr;
Show show = {};

class AssembleShowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
        ASSERT_TRUE(SUCCEEDED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &level, 1,
                                                D3D11_SDK_VERSION, &device, nullptr, &immediate)));
        screenWidth = kTestScreenWidth;
        screenHeight = kTestScreenHeight;
        ContextDesc context = {};
        growStringInit(context.name);
        context.device = device;
        context.immediateContext = immediate;
        initContext(context);
        growFree(context.name);
        trackSetInit(show.tracks);
        assembleShow(show);
    }
    void SetUp() override { ASSERT_NE(show.runtime, nullptr); }
};

float halfToFloat(uint16_t h) {
    const int exponent = (h >> 10) & 31;
    const int mantissa = h & 1023;
    float value;
    if (exponent == 0) value = std::ldexp(float(mantissa), -24);
    else if (exponent == 31) value = mantissa ? NAN : INFINITY;
    else value = std::ldexp(float(mantissa + 1024), exponent - 25);
    return (h & 0x8000) ? -value : value;
}

// Copies a R16G16B16A16_FLOAT texture back to the CPU as floats.
std::vector<float> readBackHalfTexture(TextureRuntime& texture) {
    D3D11_TEXTURE2D_DESC desc;
    static_cast<ID3D11Texture2D*>(texture.textureA)->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    ID3D11Texture2D* staging = nullptr;
    std::vector<float> pixels;
    if (FAILED(device->CreateTexture2D(&desc, nullptr, &staging))) return pixels;
    immediate->CopyResource(staging, texture.textureA);
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (SUCCEEDED(immediate->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
        pixels.resize(size_t(desc.Width) * desc.Height * 4);
        for (UINT y = 0; y < desc.Height; ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(mapped.pData) +
                                                                size_t(y) * mapped.RowPitch);
            for (UINT x = 0; x < desc.Width * 4; ++x) pixels[size_t(y) * desc.Width * 4 + x] = halfToFloat(row[x]);
        }
        immediate->Unmap(staging, 0);
    }
    staging->Release();
    return pixels;
}

void expectTexture(const TextureRuntime* texture, int32_t width, int32_t height, int32_t format, bool fixedSize,
                   bool doubleBuffered, const char* name) {
    SCOPED_TRACE(name);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->desc.dimension, TextureDimension::Texture2D);
    EXPECT_EQ(texture->desc.width, width);
    EXPECT_EQ(texture->desc.height, height);
    EXPECT_EQ(texture->desc.format, format);
    EXPECT_EQ(texture->desc.fixedSize, fixedSize);
    EXPECT_FALSE(texture->desc.mipmapped);
    EXPECT_EQ(texture->doubleBuffered, doubleBuffered);
    EXPECT_NE(texture->textureA, nullptr);
    EXPECT_NE(texture->srvA, nullptr);
    EXPECT_NE(texture->rtvA, nullptr);
    EXPECT_EQ(texture->textureB != nullptr, doubleBuffered);
}

void expectPass(const DrawPass* pass, const unsigned char* vertex, const unsigned char* pixel, const Resource* output,
                std::vector<const Resource*> inputs, const char* name) {
    SCOPED_TRACE(name);
    ASSERT_NE(pass, nullptr);
    EXPECT_EQ(pass->desc.program.vertexBytecode, vertex);
    EXPECT_EQ(pass->desc.program.pixelBytecode, pixel);
    // The device accepted both programs.
    EXPECT_NE(pass->program.vertexShader, nullptr);
    EXPECT_NE(pass->program.pixelShader, nullptr);
    ASSERT_EQ(pass->desc.targets.count, 1u);
    EXPECT_EQ(pass->desc.targets[0].resource, output);
    ASSERT_EQ(pass->desc.inputs.count, inputs.size());
    for (uint32_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(pass->desc.inputs[i].kind, ResourceKind::Texture);
        EXPECT_EQ(pass->desc.inputs[i].resource, inputs[i]) << "input " << i;
    }
    EXPECT_TRUE(pass->desc.clear);
    EXPECT_FALSE(pass->desc.blend);
    EXPECT_EQ(pass->desc.vertexCount, 3u);
    EXPECT_EQ(pass->desc.activation, ActivationMode::Always);
}

TEST_F(AssembleShowTest, ParametersAreTheTwentySevenFloatsInShaderOrder) {
    const GraphRuntime& runtime = *show.runtime;
    ASSERT_EQ(runtime.parameters.count, kShowParameterCount);
    for (uint32_t i = 0; i < kShowParameterCount; ++i) {
        EXPECT_STREQ(runtime.parameters[i].name, kShowParameterNames[i]);
        EXPECT_EQ(runtime.parameters[i].type, ParamType::Float);
    }
    EXPECT_STREQ(runtime.parameters[0].name, "CameraPosX");
    EXPECT_STREQ(runtime.parameters[26].name, "lamerdensity");
    EXPECT_EQ(runtime.block.size, 108u);
    EXPECT_EQ(frameDataLength(runtime.block.size), 720u);
}

TEST_F(AssembleShowTest, TracksCarryTheTempoAndTheKeysOfTheTimeline) {
    EXPECT_EQ(show.tracks.beatsPerMinute, 170.0f);
    EXPECT_EQ(show.tracks.ticksPerBeat, 8u);
    ASSERT_EQ(show.tracks.tracks.count, kShowParameterCount);
    uint32_t keys = 0;
    for (uint32_t i = 0; i < show.tracks.tracks.count; ++i) {
        const Track& track = show.tracks.tracks[i];
        EXPECT_EQ(track.name[0], '\0');
        if (i < 8) {
            EXPECT_EQ(track.keys.count, 0u) << "camera track " << i;
        }
        keys += track.keys.count;
    }
    EXPECT_EQ(keys, 416u);
    EXPECT_EQ(show.tracks.tracks[12].keys.count, 1u);  // DOFBLUR: one key at tick 0
    EXPECT_EQ(evaluateTrack(show.tracks, 12, 20.0f), 10.0f);
}

TEST_F(AssembleShowTest, TexturesAreRegisteredUnderTheirIdsWithTheirSizes) {
    const GraphRuntime& runtime = *show.runtime;
    EXPECT_EQ(runtime.resources.count, 9u);
    const Resource* expected[9] = {show.scrollTarget,   show.fontAtlas,    show.paletteTarget,
                                   show.blurTarget,     show.compositeTarget, show.cloudsTarget,
                                   show.backgroundTarget, show.finalTarget, show.raysTarget};
    for (int32_t id = 0; id < 9; ++id) EXPECT_EQ(idTableFind(runtime.resources, id), expected[id]) << "id " << id;

    expectTexture(show.scrollTarget, 1920, 1080, FormatCode::R8G8B8A8Unorm, true, true, "scrollTarget");
    expectTexture(show.paletteTarget, 1920, 1080, FormatCode::R8G8B8A8Unorm, true, false, "paletteTarget");
    const TextureRuntime* screenSized[] = {show.blurTarget,       show.compositeTarget, show.cloudsTarget,
                                           show.backgroundTarget, show.finalTarget,     show.raysTarget};
    for (const TextureRuntime* t : screenSized)
        expectTexture(t, kTestScreenWidth, kTestScreenHeight, FormatCode::R16G16B16A16Float, false, false, "screen");

    // The atlas was decoded from the embedded PNG.
    expectTexture(show.fontAtlas, 1024, 1024, FormatCode::R8G8B8A8Unorm, false, false, "fontAtlas");
    EXPECT_EQ(show.fontAtlas->image.path[0], '\0');
    EXPECT_EQ(show.fontAtlas->image.size, int32_t(kFontAtlasPngSize));
}

TEST_F(AssembleShowTest, PassesAreWiredAndRunInTheirExecutionOrder) {
    const GraphRuntime& runtime = *show.runtime;
    EXPECT_EQ(runtime.passTable.count, 8u);
    const DrawPass* byId[8] = {show.scrollPass, show.palettePass, show.blurPass, show.compositePass,
                               show.cloudsPass, show.backgroundPass, show.crtPass, show.raysPass};
    for (int32_t id = 0; id < 8; ++id) EXPECT_EQ(idTableFind(runtime.passTable, id), byId[id]) << "pass id " << id;

    expectPass(show.scrollPass, kScreenTriangleLongVS, kScrollerPS, show.scrollTarget,
               {show.fontAtlas, show.scrollTarget}, "scrollPass");
    expectPass(show.palettePass, kScreenTriangleLongVS, kPalettePS, show.paletteTarget, {show.scrollTarget},
               "palettePass");
    expectPass(show.blurPass, kScreenTriangleShortVS, kBlurPS, show.blurTarget, {show.paletteTarget}, "blurPass");
    expectPass(show.compositePass, kScreenTriangleShortVS, kCompositePS, show.compositeTarget,
               {show.blurTarget, show.backgroundTarget}, "compositePass");
    expectPass(show.cloudsPass, kScreenTriangleShortVS, kCloudsPS, show.cloudsTarget, {}, "cloudsPass");
    expectPass(show.backgroundPass, kScreenTriangleShortVS, kBackgroundPS, show.backgroundTarget,
               {show.cloudsTarget}, "backgroundPass");
    expectPass(show.crtPass, kScreenTriangleShortVS, kCrtPS, show.finalTarget, {show.raysTarget}, "crtPass");
    expectPass(show.raysPass, kScreenTriangleShortVS, kRaysPS, show.raysTarget, {show.compositeTarget}, "raysPass");

    const DrawPass* order[8] = {show.scrollPass, show.palettePass,   show.cloudsPass, show.backgroundPass,
                                show.blurPass,   show.compositePass, show.raysPass,   show.crtPass};
    ASSERT_GE(runtime.passes.count, 8u);
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(runtime.passes[i].kind, PassKind::Draw);
        EXPECT_EQ(runtime.passes[i].pass, order[i]) << "position " << i;
    }
}

// Declared last among the graph tests (gtest keeps declaration order): it
// appends the present pass and draws.
TEST_F(AssembleShowTest, FramesOfTheGraphDrawIntoTheFinalTarget) {
    GraphRuntime& runtime = *show.runtime;
    EXPECT_EQ(runtime.outputTexture, show.finalTarget);
    EXPECT_TRUE(runtime.firstFrame);

    runtime.createPresentPass();
    ASSERT_EQ(runtime.passes.count, 9u);
    const auto* present = static_cast<const DrawPass*>(runtime.passes[8].pass);
    ASSERT_EQ(present->desc.inputs.count, 1u);
    EXPECT_EQ(present->desc.inputs[0].resource, show.finalTarget);
    ASSERT_NE(runtime.outputTexture, nullptr);
    EXPECT_NE(runtime.outputTexture, show.finalTarget);
    EXPECT_EQ(runtime.outputTexture->desc.width, kTestScreenWidth);

    // Two frames a few seconds into the music, with the tracks driving the parameters.
    for (int frame = 0; frame < 2; ++frame) {
        const float time = 20.0f + 0.02f * float(frame);
        ContextBuffer block = {};
        block.time = time;
        block.frame = uint32_t(frame);
        block.resolution = {float(kTestScreenWidth), float(kTestScreenHeight)};
        updateContext(block);
        for (uint32_t i = 0; i < runtime.parameters.count; ++i)
            runtime.parameters[i].value[0] = evaluateTrack(show.tracks, i, time);
        const bool swappedBefore = show.scrollTarget->swapped;
        runtime.runFrame();
        EXPECT_NE(show.scrollTarget->swapped, swappedBefore) << "the feedback texture swaps every frame";
        EXPECT_FALSE(runtime.firstFrame);
    }

    const std::vector<float> pixels = readBackHalfTexture(*show.finalTarget);
    ASSERT_EQ(pixels.size(), size_t(kTestScreenWidth) * kTestScreenHeight * 4);
    double sum = 0.0;
    float low = INFINITY, high = -INFINITY;
    bool finite = true;
    for (size_t i = 0; i < pixels.size(); i += 4)
        for (int c = 0; c < 3; ++c) {
            const float v = pixels[i + c];
            finite = finite && std::isfinite(v);
            sum += v;
            low = std::fmin(low, v);
            high = std::fmax(high, v);
        }
    EXPECT_TRUE(finite);
    EXPECT_GT(sum, 0.0) << "the final image is black";
    EXPECT_GT(high - low, 0.05f) << "the final image is flat";
}

// The capture refuses a graph with a failed creation in it: the assembled
// show is complete, and losing the blur texture's shader view (as a failed
// creation would) is named.
TEST_F(AssembleShowTest, AMissingInputOrTargetIsNamed) {
    char reason[160] = "";
    EXPECT_TRUE(showResourcesComplete(show, reason, sizeof reason)) << reason;
    ID3D11ShaderResourceView* const kept = show.blurTarget->srvA;
    show.blurTarget->srvA = nullptr;
    EXPECT_FALSE(showResourcesComplete(show, reason, sizeof reason));
    EXPECT_STREQ(reason, "the composite pass has no input 0 (its texture was not created)");
    show.blurTarget->srvA = kept;
    ID3D11RenderTargetView* const keptTarget = show.scrollTarget->rtvB;
    show.scrollTarget->rtvB = nullptr;
    EXPECT_FALSE(showResourcesComplete(show, reason, sizeof reason));
    EXPECT_STREQ(reason, "the scroller pass has no render target 0 (its texture was not created)");
    show.scrollTarget->rtvB = keptTarget;
}

#if defined(THAWLINE_EXE)
// Icon group 101 of the executable holds two images, 16 and 32 pixels wide.
TEST(ShowExecutable, CarriesIconGroup101WithTwoImages) {
    std::string path = std::string("Z:") + THAWLINE_EXE;
    for (char& c : path)
        if (c == '/') c = '\\';
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << path;
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(bytes, nullptr);
    ASSERT_GE(SizeofResource(module, group), 6u + 2 * 14u);
    uint16_t type, count;
    std::memcpy(&type, bytes + 2, 2);
    std::memcpy(&count, bytes + 4, 2);
    EXPECT_EQ(type, 1u);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(bytes[6], 16u);       // first entry's width
    EXPECT_EQ(bytes[6 + 14], 32u);  // second entry's width
    FreeLibrary(module);
}
#endif

}  // namespace
