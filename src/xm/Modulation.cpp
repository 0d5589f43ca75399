// Per-tick modulation: envelopes, fadeout, auto-vibrato and the channel's
// target gains.
#include <cmath>

#include "xm/Voices.h"

void stepEnvelope(const Channel& channel, const Envelope& envelope, uint16_t& counter, float& out) {
    const uint32_t count = envelope.pointCount;
    const EnvelopePoint* points = envelope.points;
    if (count == 0) return;
    if (count == 1) {
        float value = float(points[0].value) / 64.0f;
        out = value > 1.0f ? 1.0f : value;
        return;
    }
    if (envelope.loopEnabled && counter >= points[envelope.loopEnd].tick) {
        counter = static_cast<uint16_t>(counter - points[envelope.loopEnd].tick + points[envelope.loopStart].tick);
    }
    uint32_t j = count - 2;
    for (uint32_t k = 0; k + 2 < count; ++k) {
        if (points[k].tick <= counter && counter <= points[k + 1].tick) {
            j = k;
            break;
        }
    }
    float value;
    if (counter <= points[j].tick) {
        value = float(points[j].value);
    } else if (counter >= points[j + 1].tick) {
        value = float(points[j + 1].value);
    } else {
        float r = float(int32_t(counter) - int32_t(points[j].tick)) /
                  float(int32_t(points[j + 1].tick) - int32_t(points[j].tick));
        value = float(points[j].value) * (1.0f - r) + float(points[j + 1].value) * r;
    }
    out = value / 64.0f;
    // A sustain point outside the twelve points never holds the envelope.
    bool holds = channel.sustained && envelope.sustainEnabled && envelope.sustainPoint < kEnvelopePoints &&
                 counter == points[envelope.sustainPoint].tick;
    if (!holds) counter = static_cast<uint16_t>(counter + 1);
}

void stepEnvelopes(Channel& channel) {
    const Instrument* instrument = channel.instrument;
    if (!instrument) return;
    if (instrument->volumeEnvelope.enabled) {
        if (!channel.sustained) {
            channel.fadeoutVolume -= float(instrument->fadeout) / 32768.0f;
            if (channel.fadeoutVolume < 0.0f) channel.fadeoutVolume = 0.0f;
        }
        stepEnvelope(channel, instrument->volumeEnvelope, channel.volumeEnvelopeTick, channel.envelopeVolume);
    }
    if (instrument->panningEnvelope.enabled) {
        stepEnvelope(channel, instrument->panningEnvelope, channel.panningEnvelopeTick, channel.envelopePanning);
    }
}

void autoVibrato(const ModulePlayer* player, Channel& channel) {
    const Instrument* instrument = channel.instrument;
    if (instrument && instrument->autoVibratoDepth != 0) {
        uint32_t ticks = channel.autoVibratoTicks;
        float sweep = ticks < instrument->autoVibratoSweep ? float(ticks) / float(instrument->autoVibratoSweep) : 1.0f;
        uint32_t step = (ticks * instrument->autoVibratoRate) >> 2;
        channel.autoVibratoTicks = static_cast<uint16_t>(ticks + 1);
        channel.autoVibratoOffset = waveformValue(instrument->autoVibratoWaveform, step) * 0.25f *
                                    float(instrument->autoVibratoDepth) / 15.0f * sweep;
        updateFrequency(player, channel);
    } else if (channel.autoVibratoOffset != 0.0f) {
        channel.autoVibratoOffset = 0.0f;
        updateFrequency(player, channel);
    }
}

void computeTargetGains(Channel& channel) {
    float pan = channel.panning +
                (channel.envelopePanning - 0.5f) * (0.5f - std::fabs(channel.panning - 0.5f)) * 2.0f;
    // Panning envelope values above 64 would push the position past the
    // edges, where the square roots below have no value.
    if (pan < 0.0f) pan = 0.0f;
    if (pan > 1.0f) pan = 1.0f;
    float volume = 0.0f;
    if (!channel.tremorMuted) {
        float level = channel.volume + channel.tremoloVolume;
        level = level < 0.0f ? 0.0f : level > 1.0f ? 1.0f : level;
        volume = level * (channel.envelopeVolume * channel.fadeoutVolume);
    }
    channel.targetGain[0] = std::sqrt(1.0f - pan) * volume;
    channel.targetGain[1] = std::sqrt(pan) * volume;
}
