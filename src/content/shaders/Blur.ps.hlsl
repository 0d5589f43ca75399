// Tilt blur: sharp along the middle rows, a widening Gaussian towards the
// top and bottom. Offsets are screen pixels whatever the input's size.
#include "ScreenTypes.hlsli"
#include "ContextBuffer.hlsli"
#include "ShaderMath.hlsli"

Texture2D InputTexture : register(t0);
SamplerState LinearSampler : register(s0);

static const int kRadius = 8;
static const float kTwoPi = 6.28318530718;

float4 gaussian(float2 uv, float sigma)
{
    float twoSigmaSq = 2.0 * sigma * sigma;
    float norm = kTwoPi * sigma * sigma;
    float4 sum = float4(0.0, 0.0, 0.0, 0.0);
    for (int x = -kRadius; x <= kRadius; ++x)
    {
        for (int y = -kRadius; y <= kRadius; ++y)
        {
            float fx = float(x);
            float fy = float(y);
            float weight = exp(-(fx * fx + fy * fy) / twoSigmaSq) / norm;
            float2 offset = float2(fx / resolution.x, fy / resolution.y);
            float3 tap = InputTexture.SampleLevel(LinearSampler, uv + offset, 0.0).rgb;
            sum += weight * float4(tap, 1.0);
        }
    }
    return sum / sum.w;
}

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    float d = saturate(abs(i.uv.y - 0.5) / 1.5);
    float sigma = (25.0 - 0.01) * powPositive(d, 1.5) + 0.01;
    // A single exit: the sharp middle rows take the input as it is.
    float4 result;
    if (sigma < 0.1)
    {
        result = InputTexture.SampleLevel(LinearSampler, i.uv, 0.0);
    }
    else
    {
        result = gaussian(i.uv, sigma);
    }
    return result;
}
