// songmeter: plays an Extended Module once through the replayer and prints,
// per span of song rows, the level (RMS of the mono sum, in dBFS), the peak,
// the spectrum balance and the worst click. A mix is judged by these numbers.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SongMeter.h"
#include "xm/ModulePlayer.h"
#include "xm/PlayerRecords.h"

namespace {

const char* kUsage =
    "usage: songmeter INPUT.xm [--spans FIRST-LAST,...] [--rate HZ]\n"
    "\n"
    "Plays the module once and measures spans of song rows (the rows of one\n"
    "pass counted from 0, both ends included). By default the spans are the\n"
    "sections of the show's timeline.\n";

// Thawline's sections as its timeline moves on them.
const char* kDefaultSpans =
    "0-63,64-119,120-127,128-191,192-351,352-383,384-511,512-606,607-639,640-688,689-767,768-803,804-895,"
    "896-1023,1024-1055";

struct Span {
    uint32_t first, last;
};

[[noreturn]] void fail(const std::string& message, int code = 1) {
    fprintf(stderr, "songmeter: %s\n", message.c_str());
    exit(code);
}

// A row number: decimal digits only (no sign, no spaces), at most 2^32 - 1.
bool parseRow(const std::string& text, uint32_t& row) {
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
        if (value > UINT32_MAX) return false;
    }
    row = uint32_t(value);
    return true;
}

