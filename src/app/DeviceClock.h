// The played position of an audio device that pulls its frames through a
// callback (SDL, WebAudio): the frames handed over so far, less those still
// queued ahead of the speaker, advanced by the wall clock between callbacks.
// Callbacks come in chunks, so the count alone would move the picture in
// steps of a chunk; the wall clock fills in between, never beyond what was
// handed over and never backwards.
#pragma once

#include <cstdint>

struct DeviceClock {
    uint64_t delivered;     // frames handed to the device through the last callback
    double deliveredAt;     // seconds on the caller's wall clock when that callback ran
    uint32_t queuedFrames;  // frames still ahead of the speaker when a callback returns
    uint32_t chunkFrames;   // frames a callback hands over
    uint32_t sampleRate;
    uint64_t reported;      // the last position returned
};

inline void deviceClockInit(DeviceClock& clock, uint32_t queuedFrames, uint32_t chunkFrames, uint32_t sampleRate) {
    clock = DeviceClock{0, 0.0, queuedFrames, chunkFrames, sampleRate, 0};
}

// A device that plays one chunk while the next one waits: it pulls chunk
// n + 2 when chunk n has finished, so two chunks are still ahead of the
// speaker when a callback returns (SDL's devices).
inline void deviceClockInitDoubleBuffered(DeviceClock& clock, uint32_t chunkFrames, uint32_t sampleRate) {
    deviceClockInit(clock, 2u * chunkFrames, chunkFrames, sampleRate);
}

// Called from the callback (or with its lock held) after `frames` were handed over.
inline void deviceClockDelivered(DeviceClock& clock, uint64_t frames, double now) {
    clock.delivered += frames;
    clock.deliveredAt = now;
}

// Frames heard by `now`.
inline uint64_t deviceClockPlayed(DeviceClock& clock, double now) {
    // Once the device holds its whole queue, the oldest chunk is playing.
    if (clock.delivered > 0 && clock.delivered >= clock.queuedFrames) {
        const double since = now > clock.deliveredAt ? now - clock.deliveredAt : 0.0;
        const uint64_t start = clock.delivered - clock.queuedFrames;
        // To the nearest frame: a wall-clock difference such as (2 + 0.01) - 2
        // is 0.00999... in binary, and truncating it would lose a frame.
        const double ahead = since * clock.sampleRate + 0.5;
        // Until the next callback, at most one chunk more is heard.
        const uint64_t cap = clock.chunkFrames;
        const uint64_t step = ahead < double(cap) ? uint64_t(ahead) : cap;
        const uint64_t played = start + step;
        if (played > clock.reported) clock.reported = played;
    }
    return clock.reported;
}
