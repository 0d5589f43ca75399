// Builds Extended Modules in memory for tests: describe the song with plain
// records, get the module's bytes. Sample values are given decoded; the writer
// stores them delta-encoded as the format wants.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace xmtest {

struct XmCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct XmPattern {
    uint16_t rows = 64;
    std::vector<XmCell> cells;        // rows * channels, row-major; missing cells are empty
    std::vector<uint8_t> packedData;  // when not empty, written as the packed data instead
    bool emptyPacked = false;         // write a packed size of 0
};

struct XmSample {
    std::vector<int32_t> values;  // decoded values, 8- or 16-bit range
    bool sixteenBit = false;
    uint32_t loopStart = 0;   // in sample frames
    uint32_t loopLength = 0;  // in sample frames
    uint8_t loopType = 0;     // flags & 3
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relativeNote = 0;
    // Overrides for malformed headers: the stored byte length and loop fields.
    bool rawHeader = false;
    uint32_t rawLength = 0, rawLoopStart = 0, rawLoopLength = 0;
};

struct XmEnvelope {
    std::vector<std::pair<uint16_t, uint16_t>> points;  // (tick, value)
    uint8_t pointCount = 0xFF;                          // 0xFF: the number of points
    uint8_t sustain = 0, loopStart = 0, loopEnd = 0;
    uint8_t flags = 0;  // 1 on, 2 sustain, 4 loop
};

struct XmInstrument {
    std::vector<XmSample> samples;
    uint8_t noteSample[96] = {};
    XmEnvelope volumeEnvelope, panningEnvelope;
    uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    uint16_t fadeout = 0;
    uint32_t headerSize = 263;
    int32_t sampleCountOverride = -1;  // write this sample count instead
};

struct XmModule {
    uint16_t channels = 4;
    uint16_t restart = 0;
    bool linear = true;
    uint16_t tempo = 6;
    uint16_t bpm = 125;
    std::vector<uint8_t> orders = {0};
    int32_t songLengthOverride = -1;
    uint32_t headerSize = 276;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

inline void put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(uint8_t(v)); }
inline void put16(std::vector<uint8_t>& out, uint32_t v) {
    put8(out, v);
    put8(out, v >> 8);
}
inline void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}

