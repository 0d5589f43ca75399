// Decodes the embedded glyph atlas the way the show uploads it: 8-bit RGBA,
// rows reversed, as floats in 0 to 1.
#pragma once

#include "ShaderReference.h"

bool decodeUploadedAtlas(ref::Image& out);
