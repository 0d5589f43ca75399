// Loading: header checks, the single allocation, pattern and sample decoding.
#include "PlayerFixture.h"

using namespace xmtest;

// Under AddressSanitizer a failed allocation must come back as null, as it
// does without it, instead of ending the test run.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

std::vector<uint8_t> minimalHeader() {
    XmModule m;
    std::vector<uint8_t> bytes = writeXm(m);
    bytes.resize(60);
    return bytes;
}

XmModule oneInstrumentModule(const XmSample& sample) {
    SongBuilder song(1, 4);
    song.addInstrument(sample);
    return song.module;
}

}  // namespace

TEST(ModuleHeader, ChecksSizeSignatureMarkerAndVersionInOrder) {
    std::vector<uint8_t> good = minimalHeader();
    EXPECT_EQ(checkModuleHeader(good.data(), good.size()), 0u);
    EXPECT_EQ(checkModuleHeader(good.data(), 59), 4u);

    std::vector<uint8_t> bad = good;
    bad[9] = 'm';
    EXPECT_EQ(checkModuleHeader(bad.data(), bad.size()), 1u);
    bad = good;
    bad[37] = 0;
    EXPECT_EQ(checkModuleHeader(bad.data(), bad.size()), 2u);
    bad = good;
    bad[58] = 3;
    EXPECT_EQ(checkModuleHeader(bad.data(), bad.size()), 3u);
    bad = good;
    bad[59] = 2;
    EXPECT_EQ(checkModuleHeader(bad.data(), bad.size()), 3u);
    // Signature and version both wrong: the signature is tested first.
    bad[0] = 'X';
    EXPECT_EQ(checkModuleHeader(bad.data(), bad.size()), 1u);
}

TEST(ModuleHeader, RejectedModulesLeaveThePlayerPointerAlone) {
    std::vector<uint8_t> good = minimalHeader();
    ModulePlayer* sentinel = reinterpret_cast<ModulePlayer*>(uintptr_t(0x1234));
    ModulePlayer* player = sentinel;
    EXPECT_EQ(createPlayer(&player, good.data(), 59, 44100), kPlayerRejected);
    std::vector<uint8_t> bad = good;
    bad[37] = 'x';
    EXPECT_EQ(createPlayer(&player, bad.data(), bad.size(), 44100), kPlayerRejected);
    EXPECT_EQ(player, sentinel);
}

TEST(ModuleHeader, SixtyByteModuleLoadsEmptyWithAmigaTableAndPlaysSilence) {
    std::vector<uint8_t> bytes = minimalHeader();
    PlayerPtr player = loadPlayer(bytes);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->songLength, 0);
    EXPECT_EQ(player->channelCount, 0);
    EXPECT_EQ(player->patternCount, 0);
    EXPECT_EQ(player->instrumentCount, 0);
    EXPECT_EQ(player->frequencyTable, AmigaTable);
    EXPECT_EQ(player->tempo, 0);
    for (uint8_t order : player->orderTable) EXPECT_EQ(order, 0);
    EXPECT_EQ(player->allocSize, sizeof(ModulePlayer));
    std::vector<float> out = render(player.get(), 1000);
    for (float v : out) ASSERT_EQ(v, 0.0f);
}

TEST(ModuleHeader, ValuesStraddlingTheEndKeepTheirLowBytes) {
    XmModule m;
    m.orders = {7, 8, 9};
    m.tempo = 0x0305;
    std::vector<uint8_t> bytes = writeXm(m);
    bytes.resize(77);  // keeps the low byte of the tempo only
    PlayerPtr player = loadPlayer(bytes);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->tempo, 0x05);
    EXPECT_EQ(player->bpm, 0);
    EXPECT_EQ(player->frequencyTable, LinearTable);
    EXPECT_EQ(player->orderTable[0], 0);  // the order table lies beyond the end

    bytes = writeXm(m);
    bytes.resize(81);
    player = loadPlayer(bytes);
    EXPECT_EQ(player->orderTable[0], 7);
    EXPECT_EQ(player->orderTable[1], 0);
}

