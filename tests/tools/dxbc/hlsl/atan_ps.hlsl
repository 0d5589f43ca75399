// Uses atan2, which the translator does not support.
float4 pixel_main(float4 position : SV_POSITION, float2 uv : TEXCOORD0) : SV_TARGET {
  return float4(atan2(uv.y, uv.x), 0.0, 0.0, 1.0);
}
