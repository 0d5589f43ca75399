// The PNG's bytes are generated into this library from font-atlas.png; this
// file makes the header's declarations part of the library's own sources.
#include "content/atlas/FontAtlas.h"
