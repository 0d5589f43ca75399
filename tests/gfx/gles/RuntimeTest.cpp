// The OpenGL ES runtime on a real driver: what differs from Direct3D 11 and
// must still give the same pictures (half-float targets, the double buffer,
// sampler objects, row order, the present flip, empty inputs).
#include <gtest/gtest.h>

#include <cstring>

#include "GlesTestContext.h"
#include "content/shaders/ShaderBlobs.h"

using namespace Orrery::Gfx;

namespace {

class GlesRuntime : public ::testing::Test {
protected:
    void SetUp() override {
        const char* error = nullptr;
        ASSERT_TRUE(ensureGlesTestContext(&error)) << error;
    }
};

DrawPass* mustMakePass(const char* text, TextureRuntime* target, std::vector<Resource*> inputs) {
    std::vector<char> log;
    DrawPass* pass = makePass(text, target, inputs, &log);
    EXPECT_NE(pass, nullptr) << log.data();
    return pass;
}

// Values a byte format would clamp or round: only a half-float target keeps them.
TEST_F(GlesRuntime, AHalfFloatTargetKeepsValuesOutsideZeroToOne) {
    TextureRuntime* target = makeTexture(4, 2, FormatCode::R16G16B16A16Float);
    ASSERT_NE(target->textureA, 0u);
    DrawPass* pass = mustMakePass(
        "#version 300 es\nprecision highp float;\nlayout(location = 0) out vec4 o;\n"
        "void main() { o = vec4(1.5, -0.25, 1000.0, 0.0009765625); }\n",
        target, {});
    ASSERT_NE(pass, nullptr);
    runPass(*pass);
    const std::vector<float> v = readTexture(target->textureA, 4, 2, true);
    for (size_t i = 0; i < v.size(); i += 4) {
        EXPECT_EQ(v[i], 1.5f);
        EXPECT_EQ(v[i + 1], -0.25f);
        EXPECT_EQ(v[i + 2], 1000.0f);
        EXPECT_EQ(v[i + 3], 0.0009765625f);
    }
}

// A pass that adds one to what its own target held last frame: the input is
// always the copy written the frame before, the target the other copy, and
// a new texture starts at zero.
TEST_F(GlesRuntime, ADoubleBufferedTargetReadsLastFramesCopy) {
    GraphRuntime runtime;
    TextureRuntime* feedback = makeTexture(2, 2, FormatCode::R16G16B16A16Float, true);
    ASSERT_NE(feedback->textureA, 0u);
    ASSERT_NE(feedback->textureB, 0u);
    runtime.registerResource(0) = feedback;
    DrawPass* pass = mustMakePass(
        "#version 300 es\nprecision highp float;\nuniform highp sampler2D thaw_t0_s3;\nin vec2 thaw_v0;\n"
        "layout(location = 0) out vec4 o;\n"
        "void main() { o = textureLod(thaw_t0_s3, thaw_v0, 0.0) + vec4(1.0, 0.0, 0.0, 0.0); }\n",
        feedback, {feedback});
    ASSERT_NE(pass, nullptr);
    runtime.addPass(PassKind::Draw, pass);

    for (int frame = 1; frame <= 3; ++frame) {
        runtime.runFrame();
        // After the swap the copy written this frame is the "previous" one.
        const float written = readTexture(feedback->getShaderResourceView(true), 2, 2, true)[0];
        const float other = readTexture(feedback->getShaderResourceView(false), 2, 2, true)[0];
        EXPECT_EQ(written, float(frame)) << "frame " << frame;
        EXPECT_EQ(other, float(frame - 1)) << "frame " << frame;
    }
    EXPECT_TRUE(feedback->swapped);  // three swaps
}

// A 2 x 1 texture, black then white, sampled through three samplers at once:
// linear clamp (s0), point clamp (s3) and linear repeat (s2).
TEST_F(GlesRuntime, TheSixSamplersFilterAndAddressAsDirect3DDoes) {
    auto* source = makeTexture(2, 1, FormatCode::R8G8B8A8Unorm);
    const uint8_t pixels[8] = {0, 0, 0, 255, 255, 255, 255, 255};
    source->upload(pixels, 2, 1, 4);
    TextureRuntime* target = makeTexture(1, 1, FormatCode::R16G16B16A16Float);
    DrawPass* pass = mustMakePass(
        "#version 300 es\nprecision highp float;\nuniform highp sampler2D thaw_t0_s0;\n"
        "uniform highp sampler2D thaw_t0_s3;\nuniform highp sampler2D thaw_t0_s2;\n"
        "layout(location = 0) out vec4 o;\n"
        "void main() {\n"
        "  o = vec4(textureLod(thaw_t0_s0, vec2(0.375, 0.5), 0.0).r, textureLod(thaw_t0_s3, vec2(0.375, 0.5), 0.0).r,\n"
        "           textureLod(thaw_t0_s2, vec2(1.125, 0.5), 0.0).r, textureLod(thaw_t0_s0, vec2(1.125, 0.5), 0.0).r);\n"
        "}\n",
        target, {source});
    ASSERT_NE(pass, nullptr);
    runPass(*pass);
    const std::vector<float> v = readTexture(target->textureA, 1, 1, true);
    EXPECT_NEAR(v[0], 0.25f, 0.01f);  // a quarter of the way to the white texel's centre
    EXPECT_EQ(v[1], 0.0f);            // nearest: still the black texel
    EXPECT_NEAR(v[2], 0.25f, 0.01f);  // 1.125 wraps to 0.125, between white (wrapped) and black
    EXPECT_EQ(v[3], 1.0f);            // clamped to the white edge
}

// Row 0 of a target is where Direct3D puts v = 0 and SV_Position.y = 0.5, and
// a ddy taken down the rows is positive: the same memory order as there.
TEST_F(GlesRuntime, RowZeroIsTheTopRowAsOnDirect3D) {
    TextureRuntime* target = makeTexture(4, 2, FormatCode::R16G16B16A16Float);
    DrawPass* pass = mustMakePass(
        "#version 300 es\nprecision highp float;\nin vec2 thaw_v0;\nlayout(location = 0) out vec4 o;\n"
        "void main() { o = vec4(thaw_v0, gl_FragCoord.y, dFdy(thaw_v0.y)); }\n",
        target, {});
    ASSERT_NE(pass, nullptr);
    runPass(*pass);
    const std::vector<float> v = readTexture(target->textureA, 4, 2, true);
    EXPECT_EQ(v[0], 0.125f);  // u of column 0
    EXPECT_EQ(v[1], 0.25f);   // v of row 0
    EXPECT_EQ(v[2], 0.5f);    // SV_Position.y of row 0
    EXPECT_EQ(v[3], 0.5f);    // v grows by 0.5 per row downwards
    EXPECT_EQ(v[4 * 4 + 1], 0.75f);  // row 1
}

// The present pass copies the output flipped vertically; the picture the
// capture reads (top row first) then has the output's last row on top, as
// the swap chain shows it on Windows.
TEST_F(GlesRuntime, ThePresentPassFlipsTheOutputIntoTheScreenTarget) {
    const int32_t savedWidth = screenWidth, savedHeight = screenHeight;
    screenWidth = 1;
    screenHeight = 2;
    GraphRuntime runtime;
    TextureRuntime* output = makeTexture(1, 2, FormatCode::R8G8B8A8Unorm);
    const uint8_t rows[8] = {255, 0, 0, 255, 0, 255, 0, 255};  // row 0 red, row 1 green
    output->upload(rows, 1, 2, 4);
    runtime.outputTexture = output;
    runtime.createPresentPass();
    screenWidth = savedWidth;
    screenHeight = savedHeight;
    ASSERT_NE(runtime.outputTexture, output);
    const GLuint screen = glesAttachScreenTarget(*runtime.outputTexture);
    ASSERT_NE(screen, 0u);
    runtime.runFrame();
    const std::vector<float> v = readTexture(screen, 1, 2, false);
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[1], 1.0f);  // row 0: the output's row 1 (green)
    EXPECT_EQ(v[4], 1.0f);  // row 1: the output's row 0 (red)
    EXPECT_EQ(v[5], 0.0f);
}

