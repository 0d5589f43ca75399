// Word-level rewrites of a SPIR-V module before it is converted to GLSL ES.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DerivativePatchResult {
    bool ok;                  // false: not a SPIR-V module, or an instruction runs past the end
    uint32_t rewritten;       // derivative instructions turned into plain ones
    uint32_t removedCapabilities;
};

// OpenGL ES 3.0 has only dFdx, dFdy and fwidth, whose accuracy (per pixel or
// per 2 x 2 quad) is the driver's choice. Rewrites the fine and coarse
// derivative opcodes into those plain ones (same operands) and drops
// `OpCapability DerivativeControl`, which no longer has a user. Leaves the
// module untouched when it is malformed.
DerivativePatchResult plainDerivatives(std::vector<uint32_t>& words);
