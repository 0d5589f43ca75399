// SPIR-V (the optimised module the DXBC path also starts from) to GLSL ES
// 3.00 text for the OpenGL ES back end.
//
// Names carry the register contract, read from the module's bindings, so
// that the runtime binds by introspection and nothing is mapped by hand:
//   thaw_t<i>_s<j>   a combined sampler: texture register t<i> sampled with
//                    sampler register s<j> (one per pair the code uses)
//   thaw_b<n>        the uniform block of constant-buffer register b<n>
//   thaw_v<k>        the vertex output / fragment input at location k, so
//                    that separately converted stages link by name
// Every float, int and sampler is highp. Vertex positions are negated in y,
// so that a pass writes texture rows in the same order as Direct3D 11
// (row 0 at clip y = +1) and gl_FragCoord equals SV_Position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct GlslConversion {
    bool ok;
    std::string text;   // the program, when ok
    std::string error;  // one line, when not ok
    uint32_t derivativesRewritten;
};

GlslConversion convertToGlslEs(std::vector<uint32_t> words);
