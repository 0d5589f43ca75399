// libFuzzer target: any bytes through createPlayer, setMaxLoops and
// generateFrames. Besides the sanitizers' checks it traps when the carved
// regions do not fill the allocation exactly, when a frame is not a finite
// number, or when the optimised mixer and the plain frame-by-frame order
// disagree in a single bit.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "xm/Loader.h"
#include "xm/ModulePlayer.h"
#include "xm/PlayerRecords.h"
#include "xm/Voices.h"

namespace {

// Players beyond this size are legitimate but only test the allocator.
constexpr uint64_t kMaxPlayerBytes = uint64_t(64) << 20;
// Channel-frames mixed per input, to keep each run short.
constexpr uint64_t kChannelFrameBudget = uint64_t(1) << 18;
constexpr uint64_t kMaxFrames = 44100;
constexpr uint64_t kChunks[5] = {4096, 1, 333, 0, 2048};

// Renders `frames` frames in the chunk pattern above, with either mixer.
void renderChunks(ModulePlayer* player, float* out, uint64_t frames, bool reference) {
    uint64_t done = 0;
    for (uint32_t i = 0; done < frames; ++i) {
        uint64_t n = kChunks[i % 5];
        if (n > frames - done) n = frames - done;
        if (reference) generateFramesReference(player, out + 2 * done, n);
        else generateFrames(player, out + 2 * done, n);
        done += n;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (checkModuleHeader(data, size) == 0 && measurePlayer(data, size) > kMaxPlayerBytes) return 0;

    // The last byte picks the output rate and loop limit, so odd rates and
    // unlimited playback get their share.
    static const uint32_t rates[4] = {44100, 8000, 0, 96000};
    uint8_t knob = size > 0 ? data[size - 1] : 0;
    ModulePlayer* player = nullptr;
    ModulePlayer* plain = nullptr;
    if (createPlayer(&player, data, size, rates[knob & 3]) != kPlayerOk) return 0;
    if (createPlayer(&plain, data, size, rates[knob & 3]) != kPlayerOk) __builtin_trap();
    setMaxLoops(player, uint8_t((knob >> 2) & 3));
    setMaxLoops(plain, uint8_t((knob >> 2) & 3));

    const uint8_t* base = reinterpret_cast<const uint8_t*>(player);
    if (player->rowVisits + uint64_t(player->songLength) * 256 != base + player->allocSize) __builtin_trap();

    uint64_t channels = player->channelCount ? player->channelCount : 1;
    uint64_t frames = kChannelFrameBudget / channels;
    if (frames > kMaxFrames) frames = kMaxFrames;
    static std::vector<float> fast(2 * kMaxFrames), reference(2 * kMaxFrames);
    // The random waveform's seed is shared, so each run starts it afresh.
    resetRandomSeed();
    renderChunks(player, fast.data(), frames, false);
    resetRandomSeed();
    renderChunks(plain, reference.data(), frames, true);
    for (uint64_t k = 0; k < 2 * frames; ++k)
        if (!std::isfinite(fast[k])) __builtin_trap();
    if (memcmp(fast.data(), reference.data(), sizeof(float) * 2 * frames) != 0) __builtin_trap();
    freePlayer(player);
    freePlayer(plain);
    return 0;
}
