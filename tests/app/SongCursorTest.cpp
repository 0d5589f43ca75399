// The song cursor against the frames a device would be handed, one chunk at
// a time: what it hands over and what it reports as playing must agree frame
// for frame, through loop jumps and loop changes.
#include "app/SongCursor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Hands over `frames` in chunks of `chunk`; the song frame of each frame handed over.
std::vector<uint64_t> handOver(SongCursor& cursor, uint64_t frames, uint64_t chunk) {
    std::vector<uint64_t> got;
    while (got.size() < frames) {
        for (uint64_t done = 0; done < chunk;) {
            uint64_t from = 0;
            const uint64_t run = songCursorTake(cursor, chunk - done, from);
            EXPECT_GT(run, 0u);
            for (uint64_t i = 0; i < run; ++i) got.push_back(from + i);
            done += run;
        }
    }
    return got;
}

// Frames from `start`, looping [a, b) once inside it.
uint64_t expectedFrame(uint64_t start, uint64_t a, uint64_t b, uint64_t k) {
    const uint64_t f = start + k;
    return start < b && f >= b ? a + (f - b) % (b - a) : f;
}

TEST(SongCursor, HandsOverAndReportsTheLoopToTheFrameWhateverTheChunks) {
    for (uint64_t chunk : {1u, 97u, 512u, 4096u}) {
        for (uint64_t start : {0u, 250u, 299u, 300u, 5000u}) {
            SongCursor cursor{};
            songCursorSetLoop(cursor, true, 100, 300);
            songCursorStart(cursor, start);
            const std::vector<uint64_t> got = handOver(cursor, 3000, chunk);
            // Behind the cursor a loop is not met: it plays straight on.
            for (uint64_t k = 0; k < got.size(); ++k) {
                ASSERT_EQ(got[k], expectedFrame(start, 100, 300, k)) << chunk << " " << start << " " << k;
                // What was heard maps back to what was handed over, for the
                // frames a device still holds (two chunks; the cursor keeps
                // its last few jumps, more than such a queue spans).
                if (k + std::min<uint64_t>(2 * chunk, 1024) >= got.size()) {
                    EXPECT_EQ(songCursorFrameAt(cursor, k), got[k]) << k;
                }
            }
        }
    }
}

TEST(SongCursor, ALoopChangeReachesOnlyFramesNotYetHandedOverAndAWallClockFollowsItByArithmetic) {
    SongCursor cursor{};
    songCursorStart(cursor, 0);
    const std::vector<uint64_t> before = handOver(cursor, 512, 512);
    songCursorSetLoop(cursor, true, 600, 700);
    const std::vector<uint64_t> after = handOver(cursor, 512, 512);
    for (uint64_t k = 0; k < 512; ++k) EXPECT_EQ(songCursorFrameAt(cursor, k), k);
    for (uint64_t k = 0; k < 512; ++k) {
        EXPECT_EQ(after[k], expectedFrame(512, 600, 700, k));
        EXPECT_EQ(songCursorFrameAt(cursor, 512 + k), after[k]);
    }
    songCursorSetLoop(cursor, false, 600, 700);
    EXPECT_EQ(handOver(cursor, 1, 1)[0], after.back() + 1);

    // Nothing handed over (no sound device): the played count alone.
    SongCursor wall{};
    songCursorSetLoop(wall, true, 100, 300);
    songCursorStart(wall, 250);
    EXPECT_EQ(songCursorFrameAt(wall, 49), 299u);
    EXPECT_EQ(songCursorFrameAt(wall, 50), 100u);
    EXPECT_EQ(songCursorFrameAt(wall, 50 + 200 * 7 + 3), 103u);
    songCursorStart(wall, 400);  // past the loop's end: straight on
    EXPECT_EQ(songCursorFrameAt(wall, 1000), 1400u);
}

}  // namespace
