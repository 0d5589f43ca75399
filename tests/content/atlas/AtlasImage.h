#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The embedded atlas, decoded once for the tests.
struct AtlasImage {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> rgba;

  const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
  // Pixel (x, y) of the cell of character `code`, y counted from the cell's top.
  const uint8_t* cell(int code, int x, int y) const;
};

const AtlasImage& decodedAtlas();
