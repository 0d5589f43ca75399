// The full-screen triangle with its texture coordinate scaled and offset by
// the constant buffer (read from the vertex stage).
cbuffer ContextBuffer : register(b8) {
  float4 p0;
};

struct VSOut {
  float4 position : SV_POSITION;
  float2 uv : TEXCOORD0;
};

VSOut vertex_main(uint id : SV_VertexID) {
  VSOut o;
  float x = (float)((id << 1) & 2);
  float y = (float)(id & 2);
  o.position = float4(2.0 * x - 1.0, 1.0 - 2.0 * y, 0.0, 1.0);
  o.uv = float2(x, y) * p0.xy + p0.zw;
  return o;
}
