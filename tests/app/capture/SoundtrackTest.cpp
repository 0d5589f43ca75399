#include "app/capture/Soundtrack.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "content/module/SongModule.h"
#include "xm/ModulePlayer.h"

namespace {

// A span cut out of the song equals the same frames of one uninterrupted
// render, whatever the chunking before it.
TEST(Soundtrack, SpanEqualsTheSameFramesOfOneStraightRender) {
    const uint64_t first = 3 * 44100 + 17, count = 5000;
    std::vector<float> whole(2 * (first + count));
    ModulePlayer* player = nullptr;
    ASSERT_EQ(createPlayer(&player, kSongModule, kSongModuleSize, 44100), 0);
    setMaxLoops(player, 1);
    generateFrames(player, whole.data(), first + count);
    freePlayer(player);

    std::vector<float> span(2 * count, -7.0f);
    ASSERT_EQ(renderSoundtrack(kSongModule, kSongModuleSize, first, count, span.data()), 0);
    EXPECT_EQ(memcmp(span.data(), whole.data() + 2 * first, span.size() * sizeof(float)), 0);
    float loudest = 0.0f;
    for (float v : span) loudest = v > loudest ? v : loudest;
    EXPECT_GT(loudest, 0.01f);  // the span is music, not silence

    EXPECT_NE(renderSoundtrack(reinterpret_cast<const uint8_t*>("not a module"), 12, 0, 1, span.data()), 0);
}

}  // namespace
