// ThawlineCapture.exe: the show rendered off-line, frame by frame at music
// time k / fps, through the same session as the show. Pictures go to
// standard output as raw RGBA; the soundtrack to a file.
#include <windows.h>

#include <cstdio>

#include "Orrery/gfx/GraphRuntime.h"
#include "app/ShowSession.h"
#include "app/capture/CaptureRun.h"
#include "app/windows/CaptureTarget.h"
#include "content/scene/ShowCheck.h"

namespace {

const char* kName = "ThawlineCapture";

int failWith(const char* message, HRESULT hr) {
    fprintf(stderr, "%s: %s (HRESULT 0x%08lX)\n", kName, message, static_cast<unsigned long>(hr));
    return 1;
}

struct ReadBack {
    CaptureTarget target;
    ID3D11DeviceContext* context;
};

bool readFrame(void* user, uint8_t* pixels, char* reason, size_t reasonSize) {
    ReadBack& readBack = *static_cast<ReadBack*>(user);
    const HRESULT hr = readCaptureFrame(readBack.target, readBack.context, pixels);
    if (SUCCEEDED(hr)) return true;
    snprintf(reason, reasonSize, "HRESULT 0x%08lX", static_cast<unsigned long>(hr));
    return false;
}

// Through the handle: the C runtime's text mode would turn every 0x0A into
// 0x0D 0x0A.
bool writeOutput(void*, const uint8_t* data, size_t size) {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    while (size > 0) {
        DWORD chunk = size > (1u << 30) ? (1u << 30) : DWORD(size);
        DWORD written = 0;
        if (!WriteFile(output, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// Set by Ctrl-C, Ctrl-Break or the console closing (Wine turns SIGINT into
// Ctrl-C); the frame loop stops at the next frame and reports it.
volatile LONG interrupted = 0;

BOOL WINAPI onConsoleControl(DWORD) {
    InterlockedExchange(&interrupted, 1);
    return TRUE;
}

bool wasInterrupted(void*) { return interrupted != 0; }

}  // namespace

int main(int argc, char** argv) {
    const CaptureStart start = startCapture(kName, "ThawlineCapture.exe", argc, argv, false);
    if (!start.run) return start.status;

    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    const D3D_FEATURE_LEVEL requested = D3D_FEATURE_LEVEL_11_0;
    HRESULT hr = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &requested, 1, D3D11_SDK_VERSION,
                                   &device, nullptr, &context);
    if (FAILED(hr)) return failWith("no Direct3D 11 device: D3D11CreateDevice failed", hr);

    ReadBack readBack = {};
    readBack.context = context;
    hr = createCaptureTarget(readBack.target, device, uint32_t(start.options.width), uint32_t(start.options.height));
    if (FAILED(hr)) return failWith("cannot create the off-screen target", hr);

    ShowSession session = {};
    Orrery::Gfx::DeviceDesc deviceDesc;
    deviceDesc.device = device;
    deviceDesc.immediateContext = context;
    openShowSession(session, deviceDesc, start.options.width, start.options.height);
    session.show.runtime->outputTexture->putOutsideTarget(readBack.target.view);
    char missing[160];
    if (!showResourcesComplete(session.show, missing, sizeof missing)) {
        fprintf(stderr, "%s: %s\n", kName, missing);
        return 1;
    }
    const CaptureDevice capture = {&readBack, readFrame, writeOutput, wasInterrupted};
    const int status = runCapture(kName, session, start, capture);
    closeShowSession(session);
    return status;
}
