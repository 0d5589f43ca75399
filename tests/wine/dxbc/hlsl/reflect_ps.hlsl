// Constant buffer members of several shapes, for the resource definitions:
// both matrix layouts with rows and columns that differ, integers packed
// behind a matrix, an array.
cbuffer ContextBuffer : register(b8) {
  float4 base;
  column_major float3x2 tall;
  row_major float2x3 wide;
  int count;
  uint mask;
  float2 pairs[3];
};

float4 pixel_main(float4 position : SV_POSITION, float2 uv : TEXCOORD0) : SV_TARGET {
  return base * uv.x + float4(float(count), float(mask), pairs[1]);
}
