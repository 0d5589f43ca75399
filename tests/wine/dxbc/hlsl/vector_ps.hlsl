#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  float3 a = float3(x, y, p0.x);
  float3 c = cross(a, p1.xyz);
  float2 n = normalize(float2(x, y));
  return float4(c.x + c.y * 10.0 + c.z * 100.0, n.x, length(a) + distance(a.xy, p1.xy),
                dot(float4(a, 1.0), p1) + dot(a.xy, p0.zw));
}
