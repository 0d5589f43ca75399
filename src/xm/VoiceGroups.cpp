// The mixer's grouped loops. Up to four active voices, neighbours in channel
// order, are mixed frame by frame together, so each frame's sum is loaded and
// stored once per group and the voices' position updates overlap (one float
// vector holds the group's positions; each lane's add is the plain order's).
//
// A group runs in stretches. While any of its voices crossfades or slides a
// gain, every voice does the full per-frame work; once all are steady, 8-bit
// voices read tables of their products (kept in the channel while its gains
// hold) and 16-bit voices multiply by fixed gains. Within a stretch, the
// frames that surely keep every voice inside its loop run without a bounds
// test; then one test per frame finds the voice that leaves its open range,
// and its turn, wrap or end takes the exact steps of the plain order
// (finishMove).
#include "xm/VoiceGroups.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "xm/FrameMix.h"
#include "xm/MixProbe.h"
#include "xm/SampleCursor.h"

namespace {

// Above this length a float no longer holds every frame index exactly.
constexpr uint32_t kLongestGroupedSample = 1u << 24;

}  // namespace

// The grouped loops take voices with a readable sample, a finite step that
// does not run backwards (a ping-pong loop's way back is a subtraction of
// it) and a position inside the sample; anything else is mixed on its own.
//
// The position then stays inside the sample without a clamp: a move that
// stays in its open range (below) does, and finishMove leaves a forward loop
// below its end, a ping-pong loop below the sample's end, and a voice without
// a loop below the end or stopped.
bool fitsGroup(const Channel& channel) {
    const Sample& sample = *channel.sample;
    return sample.length > 0 && sample.length <= kLongestGroupedSample && channel.step >= 0.0f &&
           channel.step <= FLT_MAX && channel.position < float(sample.length);
}

namespace {

// A voice's movement as the grouped loops see it: each frame adds `step`
// (negated on a ping-pong loop's way back, which equals the subtraction bit
// for bit); while the result stays strictly between `low` and `high` no loop
// rule applies, otherwise finishMove does the rest.
struct Motion {
    float position, step, low, high;
};

Motion aimMotion(const Channel& channel, const Sample& sample, float position) {
    if (movesBackward(channel, sample)) return Motion{position, -channel.step, float(sample.loopStart), float(sample.length)};
    uint32_t end = sample.loopType == NoLoop ? sample.length : std::min(sample.loopEnd, sample.length);
    return Motion{position, channel.step, -INFINITY, float(end)};
}

// After a move that left the open range: the loop's rules, then the new way.
void finishMotion(Motion& motion, Channel& channel, const Sample& sample) {
    motion = aimMotion(channel, sample, finishMove(motion.position, channel.forward, sample));
}

template <typename T>
constexpr float kSampleScale = sizeof(T) == 1 ? 1.0f / 128.0f : 1.0f / 32768.0f;

// A group's positions, one voice per lane, so that one vector add moves them
// all: each lane's add is the very float add of the plain order.
typedef float Float4 __attribute__((vector_size(16)));
typedef int32_t Int4 __attribute__((vector_size(16)));
typedef uint32_t UInt4 __attribute__((vector_size(16)));
typedef int16_t Short8 __attribute__((vector_size(16)));
typedef double Double2 __attribute__((vector_size(16)));

// A frame's (left, right) in the first two lanes; the other two are 0.
inline Float4 loadPair(const float* frame) {
    double pair;
    memcpy(&pair, frame, sizeof pair);
    return reinterpret_cast<Float4>(Double2{pair, 0.0});
}

inline void storePair(float* frame, Float4 sum) {
    double pair = reinterpret_cast<Double2>(sum)[0];
    memcpy(frame, &pair, sizeof pair);
}

inline bool anyLane(Int4 mask) {
#if defined(__SSE__)
    return __builtin_ia32_movmskps(reinterpret_cast<Float4>(mask)) != 0;
#else
    return (mask[0] | mask[1] | mask[2] | mask[3]) != 0;
#endif
}

// Up to four voices' movement (Motion), one per lane. Lanes without a voice
// stand still and never leave their range.
struct Lanes {
    Float4 position = {0, 0, 0, 0}, step = {0, 0, 0, 0};
    Float4 low = {-INFINITY, -INFINITY, -INFINITY, -INFINITY}, high = {INFINITY, INFINITY, INFINITY, INFINITY};
};

// One group's voices. The loops copy `lanes` into a local, so that the
// compiler keeps it in registers.
template <typename T, uint32_t Count>
struct GroupState {
    Channel* channel[Count];
    const T* data[Count];
    Lanes lanes;
    bool ended = false;

