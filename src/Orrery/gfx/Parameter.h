// Shader parameters and their packing behind the per-frame block.
//
// Parameters reach the shaders as the tail of the ContextBuffer constant
// buffer: their values packed back to back, in list order, with no alignment.
// Position in the list is the contract with the shaders; names only document
// which cbuffer member a parameter feeds.
#pragma once

#include <cstdint>

#include "base/GrowArray.h"

namespace Orrery::Gfx {

namespace ParamType {
enum Value : int32_t { Float = 0, Float2 = 1, Float3 = 2, Float4 = 3 };
}

constexpr uint32_t kParameterNameSize = 256;

struct Parameter {
    char name[kParameterNameSize];  // zero-terminated
    int32_t type;                   // ParamType
    float value[4];                 // only the first 1..4 components are used
};

// Bytes a parameter occupies in the block: 4, 8, 12 or 16 by type. An
// unknown type occupies nothing, so it can never copy past `value`.
uint32_t parameterByteSize(int32_t type);

// A parameter of the given name (truncated to 255 characters), type and a
// value of zero.
Parameter makeParameter(const char* name, int32_t type = ParamType::Float);

// The packed values of one frame.
struct ParameterBlock {
    GrowArray<Parameter> parameters;  // this frame's copy of the list
    GrowArray<uint32_t> offsets;      // start of each parameter, plus the total
    uint8_t* data;                    // `size` bytes from malloc
    uint32_t size;
};

void parameterBlockInit(ParameterBlock& block);
void parameterBlockFree(ParameterBlock& block);

// Rebuilds the block from `list`: frees the previous data, copies the list,
// records the offsets (0, then the running total after each parameter, so one
// more entry than parameters) and copies each value's used bytes to its
// offset. Returns false when out of memory; the block is then left empty
// (size 0, no data).
bool packParameters(ParameterBlock& block, const GrowArray<Parameter>& list);

// Size of the per-frame block that precedes the parameters.
constexpr uint32_t kContextBufferBytes = 608;

// Length of the frame data that reaches the shaders: the per-frame block
// followed by `blockSize` parameter bytes, rounded up to a multiple of 16
// (computed in single precision, as the constant buffer is sized).
uint32_t frameDataLength(uint32_t blockSize);

}  // namespace Orrery::Gfx
