// Bounded little-endian reads of module bytes: a byte at or beyond the limit
// reads as 0, each byte of a multi-byte value on its own.
#pragma once

#include <cstdint>

struct ModuleBytes {
    const uint8_t* data;
    uint64_t limit;  // module length, or an instrument header's end if smaller
};

inline ModuleBytes boundedTo(const ModuleBytes& bytes, uint64_t end) {
    return ModuleBytes{bytes.data, end < bytes.limit ? end : bytes.limit};
}

inline uint8_t readU8(const ModuleBytes& bytes, uint64_t offset) {
    return offset < bytes.limit ? bytes.data[offset] : 0;
}

inline uint16_t readU16(const ModuleBytes& bytes, uint64_t offset) {
    return static_cast<uint16_t>(readU8(bytes, offset) | (readU8(bytes, offset + 1) << 8));
}

inline uint32_t readU32(const ModuleBytes& bytes, uint64_t offset) {
    return static_cast<uint32_t>(readU16(bytes, offset)) |
           (static_cast<uint32_t>(readU16(bytes, offset + 2)) << 16);
}

// Offsets only grow. Capping them far beyond any real module keeps a hostile
// one from wrapping them back into the data, with room left for the small
// field offsets added on top.
constexpr uint64_t kOffsetCap = uint64_t(1) << 62;

inline uint64_t addOffset(uint64_t a, uint64_t b) {
    return (a >= kOffsetCap || b >= kOffsetCap - a) ? kOffsetCap : a + b;
}
