// Each program exercises one family of instructions; the pixels it draws are
// compared with the same arithmetic done here on the CPU, so a mistranslated
// instruction shows up in the test named after its family.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "OffscreenRender.h"

#define BLOB(name)                            \
  extern const unsigned char kBlob_##name[];  \
  extern const unsigned int kBlob_##name##Size;
BLOB(screen_vs)
BLOB(scaled_vs)
BLOB(uv_ps)
BLOB(arith_ps)
BLOB(math_ps)
BLOB(vector_ps)
BLOB(round_ps)
BLOB(trig_ps)
BLOB(explog_ps)
BLOB(intops_ps)
BLOB(select_ps)
BLOB(loop_ps)
BLOB(table_ps)
BLOB(localarray_ps)
BLOB(saturate_ps)
BLOB(intrinsics_ps)
BLOB(deriv_ps)
BLOB(sample_ps)
BLOB(flow_ps)
BLOB(matrix_ps)

namespace {

struct Blob {
  const char* name;
  const unsigned char* data;
  unsigned size;
};
#define ENTRY(name) {#name, kBlob_##name, kBlob_##name##Size}
const Blob kPixelBlobs[] = {
    ENTRY(uv_ps),    ENTRY(arith_ps),      ENTRY(math_ps),       ENTRY(vector_ps),
    ENTRY(round_ps), ENTRY(trig_ps),       ENTRY(explog_ps),     ENTRY(intops_ps),
    ENTRY(select_ps), ENTRY(loop_ps),      ENTRY(table_ps),      ENTRY(localarray_ps),
    ENTRY(saturate_ps), ENTRY(intrinsics_ps), ENTRY(deriv_ps),   ENTRY(sample_ps),
    ENTRY(flow_ps),    ENTRY(matrix_ps),
};

// Mirrors the constant buffer of snippet.hlsli.
struct Constants {
  float p0[4] = {0, 0, 0, 0};
  float p1[4] = {0, 0, 0, 0};
  int32_t k0[4] = {0, 0, 0, 0};
  uint32_t k1[4] = {0, 0, 0, 0};
};

constexpr uint32_t kSize = 8;

struct Pixel {
  uint32_t px, py;
  float u, v, x, y;
};

struct Expect {
  float value[4];
  float tolerance[4];
  bool check[4] = {true, true, true, true};
};

class Snippets : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(createRenderer(renderer_, &error_)) << error_; }
  void TearDown() override { destroyRenderer(renderer_); }

  // Draws the program over an 8 x 8 float target and compares every pixel.
  void run(const unsigned char* ps, unsigned psSize, const Constants& c,
           const std::function<Expect(const Pixel&)>& expect,
           const TextureInput* textures = nullptr, uint32_t textureCount = 0) {
    DrawRequest req;
    req.vertexShader = kBlob_screen_vs;
    req.vertexShaderSize = kBlob_screen_vsSize;
    req.pixelShader = ps;
    req.pixelShaderSize = psSize;
    req.constants = &c;
    req.constantsSize = sizeof c;
    req.width = kSize;
    req.height = kSize;
    req.textures = textures;
    req.textureCount = textureCount;
    std::vector<float> out;
    ASSERT_TRUE(renderOffscreen(renderer_, req, out, &error_)) << error_;
    int failures = 0;
    for (uint32_t py = 0; py < kSize; ++py) {
      for (uint32_t px = 0; px < kSize; ++px) {
        Pixel p;
        p.px = px;
        p.py = py;
        p.u = (px + 0.5f) / kSize;
        p.v = (py + 0.5f) / kSize;
        p.x = p.u * 4.0f - 2.0f;
        p.y = p.v * 3.0f + 0.5f;
        Expect e = expect(p);
        for (int k = 0; k < 4; ++k) {
          if (!e.check[k]) continue;
          float got = out[pixelIndex(req, px, py) + k];
          bool ok = std::fabs(got - e.value[k]) <= e.tolerance[k];
          if (!ok && failures++ < 12)
            ADD_FAILURE() << "pixel (" << px << ", " << py << ") component " << k << ": got "
                          << got << ", expected " << e.value[k] << " +- " << e.tolerance[k];
        }
      }
    }
    EXPECT_EQ(failures, 0);
  }

  static Expect values(float a, float b, float c, float d, float tol) {
    Expect e;
    float v[4] = {a, b, c, d};
    for (int k = 0; k < 4; ++k) {
      e.value[k] = v[k];
      // Absolute tolerance for small values, relative for large ones.
      e.tolerance[k] = tol * std::max(1.0f, std::fabs(v[k]));
    }
    return e;
  }

  OffscreenRenderer renderer_;
  std::string error_;
};

