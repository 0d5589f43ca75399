#include "app/Camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

uint32_t bitsOf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof(bits));
    return bits;
}

void expectRow(const Mat4& m, int row, float a, float b, float c, float d) {
    EXPECT_EQ(m.m[row * 4 + 0], a) << "row " << row;
    EXPECT_EQ(m.m[row * 4 + 1], b) << "row " << row;
    EXPECT_EQ(m.m[row * 4 + 2], c) << "row " << row;
    EXPECT_EQ(m.m[row * 4 + 3], d) << "row " << row;
}

bool allFinite(const Mat4& m) {
    for (float v : m.m)
        if (!std::isfinite(v)) return false;
    return true;
}

TEST(Vectors, NormalizeCrossAndDot) {
    const Vec3 n = normalize3({3.0f, 0.0f, 4.0f});
    EXPECT_FLOAT_EQ(n.x, 0.6f);
    EXPECT_EQ(n.y, 0.0f);
    EXPECT_FLOAT_EQ(n.z, 0.8f);
    const Vec3 z = cross({1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    const Vec3 c = cross({1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f});
    EXPECT_EQ(c.x, -3.0f);
    EXPECT_EQ(c.y, 6.0f);
    EXPECT_EQ(c.z, -3.0f);
    EXPECT_EQ(dot3({1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}), 32.0f);
    // No guard: a zero vector comes out non-finite.
    EXPECT_TRUE(std::isnan(normalize3({0.0f, 0.0f, 0.0f}).x));
}

TEST(Matrices, ProductIsRowByColumnAndOrdered) {
    const Mat4 shear = {{1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 0, 0, 1}};
    const Mat4 scale = {{2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}};
    const Mat4 ab = multiply4x4(shear, scale);
    expectRow(ab, 0, 2.0f, 6.0f, 0.0f, 0.0f);
    expectRow(ab, 3, 6.0f, 0.0f, 0.0f, 1.0f);
    const Mat4 ba = multiply4x4(scale, shear);
    expectRow(ba, 0, 2.0f, 4.0f, 0.0f, 0.0f);
    expectRow(ba, 3, 3.0f, 0.0f, 0.0f, 1.0f);
    // A translation in the fourth row moves a row vector (p' = p * M).
    Mat4 translate = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1}};
    Mat4 point = {{1, 2, 3, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
    expectRow(multiply4x4(point, translate), 0, 6.0f, 8.0f, 10.0f, 1.0f);
}

TEST(Camera, LookAtPointsImageAxesOppositeTheCommonConvention) {
    const Mat4 view = lookAt({0.0f, 0.0f, 5.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f});
    expectRow(view, 0, -1.0f, 0.0f, 0.0f, 0.0f);
    expectRow(view, 1, 0.0f, -1.0f, 0.0f, 0.0f);
    expectRow(view, 2, 0.0f, 0.0f, 1.0f, 0.0f);
    expectRow(view, 3, 0.0f, 0.0f, -5.0f, 1.0f);
}

TEST(Camera, LookAtKeepsTheAxisUnnormalised) {
    const Mat4 view = lookAt({1.0f, 2.0f, 3.0f}, {0.0f, 0.0f, 2.0f}, {0.0f, 1.0f, 0.0f});
    EXPECT_EQ(view.m[10], 2.0f);
    EXPECT_EQ(view.m[14], -6.0f);  // -(axis . eye) with the length-2 axis
    EXPECT_EQ(view.m[12], 1.0f);   // -(X . eye), X = (-1, 0, 0)
}

TEST(Camera, ProjectionDepthConstantsAreFixedBitPatterns) {
    for (float fov : {30.0f, 60.0f, 90.0f, 120.0f}) {
        const Mat4 p = perspective(fov, 1.5f);
        EXPECT_EQ(bitsOf(p.m[10]), 0xBF800347u);
        EXPECT_EQ(bitsOf(p.m[14]), 0xBDCCD20Bu);
        EXPECT_EQ(p.m[11], -1.0f);
        EXPECT_EQ(p.m[15], 0.0f);
    }
    EXPECT_FLOAT_EQ(perspective(90.0f, 1.0f).m[10], -1.0001f);
    EXPECT_FLOAT_EQ(perspective(90.0f, 1.0f).m[14], -0.10001f);
}

TEST(Camera, NinetyDegreesOnFullHd) {
    const float aspect = static_cast<float>(1920) / static_cast<float>(1080);
    const Mat4 p = perspective(90.0f, aspect);
    expectRow(p, 0, 0.5625f, 0.0f, 0.0f, 0.0f);
    expectRow(p, 1, 0.0f, 1.0f, 0.0f, 0.0f);
    // Sixty degrees: f = 1 / tan(30 degrees), about 1.7320508.
    EXPECT_NEAR(perspective(60.0f, 1.0f).m[5], 1.7320508f, 2e-7f);
}

TEST(Camera, RollOfNinetyDegreesKeepsTheCosineResidue) {
    const float c = std::cos(1.5707964f);  // cosf of the float nearest pi/2
    ASSERT_NE(c, 0.0f);
    EXPECT_NEAR(c, -4.37e-8f, 1e-9f);
    const Mat4 r = rollMatrix(90.0f);
    expectRow(r, 0, c, 1.0f, 0.0f, 0.0f);
    expectRow(r, 1, -1.0f, c, 0.0f, 0.0f);
    expectRow(r, 2, 0.0f, 0.0f, (1.0f - c) + c, 0.0f);
    expectRow(r, 3, 0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_LT(r.m[10], 1.0f);  // k + c rounds to just below 1
}

TEST(Camera, RollOfZeroIsTheIdentity) {
    const Mat4 r = rollMatrix(0.0f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(r.m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
}

TEST(Camera, BuildCameraNegatesTheDirectionAndAppliesRoll) {
    float values[kCameraTrackCount] = {};
    values[kCameraPosZ] = 5.0f;
    values[kCameraDirZ] = -1.0f;
    values[kCameraFov] = 90.0f;
    Mat4 view, projection;
    buildCamera(values, 1920.0f / 1080.0f, view, projection);
    expectRow(view, 0, -1.0f, 0.0f, 0.0f, 0.0f);
    expectRow(view, 1, 0.0f, -1.0f, 0.0f, 0.0f);
    expectRow(view, 2, 0.0f, 0.0f, 1.0f, 0.0f);
    expectRow(view, 3, 0.0f, 0.0f, -5.0f, 1.0f);
    EXPECT_EQ(projection.m[0], 0.5625f);

    values[kCameraRoll] = 90.0f;
    buildCamera(values, 1920.0f / 1080.0f, view, projection);
    const Mat4 expected = multiply4x4(lookAt({0, 0, 5}, {0, 0, 1}, {0, 1, 0}), rollMatrix(90.0f));
    EXPECT_EQ(std::memcmp(&view, &expected, sizeof(view)), 0);
    // Rolled by 90 degrees, world y lands on image x.
    EXPECT_EQ(view.m[4], 1.0f);
}

TEST(Camera, AllZeroTracksGiveNonFiniteViewAndInfiniteScale) {
    // The show's camera tracks carry no keys: nothing is guarded.
    const float values[kCameraTrackCount] = {};
    Mat4 view, projection;
    buildCamera(values, 16.0f / 9.0f, view, projection);
    EXPECT_FALSE(allFinite(view));
    EXPECT_TRUE(std::isinf(projection.m[0]));
    EXPECT_TRUE(std::isinf(projection.m[5]));
}

TEST(Camera, FrameFillSetsDriverFieldsAndZeroesTheRest) {
    ContextBuffer block;
    std::memset(&block, 0xAB, sizeof(block));
    const Mat4 view = lookAt({0, 0, 5}, {0, 0, 1}, {0, 1, 0});
    const Mat4 projection = perspective(90.0f, 1.5f);
    fillFrameContext(block, 1.25f, 7, 0.016f, 1280, 800, view, projection);
    EXPECT_EQ(block.time, 1.25f);
    EXPECT_EQ(block.frame, 7u);
    EXPECT_EQ(block.elapsedTime, 0.016f);
    EXPECT_EQ(block.aspectRatio, 0.0f);
    EXPECT_EQ(block.resolution.x, 1280.0f);
    EXPECT_EQ(block.resolution.y, 800.0f);
    EXPECT_EQ(block.invResolution.x, 0.0f);
    EXPECT_EQ(block.invResolution.y, 0.0f);
    EXPECT_EQ(std::memcmp(&block.viewMatrix, &view, sizeof(view)), 0);
    EXPECT_EQ(std::memcmp(&block.projectionMatrix, &projection, sizeof(projection)), 0);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&block);
    for (size_t i = offsetof(ContextBuffer, viewProjectionMatrix); i < sizeof(block); ++i)
        ASSERT_EQ(bytes[i], 0u) << "byte " << i;
}

}  // namespace
