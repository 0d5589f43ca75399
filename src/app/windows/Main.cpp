// The Windows GUI entry: no arguments, no command line; the exit code is 0
// however the show ends.
#include <windows.h>

#include "app/windows/FrameDriver.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    runShow();
    ExitProcess(0);
}
