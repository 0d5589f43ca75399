#include "content/timeline/Timeline.h"

namespace {

constexpr uint8_t S = static_cast<uint8_t>(InterpolationMode::Step);
constexpr uint8_t L = static_cast<uint8_t>(InterpolationMode::Linear);

struct KeySpec {
    uint16_t tick;
    float value;
    uint8_t mode;
};

// Pairs of Step keys (t, low) and (t + 1, high) for t = first, first + stride, ... last.
struct StepPairRun {
    uint16_t first;
    uint16_t stride;
    uint16_t last;
    float low;
    float high;
};

// 8 IS_NEAREST_SAMPLING
const KeySpec kTrack8[] = {
    {0, 1.0f, S}, {352, 1.0f, L}, {368, 5.0f, L}, {383, 0.0f, S}, {384, 1.0f, S}, {386, 0.7f, S},
    {693, 0.6f, S},
};

// 9 MELT_GRADIENT_SPREAD
const KeySpec kTrack9[] = {
    {0, 0.01f, S}, {120, 0.01f, L}, {127, 1.0f, L}, {135, 0.01f, S}, {136, 1.0f, S}, {137, 0.01f, S},
    {152, 1.0f, S}, {153, 0.01f, S}, {168, 1.0f, S}, {169, 0.01f, S}, {184, 1.0f, S}, {185, 0.01f, S},
    {200, 1.0f, S}, {201, 0.01f, S}, {216, 1.0f, S}, {217, 0.01f, S}, {232, 1.0f, S}, {233, 0.01f, S},
    {248, 1.0f, S}, {249, 0.01f, S}, {252, 1.0f, S}, {253, 0.01f, S}, {264, 1.0f, S}, {265, 0.01f, S},
    {280, 1.0f, S}, {281, 0.01f, S}, {296, 1.0f, S}, {297, 0.01f, S}, {312, 1.0f, S}, {313, 0.01f, S},
    {328, 1.0f, S}, {329, 0.01f, S}, {344, 1.0f, S}, {345, 0.01f, S}, {373, 0.01f, L}, {383, 0.001f, S},
    {384, 0.75f, S}, {386, 0.4f, S}, {392, 1.0f, S}, {393, 0.2f, S}, {408, 1.0f, S}, {409, 0.2f, S},
    {424, 1.0f, S}, {425, 0.2f, S}, {440, 1.0f, S}, {441, 0.2f, S}, {442, 0.2f, S}, {456, 1.0f, S},
    {457, 0.2f, S}, {460, 1.0f, S}, {461, 0.2f, S}, {472, 1.0f, S}, {473, 0.2f, S}, {480, 1.0f, S},
    {481, 0.2f, S}, {488, 1.0f, S}, {489, 0.2f, S}, {496, 1.0f, S}, {497, 0.2f, S}, {504, 1.0f, S},
    {505, 0.2f, S}, {508, 1.0f, S}, {509, 0.01f, S}, {512, 0.5f, L}, {576, 0.3f, L}, {640, 0.5f, S},
    {693, 0.3f, S}, {888, 0.6f, L}, {896, 0.3f, S}, {900, 0.2f, S}, {1024, 0.7f, L}, {1055, 0.0f, S},
};

// 10 FEEDBACK_STRENGTH
const KeySpec kTrack10[] = {
    {0, 0.0f, S}, {62, 5.0f, S}, {120, 5.0f, L}, {127, 500.0f, L}, {135, 0.0f, L}, {280, 0.8f, S},
    {344, 0.85f, S}, {376, 1.0f, L}, {384, 0.2f, S}, {386, 0.5f, S}, {512, 0.2f, S}, {606, 0.2f, S},
    {607, 0.3f, S}, {689, 0.4f, S}, {693, 0.4f, S}, {698, 0.35f, S}, {767, 0.35f, L}, {800, 0.5f, L},
    {864, 0.6f, L}, {888, 0.2f, S}, {900, 0.3f, L}, {1024, 0.5f, S},
};

// 11 NOISE_STRENGTH
const KeySpec kTrack11[] = {
    {0, 0.0f, S}, {62, 5.0f, S}, {120, 5.0f, L}, {127, 500.0f, L}, {135, 0.0f, L}, {268, 0.75f, S},
    {640, 0.75f, L}, {689, 15.0f, L}, {690, 1.0f, S}, {693, 1.0f, S}, {698, 0.7f, S}, {896, 0.75f, L},
    {1024, 15.0f, S},
};

// 12 DOFBLUR
const KeySpec kTrack12[] = {
    {0, 10.0f, S},
};

// 13 OUTLINES
const KeySpec kTrack13[] = {
    {0, 0.0f, S}, {62, 2.0f, S}, {64, 3.0f, L}, {80, 3.5f, S}, {120, 3.5f, L}, {127, 0.0f, S}, {128, 1.5f, S},
    {136, 0.0f, S}, {140, 1.5f, S}, {152, 0.0f, L}, {156, 1.5f, S}, {168, 0.0f, L}, {172, 1.5f, S},
    {184, 0.0f, L}, {188, 1.5f, S}, {200, 0.0f, L}, {204, 1.5f, S}, {216, 0.0f, L}, {220, 1.5f, S},
    {232, 0.0f, L}, {236, 1.5f, S}, {248, 0.0f, L}, {252, 1.5f, L}, {312, 1.5f, S}, {352, 5.0f, S},
    {353, 1.5f, S}, {384, 1.5f, S},
};

// 14 bg_transp
const KeySpec kTrack14[] = {
    {0, 1.0f, S}, {1, 0.5f, S}, {64, 0.0f, L}, {80, 0.5f, S}, {128, -0.1f, S}, {129, -0.1f, S}, {1024, 0.0f, L},
    {1055, 1.0f, S}, {1280, 1.0f, S},
};

// 15 txt_transp
const KeySpec kTrack15[] = {
    {0, -0.1f, S}, {1, 1.0f, S}, {32, 0.0f, S}, {33, 1.0f, S}, {36, 0.0f, S}, {37, 1.0f, S}, {64, 0.0f, S},
    {65, 1.0f, S}, {72, 0.0f, S}, {73, 1.0f, S}, {80, 0.0f, S}, {81, 1.0f, S}, {88, 0.0f, S}, {89, 1.0f, S},
    {96, 1.0f, L}, {99, -0.1f, S}, {104, 1.0f, L}, {107, -0.1f, S}, {112, 1.0f, L}, {115, -0.1f, S},
    {120, 1.0f, L}, {122, -0.1f, S}, {123, -0.1f, S}, {124, 1.0f, L}, {126, -0.1f, S}, {127, -0.1f, S},
    {129, 0.7f, S}, {136, 0.0f, L}, {138, 0.7f, S}, {152, 0.0f, L}, {154, 0.7f, S}, {168, 0.0f, L},
    {170, 0.7f, S}, {184, 0.0f, L}, {186, 0.7f, S}, {200, 0.0f, L}, {202, 0.7f, S}, {216, 0.0f, L},
    {218, 0.7f, S}, {232, 0.0f, L}, {234, 0.7f, S}, {248, 0.0f, L}, {250, 0.7f, S}, {251, 0.0f, L},
    {252, 0.0f, L}, {254, 0.7f, S}, {264, 0.0f, L}, {266, 0.7f, S}, {280, 0.0f, L}, {282, 0.7f, S},
    {296, 0.0f, L}, {298, 0.7f, S}, {312, 0.0f, L}, {314, 0.7f, S}, {328, 0.0f, L}, {330, 0.7f, S},
    {344, 0.0f, L}, {346, 0.7f, S},
};
const StepPairRun kTrack15Runs[] = {
    {352, 4, 380, -0.1f, 0.9f},
    {607, 2, 639, -0.1f, 0.9f},
    {1024, 2, 1054, -0.1f, 0.9f},
    {1280, 2, 1310, -0.1f, 0.9f},
};

// 16 useInput3
const KeySpec kTrack16[] = {
    {0, 1.0f, S}, {1, 0.0f, S}, {96, 0.0f, S}, {1055, 1.0f, S},
};

// 17 SCROLLSPEED
const KeySpec kTrack17[] = {
    {0, 2.6f, S}, {32, 7.1f, L}, {36, 7.8f, L}, {40, 7.1f, L}, {44, 7.8f, L}, {48, 7.1f, L}, {52, 7.8f, L},
    {56, 7.35f, S}, {64, 12.0f, S}, {96, 15.6f, S}, {129, 19.5f, L}, {352, 50.5f, S}, {368, 52.3f, S},
    {384, 58.0f, L}, {607, 96.1f, S}, {624, 96.08f, L}, {640, 103.0f, L}, {1024, 162.6f, S}, {1280, 162.55f, S},
};

// 18 BAYERON
const KeySpec kTrack18[] = {
    {0, 1.0f, S}, {1, 0.0f, S}, {128, 1.0f, S}, {768, 0.0f, S}, {900, 1.0f, S},
};

// 19 ENABLEFINALPSOTPROC
const KeySpec kTrack19[] = {
    {128, 1.0f, S}, {804, 1.0f, S}, {1024, 0.0f, S},
};

// 20 SCANLINES
const KeySpec kTrack20[] = {
    {804, 0.5f, S}, {1024, 0.0f, S},
};

// 21 GLOBE_BRIGHTNESS
const KeySpec kTrack21[] = {
    {128, 1.5f, S}, {1024, 0.0f, S},
};

// 22 FLICKER
const KeySpec kTrack22[] = {
    {128, 0.001f, S}, {804, 0.005f, S}, {1024, 0.0f, S},
};

// 23 BLINKY
const KeySpec kTrack23[] = {
    {128, 1.0f, S}, {804, 0.5f, S}, {1024, 0.0f, S},
};

// 24 lamerbypass
const KeySpec kTrack24[] = {
    {0, 1.0f, S}, {128, 0.0f, S}, {136, 1.0f, S}, {352, 0.0f, S}, {384, 1.0f, S}, {520, 0.0f, S},
    {521, 1.0f, S}, {536, 0.0f, S}, {537, 1.0f, S}, {552, 0.0f, S}, {553, 1.0f, S}, {568, 0.0f, S},
    {569, 1.0f, S}, {584, 0.0f, S}, {585, 1.0f, S}, {600, 0.0f, S}, {601, 1.0f, S},
};

// 25 lamerdecay
const KeySpec kTrack25[] = {
    {128, 0.8f, L}, {136, 0.0f, S}, {137, 0.1f, S}, {352, 0.2f, L}, {380, 0.7f, S},
};

// 26 lamerdensity
const KeySpec kTrack26[] = {
    {128, 15.0f, L}, {136, 0.0f, S}, {352, 7.0f, S}, {353, 0.0f, S}, {356, 7.0f, S}, {357, 0.0f, S},
    {360, 7.0f, S}, {361, 0.0f, S}, {364, 7.0f, S}, {365, 0.0f, S}, {368, 7.0f, S}, {369, 0.0f, S},
    {372, 7.0f, S}, {373, 0.0f, S}, {376, 7.0f, S}, {377, 0.0f, S}, {380, 7.0f, S}, {381, 0.0f, S},
    {520, 5.0f, S}, {521, 0.0f, L}, {536, 5.0f, S}, {537, 0.0f, L}, {552, 5.0f, S}, {553, 0.0f, L},
    {568, 5.0f, S}, {569, 0.0f, L}, {584, 5.0f, S}, {585, 0.0f, L}, {600, 5.0f, S}, {601, 0.0f, L},
};

struct TrackKeys {
    const KeySpec* keys;
    uint32_t count;
    const StepPairRun* runs;  // appended after the keys
    uint32_t runCount;
};

template <uint32_t N>
constexpr TrackKeys keysOnly(const KeySpec (&keys)[N]) {
    return {keys, N, nullptr, 0};
}

template <uint32_t N, uint32_t R>
constexpr TrackKeys keysAndRuns(const KeySpec (&keys)[N], const StepPairRun (&runs)[R]) {
    return {keys, N, runs, R};
}

// Tracks 8 to 26 in order.
const TrackKeys kKeyedTracks[] = {
    keysOnly(kTrack8),
    keysOnly(kTrack9),
    keysOnly(kTrack10),
    keysOnly(kTrack11),
    keysOnly(kTrack12),
    keysOnly(kTrack13),
    keysOnly(kTrack14),
    keysAndRuns(kTrack15, kTrack15Runs),
    keysOnly(kTrack16),
    keysOnly(kTrack17),
    keysOnly(kTrack18),
    keysOnly(kTrack19),
    keysOnly(kTrack20),
    keysOnly(kTrack21),
    keysOnly(kTrack22),
    keysOnly(kTrack23),
    keysOnly(kTrack24),
    keysOnly(kTrack25),
    keysOnly(kTrack26),
};
static_assert(sizeof(kKeyedTracks) / sizeof(kKeyedTracks[0]) == kShowParameterCount - kShowFirstKeyedTrack,
              "one key list per keyed track");

}  // namespace

