// Full-screen triangle; texture (0,0) is the top-left of the target.
#include "ScreenTypes.hlsli"

ScreenVertex vertex_main(uint id : SV_VertexID)
{
    float2 corner = screenTriangleCorner(id);
    ScreenVertex o;
    o.position = screenTrianglePosition(corner);
    o.uv = corner;
    return o;
}
