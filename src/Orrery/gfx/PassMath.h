// Per-frame decisions of the pass list that need no Direct3D: whether a pass
// runs this frame, and how many thread groups a compute pass dispatches.
#pragma once

#include <cstdint>

namespace Orrery::Gfx {

namespace ActivationMode {
enum Value : int32_t { Always = 0, FirstFrame = 1, TimeWindow = 2 };
}

// Always runs; FirstFrame while `firstFrame` is set; TimeWindow when
// start <= time <= end; any other mode never runs.
bool passIsActive(int32_t activation, float start, float end, float time, bool firstFrame);

// Thread groups along one axis for `threads` threads in groups 8 wide:
// ceil(threads / 8), at least 1.
uint32_t dispatchGroupCount(uint32_t threads);

}  // namespace Orrery::Gfx
