#include "snippet.hlsli"
// Less common shapes of control flow: do-while, a return from inside a loop,
// continue in an inner loop, and vector conditions.
float earlyOut(float x, float y) {
  for (int n = 0; n < k0.x; ++n) {
    if (x * n > y) return n * 10.0 + x;
  }
  return -1.0;
}

float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  int count = 0;
  float t = y;
  do {
    t -= 0.7;
    count++;
  } while (t > p0.x);
  float inner = 0.0;
  for (int a = 0; a < k0.y; ++a) {
    for (int b = 0; b < k0.y; ++b) {
      if (b == a) continue;
      if (b > a + 1) break;
      inner += a * 2 + b;
    }
  }
  float2 v = float2(x, y);
  float2 w = v > float2(0.0, 2.0) ? v : -v;
  float flags = (any(v > 1.5) ? 1.0 : 0.0) + (all(v > 0.0) ? 2.0 : 0.0);
  return float4(count + t, earlyOut(x, y), inner + flags * 100.0, w.x * 10.0 + w.y);
}
