// libFuzzer target: any bytes through createPlayer, setMaxLoops and
// generateFrames. Besides the sanitizers' checks it traps when the carved
// regions do not fill the allocation exactly or when a frame is not a number.
#include <cmath>
#include <cstdint>
#include <vector>

#include "xm/Loader.h"
#include "xm/ModulePlayer.h"
#include "xm/PlayerRecords.h"

namespace {

// Players beyond this size are legitimate but only test the allocator.
constexpr uint64_t kMaxPlayerBytes = uint64_t(64) << 20;
// Channel-frames mixed per input, to keep each run short.
constexpr uint64_t kChannelFrameBudget = uint64_t(1) << 19;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (checkModuleHeader(data, size) == 0 && measurePlayer(data, size) > kMaxPlayerBytes) return 0;

    // The last byte picks the output rate and loop limit, so odd rates and
    // unlimited playback get their share.
    static const uint32_t rates[4] = {44100, 8000, 0, 96000};
    uint8_t knob = size > 0 ? data[size - 1] : 0;
    ModulePlayer* player = nullptr;
    if (createPlayer(&player, data, size, rates[knob & 3]) != kPlayerOk) return 0;
    setMaxLoops(player, uint8_t((knob >> 2) & 3));

    const uint8_t* base = reinterpret_cast<const uint8_t*>(player);
    if (player->rowVisits + uint64_t(player->songLength) * 256 != base + player->allocSize) __builtin_trap();

    uint64_t channels = player->channelCount ? player->channelCount : 1;
    uint64_t frames = kChannelFrameBudget / channels;
    if (frames > 44100) frames = 44100;
    static std::vector<float> out(2 * 4096);
    static const uint64_t chunks[5] = {4096, 1, 333, 0, 2048};
    uint64_t done = 0;
    for (uint32_t i = 0; done < frames; ++i) {
        uint64_t n = chunks[i % 5];
        if (n > frames - done) n = frames - done;
        generateFrames(player, out.data(), n);
        for (uint64_t k = 0; k < 2 * n; ++k)
            if (std::isnan(out[k]) || std::isinf(out[k])) __builtin_trap();
        done += n;
        if (i > 100000) break;  // only 0-frame chunks would get here
    }
    freePlayer(player);
    return 0;
}
