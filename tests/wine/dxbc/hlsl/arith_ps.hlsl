#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  return float4(x * y + p0.x, (x - p0.y) / y, min(x, y) - max(x, -y), -abs(x) * p0.z);
}
