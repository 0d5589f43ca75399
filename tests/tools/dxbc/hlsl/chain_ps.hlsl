// A long chain of dependent operations: few values are alive at once.
cbuffer ContextBuffer : register(b8) { float4 p0; };
float4 pixel_main(float4 position : SV_POSITION, float2 uv : TEXCOORD0) : SV_TARGET {
  float a = uv.x * p0.x;
  float b = a + p0.y;
  float c = b * b - a;
  float d = c / (b + 3.0);
  float e = d * p0.z + c;
  float f = e - d * 0.5;
  float g = f * f + e;
  float h = g / (f + 5.0);
  float i = h * p0.w - g;
  float j = i + h * 0.25;
  float k = j * j - i;
  float l = k / (j + 7.0);
  return float4(l, k, j, i);
}
