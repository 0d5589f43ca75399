// Pixel and compute programs for the runtime tests, compiled at test time.
#pragma once

namespace GfxTest {

// Writes 1 everywhere: with additive blending a target counts the runs.
constexpr const char* kOnePS = R"(
float4 pixel_main(float4 pos : SV_Position) : SV_Target { return float4(1.0, 1.0, 1.0, 1.0); }
)";

// The frame constant buffer as the runtime lays it out, with three Float
// parameters behind the 608-byte block.
#define THAW_TEST_CONTEXT_BUFFER \
    "cbuffer ContextBuffer : register(b8) {\n" \
    "  float time; uint frame; float elapsedTime; float aspectRatio;\n" \
    "  float2 resolution; float2 invResolution;\n" \
    "  float4x4 m0; float4x4 m1; float4x4 m2; float4x4 m3; float4x4 m4;\n" \
    "  float4x4 m5; float4x4 m6; float4x4 m7; float4x4 m8;\n" \
    "  float p0; float p1; float p2;\n" \
    "};\n"

constexpr const char* kConstantsPS = THAW_TEST_CONTEXT_BUFFER R"(
float4 pixel_main(float4 pos : SV_Position) : SV_Target { return float4(time, frame, p0, p2); }
)";

// Position and a parameter: shows the row order and that it ran this frame.
constexpr const char* kRowsPS = THAW_TEST_CONTEXT_BUFFER R"(
float4 pixel_main(float4 pos : SV_Position) : SV_Target { return float4(pos.y, pos.x, p0, 1.0); }
)";

// Input 0 (a 4 x 4 texture) plus one in red: a feedback step.
constexpr const char* kAddOnePS = R"(
Texture2D inputTex : register(t0);
SamplerState smpNearestClamp : register(s3);
float4 pixel_main(float4 pos : SV_Position) : SV_Target {
    return inputTex.Sample(smpNearestClamp, pos.xy * 0.25) + float4(1.0, 0.0, 0.0, 0.0);
}
)";

// Input 0 (a 4 x 4 texture) unchanged.
constexpr const char* kCopyPS = R"(
Texture2D inputTex : register(t0);
SamplerState smpNearestClamp : register(s3);
float4 pixel_main(float4 pos : SV_Position) : SV_Target {
    return inputTex.Sample(smpNearestClamp, pos.xy * 0.25);
}
)";

// Without thread ids (the system compiler knows no compute semantics): one
// texel of the output at u2 gets the sum of the two inputs' first texels.
constexpr const char* kComputeSimpleCS = R"(
Texture2D<float> first : register(t0);
Texture2D<float> second : register(t1);
RWTexture2D<float> result : register(u2);
[numthreads(1, 1, 1)]
void kernel_main() {
    result[uint2(1, 0)] = first.Load(int3(0, 0, 0)) + second.Load(int3(0, 0, 0));
}
)";

}  // namespace GfxTest
