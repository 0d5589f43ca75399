#include "snippet.hlsli"
// Products with a constant matrix, both ways round, and a vector insert.
static const float3x3 kRotate = {
  -0.948683, 0.169031, -0.267261,
   0.0,      0.845154,  0.534522,
   0.316228, 0.507093, -0.801784,
};
float4 pixel_main(PSIn i) : SV_TARGET {
  float3 v = float3(snippetX(i), snippetY(i), p0.x);
  float3 a = mul(kRotate, v);
  float3 b = mul(v, kRotate);
  float3 c = v;
  c.y = p0.y * a.z;
  return float4(a.x + a.y * 10.0, a.z, b.x + b.y * 10.0 + b.z * 100.0, c.x + c.y + c.z);
}
