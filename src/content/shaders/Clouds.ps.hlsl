// Procedural clouds seen through a coarse pixel grid, tone-stepped with a
// 2 x 2 ordered dither, over a pink sky.
#include "ScreenTypes.hlsli"
#include "ContextBuffer.hlsli"
#include "ShaderMath.hlsli"

static const float3 kSkyTint = float3(1.0, 0.467, 0.659);

float cloudHash(float m)
{
    return frac(sin(m) * 753.5453);
}

// Value noise on a lattice hashed as x + 157 y + 113 z.
float valueNoise(float3 x)
{
    float3 i = floor(x);
    float3 g = frac(x);
    float3 s = g * g * (3.0 - 2.0 * g);
    float k = i.x + 157.0 * i.y + 113.0 * i.z;
    float n00 = mixLinear(cloudHash(k + 0.0), cloudHash(k + 1.0), s.x);
    float n10 = mixLinear(cloudHash(k + 157.0), cloudHash(k + 158.0), s.x);
    float n01 = mixLinear(cloudHash(k + 113.0), cloudHash(k + 114.0), s.x);
    float n11 = mixLinear(cloudHash(k + 270.0), cloudHash(k + 271.0), s.x);
    return mixLinear(mixLinear(n00, n10, s.y), mixLinear(n01, n11, s.y), s.z);
}

// Three octaves: lattice scale and amplitude.
static const float kOctaveScale[3] = { 0.051, 0.111, 0.211 };
static const float kOctaveAmplitude[3] = { 0.55, 0.25, 0.125 };

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    // precise: the dither below tests the parity of these products as they
    // round in floats, so no algebraic shortcut may cancel the division.
    precise float pu = floor(900.0 * i.uv.x) / 900.0;
    precise float pv = floor(300.0 * i.uv.y) / 300.0;
    float2 n = float2(2.0 * pu - 1.0, 2.0 * pv - 1.0);

    const float3 eye = float3(0.0, 0.0, -1.5);
    const float3 target = float3(-3.4, 4.0, 0.0);
    float3 f = normalize(target - eye);
    float3 r = normalize(float3(f.z, 0.0, -f.x));
    float3 w = float3(f.y * r.z - f.z * r.y, f.z * r.x - f.x * r.z, f.x * r.y - f.y * r.x);
    float3 d = normalize(f + n.x * r + n.y * w);

    // Distance from e + d to the cloud plane at height 20.
    float t = (20.0 - d.y) / d.y;

    float cl = 0.0;
    if (t >= 0.0)
    {
        float fade = powPositive(smoothStep(0.0, 1.0, 90.0 / t), 1.5)
                   * powPositive(smoothStep(0.0, 1.0, t / 35.0), 1.5);
        float3 h = d * (1.3 * t);
        float3 q = h + time * float3(-0.2, 0.74, 2.0) + float3(0.0, 100.0 * sin(h.y), 0.0);
        float density = 0.0;
        for (int o = 0; o < 3; ++o)
            density += (valueNoise(q * kOctaveScale[o]) - 0.4) * kOctaveAmplitude[o];
        cl = smoothStep(0.0, 0.8, density + 0.2) * fade;
    }

    float a = 1.5 * cl;
    float tone = min(a, 1.0) * a;

    // Ordered dither onto steps of 0.25, decided per grid cell parity.
    float rem = signedFrac(tone / 0.25) * 0.25;
    precise float columnHalf = pu * 900.0 / 2.0;
    precise float rowHalf = pv * 300.0 / 2.0;
    bool ex = frac(columnHalf) * 2.0 < 1.0;
    bool ey = frac(rowHalf) * 2.0 < 1.0;
    float threshold = ex ? (ey ? 0.05 : 0.15) : (ey ? 0.2 : 0.1);
    if (rem > threshold)
        tone += 0.25;
    tone = tone - signedFrac(4.0 * tone) / 4.0;

    return float4(kSkyTint * (1.0 + tone * saturate(tone)), 1.0);
}
