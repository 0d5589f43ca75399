#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  int a = (int)floor(x * 2.0);
  float r0 = x < y - 2.0 ? 1.0 : 2.0;
  float r1 = (x >= p0.x) ? x : y;
  float r2 = (a == k0.x || a == -k0.x) ? 5.0 : ((a != 0 && y > 2.0) ? 6.0 : 7.0);
  float r3;
  if (x > 0.0) {
    if (y > 2.0) r3 = x * y; else r3 = x + y;
  } else {
    r3 = -y;
  }
  return float4(r0, r1, r2, r3);
}
