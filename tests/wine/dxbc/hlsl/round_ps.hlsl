#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float t = snippetX(i) * 1.3 + snippetY(i) * p0.x;
  return float4(floor(t), ceil(t), trunc(t), round(t));
}
