// Voices: periods and frequencies for both tables, waveforms, envelopes,
// fadeout, auto-vibrato, the panning law, sample reading with loops, the
// crossfade of a new note and the gain slides.
#include "PlayerFixture.h"

using namespace xmtest;

namespace {

PlayerPtr tablePlayer(bool linear) {
    SongBuilder song(1, 4);
    song.module.linear = linear;
    song.addInstrument(constantSample(1));
    return loadPlayer(song.bytes());
}

Sample makeSample(std::vector<int8_t>& data, LoopType type, uint32_t loopStart, uint32_t loopEnd) {
    Sample s{};
    s.bits = 8;
    s.length = uint32_t(data.size());
    s.loopStart = loopStart;
    s.loopEnd = loopEnd;
    s.loopLength = loopEnd - loopStart;
    s.loopType = type;
    s.data = data.data();
    return s;
}

Channel playingChannel(Instrument& instrument, Sample& sample, float position, float step) {
    Channel ch{};
    ch.instrument = &instrument;
    ch.sample = &sample;
    ch.position = position;
    ch.step = step;
    ch.forward = true;
    ch.rampFrame = kRampFrames;
    return ch;
}

}  // namespace

TEST(Pitch, LinearTable) {
    PlayerPtr player = tablePlayer(true);
    EXPECT_EQ(notePeriod(player.get(), 48.0f), 4608.0f);
    EXPECT_FLOAT_EQ(periodFrequency(player.get(), 4608.0f, 0, 0), 8363.0f);
    EXPECT_EQ(notePeriod(player.get(), 48.0f) - notePeriod(player.get(), 48.0f + 127.0f / 128.0f), 63.5f);
    // One octave up, a period offset of one quarter semitone.
    EXPECT_FLOAT_EQ(periodFrequency(player.get(), 4608.0f - 768.0f, 0, 0), 16726.0f);
    EXPECT_FLOAT_EQ(periodFrequency(player.get(), 4608.0f, 0, 1.0f), 8363.0f * std::pow(2.0f, 16.0f / 768.0f));
    EXPECT_FLOAT_EQ(periodFrequency(player.get(), 4608.0f, 12, 0), 16726.0f);
}

TEST(Pitch, AmigaTable) {
    PlayerPtr player = tablePlayer(false);
    EXPECT_EQ(amigaPeriod(48.0f), 428.0f);
    EXPECT_NEAR(periodFrequency(player.get(), 428.0f, 0, 0), 8287.1f, 0.05f);
    EXPECT_EQ(amigaPeriod(12.0f), 3424.0f);
    EXPECT_EQ(amigaPeriod(13.0f), 3232.0f);
    const float octave[12] = {1712, 1616, 1525, 1440, 1357, 1281, 1209, 1141, 1077, 1017, 961, 907};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(amigaPeriod(24.0f + i), octave[i]);
    EXPECT_EQ(amigaPeriod(36.0f), 856.0f);
    EXPECT_EQ(amigaPeriod(48.5f), 416.0f);  // halfway between 428 and 404
    EXPECT_EQ(amigaPeriod(-1.0f), 7256.0f);  // index 11 of octave -3
    EXPECT_EQ(periodFrequency(player.get(), 0.0f, 0, 0), 0.0f);
    // Arpeggio on the Amiga table goes through a note and back.
    EXPECT_FLOAT_EQ(periodFrequency(player.get(), 428.0f, 12, 0), 7093789.0f / 428.0f);
    EXPECT_FLOAT_EQ(periodFrequency(player.get(), 428.0f, 7, 0), 7093789.0f / (2.0f * amigaPeriod(55.0f)));
    EXPECT_FLOAT_EQ(periodFrequency(player.get(), 3424.0f, 1, 0), 7093789.0f / (2.0f * 3232.0f));
}

