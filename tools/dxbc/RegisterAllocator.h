#pragma once
#include <cstdint>
#include <vector>

#include "DxbcProgram.h"

namespace dxbc {

// Maps the virtual temps of a body (one per value) onto as few r# registers as
// live ranges allow, rewriting the body in place; returns the count needed.
// Live ranges are linear in the listing, stretched over each loop they cross
// into, so a value read in a loop survives every iteration.
uint32_t allocateTemps(std::vector<Instruction>& body, uint32_t virtualCount);

// Folds "op r, ...; mov_sat r2, r" into "op_sat r2, ..." where r is used once.
void foldSaturate(std::vector<Instruction>& body, uint32_t virtualCount);

// Writes values straight into the output register when their only use is
// "mov oN, r" in the same straight-line stretch of code.
void forwardOutputs(std::vector<Instruction>& body, uint32_t virtualCount);

// Turns "op rA.x, ...; mov rB.c, rA.x" (rA used nowhere else) into
// "op rB.c, ..." with the sources' swizzles moved to lane c.
void coalesceLanes(std::vector<Instruction>& body, uint32_t virtualCount);

}  // namespace dxbc
