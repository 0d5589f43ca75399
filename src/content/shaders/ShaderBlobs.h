// The show's compiled shader programs, embedded as byte arrays: shader model
// 5.0 DXBC containers in thaw_shader_blobs (Direct3D 11, entry points
// "vertex_main" and "pixel_main"), GLSL ES 3.00 text of the same programs in
// thaw_shader_glsl (OpenGL ES; the size excludes the terminating zero).
#pragma once

#define THAW_DECLARE_SHADER_BLOB(name)    \
    extern const unsigned char k##name[]; \
    extern const unsigned int k##name##Size;

// Full-screen triangle, texture (0,0) at the top-left of the target.
THAW_DECLARE_SHADER_BLOB(ScreenTriangleShortVS)
// Same triangle, texture coordinate derived from the clip position.
THAW_DECLARE_SHADER_BLOB(ScreenTriangleLongVS)
// Full-screen triangle with a vertically flipped texture coordinate.
THAW_DECLARE_SHADER_BLOB(PresentVS)
THAW_DECLARE_SHADER_BLOB(PresentPS)
THAW_DECLARE_SHADER_BLOB(ScrollerPS)
THAW_DECLARE_SHADER_BLOB(PalettePS)
THAW_DECLARE_SHADER_BLOB(CloudsPS)
THAW_DECLARE_SHADER_BLOB(BackgroundPS)
THAW_DECLARE_SHADER_BLOB(BlurPS)
THAW_DECLARE_SHADER_BLOB(CompositePS)
THAW_DECLARE_SHADER_BLOB(RaysPS)
THAW_DECLARE_SHADER_BLOB(CrtPS)

#undef THAW_DECLARE_SHADER_BLOB
