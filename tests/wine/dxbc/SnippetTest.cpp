#include <gtest/gtest.h>

#include "OffscreenRender.h"

#define BLOB(name)                            \
  extern const unsigned char kBlob_##name[];  \
  extern const unsigned int kBlob_##name##Size;
BLOB(screen_vs)
BLOB(uv_ps)

TEST(Smoke, UvAndPosition) {
  OffscreenRenderer r;
  std::string error;
  ASSERT_TRUE(createRenderer(r, &error)) << error;
  DrawRequest req;
  req.vertexShader = kBlob_screen_vs;
  req.vertexShaderSize = kBlob_screen_vsSize;
  req.pixelShader = kBlob_uv_ps;
  req.pixelShaderSize = kBlob_uv_psSize;
  req.width = 8;
  req.height = 4;
  std::vector<float> px;
  ASSERT_TRUE(renderOffscreen(r, req, px, &error)) << error;
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 8; ++x) {
      size_t i = pixelIndex(req, x, y);
      EXPECT_NEAR(px[i], (x + 0.5f) / 8, 1e-5) << x << "," << y;
      EXPECT_NEAR(px[i + 1], (y + 0.5f) / 4, 1e-5);
      EXPECT_NEAR(px[i + 2], x + 0.5f, 1e-4);
      EXPECT_NEAR(px[i + 3], y + 0.5f, 1e-4);
    }
  destroyRenderer(r);
}
