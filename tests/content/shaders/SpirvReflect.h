// Reads what the shader interface tests need from a SPIR-V module: entry
// points, named variables with their bindings, and the member names and
// offsets of named block types.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace spirv {

struct Member {
    std::string name;
    int32_t offset = -1;
};

struct Variable {
    std::string name;
    uint32_t storageClass = 0;
    int32_t binding = -1;
    int32_t set = -1;
    std::string blockName;  // the pointee's struct name, for uniform blocks
};

struct Module {
    std::vector<std::pair<uint32_t, std::string>> entryPoints;  // execution model, name
    std::map<std::string, std::vector<Member>> structs;         // by struct name
    std::vector<Variable> variables;                             // global variables only
};

// False with a message when the words are not a SPIR-V module.
bool readModule(const std::vector<uint32_t>& words, Module& module, std::string& error);
bool readModuleFile(const std::string& path, Module& module, std::string& error);

constexpr uint32_t kExecutionModelVertex = 0;
constexpr uint32_t kExecutionModelFragment = 4;
constexpr uint32_t kStorageUniformConstant = 0;
constexpr uint32_t kStorageUniform = 2;

}  // namespace spirv
