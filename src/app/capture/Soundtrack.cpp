#include "app/capture/Soundtrack.h"

#include "app/MusicClock.h"
#include "xm/ModulePlayer.h"

int32_t renderSoundtrack(const uint8_t* module, uint64_t moduleSize, uint64_t first, uint64_t count, float* out) {
    ModulePlayer* player = nullptr;
    const int32_t result = createPlayer(&player, module, moduleSize, kAudioSampleRate);
    if (result != kPlayerOk) return result;
    setMaxLoops(player, 1);

    // The frames before the span are played and dropped, so the span starts
    // in exactly the state the stream would have reached.
    float scratch[2 * 4096];
    for (uint64_t skipped = 0; skipped < first;) {
        const uint64_t n = first - skipped < 4096 ? first - skipped : 4096;
        generateFrames(player, scratch, n);
        skipped += n;
    }
    generateFrames(player, out, count);
    freePlayer(player);
    return kPlayerOk;
}
