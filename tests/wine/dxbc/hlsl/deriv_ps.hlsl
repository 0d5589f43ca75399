#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float px = i.uv.x * 8.0, py = i.uv.y * 8.0;
  return float4(ddx_coarse(px), ddy_coarse(py), ddx_coarse(px * px), ddy_coarse(py * py + px));
}
