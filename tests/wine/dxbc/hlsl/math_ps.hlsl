#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  return float4(sqrt(y), rsqrt(y), frac(x * 1.7), dot(float3(x, y, 1.0), p0.xyz));
}
