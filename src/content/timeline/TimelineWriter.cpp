#include "content/timeline/TimelineFile.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

void appendNumber(std::string& out, uint32_t n) { out += std::to_string(n); }

// The digits and exponent of the shortest decimal that reads back to `v`
// (v = d.ddd x 10^exponent, v finite and not zero). The nearest decimal of
// each length is tried in turn: if any of a length reads back, the nearest
// does.
void shortestDigits(float v, char (&digits)[12], int& exponent) {
    char text[32];
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(text, sizeof text, "%.*e", precision - 1, double(v));
        if (std::strtof(text, nullptr) == v) break;
    }
    // text: [-]d[.ddd]e(+|-)XX
    const char* p = text + (text[0] == '-');
    size_t n = 0;
    for (; *p != 'e'; ++p) {
        if (*p != '.') digits[n++] = *p;
    }
    while (n > 1 && digits[n - 1] == '0') --n;
    digits[n] = '\0';
    exponent = std::atoi(p + 1);
}

// Shortest decimal that reads back to the same float, written as the
// shorter of the plain and the exponent form (plain on a tie), as
// std::to_chars writes it where it can (the page's C++ library cannot).
void appendFloat(std::string& out, float v) {
    if (std::signbit(v)) out += '-';
    if (v == 0.0f) {
        out += '0';
        return;
    }
    char digits[12];
    int exponent = 0;
    shortestDigits(std::fabs(v), digits, exponent);
    const int n = int(std::strlen(digits));

    std::string plain;
    if (exponent < 0) {
        plain = "0." + std::string(size_t(-exponent - 1), '0') + digits;
    } else if (n <= exponent + 1) {
        // A whole number: of the plain forms that read back, all as long,
        // the exact one.
        char whole[48];
        std::snprintf(whole, sizeof whole, "%.0f", double(std::fabs(v)));
        plain = whole;
    } else {
        plain = std::string(digits, size_t(exponent + 1)) + "." + (digits + exponent + 1);
    }
    char scientific[32];
    std::snprintf(scientific, sizeof scientific, "%c%s%se%c%02d", digits[0], n > 1 ? "." : "", digits + 1,
                  exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
    out += plain.size() <= std::strlen(scientific) ? plain : std::string(scientific);
}

// Runs `work`, an allocation failure in it becoming the error line. Where
// there are no exceptions (the page's build) such a failure ends the
// program instead, as every other one there does.
template <class Work>
bool outOfMemoryIsAnError(Work work, std::string& error) {
#if defined(__cpp_exceptions)
    try {
        return work();
    } catch (const std::bad_alloc&) {
        error = "timeline: out of memory";
        return false;
    }
#else
    (void)error;
    return work();
#endif
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
    return outOfMemoryIsAnError(
        [&] {
            std::string text;
            if (!format(set, rows, names, text, error)) return false;
            out.swap(text);
            return true;
        },
        error);
}

bool writeTimelineFile(const char* path, const TrackSet& set, uint32_t rows, TrackNames names, std::string& error) {
    std::string text;
    std::string temporary;
    const bool made = outOfMemoryIsAnError(
        [&] {
            if (!formatTimeline(set, rows, names, text, error)) return false;
            temporary = std::string(path) + ".saving";
            return true;
        },
        error);
    if (!made) return false;
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
