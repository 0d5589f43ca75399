// A look over the assembled graph for pieces whose creation failed. The show
// itself draws on without them (black where they would be); a capture, whose
// output someone will publish, must not.
#pragma once

#include <cstddef>

struct Show;

// False when some pass, in execution order, lacks a render target or an
// input view; `reason` then names the pass and the piece in one line.
bool showResourcesComplete(const Show& show, char* reason, size_t reasonSize);