TEST(Allocation, MeasuredSizeIsExactlyWhatIsCarved) {
    SongBuilder song(3, 5);
    song.addPattern(7);
    song.addPattern(0);
    XmSample eight = constantSample(5, 11);
    XmSample sixteen;
    sixteen.sixteenBit = true;
    sixteen.values = {1, -2, 3};
    XmInstrument two;
    two.samples = {eight, sixteen};
    song.module.instruments.push_back(two);
    song.addInstrument(constantSample(-3, 13));
    XmInstrument empty;
    song.module.instruments.push_back(empty);
    song.module.orders = {0, 1, 2, 1};
    std::vector<uint8_t> bytes = song.bytes();

    PlayerPtr player = loadPlayer(bytes);
    ASSERT_TRUE(player);
    uint64_t measured = measurePlayer(bytes.data(), bytes.size());
    EXPECT_EQ(player->allocSize, measured);

    // Recount the layout independently, region by region, with each record
    // type at its natural alignment.
    uint64_t at = sizeof(ModulePlayer);
    auto region = [&](uint64_t bytes, uint64_t align) {
        at = alignOffset(at, align);
        uint64_t start = at;
        at += bytes;
        return start;
    };
    const uint8_t* base = reinterpret_cast<const uint8_t*>(player.get());
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(player->patterns) - base, int64_t(region(3 * sizeof(Pattern), 8)));
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(player->instruments) - base,
              int64_t(region(3 * sizeof(Instrument), 8)));
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(player->patterns[0].cells) - base, int64_t(region(5 * 3 * 5, 1)));
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(player->patterns[1].cells) - base, int64_t(region(7 * 3 * 5, 1)));
    region(0, 1);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(player->instruments[0].samples) - base,
              int64_t(region(2 * sizeof(Sample), alignof(Sample))));
    EXPECT_EQ(static_cast<const uint8_t*>(player->instruments[0].samples[0].data) - base, int64_t(region(11, 1)));
    EXPECT_EQ(static_cast<const uint8_t*>(player->instruments[0].samples[1].data) - base, int64_t(region(6, 2)));
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(player->instruments[1].samples) - base,
              int64_t(region(sizeof(Sample), alignof(Sample))));
    EXPECT_EQ(static_cast<const uint8_t*>(player->instruments[1].samples[0].data) - base, int64_t(region(13, 1)));
    EXPECT_EQ(player->instruments[2].samples, nullptr);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(player->channels) - base,
              int64_t(region(3 * sizeof(Channel), alignof(Channel))));
    EXPECT_EQ(player->rowVisits - base, int64_t(region(4 * 256, 1)));
    EXPECT_EQ(at, measured);
}

TEST(Allocation, AbsurdModulesMeasureWithoutWrapping) {
    // One pattern of 65535 rows and 65535 channels asks for about 21 GB.
    XmModule m;
    m.channels = 65535;
    XmPattern p;
    p.rows = 65535;
    p.emptyPacked = true;
    m.patterns.push_back(p);
    std::vector<uint8_t> bytes = writeXm(m);
    uint64_t measured = measurePlayer(bytes.data(), bytes.size());
    EXPECT_GT(measured, uint64_t(65535) * 65535 * 5);
}

TEST(Allocation, FailureReportsOutOfMemoryAndLeavesThePointer) {
    // One instrument of 65535 samples that each claim 4 GB: about 2^48 bytes,
    // more than any address space offers.
    XmModule m;
    XmInstrument ins;
    XmSample huge;
    huge.rawHeader = true;
    huge.rawLength = 0xFFFFFFFF;
    ins.samples.assign(65535, huge);
    m.instruments.push_back(ins);
    std::vector<uint8_t> bytes = writeXm(m);
    EXPECT_GT(measurePlayer(bytes.data(), bytes.size()), uint64_t(1) << 47);
    ModulePlayer* sentinel = reinterpret_cast<ModulePlayer*>(uintptr_t(0x5678));
    ModulePlayer* player = sentinel;
    EXPECT_EQ(createPlayer(&player, bytes.data(), bytes.size(), 44100), kPlayerOutOfMemory);
    EXPECT_EQ(player, sentinel);
}

TEST(Patterns, PackedCellsDecode) {
    XmModule m;
    m.channels = 2;
    XmPattern p;
    p.rows = 2;
    // 0x80: empty; 0x81 0x31: note 49 alone; 0x9E: all but the note;
    // then an unpacked cell.
    p.packedData = {0x80, 0x81, 0x31, 0x9E, 2, 0x40, 0x0C, 0x20, 50, 3, 0x30, 0x0A, 0x12};
    m.patterns.push_back(p);
    std::vector<uint8_t> bytes = writeXm(m);
    PlayerPtr player = loadPlayer(bytes);
    ASSERT_TRUE(player);
    const Cell* cells = player->patterns[0].cells;
    Cell expected[4] = {{0, 0, 0, 0, 0}, {49, 0, 0, 0, 0}, {0, 2, 0x40, 0x0C, 0x20}, {50, 3, 0x30, 0x0A, 0x12}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(memcmp(&cells[i], &expected[i], 5), 0) << "cell " << i;
    }
}