const char* const kShowParameterNames[kShowParameterCount] = {
    "CameraPosX", "CameraPosY", "CameraPosZ", "CameraDirX",
    "CameraDirY", "CameraDirZ", "CameraFOV", "CameraRoll",
    "IS_NEAREST_SAMPLING", "MELT_GRADIENT_SPREAD", "FEEDBACK_STRENGTH", "NOISE_STRENGTH",
    "DOFBLUR", "OUTLINES", "bg_transp", "txt_transp",
    "useInput3", "SCROLLSPEED", "BAYERON", "ENABLEFINALPSOTPROC",
    "SCANLINES", "GLOBE_BRIGHTNESS", "FLICKER", "BLINKY",
    "lamerbypass", "lamerdecay", "lamerdensity",
};

bool appendTimelineKeys(TrackSet& set) {
    if (set.tracks.count < kShowParameterCount) return false;
    uint32_t track = kShowFirstKeyedTrack;
    for (const TrackKeys& list : kKeyedTracks) {
        for (uint32_t k = 0; k < list.count; ++k) {
            const KeySpec& key = list.keys[k];
            if (!trackAddKey(set, track, key.tick, key.value, key.mode)) return false;
        }
        for (uint32_t r = 0; r < list.runCount; ++r) {
            const StepPairRun& run = list.runs[r];
            for (uint32_t t = run.first; t <= run.last; t += run.stride) {
                if (!trackAddKey(set, track, t, run.low, InterpolationMode::Step)) return false;
                if (!trackAddKey(set, track, t + 1, run.high, InterpolationMode::Step)) return false;
            }
        }
        ++track;
    }
    return true;
}

bool buildShowTracks(TrackSet& set) {
    set.beatsPerMinute = kShowBeatsPerMinute;
    set.ticksPerBeat = kShowTicksPerBeat;
    if (!trackSetResize(set, kShowParameterCount)) return false;
    return appendTimelineKeys(set);
}
