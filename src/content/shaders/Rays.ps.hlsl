// Radial light rays: 250 decaying samples towards the centre, then a
// vignette and a soft tone curve.
#include "ScreenTypes.hlsli"
#include "ContextBuffer.hlsli"

Texture2D inputTexture : register(t0);
SamplerState samplerState : register(s0);

static const int kSamples = 250;

float4 lightRays(float2 uv)
{
    float2 d = uv - 0.5;
    float2 stepUv = d * lamerdensity / float(kSamples);
    float3 acc = 0.15 * inputTexture.SampleLevel(samplerState, uv, 0.0).rgb;

    // A per-pixel jitter of the start hides the banding of the samples.
    float jitter = frac(sin(dot(uv + 0.1, float2(41.0, 289.0))) * 45758.547) * 2.0 - 1.0;
    float2 p = uv + stepUv * jitter;

    float weight = 0.7515;
    for (int n = 0; n < kSamples; ++n)
    {
        p -= stepUv;
        acc += weight * inputTexture.SampleLevel(samplerState, p, 0.0).rgb;
        weight *= lamerdecay;
    }

    acc *= 1.0 - 1.25 * dot(d, d);
    float3 x = saturate((acc - 0.2) / 1.3);
    return float4(sqrt(x * x * (3.0 - 2.0 * x)), 1.0);
}

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    // One exit only: the bypass copies the input.
    float4 result;
    if (int(lamerbypass) == 1)
        result = inputTexture.SampleLevel(samplerState, i.uv, 0.0);
    else
        result = lightRays(i.uv);
    return result;
}
