// The show's compiled shader programs (shader model 5.0 DXBC containers),
// embedded as byte arrays. Entry points are "vertex_main" and "pixel_main".
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
