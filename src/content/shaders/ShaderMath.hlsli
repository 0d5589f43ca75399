// Small helpers shared by the pixel programs, written out so that every
// program evaluates them in the same order of operations.
#ifndef THAW_SHADER_MATH_HLSLI
#define THAW_SHADER_MATH_HLSLI

// t^2 (3 - 2t) with t = clamp((x - a) / (b - a), 0, 1).
float smoothStep(float a, float b, float x)
{
    float t = saturate((x - a) / (b - a));
    return t * t * (3.0 - 2.0 * t);
}

// Fractional part of |x| carrying the sign of x.
float signedFrac(float x)
{
    float f = frac(abs(x));
    return x < 0.0 ? -f : f;
}

// x^e for x >= 0, as exp2(e * log2(x)).
float powPositive(float x, float e)
{
    return exp2(log2(x) * e);
}

float3 powPositive3(float3 x, float e)
{
    return exp2(log2(x) * e);
}

float mixLinear(float a, float b, float t)
{
    return a + (b - a) * t;
}

#endif
