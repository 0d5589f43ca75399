// The refill arithmetic of the looping audio buffer, free of any device.
//
// The device plays a ring of 4,096 stereo frames over and over. Song frame n
// always lives at ring frame n mod 4,096; every frame the device has played
// is overwritten with the song frame 4,096 positions later, so the ring runs
// exactly one buffer ahead of what is heard and the device position equals
// the song position.
#pragma once

#include <atomic>
#include <cstdint>

constexpr uint32_t kAudioRingFrames = 4096;
constexpr uint32_t kAudioRingFloats = kAudioRingFrames * 2;

// Writes `frameCount` stereo frames (2 floats each) to `out`. Called on the
// refill thread; the replayer's generateFrames fits behind a small adapter.
using GenerateFramesFn = void (*)(void* context, float* out, uint64_t frameCount);

// One refill pass. `played` is the device position in frames, read at the
// start of the pass; `framesWritten` counts the frames regenerated since
// playback began (the initial fill of the whole ring is not counted). When
// played > framesWritten, regenerates the missing frames in order, in chunks
// that never run past the ring's end, however far behind the pass is.
// Returns the new framesWritten (unchanged when nothing was played).
// `ring` holds kAudioRingFloats floats. Allocates nothing.
uint32_t refillPlayedFrames(float* ring, uint32_t framesWritten, uint32_t played, GenerateFramesFn generate,
                            void* context);

// The refill thread's body with the device and the clock behind callbacks:
// while `stopRequested` is false, read the played frames, refill, sleep.
// The stop flag is read once per pass, so the loop ends within one pass of
// the flag being set.
struct RefillLoop {
    float* ring;  // kAudioRingFloats floats, already filled with song frames 0 to 4,095
    GenerateFramesFn generate;
    void* generateContext;
    uint32_t (*readPlayedFrames)(void* context);  // device position in frames
    void* positionContext;
    void (*pause)(void* context);  // the short sleep between passes
    void* pauseContext;
    const std::atomic<bool>* stopRequested;
};

// Runs passes until stopped; returns the final framesWritten.
uint32_t runRefillLoop(const RefillLoop& loop);
