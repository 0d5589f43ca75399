// Shader hot reload on the headless OpenGL ES context: saves into a copy of
// the shader folder, rebuilt by the real tools, seen in the show's picture.
#include <gtest/gtest.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Orrery/gfx/Gles.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/ShowSession.h"
#include "app/linux/HeadlessGl.h"
#include "app/linux/ShaderReload.h"

namespace fs = std::filesystem;
using namespace Orrery::Gfx;

namespace {

constexpr int kWidth = 64, kHeight = 36;

// The present pass with one colour everywhere, or with an error on line 4.
std::string presentText(const char* body) {
    return std::string("#include \"ScreenTypes.hlsli\"\n"
                       "float4 pixel_main(ScreenVertex i) : SV_TARGET\n"
                       "{\n    ") +
           body + "\n}\n";
}
const char* const kMagenta = "return float4(1.0, 0.0, 1.0, 1.0);";
const char* const kGreen = "return float4(0.0, 1.0, 0.0, 1.0);";
const char* const kBroken = "return undefinedColour;";

bool contextReady() {
    static HeadlessGl gl{};
    static bool tried = false, ready = false;
    if (!tried) {
        tried = true;
        char error[256] = "";
        ready = openHeadlessGl(gl, error, sizeof error) && !glesContextProblem();
        if (!ready) std::fprintf(stderr, "no OpenGL ES context: %s\n", error);
    }
    return ready;
}

struct Stage {
    fs::path dir;
    ShowSession session{};
    GLuint screen = 0;
    GLuint framebuffer = 0;
    ShaderReload reload;
    std::vector<ShaderReloadEvent> events;

    bool open() {
        char pattern[] = "/tmp/thaw-reload-test-XXXXXX";
        if (!mkdtemp(pattern)) return false;
        dir = pattern;
        for (const fs::directory_entry& e : fs::directory_iterator(THAW_TEST_SHADER_DIR))
            if (e.path().extension() == ".hlsl" || e.path().extension() == ".hlsli") fs::copy(e.path(), dir);
        openShowSession(session, DeviceDesc{}, kWidth, kHeight);
        screen = glesAttachScreenTarget(*session.show.runtime->outputTexture);
        glGenFramebuffers(1, &framebuffer);
        std::string error;
        const bool opened = shaderReloadOpen(reload, dir.c_str(), error);
        EXPECT_TRUE(opened) << error;
        return screen != 0 && opened;
    }
    ~Stage() {
        releaseShowSession(session);
        closeShowSession(session);
        glDeleteTextures(1, &screen);
        glDeleteFramebuffers(1, &framebuffer);
        shaderReloadClose(reload);
        fs::remove_all(dir);
    }

    // Saves as editors do: most write a temporary file and rename it.
    void save(const char* name, const std::string& text, bool byRename = true) {
        const fs::path target = dir / name;
        const fs::path written = byRename ? dir / (std::string(".") + name + ".swp") : target;
        std::ofstream(written, std::ios::binary) << text;
        if (byRename) fs::rename(written, target);
    }

    // Polls as a frame loop would until every save has been built and swapped
    // in (or has failed); false after a deadline far beyond any build.
    bool settle() {
        timespec start, now;
        clock_gettime(CLOCK_MONOTONIC, &start);
        bool sawWork = false;
        for (;;) {
            shaderReloadPoll(reload, *session.show.runtime, events);
            sawWork = sawWork || shaderReloadBusy(reload);
            if (sawWork && !shaderReloadBusy(reload)) return true;
            clock_gettime(CLOCK_MONOTONIC, &now);
            if (now.tv_sec - start.tv_sec > 30) return false;
            usleep(1000);
        }
    }

