#include "app/windows/FrameProbe.h"

#if defined(THAW_FRAME_PROBE)

#include <windows.h>

#include <cstdio>

namespace {

HANDLE logFile = INVALID_HANDLE_VALUE;
LARGE_INTEGER startCount;
LARGE_INTEGER countsPerSecond;

double secondsSinceOpen() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart - startCount.QuadPart) / double(countsPerSecond.QuadPart);
}

void writeLine(const char* text, int length) {
    if (logFile == INVALID_HANDLE_VALUE || length <= 0) return;
    DWORD written = 0;
    WriteFile(logFile, text, DWORD(length), &written, nullptr);
}

}  // namespace

void probeOpen() {
    QueryPerformanceFrequency(&countsPerSecond);
    QueryPerformanceCounter(&startCount);
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"THAW_FRAME_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    // Written through so that a reader sees each frame as it happens.
    logFile = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
}

void probeMark(const char* milestone) {
    char line[128];
    writeLine(line, std::snprintf(line, sizeof line, "mark %s %.3f\n", milestone, secondsSinceOpen()));
}

void probeFrame(uint32_t frameIndex, float time, uint32_t positionBytes) {
    char line[128];
    writeLine(line, std::snprintf(line, sizeof line, "frame %u %.9g %u %.3f\n", frameIndex, double(time),
                                  positionBytes, secondsSinceOpen()));
}

void probeEndOfMusic(float time, uint32_t positionBytes) {
    char line[128];
    writeLine(line, std::snprintf(line, sizeof line, "end %.9g %u %.3f\n", double(time), positionBytes,
                                  secondsSinceOpen()));
}

void probeClose(const char* reason) {
    probeMark(reason);
    if (logFile != INVALID_HANDLE_VALUE) CloseHandle(logFile);
    logFile = INVALID_HANDLE_VALUE;
}

#endif
