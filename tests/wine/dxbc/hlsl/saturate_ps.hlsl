#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  float nan = p0.x / p0.y;  // 0 / 0 from the constant buffer
  return float4(saturate(nan), clamp(nan * y, 0.0, 1.0), saturate(x), clamp(x * y, 0.0, 1.0));
}
