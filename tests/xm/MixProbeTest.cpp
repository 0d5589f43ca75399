// The mixer's fast path must carry a real song: the grouped loops, counted by
// the test build of the replayer, take nearly every voice frame of the show's
// song, and most of them run in the steady loops. Both orders give the same
// output, so only these counts tell that the fast path is in use at all.
#include "PlayerFixture.h"

#include <fstream>
#include <iterator>

#include "xm/MixProbe.h"

using namespace xmtest;

TEST(MixProbe, TheGroupedLoopsCarryTheShowsSong) {
    std::ifstream file(THAW_SHOW_SONG, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 1000u);
    PlayerPtr player = loadPlayer(bytes);
    mixProbeCounts = MixProbeCounts{};
    std::vector<float> out(2 * 4096);
    for (int chunk = 0; chunk < 200; ++chunk) generateFrames(player.get(), out.data(), 4096);  // 18.6 s
    const MixProbeCounts counts = mixProbeCounts;
    const double total = double(counts.groupedVoiceFrames + counts.aloneVoiceFrames);
    ASSERT_GT(total, 44100.0 * 10);
    std::printf("grouped %.4f, steady %.4f of %.0f voice frames\n", counts.groupedVoiceFrames / total,
                counts.steadyVoiceFrames / total, total);
    EXPECT_GT(counts.groupedVoiceFrames / total, 0.99);
    EXPECT_GT(counts.steadyVoiceFrames / total, 0.5);
}
