#include "SpirvReflect.h"

#include <cstdio>

namespace spirv {
namespace {

enum : uint32_t {
    kOpName = 5,
    kOpMemberName = 6,
    kOpEntryPoint = 15,
    kOpTypeStruct = 30,
    kOpTypePointer = 32,
    kOpVariable = 59,
    kOpDecorate = 71,
    kOpMemberDecorate = 72,
    kOpFunction = 54,
    kDecorationBinding = 33,
    kDecorationDescriptorSet = 34,
    kDecorationOffset = 35,
    kMagic = 0x07230203,
};

// A literal string packed four bytes to a word, zero-terminated.
std::string literalString(const std::vector<uint32_t>& words, size_t at, size_t end, size_t* next) {
    std::string s;
    size_t i = at;
    for (; i < end; ++i) {
        uint32_t w = words[i];
        bool done = false;
        for (int b = 0; b < 4; ++b) {
            char c = static_cast<char>((w >> (8 * b)) & 0xff);
            if (c == 0) {
                done = true;
                break;
            }
            s.push_back(c);
        }
        if (done) break;
    }
    if (next) *next = i + 1;
    return s;
}

}  // namespace

bool readModule(const std::vector<uint32_t>& words, Module& module, std::string& error) {
    if (words.size() < 5 || words[0] != kMagic) {
        error = "not a SPIR-V module";
        return false;
    }
    std::map<uint32_t, std::string> names;
    std::map<uint32_t, std::map<uint32_t, Member>> members;  // struct id -> index -> member
    std::map<uint32_t, bool> isStruct;
    std::map<uint32_t, uint32_t> pointee;  // pointer type id -> pointee type id
    std::map<uint32_t, std::pair<int32_t, int32_t>> bindings;
    std::vector<std::pair<uint32_t, std::pair<uint32_t, uint32_t>>> variables;  // id, (type, storage)

    size_t at = 5;
    while (at < words.size()) {
        uint32_t count = words[at] >> 16;
        uint32_t op = words[at] & 0xffff;
        if (count == 0 || at + count > words.size()) {
            error = "truncated instruction at word " + std::to_string(at);
            return false;
        }
        size_t end = at + count;
        switch (op) {
        case kOpName:
            if (count >= 3) names[words[at + 1]] = literalString(words, at + 2, end, nullptr);
            break;
        case kOpMemberName:
            if (count >= 4) members[words[at + 1]][words[at + 2]].name = literalString(words, at + 3, end, nullptr);
            break;
        case kOpEntryPoint:
            if (count >= 4)
                module.entryPoints.push_back({words[at + 1], literalString(words, at + 3, end, nullptr)});
            break;
        case kOpTypeStruct:
            isStruct[words[at + 1]] = true;
            for (uint32_t m = 0; m + 2 < count; ++m) members[words[at + 1]][m];
            break;
        case kOpTypePointer:
            if (count >= 4) pointee[words[at + 1]] = words[at + 3];
            break;
        case kOpVariable:
            if (count >= 4) variables.push_back({words[at + 2], {words[at + 1], words[at + 3]}});
            break;
        case kOpDecorate:
            if (count >= 4 && words[at + 2] == kDecorationBinding) bindings[words[at + 1]].first = words[at + 3];
            if (count >= 4 && words[at + 2] == kDecorationDescriptorSet) bindings[words[at + 1]].second = words[at + 3];
            break;
        case kOpMemberDecorate:
            if (count >= 5 && words[at + 3] == kDecorationOffset)
                members[words[at + 1]][words[at + 2]].offset = static_cast<int32_t>(words[at + 4]);
            break;
        default:
            break;
        }
        if (op == kOpFunction) break;  // globals all precede the first function
        at = end;
    }

    for (const auto& [id, fields] : members) {
        if (!isStruct.count(id)) continue;
        std::vector<Member> list;
        for (const auto& [index, member] : fields) list.push_back(member);
        module.structs[names.count(id) ? names[id] : "#" + std::to_string(id)] = list;
    }
    for (const auto& [id, typeAndStorage] : variables) {
        Variable v;
        v.name = names.count(id) ? names[id] : "";
        v.storageClass = typeAndStorage.second;
        auto b = bindings.find(id);
        if (b != bindings.end()) {
            v.binding = b->second.first;
            v.set = b->second.second;
        }
        auto p = pointee.find(typeAndStorage.first);
        if (p != pointee.end() && isStruct.count(p->second) && names.count(p->second))
            v.blockName = names[p->second];
        module.variables.push_back(v);
    }
    return true;
}

bool readModuleFile(const std::string& path, Module& module, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint32_t> words;
    uint32_t w;
    while (std::fread(&w, 4, 1, file) == 1) words.push_back(w);
    std::fclose(file);
    return readModule(words, module, error);
}

}  // namespace spirv
