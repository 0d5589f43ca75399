// xmrender: renders an Extended Module through the replayer into a RIFF WAVE
// file. By default: 44,100 Hz stereo 32-bit float (the replayer's exact
// output), one pass through the song, stopping at the first frame of the
// silence that follows it.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "xm/Loader.h"
#include "xm/ModulePlayer.h"
#include "xm/PlayerRecords.h"

namespace {

const char* kUsage =
    "usage: xmrender INPUT.xm OUTPUT.wav [--loops N] [--max-seconds S] [--rate HZ] [--format f32|s16]\n"
    "\n"
    "Renders an Extended Module (XM 1.04) to a stereo RIFF WAVE file.\n"
    "\n"
    "  --loops N        stop once a row has been played N times (0-255, default 1:\n"
    "                   one pass through the song); 0 plays until --max-seconds\n"
    "  --max-seconds S  never render more than S seconds (default 600)\n"
    "  --rate HZ        output frames per second (8000-384000, default 44100)\n"
    "  --format F       f32: 32-bit float, the replayer's exact output (default)\n"
    "                   s16: 16-bit integer, clipped to full scale\n"
    "  -h, --help       show this help\n";

struct Options {
    const char* input = nullptr;
    const char* output = nullptr;
    uint32_t loops = 1;
    double maxSeconds = 600.0;
    uint32_t rate = 44100;
    bool float32 = true;
};

[[noreturn]] void fail(const std::string& message, int code = 1) {
    fprintf(stderr, "xmrender: %s\n", message.c_str());
    exit(code);
}

[[noreturn]] void usageError(const std::string& message) {
    fprintf(stderr, "xmrender: %s\n\n%s", message.c_str(), kUsage);
    exit(2);
}

bool parseNumber(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    errno = 0;
    value = strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value) && value >= low && value <= high;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    std::vector<const char*> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            fputs(kUsage, stdout);
            exit(0);
        }
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            if (i + 1 >= argc) usageError("missing value after " + arg);
            const char* value = argv[++i];
            double number = 0;
            if (arg == "--loops") {
                if (!parseNumber(value, 0, 255, number) || number != std::floor(number))
                    usageError(std::string("--loops wants a whole number from 0 to 255, not \"") + value + "\"");
                options.loops = uint32_t(number);
            } else if (arg == "--max-seconds") {
                if (!parseNumber(value, 0, 86400, number) || number <= 0)
                    usageError(std::string("--max-seconds wants a number of seconds above 0, not \"") + value + "\"");
                options.maxSeconds = number;
            } else if (arg == "--rate") {
                if (!parseNumber(value, 8000, 384000, number) || number != std::floor(number))
                    usageError(std::string("--rate wants a whole number of Hz from 8000 to 384000, not \"") + value +
                               "\"");
                options.rate = uint32_t(number);
            } else if (arg == "--format") {
                std::string format = value;
                if (format == "f32") options.float32 = true;
                else if (format == "s16") options.float32 = false;
                else usageError("--format wants f32 or s16, not \"" + format + "\"");
            } else {
                usageError("unknown option " + arg);
            }
        } else {
            positional.push_back(argv[i]);
        }
    }
    if (positional.size() != 2) usageError("expected an input module and an output file");
    options.input = positional[0];
    options.output = positional[1];
    return options;
}

std::vector<uint8_t> readFile(const char* path) {
    FILE* file = fopen(path, "rb");
    if (!file) fail(std::string("cannot read ") + path + ": " + strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    bool failed = ferror(file);
    int error = errno;
    fclose(file);
    if (failed) fail(std::string("cannot read ") + path + ": " + strerror(error));
    return bytes;
}

const char* headerProblem(uint32_t check, uint64_t size) {
    static char tooShort[96];
    switch (check) {
    case 4:
        snprintf(tooShort, sizeof(tooShort), "%llu bytes is too short for the 60-byte header",
                 static_cast<unsigned long long>(size));
        return tooShort;
    case 1: return "it does not start with \"Extended Module: \"";
    case 2: return "the marker byte 0x1A at offset 37 is missing";
    case 3: return "its format version is not 1.04";
    default: return "unknown problem";
    }
}

struct WaveWriter {
    FILE* file = nullptr;
    const char* path = nullptr;
    bool float32 = true;
    uint64_t frames = 0;
    std::vector<int16_t> converted;

    void put(const void* data, size_t bytes) {
        if (fwrite(data, 1, bytes, file) != bytes) fail(std::string("cannot write ") + path + ": " + strerror(errno));
    }
    void put16(uint32_t v) {
        uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        put(b, 2);
    }
    void put32(uint32_t v) {
        uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        put(b, 4);
    }
    uint32_t headerBytes() const { return float32 ? 58 : 44; }

    // Float data carries a fact chunk and an 18-byte format chunk, as
    // non-PCM WAVE data should.
    void writeHeader(uint32_t rate) {
        uint32_t bytesPerSample = float32 ? 4 : 2;
        uint64_t dataBytes = frames * 2 * bytesPerSample;
        put("RIFF", 4);
        put32(uint32_t(headerBytes() - 8 + dataBytes));
        put("WAVE", 4);
        put("fmt ", 4);
        put32(float32 ? 18 : 16);
        put16(float32 ? 3 : 1);
        put16(2);
        put32(rate);
        put32(rate * 2 * bytesPerSample);
        put16(2 * bytesPerSample);
        put16(8 * bytesPerSample);
        if (float32) {
            put16(0);
            put("fact", 4);
            put32(4);
            put32(uint32_t(frames));
        }
        put("data", 4);
        put32(uint32_t(dataBytes));
    }

    void writeFrames(const float* samples, uint64_t count) {
        if (float32) {
            put(samples, sizeof(float) * 2 * count);
        } else {
            converted.resize(2 * count);
            for (uint64_t i = 0; i < 2 * count; ++i) {
                float v = samples[i];
                v = v > 1.0f ? 1.0f : v < -1.0f ? -1.0f : v;
                converted[i] = int16_t(std::lround(v * 32767.0f));
            }
            put(converted.data(), sizeof(int16_t) * 2 * count);
        }
        frames += count;
    }
};

bool isSilenced(const ModulePlayer* player) { return player->maxLoops != 0 && player->loopCount >= player->maxLoops; }

}  // namespace

