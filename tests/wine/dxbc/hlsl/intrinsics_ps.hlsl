#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  return float4(lerp(x, y, p0.x), smoothstep(-1.0, 1.5, x) + step(0.5, x) * 10.0,
                sign(x) * 3.0 + fmod(y * 5.0, 1.5), clamp(x, -0.5, p0.y));
}