TEST(Pitch, AmigaPeriodsFarOutsideTheTableStayDefined) {
    PlayerPtr player = tablePlayer(false);
    // Octave -11 and below need more than 32 bits; the periods keep rising.
    EXPECT_GT(amigaPeriod(-100.0f), amigaPeriod(-96.0f));
    EXPECT_GT(amigaPeriod(-200.0f), amigaPeriod(-100.0f));
    for (float note : {-1e9f, -500.0f, 600.0f, 1e9f, std::numeric_limits<float>::quiet_NaN()}) {
        float period = amigaPeriod(note);
        EXPECT_TRUE(std::isfinite(period)) << note;
        EXPECT_GE(period, 0.0f) << note;
    }
    // The arpeggio conversion ends for any period, including those whose
    // octave search would not end in 32 bits.
    for (float period : {0.0f, 0.001f, 1753088.0f / 1024.0f * 2048.0f, 3506177.0f, 5e6f, 1e20f, 3e38f}) {
        float hz = periodFrequency(player.get(), period, 3, 0);
        EXPECT_TRUE(std::isfinite(hz)) << period;
    }
}

TEST(Waveforms, ValuesAndTheSharedRandomSeed) {
    EXPECT_FLOAT_EQ(waveformValue(Sine, 16), -1.0f);
    EXPECT_FLOAT_EQ(waveformValue(Sine, 48), 1.0f);
    EXPECT_EQ(waveformValue(Sine, 80), waveformValue(Sine, 16));
    EXPECT_EQ(waveformValue(RampDown, 0), 1.0f);
    EXPECT_EQ(waveformValue(RampDown, 32), 0.0f);
    EXPECT_EQ(waveformValue(RampDown, 63), -31.0f / 32.0f);
    EXPECT_EQ(waveformValue(Square, 31), -1.0f);
    EXPECT_EQ(waveformValue(Square, 32), 1.0f);
    EXPECT_EQ(waveformValue(RampUp, 0), -1.0f);
    EXPECT_EQ(waveformValue(RampUp, 48), 0.5f);
    EXPECT_EQ(waveformValue(static_cast<Waveform>(7), 10), 0.0f);

    resetRandomSeed();
    uint32_t seed = 24492u * 1103515245u + 12345u;
    float first = waveformValue(Random, 0);
    EXPECT_EQ(first, float((seed >> 16) & 0x7FFF) / 16384.0f - 1.0f);
    float second = waveformValue(Random, 0);
    EXPECT_NE(first, second);
    EXPECT_GE(second, -1.0f);
    EXPECT_LT(second, 1.0f);
    resetRandomSeed();
    EXPECT_EQ(waveformValue(Random, 5), first);
}

TEST(Envelopes, OnePointTwoPointsSustainAndLoop) {
    Channel ch{};
    ch.sustained = true;
    Envelope one{};
    one.pointCount = 1;
    one.points[0] = {0, 80};
    uint16_t counter = 0;
    float out = 0;
    stepEnvelope(ch, one, counter, out);
    EXPECT_EQ(out, 1.0f);
    EXPECT_EQ(counter, 0);

    Envelope two{};
    two.pointCount = 2;
    two.points[0] = {0, 0};
    two.points[1] = {10, 80};
    counter = 5;
    stepEnvelope(ch, two, counter, out);
    EXPECT_EQ(out, 0.625f);
    EXPECT_EQ(counter, 6);
    counter = 10;
    stepEnvelope(ch, two, counter, out);
    EXPECT_EQ(out, 1.25f);  // not clamped

    Envelope held{};
    held.pointCount = 3;
    held.points[0] = {0, 64};
    held.points[1] = {4, 32};
    held.points[2] = {8, 0};
    held.sustainEnabled = true;
    held.sustainPoint = 1;
    counter = 4;
    stepEnvelope(ch, held, counter, out);
    EXPECT_EQ(counter, 4);
    EXPECT_EQ(out, 0.5f);
    ch.sustained = false;
    stepEnvelope(ch, held, counter, out);
    EXPECT_EQ(counter, 5);

    held.loopEnabled = true;
    held.loopStart = 1;
    held.loopEnd = 2;
    counter = 8;
    stepEnvelope(ch, held, counter, out);
    EXPECT_EQ(counter, 5);  // back to tick 4, then on
    EXPECT_EQ(out, 0.5f);

    Envelope none{};
    out = 0.3f;
    counter = 2;
    stepEnvelope(ch, none, counter, out);
    EXPECT_EQ(out, 0.3f);
    EXPECT_EQ(counter, 2);
}

