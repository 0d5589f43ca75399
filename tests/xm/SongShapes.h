// Generated songs shaped like the modules people actually have, for the
// benchmark and the mixer's equivalence tests: gain and pitch change on most
// ticks, and every loop type and sample width is heard.
#pragma once

#include "BusySong.h"

namespace xmtest {

enum class SongShape {
    Slides,     // 8 channels, tempo 6-8: volume, panning, vibrato, tremolo, tone portamento; all loop types
    Arpeggios,  // 6 channels, tempo 3-4: arpeggio on most rows, ping-pong loops
    Wide,       // 8 channels, tempo 6: 16-bit samples throughout, slides and vibrato
};

inline const char* shapeName(SongShape shape) {
    switch (shape) {
    case SongShape::Slides: return "8 ch slides, all loop types";
    case SongShape::Arpeggios: return "6 ch arpeggios, ping-pong";
    default: return "8 ch 16-bit samples";
    }
}

namespace shapes {

struct Command {
    uint8_t effect, param;
};

inline Command slideCommand(SongRandom& random) {
    switch (random.next(12)) {
    case 0: return {10, uint8_t(random.next(2) ? 0x01 + random.next(4) : 0x10 + 0x10 * random.next(3))};  // Axy
    case 1: return {10, 0x00};                                                                            // A00: memory
    case 2: return {25, uint8_t(random.next(2) ? 0x02 + random.next(6) : 0x20 + 0x10 * random.next(4))};  // Pxy
    case 3: return {4, uint8_t(0x30 + 0x10 * random.next(6) + 1 + random.next(8))};                        // vibrato
    case 4: return {7, uint8_t(0x40 + 0x10 * random.next(6) + 2 + random.next(8))};                        // tremolo
    case 5: return {6, uint8_t(random.next(2) ? 0x01 : 0x10)};                                            // vibrato + slide
    case 6: return {5, uint8_t(random.next(2) ? 0x02 : 0x20)};                                            // porta + slide
    case 7: return {3, uint8_t(0x08 + random.next(0x20))};                                                // tone porta
    case 8: return {1, uint8_t(1 + random.next(4))};                                                      // porta up
    case 9: return {2, uint8_t(1 + random.next(4))};                                                      // porta down
    default: return {10, uint8_t(0x01 + random.next(3))};                                                 // gentle fade
    }
}

inline uint8_t slideVolumeColumn(SongRandom& random) {
    switch (random.next(8)) {
    case 0: return uint8_t(0x60 + 1 + random.next(4));  // slide down
    case 1: return uint8_t(0x70 + 1 + random.next(4));  // slide up
    case 2: return uint8_t(0x80 + 1 + random.next(4));  // fine down
    case 3: return uint8_t(0x90 + 1 + random.next(4));  // fine up
    case 4: return uint8_t(0xD0 + 1 + random.next(6));  // pan left
    case 5: return uint8_t(0xE0 + 1 + random.next(6));  // pan right
    case 6: return uint8_t(0x10 + 24 + random.next(41));  // set volume
    default: return uint8_t(0xB0);                         // vibrato
    }
}

}  // namespace shapes

inline XmModule makeShapedSong(SongShape shape, uint32_t seed = 1) {
    SongRandom random{seed * 2246822519u + 3};
    const bool arpeggios = shape == SongShape::Arpeggios;
    XmModule m;
    m.channels = arpeggios ? 6 : 8;
    m.tempo = arpeggios ? 3 : 6;
    m.bpm = arpeggios ? 140 : 125;
    m.linear = seed % 2 == 1;
    m.restart = 0;

    const uint32_t instrumentCount = 8;
    for (uint32_t i = 0; i < instrumentCount; ++i) {
        XmInstrument ins;
        // Slides mixes one-shot, forward and ping-pong samples; one-shots are
        // short, like drums.
        uint8_t loop = arpeggios ? 2 : shape == SongShape::Wide ? uint8_t(1 + (i % 3 == 2)) : uint8_t(i % 3);
        uint32_t length = loop == 0 ? 800 + random.next(3000) : 1500 + random.next(6000);
        ins.samples.push_back(waveSample(random, length, shape == SongShape::Wide, loop));
        m.instruments.push_back(ins);
    }

    const uint32_t patternCount = 4;
    const uint32_t noteEvery = arpeggios ? 3 : 4;
    for (uint32_t p = 0; p < patternCount; ++p) {
        XmPattern pattern;
        pattern.rows = 64;
        pattern.cells.resize(size_t(64) * m.channels);
        for (uint32_t row = 0; row < 64; ++row) {
            for (uint32_t c = 0; c < m.channels; ++c) {
                XmCell& cell = pattern.cells[size_t(row) * m.channels + c];
                if ((row + c) % noteEvery == 0) {
                    cell.note = uint8_t(37 + random.next(36));
                    cell.instrument = uint8_t(1 + random.next(instrumentCount));
                }
                if (arpeggios) {
                    if (random.next(10) < 8) {
                        cell.effect = 0;
                        cell.param = uint8_t(0x10 * (1 + random.next(7)) + random.next(12));
                    } else if (random.next(2)) {
                        cell.effect = 10;
                        cell.param = 0x01;
                    }
                    if (random.next(4) == 0) cell.volume = uint8_t(0x10 + 32 + random.next(33));
                } else {
                    if (random.next(10) < 8) {
                        shapes::Command command = shapes::slideCommand(random);
                        cell.effect = command.effect;
                        cell.param = command.param;
                    }
                    if (random.next(10) < 7) cell.volume = shapes::slideVolumeColumn(random);
                }
                // Speed changes: tempo 6-8 (3-4 for the arpeggio songs).
                if (row % 16 == 0 && c == 0) {
                    cell.effect = 15;
                    cell.param = uint8_t(arpeggios ? 3 + p % 2 : 6 + p % 3);
                }
            }
        }
        m.patterns.push_back(pattern);
    }
    m.orders = {0, 1, 2, 3, 1, 2, 0, 3};
    return m;
}

}  // namespace xmtest
