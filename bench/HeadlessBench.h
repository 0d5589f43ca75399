// What the benches that draw the show off-screen share: the clock, the
// median, a WxH argument, and the headless context and show session they
// draw in. Header only: each bench is one program.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "Orrery/gfx/Gles.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/ShowSession.h"
#include "app/linux/HeadlessGl.h"

inline double secondsNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The middle two averaged for an even count; 0 for none.
inline double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// "WxH" with both from 16 to 8192, as thawline --size takes it, and nothing after.
inline bool parseBenchSize(const char* text, int& width, int& height) {
    int w = 0;
    int h = 0;
    char extra = 0;
    if (std::sscanf(text, "%dx%d%c", &w, &h, &extra) != 2 || w < 16 || h < 16 || w > 8192 || h > 8192) return false;
    width = w;
    height = h;
    return true;
}

// A current OpenGL ES context the show can draw with; false after one line
// on stderr naming `program` and why not.
inline bool openBenchGl(HeadlessGl& gl, const char* program) {
    char error[256] = "";
    if (!openHeadlessGl(gl, error, sizeof error)) {
        std::fprintf(stderr, "%s: no usable OpenGL ES context: %s\n", program, error);
        return false;
    }
    if (const char* problem = Orrery::Gfx::glesContextProblem()) {
        std::fprintf(stderr, "%s: no usable OpenGL ES context: %s\n", program, problem);
        closeHeadlessGl(gl);
        return false;
    }
    return true;
}

// The show at WxH drawing into an off-screen texture; the texture, 0 when
// it could not be made.
inline GLuint openBenchSession(ShowSession& session, int width, int height) {
    session = ShowSession{};
    openShowSession(session, Orrery::Gfx::DeviceDesc{}, width, height);
    return Orrery::Gfx::glesAttachScreenTarget(*session.show.runtime->outputTexture);
}
