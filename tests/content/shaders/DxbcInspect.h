// Reads the parts of a compiled shader container that the interface tests
// check: the chunk list, the input and output signatures, the program's
// version token and, when present, the reflection chunk's constant buffers
// and bindings. Independent of the translator that wrote the container.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dxbcinspect {

struct SignatureElement {
    std::string semantic;
    uint32_t semanticIndex = 0;
    uint32_t systemValue = 0;
    uint32_t componentType = 0;  // 1 uint, 2 int, 3 float
    uint32_t reg = 0;
    uint8_t mask = 0;
};

struct Variable {
    std::string name;
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct ConstantBuffer {
    std::string name;
    uint32_t size = 0;
    std::vector<Variable> variables;
};

struct Binding {
    std::string name;
    uint32_t type = 0;  // 0 cbuffer, 2 texture, 3 sampler
    uint32_t bindPoint = 0;
};

struct Container {
    std::vector<std::string> chunks;  // four-character codes in order
    std::vector<SignatureElement> inputs;
    std::vector<SignatureElement> outputs;
    uint32_t programType = 0xffff;  // 0 pixel, 1 vertex
    uint32_t majorVersion = 0, minorVersion = 0;
    uint32_t programDwords = 0;
    bool hasReflection = false;
    std::vector<ConstantBuffer> constantBuffers;
    std::vector<Binding> bindings;
};

// False with a message when the bytes are not a well-formed container.
bool inspect(const uint8_t* bytes, size_t size, Container& out, std::string& error);

}  // namespace dxbcinspect
