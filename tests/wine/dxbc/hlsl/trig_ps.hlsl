#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  return float4(sin(x * 2.0), cos(y * 2.0), sin(x) * cos(x + p0.x), tan(x * 0.5));
}
