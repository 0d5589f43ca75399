// Precise values next to ordinary ones: only the arithmetic that computes a
// precise value is marked, in the components it writes.
cbuffer ContextBuffer : register(b8) { float4 p0; };
float4 pixel_main(float4 position : SV_POSITION, float2 uv : TEXCOORD0) : SV_TARGET {
  precise float2 cell = floor(uv * 900.0) / 900.0;
  precise float half = cell.x * 900.0 / 2.0;
  float loose = uv.y * p0.x + p0.y;
  return float4(cell, half, loose);
}
