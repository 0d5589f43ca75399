#include "Orrery/gfx/PassMath.h"

namespace Orrery::Gfx {

bool passIsActive(int32_t activation, float start, float end, float time, bool firstFrame) {
    switch (activation) {
    case ActivationMode::Always: return true;
    case ActivationMode::FirstFrame: return firstFrame;
    case ActivationMode::TimeWindow: return start <= time && time <= end;
    default: return false;
    }
}

uint32_t dispatchGroupCount(uint32_t threads) {
    uint32_t groups = threads / 8 + (threads % 8 ? 1 : 0);
    return groups ? groups : 1;
}

}  // namespace Orrery::Gfx
