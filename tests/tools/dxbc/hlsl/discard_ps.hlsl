// Uses discard, which the translator does not support.
float4 pixel_main(float4 position : SV_POSITION, float2 uv : TEXCOORD0) : SV_TARGET {
  if (uv.x > 0.5) discard;
  return float4(uv, 0.0, 1.0);
}
