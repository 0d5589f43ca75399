#include "app/SongRender.h"

#include <cmath>
#include <cstdlib>

#include "app/MusicClock.h"
#include "xm/ModulePlayer.h"
#include "xm/PlayerRecords.h"

namespace {

bool isSilenced(const ModulePlayer* player) { return player->maxLoops != 0 && player->loopCount >= player->maxLoops; }

}  // namespace

int32_t renderWholeSong(SongRender& song, const uint8_t* module, uint64_t moduleSize, uint64_t maxFrames) {
    song = SongRender{nullptr, 0};
    ModulePlayer* player = nullptr;
    const int32_t result = createPlayer(&player, module, moduleSize, kAudioSampleRate);
    if (result != kPlayerOk) return result;
    setMaxLoops(player, 1);

    // Grown in steps; the song's length is known only once it ends.
    uint64_t capacity = 0;
    float tick[2];
    while (song.frames < maxFrames) {
        // The song can only fall silent on a tick, so a tick's first frame
        // is rendered alone and checked; the rest of the tick follows.
        const bool tickFrame = player->samplesLeftInTick <= 0.0f;
        uint64_t count = 1;
        if (!tickFrame) {
            const float left = std::ceil(player->samplesLeftInTick);
            count = left < 4096.0f ? uint64_t(left) : 4096;
        }
        if (count > maxFrames - song.frames) count = maxFrames - song.frames;
        if (song.frames + count > capacity) {
            const uint64_t wanted = capacity ? capacity * 2 : uint64_t(kAudioSampleRate) * 64;
            float* grown = static_cast<float*>(std::realloc(song.samples, sizeof(float) * 2 * wanted));
            if (!grown) {
                freePlayer(player);
                freeSongRender(song);
                return kPlayerOutOfMemory;
            }
            song.samples = grown;
            capacity = wanted;
        }
        float* out = tickFrame ? tick : song.samples + 2 * song.frames;
        generateFrames(player, out, count);
        if (tickFrame) {
            if (isSilenced(player)) break;
            song.samples[2 * song.frames] = tick[0];
            song.samples[2 * song.frames + 1] = tick[1];
        }
        song.frames += count;
    }
    freePlayer(player);
    return kPlayerOk;
}

void freeSongRender(SongRender& song) {
    std::free(song.samples);
    song = SongRender{nullptr, 0};
}
