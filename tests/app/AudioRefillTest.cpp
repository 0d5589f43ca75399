#include "app/AudioRefill.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

// Stands in for the replayer: writes consecutive song frame numbers (left n,
// right -n) and records every call.
struct FakeSong {
    uint32_t nextFrame = 0;
    const float* ring = nullptr;
    struct Chunk {
        uint32_t offset;
        uint32_t count;
    };
    std::vector<Chunk> chunks;

    static void generate(void* context, float* out, uint64_t frameCount) {
        FakeSong& song = *static_cast<FakeSong*>(context);
        song.chunks.push_back({static_cast<uint32_t>((out - song.ring) / 2), static_cast<uint32_t>(frameCount)});
        for (uint64_t i = 0; i < frameCount; ++i) {
            out[2 * i] = static_cast<float>(song.nextFrame);
            out[2 * i + 1] = -static_cast<float>(song.nextFrame);
            ++song.nextFrame;
        }
    }
};

class Refill : public ::testing::Test {
protected:
    void SetUp() override {
        ring.assign(kAudioRingFloats, 0.5f);  // no song frame is ever 0.5
        song.ring = ring.data();
        FakeSong::generate(&song, ring.data(), kAudioRingFrames);  // the start-up fill
        song.chunks.clear();
    }

    uint32_t pass(uint32_t framesWritten, uint32_t played) {
        song.chunks.clear();
        return refillPlayedFrames(ring.data(), framesWritten, played, &FakeSong::generate, &song);
    }

    // Song frame n must sit at ring frame n mod 4096 for n in [first, first + 4096).
    void expectRingHolds(uint32_t first) {
        for (uint32_t n = first; n < first + kAudioRingFrames; ++n) {
            const uint32_t at = n % kAudioRingFrames;
            ASSERT_EQ(ring[2 * at], static_cast<float>(n)) << "ring frame " << at;
            ASSERT_EQ(ring[2 * at + 1], -static_cast<float>(n)) << "ring frame " << at;
        }
    }

    void expectChunksStayInsideTheRing() {
        for (const FakeSong::Chunk& c : song.chunks) {
            EXPECT_GT(c.count, 0u);
            EXPECT_LE(c.offset + c.count, kAudioRingFrames);
        }
    }

    std::vector<float> ring;
    FakeSong song;
};

TEST_F(Refill, BeforePlaybackTheRingHoldsTheFirstBuffer) {
    expectRingHolds(0);
    EXPECT_EQ(pass(0, 0), 0u);
    EXPECT_TRUE(song.chunks.empty());
    expectRingHolds(0);
}

TEST_F(Refill, PassWrapsAtTheRingEnd) {
    ASSERT_EQ(pass(0, 3900), 3900u);
    expectRingHolds(3900);
    EXPECT_EQ(pass(3900, 4100), 4100u);
    ASSERT_EQ(song.chunks.size(), 2u);
    EXPECT_EQ(song.chunks[0].offset, 3900u);
    EXPECT_EQ(song.chunks[0].count, 196u);
    EXPECT_EQ(song.chunks[1].offset, 0u);
    EXPECT_EQ(song.chunks[1].count, 4u);
    // Song frames 7996..8191 went to ring 3900..4095, 8192..8195 to ring 0..3.
    EXPECT_EQ(ring[2 * 3900], 7996.0f);
    EXPECT_EQ(ring[2 * 4095], 8191.0f);
    EXPECT_EQ(ring[0], 8192.0f);
    EXPECT_EQ(ring[2 * 3], 8195.0f);
    expectRingHolds(4100);
}

TEST_F(Refill, StraddlingGapIsFilledInTwoChunks) {
    ASSERT_EQ(pass(0, 4000), 4000u);
    EXPECT_EQ(pass(4000, 4300), 4300u);
    ASSERT_EQ(song.chunks.size(), 2u);
    EXPECT_EQ(song.chunks[0].offset, 4000u);
    EXPECT_EQ(song.chunks[0].count, 96u);
    EXPECT_EQ(song.chunks[1].offset, 0u);
    EXPECT_EQ(song.chunks[1].count, 204u);
    expectRingHolds(4300);
}

