#include "app/ContextMath.h"

#include "app/Camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

bool allZero(const Mat4& m) {
    for (float v : m.m)
        if (v != 0.0f) return false;
    return true;
}

bool sameBits(const Mat4& a, const Mat4& b) { return std::memcmp(&a, &b, sizeof(Mat4)) == 0; }

void expectNearIdentity(const Mat4& m, float tolerance) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i], (i % 5 == 0) ? 1.0f : 0.0f, tolerance) << "element " << i;
}

// A finite camera: eye (1, 2, 5), looking down -z with some roll.
void frameBlock(ContextBuffer& block, float time, uint32_t frame, float roll, int32_t width, int32_t height) {
    float values[kCameraTrackCount] = {};
    values[kCameraPosX] = 1.0f;
    values[kCameraPosY] = 2.0f;
    values[kCameraPosZ] = 5.0f;
    values[kCameraDirX] = 0.25f;
    values[kCameraDirZ] = -1.0f;
    values[kCameraFov] = 70.0f;
    values[kCameraRoll] = roll;
    Mat4 view, projection;
    buildCamera(values, static_cast<float>(width) / static_cast<float>(height), view, projection);
    fillFrameContext(block, time, frame, 0.02f, width, height, view, projection);
}

TEST(Invert4x4, InvertsKnownMatrices) {
    const Mat4 scaleTranslate = {{2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0.5f, 0, 3, -8, 1, 1}};
    const Mat4 inverse = invert4x4(scaleTranslate);
    const Mat4 expected = {{0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 2, 0, -1.5f, 2, -2, 1}};
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(inverse.m[i], expected.m[i]) << i;

    const Mat4 dense = {{4, 7, 2, 3, 0, 5, 1, 9, 8, 1, 6, 2, 3, 3, 5, 7}};
    expectNearIdentity(multiply4x4(dense, invert4x4(dense)), 1e-5f);
    expectNearIdentity(multiply4x4(invert4x4(dense), dense), 1e-5f);

    Mat4 view, projection;
    float values[kCameraTrackCount] = {1, 2, 5, 0.3f, -0.2f, -1, 60, 33};
    buildCamera(values, 1.6f, view, projection);
    expectNearIdentity(multiply4x4(view, invert4x4(view)), 1e-5f);
    expectNearIdentity(multiply4x4(projection, invert4x4(projection)), 1e-5f);
}

TEST(Invert4x4, SingularMatrixIsNotGuarded) {
    Mat4 zero = {};
    const Mat4 inverse = invert4x4(zero);
    for (float v : inverse.m) EXPECT_FALSE(std::isfinite(v));
    const Mat4 rankTwo = {{1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 1, 1, 1, 1}};
    const Mat4 broken = invert4x4(rankTwo);
    bool anyNonFinite = false;
    for (float v : broken.m) anyNonFinite = anyNonFinite || !std::isfinite(v);
    EXPECT_TRUE(anyNonFinite);
}

TEST(DeriveContext, FirstFrameHasZeroLastMatrices) {
    ContextBuffer kept;
    std::memset(&kept, 0, sizeof(kept));
    ContextBuffer incoming;
    frameBlock(incoming, 0.5f, 0, 10.0f, 1920, 1080);
    deriveContext(kept, incoming);

    EXPECT_EQ(kept.time, 0.5f);
    EXPECT_EQ(kept.frame, 0u);
    EXPECT_EQ(kept.elapsedTime, 0.02f);
    EXPECT_EQ(kept.resolution.x, 1920.0f);
    EXPECT_EQ(kept.resolution.y, 1080.0f);
    EXPECT_EQ(kept.invResolution.x, 1.0f / 1920.0f);
    EXPECT_EQ(kept.invResolution.y, 1.0f / 1080.0f);
    EXPECT_TRUE(allZero(kept.lastViewMatrix));
    EXPECT_TRUE(allZero(kept.lastProjectionMatrix));
    EXPECT_TRUE(allZero(kept.lastViewProjectionMatrix));
    EXPECT_TRUE(sameBits(kept.viewMatrix, incoming.viewMatrix));
    EXPECT_TRUE(sameBits(kept.projectionMatrix, incoming.projectionMatrix));
    EXPECT_TRUE(sameBits(kept.viewProjectionMatrix, multiply4x4(incoming.viewMatrix, incoming.projectionMatrix)));
    EXPECT_TRUE(sameBits(kept.invViewMatrix, invert4x4(incoming.viewMatrix)));
    EXPECT_TRUE(sameBits(kept.invProjectionMatrix, invert4x4(incoming.projectionMatrix)));
    EXPECT_TRUE(sameBits(kept.invViewProjectionMatrix, invert4x4(kept.viewProjectionMatrix)));
    expectNearIdentity(multiply4x4(kept.viewProjectionMatrix, kept.invViewProjectionMatrix), 1e-4f);
}

