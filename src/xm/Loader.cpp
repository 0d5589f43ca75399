// Loading: header check, measuring, carving and decoding the module.
//
// Measuring and loading share one walk over the module so that the size that
// createPlayer allocates is, by construction, exactly what the load carves.
#include "xm/Loader.h"

#include <cstring>

#include "xm/ModuleBytes.h"

namespace {

constexpr uint64_t kHeaderSizeOffset = 60;
constexpr uint64_t kOrderTableOffset = 80;
constexpr uint32_t kMaxInstrumentHeader = 263;
constexpr uint64_t kSampleHeaderSize = 40;

// Hands out consecutive regions of the allocation. With no base it only
// counts, which is how the size is measured.
struct Pool {
    uint8_t* base;    // null while measuring
    uint64_t offset;  // relative to the start of the allocation
};

uint8_t* carve(Pool& pool, uint64_t bytes, uint64_t alignment) {
    pool.offset = alignOffset(pool.offset, alignment);
    uint8_t* region = pool.base ? pool.base + pool.offset : nullptr;
    pool.offset = addOffset(pool.offset, bytes);
    return region;
}

template <typename T>
T* carveRecords(Pool& pool, uint64_t count) {
    uint64_t bytes = count > kOffsetCap / sizeof(T) ? kOffsetCap : count * sizeof(T);
    return reinterpret_cast<T*>(carve(pool, bytes, alignof(T)));
}

// Decodes packed cells. Cells beyond the pattern's own are dropped: decoding
// stops once every cell has been described.
void decodePattern(const ModuleBytes& bytes, uint64_t start, uint16_t packedSize, Cell* cells,
                   uint64_t cellCount) {
    uint64_t read = 0;
    for (uint64_t index = 0; read < packedSize && index < cellCount; ++index) {
        Cell& cell = cells[index];
        uint8_t first = readU8(bytes, addOffset(start, read++));
        if (first & 0x80) {
            uint8_t* fields[5] = {&cell.note, &cell.instrument, &cell.volumeColumn, &cell.effect,
                                  &cell.param};
            for (int field = 0; field < 5; ++field) {
                if (first & (1u << field)) *fields[field] = readU8(bytes, addOffset(start, read++));
            }
        } else {
            cell.note = first;
            cell.instrument = readU8(bytes, addOffset(start, read++));
            cell.volumeColumn = readU8(bytes, addOffset(start, read++));
            cell.effect = readU8(bytes, addOffset(start, read++));
            cell.param = readU8(bytes, addOffset(start, read++));
        }
    }
}

void readEnvelope(const ModuleBytes& header, uint64_t s, uint64_t pointsAt, uint64_t countAt,
                  uint64_t sustainAt, uint64_t flagsAt, Envelope& envelope) {
    uint8_t count = readU8(header, s + countAt);
    envelope.pointCount = count > kEnvelopePoints ? kEnvelopePoints : count;
    for (uint32_t i = 0; i < envelope.pointCount; ++i) {
        envelope.points[i].tick = readU16(header, s + pointsAt + 4 * i);
        envelope.points[i].value = readU16(header, s + pointsAt + 4 * i + 2);
    }
    envelope.sustainPoint = readU8(header, s + sustainAt);
    envelope.loopStart = readU8(header, s + sustainAt + 1);
    envelope.loopEnd = readU8(header, s + sustainAt + 2);
    if (envelope.pointCount > 0) {
        uint8_t last = static_cast<uint8_t>(envelope.pointCount - 1);
        if (envelope.loopStart > last) envelope.loopStart = last;
        if (envelope.loopEnd > last) envelope.loopEnd = last;
    }
    uint8_t flags = readU8(header, s + flagsAt);
    envelope.enabled = flags & 1;
    envelope.sustainEnabled = flags & 2;
    envelope.loopEnabled = flags & 4;
}

void readInstrumentHeader(const ModuleBytes& header, uint64_t s, Instrument& instrument) {
    for (uint64_t i = 0; i < 96; ++i) instrument.noteSample[i] = readU8(header, s + 33 + i);
    readEnvelope(header, s, 129, 225, 227, 233, instrument.volumeEnvelope);
    readEnvelope(header, s, 177, 226, 230, 234, instrument.panningEnvelope);
    uint8_t waveform = readU8(header, s + 235);
    if (waveform == 1) waveform = Square;
    else if (waveform == 2) waveform = RampDown;
    instrument.autoVibratoWaveform = static_cast<Waveform>(waveform);
    instrument.autoVibratoSweep = readU8(header, s + 236);
    instrument.autoVibratoDepth = readU8(header, s + 237);
    instrument.autoVibratoRate = readU8(header, s + 238);
    instrument.fadeout = readU16(header, s + 239);
}

void readSampleHeader(const ModuleBytes& bytes, uint64_t t, Sample& sample) {
    uint32_t length = readU32(bytes, t);
    uint32_t loopStart = readU32(bytes, t + 4);
    uint32_t loopEnd = loopStart + readU32(bytes, t + 8);  // wraps as stored
    uint8_t flags = readU8(bytes, t + 14);
    sample.volume = readU8(bytes, t + 12) / 64.0f;
    sample.finetune = static_cast<int8_t>(readU8(bytes, t + 13));
    sample.panning = readU8(bytes, t + 15) / 255.0f;
    sample.relativeNote = static_cast<int8_t>(readU8(bytes, t + 16));
    if (loopStart > length) loopStart = length;
    if (loopEnd > length) loopEnd = length;
    // A wrapped end can lie before the start; such a loop is empty.
    uint32_t loopLength = loopEnd > loopStart ? loopEnd - loopStart : 0;
    if (loopLength == 0) loopEnd = loopStart;
    if ((flags & 3) == 0 || loopLength == 0) sample.loopType = NoLoop;
    else sample.loopType = (flags & 3) == 1 ? ForwardLoop : PingPongLoop;
    sample.bits = (flags & 0x10) ? 16 : 8;
    if (sample.bits == 16) {
        length /= 2;
        loopStart /= 2;
        loopEnd /= 2;
        loopLength /= 2;
        if (loopLength == 0) sample.loopType = NoLoop;
    }
    sample.length = length;
    sample.loopStart = loopStart;
    sample.loopEnd = loopEnd;
    sample.loopLength = loopLength;
}

// Running sums of the stored deltas. Past the module's end every delta is 0,
// so the rest of a truncated sample holds its last sum.
void decodeSampleData(const ModuleBytes& bytes, uint64_t start, Sample& sample) {
    if (sample.bits == 8) {
        int8_t* out = static_cast<int8_t*>(sample.data);
        uint8_t sum = 0;
        uint32_t i = 0;
        for (; i < sample.length && addOffset(start, i) < bytes.limit; ++i) {
            sum = static_cast<uint8_t>(sum + bytes.data[start + i]);
            out[i] = static_cast<int8_t>(sum);
        }
        // The allocation starts zeroed, so a sum of 0 needs no writing.
        if (i < sample.length && sum != 0) memset(out + i, sum, sample.length - i);
    } else {
        int16_t* out = static_cast<int16_t*>(sample.data);
        uint16_t sum = 0;
        uint32_t i = 0;
        for (; i < sample.length && addOffset(start, 2 * uint64_t(i)) < bytes.limit; ++i) {
            sum = static_cast<uint16_t>(sum + readU16(bytes, start + 2 * uint64_t(i)));
            out[i] = static_cast<int16_t>(sum);
        }
        if (sum != 0)
            for (; i < sample.length; ++i) out[i] = static_cast<int16_t>(sum);
    }
}

struct ModuleCounts {
    uint16_t songLength;
    uint16_t channelCount;
    uint16_t patternCount;
    uint16_t instrumentCount;
};

ModuleCounts readCounts(const ModuleBytes& bytes) {
    return ModuleCounts{readU16(bytes, 64), readU16(bytes, 68), readU16(bytes, 70), readU16(bytes, 72)};
}

// Walks patterns and instruments, carving their records, cells, samples and
// sample data from `pool` (layout items 2 to 5). With a player, also decodes.
void walkModule(const ModuleBytes& bytes, const ModuleCounts& counts, ModulePlayer* player, Pool& pool) {
    Pattern* patterns = carveRecords<Pattern>(pool, counts.patternCount);
    Instrument* instruments = carveRecords<Instrument>(pool, counts.instrumentCount);
    if (player) {
        player->patterns = counts.patternCount ? patterns : nullptr;
        player->instruments = counts.instrumentCount ? instruments : nullptr;
    }

    uint64_t start = addOffset(kHeaderSizeOffset, readU32(bytes, kHeaderSizeOffset));
    for (uint32_t p = 0; p < counts.patternCount; ++p) {
        uint32_t headerLength = readU32(bytes, start);
        uint16_t rowCount = readU16(bytes, start + 5);
        uint16_t packedSize = readU16(bytes, start + 7);
        uint64_t cellCount = uint64_t(rowCount) * counts.channelCount;
        Cell* cells = carveRecords<Cell>(pool, cellCount);
        uint64_t packedStart = addOffset(start, headerLength);
        if (player) {
            patterns[p].rowCount = rowCount;
            patterns[p].cells = cells;
            if (packedSize != 0) decodePattern(bytes, packedStart, packedSize, cells, cellCount);
        }
        start = addOffset(packedStart, packedSize);
    }

    for (uint32_t i = 0; i < counts.instrumentCount; ++i) {
        uint64_t s = start;
        uint32_t headerSize = readU32(bytes, s);
        if (headerSize == 0 || headerSize > kMaxInstrumentHeader) headerSize = kMaxInstrumentHeader;
        uint64_t end = addOffset(s, headerSize);
        ModuleBytes header = boundedTo(bytes, end);
        uint16_t sampleCount = readU16(header, s + 27);
        if (sampleCount == 0) {
            start = end;
            continue;
        }
        Instrument* instrument = player ? &instruments[i] : nullptr;
        Sample* samples = carveRecords<Sample>(pool, sampleCount);
        if (instrument) {
            instrument->sampleCount = sampleCount;
            instrument->samples = samples;
            readInstrumentHeader(header, s, *instrument);
        }
        uint64_t dataStart = addOffset(end, kSampleHeaderSize * sampleCount);
        for (uint32_t k = 0; k < sampleCount; ++k) {
            uint64_t t = addOffset(end, kSampleHeaderSize * k);
            uint32_t storedLength = readU32(bytes, t);
            bool sixteenBit = readU8(bytes, t + 14) & 0x10;
            uint8_t* data = carve(pool, storedLength, sixteenBit ? alignof(int16_t) : 1);
            if (instrument) {
                Sample& sample = samples[k];
                readSampleHeader(bytes, t, sample);
                sample.data = data;
                decodeSampleData(bytes, dataStart, sample);
            }
            dataStart = addOffset(dataStart, storedLength);
        }
        start = dataStart;
    }
}

}  // namespace

