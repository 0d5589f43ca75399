// A precise value computed by an operation that takes several instructions:
// x % y becomes a divide, a rounding and a multiply-add. Every one of them is
// marked, not only the last.
cbuffer ContextBuffer : register(b8) { float4 p0; };
float4 pixel_main(float4 position : SV_POSITION, float2 uv : TEXCOORD0) : SV_TARGET {
  precise float2 wrapped = uv % p0.zw;
  float loose = uv.y * p0.x + p0.y;
  return float4(wrapped, loose, 1.0);
}
