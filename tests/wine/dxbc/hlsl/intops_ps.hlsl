#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  int a = (int)floor(snippetX(i) * 10.0);  // -18 .. 17
  uint u = (uint)i.position.x + k1.x;
  int q = a / k0.w;
  return float4(a * k0.x + (a >> 1), (a & 7) | k0.y, (a ^ k0.z) % 5 + q * 100,
                u / 3u + (u % 3u) * 1000u + (u << 2));
}
