// Reading a sample at a float position and moving the position on by one
// output frame's step. Shared by nextSampleValue and the mixer's loops so both
// take exactly the same float steps.
#pragma once

#include <cmath>
#include <cstdint>

#include "xm/PlayerRecords.h"

// Beyond this many wraps in one frame (a step far longer than the loop), the
// remaining wraps are done in one go.
constexpr uint32_t kMaxLoopWraps = 1024;

inline uint32_t sampleIndex(float position, uint32_t length) {
    // The position is kept below the length; the clamp only guards float
    // rounding of lengths beyond 2^24.
    uint32_t index = static_cast<uint32_t>(position);
    return index < length ? index : length - 1;
}

inline float sampleValue(const Sample& sample, float position) {
    uint32_t index = sampleIndex(position, sample.length);
    if (sample.bits == 16) return float(static_cast<const int16_t*>(sample.data)[index]) / 32768.0f;
    return float(static_cast<const int8_t*>(sample.data)[index]) / 128.0f;
}

inline float wrapForwardLoop(float position, float loopEnd, float loopLength, float loopStart) {
    uint32_t wraps = 0;
    while (position >= loopEnd) {
        if (++wraps > kMaxLoopWraps) {
            float offset = std::fmod(position - loopStart, loopLength);
            position = loopStart + offset;
            if (!(position >= loopStart && position < loopEnd)) position = loopStart;
            break;
        }
        position -= loopLength;
    }
    return position;
}

// The rest of one frame's move for every loop type, given the position
// already moved by the step (added going forward, subtracted going backward
// in a ping-pong loop): the turns, wraps and the end of the sample. Positions
// that a step much longer than a ping-pong loop would throw past the sample's
// end restart the loop; a move landing exactly on the end of a loop that ends
// with the sample turns just below it.
inline float finishMove(float position, bool& forward, const Sample& sample) {
    switch (sample.loopType) {
    case ForwardLoop:
        return wrapForwardLoop(position, float(sample.loopEnd), float(sample.loopLength), float(sample.loopStart));
    case PingPongLoop:
        if (forward) {
            if (position >= float(sample.loopEnd)) {
                forward = false;
                position = 2.0f * float(sample.loopEnd) - position;
                // A move that lands exactly on the end of a loop that ends
                // with the sample reflects onto the end itself, a frame the
                // sample does not have. The way back starts just below it,
                // on the loop's last frame, instead of being thrown to the
                // sample's start by the rule below.
                if (position == float(sample.loopEnd) && position >= float(sample.length))
                    position = std::nextafter(position, 0.0f);
            }
            if (position >= float(sample.length)) {
                forward = false;
                position -= float(sample.length - 1);
            }
        } else {
            if (position <= float(sample.loopStart)) {
                forward = true;
                position = 2.0f * float(sample.loopStart) - position;
            }
            if (position <= 0.0f) {
                forward = true;
                position = 0.0f;
            }
        }
        if (position >= float(sample.length)) {
            forward = true;
            position = float(sample.loopStart);
        }
        return position;
    default:
        return position >= float(sample.length) ? -1.0f : position;
    }
}

inline bool movesBackward(const Channel& channel, const Sample& sample) {
    return sample.loopType == PingPongLoop && !channel.forward;
}

// One frame's move.
inline void advancePosition(Channel& channel, const Sample& sample) {
    float moved = movesBackward(channel, sample) ? channel.position - channel.step : channel.position + channel.step;
    channel.position = finishMove(moved, channel.forward, sample);
}
