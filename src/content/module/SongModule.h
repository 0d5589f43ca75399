// The show's song: an XM module built by tools/songc from instruments.txt
// and score.txt in this directory, embedded byte for byte.
#pragma once

extern const unsigned char kSongModule[];
extern const unsigned int kSongModuleSize;