// Direct3D reads an unbound texture register as zero in all four channels
// (the composite's third input); a bare GL unit would give alpha 1.
TEST_F(GlesRuntime, AnEmptyInputReadsAsZero) {
    TextureRuntime* target = makeTexture(1, 1, FormatCode::R16G16B16A16Float);
    DrawPass* pass = mustMakePass(
        "#version 300 es\nprecision highp float;\nuniform highp sampler2D thaw_t2_s0;\n"
        "layout(location = 0) out vec4 o;\n"
        "void main() { o = textureLod(thaw_t2_s0, vec2(0.5), 0.0) + vec4(0.0, 0.0, 0.0, 0.5); }\n",
        target, {nullptr, nullptr, nullptr});
    ASSERT_NE(pass, nullptr);
    runPass(*pass);
    const std::vector<float> v = readTexture(target->textureA, 1, 1, true);
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[3], 0.5f);
}

// The frame data reaches the block at binding 8 byte for byte: the show's
// parameter i sits at byte 608 + 4 i (37 vec4 fill bytes 16 to 607).
TEST_F(GlesRuntime, TheFrameDataReachesTheUniformBlock) {
    TextureRuntime* target = makeTexture(1, 1, FormatCode::R16G16B16A16Float);
    DrawPass* pass = mustMakePass(
        "#version 300 es\nprecision highp float;\n"
        "layout(std140) uniform thaw_b8 { float time; uint frame; float elapsed; float aspect; vec4 skip[37];\n"
        "                                 float p0; float p1; } b;\n"
        "layout(location = 0) out vec4 o;\n"
        "void main() { o = vec4(b.time, float(b.frame), b.p0, b.p1); }\n",
        target, {});
    ASSERT_NE(pass, nullptr);
    std::vector<uint8_t> data(720, 0);
    const float time = 2.5f, p0 = 0.75f, p1 = -3.0f;
    const uint32_t frame = 7;
    std::memcpy(&data[0], &time, 4);
    std::memcpy(&data[4], &frame, 4);
    std::memcpy(&data[608], &p0, 4);
    std::memcpy(&data[612], &p1, 4);
    runPass(*pass, data);
    const std::vector<float> v = readTexture(target->textureA, 1, 1, true);
    EXPECT_EQ(v[0], 2.5f);
    EXPECT_EQ(v[1], 7.0f);
    EXPECT_EQ(v[2], 0.75f);
    EXPECT_EQ(v[3], -3.0f);
}

}  // namespace
