// libFuzzer target: any bytes through createPlayer, setMaxLoops and
// generateFrames. Besides the sanitizers' checks it traps when the carved
// regions do not fill the allocation exactly, when a frame is not a finite
// number, or when the optimised mixer and the plain frame-by-frame order
// disagree in a single bit.
//
// Coverage comes from what the sequencer and the mixer meet, tick after tick,
// not from long steady stretches of audio, so every input plays only a short
// stretch, bounded in ticks and in channel-frames. A fixed share of inputs,
// picked by a hash of their bytes (so every input always gets the same
// treatment and a crash reproduces), plays a longer stretch through both
// mixers and has the outputs compared.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "xm/Loader.h"
#include "xm/ModulePlayer.h"
#include "xm/PlayerRecords.h"
#include "xm/Voices.h"

namespace {

// Players beyond these sizes are legitimate but cost more to build and free
// than a whole short run: only the deep inputs take them on.
constexpr uint64_t kMaxPlayerBytes = uint64_t(128) << 10;
constexpr uint64_t kMaxDeepPlayerBytes = uint64_t(64) << 20;

// Every input: at most this many channel-frames, and about this many
// channel-ticks at the module's initial speed (a tempo change may stretch or
// shrink that, but each frame runs at most one tick).
constexpr uint64_t kChannelFrameBudget = uint64_t(1) << 13;
constexpr uint64_t kChannelTickBudget = uint64_t(1) << 10;

// One input in kDeepShare: a stretch four times as long through both mixers.
constexpr uint64_t kDeepShare = 32;
constexpr uint64_t kDeepChannelFrameBudget = kChannelFrameBudget << 2;
constexpr uint64_t kDeepChannelTickBudget = kChannelTickBudget << 2;
// Room in the output buffers; no stretch above needs more.
constexpr uint64_t kMaxFrames = kDeepChannelFrameBudget;

// generateFrames is called with these counts in turn, so ticks are split at
// odd places and empty calls happen.
constexpr uint64_t kChunks[6] = {333, 1, 0, 2048, 97, 4096};

// Renders `frames` frames in the chunk pattern above, with either mixer.
void renderChunks(ModulePlayer* player, float* out, uint64_t frames, bool reference) {
    uint64_t done = 0;
    for (uint32_t i = 0; done < frames; ++i) {
        uint64_t n = kChunks[i % 6];
        if (n > frames - done) n = frames - done;
        if (reference) generateFramesReference(player, out + 2 * done, n);
        else generateFrames(player, out + 2 * done, n);
        done += n;
    }
}

// Cheap and deterministic: any mutation re-rolls whether an input goes deep.
uint64_t inputHash(const uint8_t* data, size_t size) {
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ size;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        memcpy(&word, data + i, 8);
        hash = (hash ^ word) * 0x100000001B3ull;
        hash ^= hash >> 29;
    }
    for (; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001B3ull;
    return hash ^ (hash >> 32);
}

// Frames of the first `ticks` ticks at the initial rate and BPM; every tick
// takes at least one frame.
uint64_t framesOfTicks(const ModulePlayer* player, uint64_t ticks) {
    if (player->bpm == 0) return kMaxFrames;  // the first tick never ends: no bound
    double perTick = std::ceil(double(player->sampleRate) / (double(player->bpm) * 0.4));
    if (perTick < 1.0) perTick = 1.0;
    double frames = perTick * double(ticks);
    return frames < double(kMaxFrames) ? uint64_t(frames) : kMaxFrames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool deep = inputHash(data, size) % kDeepShare == 0;
    if (checkModuleHeader(data, size) == 0 &&
        measurePlayer(data, size) > (deep ? kMaxDeepPlayerBytes : kMaxPlayerBytes))
        return 0;

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
    uint64_t frames = (deep ? kDeepChannelFrameBudget : kChannelFrameBudget) / channels;
    uint64_t ticks = (deep ? kDeepChannelTickBudget : kChannelTickBudget) / channels;
    uint64_t tickFrames = framesOfTicks(player, ticks > 0 ? ticks : 1);
    if (frames > tickFrames) frames = tickFrames;
    if (frames > kMaxFrames) frames = kMaxFrames;
    if (frames == 0) frames = 1;

    static std::vector<float> fast(2 * kMaxFrames), reference(2 * kMaxFrames);
    // The random waveform's seed is shared, so each run starts it afresh.
    resetRandomSeed();
    renderChunks(player, fast.data(), frames, false);
    for (uint64_t k = 0; k < 2 * frames; ++k)
        if (!std::isfinite(fast[k])) __builtin_trap();

    if (deep) {
        ModulePlayer* plain = nullptr;
        if (createPlayer(&plain, data, size, rates[knob & 3]) != kPlayerOk) __builtin_trap();
        setMaxLoops(plain, uint8_t((knob >> 2) & 3));
        resetRandomSeed();
        renderChunks(plain, reference.data(), frames, true);
        if (memcmp(fast.data(), reference.data(), sizeof(float) * 2 * frames) != 0) __builtin_trap();
        freePlayer(plain);
    }
    freePlayer(player);
    return 0;
}
