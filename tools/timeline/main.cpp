// thaw-timeline: turns the timeline file into the key tables the programs
// embed (content/timeline/TimelineTables.h).
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "content/timeline/ShowParameters.h"
#include "content/timeline/TimelineFile.h"
#include "content/timeline/TimelineTables.h"

namespace {

constexpr const char* kUsage =
    "usage: thaw-timeline FILE.rocket -o TABLES.cpp\n"
    "Reads the show's timeline (the sync editor's XML project file, one track per shader\n"
    "parameter) and writes it as C++ key tables. A fault in the file is one line,\n"
    "FILE:LINE: fault, and exit code 1.\n";

// The tables hold ticks in 16 bits and value indices in 8.
constexpr uint32_t kMaxTick = 0xFFFF;
constexpr uint32_t kMaxValues = 256;

std::string hexFloat(float v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%af", static_cast<double>(v));
    return buffer;
}

bool makeSource(const TrackSet& set, const char* fileName, std::string& out, std::string& error, uint32_t rows) {
    std::vector<float> values;
    std::map<uint32_t, uint32_t> indexOfBits;  // float bits -> pool index, so -0 and 0 stay apart
    std::string keys, counts;
    for (uint32_t i = 0; i < set.tracks.count; ++i) {
        const GrowArray<Keyframe>& track = set.tracks[i].keys;
        if (track.count > 0xFFFF) {
            error = std::string(fileName) + ": track '" + kShowParameterNames[i] + "' has more keys than the tables hold";
            return false;
        }
        counts += (i ? ", " : "") + std::to_string(track.count);
        for (uint32_t k = 0; k < track.count; ++k) {
            const Keyframe& key = track[k];
            if (key.tick > kMaxTick) {
                error = std::string(fileName) + ": track '" + kShowParameterNames[i] + "' has a key at row " +
                        std::to_string(key.tick) + ", past the tables' last row " + std::to_string(kMaxTick);
                return false;
            }
            uint32_t bits = 0;
            std::memcpy(&bits, &key.value, sizeof bits);
            auto found = indexOfBits.find(bits);
            if (found == indexOfBits.end()) {
                if (values.size() == kMaxValues) {
                    error = std::string(fileName) + ": more than " + std::to_string(kMaxValues) +
                            " distinct values, more than the tables hold";
                    return false;
                }
                found = indexOfBits.emplace(bits, static_cast<uint32_t>(values.size())).first;
                values.push_back(key.value);
            }
            keys += "    {" + std::to_string(key.tick) + ", " + std::to_string(found->second) + ", " +
                    std::to_string(key.mode) + "},  // " + kShowParameterNames[i] + "\n";
        }
    }
    const char* slash = std::strrchr(fileName, '/');
    out = std::string("// Made by thaw-timeline from ") + (slash ? slash + 1 : fileName) + ". Do not edit.\n"
          "#include \"content/timeline/TimelineTables.h\"\n\n"
          "const float kTimelineValues[] = {\n";
    for (float v : values) {
        char decimal[32];
        std::snprintf(decimal, sizeof decimal, "%.9g", static_cast<double>(v));
        out += "    " + hexFloat(v) + ",  // " + decimal + "\n";
    }
    if (values.empty()) out += "    0.0f,\n";  // no empty arrays in C++
    out += "};\n\nconst TimelineTableKey kTimelineKeys[] = {\n" + (keys.empty() ? "    {0, 0, 0},\n" : keys) +
           "};\n\nconst uint16_t kTimelineKeyCounts[kShowParameterCount] = {" + counts + "};\n\n"
          "const uint32_t kTimelineRows = " + std::to_string(rows) + ";\n";
    return true;
}

bool writeText(const char* path, const std::string& text) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "-o") && i + 1 < argc) {
            output = argv[++i];
        } else if (argv[i][0] != '-' && !input) {
            input = argv[i];
        } else {
            std::fprintf(stderr, "thaw-timeline: unexpected argument '%s' (see --help)\n", argv[i]);
            return 2;
        }
    }
    if (!input || !output) {
        std::fputs("thaw-timeline: needs FILE.rocket and -o TABLES.cpp (see --help)\n", stderr);
        return 2;
    }

    TrackSet set;
    uint32_t rows = 0;
    std::string error, source;
    bool ok = trackSetInit(set) &&
              readTimelineFile(input, TrackNames{kShowParameterNames, kShowParameterCount}, set, rows, error) &&
              makeSource(set, input, source, error, rows);
    trackSetDestroy(set);
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.empty() ? "thaw-timeline: out of memory" : error.c_str());
        return 1;
    }
    if (!writeText(output, source)) {
        std::fprintf(stderr, "thaw-timeline: cannot write %s\n", output);
        std::remove(output);
        return 1;
    }
    return 0;
}
