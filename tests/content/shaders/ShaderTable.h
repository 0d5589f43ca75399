// The interface each of the show's programs presents: stage, declared
// textures and samplers with their slots, and whether it reads the frame
// constant buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace shadertable {

struct Slot {
    const char* name;
    uint32_t slot;
};

struct ProgramInterface {
    const char* blob;  // name in ShaderBlobs.h without the leading k
    bool vertex;
    bool readsContext;
    Slot textures[3];
    size_t textureCount;
    Slot samplers[2];
    size_t samplerCount;
};

inline const ProgramInterface kPrograms[] = {
    {"ScreenTriangleShortVS", true, false, {}, 0, {}, 0},
    {"ScreenTriangleLongVS", true, false, {}, 0, {}, 0},
    {"PresentVS", true, false, {}, 0, {}, 0},
    {"PresentPS", false, false, {{"inputTex", 0}}, 1, {{"smp", 3}}, 1},
    {"ScrollerPS", false, true, {{"Font", 0}, {"Feedback", 1}}, 2,
     {{"smpLinearRepeat", 2}, {"smpNearestRepeat", 5}}, 2},
    {"PalettePS", false, false, {{"Render", 0}}, 1, {{"smpNearestClamp", 3}}, 1},
    {"CloudsPS", false, true, {}, 0, {}, 0},
    {"BackgroundPS", false, false, {{"clouds", 0}}, 1, {{"smpLinearClamp", 0}}, 1},
    {"BlurPS", false, true, {{"InputTexture", 0}}, 1, {{"LinearSampler", 0}}, 1},
    {"CompositePS", false, true, {{"input1", 0}, {"input2", 1}, {"input3", 2}}, 3, {{"smpLinearClamp", 0}}, 1},
    {"RaysPS", false, true, {{"inputTexture", 0}}, 1, {{"samplerState", 0}}, 1},
    {"CrtPS", false, true, {{"inputTexture", 0}}, 1, {{"smpLinearClamp", 0}}, 1},
};

// The 27 animated parameters behind the 608-byte frame block, in order.
inline const char* const kParameterNames[27] = {
    "CameraPosX", "CameraPosY", "CameraPosZ", "CameraDirX", "CameraDirY", "CameraDirZ",
    "CameraFOV", "CameraRoll", "IS_NEAREST_SAMPLING", "MELT_GRADIENT_SPREAD",
    "FEEDBACK_STRENGTH", "NOISE_STRENGTH", "DOFBLUR", "OUTLINES", "bg_transp", "txt_transp",
    "useInput3", "SCROLLSPEED", "BAYERON", "ENABLEFINALPSOTPROC", "SCANLINES",
    "GLOBE_BRIGHTNESS", "FLICKER", "BLINKY", "lamerbypass", "lamerdecay", "lamerdensity",
};

}  // namespace shadertable