float fracf(float x) { return x - std::floor(x); }

TEST_F(Snippets, EveryProgramIsAccepted) {
  EXPECT_TRUE(acceptsVertexShader(renderer_, kBlob_screen_vs, kBlob_screen_vsSize, &error_))
      << error_;
  EXPECT_TRUE(acceptsVertexShader(renderer_, kBlob_scaled_vs, kBlob_scaled_vsSize, &error_))
      << error_;
  for (const Blob& b : kPixelBlobs)
    EXPECT_TRUE(acceptsPixelShader(renderer_, b.data, b.size, &error_)) << b.name << ": " << error_;
}

TEST_F(Snippets, InterpolatedInputsAndPosition) {
  Constants c;
  run(kBlob_uv_ps, kBlob_uv_psSize, c, [](const Pixel& p) {
    return values(p.u, p.v, p.px + 0.5f, p.py + 0.5f, 1e-5f);
  });
}

TEST_F(Snippets, VertexProgramReadsConstants) {
  Constants c;
  c.p0[0] = 2.0f; c.p0[1] = 0.5f; c.p0[2] = 0.25f; c.p0[3] = -1.0f;
  DrawRequest req;
  req.vertexShader = kBlob_scaled_vs;
  req.vertexShaderSize = kBlob_scaled_vsSize;
  req.pixelShader = kBlob_uv_ps;
  req.pixelShaderSize = kBlob_uv_psSize;
  req.constants = &c;
  req.constantsSize = sizeof c;
  req.width = 8;
  req.height = 8;
  std::vector<float> px;
  ASSERT_TRUE(renderOffscreen(renderer_, req, px, &error_)) << error_;
  for (uint32_t y = 0; y < 8; ++y)
    for (uint32_t x = 0; x < 8; ++x) {
      size_t i = pixelIndex(req, x, y);
      EXPECT_NEAR(px[i], (x + 0.5f) / 8 * 2.0f + 0.25f, 1e-5) << x << ", " << y;
      EXPECT_NEAR(px[i + 1], (y + 0.5f) / 8 * 0.5f - 1.0f, 1e-5) << x << ", " << y;
    }
}

TEST_F(Snippets, FloatArithmetic) {
  Constants c;
  c.p0[0] = 0.5f; c.p0[1] = 0.25f; c.p0[2] = 1.5f;
  run(kBlob_arith_ps, kBlob_arith_psSize, c, [](const Pixel& p) {
    return values(p.x * p.y + 0.5f, (p.x - 0.25f) / p.y, std::min(p.x, p.y) - std::max(p.x, -p.y),
                  -std::fabs(p.x) * 1.5f, 1e-5f);
  });
}

TEST_F(Snippets, SqrtRsqFracDot) {
  Constants c;
  c.p0[0] = 0.5f; c.p0[1] = -1.0f; c.p0[2] = 2.0f;
  run(kBlob_math_ps, kBlob_math_psSize, c, [](const Pixel& p) {
    return values(std::sqrt(p.y), 1.0f / std::sqrt(p.y), fracf(p.x * 1.7f),
                  p.x * 0.5f - p.y + 2.0f, 1e-4f);
  });
}

TEST_F(Snippets, CrossNormalizeLengthDp4) {
  Constants c;
  c.p0[0] = 0.5f; c.p0[2] = 2.0f; c.p0[3] = -1.0f;
  c.p1[0] = 1.0f; c.p1[1] = 2.0f; c.p1[2] = 3.0f; c.p1[3] = 0.5f;
  run(kBlob_vector_ps, kBlob_vector_psSize, c, [](const Pixel& p) {
    float a[3] = {p.x, p.y, 0.5f};
    float cx = a[1] * 3 - a[2] * 2, cy = a[2] * 1 - a[0] * 3, cz = a[0] * 2 - a[1] * 1;
    float len = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    float dist = std::sqrt((p.x - 1) * (p.x - 1) + (p.y - 2) * (p.y - 2));
    return values(cx + cy * 10 + cz * 100, p.x / std::sqrt(p.x * p.x + p.y * p.y), len + dist,
                  p.x + 2 * p.y + 1.5f + 0.5f + 2 * p.x - p.y, 1e-4f);
  });
}