TEST(Patterns, EmptyPackedDataAndSurplusCells) {
    XmModule m;
    m.channels = 1;
    XmPattern empty;
    empty.rows = 3;
    empty.emptyPacked = true;
    XmPattern surplus;
    surplus.rows = 1;
    // Three notes for a pattern of one cell: the rest is dropped.
    surplus.packedData = {0x81, 10, 0x81, 11, 0x81, 12};
    XmPattern after;
    after.rows = 1;
    after.packedData = {0x81, 13};
    m.patterns = {empty, surplus, after};
    std::vector<uint8_t> bytes = writeXm(m);
    PlayerPtr player = loadPlayer(bytes);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->patterns[0].rowCount, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(player->patterns[0].cells[i].note, 0);
    EXPECT_EQ(player->patterns[1].cells[0].note, 10);
    EXPECT_EQ(player->patterns[1].cells + 1, player->patterns[2].cells);
    EXPECT_EQ(player->patterns[2].cells[0].note, 13);
}

TEST(Patterns, CellsPastTheModuleEndStayEmpty) {
    SongBuilder song(1, 4);
    for (int r = 0; r < 4; ++r) song.cell(r, 0) = XmCell{uint8_t(20 + r), 1, 0, 0, 0};
    std::vector<uint8_t> bytes = song.bytes();
    // Keep the pattern header and the first cell (0x83, note, instrument).
    bytes.resize(60 + 276 + 9 + 3);
    PlayerPtr player = loadPlayer(bytes);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->patterns[0].cells[0].note, 20);
    EXPECT_EQ(player->patterns[0].cells[0].instrument, 1);
    // Missing bytes read 0: a 0 byte is an unpacked cell of note 0.
    for (int r = 1; r < 4; ++r) EXPECT_EQ(player->patterns[0].cells[r].note, 0);
}

TEST(Instruments, HeaderSizeBoundsTheReads) {
    XmModule base = oneInstrumentModule(constantSample(1));
    XmInstrument& ins = base.instruments[0];
    ins.fadeout = 500;
    ins.noteSample[0] = 0;
    ins.volumeEnvelope.points = {{0, 64}, {10, 0}};
    ins.volumeEnvelope.flags = 1;

    XmModule zero = base;
    zero.instruments[0].headerSize = 0;  // counts as 263
    PlayerPtr player = loadPlayer(writeXm(zero));
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[0].sampleCount, 1);
    EXPECT_EQ(player->instruments[0].fadeout, 500);
    EXPECT_TRUE(player->instruments[0].volumeEnvelope.enabled);

    XmModule short29 = base;
    short29.instruments[0].headerSize = 29;
    player = loadPlayer(writeXm(short29));
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[0].sampleCount, 1);
    EXPECT_EQ(player->instruments[0].fadeout, 0);
    EXPECT_EQ(player->instruments[0].volumeEnvelope.pointCount, 0);
    EXPECT_FALSE(player->instruments[0].volumeEnvelope.enabled);
    // The sample header follows the shortened instrument header.
    EXPECT_EQ(player->instruments[0].samples[0].length, 64u);
    EXPECT_EQ(static_cast<int8_t*>(player->instruments[0].samples[0].data)[63], 1);

    XmModule short27 = base;
    short27.instruments[0].headerSize = 27;
    short27.instruments[0].samples.clear();  // the count is cut off anyway
    player = loadPlayer(writeXm(short27));
    ASSERT_TRUE(player);
    EXPECT_EQ(player->instruments[0].sampleCount, 0);
    EXPECT_EQ(player->instruments[0].samples, nullptr);
}

TEST(Instruments, NoSamplesMeansNoEnvelopesOrFadeout) {
    XmModule m = oneInstrumentModule(constantSample(1));
    m.instruments[0].samples.clear();
    m.instruments[0].fadeout = 1000;
    m.instruments[0].volumeEnvelope.points = {{0, 64}, {5, 32}};
    m.instruments[0].volumeEnvelope.flags = 7;
    PlayerPtr player = loadPlayer(writeXm(m));
    ASSERT_TRUE(player);
    const Instrument& ins = player->instruments[0];
    EXPECT_EQ(ins.fadeout, 0);
    EXPECT_FALSE(ins.volumeEnvelope.enabled);
    EXPECT_EQ(ins.volumeEnvelope.pointCount, 0);
}

