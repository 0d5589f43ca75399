// Voices and mixing: pitch, modulation, envelopes, gains and sample reading.
#pragma once

#include <cstdint>

#include "xm/PlayerRecords.h"

extern const int32_t kAmigaPeriods[13];

float notePeriod(const ModulePlayer* player, float note);
float amigaPeriod(float note);
float periodFrequency(const ModulePlayer* player, float period, float noteOffset, float periodOffset);
void updateFrequency(const ModulePlayer* player, Channel& channel);

// -1..1; `Random` advances the process-wide seed.
float waveformValue(Waveform waveform, uint32_t step);
void resetRandomSeed();  // back to its initial value, for tests

void stepEnvelopes(Channel& channel);
void stepEnvelope(const Channel& channel, const Envelope& envelope, uint16_t& counter, float& out);
void autoVibrato(const ModulePlayer* player, Channel& channel);
void computeTargetGains(Channel& channel);

// The channel's next output value (crossfade included); advances the position.
float nextSampleValue(Channel& channel);

// Frame by frame, channels summed in order: the plain form of generateFrames
// that the optimised mixer must match bit for bit.
void generateFramesReference(ModulePlayer* player, float* out, uint64_t frameCount);
