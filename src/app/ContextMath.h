// The derivations that complete the per-frame ContextBuffer before upload.
#pragma once

#include "app/ContextBuffer.h"

// Inverse as the adjugate times the reciprocal of the determinant, the
// determinant expanded along the first row. A singular matrix is not tested
// for: its inverse comes out non-finite.
Mat4 invert4x4(const Mat4& m);

// Folds the frame driver's block into the kept one: copies time, frame,
// elapsed time and resolution; sets invResolution; moves the kept view,
// projection and view-projection into the three "last" matrices; takes the
// new view and projection; computes view * projection and the three
// inverses; sets aspectRatio = resolution.x * invResolution.y. The derived
// fields of `incoming` are ignored. The kept block starts all zero, so the
// first frame's "last" matrices are zero.
void deriveContext(ContextBuffer& kept, const ContextBuffer& incoming);
