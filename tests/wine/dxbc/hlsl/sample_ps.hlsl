#include "snippet.hlsli"
Texture2D Source : register(t0);
Texture2D Second : register(t1);
SamplerState LinearClamp : register(s0);
SamplerState LinearWrap : register(s2);
SamplerState PointClamp : register(s3);
SamplerState PointWrap : register(s5);
float4 pixel_main(PSIn i) : SV_TARGET {
  float4 a = Source.Sample(PointClamp, i.uv);
  float4 b = Source.SampleLevel(LinearClamp, i.uv, 0.0);
  float4 c = Second.Sample(PointWrap, i.uv + float2(0.5, 0.25));
  float4 d;
  if (p0.x > 0.5) d = Source.Sample(LinearWrap, i.uv + float2(0.5, 0.0));
  else d = Source.Sample(LinearClamp, i.uv);
  return float4(a.x + a.w * 10.0, b.y, c.z, d.x);
}
