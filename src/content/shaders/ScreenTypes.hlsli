// What the full-screen triangle hands to every pixel program.
#ifndef THAW_SCREEN_TYPES_HLSLI
#define THAW_SCREEN_TYPES_HLSLI

struct ScreenVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
};

// One triangle covering the target: ids 0, 1, 2 give corners (0,0), (2,0),
// (0,2) in texture units, i.e. a triangle twice the target's size.
float2 screenTriangleCorner(uint id)
{
    return float2(float((id << 1) & 2u), float(id & 2u));
}

float4 screenTrianglePosition(float2 corner)
{
    return float4(2.0 * corner.x - 1.0, 1.0 - 2.0 * corner.y, 0.0, 1.0);
}

#endif
