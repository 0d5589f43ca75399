// generateFrames: runs the sequencer tick by tick and mixes the channels.
//
// Within a tick the work is reorganised for speed, without changing a bit of
// the output. Every frame still sees exactly the float operations of the
// frame-by-frame order (start at 0, add channel 0, channel 1, ..., scale),
// because channels share nothing while mixing: the tick is mixed group by
// group (VoiceGroups.cpp), each group adding its voices to every frame in
// channel order. generateFramesReference keeps the plain order so tests can
// hold the two against each other bit for bit.
#include <cstring>

#include "xm/FrameMix.h"
#include "xm/MixProbe.h"
#include "xm/Sequencer.h"
#include "xm/VoiceGroups.h"
#include "xm/Voices.h"

namespace {

bool isSilenced(const ModulePlayer* player) { return player->maxLoops != 0 && player->loopCount >= player->maxLoops; }

// A voice outside the grouped loops' assumptions, frame by frame.
void mixChannelAlone(Channel& channel, float* out, uint64_t frames, float rampStep) {
    uint64_t f = 0;
    for (; f < frames && isVoiceActive(channel); ++f) mixFrame(channel, out + 2 * f, rampStep);
    probeAloneFrames(f);
}

void mixFrames(ModulePlayer* player, float* out, uint64_t frames) {
    memset(out, 0, sizeof(float) * 2 * frames);
    if (isSilenced(player)) return;
    const float rampStep = player->volumeRampStep;
    Channel* group[kGroupSize];
    uint32_t grouped = 0;
    for (uint32_t c = 0; c < player->channelCount; ++c) {
        Channel& channel = player->channels[c];
        if (!isVoiceActive(channel)) continue;
        if (!fitsGroup(channel)) {
            mixGroup(group, grouped, out, frames, rampStep);
            grouped = 0;
            mixChannelAlone(channel, out, frames, rampStep);
            continue;
        }
        if (grouped > 0 && group[0]->sample->bits != channel.sample->bits) {
            mixGroup(group, grouped, out, frames, rampStep);
            grouped = 0;
        }
        group[grouped++] = &channel;
        if (grouped == kGroupSize) {
            mixGroup(group, grouped, out, frames, rampStep);
            grouped = 0;
        }
    }
    mixGroup(group, grouped, out, frames, rampStep);
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