TEST(Envelopes, SustainPointOutsideThePointsNeverHolds) {
    Channel ch{};
    ch.sustained = true;
    Envelope env{};
    env.pointCount = 12;
    for (uint16_t i = 0; i < 12; ++i) env.points[i] = {uint16_t(i * 2), uint16_t(64 - i)};
    env.sustainEnabled = true;
    float out = 0;
    for (uint8_t sustain : {12, 40, 255}) {
        env.sustainPoint = sustain;
        uint16_t counter = 0;
        for (int i = 0; i < 30; ++i) stepEnvelope(ch, env, counter, out);
        EXPECT_EQ(counter, 30);
        EXPECT_EQ(out, float(64 - 11) / 64.0f);
    }
}

TEST(Envelopes, FadeoutRunsOnlyWithTheVolumeEnvelope) {
    SongBuilder song(1, 32);
    song.module.tempo = 1;
    XmInstrument& ins = song.module.instruments.emplace_back();
    ins.samples.push_back(constantSample(50));
    ins.fadeout = 4095;
    ins.volumeEnvelope.points = {{0, 64}, {100, 64}};
    ins.volumeEnvelope.flags = 1;
    song.cell(0, 0) = XmCell{49, 1, 0, 0, 0};
    song.cell(1, 0) = XmCell{97, 0, 0, 0, 0};
    PlayerPtr player = loadPlayer(song.bytes());
    runTicks(player.get(), 1);
    EXPECT_EQ(player->channels[0].fadeoutVolume, 1.0f);
    int ticks = 0;
    do {
        runTick(player.get());
        ++ticks;
    } while (player->channels[0].fadeoutVolume > 0.0f && ticks < 100);
    EXPECT_EQ(ticks, 9);
    EXPECT_EQ(player->channels[0].volume, 1.0f);
    EXPECT_EQ(player->channels[0].targetGain[0], 0.0f);

    song.module.instruments[0].volumeEnvelope.flags = 0;
    player = loadPlayer(song.bytes());
    runTicks(player.get(), 5);
    EXPECT_EQ(player->channels[0].volume, 0.0f);  // released without an envelope: cut
    EXPECT_EQ(player->channels[0].fadeoutVolume, 1.0f);
}

TEST(Envelopes, PanningEnvelopeFollowsTheTicks) {
    SongBuilder song(1, 8);
    song.module.tempo = 8;
    XmInstrument& ins = song.module.instruments.emplace_back();
    ins.samples.push_back(constantSample(50));
    ins.panningEnvelope.points = {{0, 0}, {4, 64}};
    ins.panningEnvelope.flags = 1;
    song.cell(0, 0) = XmCell{49, 1, 0, 0, 0};
    PlayerPtr player = loadPlayer(song.bytes());
    runTicks(player.get(), 3);
    EXPECT_EQ(player->channels[0].envelopePanning, 0.5f);  // the value at tick 2
    runTicks(player.get(), 3);
    EXPECT_EQ(player->channels[0].envelopePanning, 1.0f);
}

TEST(AutoVibrato, SweepsInAndDrivesTheFrequency) {
    SongBuilder song(1, 8);
    song.module.tempo = 16;
    XmInstrument& ins = song.module.instruments.emplace_back();
    ins.samples.push_back(constantSample(50));
    ins.vibratoType = 0;
    ins.vibratoSweep = 4;
    ins.vibratoDepth = 8;
    ins.vibratoRate = 16;
    song.cell(0, 0) = XmCell{49, 1, 0, 0, 0};
    PlayerPtr player = loadPlayer(song.bytes());
    const Channel& ch = player->channels[0];
    for (uint32_t t = 0; t < 8; ++t) {
        runTick(player.get());
        float sweep = t < 4 ? float(t) / 4.0f : 1.0f;
        float expected = waveformValue(Sine, 4 * t) * 0.25f * 8.0f / 15.0f * sweep;
        EXPECT_EQ(ch.autoVibratoOffset, expected) << t;
        EXPECT_EQ(ch.frequency, periodFrequency(player.get(), ch.period, 0, expected)) << t;
    }
    EXPECT_EQ(ch.autoVibratoTicks, 8);
}

