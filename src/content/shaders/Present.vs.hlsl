// Full-screen triangle for the final copy to the screen: the texture
// coordinate runs bottom-up, so the image is flipped vertically.
#include "ScreenTypes.hlsli"

ScreenVertex vertex_main(uint id : SV_VertexID)
{
    ScreenVertex o;
    o.position = screenTrianglePosition(screenTriangleCorner(id));
    o.uv = o.position.xy * 0.5 + 0.5;
    return o;
}
