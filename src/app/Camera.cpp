#include "app/Camera.h"

#include <cmath>
#include <cstring>

Vec3 normalize3(Vec3 v) {
    const float s = std::sqrt((v.y * v.y + v.x * v.x) + v.z * v.z);
    const float r = 1.0f / s;
    return {r * v.x, r * v.y, r * v.z};
}

Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float dot3(Vec3 a, Vec3 b) { return (a.x * b.x + a.y * b.y) + a.z * b.z; }

Mat4 lookAt(Vec3 eye, Vec3 axis, Vec3 up) {
    const Vec3 x = normalize3(cross(axis, up));
    const Vec3 y = normalize3(cross(axis, x));
    return {{
        x.x, y.x, axis.x, 0.0f,
        x.y, y.y, axis.y, 0.0f,
        x.z, y.z, axis.z, 0.0f,
        -dot3(x, eye), -dot3(y, eye), -dot3(axis, eye), 1.0f,
    }};
}

Mat4 rollMatrix(float degrees) {
    const float angle = static_cast<float>(static_cast<double>(degrees / 180.0f) * 3.141592653589);
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float k = 1.0f - c;
    // The general axis-angle rotation about the view axis (0, 0, 1).
    const Vec3 a = normalize3({0.0f, 0.0f, 1.0f});
    return {{
        a.x * a.x * k + c, a.x * a.y * k + a.z * s, a.x * a.z * k - a.y * s, 0.0f,
        a.x * a.y * k - a.z * s, a.y * a.y * k + c, a.y * a.z * k + a.x * s, 0.0f,
        a.x * a.z * k + a.y * s, a.y * a.z * k - a.x * s, a.z * a.z * k + c, 0.0f,
        0.0f, 0.0f, 0.0f, 1.0f,
    }};
}

Mat4 multiply4x4(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[i * 4 + k] * b.m[k * 4 + j];
            r.m[i * 4 + j] = sum;
        }
    }
    return r;
}

static float floatFromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof(f));
    return f;
}

Mat4 perspective(float fovDegrees, float aspect) {
    // Degrees to radians and the halving each run in double and round to float.
    const float radians = static_cast<float>(static_cast<double>(fovDegrees) * 0.01745329251993889);
    const float half = static_cast<float>(static_cast<double>(radians) * 0.5);
    const float f = 1.0f / std::tan(half);
    const float depthScale = floatFromBits(kProjectionDepthScaleBits);
    const float depthOffset = floatFromBits(kProjectionDepthOffsetBits);
    return {{
        f / aspect, 0.0f, 0.0f, 0.0f,
        0.0f, f, 0.0f, 0.0f,
        0.0f, 0.0f, depthScale, -1.0f,
        0.0f, 0.0f, depthOffset, 0.0f,
    }};
}

void buildCamera(const float values[kCameraTrackCount], float aspect, Mat4& viewMatrix, Mat4& projectionMatrix) {
    const Vec3 eye = {values[kCameraPosX], values[kCameraPosY], values[kCameraPosZ]};
    // The direction negated, deliberately not normalised.
    const Vec3 axis = {-values[kCameraDirX], -values[kCameraDirY], -values[kCameraDirZ]};
    const Vec3 up = {0.0f, 1.0f, 0.0f};
    viewMatrix = multiply4x4(lookAt(eye, axis, up), rollMatrix(values[kCameraRoll]));
    projectionMatrix = perspective(values[kCameraFov], aspect);
}

void fillFrameContext(ContextBuffer& block, float time, uint32_t frame, float elapsedTime, int32_t screenWidth,
                      int32_t screenHeight, const Mat4& viewMatrix, const Mat4& projectionMatrix) {
    std::memset(&block, 0, sizeof(block));
    block.time = time;
    block.frame = frame;
    block.elapsedTime = elapsedTime;
    block.aspectRatio = 0.0f;
    block.resolution = {static_cast<float>(screenWidth), static_cast<float>(screenHeight)};
    block.invResolution = {0.0f, 0.0f};
    block.viewMatrix = viewMatrix;
    block.projectionMatrix = projectionMatrix;
}
