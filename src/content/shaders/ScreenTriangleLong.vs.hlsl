// Full-screen triangle whose texture coordinate is derived back from the
// clip position; same values as the short form.
#include "ScreenTypes.hlsli"

ScreenVertex vertex_main(uint id : SV_VertexID)
{
    ScreenVertex o;
    o.position = screenTrianglePosition(screenTriangleCorner(id));
    o.uv = float2(o.position.x, -o.position.y) * 0.5 + 0.5;
    return o;
}
