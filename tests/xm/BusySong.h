// Generated songs that keep every channel busy, for the mixer's equivalence
// tests, the benchmark and the fuzz seeds.
#pragma once

#include <cmath>

#include "XmWriter.h"

namespace xmtest {

struct BusySongOptions {
    uint16_t channels = 4;
    uint16_t tempo = 3;
    uint16_t bpm = 170;
    bool linear = true;
    uint32_t patterns = 4;
    uint32_t noteEvery = 3;  // rows between notes on a channel (staggered)
    bool allEffects = false;  // use every command, 16-bit and ping-pong samples, envelopes
    bool allLooping = false;  // no one-shot instrument: every voice keeps sounding
    uint32_t seed = 1;
};

struct SongRandom {
    uint32_t state;
    uint32_t next(uint32_t below) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % below;
    }
};

inline XmSample waveSample(SongRandom& random, uint32_t length, bool sixteenBit, uint8_t loopType) {
    XmSample s;
    s.sixteenBit = sixteenBit;
    s.values.resize(length);
    float period = float(8 + random.next(56));
    float amplitude = sixteenBit ? 20000.0f : 90.0f;
    for (uint32_t i = 0; i < length; ++i) {
        float noise = float(random.next(21)) - 10.0f;
        s.values[i] = int32_t(amplitude * std::sin(6.2831853f * float(i) / period) + noise);
    }
    s.loopType = loopType;
    if (loopType) {
        s.loopStart = length / 4;
        s.loopLength = length - length / 4 - random.next(length / 8 + 1);
    }
    s.volume = uint8_t(40 + random.next(25));
    s.finetune = int8_t(int32_t(random.next(64)) - 32);
    s.panning = uint8_t(random.next(256));
    s.relativeNote = int8_t(int32_t(random.next(13)) - 6);
    return s;
}

inline XmModule makeBusySong(const BusySongOptions& options) {
    SongRandom random{options.seed * 2654435761u + 7};
    XmModule m;
    m.channels = options.channels;
    m.tempo = options.tempo;
    m.bpm = options.bpm;
    m.linear = options.linear;
    m.restart = 1;

    const uint32_t instrumentCount = 8;
    for (uint32_t i = 0; i < instrumentCount; ++i) {
        XmInstrument ins;
        bool wide = options.allEffects && i % 3 == 1;
        uint8_t loop = options.allEffects && i % 4 == 2 ? 2 : (i == 7 && !options.allLooping ? 0 : 1);
        ins.samples.push_back(waveSample(random, 1500 + random.next(6000), wide, loop));
        if (options.allEffects) {
            ins.samples.push_back(waveSample(random, 300 + random.next(900), !wide, 1));
            for (int n = 48; n < 96; ++n) ins.noteSample[n] = 1;
            if (i % 2 == 0) {
                ins.volumeEnvelope.points = {{0, 64}, {6, 40}, {20, 52}, {40, 8}};
                ins.volumeEnvelope.sustain = 2;
                ins.volumeEnvelope.loopStart = 1;
                ins.volumeEnvelope.loopEnd = 2;
                ins.volumeEnvelope.flags = uint8_t(1 | (i % 4 == 0 ? 2 : 4));
                ins.fadeout = uint16_t(200 + 400 * i);
                ins.panningEnvelope.points = {{0, 10}, {12, 54}, {30, 32}};
                ins.panningEnvelope.flags = 1;
            }
            if (i % 3 == 0) {
                ins.vibratoType = uint8_t(i % 5);
                ins.vibratoSweep = 10;
                ins.vibratoDepth = 6;
                ins.vibratoRate = 20;
            }
        }
        m.instruments.push_back(ins);
    }

    for (uint32_t p = 0; p < options.patterns; ++p) {
        XmPattern pattern;
        pattern.rows = 64;
        pattern.cells.resize(size_t(64) * options.channels);
        for (uint32_t row = 0; row < 64; ++row) {
            for (uint32_t c = 0; c < options.channels; ++c) {
                XmCell& cell = pattern.cells[size_t(row) * options.channels + c];
                if ((row + c) % options.noteEvery == 0) {
                    cell.note = uint8_t(37 + random.next(36));
                    cell.instrument = uint8_t(1 + random.next(instrumentCount));
                }
                uint32_t roll = random.next(10);
                if (roll == 0) {
                    cell.effect = 4;  // vibrato
                    cell.param = uint8_t(0x40 + random.next(0x40));
                } else if (roll == 1) {
                    cell.effect = 10;  // volume slide
                    cell.param = random.next(2) ? 0x02 : 0x30;
                } else if (roll == 2 && !cell.note) {
                    cell.effect = 0;  // arpeggio
                    cell.param = 0x37;
                }
                if (options.allEffects && random.next(3) == 0) {
                    static const uint8_t effects[][2] = {
                        {1, 0x08},  {2, 0x06},  {3, 0x10},  {5, 0x02},  {6, 0x20},  {7, 0x48},  {8, 0x20},
                        {9, 0x04},  {12, 0x30}, {14, 0x18}, {14, 0x23}, {14, 0x41}, {14, 0x52}, {14, 0x71},
                        {14, 0x92}, {14, 0xA3}, {14, 0xB2}, {14, 0xC2}, {14, 0xD1}, {16, 0x30}, {17, 0x01},
                        {20, 0x02}, {21, 0x04}, {25, 0x02}, {27, 0x82}, {29, 0x21}, {33, 0x12}, {33, 0x23},
                        {17, 0x10}, {15, 0x04}, {14, 0x04}, {14, 0x07}, {14, 0xE1}};
                    const uint8_t* e = effects[random.next(sizeof(effects) / sizeof(effects[0]))];
                    cell.effect = e[0];
                    cell.param = e[1];
                    static const uint8_t volumes[] = {0x20, 0x50, 0x62, 0x73, 0x84, 0x92, 0xA4, 0xB0, 0xC3, 0xD2, 0xE1, 0xF2, 0x97};
                    if (random.next(2)) cell.volume = volumes[random.next(sizeof(volumes))];
                    if (random.next(40) == 0) cell.note = 97;
                }
            }
        }
        m.patterns.push_back(pattern);
    }
    m.orders.clear();
    for (uint32_t i = 0; i < options.patterns * 2; ++i) m.orders.push_back(uint8_t(i % options.patterns));
    return m;
}

}  // namespace xmtest
