// The capture's soundtrack: the song as the show's stream plays it (one pass,
// 44,100 Hz stereo float), cut to a span of frames without resampling.
#pragma once

#include <cstdint>

// Renders frames [first, first + count) of one pass through `module` into
// `out` (2 * count floats). Returns createPlayer's result (0 on success).
int32_t renderSoundtrack(const uint8_t* module, uint64_t moduleSize, uint64_t first, uint64_t count, float* out);