    explicit GroupState(Channel* const* channels) {
        for (uint32_t k = 0; k < Count; ++k) {
            channel[k] = channels[k];
            const Sample& sample = *channel[k]->sample;
            data[k] = static_cast<const T*>(sample.data);
            aim(k, aimMotion(*channel[k], sample, channel[k]->position));
        }
    }

    void aim(uint32_t k, const Motion& motion) {
        lanes.position[k] = motion.position;
        lanes.step[k] = motion.step;
        lanes.low[k] = motion.low;
        lanes.high[k] = motion.high;
    }

    // After a frame in which some voice left its open range: the loop rules
    // for those voices. A voice that runs out sets `ended`, which ends the
    // stretch. Lanes go in and out by value, so that the loops' copy stays
    // in registers.
    Lanes finishMotions(Lanes moved, Int4 crossed) {
        lanes = moved;
        for (uint32_t k = 0; k < Count; ++k) {
            if (!crossed[k]) continue;
            Motion motion{lanes.position[k], lanes.step[k], lanes.low[k], lanes.high[k]};
            finishMotion(motion, *channel[k], *channel[k]->sample);
            aim(k, motion);
            ended |= motion.position < 0.0f;
        }
        return lanes;
    }

    void store(const Lanes& moved) {
        for (uint32_t k = 0; k < Count; ++k) channel[k]->position = moved.position[k];
    }
};

// How many frames every voice of the group can surely move without leaving
// its open range, judged without doing the adds. Each float add rounds by at
// most half the spacing of floats around its result, and the results stay
// below `high` (or above `low` and below the start, going backwards), so
// after n frames a voice has moved by at most n x (step + spacing there).
// The estimate stays below the real count by one frame and by the rounding
// slack, so the frames it grants need no bounds test.
template <uint32_t Count>
uint64_t framesSurelyInRange(const Lanes& lanes, uint64_t limit) {
    double least = double(limit);
    for (uint32_t k = 0; k < Count; ++k) {
        const float position = lanes.position[k], step = lanes.step[k];
        // The sign bit, not a comparison: a voice standing still on a
        // ping-pong loop's way back has step -0 and its room is below it.
        const bool forward = !std::signbit(step);
        // The largest magnitude a position reaches, and the room to the end.
        const float largest = forward ? lanes.high[k] : position;
        const double room = forward ? double(lanes.high[k]) - position : double(position) - lanes.low[k];
        // At least the spacing of floats up to `largest` (2^-23 of their
        // power of two; 2^-149 below FLT_MIN).
        const double spacing = double(std::max(largest, FLT_MIN)) * FLT_EPSILON;
        const double frames = std::floor(room / (std::fabs(double(step)) + spacing)) - 1.0;
        least = std::min(least, frames);
    }
    return least > 0.0 ? static_cast<uint64_t>(least) : 0;
}

// Runs a group frame by frame: `mixVoices` (index vector, frame) adds the
// voices' values to the frame, in lane (channel) order. Between loop ends
// everything stays in registers: first the frames that surely stay in range,
// then frame by frame with a bounds test until a voice leaves its open range
// and finishMotions takes over. Returns the frames done: all of them, or up
// to and including the frame in which a voice ran out.
template <typename T, uint32_t Count, typename MixVoices>
uint64_t runGroup(GroupState<T, Count>& group, float* out, uint64_t frames, MixVoices mixVoices) {
    Lanes lanes = group.lanes;
    uint64_t f = 0;
    while (f < frames) {
        Float4 position = lanes.position;
        const Float4 step = lanes.step, low = lanes.low, high = lanes.high;
        // The plain order's read is the position's whole part; then every
        // voice moves on.
        for (uint64_t end = f + framesSurelyInRange<Count>(lanes, frames - f); f < end; ++f) {
            UInt4 index = __builtin_convertvector(__builtin_convertvector(position, Int4), UInt4);
            position += step;
            mixVoices(index, out + 2 * f);
        }
        Int4 crossed = {0, 0, 0, 0};
        while (f < frames) {
            UInt4 index = __builtin_convertvector(__builtin_convertvector(position, Int4), UInt4);
            position += step;
            crossed = (position >= high) | (position <= low);
            mixVoices(index, out + 2 * f);
            ++f;
            if (anyLane(crossed)) break;
        }
        lanes.position = position;
        if (anyLane(crossed)) {
            lanes = group.finishMotions(lanes, crossed);
            if (group.ended) break;
        }
    }
    group.store(lanes);
    return f;
}

// The full per-frame work for a group: crossfades and gain slides.
template <typename T, uint32_t Count>
uint64_t mixUnsteady(Channel* const* channels, float* out, uint64_t frames, float rampStep) {
    GroupState<T, Count> group(channels);
    float gain[Count][2], target[Count][2];
    uint32_t rampFrame[Count];
    const float* tail[Count];
    const T* data[Count];
    for (uint32_t k = 0; k < Count; ++k) {
        for (int side = 0; side < 2; ++side) {
            gain[k][side] = channels[k]->gain[side];
            target[k][side] = channels[k]->targetGain[side];
        }
        rampFrame[k] = channels[k]->rampFrame;
        tail[k] = channels[k]->rampTail;
        data[k] = group.data[k];
    }
    uint64_t done = runGroup(group, out, frames, [&](UInt4 index, float* frame) {
        float left = frame[0], right = frame[1];
        for (uint32_t k = 0; k < Count; ++k) {
            float value = float(data[k][index[k]]) * kSampleScale<T>;
            if (rampFrame[k] < kRampFrames) {
                float from = tail[k][rampFrame[k]];
                value = from + (value - from) * (float(rampFrame[k]) * (1.0f / 32.0f));
                ++rampFrame[k];
            }
            left += value * gain[k][0];
            right += value * gain[k][1];
            slideGain(gain[k][0], target[k][0], rampStep);
            slideGain(gain[k][1], target[k][1], rampStep);
        }
        frame[0] = left;
        frame[1] = right;
    });
    for (uint32_t k = 0; k < Count; ++k) {
        channels[k]->gain[0] = gain[k][0];
        channels[k]->gain[1] = gain[k][1];
        channels[k]->rampFrame = rampFrame[k];
    }
    probeGroupedFrames(Count, done, false);
    return done;
}

// Steady 8-bit voices: every frame's two products (value x left gain, value x
// right gain) come from 256 possible values, computed once for as long as the
// gains hold, which leaves a table lookup and two adds per frame. The products
// are the very float operations of the plain order, so the output is the same.
struct ByteValues {
    float value[256];  // indexed by the stored byte
    ByteValues() {
        for (uint32_t byte = 0; byte < 256; ++byte) value[byte] = float(int8_t(byte)) * kSampleScale<int8_t>;
    }
};
const ByteValues kByteValues;

bool sameBits(float a, float b) { return memcmp(&a, &b, sizeof a) == 0; }

const float (*gainTable(Channel& channel))[2] {
    if (!channel.gainTableFilled || !sameBits(channel.tableGain[0], channel.gain[0]) ||
        !sameBits(channel.tableGain[1], channel.gain[1])) {
        for (uint32_t byte = 0; byte < 256; ++byte) {
            channel.gainTable[byte][0] = kByteValues.value[byte] * channel.gain[0];
            channel.gainTable[byte][1] = kByteValues.value[byte] * channel.gain[1];
        }
        channel.tableGain[0] = channel.gain[0];
        channel.tableGain[1] = channel.gain[1];
        channel.gainTableFilled = true;
    }
    return channel.gainTable;
}

// Below this many frames a voice's table costs more than it saves, unless it
// is already there.
constexpr uint64_t kGainTableMinFrames = 96;

bool hasGainTable(const Channel& channel) {
    return channel.gainTableFilled && sameBits(channel.tableGain[0], channel.gain[0]) &&
           sameBits(channel.tableGain[1], channel.gain[1]);
}

template <uint32_t Count>
uint64_t mixSteadyBytes(Channel* const* channels, float* out, uint64_t frames) {
    const float(*tables[Count])[2];
    for (uint32_t k = 0; k < Count; ++k) tables[k] = gainTable(*channels[k]);
    GroupState<int8_t, Count> group(channels);
    const uint8_t* data[Count];
    for (uint32_t k = 0; k < Count; ++k) data[k] = reinterpret_cast<const uint8_t*>(group.data[k]);
    uint64_t done = runGroup(group, out, frames, [&](UInt4 index, float* frame) {
        float left = frame[0], right = frame[1];
        for (uint32_t k = 0; k < Count; ++k) {
            const float* products = tables[k][data[k][index[k]]];
            left += products[0];
            right += products[1];
        }
        frame[0] = left;
        frame[1] = right;
    });
    probeGroupedFrames(Count, done, true);
    return done;
}

// Steady 16-bit voices: the group's values are read into one vector and
// multiplied by the gains lane by lane, and the products are added to the
// frame's (left, right) pair in lane order, both sides in one vector add.
// The gains carry the 1/32768 scale: a power of two moves only the exponent,
// so value x (gain / 32768) = (value / 32768) x gain as long as gain / 32768
// is exact, which scaleWordGains checks.
bool scaleWordGains(Channel* const* channels, uint32_t count, Float4& left, Float4& right) {
    left = right = Float4{0, 0, 0, 0};
    for (uint32_t k = 0; k < count; ++k) {
        for (int side = 0; side < 2; ++side) {
            float gain = channels[k]->gain[side];
            float scaled = gain * kSampleScale<int16_t>;
            if (scaled * 32768.0f != gain) return false;
            (side == 0 ? left : right)[k] = scaled;
        }
    }
    return true;
}

template <uint32_t Count>
uint64_t mixSteadyWords(Channel* const* channels, float* out, uint64_t frames) {
    Float4 leftGain, rightGain;
    scaleWordGains(channels, Count, leftGain, rightGain);
    GroupState<int16_t, Count> group(channels);
    const int16_t* data[kGroupSize];
    for (uint32_t k = 0; k < Count; ++k) data[k] = group.data[k];
    uint64_t done = runGroup(group, out, frames, [&](UInt4 index, float* frame) {
        Short8 raw = {0, 0, 0, 0, 0, 0, 0, 0};
        for (uint32_t k = 0; k < Count; ++k) raw[k] = data[k][index[k]];
        // Each value into the high half of a 32-bit lane, then shifted down
        // with its sign.
        Int4 words = reinterpret_cast<Int4>(__builtin_shufflevector(raw, raw, 0, 0, 1, 1, 2, 2, 3, 3)) >> 16;
        Float4 value = __builtin_convertvector(words, Float4);
        Float4 left = value * leftGain, right = value * rightGain;
        // (left, right) of voices 0 and 1, then of voices 2 and 3.
        Float4 low = __builtin_shufflevector(left, right, 0, 4, 1, 5);
        Float4 high = __builtin_shufflevector(left, right, 2, 6, 3, 7);
        Float4 sum = loadPair(frame);
        sum += low;
        if (Count > 1) sum += __builtin_shufflevector(low, low, 2, 3, 2, 3);
        if (Count > 2) sum += high;
        if (Count > 3) sum += __builtin_shufflevector(high, high, 2, 3, 2, 3);
        storePair(frame, sum);
    });
    probeGroupedFrames(Count, done, true);
    return done;
}

using GroupMixer = uint64_t (*)(Channel* const*, float*, uint64_t);
using UnsteadyMixer = uint64_t (*)(Channel* const*, float*, uint64_t, float);

template <typename T>
UnsteadyMixer unsteadyMixer(uint32_t count) {
    static const UnsteadyMixer mixers[kGroupSize] = {mixUnsteady<T, 1>, mixUnsteady<T, 2>, mixUnsteady<T, 3>,
                                                     mixUnsteady<T, 4>};
    return mixers[count - 1];
}

GroupMixer steadyMixer(bool bytes, uint32_t count) {
    static const GroupMixer byteMixers[kGroupSize] = {mixSteadyBytes<1>, mixSteadyBytes<2>, mixSteadyBytes<3>,
                                                      mixSteadyBytes<4>};
    static const GroupMixer wordMixers[kGroupSize] = {mixSteadyWords<1>, mixSteadyWords<2>, mixSteadyWords<3>,
                                                      mixSteadyWords<4>};
    return (bytes ? byteMixers : wordMixers)[count - 1];
}

}  // namespace

