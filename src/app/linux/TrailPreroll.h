// The melt trail is feedback: each frame melts the previous one. After a
// seek the picture is drawn as if the show had played up to it: the trail
// emptied as at the show's start, then the preceding second drawn unseen at
// the capture's step (60 a second), then the frame itself.
#pragma once

#include <cstdint>

#include "app/ShowSession.h"

constexpr uint32_t kPrerollSteps = 60;
constexpr float kPrerollStep = 1.0f / 60.0f;

// Empties the trail and draws the second before `time` (less near the
// start). The next frame, at `time`, steps from `previousTime`.
void prerollTrail(ShowSession& session, uint32_t& frameIndex, float time, float& previousTime);
