#include "app/gles/HeadlessGl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstring>

namespace {

bool hasClientExtension(const char* name) {
    const char* list = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!list) return false;
    const size_t length = std::strlen(name);
    for (const char* at = list; (at = std::strstr(at, name)) != nullptr; at += length)
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

EGLDisplay surfacelessDisplay() {
    if (!hasClientExtension("EGL_MESA_platform_surfaceless")) return EGL_NO_DISPLAY;
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return EGL_NO_DISPLAY;
    return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

EGLDisplay deviceDisplay() {
    if (!hasClientExtension("EGL_EXT_platform_device")) return EGL_NO_DISPLAY;
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!queryDevices || !getPlatformDisplay) return EGL_NO_DISPLAY;
    EGLDeviceEXT devices[8];
    EGLint count = 0;
    if (!queryDevices(8, devices, &count) || count < 1) return EGL_NO_DISPLAY;
    return getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[0], nullptr);
}

bool createContext(HeadlessGl& gl, EGLDisplay display, const char* platform) {
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) return false;
    if (!eglBindAPI(EGL_OPENGL_ES_API)) {
        eglTerminate(display);
        return false;
    }
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    const bool haveConfig = eglChooseConfig(display, configAttributes, &config, 1, &configs) && configs > 0;
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
    // Without a config, EGL_KHR_no_config_context lets the context be made anyway.
    EGLContext context = eglCreateContext(display, haveConfig ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT,
                                          contextAttributes);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
        eglTerminate(display);
        return false;
    }
    gl.display = display;
    gl.context = context;
    gl.platform = platform;
    return true;
}

}  // namespace

bool openHeadlessGl(HeadlessGl& gl, char* error, size_t errorSize) {
    gl = HeadlessGl{nullptr, nullptr, nullptr};
    if (createContext(gl, surfacelessDisplay(), "surfaceless")) return true;
    if (createContext(gl, deviceDisplay(), "device")) return true;
    std::snprintf(error, errorSize,
                  "no OpenGL ES 3 context without a display (EGL offers neither Mesa's surfaceless platform "
                  "nor a device; EGL error 0x%04X)",
                  unsigned(eglGetError()));
    return false;
}

void closeHeadlessGl(HeadlessGl& gl) {
    if (!gl.display) return;
    eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (gl.context) eglDestroyContext(gl.display, gl.context);
    eglTerminate(gl.display);
    gl = HeadlessGl{nullptr, nullptr, nullptr};
}
