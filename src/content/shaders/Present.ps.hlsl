// Copies the finished picture to the screen. The swap chain is composed with
// premultiplied alpha, so whatever alpha the last pass left would let the
// window's unpainted surface show through; the screen is always opaque, and
// the colours are exactly those the picture shows over black.
#include "ScreenTypes.hlsli"

Texture2D inputTex : register(t0);
SamplerState smp : register(s3);

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    return float4(inputTex.SampleLevel(smp, i.uv, 0.0).rgb, 1.0);
}
