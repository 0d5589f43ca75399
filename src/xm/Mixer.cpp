// generateFrames: runs the sequencer tick by tick and mixes the channels.
//
// The frames of one tick are mixed channel by channel: each channel adds its
// contribution to every frame of the tick before the next channel starts.
// Every frame still sees exactly the float operations of the frame-by-frame
// order (start at 0, add channel 0, channel 1, ..., scale), because channels
// share nothing while mixing; generateFramesReference keeps that plain order
// so tests can hold the two against each other bit for bit. Once a voice's
// crossfade is over and its gains have reached their targets, it runs in a
// tight loop specialised for its sample width and loop type.
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

// Steady voice without a loop; ends the voice at the sample's end.
template <typename T>
void mixSteadyNoLoop(Channel& channel, const Sample& sample, float* out, uint64_t frames) {
    const T* data = static_cast<const T*>(sample.data);
    const uint32_t length = sample.length;
    const float end = float(length);
    const float step = channel.step, left = channel.gain[0], right = channel.gain[1];
    float position = channel.position;
    for (uint64_t f = 0; f < frames; ++f) {
        float value = float(data[sampleIndex(position, length)]) * kSampleScale<T>;
        out[2 * f] += value * left;
        out[2 * f + 1] += value * right;
        position += step;
        if (position >= end) {
            position = -1.0f;
            break;
        }
    }
    channel.position = position;
}

template <typename T>
void mixSteadyForwardLoop(Channel& channel, const Sample& sample, float* out, uint64_t frames) {
    const T* data = static_cast<const T*>(sample.data);
    const uint32_t length = sample.length;
    const float loopEnd = float(sample.loopEnd), loopLength = float(sample.loopLength);
    const float loopStart = float(sample.loopStart);
    const float step = channel.step, left = channel.gain[0], right = channel.gain[1];
    float position = channel.position;
    for (uint64_t f = 0; f < frames; ++f) {
        float value = float(data[sampleIndex(position, length)]) * kSampleScale<T>;
        out[2 * f] += value * left;
        out[2 * f + 1] += value * right;
        position += step;
        if (position >= loopEnd) position = wrapForwardLoop(position, loopEnd, loopLength, loopStart);
    }
    channel.position = position;
}

template <typename T>
void mixSteady(Channel& channel, const Sample& sample, float* out, uint64_t frames) {
    if (sample.loopType == NoLoop) mixSteadyNoLoop<T>(channel, sample, out, frames);
    else mixSteadyForwardLoop<T>(channel, sample, out, frames);
}

// Adds one channel's contribution to `frames` frames of the tick.
void mixChannel(Channel& channel, float* out, uint64_t frames, float rampStep) {
    uint64_t f = 0;
    while (f < frames && isVoiceActive(channel) && !isSteady(channel)) {
        mixFrame(channel, out + 2 * f, rampStep);
        ++f;
    }
    if (f == frames || !isVoiceActive(channel)) return;

    const Sample& sample = *channel.sample;
    // The tight loops assume a forward-moving read of a non-empty sample.
    bool fast = sample.length > 0 && channel.step >= 0.0f && sample.loopType != PingPongLoop;
    if (!fast) {
        for (; f < frames && isVoiceActive(channel); ++f) mixFrame(channel, out + 2 * f, rampStep);
        return;
    }
    if (sample.bits == 16) mixSteady<int16_t>(channel, sample, out + 2 * f, frames - f);
    else mixSteady<int8_t>(channel, sample, out + 2 * f, frames - f);
}

void mixFrames(ModulePlayer* player, float* out, uint64_t frames) {
    memset(out, 0, sizeof(float) * 2 * frames);
    if (isSilenced(player)) return;
    for (uint32_t c = 0; c < player->channelCount; ++c) {
        Channel& channel = player->channels[c];
        if (isVoiceActive(channel)) mixChannel(channel, out, frames, player->volumeRampStep);
    }
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
