#pragma once
// SPIR-V (one vertex or fragment entry point, every function inlined, as
// spirv-opt leaves it) to a shader model 5.0 DXBC container.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dxbc {

// sourceName only labels error messages. Returns false and a message naming
// the offending instruction if the module uses anything not supported.
bool translateSpirv(const uint32_t* words, size_t count, const std::string& sourceName,
                    std::vector<uint8_t>& container, std::string& error);

}  // namespace dxbc