TEST(Gains, ConstantPowerPanningLaw) {
    Channel ch{};
    ch.volume = 1.0f;
    ch.envelopeVolume = 1.0f;
    ch.fadeoutVolume = 1.0f;
    ch.panning = 0.5f;
    ch.envelopePanning = 0.5f;
    computeTargetGains(ch);
    EXPECT_FLOAT_EQ(ch.targetGain[0], 0.70710677f);
    EXPECT_EQ(ch.targetGain[0], ch.targetGain[1]);

    ch.panning = 0.25f;
    ch.envelopePanning = 1.0f;  // envelope value 64
    computeTargetGains(ch);
    EXPECT_EQ(ch.targetGain[0], ch.targetGain[1]);
    ch.envelopePanning = 0.0f;
    computeTargetGains(ch);
    EXPECT_EQ(ch.targetGain[0], 1.0f);
    EXPECT_EQ(ch.targetGain[1], 0.0f);
    // Envelope values past 64 would swing past the edge: held at the edge.
    ch.envelopePanning = 4.0f;
    computeTargetGains(ch);
    EXPECT_EQ(ch.targetGain[0], 0.0f);
    EXPECT_EQ(ch.targetGain[1], 1.0f);

    ch.panning = 0.5f;
    ch.envelopePanning = 0.5f;
    ch.volume = 0.75f;
    ch.tremoloVolume = 0.5f;  // clamped to 1 before the envelope and fadeout
    ch.envelopeVolume = 1.25f;
    ch.fadeoutVolume = 0.5f;
    computeTargetGains(ch);
    EXPECT_FLOAT_EQ(ch.targetGain[0], 0.70710677f * 0.625f);
    ch.tremorMuted = true;
    computeTargetGains(ch);
    EXPECT_EQ(ch.targetGain[1], 0.0f);
}

TEST(SampleReading, ValuesAndLoops) {
    Instrument ins{};
    std::vector<int8_t> bytes(32, 0);
    bytes[0] = -128;
    bytes[1] = 127;
    Sample plain = makeSample(bytes, NoLoop, 0, 0);
    Channel ch = playingChannel(ins, plain, 0.0f, 0.75f);
    EXPECT_EQ(nextSampleValue(ch), -1.0f);
    EXPECT_EQ(nextSampleValue(ch), -1.0f);  // no interpolation: 0.75 still reads frame 0
    EXPECT_EQ(nextSampleValue(ch), 127.0f / 128.0f);
    ch.position = 31.5f;
    nextSampleValue(ch);
    EXPECT_EQ(ch.position, -1.0f);

    std::vector<int16_t> words = {32767, -32768};
    Sample wide{};
    wide.bits = 16;
    wide.length = 2;
    wide.data = words.data();
    Channel w = playingChannel(ins, wide, 0.0f, 1.0f);
    EXPECT_NEAR(nextSampleValue(w), 0.99997f, 0.00001f);
    EXPECT_EQ(nextSampleValue(w), -1.0f);

    std::vector<int8_t> sixteen(16, 1);
    Sample forward = makeSample(sixteen, ForwardLoop, 0, 16);
    Channel f = playingChannel(ins, forward, 14.0f, 3.5f);
    nextSampleValue(f);
    EXPECT_EQ(f.position, 1.5f);

    Sample pingPong = makeSample(bytes, PingPongLoop, 10, 20);
    Channel p = playingChannel(ins, pingPong, 19.5f, 1.0f);
    nextSampleValue(p);
    EXPECT_EQ(p.position, 19.5f);
    EXPECT_FALSE(p.forward);
    p.position = 10.5f;
    nextSampleValue(p);
    EXPECT_EQ(p.position, 10.5f);
    EXPECT_TRUE(p.forward);
}

