// The per-frame constant block every shader can read at register b8.
//
// Uploaded byte for byte; the shaders declare exactly these members in this
// order under the name ContextBuffer, followed by the packed shader
// parameters. Matrices are row-major with points as row vectors (p' = p * M).
#pragma once

#include <cstddef>
#include <cstdint>

struct Vec2 {
    float x, y;
};

struct Vec3 {
    float x, y, z;
};

// 16 floats stored row by row: element (row, column) is m[row * 4 + column].
struct Mat4 {
    float m[16];
};

struct ContextBuffer {
    float time;         // music time of the frame, seconds
    uint32_t frame;     // frame counter, 0 on the first frame
    float elapsedTime;  // this frame's time minus the previous frame's
    float aspectRatio;  // resolution.x * invResolution.y
    Vec2 resolution;
    Vec2 invResolution;
    Mat4 viewMatrix;
    Mat4 projectionMatrix;
    Mat4 viewProjectionMatrix;
    Mat4 invViewMatrix;
    Mat4 invProjectionMatrix;
    Mat4 invViewProjectionMatrix;
    Mat4 lastViewMatrix;
    Mat4 lastProjectionMatrix;
    Mat4 lastViewProjectionMatrix;
};

constexpr uint32_t kContextBufferSize = 608;

static_assert(sizeof(Vec2) == 8 && sizeof(Vec3) == 12 && sizeof(Mat4) == 64, "packed math types");
static_assert(sizeof(ContextBuffer) == kContextBufferSize, "ContextBuffer is 608 bytes");
static_assert(offsetof(ContextBuffer, time) == 0, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, frame) == 4, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, elapsedTime) == 8, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, aspectRatio) == 12, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, resolution) == 16, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, invResolution) == 24, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, viewMatrix) == 32, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, projectionMatrix) == 96, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, viewProjectionMatrix) == 160, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, invViewMatrix) == 224, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, invProjectionMatrix) == 288, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, invViewProjectionMatrix) == 352, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, lastViewMatrix) == 416, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, lastProjectionMatrix) == 480, "ContextBuffer layout");
static_assert(offsetof(ContextBuffer, lastViewProjectionMatrix) == 544, "ContextBuffer layout");