// The 60-byte fixed header followed by the rest of the module header.
inline std::vector<uint8_t> writeXm(const XmModule& m) {
    const char* signature = "Extended Module: ";
    std::vector<uint8_t> out(37, ' ');
    memcpy(out.data(), signature, 17);
    put8(out, 0x1A);
    out.resize(58, ' ');
    put8(out, 0x04);
    put8(out, 0x01);
    put32(out, m.headerSize);
    uint32_t songLength = m.songLengthOverride >= 0 ? uint32_t(m.songLengthOverride) : uint32_t(m.orders.size());
    put16(out, songLength);
    put16(out, m.restart);
    put16(out, m.channels);
    put16(out, uint32_t(m.patterns.size()));
    put16(out, uint32_t(m.instruments.size()));
    put16(out, m.linear ? 1 : 0);
    put16(out, m.tempo);
    put16(out, m.bpm);
    for (size_t i = 0; i < 256; ++i) put8(out, i < m.orders.size() ? m.orders[i] : 0);
    out.resize(60 + m.headerSize, 0);

    for (const XmPattern& p : m.patterns) {
        std::vector<uint8_t> packed = p.packedData;
        if (packed.empty() && !p.emptyPacked) {
            for (size_t i = 0; i < size_t(p.rows) * m.channels; ++i) {
                XmCell c = i < p.cells.size() ? p.cells[i] : XmCell{};
                uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
                uint8_t mask = 0x80;
                for (int f = 0; f < 5; ++f)
                    if (fields[f]) mask |= uint8_t(1 << f);
                if (mask == 0x9F) {
                    packed.insert(packed.end(), fields, fields + 5);
                } else {
                    packed.push_back(mask);
                    for (int f = 0; f < 5; ++f)
                        if (fields[f]) packed.push_back(fields[f]);
                }
            }
        }
        put32(out, 9);
        put8(out, 0);
        put16(out, p.rows);
        put16(out, p.emptyPacked ? 0 : uint32_t(packed.size()));
        if (!p.emptyPacked) out.insert(out.end(), packed.begin(), packed.end());
    }

    for (const XmInstrument& ins : m.instruments) {
        size_t s = out.size();
        std::vector<uint8_t> header(263, 0);
        auto set16 = [&](size_t at, uint32_t v) {
            header[at] = uint8_t(v);
            header[at + 1] = uint8_t(v >> 8);
        };
        uint32_t sampleCount =
            ins.sampleCountOverride >= 0 ? uint32_t(ins.sampleCountOverride) : uint32_t(ins.samples.size());
        header[0] = uint8_t(ins.headerSize);
        header[1] = uint8_t(ins.headerSize >> 8);
        header[2] = uint8_t(ins.headerSize >> 16);
        header[3] = uint8_t(ins.headerSize >> 24);
        set16(27, sampleCount);
        set16(29, 40);
        memcpy(&header[33], ins.noteSample, 96);
        const XmEnvelope* envelopes[2] = {&ins.volumeEnvelope, &ins.panningEnvelope};
        for (int e = 0; e < 2; ++e) {
            const XmEnvelope& env = *envelopes[e];
            for (size_t i = 0; i < env.points.size() && i < 12; ++i) {
                set16(129 + 48 * e + 4 * i, env.points[i].first);
                set16(129 + 48 * e + 4 * i + 2, env.points[i].second);
            }
            header[225 + e] = env.pointCount == 0xFF ? uint8_t(env.points.size()) : env.pointCount;
            header[227 + 3 * e] = env.sustain;
            header[228 + 3 * e] = env.loopStart;
            header[229 + 3 * e] = env.loopEnd;
            header[233 + e] = env.flags;
        }
        header[235] = ins.vibratoType;
        header[236] = ins.vibratoSweep;
        header[237] = ins.vibratoDepth;
        header[238] = ins.vibratoRate;
        set16(239, ins.fadeout);
        uint32_t written = ins.headerSize == 0 || ins.headerSize > 263 ? 263 : ins.headerSize;
        out.insert(out.end(), header.begin(), header.begin() + written);
        (void)s;

        if (sampleCount == 0) continue;
        for (const XmSample& smp : ins.samples) {
            uint32_t width = smp.sixteenBit ? 2 : 1;
            put32(out, smp.rawHeader ? smp.rawLength : uint32_t(smp.values.size()) * width);
            put32(out, smp.rawHeader ? smp.rawLoopStart : smp.loopStart * width);
            put32(out, smp.rawHeader ? smp.rawLoopLength : smp.loopLength * width);
            put8(out, smp.volume);
            put8(out, uint8_t(smp.finetune));
            put8(out, uint32_t(smp.loopType) | (smp.sixteenBit ? 0x10 : 0));
            put8(out, smp.panning);
            put8(out, uint8_t(smp.relativeNote));
            put8(out, 0);
            out.resize(out.size() + 22, 0);
        }
        for (const XmSample& smp : ins.samples) {
            int32_t previous = 0;
            for (int32_t v : smp.values) {
                int32_t delta = v - previous;
                previous = v;
                if (smp.sixteenBit) put16(out, uint32_t(delta) & 0xFFFF);
                else put8(out, uint32_t(delta) & 0xFF);
            }
        }
    }
    return out;
}

// A module of `channels` channels and one pattern of `rows` rows whose cells
// the caller fills in through cell(row, channel).
struct SongBuilder {
    XmModule module;
    explicit SongBuilder(uint16_t channels = 4, uint16_t rows = 64) {
        module.channels = channels;
        module.patterns.push_back(XmPattern{});
        module.patterns[0].rows = rows;
        module.patterns[0].cells.resize(size_t(rows) * channels);
    }
    XmCell& cell(uint32_t row, uint32_t channel, uint32_t pattern = 0) {
        XmPattern& p = module.patterns[pattern];
        p.cells.resize(size_t(p.rows) * module.channels);
        return p.cells[size_t(row) * module.channels + channel];
    }
    uint32_t addPattern(uint16_t rows) {
        module.patterns.push_back(XmPattern{});
        module.patterns.back().rows = rows;
        module.patterns.back().cells.resize(size_t(rows) * module.channels);
        return uint32_t(module.patterns.size() - 1);
    }
    // Instrument with one sample mapped to every note.
    uint32_t addInstrument(const XmSample& sample) {
        XmInstrument ins;
        ins.samples.push_back(sample);
        module.instruments.push_back(ins);
        return uint32_t(module.instruments.size());
    }
    std::vector<uint8_t> bytes() const { return writeXm(module); }
};

// A looping 8-bit sample of `length` frames holding a constant value.
inline XmSample constantSample(int32_t value, uint32_t length = 64, bool loop = true) {
    XmSample s;
    s.values.assign(length, value);
    if (loop) {
        s.loopType = 1;
        s.loopStart = 0;
        s.loopLength = length;
    }
    return s;
}

}  // namespace xmtest
