// Structural facts about a decoded shader program: which registers the
// declarations cover and which the code uses, and how many instructions a
// pixel runs along the longest path.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "DxbcProgram.h"

namespace dxbcstructure {

struct Report {
    std::vector<std::string> problems;  // used but undeclared registers and the like
    std::set<uint32_t> samplers, resources;
    int32_t constantBufferSlot = -1;
    uint32_t constantBufferVectors = 0;
    uint32_t instructions = 0;  // everything after the declarations
    uint32_t loops = 0;
};

Report checkProgram(const dxbc::Program& program);

// Instructions executed along the longest path, with the loops (in order of
// appearance) running the given trip counts; false if the counts do not match
// the program's loops.
bool executedInstructions(const dxbc::Program& program, const std::vector<uint32_t>& loopTrips, uint64_t& count);

}  // namespace dxbcstructure