TEST_F(Snippets, FourRoundings) {
  Constants c;
  c.p0[0] = 0.1f;
  run(kBlob_round_ps, kBlob_round_psSize, c, [](const Pixel& p) {
    float t = p.x * 1.3f + p.y * 0.1f;
    Expect e = values(std::floor(t), std::ceil(t), std::trunc(t), std::nearbyint(t), 0.0f);
    // Values within rounding error of a tie or an integer could go either
    // way on the GPU; those components are not judged.
    float f = fracf(t);
    if (std::fabs(f - 0.5f) < 1e-4f) e.check[3] = false;
    if (f < 1e-4f || f > 1 - 1e-4f) e.check[0] = e.check[1] = e.check[2] = false;
    return e;
  });
}

TEST_F(Snippets, SinCosTan) {
  Constants c;
  c.p0[0] = 0.3f;
  run(kBlob_trig_ps, kBlob_trig_psSize, c, [](const Pixel& p) {
    return values(std::sin(p.x * 2), std::cos(p.y * 2), std::sin(p.x) * std::cos(p.x + 0.3f),
                  std::tan(p.x * 0.5f), 2e-3f);
  });
}

TEST_F(Snippets, ExpLogPow) {
  Constants c;
  c.p0[3] = 1.7f;
  run(kBlob_explog_ps, kBlob_explog_psSize, c, [](const Pixel& p) {
    return values(std::exp2(p.x), std::log2(p.y) + std::log(p.y), std::exp(p.x * 0.5f),
                  std::pow(p.y, 1.7f), 1e-3f);
  });
}

TEST_F(Snippets, IntegerArithmetic) {
  Constants c;
  c.k0[0] = 3; c.k0[1] = 16; c.k0[2] = 5; c.k0[3] = 4;
  c.k1[0] = 7;
  run(kBlob_intops_ps, kBlob_intops_psSize, c, [](const Pixel& p) {
    int a = int(std::floor(p.x * 10.0f));
    uint32_t u = p.px + 7;
    int q = a / 4;  // truncating
    // glslang turns HLSL's signed % into a floored modulo (OpSMod).
    int m = (a ^ 5) % 5;
    if (m != 0 && (m < 0) != (5 < 0)) m += 5;
    return values(float(a * 3 + (a >> 1)), float((a & 7) | 16), float(m + q * 100),
                  float(u / 3u + (u % 3u) * 1000u + (u << 2)), 0.0f);
  });
}

TEST_F(Snippets, ComparisonsSelectsAndBranches) {
  Constants c;
  c.p0[0] = 0.2f;
  c.k0[0] = 2;
  run(kBlob_select_ps, kBlob_select_psSize, c, [](const Pixel& p) {
    int a = int(std::floor(p.x * 2.0f));
    float r0 = p.x < p.y - 2.0f ? 1.0f : 2.0f;
    float r1 = p.x >= 0.2f ? p.x : p.y;
    float r2 = (a == 2 || a == -2) ? 5.0f : ((a != 0 && p.y > 2.0f) ? 6.0f : 7.0f);
    float r3 = p.x > 0 ? (p.y > 2 ? p.x * p.y : p.x + p.y) : -p.y;
    return values(r0, r1, r2, r3, 1e-5f);
  });
}

TEST_F(Snippets, LoopsWithBreakAndContinue) {
  Constants c;
  c.k0[0] = 10; c.k0[1] = 3; c.k0[2] = 4;
  c.p0[0] = 5.0f;
  run(kBlob_loop_ps, kBlob_loop_psSize, c, [](const Pixel& p) {
    float acc = 0;
    int visited = 0;
    for (int n = 0; n < 10; ++n) {
      if (n == 3) continue;
      if (acc > p.y * 10.0f) break;
      acc += n * p.x + 1.0f;
      visited++;
    }
    int steps = 0;
    float t = p.y;
    while (t < 5.0f) {
      t = t * 1.5f + 0.25f;
      steps++;
    }
    float nested = 0;
    for (int a = 0; a < 4; ++a)
      for (int b = 0; b <= a; ++b) nested += (a + 1) * (b + 1) * p.x;
    return values(acc, float(visited), steps + t * 0.001f, nested, 1e-4f);
  });
}