std::vector<Span> parseSpans(const std::string& text) {
    std::vector<Span> spans;
    size_t at = 0;
    while (at <= text.size()) {
        size_t comma = text.find(',', at);
        std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        size_t dash = item.find('-');
        Span span{};
        if (dash == std::string::npos || !parseRow(item.substr(0, dash), span.first) ||
            !parseRow(item.substr(dash + 1), span.last) || span.last < span.first)
            fail("a span is FIRST-LAST with FIRST <= LAST, not \"" + item + "\"", 2);
        spans.push_back(span);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return spans;
}

std::vector<uint8_t> readFile(const char* path) {
    FILE* file = fopen(path, "rb");
    if (!file) fail(std::string("cannot read ") + path + ": " + strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    bool failed = ferror(file);
    fclose(file);
    if (failed) fail(std::string("cannot read ") + path);
    return bytes;
}

// One pass, with the first frame of every row played.
struct Pass {
    std::vector<float> frames;
    std::vector<size_t> rowStart;
    bool cut = true;  // stopped at the frame limit before the song's end
};

// The pass is kept whole in memory, because the spectrum blocks and the click
// neighbourhoods read frames on both sides of every point of a span. Its
// length is therefore capped: 2^26 stereo float frames are 512 MiB (25
// minutes at 44.1 kHz, 2.9 minutes at 384 kHz), and no pass goes on for more
// than an hour, which only a song that never ends reaches.
constexpr size_t kMaxPassFrames = size_t(1) << 26;

Pass playOnce(const std::vector<uint8_t>& module, uint32_t rate) {
    ModulePlayer* player = nullptr;
    if (createPlayer(&player, module.data(), module.size(), rate) != kPlayerOk) fail("not an Extended Module 1.04");
    setMaxLoops(player, 1);
    Pass pass;
    const size_t limit = std::min(size_t(rate) * 3600, kMaxPassFrames);
    int lastOrder = -1, lastRow = -1;
    float chunk[2 * 4096];
    while (pass.frames.size() / 2 < limit) {
        // Rows change on a tick, so a tick's frame is rendered alone.
        uint64_t count = 1;
        bool tickFrame = player->samplesLeftInTick <= 0.0f;
        if (!tickFrame) count = std::min<uint64_t>(4096, uint64_t(std::ceil(player->samplesLeftInTick)));
        generateFrames(player, chunk, count);
        if (tickFrame) {
            if (player->maxLoops != 0 && player->loopCount >= player->maxLoops) {
                pass.cut = false;
                break;
            }
            if (player->orderIndex != lastOrder || player->row != lastRow) {
                pass.rowStart.push_back(pass.frames.size() / 2);
                lastOrder = player->orderIndex;
                lastRow = player->row;
            }
        }
        pass.frames.insert(pass.frames.end(), chunk, chunk + 2 * count);
    }
    freePlayer(player);
    return pass;
}

double decibels(double rms) { return rms > 0.0 ? 20.0 * std::log10(rms) : -999.0; }

}  // namespace

int main(int argc, char** argv) {
    const char* input = nullptr;
    std::string spanText = kDefaultSpans;
    uint32_t rate = 44100;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            fputs(kUsage, stdout);
            return 0;
        } else if ((arg == "--spans" || arg == "--rate") && i + 1 < argc) {
            if (arg == "--spans") spanText = argv[++i];
            else {
                char* end = nullptr;
                long hz = strtol(argv[++i], &end, 10);
                if (*argv[i] == '\0' || *end != '\0' || hz < 8000 || hz > 384000)
                    fail(std::string("--rate wants a whole number of Hz from 8000 to 384000, not \"") + argv[i] + "\"", 2);
                rate = uint32_t(hz);
            }
        } else if (!input && arg[0] != '-') {
            input = argv[i];
        } else {
            fprintf(stderr, "songmeter: unexpected argument %s\n\n%s", argv[i], kUsage);
            return 2;
        }
    }
    if (!input) {
        fprintf(stderr, "songmeter: no input module\n\n%s", kUsage);
        return 2;
    }
    std::vector<Span> spans = parseSpans(spanText);
    Pass pass = playOnce(readFile(input), rate);
    const size_t frameCount = pass.frames.size() / 2;
    const size_t rows = pass.rowStart.size();
    if (pass.cut)
        fprintf(stderr, "songmeter: stopped after %.1f s (%zu rows), the longest pass kept in memory at %u Hz\n",
                double(frameCount) / rate, rows, rate);
    printf("%s: %zu rows, %.3f s\n", input, rows, double(frameCount) / rate);
    printf("%-11s %8s %6s %6s | %6s %6s %6s %6s %6s | %s\n", "rows", "rms", "dBFS", "peak", "<150", "-600",
           "-2.5k", "-8k", ">8k", "worst click (ratio, jump, row)");
    SpanLevels whole = measureSpan(pass.frames.data(), frameCount, 0, frameCount, rate);
    for (const Span& span : spans) {
        if (span.first >= rows) {
            fprintf(stderr, "songmeter: span %u-%u skipped: %s %zu rows\n", span.first, span.last,
                    pass.cut ? "the measured part of the song has" : "the song has", rows);
            continue;
        }
        size_t begin = pass.rowStart[span.first];
        size_t end = uint64_t(span.last) + 1 < rows ? pass.rowStart[span.last + 1] : frameCount;
        SpanLevels l = measureSpan(pass.frames.data(), frameCount, begin, end, rate);
        ClickReport click = worstClick(pass.frames.data(), frameCount, begin, end, rate);
        size_t clickRow = std::upper_bound(pass.rowStart.begin(), pass.rowStart.end(), click.frame) -
                          pass.rowStart.begin() - 1;
        char label[32];
        snprintf(label, sizeof(label), "%u-%u", span.first, span.last);
        printf("%-11s %8.4f %6.1f %6.3f | %5.1f%% %5.1f%% %5.1f%% %5.1f%% %5.1f%% | %.1f %.3f %zu\n", label, l.rms,
               decibels(l.rms), l.peak, 100 * l.bandShare[0], 100 * l.bandShare[1], 100 * l.bandShare[2],
               100 * l.bandShare[3], 100 * l.bandShare[4], click.ratio, click.jump, clickRow);
    }
    printf("%-11s %8.4f %6.1f %6.3f\n", "whole", whole.rms, decibels(whole.rms), whole.peak);
    return 0;
}
