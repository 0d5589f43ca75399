// Colours the scroller's grey levels through a nine-entry ramp.
#include "ScreenTypes.hlsli"

Texture2D Render : register(t0);
SamplerState smpNearestClamp : register(s3);

static const float3 kRamp[9] =
{
    float3(0.0, 0.0, 0.0),
    float3(0.039, 0.122, 0.267),
    float3(0.071, 0.204, 0.396),
    float3(0.118, 0.306, 0.549),
    float3(0.055, 0.38, 0.285),
    float3(0.11, 0.69, 0.52),
    float3(0.18, 1.0, 0.769),
    float3(0.38, 1.0, 0.847),
    float3(1.0, 1.0, 1.0),
};

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    float4 c = Render.SampleLevel(smpNearestClamp, i.uv, 0.0);
    float s = saturate(c.r + c.g + c.b);
    // ceil(0) keeps pure black on entry 0; any light at all reaches entry 1.
    uint index = uint(min(8.0, ceil(9.0 * s)));
    return float4(kRamp[index], 1.0);
}
