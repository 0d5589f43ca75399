// generateFrames: runs the sequencer tick by tick and mixes the channels.
//
// Within a tick the work is reorganised for speed, without changing a bit of
// the output. Every frame still sees exactly the float operations of the
// frame-by-frame order (start at 0, add channel 0, channel 1, ..., scale),
// because channels share nothing while mixing; generateFramesReference keeps
// that plain order so tests can hold the two against each other bit for bit.
//
// A tick is mixed in two stretches. Up to the frame where the last voice has
// finished its crossfade and gain slides, channel by channel, each with the
// full per-frame work. From there on every voice is steady (fixed gains, no
// crossfade): 8-bit voices are mixed up to four at a time from per-tick tables
// of their products, other voices on their own, always in channel order.
#include <cstring>

#include "xm/SampleCursor.h"
#include "xm/Sequencer.h"
#include "xm/Voices.h"

namespace {

bool isSilenced(const ModulePlayer* player) { return player->maxLoops != 0 && player->loopCount >= player->maxLoops; }

bool isVoiceActive(const Channel& channel) { return channel.instrument && channel.sample && channel.position >= 0.0f; }

void slideGain(float& gain, float target, float step) {
    if (gain > target) {
        gain -= step;
        if (gain < target) gain = target;
    } else if (gain < target) {
        gain += step;
        if (gain > target) gain = target;
    }
}

// The full per-frame work of one channel: read, crossfade, gain slides.
void mixFrame(Channel& channel, float* frame, float rampStep) {
    float value = nextSampleValue(channel);
    frame[0] += value * channel.gain[0];
    frame[1] += value * channel.gain[1];
    // Only "still crossfading or not" matters, so the counter stops at the
    // end of the crossfade instead of wrapping after 2^32 frames.
    if (channel.rampFrame < kRampFrames) ++channel.rampFrame;
    slideGain(channel.gain[0], channel.targetGain[0], rampStep);
    slideGain(channel.gain[1], channel.targetGain[1], rampStep);
}

bool isSteady(const Channel& channel) {
    return channel.rampFrame >= kRampFrames && channel.gain[0] == channel.targetGain[0] &&
           channel.gain[1] == channel.targetGain[1];
}

template <typename T>
constexpr float kSampleScale = sizeof(T) == 1 ? 1.0f / 128.0f : 1.0f / 32768.0f;

// The tight loops below assume a forward-moving read of a non-empty sample
// (no loop or a forward loop).
bool fitsSteadyLoop(const Channel& channel) {
    const Sample& sample = *channel.sample;
    return sample.length > 0 && channel.step >= 0.0f && sample.loopType != PingPongLoop;
}

// A steady voice on its own. Without a loop the voice ends at the sample's
// end; a forward loop wraps at its end.
template <typename T>
void mixSteady(Channel& channel, const Sample& sample, float* out, uint64_t frames) {
    const T* data = static_cast<const T*>(sample.data);
    const uint32_t length = sample.length;
    const bool looping = sample.loopType == ForwardLoop;
    const float end = looping ? float(sample.loopEnd) : float(length);
    const float loopLength = float(sample.loopLength), loopStart = float(sample.loopStart);
    const float step = channel.step, left = channel.gain[0], right = channel.gain[1];
    float position = channel.position;
    for (uint64_t f = 0; f < frames; ++f) {
        float value = float(data[sampleIndex(position, length)]) * kSampleScale<T>;
        out[2 * f] += value * left;
        out[2 * f + 1] += value * right;
        position += step;
        if (position >= end) {
            if (!looping) {
                position = -1.0f;
                break;
            }
            position = wrapForwardLoop(position, end, loopLength, loopStart);
        }
    }
    channel.position = position;
}

// For 8-bit data every frame's two products (value x left gain, value x
// right gain) come from 256 possible values; computing them once per tick
// leaves a steady voice a table lookup and two adds per frame. The products
// are the very float operations of the plain order, so the output is the same.
struct GainPair {
    float left, right;
};

struct ByteValues {
    float value[256];  // indexed by the stored byte
    ByteValues() {
        for (uint32_t byte = 0; byte < 256; ++byte) value[byte] = float(int8_t(byte)) * kSampleScale<int8_t>;
    }
};
const ByteValues kByteValues;

void fillGainTable(GainPair* table, float left, float right) {
    for (uint32_t byte = 0; byte < 256; ++byte) {
        table[byte].left = kByteValues.value[byte] * left;
        table[byte].right = kByteValues.value[byte] * right;
    }
}

// A steady 8-bit voice as the grouped loop sees it.
struct TableVoice {
    Channel* channel;
    const uint8_t* data;
    const GainPair* table;
    float position, step, end, loopLength, loopStart;
    uint32_t length;
    bool looping;
};

// Below this many frames a voice's table costs more than it saves.
constexpr uint64_t kGainTableMinFrames = 96;
constexpr uint32_t kGroupSize = 4;

bool fitsTableLoop(const Channel& channel) { return channel.sample->bits == 8 && fitsSteadyLoop(channel); }

// Mixes up to kGroupSize steady voices together, frame by frame and in
// channel order, so each frame's sum is loaded and stored once for the whole
// group. Returns the frames done: all of them, or up to and including the
// frame in which a voice without a loop ran out.
template <uint32_t Count>
uint64_t mixVoiceGroup(TableVoice* voices, float* out, uint64_t frames) {
    // Locals rather than the records, so the compiler keeps them in
    // registers: the output stores could otherwise alias the positions.
    const uint8_t* data[Count];
    const GainPair* table[Count];
    float position[Count], step[Count], end[Count];
    uint32_t length[Count];
    for (uint32_t k = 0; k < Count; ++k) {
        data[k] = voices[k].data;
        table[k] = voices[k].table;
        position[k] = voices[k].position;
        step[k] = voices[k].step;
        end[k] = voices[k].end;
        length[k] = voices[k].length;
    }
    bool ended = false;
    uint64_t f = 0;
    while (f < frames) {
        float left = out[2 * f], right = out[2 * f + 1];
        bool passedEnd = false;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC unroll 4
#endif
        for (uint32_t k = 0; k < Count; ++k) {
            const GainPair& products = table[k][data[k][sampleIndex(position[k], length[k])]];
            left += products.left;
            right += products.right;
            position[k] += step[k];
            passedEnd |= position[k] >= end[k];
        }
        out[2 * f] = left;
        out[2 * f + 1] = right;
        ++f;
        if (passedEnd) {
            // Rare: a loop wraps or a voice runs out.
            for (uint32_t k = 0; k < Count; ++k) {
                if (position[k] < end[k]) continue;
                if (voices[k].looping) {
                    position[k] = wrapForwardLoop(position[k], end[k], voices[k].loopLength, voices[k].loopStart);
                } else {
                    position[k] = -1.0f;
                    ended = true;
                }
            }
            if (ended) break;
        }
    }
    for (uint32_t k = 0; k < Count; ++k) voices[k].position = position[k];
    return f;
}

uint64_t mixVoiceGroup(TableVoice* voices, uint32_t count, float* out, uint64_t frames) {
    switch (count) {
    case 1: return mixVoiceGroup<1>(voices, out, frames);
    case 2: return mixVoiceGroup<2>(voices, out, frames);
    case 3: return mixVoiceGroup<3>(voices, out, frames);
    default: return mixVoiceGroup<4>(voices, out, frames);
    }
}

void runVoiceGroup(TableVoice* voices, uint32_t count, float* out, uint64_t frames) {
    uint64_t done = 0;
    while (done < frames && count > 0) {
        done += mixVoiceGroup(voices, count, out + 2 * done, frames - done);
        // Voices that ran out drop out of the group; the order of the rest
        // stays the channel order.
        uint32_t kept = 0;
        for (uint32_t k = 0; k < count; ++k) {
            voices[k].channel->position = voices[k].position;
            if (voices[k].position >= 0.0f) voices[kept++] = voices[k];
        }
        count = kept;
    }
    for (uint32_t k = 0; k < count; ++k) voices[k].channel->position = voices[k].position;
}

// Adds one channel's contribution to `frames` frames of the tick.
void mixChannel(Channel& channel, float* out, uint64_t frames, float rampStep) {
    uint64_t f = 0;
    while (f < frames && isVoiceActive(channel) && !isSteady(channel)) {
        mixFrame(channel, out + 2 * f, rampStep);
        ++f;
    }
    if (f == frames || !isVoiceActive(channel)) return;

    if (!fitsSteadyLoop(channel)) {
        for (; f < frames && isVoiceActive(channel); ++f) mixFrame(channel, out + 2 * f, rampStep);
        return;
    }
    const Sample& sample = *channel.sample;
    if (sample.bits == 16) mixSteady<int16_t>(channel, sample, out + 2 * f, frames - f);
    else mixSteady<int8_t>(channel, sample, out + 2 * f, frames - f);
}

// Frames until the channel's crossfade is over and both gains have reached
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

// Mixes the frames after `start`, where every active voice is steady:
// 8-bit voices in groups, any other voice on its own, always in channel order.
void mixSteadyVoices(ModulePlayer* player, float* out, uint64_t frames) {
    GainPair tables[kGroupSize][256];
    TableVoice group[kGroupSize];
    uint32_t grouped = 0;
    for (uint32_t c = 0; c < player->channelCount; ++c) {
        Channel& channel = player->channels[c];
        if (!isVoiceActive(channel)) continue;
        if (!fitsTableLoop(channel)) {
            runVoiceGroup(group, grouped, out, frames);
            grouped = 0;
            mixChannel(channel, out, frames, player->volumeRampStep);
            continue;
        }
        const Sample& sample = *channel.sample;
        GainPair* table = tables[grouped];
        fillGainTable(table, channel.gain[0], channel.gain[1]);
        bool looping = sample.loopType == ForwardLoop;
        group[grouped++] = TableVoice{&channel,
                                      static_cast<const uint8_t*>(sample.data),
                                      table,
                                      channel.position,
                                      channel.step,
                                      looping ? float(sample.loopEnd) : float(sample.length),
                                      float(sample.loopLength),
                                      float(sample.loopStart),
                                      sample.length,
                                      looping};
        if (grouped == kGroupSize) {
            runVoiceGroup(group, grouped, out, frames);
            grouped = 0;
        }
    }
    runVoiceGroup(group, grouped, out, frames);
}

void mixFrames(ModulePlayer* player, float* out, uint64_t frames) {
    memset(out, 0, sizeof(float) * 2 * frames);
    if (isSilenced(player)) return;
    // Up to the frame where the last voice settles, channel by channel.
    uint64_t unsteady = 0;
    for (uint32_t c = 0; c < player->channelCount; ++c) {
        const Channel& channel = player->channels[c];
        if (!isVoiceActive(channel)) continue;
        uint64_t settle = framesUntilSteady(channel, player->volumeRampStep, frames);
        if (settle > unsteady) unsteady = settle;
    }
    if (frames - unsteady < kGainTableMinFrames) unsteady = frames;
    for (uint32_t c = 0; c < player->channelCount; ++c) {
        Channel& channel = player->channels[c];
        if (isVoiceActive(channel)) mixChannel(channel, out, unsteady, player->volumeRampStep);
    }
    if (unsteady < frames) mixSteadyVoices(player, out + 2 * unsteady, frames - unsteady);
    const float scale = player->amplification * player->globalVolume;
    for (uint64_t i = 0; i < 2 * frames; ++i) out[i] *= scale;
}

// How many of the next frames (at most `limit`) still belong to the current
// tick, counting down samplesLeftInTick exactly as one decrement per frame.
uint64_t takeFramesOfTick(ModulePlayer* player, uint64_t limit) {
    float left = player->samplesLeftInTick;
    uint64_t taken = 0;
    // Subtracting 1 from a float between 1 and 2^24 is exact, so a run of
    // decrements can be done at once.
    if (left >= 1.0f && left < 16777216.0f) {
        uint64_t whole = static_cast<uint64_t>(left);
        taken = whole < limit ? whole : limit;
        left -= float(taken);
    } else if (left > 0.0f && !(left < 16777216.0f)) {
        // Huge or infinite: the decrements may not even change the value,
        // and the tick outlasts this call anyway if it is infinite.
        if (left - 1.0f == left) taken = limit;
    }
    while (taken < limit && left > 0.0f) {
        left -= 1.0f;
        ++taken;
    }
    player->samplesLeftInTick = left;
    return taken;
}

}  // namespace

void generateFrames(ModulePlayer* player, float* out, uint64_t frameCount) {
    uint64_t done = 0;
    while (done < frameCount) {
        if (player->samplesLeftInTick <= 0.0f) runTick(player);
        player->samplesLeftInTick -= 1.0f;
        uint64_t frames = 1 + takeFramesOfTick(player, frameCount - done - 1);
        mixFrames(player, out + 2 * done, frames);
        done += frames;
    }
}

void generateFramesReference(ModulePlayer* player, float* out, uint64_t frameCount) {
    for (uint64_t i = 0; i < frameCount; ++i) {
        if (player->samplesLeftInTick <= 0.0f) runTick(player);
        player->samplesLeftInTick -= 1.0f;
        float frame[2] = {0.0f, 0.0f};
        if (!isSilenced(player)) {
            for (uint32_t c = 0; c < player->channelCount; ++c) {
                Channel& channel = player->channels[c];
                if (isVoiceActive(channel)) mixFrame(channel, frame, player->volumeRampStep);
            }
            const float scale = player->amplification * player->globalVolume;
            frame[0] *= scale;
            frame[1] *= scale;
        }
        out[2 * i] = frame[0];
        out[2 * i + 1] = frame[1];
    }
}
