#pragma once
#include <cstdint>
#include <vector>

// Encodes 8-bit RGBA pixels (row by row from the top) as a PNG. Every row's
// filter is chosen by the usual smallest-sum-of-differences rule, then a few
// deflate strategies are tried at the highest level and the smallest stream
// kept, so the output depends only on the pixels and the zlib version.
// Returns false when zlib fails.
bool encodePngRgba(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>& png);