    // One frame of the show; the screen's pixels, RGBA.
    std::vector<uint8_t> frame(bool clearFirst = false) {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, screen, 0);
        if (clearFirst) {
            glClearColor(0, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        drawShowSessionFrame(session, 0, 30.0f, 1.0f / 60);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return pixels;
    }

    std::string faults() const {
        std::string all;
        for (const ShaderReloadEvent& e : events)
            if (e.fault) all += e.line + "\n";
        return all;
    }
};

bool allPixels(const std::vector<uint8_t>& pixels, uint8_t r, uint8_t g, uint8_t b) {
    for (size_t i = 0; i < pixels.size(); i += 4)
        if (pixels[i] != r || pixels[i + 1] != g || pixels[i + 2] != b) return false;
    return true;
}

uint32_t liveGlObjects() {
    uint32_t live = 0;
    for (GLuint name = 1; name < 65536; ++name)
        live += uint32_t(glIsTexture(name)) + uint32_t(glIsBuffer(name)) + uint32_t(glIsShader(name)) +
                uint32_t(glIsProgram(name)) + uint32_t(glIsFramebuffer(name));
    return live;
}

}  // namespace

TEST(ShaderReload, GoodEditsSwapInAndABrokenOneKeepsTheLastGoodProgram) {
    ASSERT_TRUE(contextReady());
    Stage stage;
    ASSERT_TRUE(stage.open());
    const std::vector<uint8_t> before = stage.frame();
    ASSERT_FALSE(allPixels(before, 255, 0, 255));

    stage.save("Present.ps.hlsl", presentText(kMagenta));
    ASSERT_TRUE(stage.settle());
    EXPECT_EQ(stage.faults(), "");
    ASSERT_FALSE(stage.events.empty());
    EXPECT_NE(stage.events.back().line.find("PresentPS"), std::string::npos);
    EXPECT_FALSE(shaderReloadFailing(stage.reload));
    EXPECT_TRUE(allPixels(stage.frame(), 255, 0, 255));

    stage.events.clear();
    stage.save("Present.ps.hlsl", presentText(kBroken), false);
    ASSERT_TRUE(stage.settle());
    EXPECT_TRUE(shaderReloadFailing(stage.reload));
    const std::string faults = stage.faults();
    EXPECT_NE(faults.find("Present.ps.hlsl:4:"), std::string::npos) << faults;
    EXPECT_NE(faults.find("undefinedColour"), std::string::npos) << faults;
    EXPECT_EQ(faults.find("compilation errors"), std::string::npos) << faults;
    // Drawn from scratch: the pass still runs, with the last good program.
    EXPECT_TRUE(allPixels(stage.frame(true), 255, 0, 255));

    stage.events.clear();
    stage.save("Present.ps.hlsl", presentText(kGreen));
    ASSERT_TRUE(stage.settle());
    EXPECT_EQ(stage.faults(), "");
    EXPECT_FALSE(shaderReloadFailing(stage.reload));
    EXPECT_TRUE(allPixels(stage.frame(), 0, 255, 0));
}

TEST(ShaderReload, AnIncludeRebuildsEveryProgramAndOtherFilesNone) {
    ASSERT_TRUE(contextReady());
    Stage stage;
    ASSERT_TRUE(stage.open());
    stage.save("notes.txt", "not a shader\n");
    stage.save("Blur.ps.hlsl~", "an editor's backup\n");
    for (int i = 0; i < 20; ++i) shaderReloadPoll(stage.reload, *stage.session.show.runtime, stage.events);
    EXPECT_FALSE(shaderReloadBusy(stage.reload));

    std::ifstream in(stage.dir / "ShaderMath.hlsli");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    stage.save("ShaderMath.hlsli", text + "\n// touched\n");
    ASSERT_TRUE(stage.settle());
    EXPECT_EQ(stage.faults(), "");
    EXPECT_EQ(stage.events.size(), stage.reload.programs.size());
    char reason[256] = "";
    EXPECT_TRUE(allProgramsBuilt(*stage.session.show.runtime, reason, sizeof reason)) << reason;
}

TEST(ShaderReload, ASaveDuringABuildReplacesIt) {
    ASSERT_TRUE(contextReady());
    Stage stage;
    ASSERT_TRUE(stage.open());
    stage.save("Present.ps.hlsl", presentText(kBroken));
    while (stage.reload.building < 0) shaderReloadPoll(stage.reload, *stage.session.show.runtime, stage.events);
    stage.save("Present.ps.hlsl", presentText(kGreen));
    ASSERT_TRUE(stage.settle());
    EXPECT_EQ(stage.faults(), "");  // the broken text's build never finished
    EXPECT_EQ(stage.events.size(), 1u);
    EXPECT_FALSE(shaderReloadFailing(stage.reload));
    EXPECT_TRUE(allPixels(stage.frame(), 0, 255, 0));
}

TEST(ShaderReload, AFolderThatCannotBeWatchedIsRefused) {
    ShaderReload reload;
    std::string error;
    EXPECT_FALSE(shaderReloadOpen(reload, "/nonexistent/shaders", error));
    EXPECT_NE(error.find("/nonexistent/shaders"), std::string::npos);
    shaderReloadClose(reload);
}

// After a hundred rebuilds the process holds what it held after one.
TEST(ShaderReload, HundredReloadsHoldNoMoreObjectsOrMemory) {
    ASSERT_TRUE(contextReady());
    Stage stage;
    ASSERT_TRUE(stage.open());
    stage.save("Present.ps.hlsl", presentText(kGreen));
    ASSERT_TRUE(stage.settle());
    stage.frame();
    const uint32_t objectsAfterOne = liveGlObjects();
    const size_t heapAfterOne = mallinfo2().uordblks;
    for (int i = 2; i <= 100; ++i) {
        stage.events.clear();
        stage.save("Present.ps.hlsl", presentText(i % 2 ? kGreen : kMagenta), i % 3 == 0);
        ASSERT_TRUE(stage.settle());
        ASSERT_EQ(stage.faults(), "");
        stage.frame();
    }
    EXPECT_TRUE(allPixels(stage.frame(), 255, 0, 255));
    EXPECT_EQ(liveGlObjects(), objectsAfterOne);
    const size_t heapAfterHundred = mallinfo2().uordblks;
    std::printf("heap in use: %zu bytes after one reload, %zu after a hundred\n", heapAfterOne, heapAfterHundred);
    EXPECT_LT(heapAfterHundred, heapAfterOne + 256 * 1024);
}
