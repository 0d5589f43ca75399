#include "SpirvPatch.h"

namespace {

constexpr uint32_t kMagic = 0x07230203u;
constexpr uint32_t kHeaderWords = 5;

constexpr uint16_t kOpCapability = 17;
constexpr uint16_t kOpDPdx = 207;
constexpr uint16_t kOpDPdy = 208;
constexpr uint16_t kOpFwidth = 209;
constexpr uint16_t kOpDPdxFine = 210;
constexpr uint16_t kOpDPdyFine = 211;
constexpr uint16_t kOpFwidthFine = 212;
constexpr uint16_t kOpDPdxCoarse = 213;
constexpr uint16_t kOpDPdyCoarse = 214;
constexpr uint16_t kOpFwidthCoarse = 215;
constexpr uint32_t kCapabilityDerivativeControl = 51;

uint16_t plainOpcode(uint16_t op) {
    switch (op) {
    case kOpDPdxFine:
    case kOpDPdxCoarse: return kOpDPdx;
    case kOpDPdyFine:
    case kOpDPdyCoarse: return kOpDPdy;
    case kOpFwidthFine:
    case kOpFwidthCoarse: return kOpFwidth;
    default: return op;
    }
}

}  // namespace

DerivativePatchResult plainDerivatives(std::vector<uint32_t>& words) {
    DerivativePatchResult result = {false, 0, 0};
    if (words.size() < kHeaderWords || words[0] != kMagic) return result;

    // Check the whole instruction stream first, so that a malformed module is
    // left as it was.
    for (size_t at = kHeaderWords; at < words.size();) {
        const uint32_t count = words[at] >> 16;
        if (count == 0 || count > words.size() - at) return result;
        at += count;
    }

    std::vector<uint32_t> out(words.begin(), words.begin() + kHeaderWords);
    out.reserve(words.size());
    for (size_t at = kHeaderWords; at < words.size();) {
        const uint32_t count = words[at] >> 16;
        const uint16_t op = uint16_t(words[at] & 0xFFFFu);
        if (op == kOpCapability && count == 2 && words[at + 1] == kCapabilityDerivativeControl) {
            result.removedCapabilities += 1;
            at += count;
            continue;
        }
        const uint16_t plain = plainOpcode(op);
        if (plain != op) result.rewritten += 1;
        out.push_back((count << 16) | plain);
        out.insert(out.end(), words.begin() + at + 1, words.begin() + at + count);
        at += count;
    }
    words.swap(out);
    result.ok = true;
    return result;
}