TEST(DeriveContext, LastMatricesCarryThePreviousUpdate) {
    ContextBuffer kept;
    std::memset(&kept, 0, sizeof(kept));
    ContextBuffer first, second;
    frameBlock(first, 0.5f, 0, 10.0f, 1920, 1080);
    frameBlock(second, 0.52f, 1, 40.0f, 1920, 1080);
    deriveContext(kept, first);
    const ContextBuffer afterFirst = kept;
    deriveContext(kept, second);

    EXPECT_EQ(kept.frame, 1u);
    EXPECT_EQ(kept.time, 0.52f);
    EXPECT_TRUE(sameBits(kept.lastViewMatrix, afterFirst.viewMatrix));
    EXPECT_TRUE(sameBits(kept.lastProjectionMatrix, afterFirst.projectionMatrix));
    EXPECT_TRUE(sameBits(kept.lastViewProjectionMatrix, afterFirst.viewProjectionMatrix));
    EXPECT_FALSE(sameBits(kept.viewMatrix, afterFirst.viewMatrix));
    EXPECT_TRUE(sameBits(kept.viewMatrix, second.viewMatrix));
}

TEST(DeriveContext, IgnoresTheIncomingDerivedFields) {
    ContextBuffer kept;
    std::memset(&kept, 0, sizeof(kept));
    ContextBuffer incoming;
    frameBlock(incoming, 3.0f, 9, 0.0f, 1280, 720);
    ContextBuffer clean = incoming;
    // Garbage wherever the driver is meant to leave zeros.
    incoming.aspectRatio = 99.0f;
    incoming.invResolution = {5.0f, 6.0f};
    Mat4 junk;
    for (int i = 0; i < 16; ++i) junk.m[i] = 1000.0f + static_cast<float>(i);
    incoming.viewProjectionMatrix = incoming.invViewMatrix = incoming.invProjectionMatrix = junk;
    incoming.invViewProjectionMatrix = incoming.lastViewMatrix = incoming.lastProjectionMatrix = junk;
    incoming.lastViewProjectionMatrix = junk;

    ContextBuffer keptClean = kept;
    deriveContext(kept, incoming);
    deriveContext(keptClean, clean);
    EXPECT_EQ(std::memcmp(&kept, &keptClean, sizeof(kept)), 0);
}

TEST(DeriveContext, AspectRatioMultipliesByTheReciprocalHeight) {
    ContextBuffer kept;
    std::memset(&kept, 0, sizeof(kept));
    ContextBuffer incoming;
    frameBlock(incoming, 0.0f, 0, 0.0f, 1280, 800);
    deriveContext(kept, incoming);
    EXPECT_EQ(kept.aspectRatio, 1280.0f * (1.0f / 800.0f));
    // On this screen the product is one bit below the quotient the
    // projection uses.
    EXPECT_NE(kept.aspectRatio, 1280.0f / 800.0f);
    EXPECT_FLOAT_EQ(kept.aspectRatio, 1.6f);
}

TEST(DeriveContext, TheShowsZeroCameraPassesNonFiniteMatricesOn) {
    ContextBuffer kept;
    std::memset(&kept, 0, sizeof(kept));
    const float values[kCameraTrackCount] = {};
    Mat4 view, projection;
    buildCamera(values, 16.0f / 9.0f, view, projection);
    ContextBuffer incoming;
    fillFrameContext(incoming, 0.0f, 0, 0.0f, 1920, 1080, view, projection);
    deriveContext(kept, incoming);
    EXPECT_EQ(kept.time, 0.0f);
    EXPECT_EQ(kept.aspectRatio, 1920.0f * (1.0f / 1080.0f));
    EXPECT_FALSE(std::isfinite(kept.invViewMatrix.m[0]));
}

}  // namespace