TEST_F(Refill, FallingBehindByMoreThanABufferStaysContinuous) {
    ASSERT_EQ(pass(0, 100), 100u);
    const uint32_t played = 100 + 3 * kAudioRingFrames + 50;
    EXPECT_EQ(pass(100, played), played);
    expectChunksStayInsideTheRing();
    // 3996 to the ring's end, two whole rings, then the last 150.
    ASSERT_EQ(song.chunks.size(), 4u);
    EXPECT_EQ(song.chunks[0].offset, 100u);
    EXPECT_EQ(song.chunks[0].count, 3996u);
    EXPECT_EQ(song.chunks[1].offset, 0u);
    EXPECT_EQ(song.chunks[1].count, 4096u);
    EXPECT_EQ(song.chunks[2].count, 4096u);
    EXPECT_EQ(song.chunks[3].offset, 0u);
    EXPECT_EQ(song.chunks[3].count, 150u);
    // Every missed frame was generated, in order.
    EXPECT_EQ(song.nextFrame, played + kAudioRingFrames);
    expectRingHolds(played);
}

TEST_F(Refill, NothingHappensUnlessTheDeviceMovedOn) {
    ASSERT_EQ(pass(0, 500), 500u);
    EXPECT_EQ(pass(500, 500), 500u);
    EXPECT_TRUE(song.chunks.empty());
    // A position read that failed reports 0: nothing is regenerated.
    EXPECT_EQ(pass(500, 0), 500u);
    EXPECT_TRUE(song.chunks.empty());
    expectRingHolds(500);
}

TEST_F(Refill, EveryPassLeavesTheNextBufferOfTheSong) {
    // Uneven steps, like a device position read every few milliseconds.
    const uint32_t steps[] = {220, 221, 0, 4095, 1, 4096, 300, 9000, 17, 3876, 4097, 220};
    uint32_t framesWritten = 0;
    uint32_t played = 0;
    for (uint32_t step : steps) {
        played += step;
        framesWritten = pass(framesWritten, played);
        ASSERT_EQ(framesWritten, played);
        expectChunksStayInsideTheRing();
        EXPECT_LE(song.chunks.size(), (step + kAudioRingFrames - 1) / kAudioRingFrames + 1);
        expectRingHolds(played);
    }
}

// A device whose position advances by a fixed step each read, and which
// raises the stop flag after a number of passes.
struct FakeDevice {
    uint32_t played = 0;
    uint32_t step = 0;
    uint32_t passes = 0;
    uint32_t stopAfter = 0;
    std::atomic<bool>* stop = nullptr;

    static uint32_t read(void* context) {
        FakeDevice& device = *static_cast<FakeDevice*>(context);
        device.played += device.step;
        return device.played;
    }
    static void pause(void* context) {
        FakeDevice& device = *static_cast<FakeDevice*>(context);
        if (++device.passes == device.stopAfter) device.stop->store(true);
    }
};

TEST_F(Refill, LoopRunsUntilStoppedAndEndsWithinOnePass) {
    std::atomic<bool> stop(false);
    FakeDevice device;
    device.step = 220;
    device.stopAfter = 25;
    device.stop = &stop;
    const RefillLoop loop = {ring.data(), &FakeSong::generate, &song, &FakeDevice::read, &device,
                             &FakeDevice::pause, &device, &stop};
    const uint32_t written = runRefillLoop(loop);
    EXPECT_EQ(device.passes, 25u);  // no pass starts after the flag is set
    EXPECT_EQ(written, 25u * 220u);
    expectRingHolds(25u * 220u);
}

TEST_F(Refill, LoopStoppedBeforeItStartsDoesNothing) {
    std::atomic<bool> stop(true);
    FakeDevice device;
    device.step = 220;
    device.stop = &stop;
    const RefillLoop loop = {ring.data(), &FakeSong::generate, &song, &FakeDevice::read, &device,
                             &FakeDevice::pause, &device, &stop};
    EXPECT_EQ(runRefillLoop(loop), 0u);
    EXPECT_EQ(device.passes, 0u);
    EXPECT_TRUE(song.chunks.empty());
    expectRingHolds(0);
}

}  // namespace
