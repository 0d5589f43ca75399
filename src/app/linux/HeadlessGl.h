// An OpenGL ES 3 context with no display and no window, current on the
// calling thread: Mesa's surfaceless platform, or the EGL device platform
// (NVIDIA without an X server), tried in that order. Everything draws into
// framebuffer objects.
#pragma once

#include <cstddef>

struct HeadlessGl {
    void* display;  // EGLDisplay
    void* context;  // EGLContext
    const char* platform;  // "surfaceless" or "device"
};

// True with a current context; false with a one-line reason in `error`.
bool openHeadlessGl(HeadlessGl& gl, char* error, size_t errorSize);
void closeHeadlessGl(HeadlessGl& gl);
