// The show's tracks evaluated at the start and the middle of every tick 0 to
// 1320 (past every key), bit for bit against show_values.txt, the values the
// keys gave when they were still C++ tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "content/timeline/Timeline.h"
#include "content/timeline/TimelineFile.h"

namespace {

constexpr uint32_t kSamples = 2 * 1321;

// expected[track][sample]: float bits.
std::vector<std::vector<uint32_t>> loadExpected() {
    std::vector<std::vector<uint32_t>> expected(kShowParameterCount);
    std::FILE* f = std::fopen(THAW_SHOW_VALUES, "r");
    if (!f) return {};
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        unsigned track = 0, sample = 0, bits = 0;
        if (line[0] == '#' || std::sscanf(line, "%u %u %x", &track, &sample, &bits) != 3) continue;
        if (track >= kShowParameterCount || sample >= kSamples) continue;
        std::vector<uint32_t>& values = expected[track];
        if (values.empty() && sample != 0) break;  // a track's first run starts at sample 0
        values.resize(kSamples, bits);
        std::fill(values.begin() + sample, values.end(), bits);
    }
    std::fclose(f);
    return expected;
}

void expectShowValues(const TrackSet& set) {
    const std::vector<std::vector<uint32_t>> expected = loadExpected();
    ASSERT_EQ(expected.size(), kShowParameterCount) << "cannot read " << THAW_SHOW_VALUES;
    ASSERT_EQ(set.tracks.count, kShowParameterCount);
    const float rate = trackTickRate(set);
    for (uint32_t i = 0; i < kShowParameterCount; ++i) {
        ASSERT_EQ(expected[i].size(), kSamples) << "track " << i;
        for (uint32_t s = 0; s < kSamples; ++s) {
            const float t = (static_cast<float>(s / 2) + (s & 1 ? 0.5f : 0.0f)) / rate;
            const float value = evaluateTrack(set, i, t);
            uint32_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            if (bits != expected[i][s]) {
                ADD_FAILURE() << kShowParameterNames[i] << " at tick " << s / 2.0 << ": " << value << " (bits "
                              << std::hex << bits << "), was bits " << expected[i][s];
                break;  // one line per track
            }
        }
    }
}

TEST(ShowValues, EmbeddedKeysGiveTheValuesOfBeforeTheMove) {
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    ASSERT_TRUE(buildShowTracks(set));
    expectShowValues(set);
    trackSetDestroy(set);
}

TEST(ShowValues, TheFileReadAtRunTimeGivesTheSameValues) {
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    set.beatsPerMinute = kShowBeatsPerMinute;
    set.ticksPerBeat = kShowTicksPerBeat;
    uint32_t rows = 0;
    std::string error;
    ASSERT_TRUE(readTimelineFile(THAW_TIMELINE_FILE, TrackNames{kShowParameterNames, kShowParameterCount}, set,
                                 rows, error))
        << error;
    EXPECT_EQ(rows, 1344u);
    expectShowValues(set);
    trackSetDestroy(set);
}

}  // namespace
