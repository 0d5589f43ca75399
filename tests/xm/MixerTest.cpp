// The mixer: the channel-by-channel mixing must equal the plain frame-by-frame
// order bit for bit, whatever the song and however the frames are requested.
#include "PlayerFixture.h"
#include "SongShapes.h"

#include <fstream>
#include <iterator>

using namespace xmtest;

namespace {

std::vector<float> renderReference(const std::vector<uint8_t>& bytes, uint64_t frames, uint8_t maxLoops = 0,
                                   uint32_t rate = 44100) {
    resetRandomSeed();
    PlayerPtr player = loadPlayer(bytes, rate);
    setMaxLoops(player.get(), maxLoops);
    std::vector<float> out(2 * frames);
    generateFramesReference(player.get(), out.data(), frames);
    return out;
}

// Renders through generateFrames in chunks of the given sizes, cycling.
std::vector<float> renderChunked(const std::vector<uint8_t>& bytes, uint64_t frames, std::vector<uint64_t> chunks,
                                 uint8_t maxLoops = 0, uint32_t rate = 44100) {
    resetRandomSeed();
    PlayerPtr player = loadPlayer(bytes, rate);
    setMaxLoops(player.get(), maxLoops);
    std::vector<float> out(2 * frames);
    uint64_t done = 0;
    for (size_t i = 0; done < frames; ++i) {
        uint64_t n = std::min(chunks[i % chunks.size()], frames - done);
        generateFrames(player.get(), out.data() + 2 * done, n);
        done += n;
    }
    return out;
}

void expectBitIdentical(const std::vector<float>& a, const std::vector<float>& b) {
    ASSERT_EQ(a.size(), b.size());
    size_t differing = 0, first = a.size();
    for (size_t i = 0; i < a.size(); ++i) {
        if (bitsOf(a[i]) != bitsOf(b[i])) {
            if (differing++ == 0) first = i;
        }
    }
    EXPECT_EQ(differing, 0u) << "first difference at float " << first << ": " << a[first] << " vs " << b[first];
}

bool hasSound(const std::vector<float>& out) {
    for (float v : out)
        if (v != 0.0f) return true;
    return false;
}

}  // namespace

TEST(Mixer, MatchesTheFrameByFrameOrderOnBusySongs) {
    struct Case {
        const char* name;
        BusySongOptions options;
    };
    std::vector<Case> cases;
    cases.push_back({"four channels", BusySongOptions{}});
    BusySongOptions every;
    every.allEffects = true;
    every.noteEvery = 2;
    cases.push_back({"every command, linear", every});
    every.linear = false;
    every.seed = 5;
    cases.push_back({"every command, Amiga", every});
    BusySongOptions wide;
    wide.channels = 32;
    wide.allEffects = true;
    wide.seed = 9;
    wide.tempo = 5;
    wide.bpm = 97;
    cases.push_back({"32 channels", wide});

    const uint64_t frames = 44100 * 8;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = writeXm(makeBusySong(c.options));
        std::vector<float> reference = renderReference(bytes, frames);
        ASSERT_TRUE(hasSound(reference));
        expectBitIdentical(renderChunked(bytes, frames, {4096}), reference);
        expectBitIdentical(renderChunked(bytes, frames, {1, 7, 220, 4096, 649, 3}), reference);
    }
}

TEST(Mixer, MatchesTheFrameByFrameOrderOnRealWorldShapes) {
    // Gain slides on most ticks, ping-pong turns, one-shot ends and 16-bit
    // data, in both frequency tables (odd seeds are linear).
    const uint64_t frames = 44100 * 3;
    for (SongShape shape : {SongShape::Slides, SongShape::Arpeggios, SongShape::Wide}) {
        for (uint32_t seed : {1u, 2u}) {
            SCOPED_TRACE(std::string(shapeName(shape)) + ", seed " + std::to_string(seed));
            std::vector<uint8_t> bytes = writeXm(makeShapedSong(shape, seed));
            std::vector<float> reference = renderReference(bytes, frames);
            ASSERT_TRUE(hasSound(reference));
            expectBitIdentical(renderChunked(bytes, frames, {4096, 13, 700}), reference);
        }
    }
}

