// The replayer's records. Everything lives inside the single allocation that
// createPlayer makes; pointers between records point into it.
#pragma once

#include <cstdint>

#include "xm/ModulePlayer.h"

enum FrequencyTable : uint32_t { LinearTable = 0, AmigaTable = 1 };

enum LoopType : uint32_t { NoLoop = 0, ForwardLoop = 1, PingPongLoop = 2 };

// Values above RampUp can come from an instrument's auto-vibrato byte; they
// evaluate to 0.
enum Waveform : uint32_t { Sine = 0, RampDown = 1, Square = 2, Random = 3, RampUp = 4 };

struct Cell {
    uint8_t note;        // 0 none, 1..96 notes, 97 key off
    uint8_t instrument;  // 0 none, else 1-based
    uint8_t volumeColumn;
    uint8_t effect;      // 0..35 for 0-9, A-Z
    uint8_t param;
};
static_assert(sizeof(Cell) == 5, "cells are packed five-byte records");

struct Pattern {
    uint16_t rowCount;
    Cell* cells;  // rowCount * channelCount, row-major
};

struct EnvelopePoint {
    uint16_t tick;
    uint16_t value;
};

constexpr uint32_t kEnvelopePoints = 12;

struct Envelope {
    EnvelopePoint points[kEnvelopePoints];
    uint8_t pointCount;
    uint8_t sustainPoint;
    uint8_t loopStart;
    uint8_t loopEnd;
    bool enabled;
    bool sustainEnabled;
    bool loopEnabled;
};

struct Sample {
    uint8_t bits;  // 8 or 16
    uint32_t length;
    uint32_t loopStart;
    uint32_t loopLength;
    uint32_t loopEnd;
    float volume;
    int8_t finetune;
    LoopType loopType;
    float panning;
    int8_t relativeNote;
    void* data;  // int8_t or int16_t values, by bits
};

struct Instrument {
    uint16_t sampleCount;
    uint8_t noteSample[96];
    Envelope volumeEnvelope;
    Envelope panningEnvelope;
    Waveform autoVibratoWaveform;
    uint8_t autoVibratoSweep;
    uint8_t autoVibratoDepth;
    uint8_t autoVibratoRate;
    uint16_t fadeout;
    Sample* samples;
};

constexpr uint32_t kRampFrames = 32;

struct Channel {
    float note;
    float baseNote;
    Instrument* instrument;
    Sample* sample;
    const Cell* cell;
    float position;  // negative: stopped
    float period;
    float frequency;
    float step;
    bool forward;
    float volume;
    float panning;
    uint16_t autoVibratoTicks;
    bool sustained;
    float fadeoutVolume;
    float envelopeVolume;
    float envelopePanning;
    uint16_t volumeEnvelopeTick;
    uint16_t panningEnvelopeTick;
    float autoVibratoOffset;
    bool arpeggioActive;
    uint8_t arpeggioOffset;
    uint8_t volumeSlideMemory;
    uint8_t fineVolumeSlideMemory;
    uint8_t globalVolumeSlideMemory;
    uint8_t panningSlideMemory;
    uint8_t portaUpMemory;
    uint8_t portaDownMemory;
    uint8_t finePortaUpMemory;
    uint8_t finePortaDownMemory;
    uint8_t extraFinePortaUpMemory;
    uint8_t extraFinePortaDownMemory;
    uint8_t tonePortaSpeed;
    float tonePortaTarget;  // 0: none
    uint8_t retrigMemory;
    uint8_t noteDelay;
    uint8_t loopOrigin;
    uint8_t patternLoopCount;
    bool vibratoActive;
    Waveform vibratoWaveform;
    bool vibratoRetrigger;
    uint8_t vibratoParam;
    uint16_t vibratoTicks;
    float vibratoOffset;
    Waveform tremoloWaveform;
    bool tremoloRetrigger;
    uint8_t tremoloParam;
    uint8_t tremoloTicks;
    float tremoloVolume;
    uint8_t tremorParam;
    bool tremorMuted;
    float targetGain[2];
    uint32_t rampFrame;
    float rampTail[kRampFrames];
    float gain[2];
    // The mixer's products of every 8-bit sample value with the gains in
    // `tableGain` (left, right), kept from tick to tick while they hold.
    bool gainTableFilled;
    float tableGain[2];
    float gainTable[256][2];
};

struct ModulePlayer {
    uint64_t allocSize;
    uint16_t songLength;
    uint16_t restartPosition;
    uint16_t channelCount;
    uint16_t patternCount;
    uint16_t instrumentCount;
    FrequencyTable frequencyTable;
    uint8_t orderTable[256];
    Pattern* patterns;
    Instrument* instruments;
    uint32_t sampleRate;
    uint16_t tempo;
    uint16_t bpm;
    float globalVolume;
    float amplification;
    float volumeRampStep;
    uint8_t orderIndex;
    uint8_t row;
    uint16_t tick;
    float samplesLeftInTick;
    bool jumpPending;
    bool breakPending;
    uint8_t jumpOrder;
    uint8_t jumpRow;
    uint16_t patternDelayTicks;
    uint8_t* rowVisits;  // songLength * 256 counters
    uint8_t loopCount;
    uint8_t maxLoops;
    Channel* channels;
};
