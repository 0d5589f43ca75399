#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  return float4(exp2(x), log2(y), exp(x * 0.5), pow(y, p0.w)) + float4(0.0, log(y), 0.0, 0.0);
}
