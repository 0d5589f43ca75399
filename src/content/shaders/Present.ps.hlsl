// Copies the finished picture to the screen unchanged.
#include "ScreenTypes.hlsli"

Texture2D inputTex : register(t0);
SamplerState smp : register(s3);

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    return inputTex.SampleLevel(smp, i.uv, 0.0);
}
