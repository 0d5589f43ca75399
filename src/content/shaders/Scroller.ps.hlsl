// The scrolling text line drawn from the signed-distance glyph atlas, with
// outlines and a melting feedback trail. The atlas is stored bottom-up, so
// the text comes out upside down here and upright after the present flip.
#include "ScreenTypes.hlsli"
#include "ContextBuffer.hlsli"
#include "ShaderMath.hlsli"
#include "ScrollText.hlsli"

Texture2D Font : register(t0);
Texture2D Feedback : register(t1);
SamplerState smpLinearRepeat : register(s2);
SamplerState smpNearestRepeat : register(s5);

// 4 x 4 Bayer matrix, stretched over 2 x 2 pixel blocks.
static const float kBayer[16] =
{
    0.0 / 16.0, 8.0 / 16.0, 2.0 / 16.0, 10.0 / 16.0,
    12.0 / 16.0, 4.0 / 16.0, 14.0 / 16.0, 6.0 / 16.0,
    3.0 / 16.0, 11.0 / 16.0, 1.0 / 16.0, 9.0 / 16.0,
    15.0 / 16.0, 7.0 / 16.0, 13.0 / 16.0, 5.0 / 16.0,
};

// Rows of the rotation that drives the trail-direction field.
static const float3 kTrailRow0 = float3(-0.948683, 0.169031, -0.267261);
static const float3 kTrailRow1 = float3(0.000000, 0.845154, 0.534522);
static const float3 kTrailRow2 = float3(0.316228, 0.507093, -0.801784);

static const float kAdvance = 0.38;
// The text plus one character of gap.
static const float kPeriod = 0.38 * 433.0 + 0.38;

// The four outline probes around a point, as multiples of the outline width.
static const float2 kOutlineProbes[4] =
{
    float2(1.0, 0.0),
    float2(-1.0, 0.0),
    float2(0.0, 1.0),
    float2(0.0, -1.0),
};

// Signed distance to the nearest glyph outline, in half cells, negative
// inside. Glyphs advance by 0.38 of a cell and overlap their neighbours.
float textDistance(float2 p)
{
    float a = p.x + SCROLLSPEED;
    float s = kPeriod * signedFrac(a / kPeriod);
    if (s < 0.0)
        s += kPeriod;
    int k = int(floor(s / kAdvance));

    float D = 1e10;
    for (int n = -2; n <= 1; ++n)
    {
        int j = k + n;
        if (j >= 0 && j < int(kScrollTextLength))
        {
            float2 local = saturate(float2(s - kAdvance * float(j + 1), p.y + 0.5));
            uint c = kScrollText[j];
            float2 cell = float2(float(c & 15u) / 16.0, (15.0 - float(c >> 4)) / 16.0);
            float alpha = Font.SampleLevel(smpNearestRepeat, cell + local / 16.0, 0.0).a;
            D = min(D, 2.0 * alpha - 1.0);
        }
    }
    return D;
}

float textMask(float2 p)
{
    return 1.0 - smoothStep(0.005, 0.0055, textDistance(p));
}

float2 trailDirection(float2 uv, float yc)
{
    float3 P = float3(floor(16.0 * uv.x) / 16.0, floor(8.0 * uv.y) / 8.0, 1.0);
    float3 A = float3(0.0, 0.0, 0.0);
    for (int n = 0; n < 5; ++n)
    {
        float3 t = float3(dot(kTrailRow0, P), dot(kTrailRow1, P), dot(kTrailRow2, P));
        t = float3(t.x + sin(t.y), t.y + sin(t.z), t.z + sin(t.x));
        float2 e = float2(cos(t.y) * sin(t.y) - cos(t.z) * sin(t.x),
                          cos(t.z) * sin(t.z) - cos(t.x) * sin(t.y));
        A = NOISE_STRENGTH * (A + float3(e, 1.0));
        P = 2.0 * t;
    }
    // With no noise A is zero and the direction is not a number; the
    // saturating clamps further on turn that trail into black.
    float2 dir = A.xy / A.z;
    if (!(yc > 0.0))
        dir = -dir;
    return normalize(dir) * 0.003;
}

float4 pixel_main(ScreenVertex i) : SV_TARGET
{
    float2 uv = i.uv;
    float aspect = resolution.x / resolution.y;
    float yc = 2.0 * uv.y - 1.0;
    float2 q = 1.2 * float2(aspect * (2.0 * uv.x - 1.0), yc);

    float m0 = textMask(q);

    float2 w = (abs(ddx_coarse(q)) + abs(ddy_coarse(q))) * OUTLINES;
    float mMax = m0;
    for (int o = 0; o < 4; ++o)
        mMax = max(mMax, textMask(q + kOutlineProbes[o] * w));
    float outline = saturate(mMax - m0);

    float2 trailUv = uv + trailDirection(uv, yc);
    float f;
    if (IS_NEAREST_SAMPLING > 0.5)
        f = Feedback.SampleLevel(smpNearestRepeat, trailUv, 0.0).r;
    else
        f = Feedback.SampleLevel(smpLinearRepeat, trailUv, 0.0).r;
    f = powPositive(saturate(f), 1.0 - MELT_GRADIENT_SPREAD);

    // The trail is cleared in a thin band along the middle of the line.
    float g = smoothStep(0.05, 0.1, abs(yc)) > 0.5 ? FEEDBACK_STRENGTH : 0.0;
    float x = saturate(g * f);

    x = saturate((x - 0.001) / 0.319) * 9.0;
    float level = floor(x);
    float fraction = x - level;
    float threshold = 0.5;
    if (BAYERON > 0.5)
    {
        uint bx = uint(floor(i.position.x / 2.0)) & 3u;
        uint by = uint(floor(i.position.y / 2.0)) & 3u;
        threshold = kBayer[bx + 4u * by] + 0.03125;
    }
    if (fraction > threshold)
        level += 1.0;
    float trail = saturate(min(level, 8.0) / 9.0) / 3.0;

    float grey = saturate(trail + m0) * (1.0 - outline);
    return float4(grey, grey, grey, 1.0);
}