TEST(Instruments, EnvelopeCountsAndLoopPointsAreClamped) {
    XmModule m = oneInstrumentModule(constantSample(1));
    XmEnvelope& env = m.instruments[0].volumeEnvelope;
    env.points = {{0, 10}, {4, 20}, {8, 30}};
    env.sustain = 40;
    env.loopStart = 9;
    env.loopEnd = 200;
    env.flags = 7;
    XmEnvelope& pan = m.instruments[0].panningEnvelope;
    pan.points = {{0, 32}};
    pan.pointCount = 30;  // more than twelve
    m.instruments[0].vibratoType = 1;
    PlayerPtr player = loadPlayer(writeXm(m));
    ASSERT_TRUE(player);
    const Envelope& volume = player->instruments[0].volumeEnvelope;
    EXPECT_EQ(volume.pointCount, 3);
    EXPECT_EQ(volume.loopStart, 2);
    EXPECT_EQ(volume.loopEnd, 2);
    EXPECT_EQ(volume.sustainPoint, 40);  // kept as read
    EXPECT_TRUE(volume.enabled && volume.sustainEnabled && volume.loopEnabled);
    EXPECT_EQ(volume.points[1].tick, 4);
    EXPECT_EQ(volume.points[2].value, 30);
    EXPECT_EQ(player->instruments[0].panningEnvelope.pointCount, 12);
    // Module waveform 1 is the square, 2 the falling ramp.
    EXPECT_EQ(player->instruments[0].autoVibratoWaveform, Square);
}

TEST(Samples, DeltaDecodingEightAndSixteenBit) {
    XmModule m = oneInstrumentModule(constantSample(1));
    XmSample raw8;
    raw8.values = {16, 32, 16};  // stored as 0x10, 0x10, 0xF0
    XmSample raw16;
    raw16.sixteenBit = true;
    raw16.values = {1000, -32768, 32767, 0};
    m.instruments[0].samples = {raw8, raw16};
    std::vector<uint8_t> bytes = writeXm(m);
    PlayerPtr player = loadPlayer(bytes);
    ASSERT_TRUE(player);
    const Sample& s8 = player->instruments[0].samples[0];
    const Sample& s16 = player->instruments[0].samples[1];
    EXPECT_EQ(s8.bits, 8);
    const int8_t* d8 = static_cast<const int8_t*>(s8.data);
    EXPECT_EQ(d8[0], 16);
    EXPECT_EQ(d8[1], 32);
    EXPECT_EQ(d8[2], 16);
    EXPECT_EQ(s16.bits, 16);
    EXPECT_EQ(s16.length, 4u);
    const int16_t* d16 = static_cast<const int16_t*>(s16.data);
    EXPECT_EQ(d16[0], 1000);
    EXPECT_EQ(d16[1], -32768);
    EXPECT_EQ(d16[2], 32767);
    EXPECT_EQ(d16[3], 0);
}

TEST(Samples, TruncatedSampleHoldsItsLastSum) {
    XmModule m = oneInstrumentModule(constantSample(1));
    XmSample s;
    s.values = {5, 9, 12, 20, 30};
    m.instruments[0].samples = {s};
    std::vector<uint8_t> bytes = writeXm(m);
    bytes.resize(bytes.size() - 2);  // drop the last two deltas
    PlayerPtr player = loadPlayer(bytes);
    ASSERT_TRUE(player);
    const int8_t* d = static_cast<const int8_t*>(player->instruments[0].samples[0].data);
    EXPECT_EQ(d[2], 12);
    EXPECT_EQ(d[3], 12);
    EXPECT_EQ(d[4], 12);

    XmSample wide;
    wide.sixteenBit = true;
    wide.values = {0x0102, 0x0102};
    m.instruments[0].samples = {wide};
    bytes = writeXm(m);
    bytes.resize(bytes.size() - 3);  // only the low byte of the first word is left
    player = loadPlayer(bytes);
    const int16_t* w = static_cast<const int16_t*>(player->instruments[0].samples[0].data);
    EXPECT_EQ(w[0], 0x02);  // high byte missing
    EXPECT_EQ(w[1], 0x02);
}

