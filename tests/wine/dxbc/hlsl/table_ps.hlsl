#include "snippet.hlsli"
static const float kTable[8] = {0.5, -1.25, 3.0, 7.5, -0.125, 11.0, 2.25, 100.0};
static const uint kCodes[5] = {65, 66, 90, 32, 48};
static const float2 kPairs[3] = {float2(1.0, 2.0), float2(-3.0, 4.5), float2(0.25, -8.0)};
float4 pixel_main(PSIn i) : SV_TARGET {
  int idx = (int)(i.uv.x * 8.0);
  int row = (int)(i.uv.y * 8.0);
  uint c = kCodes[(idx + row) % 5];
  float2 pr = kPairs[(idx + k0.x) % 3];
  return float4(kTable[idx], kTable[(idx + k0.x) & 7] + kTable[2], float(c % 16u) + float(c / 16u) * 100.0,
                pr.x * 10.0 + pr.y);
}
