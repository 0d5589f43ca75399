// shader_reload_bench: how long a saved shader takes to reach the picture.
// Draws the show off-screen (headless EGL) at WxH in a frame loop with hot
// reload polled every frame, saves one HLSL file of a copy of the shader
// folder N times from another thread at a random moment of a frame (a
// temporary file renamed over it, as editors save), and times each save to
// the end of the first frame drawn with the rebuilt program (glFinish).
// Prints every save and the median.
//
//   shader_reload_bench [--size WxH] [--saves N] [--file NAME] [--shaders DIR]
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "HeadlessBench.h"
#include "app/linux/ShaderReload.h"

namespace fs = std::filesystem;
using namespace Orrery::Gfx;

namespace {

const char* kUsage =
    "usage: shader_reload_bench [--size WxH] [--saves N] [--file NAME] [--shaders DIR]\n"
    "Times N saves (default 20) of shader file NAME (default Crt.ps.hlsl) in a copy of DIR\n"
    "(default the checkout's shader folder) to the first frame drawn with the rebuilt\n"
    "program, with the show drawn off-screen at WxH (default 320x180).\n";

}  // namespace

int main(int argc, char** argv) {
    int width = 320, height = 180, saves = 20;
    std::string file = "Crt.ps.hlsl", shaders = THAW_SHADER_SOURCE_DIR;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!std::strcmp(a, "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!v) {
            std::fprintf(stderr, "shader_reload_bench: %s needs a value (see --help)\n", a);
            return 2;
        }
        ++i;
        if (!std::strcmp(a, "--size") && parseBenchSize(v, width, height)) continue;
        if (!std::strcmp(a, "--saves") && (saves = std::atoi(v)) > 0 && saves <= 10000) continue;
        if (!std::strcmp(a, "--file")) {
            file = v;
            continue;
        }
        if (!std::strcmp(a, "--shaders")) {
            shaders = v;
            continue;
        }
        std::fprintf(stderr, "shader_reload_bench: bad option %s %s (see --help)\n", a, v);
        return 2;
    }

    char dirName[] = "/tmp/thaw-reload-bench-XXXXXX";
    std::error_code fault;
    if (!mkdtemp(dirName)) {
        std::fprintf(stderr, "shader_reload_bench: cannot make a temporary folder\n");
        return 1;
    }
    const fs::path dir = dirName;
    for (const fs::directory_entry& e : fs::directory_iterator(shaders, fault))
        if (e.path().extension() == ".hlsl" || e.path().extension() == ".hlsli") fs::copy(e.path(), dir, fault);
    std::ifstream in(dir / file, std::ios::binary);
    std::stringstream original;
    original << in.rdbuf();
    if (fault || !in || original.str().empty()) {
        std::fprintf(stderr, "shader_reload_bench: cannot copy %s from %s\n", file.c_str(), shaders.c_str());
        fs::remove_all(dir, fault);
        return 1;
    }

    HeadlessGl gl{};
    if (!openBenchGl(gl, "shader_reload_bench")) {
        fs::remove_all(dir, fault);
        return 1;
    }
    ShowSession session;
    const GLuint screen = openBenchSession(session, width, height);
    ShaderReload reload;
    std::string reason;
    if (!screen || !shaderReloadOpen(reload, dir.c_str(), reason)) {
        std::fprintf(stderr, "shader_reload_bench: %s\n", reason.empty() ? "no screen target" : reason.c_str());
        fs::remove_all(dir, fault);
        return 1;
    }

    std::printf("shader_reload_bench: %s saved %d times, show at %dx%d on %s\n", file.c_str(), saves, width, height,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::vector<double> toFrame, toSwap, frames;
    std::vector<ShaderReloadEvent> events;
    float musicTime = 20.0f;
    const float step = 1.0f / 60;
    // What a frame costs without any reload: the unit a save waits in, as the
    // watcher and the build are only looked at once per frame.
    std::vector<double> plainFrames;
    for (int i = 0; i < 20; ++i) {
        const double start = secondsNow();
        shaderReloadPoll(reload, *session.show.runtime, events);
        stepShowSession(session, musicTime);
        musicTime += step;
        glFinish();
        plainFrames.push_back((secondsNow() - start) * 1e3);
    }
    std::printf("  a frame without reloads: %.1f ms (median of 20)\n", median(plainFrames));
    const double pollsStart = secondsNow();
    for (int i = 0; i < 10000; ++i) shaderReloadPoll(reload, *session.show.runtime, events);
    std::printf("  a poll with nothing saved: %.2f us (mean of 10000)\n", (secondsNow() - pollsStart) * 1e2);
    // An editor saves whenever it likes: at a random moment of a frame, from
    // another thread, as the loop goes on drawing.
    std::mt19937 random(1);
    std::uniform_real_distribution<double> within(0.0, median(plainFrames) * 1e-3);
    for (int save = 0; save < saves; ++save) {
        // A different constant each time: the tools do all their work again.
        const std::string text = original.str() + "\nstatic const float benchSave = " + std::to_string(save) + ".0;\n";
        const fs::path temporary = dir / ("." + file + ".tmp");
        std::ofstream(temporary, std::ios::binary) << text;
        std::atomic<double> saved{0};
        const double delay = within(random);
        std::thread editor([&] {
            const timespec wait{0, long(delay * 1e9)};
            nanosleep(&wait, nullptr);
            saved = secondsNow();
            fs::rename(temporary, dir / file);
        });

        double swapped = 0;
        int frameCount = 0;
        const double started = secondsNow();
        for (;;) {
            events.clear();
            shaderReloadPoll(reload, *session.show.runtime, events);
            bool rebuilt = false;
            for (const ShaderReloadEvent& e : events) {
                if (e.fault) {
                    std::fprintf(stderr, "shader_reload_bench: %s\n", e.line.c_str());
                    editor.join();
                    return 1;
                }
                rebuilt = true;
            }
            if (rebuilt) swapped = secondsNow();
            stepShowSession(session, musicTime);
            musicTime += step;
            glFinish();
            if (saved > 0) ++frameCount;
            if (rebuilt) break;
            if (secondsNow() - started > 30) {
                std::fprintf(stderr, "shader_reload_bench: save %d never reached the picture\n", save);
                editor.join();
                return 1;
            }
        }
        editor.join();
        const double drawn = secondsNow();
        toFrame.push_back((drawn - saved) * 1e3);
        toSwap.push_back((swapped - saved) * 1e3);
        frames.push_back(frameCount);
        std::printf("  save %2d: %7.1f ms to the frame (%6.1f ms to the swap, %d frames from the save)\n", save + 1,
                    toFrame.back(), toSwap.back(), frameCount);
    }
    std::printf("median of %d saves: %.1f ms save -> frame drawn with the new program (%.1f ms to the swap); "
                "min %.1f, max %.1f\n",
                saves, median(toFrame), median(toSwap), *std::min_element(toFrame.begin(), toFrame.end()),
                *std::max_element(toFrame.begin(), toFrame.end()));
    releaseShowSession(session);
    closeShowSession(session);
    shaderReloadClose(reload);
    closeHeadlessGl(gl);
    fs::remove_all(dir, fault);
    return 0;
}
