// show_gpu_bench: draws N frames of the show off-screen on the OpenGL ES back
// end, with no display (EGL: Mesa's surfaceless platform, or the device
// platform of a headless NVIDIA machine), and prints a table of the time of
// each pass and of whole frames. Pass times come from GPU timer queries
// (GL_EXT_disjoint_timer_query) where the driver offers them, otherwise from
// the CPU's clock around each pass with glFinish on both sides.
//
//   show_gpu_bench [--size WxH] [--frames N] [--from SECONDS] [--fps N] [--cpu-clock]
#include <EGL/egl.h>
#include <GLES3/gl3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/Gles.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/ShowSession.h"
#include "Orrery/gfx/Gles.h"
#include "app/linux/HeadlessGl.h"
#include "content/scene/Show.h"
#include "content/scene/ShowCheck.h"

using namespace Orrery::Gfx;

namespace {

const char* kName = "show_gpu_bench";
const char* kUsage =
    "usage: show_gpu_bench [--size WxH] [--frames N] [--from SECONDS] [--fps N] [--cpu-clock]\n"
    "Draws N frames (default 60) of the show at WxH (default 1920x1080) from music time\n"
    "SECONDS (default 20) at fps (default 60) off-screen and prints per-pass and per-frame\n"
    "times: GPU timer queries when offered, else CPU time around glFinish (--cpu-clock forces it).\n"
    "Frames from time 0 to the start are drawn first, untimed, so the melt trail is the show's.\n";

constexpr GLenum kTimeElapsed = 0x88BF;   // GL_TIME_ELAPSED_EXT
constexpr GLenum kQueryResult = 0x8866;   // GL_QUERY_RESULT_EXT
constexpr GLenum kGpuDisjoint = 0x8FBB;   // GL_GPU_DISJOINT_EXT

struct TimerQueries {
    PFNGLGENQUERIESPROC gen;
    PFNGLBEGINQUERYPROC begin;
    PFNGLENDQUERYPROC end;
    void (*getResult)(GLuint, GLenum, uint64_t*);
};

bool loadTimerQueries(TimerQueries& q) {
    if (!Orrery::Gfx::glesHasExtension("GL_EXT_disjoint_timer_query")) return false;
    q.gen = reinterpret_cast<PFNGLGENQUERIESPROC>(eglGetProcAddress("glGenQueriesEXT"));
    q.begin = reinterpret_cast<PFNGLBEGINQUERYPROC>(eglGetProcAddress("glBeginQueryEXT"));
    q.end = reinterpret_cast<PFNGLENDQUERYPROC>(eglGetProcAddress("glEndQueryEXT"));
    q.getResult = reinterpret_cast<void (*)(GLuint, GLenum, uint64_t*)>(eglGetProcAddress("glGetQueryObjectui64vEXT"));
    return q.gen && q.begin && q.end && q.getResult;
}

double secondsNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Options {
    int width = 1920;
    int height = 1080;
    unsigned frames = 60;
    double from = 20.0;
    unsigned fps = 60;
    bool cpuClock = false;
};

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        char* end = nullptr;
        errno = 0;
        if (std::strcmp(a, "--cpu-clock") == 0) {
            o.cpuClock = true;
            continue;
        }
        if (!v) return false;
        ++i;
        if (std::strcmp(a, "--size") == 0) {
            if (std::sscanf(v, "%dx%d", &o.width, &o.height) != 2 || o.width < 16 || o.height < 16 || o.width > 7680 ||
                o.height > 4320)
                return false;
        } else if (std::strcmp(a, "--frames") == 0) {
            const unsigned long n = std::strtoul(v, &end, 10);
            if (errno || *end || n < 1 || n > 100000) return false;
            o.frames = unsigned(n);
        } else if (std::strcmp(a, "--from") == 0) {
            o.from = std::strtod(v, &end);
            if (errno || *end || !(o.from >= 0.0 && o.from < 46.57)) return false;
        } else if (std::strcmp(a, "--fps") == 0) {
            const unsigned long n = std::strtoul(v, &end, 10);
            if (errno || *end || n < 1 || n > 240) return false;
            o.fps = unsigned(n);
        } else {
            return false;
        }
    }
    return true;
}

const char* passName(const Show& show, const void* pass) {
    if (pass == show.scrollPass) return "scroll";
    if (pass == show.palettePass) return "palette";
    if (pass == show.cloudsPass) return "clouds";
    if (pass == show.backgroundPass) return "background";
    if (pass == show.blurPass) return "blur";
    if (pass == show.compositePass) return "composite";
    if (pass == show.raysPass) return "rays";
    if (pass == show.crtPass) return "crt";
    return "present";
}

// One frame of the runtime, as runFrame draws it, with a clock around each pass.
struct PassClock {
    bool gpu;
    TimerQueries queries;
    std::vector<GLuint> names;
};

