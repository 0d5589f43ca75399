#include "app/linux/HeadlessGl.h"

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

const char* eglErrorName(EGLint code) {
    static const char* const names[] = {"EGL_SUCCESS",         "EGL_NOT_INITIALIZED", "EGL_BAD_ACCESS",
                                        "EGL_BAD_ALLOC",       "EGL_BAD_ATTRIBUTE",   "EGL_BAD_CONFIG",
                                        "EGL_BAD_CONTEXT",     "EGL_BAD_CURRENT_SURFACE", "EGL_BAD_DISPLAY",
                                        "EGL_BAD_MATCH",       "EGL_BAD_NATIVE_PIXMAP", "EGL_BAD_NATIVE_WINDOW",
                                        "EGL_BAD_PARAMETER",   "EGL_BAD_SURFACE",     "EGL_CONTEXT_LOST"};
    const EGLint index = code - EGL_SUCCESS;
    return index >= 0 && index < EGLint(sizeof names / sizeof names[0]) ? names[index] : "an unknown EGL error";
}

// On failure `why` names the call that failed and EGL's error for it, read
// at once: a later call would overwrite it.
bool createContext(HeadlessGl& gl, EGLDisplay display, const char* platform, char* why, size_t whySize) {
    EGLint major = 0, minor = 0;
    const char* step = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    if (!eglInitialize(display, &major, &minor)) {
        step = "eglInitialize";
    } else if (!eglBindAPI(EGL_OPENGL_ES_API)) {
        step = "eglBindAPI";
    } else {
        const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint configs = 0;
        const bool haveConfig = eglChooseConfig(display, configAttributes, &config, 1, &configs) && configs > 0;
        const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
        // Without a config, EGL_KHR_no_config_context lets the context be made anyway.
        context = eglCreateContext(display, haveConfig ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT,
                                   contextAttributes);
        if (context == EGL_NO_CONTEXT)
            step = "eglCreateContext";
        else if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
            step = "eglMakeCurrent";
    }
    if (step) {
        std::snprintf(why, whySize, "%s failed on the %s platform (%s)", step, platform, eglErrorName(eglGetError()));
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
    // The first platform's failure is the one to report: the device platform
    // is only a fallback where Mesa's is missing.
    char why[256] = "";
    const EGLDisplay surfaceless = surfacelessDisplay();
    if (surfaceless != EGL_NO_DISPLAY && createContext(gl, surfaceless, "surfaceless", why, sizeof why)) return true;
    const EGLDisplay device = deviceDisplay();
    char deviceWhy[256] = "";
    if (device != EGL_NO_DISPLAY && createContext(gl, device, "device", deviceWhy, sizeof deviceWhy)) return true;
    if (!why[0]) std::snprintf(why, sizeof why, "%s", deviceWhy);
    if (why[0])
        std::snprintf(error, errorSize, "no OpenGL ES 3 context without a display: %s", why);
    else
        std::snprintf(error, errorSize,
                      "no OpenGL ES 3 context without a display: EGL offers neither Mesa's surfaceless "
                      "platform nor a device");
    return false;
}

void closeHeadlessGl(HeadlessGl& gl) {
    if (!gl.display) return;
    eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (gl.context) eglDestroyContext(gl.display, gl.context);
    eglTerminate(gl.display);
    gl = HeadlessGl{nullptr, nullptr, nullptr};
}
