#include "app/AudioRefill.h"

uint32_t refillPlayedFrames(float* ring, uint32_t framesWritten, uint32_t played, GenerateFramesFn generate,
                            void* context) {
    if (played <= framesWritten) return framesWritten;
    uint32_t need = played - framesWritten;
    while (need > 0) {
        const uint32_t offset = framesWritten % kAudioRingFrames;
        const uint32_t room = kAudioRingFrames - offset;
        const uint32_t count = need < room ? need : room;
        generate(context, ring + 2 * offset, count);
        framesWritten += count;
        need -= count;
    }
    return framesWritten;
}

uint32_t runRefillLoop(const RefillLoop& loop) {
    uint32_t framesWritten = 0;
    while (!loop.stopRequested->load()) {
        const uint32_t played = loop.readPlayedFrames(loop.positionContext);
        framesWritten = refillPlayedFrames(loop.ring, framesWritten, played, loop.generate, loop.generateContext);
        loop.pause(loop.pauseContext);
    }
    return framesWritten;
}
