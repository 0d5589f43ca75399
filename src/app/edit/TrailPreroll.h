// The melt trail is feedback: each frame melts the previous one. After a
// seek the picture is drawn as if the show had played up to it: the trail
// emptied as at the show's start, then the frames before it drawn unseen at
// the capture's step (60 a second), then the frame itself. Only the trail's
// pass runs in the unseen frames, but that pass (at the text layer's fixed
// size) is most of a frame's cost on a software rasterizer, so the frames
// drawn ahead are a choice: a second's worth gives the trail as playing
// leaves it, a quarter second most of its look. At least one: the text layer
// the later passes read is the trail's previous frame, empty right after
// the clear, so a frame drawn straight after it is black (as the show's
// very first frame is).
#pragma once

#include <cstdint>

#include "app/ShowSession.h"

constexpr uint32_t kDefaultPrerollFrames = 15;
constexpr uint32_t kMaxPrerollFrames = 600;
constexpr float kPrerollStep = 1.0f / 60.0f;

// Empties the trail and draws `frames` steps before `time` (fewer near the
// start). The next frame, at `time`, steps from `previousTime`.
void prerollTrail(ShowSession& session, uint32_t frames, uint32_t& frameIndex, float time, float& previousTime);

// Draws the frame at `time` again with the trail as it stands: every pass
// but the trail's, which reads the trail's last picture. For key changes
// while paused, at the cost of a frame without the trail's pass; a key that
// moves the trail itself shows once the trail is drawn again.
void drawHoldingTrail(ShowSession& session, uint32_t& frameIndex, float time);
