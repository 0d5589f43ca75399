#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i);
  int idx = (int)(i.uv.x * 8.0);
  float arr[6];
  for (int n = 0; n < k0.x; ++n) arr[n] = n * x + p0.x;
  arr[k0.y] = -7.0;
  return float4(arr[idx % 6], arr[(idx + 1) % 6], arr[0], arr[5]);
}