uint64_t alignOffset(uint64_t offset, uint64_t alignment) {
    uint64_t aligned = (offset + alignment - 1) & ~(alignment - 1);
    return aligned < offset ? kOffsetCap : aligned;
}

uint32_t checkModuleHeader(const uint8_t* data, uint64_t size) {
    if (size < 60) return 4;
    if (memcmp(data, "Extended Module: ", 17) != 0) return 1;
    if (data[37] != 0x1A) return 2;
    if (data[58] != 0x04 || data[59] != 0x01) return 3;
    return 0;
}

uint64_t measurePlayer(const uint8_t* data, uint64_t size) {
    ModuleBytes bytes{data, size};
    ModuleCounts counts = readCounts(bytes);
    Pool pool{nullptr, sizeof(ModulePlayer)};
    walkModule(bytes, counts, nullptr, pool);
    carveRecords<Channel>(pool, counts.channelCount);
    carve(pool, uint64_t(counts.songLength) * 256, 1);
    return pool.offset >= kOffsetCap ? UINT64_MAX : pool.offset;
}

uint8_t* loadModule(ModulePlayer* player, const uint8_t* data, uint64_t size, uint8_t* pool) {
    ModuleBytes bytes{data, size};
    ModuleCounts counts = readCounts(bytes);
    player->songLength = counts.songLength;
    player->restartPosition = readU16(bytes, 66);
    player->channelCount = counts.channelCount;
    player->patternCount = counts.patternCount;
    player->instrumentCount = counts.instrumentCount;
    player->frequencyTable = (readU16(bytes, 74) & 1) ? LinearTable : AmigaTable;
    player->tempo = readU16(bytes, 76);
    player->bpm = readU16(bytes, 78);
    for (uint64_t i = 0; i < 256; ++i) player->orderTable[i] = readU8(bytes, kOrderTableOffset + i);

    uint8_t* base = reinterpret_cast<uint8_t*>(player);
    Pool carver{base, static_cast<uint64_t>(pool - base)};
    walkModule(bytes, counts, player, carver);
    return base + carver.offset;
}
