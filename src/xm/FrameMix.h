// The plain per-frame work of one channel, shared by both mixing orders and
// by the grouped loops' bookkeeping.
#pragma once

#include "xm/PlayerRecords.h"
#include "xm/Voices.h"

inline bool isVoiceActive(const Channel& channel) { return channel.instrument && channel.sample && channel.position >= 0.0f; }

inline void slideGain(float& gain, float target, float step) {
    if (gain > target) {
        gain -= step;
        if (gain < target) gain = target;
    } else if (gain < target) {
        gain += step;
        if (gain > target) gain = target;
    }
}

// The full per-frame work of one channel: read, crossfade, gain slides.
inline void mixFrame(Channel& channel, float* frame, float rampStep) {
    float value = nextSampleValue(channel);
    frame[0] += value * channel.gain[0];
    frame[1] += value * channel.gain[1];
    // Only "still crossfading or not" matters, so the counter stops at the
    // end of the crossfade instead of wrapping after 2^32 frames.
    if (channel.rampFrame < kRampFrames) ++channel.rampFrame;
    slideGain(channel.gain[0], channel.targetGain[0], rampStep);
    slideGain(channel.gain[1], channel.targetGain[1], rampStep);
}

inline // Frames until the channel's crossfade is over and both gains have reached
// their targets, at most `limit`. Only counters and gains are involved, so
// this can be worked out without touching the voice.
uint64_t framesUntilSteady(const Channel& channel, float rampStep, uint64_t limit) {
    uint32_t rampFrame = channel.rampFrame;
    float left = channel.gain[0], right = channel.gain[1];
    uint64_t frames = 0;
    while (frames < limit &&
           (rampFrame < kRampFrames || left != channel.targetGain[0] || right != channel.targetGain[1])) {
        ++rampFrame;
        slideGain(left, channel.targetGain[0], rampStep);
        slideGain(right, channel.targetGain[1], rampStep);
        ++frames;
    }
    return frames;
}
