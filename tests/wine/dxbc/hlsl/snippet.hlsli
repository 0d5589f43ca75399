// Shared by the translator's test programs: inputs come from the constant
// buffer at b8 and from the interpolated texture coordinate.
cbuffer ContextBuffer : register(b8) {
  float4 p0;
  float4 p1;
  int4 k0;
  uint4 k1;
};

struct PSIn {
  float4 position : SV_POSITION;
  float2 uv : TEXCOORD0;
};

// x in -1.75 .. 1.75 (steps of 0.5 on an 8-wide target), y in 0.6875 .. 3.3125.
float snippetX(PSIn i) { return i.uv.x * 4.0 - 2.0; }
float snippetY(PSIn i) { return i.uv.y * 3.0 + 0.5; }
