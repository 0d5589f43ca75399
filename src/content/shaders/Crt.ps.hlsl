// CRT / VHS finish: shake, channel glitches, soft highlights, optional
// scanlines, a pulse, the globe vignette with flicker, and film grain.
#include "ScreenTypes.hlsli"
#include "ContextBuffer.hlsli"
#include "ShaderMath.hlsli"

Texture2D inputTexture : register(t0);
SamplerState smpLinearClamp : register(s0);

static const float kPi = 3.14159265359;

float glitchHash(float m)
{
    return frac(sin(m) * 43758.547);
}

// Smoothly interpolated 1D value noise (quintic fade).
float glitchNoise(float z)
{
    float i = floor(z);
    float f = frac(z);
    float a = glitchHash(i);
    float b = glitchHash(i + 1.0);
    return a + (b - a) * (f * f * f * (f * (6.0 * f - 15.0) + 10.0));
}

float glitchOn(float z)
{
    return 2.0 * glitchNoise(z) - 1.0 > 0.7 ? 1.0 : 0.0;
}

float3 crtFinish(float2 uv)
{
    float T = ceil(11.0 * time);

    float2 hv = float2(5.0 * time, 5.0 * time + 127.3);
    float2 shakeNoise = frac(sin(float2(dot(hv, float2(127.1, 311.7)),
                                        dot(hv, float2(269.5, 183.3)))) * 43758.547) - 0.5;
    float2 shake = float2(abs(shakeNoise.x) > 0.15 ? shakeNoise.x * 0.0006 : 0.0,
                          abs(shakeNoise.y) > 0.15 ? shakeNoise.y * 0.0006 : 0.0);
    float shakeScale = frac(sin(dot(uv + 0.01 * T, float2(127.1, 311.7))) * 43758.547);
    float2 p = uv + shakeScale * shake;

    float tau = 5.0 * time;
    float2 offsetR = float2(FLICKER * glitchOn(tau + 17.0), 0.0);
    float2 offsetG = float2(FLICKER * glitchOn(tau + 37.0), 0.0);
    float2 offsetB = float2(0.0, FLICKER * glitchOn(tau + 71.0));

    const float3 luma = float3(0.2126, 0.7152, 0.0722);
    float3 cr = inputTexture.SampleLevel(smpLinearClamp, p + offsetR, 0.0).rgb;
    float3 cg = inputTexture.SampleLevel(smpLinearClamp, p + offsetG, 0.0).rgb;
    float3 cb = inputTexture.SampleLevel(smpLinearClamp, p + offsetB, 0.0).rgb;
    float3 x = float3(cr.r + 0.05 * (dot(cr, luma) - cr.r),
                      cg.g + 0.05 * (dot(cg, luma) - cg.g),
                      cb.b + 0.05 * (dot(cb, luma) - cb.b));
    float3 soft = 1.0 - float3(powPositive(1.0 - x.r, 1.0 / 1.4),
                        powPositive(1.0 - x.g, 1.0 / 1.4),
                        powPositive(1.0 - x.b, 1.0 / 1.5));
    float3 colour = float3(x.r >= 0.95 ? x.r : soft.r,
                           x.g >= 0.95 ? x.g : soft.g,
                           x.b >= 0.95 ? x.b : soft.b);

    if (int(SCANLINES) != 0)
        colour *= 0.925 + 0.075 * cos(kPi * p.y * resolution.y / 2.7);

    float phase = frac(100.0 * time / 6.28318);
    float pulseOffset = phase - 0.5;
    colour *= 0.96 + 0.04 * BLINKY * exp(-10.0 * pulseOffset * pulseOffset);

    float2 q = 2.0 * (p - 0.5);
    float vignette = 1.0 - 0.294 * dot(q, q);
    float flicker = frac(sin(T + 13.7) * 43758.547) * 0.3 + 0.7;
    colour *= 0.6 + 0.4 * vignette * flicker;

    float grain = frac(sin(dot(float2(T, T) + 1000.0 * p, float2(12.9898, 78.233))) * 43758.547) * 0.2 + 1.0;
    colour *= grain;

    return colour * GLOBE_BRIGHTNESS;
}

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    // One exit only: with the finish off the input passes unchanged.
    float4 result;
    if (int(ENABLEFINALPSOTPROC) == 0)
        result = inputTexture.SampleLevel(smpLinearClamp, i.uv, 0.0);
    else
        result = float4(crtFinish(i.uv), 1.0);
    return result;
}