TEST(Mixer, MatchesOnTinyLoopsHighNotesAndOffsetsBeyondTheLoop) {
    // Loops of one to three frames turn or wrap on nearly every frame at high
    // notes, offsets land beyond a loop's end or the sample's, and 8- and
    // 16-bit voices alternate between neighbouring channels.
    SongBuilder song(6, 32);
    song.module.tempo = 2;
    song.module.bpm = 200;
    for (uint32_t i = 0; i < 6; ++i) {
        XmSample s;
        s.sixteenBit = i % 2 == 1;
        uint32_t length = i < 3 ? 4 + i : 900 + 700 * i;
        for (uint32_t v = 0; v < length; ++v) s.values.push_back(int32_t((v * 37 + i * 11) % 200) - 100);
        if (s.sixteenBit)
            for (int32_t& v : s.values) v *= 300;
        s.loopType = uint8_t(i % 3 == 2 ? 0 : 2 - i % 3);  // ping-pong, forward, none
        s.loopStart = i < 3 ? length - 1 - i % 2 : length / 3;
        s.loopLength = i < 3 ? 1 + i % 2 : length / 5;
        song.addInstrument(s);
    }
    for (uint32_t row = 0; row < 32; ++row) {
        for (uint32_t c = 0; c < 6; ++c) {
            if ((row + c) % 3 != 0) continue;
            uint8_t note = uint8_t(row % 2 ? 90 + c : 30 + 5 * c);
            uint8_t instrument = uint8_t(1 + (row / 3 + c) % 6);
            uint8_t offset = uint8_t(row % 4 == 0 ? 1 + c : 0);  // 9xx: 256 or 128 frames each
            song.cell(row, c) = XmCell{note, instrument, 0, uint8_t(offset ? 9 : 0), offset};
        }
    }
    std::vector<uint8_t> bytes = song.bytes();
    for (uint32_t rate : {44100u, 8000u}) {
        SCOPED_TRACE(rate);
        std::vector<float> reference = renderReference(bytes, 30000, 0, rate);
        ASSERT_TRUE(hasSound(reference));
        expectBitIdentical(renderChunked(bytes, 30000, {4096, 5}, 0, rate), reference);
    }
}

TEST(Mixer, MatchesWhereFloatPositionsRoundByWholeFrames) {
    // Above 2^23 frames a float position moves in whole frames, so a step of
    // about 0.5 moves it by one frame on every add, twice as fast as the step
    // says; the frames mixed without a bounds test must still end before the
    // loop's end. A high note carries the voice into a short loop just above
    // 2^23, then a tone portamento brings the step down to about 0.5.
    const uint32_t loopStart = (1u << 23) + 1000, length = loopStart + 2000;
    XmSample big;
    big.values.resize(length);
    for (uint32_t i = 0; i < length; ++i) big.values[i] = int32_t(i % 251) - 125;
    big.loopType = 1;
    big.loopStart = loopStart;
    big.loopLength = length - loopStart;
    SongBuilder song(1, 64);
    song.module.tempo = 31;  // rows of about 2,400 frames at 1,000 Hz
    song.module.bpm = 32;
    song.addInstrument(big);
    song.cell(0, 0) = XmCell{96, 1, 0, 0, 0};   // about 126 frames a frame: the loop by row 28
    song.cell(30, 0) = XmCell{1, 0, 0, 3, 0xFF};  // slide to the lowest note
    std::vector<uint8_t> bytes = song.bytes();
    const uint64_t frames = 85000;
    std::vector<float> reference = renderReference(bytes, frames, 0, 1000);
    PlayerPtr probe = loadPlayer(bytes, 1000);
    render(probe.get(), frames);
    EXPECT_LT(probe->channels[0].step, 0.6f);
    EXPECT_GE(probe->channels[0].position, float(loopStart));
    expectBitIdentical(renderChunked(bytes, frames, {4096}, 0, 1000), reference);
}

TEST(Mixer, MatchesAcrossTheSilenceAfterTheLoopLimit) {
    BusySongOptions options;
    options.patterns = 1;
    options.bpm = 255;
    options.tempo = 1;
    std::vector<uint8_t> bytes = writeXm(makeBusySong(options));
    const uint64_t frames = 44100 * 6;
    std::vector<float> reference = renderReference(bytes, frames, 1);
    expectBitIdentical(renderChunked(bytes, frames, {333}, 1), reference);
    // The song of two passes over one pattern falls silent well before the end.
    for (size_t i = reference.size() - 2 * 44100; i < reference.size(); ++i) ASSERT_EQ(bitsOf(reference[i]), 0u);
}