TEST(Samples, SixteenBitLengthsAreHalvedFromTheirByteValues) {
    XmModule m = oneInstrumentModule(constantSample(1));
    XmSample odd;
    odd.sixteenBit = true;
    odd.rawHeader = true;
    odd.rawLength = 7;
    odd.rawLoopStart = 1;
    odd.rawLoopLength = 3;  // loop bytes 1..4
    odd.loopType = 1;
    odd.values = {};
    XmSample next = constantSample(9, 4);
    m.instruments[0].samples = {odd, next};
    std::vector<uint8_t> bytes = writeXm(m);
    // The writer stored no data for the raw sample: put 7 bytes in place.
    size_t dataAt = bytes.size() - 4;
    bytes.insert(bytes.begin() + dataAt, {1, 0, 1, 0, 1, 0, 0x55});
    PlayerPtr player = loadPlayer(bytes);
    ASSERT_TRUE(player);
    const Sample& s = player->instruments[0].samples[0];
    EXPECT_EQ(s.length, 3u);
    EXPECT_EQ(s.loopStart, 0u);
    EXPECT_EQ(s.loopEnd, 2u);
    EXPECT_EQ(s.loopLength, 1u);  // halved from 3 bytes, not recomputed from the ends
    EXPECT_EQ(s.loopType, ForwardLoop);
    const int16_t* d = static_cast<const int16_t*>(s.data);
    EXPECT_EQ(d[2], 3);
    // The next sample's data starts 7 bytes later.
    const int8_t* d2 = static_cast<const int8_t*>(player->instruments[0].samples[1].data);
    EXPECT_EQ(d2[0], 9);
    EXPECT_EQ(d2[3], 9);

    XmSample tiny;
    tiny.sixteenBit = true;
    tiny.rawHeader = true;
    tiny.rawLength = 4;
    tiny.rawLoopStart = 2;
    tiny.rawLoopLength = 1;  // halves to 0
    tiny.loopType = 1;
    m.instruments[0].samples = {tiny};
    player = loadPlayer(writeXm(m));
    EXPECT_EQ(player->instruments[0].samples[0].loopType, NoLoop);
}

TEST(Samples, LoopsAreClampedToTheSample) {
    XmModule m = oneInstrumentModule(constantSample(1));
    XmSample past = constantSample(1, 10, false);
    past.loopType = 1;
    past.loopStart = 12;
    past.loopLength = 4;
    XmSample longLoop = constantSample(1, 10, false);
    longLoop.loopType = 1;
    longLoop.loopStart = 4;
    longLoop.loopLength = 100;
    XmSample pingPong = constantSample(1, 10, false);
    pingPong.loopType = 3;
    pingPong.loopStart = 2;
    pingPong.loopLength = 5;
    XmSample emptyLoop = constantSample(1, 10, false);
    emptyLoop.loopType = 2;
    emptyLoop.loopStart = 3;
    XmSample wrapped = constantSample(1, 10, false);
    wrapped.loopType = 1;
    wrapped.rawHeader = true;
    wrapped.rawLength = 10;
    wrapped.rawLoopStart = 6;
    wrapped.rawLoopLength = 0xFFFFFFFE;  // the end wraps round to 4
    m.instruments[0].samples = {past, longLoop, pingPong, emptyLoop, wrapped};
    PlayerPtr player = loadPlayer(writeXm(m));
    ASSERT_TRUE(player);
    const Sample* s = player->instruments[0].samples;
    EXPECT_EQ(s[0].loopType, NoLoop);
    EXPECT_EQ(s[0].loopStart, 10u);
    EXPECT_EQ(s[0].loopLength, 0u);
    EXPECT_EQ(s[1].loopType, ForwardLoop);
    EXPECT_EQ(s[1].loopEnd, 10u);
    EXPECT_EQ(s[1].loopLength, 6u);
    EXPECT_EQ(s[2].loopType, PingPongLoop);
    EXPECT_EQ(s[2].loopEnd, 7u);
    EXPECT_EQ(s[3].loopType, NoLoop);
    // An end that wrapped below the start gives an empty loop rather than
    // one of four billion frames.
    EXPECT_EQ(s[4].loopType, NoLoop);
    EXPECT_EQ(s[4].loopLength, 0u);
}

TEST(Samples, HeaderFieldsConvert) {
    XmSample s = constantSample(1, 4);
    s.volume = 80;  // above 64: not clamped
    s.finetune = -16;
    s.panning = 255;
    s.relativeNote = -12;
    PlayerPtr player = loadPlayer(writeXm(oneInstrumentModule(s)));
    ASSERT_TRUE(player);
    const Sample& loaded = player->instruments[0].samples[0];
    EXPECT_EQ(loaded.volume, 1.25f);
    EXPECT_EQ(loaded.finetune, -16);
    EXPECT_EQ(loaded.panning, 1.0f);
    EXPECT_EQ(loaded.relativeNote, -12);
}
