#include "content/timeline/TimelineFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

void appendNumber(std::string& out, uint32_t n) { out += std::to_string(n); }

// Shortest decimal that reads back to the same float.
void appendFloat(std::string& out, float v) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

bool format(const TrackSet& set, uint32_t rows, TrackNames names, std::string& out, std::string& error) {
    if (set.tracks.count != names.count) {
        error = "timeline: " + std::to_string(set.tracks.count) + " tracks for " + std::to_string(names.count) +
                " names";
        return false;
    }
    for (uint32_t i = 0; i < names.count; ++i) {
        // The reader takes names literally, without XML references.
        if (std::strpbrk(names.names[i], "&<>\"")) {
            error = std::string("timeline: the track name '") + names.names[i] + "' holds one of & < > \"";
            return false;
        }
    }
    out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<sync rows=\"";
    appendNumber(out, rows);
    out += "\">\n\t<tracks>\n";
    for (uint32_t i = 0; i < set.tracks.count; ++i) {
        const GrowArray<Keyframe>& keys = set.tracks[i].keys;
        out += "\t\t<track name=\"";
        out += names.names[i];
        out += keys.count ? "\">\n" : "\"/>\n";
        for (uint32_t k = 0; k < keys.count; ++k) {
            const Keyframe& key = keys[k];
            uint32_t mode = key.mode;
            if (mode == static_cast<uint32_t>(InterpolationMode::Quartic)) {
                error = std::string("timeline: track '") + names.names[i] + "' has a Quartic key at row " +
                        std::to_string(key.tick) + ", which the file cannot hold";
                return false;
            }
            if (!std::isfinite(key.value)) {
                error = std::string("timeline: track '") + names.names[i] + "' has a key at row " +
                        std::to_string(key.tick) + " whose value is not a finite number";
                return false;
            }
            if (k > 0 && key.tick <= keys[k - 1].tick) {
                error = std::string("timeline: track '") + names.names[i] + "' has its key at row " +
                        std::to_string(key.tick) + " out of order";
                return false;
            }
            if (key.tick >= rows) {
                error = std::string("timeline: track '") + names.names[i] + "' has a key at row " +
                        std::to_string(key.tick) + ", past the file's " + std::to_string(rows) + " rows";
                return false;
            }
            if (mode > static_cast<uint32_t>(InterpolationMode::Quartic)) mode = 0;  // holds like Step
            out += "\t\t\t<key row=\"";
            appendNumber(out, key.tick);
            out += "\" value=\"";
            appendFloat(out, key.value);
            out += "\" interpolation=\"";
            appendNumber(out, mode);
            out += "\"/>\n";
        }
        if (keys.count) out += "\t\t</track>\n";
    }
    out += "\t</tracks>\n</sync>\n";
    return true;
}

}  // namespace

bool formatTimeline(const TrackSet& set, uint32_t rows, TrackNames names, std::string& out, std::string& error) {
    try {
        std::string text;
        if (!format(set, rows, names, text, error)) return false;
        out.swap(text);
        return true;
    } catch (const std::bad_alloc&) {
        error = "timeline: out of memory";
        return false;
    }
}

bool writeTimelineFile(const char* path, const TrackSet& set, uint32_t rows, TrackNames names, std::string& error) {
    std::string text;
    std::string temporary;
    try {
        if (!formatTimeline(set, rows, names, text, error)) return false;
        temporary = std::string(path) + ".saving";
    } catch (const std::bad_alloc&) {
        error = "timeline: out of memory";
        return false;
    }
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        error = temporary + ": cannot create";
        return false;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    written = std::fclose(f) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path) != 0) {
        std::remove(temporary.c_str());
        error = std::string(path) + ": cannot write";
        return false;
    }
    return true;
}