TEST(Mixer, GeneratingNoFramesChangesNothing) {
    std::vector<uint8_t> bytes = writeXm(makeBusySong(BusySongOptions{}));
    PlayerPtr player = loadPlayer(bytes);
    render(player.get(), 1000);
    std::vector<uint8_t> before(reinterpret_cast<uint8_t*>(player.get()),
                                reinterpret_cast<uint8_t*>(player.get()) + player->allocSize);
    generateFrames(player.get(), nullptr, 0);
    EXPECT_EQ(memcmp(before.data(), player.get(), before.size()), 0);
}

TEST(Mixer, OutputIsNotClamped) {
    // Sixteen centred channels at full volume on a constant 127: the sum is
    // 16 x 127/128 x sqrt(0.5) x 0.25, about 2.81.
    SongBuilder song(16, 4);
    song.addInstrument(constantSample(127));
    for (uint32_t c = 0; c < 16; ++c) song.cell(0, c) = XmCell{49, 1, 0, 0x08, 0x80};
    PlayerPtr player = loadPlayer(song.bytes());
    std::vector<float> out = render(player.get(), 2000);
    float expected = 0.0f;
    float gain = std::sqrt(1.0f - 128.0f / 255.0f);
    for (int c = 0; c < 16; ++c) expected += (127.0f / 128.0f) * gain;
    EXPECT_FLOAT_EQ(out[2 * 1999], expected * 0.25f);
    EXPECT_GT(out[2 * 1999], 2.8f);
}

TEST(Mixer, MatchesForAVoiceStandingStillBelowAPingPongLoop) {
    // Found by fuzzing: a voice on a ping-pong loop's way back, left below the
    // loop's start by a long step, then stopped (step 0). The plain order
    // bounces it on its next move; the grouped loops took the step of -0 for
    // a forward one and let it stand outside the loop.
    std::ifstream file(XM_TEST_DATA "/pingpong-standstill-below-loop.xm", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 1533u);
    const uint64_t frames = 4096;
    expectBitIdentical(renderChunked(bytes, frames, {333, 1, 0, 2048, 97, 4096}, 0, 8000),
                       renderReference(bytes, frames, 0, 8000));
}

TEST(Mixer, PingPongLoopEndingWithTheSampleStaysInTheLoopInBothOrders) {
    // Loop 10-20 in a 20-frame sample at steps of exactly 1 (C-4 at 8,363 Hz)
    // and 0.5 (C-3): moves land exactly on the loop's end. Frames outside the
    // loop are negative, the loop's positive, so once the voice is in the
    // loop every output frame must be at least 0.
    XmSample s;
    for (int32_t i = 0; i < 20; ++i) s.values.push_back(i < 10 ? -100 : 10 + i);
    s.loopType = 2;
    s.loopStart = 10;
    s.loopLength = 10;
    for (uint8_t note : {uint8_t(49), uint8_t(37)}) {
        SCOPED_TRACE(note);
        SongBuilder song(1, 4);
        song.addInstrument(s);
        song.cell(0, 0) = XmCell{note, 1, 0, 0, 0};
        std::vector<uint8_t> bytes = song.bytes();
        PlayerPtr probe = loadPlayer(bytes, 8363);
        render(probe.get(), 100);
        ASSERT_EQ(probe->channels[0].step, note == 49 ? 1.0f : 0.5f);

        const uint64_t frames = 3000;
        std::vector<float> reference = renderReference(bytes, frames, 0, 8363);
        std::vector<float> grouped = renderChunked(bytes, frames, {4096, 7}, 0, 8363);
        expectBitIdentical(grouped, reference);
        ASSERT_TRUE(hasSound(reference));
        for (const std::vector<float>* out : {&reference, &grouped}) {
            size_t negative = 0;
            for (size_t i = 2 * 50; i < out->size(); ++i) negative += (*out)[i] < 0.0f;
            EXPECT_EQ(negative, 0u) << (out == &reference ? "frame by frame" : "grouped");
        }
    }
}
