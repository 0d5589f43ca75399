#include "Orrery/gfx/Parameter.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace Orrery::Gfx {

uint32_t parameterByteSize(int32_t type) {
    switch (type) {
    case ParamType::Float: return 4;
    case ParamType::Float2: return 8;
    case ParamType::Float3: return 12;
    case ParamType::Float4: return 16;
    default: return 0;
    }
}

Parameter makeParameter(const char* name, int32_t type) {
    Parameter p;
    std::memset(&p, 0, sizeof p);
    if (name) std::strncpy(p.name, name, kParameterNameSize - 1);
    p.type = type;
    return p;
}

void parameterBlockInit(ParameterBlock& block) {
    growInit(block.parameters);
    growInit(block.offsets);
    block.data = nullptr;
    block.size = 0;
}

void parameterBlockFree(ParameterBlock& block) {
    growFree(block.parameters);
    growFree(block.offsets);
    std::free(block.data);
    block.data = nullptr;
    block.size = 0;
}

bool packParameters(ParameterBlock& block, const GrowArray<Parameter>& list) {
    std::free(block.data);
    block.data = nullptr;
    block.size = 0;
    growFree(block.offsets);

    if (!growCopy(block.parameters, list)) return false;

    uint32_t total = 0;
    if (!growPush(block.offsets, total)) return false;
    for (uint32_t i = 0; i < block.parameters.count; ++i) {
        total += parameterByteSize(block.parameters[i].type);
        if (!growPush(block.offsets, total)) {
            growFree(block.offsets);
            return false;
        }
    }

    if (total == 0) return true;
    block.data = static_cast<uint8_t*>(std::malloc(total));
    if (!block.data) {
        growFree(block.offsets);
        return false;
    }
    for (uint32_t i = 0; i < block.parameters.count; ++i) {
        const Parameter& p = block.parameters[i];
        std::memcpy(block.data + block.offsets[i], p.value, parameterByteSize(p.type));
    }
    block.size = total;
    return true;
}

uint32_t frameDataLength(uint32_t blockSize) {
    float bytes = static_cast<float>(kContextBufferBytes + blockSize);
    return static_cast<uint32_t>(std::ceil(bytes / 16.0f) * 16.0f);
}

}  // namespace Orrery::Gfx
