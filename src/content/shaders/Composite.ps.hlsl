// Keys the white of the text layer over the background and marks the dark
// pixels transparent.
#include "ScreenTypes.hlsli"
#include "ContextBuffer.hlsli"

Texture2D input1 : register(t0);
Texture2D input2 : register(t1);
Texture2D input3 : register(t2);
SamplerState smpLinearClamp : register(s0);

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    float3 a = input1.SampleLevel(smpLinearClamp, i.uv, 0.0).rgb;
    float3 b = input2.SampleLevel(smpLinearClamp, i.uv, 0.0).rgb;
    float3 x = input3.SampleLevel(smpLinearClamp, i.uv, 0.0).rgb;

    float3 back = b + useInput3 * (x - b);
    float key = length(a - float3(1.0, 1.0, 1.0)) <= txt_transp ? 1.0 : 0.0;
    float3 colour = a + key * (back - a);
    float alpha = length(colour) <= bg_transp ? 0.0 : 1.0;
    return float4(colour, alpha);
}
