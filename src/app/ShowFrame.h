// One frame of the show, whatever drives it: the camera from its tracks, the
// per-frame block, every track's value into its parameter, then the passes.
// Each program (the live show, the captures) owns its loop and calls this
// once per frame with the music time it chose.
#pragma once

#include <cstdint>

struct Show;

// Draws frame `index` at music time `time`; `elapsed` is the step from the
// previous frame. Reads screenWidth and screenHeight for the block.
void drawShowFrame(Show& show, uint32_t index, float time, float elapsed, float aspect);
