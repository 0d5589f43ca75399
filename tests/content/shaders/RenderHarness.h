// What the output tests need from Direct3D 11: create shaders from blobs and
// draw one full-screen triangle with given inputs and frame constants into a
// float RGBA target, then read it back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ShaderReference.h"

struct ShaderBlob {
    const unsigned char* bytes;
    unsigned int size;
};

// Creates the device once; false with a message when there is none.
bool harnessStart(std::string& error);

// Whether the device accepts the blob as a vertex or a pixel shader.
bool harnessAccepts(ShaderBlob blob, bool vertex);

// Draws into a width x height R32G32B32A32_FLOAT target with the inputs at
// t0.. (float RGBA textures) and the frame constants at b8.
bool harnessRender(ShaderBlob vertexShader, ShaderBlob pixelShader, const std::vector<const ref::Image*>& inputs,
                   const std::vector<uint8_t>& frameConstants, int width, int height, ref::Image& out,
                   std::string& error);
