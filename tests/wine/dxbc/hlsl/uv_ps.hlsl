struct PSIn {
  float4 position : SV_POSITION;
  float2 uv : TEXCOORD0;
};

float4 pixel_main(PSIn i) : SV_TARGET {
  return float4(i.uv, i.position.x, i.position.y);
}
