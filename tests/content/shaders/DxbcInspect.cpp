#include "DxbcInspect.h"

#include <cstring>

namespace dxbcinspect {
namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    bool ok = true;

    uint32_t u32(size_t at) {
        if (at + 4 > size) {
            ok = false;
            return 0;
        }
        uint32_t v;
        std::memcpy(&v, data + at, 4);
        return v;
    }
    std::string text(size_t at) {
        std::string s;
        while (at < size && data[at] != 0) s.push_back(static_cast<char>(data[at++]));
        if (at >= size) ok = false;
        return s;
    }
};

bool readSignature(Reader r, std::vector<SignatureElement>& out, std::string& error) {
    uint32_t count = r.u32(0);
    if (count > 64) {
        error = "signature element count out of range";
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        size_t at = 8 + 24 * static_cast<size_t>(i);
        SignatureElement e;
        e.semantic = r.text(r.u32(at));
        e.semanticIndex = r.u32(at + 4);
        e.systemValue = r.u32(at + 8);
        e.componentType = r.u32(at + 12);
        e.reg = r.u32(at + 16);
        e.mask = static_cast<uint8_t>(r.u32(at + 20) & 0xff);
        out.push_back(e);
    }
    if (!r.ok) error = "signature chunk truncated";
    return r.ok;
}

bool readReflection(Reader r, Container& out, std::string& error) {
    uint32_t cbCount = r.u32(0), cbOffset = r.u32(4);
    uint32_t bindCount = r.u32(8), bindOffset = r.u32(12);
    uint32_t target = r.u32(16);
    bool sm5 = ((target >> 8) & 0xff) >= 5;
    size_t variableStride = sm5 ? 40 : 24;
    if (cbCount > 16 || bindCount > 64) {
        error = "reflection counts out of range";
        return false;
    }
    for (uint32_t i = 0; i < bindCount; ++i) {
        size_t at = bindOffset + 32 * static_cast<size_t>(i);
        Binding b;
        b.name = r.text(r.u32(at));
        b.type = r.u32(at + 4);
        b.bindPoint = r.u32(at + 20);
        out.bindings.push_back(b);
    }
    for (uint32_t i = 0; i < cbCount; ++i) {
        size_t at = cbOffset + 24 * static_cast<size_t>(i);
        ConstantBuffer cb;
        cb.name = r.text(r.u32(at));
        uint32_t varCount = r.u32(at + 4), varOffset = r.u32(at + 8);
        cb.size = r.u32(at + 12);
        if (varCount > 256) {
            error = "constant buffer variable count out of range";
            return false;
        }
        for (uint32_t v = 0; v < varCount; ++v) {
            size_t vat = varOffset + variableStride * v;
            Variable var;
            var.name = r.text(r.u32(vat));
            var.offset = r.u32(vat + 4);
            var.size = r.u32(vat + 8);
            cb.variables.push_back(var);
        }
        out.constantBuffers.push_back(cb);
    }
    if (!r.ok) error = "reflection chunk truncated";
    return r.ok;
}

}  // namespace

bool inspect(const uint8_t* bytes, size_t size, Container& out, std::string& error) {
    Reader r{bytes, size};
    if (size < 32 || std::memcmp(bytes, "DXBC", 4) != 0) {
        error = "no DXBC magic";
        return false;
    }
    if (r.u32(20) != 1) {
        error = "container version is not 1";
        return false;
    }
    if (r.u32(24) != size) {
        error = "container size field " + std::to_string(r.u32(24)) + " differs from " + std::to_string(size);
        return false;
    }
    uint32_t chunkCount = r.u32(28);
    if (chunkCount > 32 || 32 + 4 * static_cast<size_t>(chunkCount) > size) {
        error = "chunk count out of range";
        return false;
    }
    for (uint32_t i = 0; i < chunkCount; ++i) {
        uint32_t offset = r.u32(32 + 4 * static_cast<size_t>(i));
        if (offset + 8 > size) {
            error = "chunk offset out of range";
            return false;
        }
        std::string code(reinterpret_cast<const char*>(bytes + offset), 4);
        uint32_t length = r.u32(offset + 4);
        if (offset + 8 + static_cast<size_t>(length) > size) {
            error = "chunk " + code + " runs past the end";
            return false;
        }
        out.chunks.push_back(code);
        Reader chunk{bytes + offset + 8, length};
        if (code == "ISGN" && !readSignature(chunk, out.inputs, error)) return false;
        if (code == "OSGN" && !readSignature(chunk, out.outputs, error)) return false;
        if (code == "SHEX" || code == "SHDR") {
            uint32_t version = chunk.u32(0);
            out.programType = version >> 16;
            out.majorVersion = (version >> 4) & 0xf;
            out.minorVersion = version & 0xf;
            out.programDwords = chunk.u32(4);
            if (!chunk.ok || static_cast<size_t>(out.programDwords) * 4 > length) {
                error = "program chunk length does not fit";
                return false;
            }
        }
        if (code == "RDEF") {
            out.hasReflection = true;
            if (!readReflection(chunk, out, error)) return false;
        }
    }
    return true;
}

}  // namespace dxbcinspect