void timedFrame(GraphRuntime& rt, PassClock& clock, std::vector<double>& passMs) {
    packParameters(rt.block, rt.parameters);
    const uint32_t length = frameDataLength(rt.block.size);
    std::vector<uint8_t> frameData(length, 0);
    std::memcpy(frameData.data(), &gfxContext.contextData, kContextBufferBytes);
    if (rt.block.size) std::memcpy(frameData.data() + kContextBufferBytes, rt.block.data, rt.block.size);
    idTableWalk(rt.resources, [](int32_t, Resource* r) {
        if (r) r->update();
    });
    const float time = gfxContext.contextData.time;
    passMs.assign(rt.passes.count, 0.0);
    for (uint32_t i = 0; i < rt.passes.count; ++i) {
        auto& pass = *static_cast<DrawPass*>(rt.passes[i].pass);
        if (!passIsActive(pass.desc.activation, pass.desc.start, pass.desc.end, time, rt.firstFrame)) continue;
        if (clock.gpu) {
            clock.queries.begin(kTimeElapsed, clock.names[i]);
            runDrawPass(pass, frameData.data(), length);
            clock.queries.end(kTimeElapsed);
        } else {
            glFinish();
            const double start = secondsNow();
            runDrawPass(pass, frameData.data(), length);
            glFinish();
            passMs[i] = (secondsNow() - start) * 1e3;
        }
    }
    idTableWalk(rt.resources, [](int32_t, Resource* r) {
        if (r && r->doubleBuffered) r->swapped = !r->swapped;
    });
    rt.firstFrame = false;
    if (clock.gpu) {
        for (uint32_t i = 0; i < rt.passes.count; ++i) {
            uint64_t ns = 0;
            clock.queries.getResult(clock.names[i], kQueryResult, &ns);
            passMs[i] = double(ns) * 1e-6;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!parseOptions(argc, argv, o)) {
        std::fprintf(stderr, "%s: bad arguments (see --help)\n", kName);
        return 2;
    }
    char error[512] = "";
    HeadlessGl gl;
    if (!openHeadlessGl(gl, error, sizeof error)) {
        std::fprintf(stderr, "%s: %s\n", kName, error);
        return 1;
    }
    if (const char* problem = glesContextProblem()) {
        std::fprintf(stderr, "%s: %s\n", kName, problem);
        return 1;
    }
    ShowSession session = {};
    openShowSession(session, DeviceDesc{}, o.width, o.height);
    Show& show = session.show;
    if (!glesAttachScreenTarget(*show.runtime->outputTexture) || !showResourcesComplete(show, error, sizeof error) ||
        !allProgramsBuilt(*show.runtime, error, sizeof error)) {
        std::fprintf(stderr, "%s: the assembled show is incomplete: %s\n", kName, error[0] ? error : "no screen target");
        return 1;
    }
    GraphRuntime& rt = *show.runtime;

    PassClock clock = {};
    clock.gpu = !o.cpuClock && loadTimerQueries(clock.queries);
    if (clock.gpu) {
        clock.names.resize(rt.passes.count);
        clock.queries.gen(GLsizei(rt.passes.count), clock.names.data());
    }

    // Untimed frames up to the start, so the feedback trail is the show's.
    const uint32_t first = uint32_t(o.from * o.fps);
    for (uint32_t k = 0; k < first; ++k) drawShowSessionFrame(session, k, float(double(k) / o.fps), 1.0f / o.fps);
    glFinish();

    std::vector<std::vector<double>> perPass(rt.passes.count);
    std::vector<double> frames;
    std::vector<double> passMs;
    bool disjoint = false;
    for (uint32_t n = 0; n < o.frames; ++n) {
        const uint32_t k = first + n;
        const float t = std::min(float(double(k) / o.fps), 46.5f);
        const double start = secondsNow();
        prepareShowSessionFrame(session, k, t, 1.0f / o.fps);
        timedFrame(rt, clock, passMs);
        glFinish();
        frames.push_back((secondsNow() - start) * 1e3);
        for (uint32_t i = 0; i < rt.passes.count; ++i) perPass[i].push_back(passMs[i]);
        if (clock.gpu) {
            GLint flag = 0;
            glGetIntegerv(kGpuDisjoint, &flag);
            disjoint = disjoint || flag;
        }
    }

    std::printf("%s: %d x %d, %u frames from %.2f s at %u fps, %s (%s, %s), EGL %s\n", kName, o.width, o.height,
                o.frames, o.from, o.fps, clock.gpu ? "GPU timer queries" : "CPU clock around glFinish",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                reinterpret_cast<const char*>(glGetString(GL_VERSION)), gl.platform);
    if (disjoint) std::printf("warning: the GPU reported a disjoint operation; some pass times are unreliable\n");
    auto stats = [](std::vector<double> v, double& mean, double& median, double& worst) {
        double sum = 0;
        for (double x : v) sum += x;
        mean = sum / v.size();
        std::sort(v.begin(), v.end());
        median = v[v.size() / 2];
        worst = v.back();
    };
    double frameMean, frameMedian, frameWorst;
    stats(frames, frameMean, frameMedian, frameWorst);
    std::printf("%-12s %10s %10s %10s %8s\n", "pass", "mean ms", "median ms", "max ms", "share");
    double passSum = 0;
    std::vector<double> means(rt.passes.count);
    for (uint32_t i = 0; i < rt.passes.count; ++i) {
        double median, worst;
        stats(perPass[i], means[i], median, worst);
        passSum += means[i];
    }
    for (uint32_t i = 0; i < rt.passes.count; ++i) {
        double mean, median, worst;
        stats(perPass[i], mean, median, worst);
        std::printf("%-12s %10.3f %10.3f %10.3f %7.1f%%\n", passName(show, rt.passes[i].pass), mean, median, worst,
                    passSum > 0 ? 100.0 * mean / passSum : 0.0);
    }
    std::printf("%-12s %10.3f %10s %10s\n", "passes", passSum, "", "");
    std::printf("%-12s %10.3f %10.3f %10.3f   (%.1f frames/s, wall clock incl. CPU side)\n", "frame", frameMean,
                frameMedian, frameWorst, 1000.0 / frameMean);
    closeShowSession(session);
    closeHeadlessGl(gl);
    return 0;
}