int main(int argc, char** argv) {
    Options options = parseOptions(argc, argv);
    std::vector<uint8_t> module = readFile(options.input);

    uint32_t check = checkModuleHeader(module.data(), module.size());
    if (check != 0) fail(std::string("not an Extended Module: ") + options.input + ": " + headerProblem(check, module.size()));
    ModulePlayer* player = nullptr;
    int32_t result = createPlayer(&player, module.data(), module.size(), options.rate);
    if (result == kPlayerOutOfMemory) {
        fail(std::string("out of memory: ") + options.input + " needs " +
             std::to_string(measurePlayer(module.data(), module.size())) + " bytes");
    }
    if (result != kPlayerOk) fail(std::string("not an Extended Module: ") + options.input);
    setMaxLoops(player, uint8_t(options.loops));

    uint64_t maxFrames = uint64_t(options.maxSeconds * options.rate);
    const uint64_t bytesPerFrame = options.float32 ? 8 : 4;
    if (maxFrames * bytesPerFrame > 0xFFFFFFFFull - 64) {
        maxFrames = (0xFFFFFFFFull - 64) / bytesPerFrame;
        fprintf(stderr, "xmrender: a WAVE file holds at most %.0f s at this rate and format; stopping there\n",
                double(maxFrames) / options.rate);
    }

    WaveWriter wave;
    wave.path = options.output;
    wave.float32 = options.float32;
    wave.file = fopen(options.output, "wb");
    if (!wave.file) fail(std::string("cannot write ") + options.output + ": " + strerror(errno));
    wave.writeHeader(options.rate);

    const bool showProgress = isatty(STDERR_FILENO);
    const uint64_t chunk = 4096;
    std::vector<float> buffer(2 * chunk);
    float peak = 0.0f;
    uint64_t nextReport = 0;
    while (wave.frames < maxFrames) {
        // Silence after the song can only start on a tick, so a tick's frame
        // is rendered alone and checked; the rest of the tick follows at once.
        uint64_t count = 1;
        bool tickFrame = player->samplesLeftInTick <= 0.0f;
        if (!tickFrame) {
            float left = std::ceil(player->samplesLeftInTick);
            count = left < float(chunk) ? uint64_t(left) : chunk;
        }
        if (count > maxFrames - wave.frames) count = maxFrames - wave.frames;
        generateFrames(player, buffer.data(), count);
        if (tickFrame && isSilenced(player)) break;
        for (uint64_t i = 0; i < 2 * count; ++i) peak = std::max(peak, std::fabs(buffer[i]));
        wave.writeFrames(buffer.data(), count);
        if (showProgress && wave.frames >= nextReport) {
            fprintf(stderr, "\rrendering %s: %.1f s", options.input, double(wave.frames) / options.rate);
            nextReport = wave.frames + options.rate / 4;
        }
    }
    if (showProgress) fprintf(stderr, "\r\033[K");
    freePlayer(player);

    if (fseek(wave.file, 0, SEEK_SET) != 0) fail(std::string("cannot write ") + options.output + ": " + strerror(errno));
    wave.writeHeader(options.rate);
    if (fclose(wave.file) != 0) fail(std::string("cannot write ") + options.output + ": " + strerror(errno));

    double seconds = double(wave.frames) / options.rate;
    double decibels = peak > 0.0f ? 20.0 * std::log10(double(peak)) : -INFINITY;
    printf("%s: %.3f s, peak %.6f (%.2f dBFS)%s\n", options.output, seconds, double(peak), decibels,
           !options.float32 && peak > 1.0f ? ", clipped in s16" : "");
    return 0;
}
