#include "snippet.hlsli"
float4 pixel_main(PSIn i) : SV_TARGET {
  float x = snippetX(i), y = snippetY(i);
  // Bounds and skips come from the constant buffer, so the loops stay loops.
  float acc = 0.0;
  int visited = 0;
  for (int n = 0; n < k0.x; ++n) {
    if (n == k0.y) continue;
    if (acc > y * 10.0) break;
    acc += n * x + 1.0;
    visited++;
  }
  int steps = 0;
  float t = y;
  while (t < p0.x) {
    t = t * 1.5 + 0.25;
    steps++;
  }
  float nested = 0.0;
  for (int a = 0; a < k0.z; ++a)
    for (int b = 0; b <= a; ++b) nested += (a + 1) * (b + 1) * x;
  return float4(acc, visited, steps + t * 0.001, nested);
}
