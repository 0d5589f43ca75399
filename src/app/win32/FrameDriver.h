// The program body: start-up, the frame loop and shutdown. The show and its
// capture share the graph's start-up and drawShowFrame; each owns its loop.
#pragma once

#include <d3d11.h>

struct Show;

// Hands the device to the graphics runtime, assembles the show at
// screenWidth x screenHeight and points the present pass at `output`.
void buildShowGraph(Show& show, ID3D11Device* device, ID3D11DeviceContext* immediateContext,
                    ID3D11RenderTargetView* output);

// The real-time show: window, swap chain, sound, the audio clock.
void runShow();
