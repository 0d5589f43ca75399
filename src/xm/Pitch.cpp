// Periods and playback frequencies for the linear and Amiga tables, and the
// modulation waveforms.
#include <cmath>

#include "xm/Voices.h"

const int32_t kAmigaPeriods[13] = {1712 * 1024, 1616 * 1024, 1525 * 1024, 1440 * 1024, 1357 * 1024,
                                   1281 * 1024, 1209 * 1024, 1141 * 1024, 1077 * 1024, 1017 * 1024,
                                   961 * 1024,  907 * 1024,  856 * 1024};

namespace {

constexpr uint32_t kInitialSeed = 24492;
uint32_t randomSeed = kInitialSeed;

// Octaves are kept where 64-bit shifts of the table stay exact: from -40
// (periods of about 10^18, far below 1 Hz) to +40 (every period 0). Real
// modules stay within -10..+10, where this equals 32-bit arithmetic.
constexpr int32_t kLowestOctave = -40;
constexpr int32_t kHighestOctave = 40;

int64_t shiftedPeriod(int32_t index, int32_t octave) {
    int64_t value = kAmigaPeriods[index];
    return octave >= 0 ? value >> octave : value << -octave;
}

float amigaFrequency(float period) { return period == 0.0f ? 0.0f : 7093789.0f / (2.0f * period); }

// An Amiga period back to a fractional note with `noteOffset` added, for
// arpeggio.
float amigaNoteOfPeriod(float period, float noteOffset) {
    float a = period * 1024.0f;
    if (!(a >= 0.0f)) a = 0.0f;
    int32_t octave = 0;
    if (a > float(shiftedPeriod(0, 0))) {
        octave = -1;
        while (octave > kLowestOctave && a > float(shiftedPeriod(0, octave))) --octave;
        // Beyond the lowest octave the period is taken as that octave's top.
        if (a > float(shiftedPeriod(0, octave))) a = float(shiftedPeriod(0, octave));
    } else if (a < float(shiftedPeriod(12, 0))) {
        octave = 1;
        while (octave < kHighestOctave && float(shiftedPeriod(12, octave)) > a) ++octave;
    }
    for (int32_t i = 0; i < 12; ++i) {
        int64_t p1 = shiftedPeriod(i, octave);
        int64_t p2 = shiftedPeriod(i + 1, octave);
        if (float(p2) <= a && a <= float(p1)) {
            // Segments that shifted down to nothing have no slope.
            float fraction = p1 == p2 ? 0.0f : (a - float(p1)) / float(p2 - p1);
            return fraction + float(12 * (octave + 2)) + float(i) + noteOffset;
        }
    }
    return float(12 * (octave + 2)) + noteOffset;
}

}  // namespace

float amigaPeriod(float note) {
    // Notes far outside any module's reach are held at the ends of the
    // octave range, keeping the integer arithmetic defined.
    const float lowest = float(12 * (kLowestOctave + 2));
    const float highest = float(12 * (kHighestOctave + 2) + 11);
    if (!(note >= lowest)) note = lowest;
    if (note > highest) note = highest;
    float whole = std::floor(note);
    int32_t n = int32_t(whole);
    float fraction = note - whole;
    int32_t index = ((n % 12) + 12) % 12;
    int32_t octave = (n - index) / 12 - 2;
    int64_t p1 = shiftedPeriod(index, octave);
    int64_t p2 = shiftedPeriod(index + 1, octave);
    return (float(p1) + float(p2 - p1) * fraction) / 1024.0f;
}

float notePeriod(const ModulePlayer* player, float note) {
    if (player->frequencyTable == LinearTable) return 7680.0f - 64.0f * note;
    return amigaPeriod(note);
}

float periodFrequency(const ModulePlayer* player, float period, float noteOffset, float periodOffset) {
    if (player->frequencyTable == LinearTable) {
        float shifted = period - 64.0f * noteOffset - 16.0f * periodOffset;
        return 8363.0f * std::pow(2.0f, (4608.0f - shifted) / 768.0f);
    }
    if (noteOffset == 0.0f) return amigaFrequency(period + 16.0f * periodOffset);
    float note = amigaNoteOfPeriod(period, noteOffset);
    return amigaFrequency(amigaPeriod(note) + 16.0f * periodOffset);
}

void updateFrequency(const ModulePlayer* player, Channel& channel) {
    channel.frequency = periodFrequency(player, channel.period, float(channel.arpeggioOffset),
                                        channel.vibratoOffset + channel.autoVibratoOffset);
    float step = channel.frequency / float(player->sampleRate);
    // An output rate of 0 would make the step infinite or undefined; such a
    // voice holds still instead.
    channel.step = std::isfinite(step) ? step : 0.0f;
}

float waveformValue(Waveform waveform, uint32_t step) {
    uint32_t s = step % 64;
    switch (waveform) {
    case Sine: return -std::sin(float(s) * 6.283184f * (1.0f / 64.0f));
    case RampDown: return float(32 - int32_t(s)) / 32.0f;
    case Square: return s >= 32 ? 1.0f : -1.0f;
    case Random:
        randomSeed = randomSeed * 1103515245u + 12345u;
        return float((randomSeed >> 16) & 0x7FFF) / 16384.0f - 1.0f;
    case RampUp: return float(int32_t(s) - 32) / 32.0f;
    default: return 0.0f;
    }
}

void resetRandomSeed() { randomSeed = kInitialSeed; }
