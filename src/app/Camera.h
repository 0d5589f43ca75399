// Camera from the eight camera tracks, and the frame's ContextBuffer fill.
//
// Right-handed view, projection with depth 0 at the near plane (0.1) and 1 at
// the far plane (1000). Nothing is guarded: a zero direction, a zero field of
// view or a direction parallel to up gives non-finite matrices, passed on as
// they are.
#pragma once

#include <cstdint>

#include "app/ContextBuffer.h"

// Track indices of the camera values (tracks 0 to 7 of the show).
enum CameraTrack : uint32_t {
    kCameraPosX = 0,
    kCameraPosY = 1,
    kCameraPosZ = 2,
    kCameraDirX = 3,
    kCameraDirY = 4,
    kCameraDirZ = 5,
    kCameraFov = 6,   // vertical field of view, degrees
    kCameraRoll = 7,  // roll about the view axis, degrees
    kCameraTrackCount = 8,
};

// Depth constants of the projection, fixed bit patterns 0xBF800347 and
// 0xBDCCD20B (near 0.1, far 1000); they are not recomputed.
constexpr uint32_t kProjectionDepthScaleBits = 0xBF800347u;
constexpr uint32_t kProjectionDepthOffsetBits = 0xBDCCD20Bu;

// Scales by the reciprocal of the length; no test for a zero vector.
Vec3 normalize3(Vec3 v);
Vec3 cross(Vec3 a, Vec3 b);
// (x * x' + y * y') + z * z'
float dot3(Vec3 a, Vec3 b);

// View matrix whose third column is the (unnormalised) axis.
Mat4 lookAt(Vec3 eye, Vec3 axis, Vec3 up);
// Rotation about the z axis by `degrees`.
Mat4 rollMatrix(float degrees);
// Row-by-column product a * b, each element summed from k = 0 upward.
Mat4 multiply4x4(const Mat4& a, const Mat4& b);
// Perspective with vertical field of view `fovDegrees`; `aspect` is
// width / height.
Mat4 perspective(float fovDegrees, float aspect);

// View (look-at times roll) and projection from the camera track values,
// indexed by CameraTrack.
void buildCamera(const float values[kCameraTrackCount], float aspect, Mat4& viewMatrix, Mat4& projectionMatrix);

// The frame driver's share of the block: time, frame, elapsed time, the
// resolution and the two camera matrices; everything that updateContext
// derives is zero.
void fillFrameContext(ContextBuffer& block, float time, uint32_t frame, float elapsedTime, int32_t screenWidth,
                      int32_t screenHeight, const Mat4& viewMatrix, const Mat4& projectionMatrix);