TEST_F(Snippets, ConstantArraysWithDynamicIndex) {
  Constants c;
  c.k0[0] = 3;
  static const float table[8] = {0.5f, -1.25f, 3.0f, 7.5f, -0.125f, 11.0f, 2.25f, 100.0f};
  static const uint32_t codes[5] = {65, 66, 90, 32, 48};
  static const float pairs[3][2] = {{1.0f, 2.0f}, {-3.0f, 4.5f}, {0.25f, -8.0f}};
  run(kBlob_table_ps, kBlob_table_psSize, c, [](const Pixel& p) {
    uint32_t code = codes[(p.px + p.py) % 5];
    const float* pr = pairs[(p.px + 3) % 3];
    return values(table[p.px], table[(p.px + 3) & 7] + 3.0f,
                  float(code % 16) + float(code / 16) * 100.0f, pr[0] * 10 + pr[1], 0.0f);
  });
}

TEST_F(Snippets, LocalArrayWrittenAtRunTime) {
  Constants c;
  c.k0[0] = 6; c.k0[1] = 2;
  c.p0[0] = 0.5f;
  run(kBlob_localarray_ps, kBlob_localarray_psSize, c, [](const Pixel& p) {
    float arr[6];
    for (int n = 0; n < 6; ++n) arr[n] = n * p.x + 0.5f;
    arr[2] = -7.0f;
    return values(arr[p.px % 6], arr[(p.px + 1) % 6], arr[0], arr[5], 1e-5f);
  });
}

TEST_F(Snippets, SaturateTurnsNanIntoZero) {
  Constants c;  // p0.x / p0.y is 0 / 0
  run(kBlob_saturate_ps, kBlob_saturate_psSize, c, [](const Pixel& p) {
    auto sat = [](float v) { return std::min(std::max(v, 0.0f), 1.0f); };
    return values(0.0f, 0.0f, sat(p.x), sat(p.x * p.y), 1e-6f);
  });
}

TEST_F(Snippets, LerpSmoothstepStepSignFmodClamp) {
  Constants c;
  c.p0[0] = 0.3f; c.p0[1] = 0.75f;
  run(kBlob_intrinsics_ps, kBlob_intrinsics_psSize, c, [](const Pixel& p) {
    float t = std::min(std::max((p.x + 1.0f) / 2.5f, 0.0f), 1.0f);
    float smooth = t * t * (3 - 2 * t);
    float sign = p.x > 0 ? 1.0f : p.x < 0 ? -1.0f : 0.0f;
    return values(p.x + (p.y - p.x) * 0.3f, smooth + (p.x >= 0.5f ? 10.0f : 0.0f),
                  sign * 3 + std::fmod(p.y * 5, 1.5f), std::min(std::max(p.x, -0.5f), 0.75f),
                  1e-4f);
  });
}

TEST_F(Snippets, CoarseDerivatives) {
  Constants c;
  run(kBlob_deriv_ps, kBlob_deriv_psSize, c, [](const Pixel& p) {
    // Coarse derivatives hold one value per 2 x 2 quad.
    float qx = float(p.px & ~1u), qy = float(p.py & ~1u);
    return values(1.0f, 1.0f, 2 * qx + 2, 2 * qy + 2, 1e-4f);
  });
}

TEST_F(Snippets, DoWhileEarlyReturnInnerContinueVectorConditions) {
  Constants c;
  c.p0[0] = 0.4f;
  c.k0[0] = 6; c.k0[1] = 5;
  run(kBlob_flow_ps, kBlob_flow_psSize, c, [](const Pixel& p) {
    int count = 0;
    float t = p.y;
    do {
      t -= 0.7f;
      count++;
    } while (t > 0.4f);
    float early = -1.0f;
    for (int n = 0; n < 6; ++n)
      if (p.x * n > p.y) {
        early = n * 10.0f + p.x;
        break;
      }
    float inner = 0;
    for (int a = 0; a < 5; ++a)
      for (int b = 0; b < 5; ++b) {
        if (b == a) continue;
        if (b > a + 1) break;
        inner += a * 2 + b;
      }
    float wx = p.x > 0 ? p.x : -p.x, wy = p.y > 2 ? p.y : -p.y;
    float flags = ((p.x > 1.5f || p.y > 1.5f) ? 1.0f : 0.0f) + ((p.x > 0 && p.y > 0) ? 2.0f : 0.0f);
    return values(count + t, early, inner + flags * 100, wx * 10 + wy, 1e-4f);
  });
}

