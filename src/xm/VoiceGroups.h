// The mixer's grouped loops: neighbouring voices mixed together, frame by
// frame, bit for bit as the plain order mixes them one after the other.
#pragma once

#include <cstdint>

#include "xm/PlayerRecords.h"

// The most voices mixed together.
constexpr uint32_t kGroupSize = 4;

// Whether the grouped loops take this active voice; others are mixed alone.
bool fitsGroup(const Channel& channel);

// Adds `count` voices of one sample width, neighbours in channel order, to
// `frames` frames of `out`, each frame's values in channel order. Voices that
// run out drop out; `channels` is reordered but keeps the channel order.
void mixGroup(Channel** channels, uint32_t count, float* out, uint64_t frames, float rampStep);