TEST(SampleReading, PingPongLoopEndingWithTheSampleTurnsInsideTheLoop) {
    // Loop 10-20 in a 20-frame sample: a move landing exactly on 20 turns
    // back on the loop's last frame; it must not jump to the sample's start.
    Instrument ins{};
    std::vector<int8_t> bytes(20);
    for (int i = 0; i < 20; ++i) bytes[i] = int8_t(i);
    Sample pingPong = makeSample(bytes, PingPongLoop, 10, 20);
    auto framesRead = [&](float step, int count) {
        Channel ch = playingChannel(ins, pingPong, 18.0f, step);
        std::vector<int> frames;
        for (int i = 0; i < count; ++i) frames.push_back(int(nextSampleValue(ch) * 128.0f));
        return frames;
    };
    EXPECT_EQ(framesRead(1.0f, 6), (std::vector<int>{18, 19, 19, 18, 17, 16}));
    EXPECT_EQ(framesRead(0.5f, 10), (std::vector<int>{18, 18, 19, 19, 19, 19, 18, 18, 17, 17}));
    // A step past the end still reflects as before: 19.5 + 1 turns to 19.5.
    Channel ch = playingChannel(ins, pingPong, 19.5f, 1.0f);
    nextSampleValue(ch);
    EXPECT_EQ(ch.position, 19.5f);
    EXPECT_FALSE(ch.forward);
}

TEST(SampleReading, ExtremeStepsStayInsideTheSample) {
    Instrument ins{};
    std::vector<int8_t> bytes(40, 3);
    Sample tinyLoop = makeSample(bytes, ForwardLoop, 30, 31);
    Sample pingPong = makeSample(bytes, PingPongLoop, 2, 6);
    Sample plain = makeSample(bytes, NoLoop, 0, 0);
    for (float step : {1e3f, 1e7f, 3e9f, -5.0f, -1e6f}) {
        for (Sample* sample : {&tinyLoop, &pingPong, &plain}) {
            Channel ch = playingChannel(ins, *sample, 5.0f, step);
            for (int i = 0; i < 200 && ch.position >= 0.0f; ++i) {
                nextSampleValue(ch);
                ASSERT_TRUE(ch.position < 40.0f) << step << " " << sample->loopType;
            }
        }
    }
}

TEST(Crossfade, NewNoteBlendsFromTheOldTailOver32Frames) {
    SongBuilder song(1, 4);
    song.module.tempo = 1;
    song.addInstrument(constantSample(64));
    song.addInstrument(constantSample(-64));
    song.cell(0, 0) = XmCell{49, 1, 0, 0, 0};
    song.cell(1, 0) = XmCell{49, 2, 0, 0, 0};
    PlayerPtr player = loadPlayer(song.bytes());
    std::vector<float> out = render(player.get(), 882 + 64);
    float gain = std::sqrt(1.0f - 128.0f / 255.0f);
    for (int i = 0; i < 40; ++i) {
        float tail = 0.5f;
        float value = i < 32 ? tail + (-0.5f - tail) * (float(i) * (1.0f / 32.0f)) : -0.5f;
        EXPECT_EQ(out[2 * (882 + i)], value * gain * 0.25f) << i;
    }
}

TEST(Gains, SlideTowardsTheirTargetsOneStepPerFrame) {
    SongBuilder song(1, 4);
    song.addInstrument(constantSample(64));
    song.cell(0, 0) = XmCell{49, 1, 0, 0, 0};
    PlayerPtr player = loadPlayer(song.bytes());
    std::vector<float> out = render(player.get(), 400);
    float target = std::sqrt(1.0f - 128.0f / 255.0f);
    uint32_t frames = uint32_t(std::ceil(target * 128.0f));
    for (uint32_t f = 0; f < 300; ++f) {
        float gain = f < frames ? float(f) / 128.0f : target;
        // Within the first 32 frames the value fades in from the empty tail.
        float value = f < 32 ? 0.5f * (float(f) * (1.0f / 32.0f)) : 0.5f;
        ASSERT_EQ(out[2 * f], value * gain * 0.25f) << f;
    }
}
