// Four horizontal bands with the cloud layer mixed into the upper three
// quarters of the target.
#include "ScreenTypes.hlsli"

Texture2D clouds : register(t0);
SamplerState smpLinearClamp : register(s0);

static const float3 kBands[4] =
{
    float3(52.0, 45.0, 39.0) / 255.0,
    float3(77.0, 68.0, 59.0) / 255.0,
    float3(45.0, 39.0, 34.0) / 255.0,
    float3(85.0, 74.0, 63.0) / 255.0,
};

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    float u = i.uv.x;
    float v = i.uv.y;
    float y = 1.0 - v;
    float band = y < 0.25 ? 0.0 : (y > 0.75 ? 3.0 : floor((y - 0.25) / 0.25) + 1.0);
    float3 colour = kBands[uint(band)];

    if (v >= 0.25)
    {
        float3 c = clouds.SampleLevel(smpLinearClamp, float2(u, (v - 0.25) / 0.75), 0.0).rgb;
        float k = saturate((dot(c, float3(0.299, 0.587, 0.114)) - 0.01) / 0.2) * 0.5;
        colour = colour + (c - colour) * k;
    }
    return float4(colour, 1.0);
}
