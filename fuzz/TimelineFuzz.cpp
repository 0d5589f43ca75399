// libFuzzer target: any bytes through the timeline file's reader, with the
// show's 27 track names. Besides the sanitizers' checks it traps when a
// refusal is not one line naming the file, when an accepted file gives keys
// the reader promises never to give (rows out of order or past the file's
// rows, an interpolation the format has no number for, a value that is not
// finite), and when an accepted file does not survive the writer: its text
// must read back to the same keys, bit for bit, and write out unchanged.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "content/timeline/ShowParameters.h"
#include "content/timeline/TimelineFile.h"

namespace {

const TrackNames kNames{kShowParameterNames, kShowParameterCount};

void checkKeys(const TrackSet& set, uint32_t rows) {
    if (set.tracks.count != kShowParameterCount) __builtin_trap();
    for (uint32_t i = 0; i < set.tracks.count; ++i) {
        const GrowArray<Keyframe>& keys = set.tracks[i].keys;
        if (set.tracks[i].name[0] != '\0') __builtin_trap();
        for (uint32_t k = 0; k < keys.count; ++k) {
            if (keys[k].tick >= rows || keys[k].mode > 3 || !std::isfinite(keys[k].value)) __builtin_trap();
            if (k > 0 && keys[k].tick <= keys[k - 1].tick) __builtin_trap();
        }
    }
}

bool sameKeys(const TrackSet& a, const TrackSet& b) {
    for (uint32_t i = 0; i < a.tracks.count; ++i) {
        const GrowArray<Keyframe>& x = a.tracks[i].keys;
        const GrowArray<Keyframe>& y = b.tracks[i].keys;
        if (x.count != y.count) return false;
        if (x.count && std::memcmp(x.items, y.items, sizeof(Keyframe) * x.count) != 0) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TrackSet set, again;
    if (!trackSetInit(set) || !trackSetInit(again)) __builtin_trap();
    uint32_t rows = 0, rowsAgain = 0;
    std::string error, text, textAgain;
    if (!parseTimeline(reinterpret_cast<const char*>(data), size, "fuzz.rocket", kNames, set, rows, error)) {
        if (error.compare(0, 12, "fuzz.rocket:") != 0 || error.find('\n') != std::string::npos) __builtin_trap();
        if (set.tracks.count != 0) __builtin_trap();  // a refused file changes nothing
    } else {
        checkKeys(set, rows);
        if (!formatTimeline(set, rows, kNames, text, error)) __builtin_trap();
        if (!parseTimeline(text.data(), text.size(), "fuzz.rocket", kNames, again, rowsAgain, error)) __builtin_trap();
        if (rowsAgain != rows || !sameKeys(set, again)) __builtin_trap();
        if (!formatTimeline(again, rowsAgain, kNames, textAgain, error) || textAgain != text) __builtin_trap();
    }
    trackSetDestroy(again);
    trackSetDestroy(set);
    return 0;
}