TEST_F(Snippets, ConstantMatrixProductsAndVectorInsert) {
  Constants c;
  c.p0[0] = 0.75f; c.p0[1] = -2.0f;
  static const float m[3][3] = {{-0.948683f, 0.169031f, -0.267261f},
                                {0.0f, 0.845154f, 0.534522f},
                                {0.316228f, 0.507093f, -0.801784f}};
  run(kBlob_matrix_ps, kBlob_matrix_psSize, c, [](const Pixel& p) {
    float v[3] = {p.x, p.y, 0.75f};
    float a[3], b[3];
    for (int r = 0; r < 3; ++r) {
      a[r] = m[r][0] * v[0] + m[r][1] * v[1] + m[r][2] * v[2];  // mul(M, v): rows
      b[r] = v[0] * m[0][r] + v[1] * m[1][r] + v[2] * m[2][r];  // mul(v, M): columns
    }
    return values(a[0] + a[1] * 10, a[2], b[0] + b[1] * 10 + b[2] * 100,
                  v[0] + -2.0f * a[2] + v[2], 1e-4f);
  });
}

struct TestTexture {
  std::vector<float> rgba;
  uint32_t w, h;
  const float* at(int x, int y) const { return &rgba[(size_t(y) * w + x) * 4]; }
};

float bilinear(const TestTexture& t, float u, float v, int channel, bool wrap) {
  float tu = u * t.w - 0.5f, tv = v * t.h - 0.5f;
  int x0 = int(std::floor(tu)), y0 = int(std::floor(tv));
  float fx = tu - x0, fy = tv - y0;
  auto fetch = [&](int x, int y) {
    if (wrap) {
      x = ((x % int(t.w)) + int(t.w)) % int(t.w);
      y = ((y % int(t.h)) + int(t.h)) % int(t.h);
    } else {
      x = std::min(std::max(x, 0), int(t.w) - 1);
      y = std::min(std::max(y, 0), int(t.h) - 1);
    }
    return t.at(x, y)[channel];
  };
  float top = fetch(x0, y0) * (1 - fx) + fetch(x0 + 1, y0) * fx;
  float bottom = fetch(x0, y0 + 1) * (1 - fx) + fetch(x0 + 1, y0 + 1) * fx;
  return top * (1 - fy) + bottom * fy;
}

TEST_F(Snippets, SampleAndSampleLevel) {
  TestTexture src{{}, 4, 4}, second{{}, 4, 4};
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      float a[4] = {0.1f * i + 0.3f * j, 0.2f * i + 0.05f * j, 0.5f, (i + 4 * j) / 16.0f};
      src.rgba.insert(src.rgba.end(), a, a + 4);
      // Stored as 8-bit: use values that survive the round trip.
      float b[4] = {0, 0, float((i * 4 + j) * 15) / 255.0f, 1};
      second.rgba.insert(second.rgba.end(), b, b + 4);
    }
  TextureInput inputs[2];
  inputs[0].width = inputs[0].height = 4;
  inputs[0].format = DXGI_FORMAT_R32G32B32A32_FLOAT;
  inputs[0].rgba = src.rgba.data();
  inputs[1].width = inputs[1].height = 4;
  inputs[1].format = DXGI_FORMAT_R8G8B8A8_UNORM;
  inputs[1].rgba = second.rgba.data();
  for (float branch : {0.0f, 0.7f}) {
    SCOPED_TRACE(branch > 0.5f ? "linear wrap branch" : "linear clamp branch");
    Constants c;
    c.p0[0] = branch;
    run(kBlob_sample_ps, kBlob_sample_psSize, c, [&](const Pixel& p) {
      const float* a = src.at(int(p.u * 4), int(p.v * 4));
      int cx = int(std::floor((p.u + 0.5f) * 4)) % 4, cy = int(std::floor((p.v + 0.25f) * 4)) % 4;
      float d = branch > 0.5f ? bilinear(src, p.u + 0.5f, p.v, 0, true)
                              : bilinear(src, p.u, p.v, 0, false);
      Expect e = values(a[0] + a[3] * 10, bilinear(src, p.u, p.v, 1, false),
                        second.at(cx, cy)[2], d, 5e-3f);
      e.tolerance[0] = e.tolerance[2] = 1e-5f;
      return e;
    }, inputs, 2);
  }
}

}  // namespace
