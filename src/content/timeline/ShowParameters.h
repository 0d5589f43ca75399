// The show's 27 shader parameters, in cbuffer order. Track i drives
// parameter i; the timeline file names each track after its parameter.
#pragma once

#include <cstdint>

constexpr uint32_t kShowParameterCount = 27;
// Parameter (and track) names in cbuffer order, exactly as the shaders declare them.
extern const char* const kShowParameterNames[kShowParameterCount];
