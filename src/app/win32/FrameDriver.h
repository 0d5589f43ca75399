// The program body: start-up, the frame loop and shutdown. The show and its
// capture share the graph's start-up and the loop; they differ only in where
// each frame's music time comes from and where the finished frame goes.
#pragma once

#include <cstdint>

#include <d3d11.h>

struct Show;

struct FrameTime {
    float time;     // music time of the frame, seconds
    float elapsed;  // its step from the previous frame
};

struct FrameSeams {
    void* user;
    // The next frame's music time; false ends the loop before anything is drawn.
    bool (*nextFrame)(void* user, FrameTime& frame);
    // Called once the frame's passes have run.
    void (*finishFrame)(void* user, uint32_t frameIndex, const FrameTime& frame);
};

// Hands the device to the graphics runtime, assembles the show at
// screenWidth x screenHeight and points the present pass at `output`.
void buildShowGraph(Show& show, ID3D11Device* device, ID3D11DeviceContext* immediateContext,
                    ID3D11RenderTargetView* output);

// Renders frames until the clock seam says stop; frame indices start at 0.
void runShowFrames(Show& show, float aspect, const FrameSeams& seams);

// The real-time show: window, swap chain, sound, the audio clock.
void runShow();