void mixGroup(Channel** channels, uint32_t count, float* out, uint64_t frames, float rampStep) {
    if (count == 0) return;
    const bool bytes = channels[0]->sample->bits == 8;
    uint64_t done = 0;
    while (done < frames && count > 0) {
        const uint64_t left = frames - done;
        uint64_t unsteady = 0;
        for (uint32_t k = 0; k < count; ++k)
            unsteady = std::max(unsteady, framesUntilSteady(*channels[k], rampStep, left));
        // The steady loops' set-up: tables for 8-bit voices, which a short
        // stretch does not repay, and scaled gains for 16-bit voices, which
        // must be exact. Without it the full per-frame work does as well.
        bool steadyLoop = false;
        if (unsteady == 0) {
            Float4 leftGain, rightGain;
            if (bytes) {
                steadyLoop = left >= kGainTableMinFrames;
                for (uint32_t k = 0; k < count; ++k) steadyLoop |= hasGainTable(*channels[k]);
            } else {
                steadyLoop = scaleWordGains(channels, count, leftGain, rightGain);
            }
        } else if (bytes && left - unsteady < kGainTableMinFrames) {
            unsteady = left;
        }
        if (!steadyLoop && unsteady == 0) unsteady = left;
        float* at = out + 2 * done;
        if (steadyLoop) done += steadyMixer(bytes, count)(channels, at, left);
        else if (bytes) done += unsteadyMixer<int8_t>(count)(channels, at, unsteady, rampStep);
        else done += unsteadyMixer<int16_t>(count)(channels, at, unsteady, rampStep);
        uint32_t kept = 0;
        for (uint32_t k = 0; k < count; ++k)
            if (isVoiceActive(*channels[k])) channels[kept++] = channels[k];
        count = kept;
    }
}
