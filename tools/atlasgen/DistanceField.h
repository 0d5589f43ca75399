#pragma once
#include <cstdint>
#include <vector>

// Exact Euclidean distance transforms over a square grid of samples.

// Squared distance from every sample to the nearest sample whose flag is set
// (0 on set samples; a large value when no sample is set). `flags` and the
// result hold size * size entries, row by row.
std::vector<float> squaredDistanceToSet(const std::vector<uint8_t>& flags, int size);

// Signed distance, in samples, from every sample's centre to the boundary of
// the shape `inside`: negative inside, positive outside. The boundary is taken
// half a sample beyond the last inside sample, so a straight edge between an
// inside and an outside sample lies at +-0.5.
std::vector<float> signedDistance(const std::vector<uint8_t>& inside, int size);
