// One headless OpenGL ES context (EGL on Mesa, no display) shared by the
// tests of the OpenGL ES back end, with the runtime initialised on it, and
// small helpers to run one pass and read a texture back.
#pragma once

#include <cstdint>
#include <vector>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/GraphRuntime.h"

// Opens the context and runs initContext once per process; false with the
// reason in `error` (and the tests fail) when there is none.
bool ensureGlesTestContext(const char** error);

// A 2D texture of `format` (not double-buffered unless asked).
Orrery::Gfx::TextureRuntime* makeTexture(int32_t width, int32_t height, int32_t format, bool doubleBuffered = false);

// A draw pass of the full-screen triangle (the show's short vertex program)
// and `pixelText`, drawing into `target` and reading `inputs`. Null (with the
// driver's log in `log`) when the program does not link.
Orrery::Gfx::DrawPass* makePass(const char* pixelText, Orrery::Gfx::TextureRuntime* target,
                                std::vector<Orrery::Gfx::Resource*> inputs, std::vector<char>* log = nullptr);

// Runs `pass` with `frameData` (zeros of the show's 720 bytes when empty).
void runPass(Orrery::Gfx::DrawPass& pass, std::vector<uint8_t> frameData = {});

// Reads level 0 of `texture` (rows in memory order, row 0 first) as floats
// (half- and full-float formats) or as bytes scaled to 0..1 (8-bit formats).
std::vector<float> readTexture(GLuint texture, int32_t width, int32_t height, bool floatFormat);
