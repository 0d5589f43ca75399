// The xmrender tool, run as a user would: crafted modules in, WAVE files out,
// clear failures for bad input.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "PlayerFixture.h"

using namespace xmtest;

namespace {

struct RunResult {
    int exitCode;
    std::string output;  // stdout and stderr together
};

RunResult runTool(const std::string& arguments) {
    std::string command = std::string(XMRENDER_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    RunResult result{-1, ""};
    if (!pipe) return result;
    char buffer[512];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) result.output.append(buffer, got);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string scratchPath(const std::string& name) {
    return std::string(XMRENDER_SCRATCH) + "/" + name;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

struct Wave {
    uint16_t format, channels, bits;
    uint32_t rate;
    std::vector<uint8_t> data;
};

Wave parseWave(const std::vector<uint8_t>& b) {
    Wave wave{};
    EXPECT_GE(b.size(), 44u);
    if (b.size() < 44) return wave;
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(le32(b, 4), b.size() - 8);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 12), "WAVE");
    size_t at = 12;
    while (at + 8 <= b.size()) {
        std::string id(b.begin() + at, b.begin() + at + 4);
        uint32_t size = le32(b, at + 4);
        if (id == "fmt ") {
            wave.format = le16(b, at + 8);
            wave.channels = le16(b, at + 10);
            wave.rate = le32(b, at + 12);
            wave.bits = le16(b, at + 22);
        } else if (id == "data") {
            wave.data.assign(b.begin() + at + 8, b.begin() + at + 8 + size);
        }
        at += 8 + size + (size & 1);
    }
    return wave;
}

// Four rows of one tick each at BPM 125: one pass is 4 x 882 frames.
std::vector<uint8_t> fourRowSong() {
    SongBuilder song(2, 4);
    song.module.tempo = 1;
    song.addInstrument(constantSample(100));
    song.cell(0, 0) = XmCell{49, 1, 0, 0, 0};
    song.cell(1, 1) = XmCell{61, 1, 0, 0, 0};
    return song.bytes();
}

}  // namespace

TEST(XmRenderTool, RendersOnePassAsTheReplayersExactFloats) {
    std::vector<uint8_t> module = fourRowSong();
    std::string input = scratchPath("four-rows.xm"), output = scratchPath("four-rows.wav");
    writeFile(input, module);
    RunResult run = runTool(input + " " + output);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("0.080 s"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("peak"), std::string::npos) << run.output;

    Wave wave = parseWave(readFile(output));
    EXPECT_EQ(wave.format, 3);
    EXPECT_EQ(wave.channels, 2);
    EXPECT_EQ(wave.bits, 32);
    EXPECT_EQ(wave.rate, 44100u);
    ASSERT_EQ(wave.data.size(), 4u * 882 * 8);

    PlayerPtr player = loadPlayer(module);
    std::vector<float> expected = render(player.get(), 4 * 882);
    EXPECT_EQ(memcmp(wave.data.data(), expected.data(), wave.data.size()), 0);
}

TEST(XmRenderTool, LoopsSecondsRateAndFormatOptions) {
    std::string input = scratchPath("options.xm");
    writeFile(input, fourRowSong());

    std::string output = scratchPath("options.wav");
    ASSERT_EQ(runTool(input + " " + output + " --loops 2").exitCode, 0);
    EXPECT_EQ(parseWave(readFile(output)).data.size(), 8u * 882 * 8);

    RunResult endless = runTool(input + " " + output + " --loops 0 --max-seconds 0.5");
    ASSERT_EQ(endless.exitCode, 0) << endless.output;
    EXPECT_EQ(parseWave(readFile(output)).data.size(), 22050u * 8);

    ASSERT_EQ(runTool(input + " " + output + " --rate 48000").exitCode, 0);
    Wave fast = parseWave(readFile(output));
    EXPECT_EQ(fast.rate, 48000u);
    EXPECT_EQ(fast.data.size(), 4u * 960 * 8);

    ASSERT_EQ(runTool(input + " " + output + " --format s16").exitCode, 0);
    Wave pcm = parseWave(readFile(output));
    EXPECT_EQ(pcm.format, 1);
    EXPECT_EQ(pcm.bits, 16);
    ASSERT_EQ(pcm.data.size(), 4u * 882 * 4);
    PlayerPtr player = loadPlayer(fourRowSong());
    std::vector<float> expected = render(player.get(), 4 * 882);
    for (size_t i = 0; i < expected.size(); ++i) {
        int16_t stored = int16_t(le16(pcm.data, 2 * i));
        ASSERT_EQ(stored, int16_t(std::lround(expected[i] * 32767.0f))) << i;
    }
}

TEST(XmRenderTool, RejectsWhatItCannotRender) {
    std::string notXm = scratchPath("not-a-module.xm");
    writeFile(notXm, std::vector<uint8_t>(200, 'x'));
    RunResult run = runTool(notXm + " " + scratchPath("never.wav"));
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("not an Extended Module: "), std::string::npos) << run.output;

    std::vector<uint8_t> truncated = fourRowSong();
    truncated.resize(59);
    std::string shortXm = scratchPath("short.xm");
    writeFile(shortXm, truncated);
    run = runTool(shortXm + " " + scratchPath("never.wav"));
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("not an Extended Module: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("too short"), std::string::npos) << run.output;

    run = runTool(scratchPath("missing.xm") + " " + scratchPath("never.wav"));
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("cannot read"), std::string::npos) << run.output;

    std::string input = scratchPath("good.xm");
    writeFile(input, fourRowSong());
    run = runTool(input + " /nonexistent-directory/out.wav");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("cannot write"), std::string::npos) << run.output;

    for (const char* bad : {"--loops 300", "--rate 12", "--format f64", "--max-seconds -1", "--bogus 1"}) {
        run = runTool(input + " " + scratchPath("never.wav") + " " + bad);
        EXPECT_EQ(run.exitCode, 2) << bad;
        EXPECT_NE(run.output.find("usage:"), std::string::npos) << bad;
    }
    run = runTool("--help");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("--max-seconds"), std::string::npos);
}

TEST(XmRenderTool, HostileModulesEndWithinTheLimit) {
    // A song that never repeats a row (BPM 0 holds the first tick for ever)
    // stops at --max-seconds.
    SongBuilder song(1, 4);
    song.module.bpm = 0;
    song.addInstrument(constantSample(10));
    song.cell(0, 0) = XmCell{49, 1, 0, 0, 0};
    std::string input = scratchPath("stuck.xm");
    writeFile(input, song.bytes());
    RunResult run = runTool(input + " " + scratchPath("stuck.wav") + " --max-seconds 2");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(parseWave(readFile(scratchPath("stuck.wav"))).data.size(), 88200u * 8);
}
